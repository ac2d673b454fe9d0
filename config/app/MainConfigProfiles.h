#pragma once
// The profile buttons, RESTORE, RESET ALL, LOAD FILE and SAVE AS.
//
// Every action here that writes the mouse or replaces the current profile
// runs as one sequence of the window's device-write gate, so none of them
// interleaves with APPLY or with each other. A profile index outside 0..4
// switches nothing and writes nothing. A confirmation answered after the
// current profile changed (the monitor switched it meanwhile) is dropped.

#include <QObject>

class QWidget;
class TMainConfigHost;

// The confirmations' texts, as the window shows them.
inline constexpr char RESTORE_TITLE[] = "RESET THIS PROFILE";
inline constexpr char RESTORE_TEXT[] = "ARE YOU SURE YOU WANT TO RESET THIS PROFILE ?";
inline constexpr char RESTORE_TEXT2[] = "RESET THE CURRENT PROFILE BACK TO FACTORY SETTING.";
inline constexpr char RESET_ALL_TITLE[] = "RESET ALL PROFILES";
inline constexpr char RESET_ALL_TEXT[] = "ARE YOU SURE YOU WANT TO RESET ALL PROFILES BACK TO FACTORY SETTINGS  ?";

class TMainConfigProfiles : public QObject {
    Q_OBJECT
public:
    // Binds the window's profile bar (Host.Controls()); AContainer owns the page.
    TMainConfigProfiles(TMainConfigHost &AHost, QWidget *AContainer);

    // "SetProfileBtn" refresh (command 3): the pressed profile button.
    void kwCommandSetting1Commands3Execute();
    // A click on the profile button whose Tag is ATag (also WM_SWITCH_PROFILE
    // and RESET ALL). True when the switch ran.
    bool BtnProfile1Click(int ATag);
    void BtnRestorClick();
    void BtnRestoreallClick();
    void BtnLoadMouseUp();
    void BtnSaveMouseUp();

    // The folder both file dialogs start in: the file folder of profile
    // entry 0 of the profile-group record.
    QString ProfilePath() const;

protected:
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
    void WriteCurrentCPITable(int AProfile);

    TMainConfigHost &FHost;
};
