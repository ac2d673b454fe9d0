#pragma once
// The GENERAL page's button functions: the two mouse views with the
// function buttons, the function menu and its MACRO sub-menu.

#include <QObject>

class QWidget;
class TMainConfigHost;

class TMainConfigButtons : public QObject {
    Q_OBJECT
public:
    // Builds the page's controls on AContainer (owned by the window).
    TMainConfigButtons(TMainConfigHost &AHost, QWidget *AContainer);

    // "SetButton" refresh (command 0): the captions of the function buttons.
    void kwCommandSetting1Commands0Execute();
    // The MACRO sub-menu of the function menu from the current macro set.
    void BuildMacroSubmenu();
    // View 0: front (buttons 0..7), 1: side (buttons 8..12).
    void ShowMouseView(int AView);
    int MouseView() const { return FView; }

private:
    TMainConfigHost &FHost;
    QWidget *FContainer;
    int FView = 0;
};
