#pragma once
// The GENERAL page's button functions: the two mouse views with the
// function buttons, the function menu and its MACRO sub-menu. What a menu
// choice stores is decided in ButtonFunctions.h; this page opens the menu,
// shows refusals, captions and hints.
//
// A menu opened over a button acts on the profile that was current when it
// opened: when the profile changed meanwhile (the monitor switched it), the
// choice is dropped rather than written into another profile.

#include "config/app/ButtonFunctions.h"
#include "config/app/MainConfigDialogs.h"

#include <QObject>

#include <array>
#include <cstdint>

class QWidget;
class TMainConfigHost;
namespace hkt::skin {
class SkinImage;
class StateButton;
} // namespace hkt::skin

class TMainConfigButtons : public QObject {
    Q_OBJECT
public:
    // Builds the page's controls on AContainer (owned by the window) and
    // binds the function menu's clicks.
    TMainConfigButtons(TMainConfigHost &AHost, QWidget *AContainer);

    // "SetButton" refresh (command 0): the captions of the function buttons.
    void kwCommandSetting1Commands0Execute();
    // The MACRO sub-menu of the function menu from the current macro set.
    void BuildMacroSubmenu();
    // Brings the current profile's macro buttons in line with the database
    // (no copy-back: the caller's refresh or APPLY does that).
    void SyncButtonMacros();
    // BuildMacroSubmenu, then the captions of buttons 0..12.
    void RefreshButtons();
    // View 0: front (buttons 0..7), 1: side (buttons 8..12).
    void ShowMouseView(int AView);
    int MouseView() const { return FView; }

    // ---- handlers
    void BtnSet1Click(int ATag);
    void kwMenuEx1ItemsClick(std::uint32_t AMenuItemID);
    void BtnSet1MouseEnter(int ATag);
    void AssignFunctionToButton(int AMenuItemID);
    void ShowButtonFunction(int AIndex, int AMenuItemID);
    void ShowButtonHint(int AIndex);

    // The button whose menu was opened last (0..13).
    int SelectedButton() const { return FSelectedButtonIndex; }
    // The macro position last chosen or returned by the macro manager.
    int CurrentMacro() const { return FCurrentMacro; }
    // The list the MACRO sub-menu was built from.
    const TMacroSubmenuSource &SubmenuSource() const { return FSubmenuSource; }
    // The dialogs of the four dialog items (tests script them).
    TButtonDialogs Dialogs = TButtonDialogs::Standard();

    // ---- controls
    hkt::skin::SkinImage *ImageMouseLayoutFront = nullptr;
    hkt::skin::SkinImage *ImageMouseLayoutSide = nullptr;
    QWidget *LayoutButtonSetFront = nullptr;
    QWidget *LayoutButtonSetSide = nullptr;
    hkt::skin::StateButton *BTNFrontView = nullptr;
    hkt::skin::StateButton *BTNSIDEVIEW = nullptr;
    // BtnSet1 ... BtnSet14, Tag 0..13 (the 14th is never shown).
    std::array<hkt::skin::StateButton *, BUTTON_ENTRY_COUNT> BtnSet{};

protected:
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
    bool MenuProfileStillCurrent() const;
    void RunDialogItem(int AMenuItemID);
    void ShowMacroLimitRefusal();
    void LoadSkin();
    void ShowCaptions();

    TMainConfigHost &FHost;
    QWidget *FContainer;
    int FView = 0;
    int FSelectedButtonIndex = 0;
    int FMenuProfile = -1;
    int FCurrentMacro = 0;
    TMacroSubmenuSource FSubmenuSource;
};
