#pragma once
// The LIGHT page: colour squares, colour box, brightness and breathing radios
// and the live colour preview.

#include <QObject>

class QWidget;
class TMainConfigHost;

class TMainConfigLight : public QObject {
    Q_OBJECT
public:
    // Builds the page's controls on AContainer (owned by the window).
    TMainConfigLight(TMainConfigHost &AHost, QWidget *AContainer);

    // "SetLED" refresh (command 5).
    void kwCommandSetting1Commands5Execute();

private:
    TMainConfigHost &FHost;
    QWidget *FContainer;
};
