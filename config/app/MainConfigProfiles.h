#pragma once
// The profile buttons, RESTORE, RESET ALL, LOAD FILE and SAVE AS.

#include <QObject>

class QWidget;
class TMainConfigHost;

class TMainConfigProfiles : public QObject {
    Q_OBJECT
public:
    // Builds the page's controls on AContainer (owned by the window).
    TMainConfigProfiles(TMainConfigHost &AHost, QWidget *AContainer);

    // "SetProfileBtn" refresh (command 3): the pressed profile button.
    void kwCommandSetting1Commands3Execute();
    // A click on the profile button whose Tag is ATag (also WM_SWITCH_PROFILE,
    // which passes only 0..4).
    void BtnProfile1Click(int ATag);

private:
    TMainConfigHost &FHost;
    QWidget *FContainer;
};
