#pragma once
// The DPI page: five levels with their buttons, LINK XY boxes, X and Y bars,
// value texts and level radios.

#include <QObject>

class QWidget;
class TMainConfigHost;

class TMainConfigDPI : public QObject {
    Q_OBJECT
public:
    // Builds the page's controls on AContainer (owned by the window).
    TMainConfigDPI(TMainConfigHost &AHost, QWidget *AContainer);

    // Fills the window's CPIControlTable with the five levels' controls.
    void BindCPIControls();
    // "SetCPI" refresh (command 1): the five levels and the level radios.
    void kwCommandSetting1Commands1Execute();
    // Checks the radio of the current profile's CurrentCPIIndex.
    void ShowCPILevelSelection();

private:
    TMainConfigHost &FHost;
    QWidget *FContainer;
};
