#pragma once
// The INFO page (both layouts), the help button and the language box.

#include <QObject>

class QWidget;
class TMainConfigHost;

class TMainConfigInfo : public QObject {
    Q_OBJECT
public:
    // Builds the page's controls on AContainer (owned by the window).
    TMainConfigInfo(TMainConfigHost &AHost, QWidget *AContainer);

    // The language box's items from the language component.
    void FillLanguageBox();
    // Puts the stored display language in force and translates the window.
    void ApplyLanguage();

private:
    TMainConfigHost &FHost;
    QWidget *FContainer;
};
