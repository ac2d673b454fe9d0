#pragma once
// The narrow reference a page of the configuration window gets: the data
// module, the program-wide values, the device-write gate, the macro database,
// the function menu, the message dialogs, the page refresh, the window's
// shared controls and the other pages. THKT75CFGMAIN implements it; tests can
// implement it over bare widgets.

#include "config/app/MainConfigState.h"

#include <QString>

class QComboBox;
class QWidget;
class TDM;
class TDeviceWriteGuard;
class TkwLanguage;
class TkwMacroSetClass;
class TkwMenuEx;
namespace hkt::skin {
class StateButton;
}
namespace hkt::platform {
class SystemMouseSettings;
}

// Controls of the window itself that pages bind their handlers to.
struct TMainConfigControls {
    std::array<hkt::skin::StateButton *, 5> BtnProfile{}; // Tag 0..4
    hkt::skin::StateButton *BtnRestor = nullptr;          // "RESTORE"
    hkt::skin::StateButton *BtnRestoreall = nullptr;      // "RESET ALL"
    hkt::skin::StateButton *BtnLoad = nullptr;            // "LOAD FILE"
    hkt::skin::StateButton *BtnSave = nullptr;            // "SAVE AS"
    hkt::skin::StateButton *BtnHelp = nullptr;            // invisible help button
    QComboBox *PopBoxLanguage = nullptr;                  // invisible language box
    QWidget *LayoutInfo = nullptr;                        // INFO page, helppagestyle "1"
    QWidget *LayoutInfoOEM = nullptr;                     // INFO page, any other style
};

class TMainConfigHost {
public:
    virtual ~TMainConfigHost() = default;

    virtual TDM &DataModule() = 0;
    virtual TMainConfigState &State() = 0;
    // Every write to the mouse runs inside DeviceWrites().Run/RunOrQueue and
    // waits with its Pump()/Wait().
    virtual TDeviceWriteGuard &DeviceWrites() = 0;
    virtual TkwMacroSetClass &MacroSet() = 0;
    virtual TkwMenuEx &FunctionMenu() = 0;
    virtual TkwLanguage &Language() = 0;
    // The desktop's mouse settings (double-click time at once, the rest at APPLY).
    virtual hkt::platform::SystemMouseSettings &DesktopMouse() = 0;
    virtual const TMainConfigControls &Controls() = 0;
    virtual QWidget *MainWindow() = 0;
    // The program folder (config.ini, kw.local, images/, help files).
    virtual QString ProgramFolder() = 0;
    virtual QString RuntimeRoot() = 0;

    // The message dialogs, centred on the main window. Title and texts are
    // source texts: they are translated here. Message only informs (OK
    // alone); Message2 asks (OK and CANCEL, any other close answers CANCEL).
    virtual int Message(const QString &ATitle, const QString &AText) = 0;
    virtual int Message2(const QString &ATitle, const QString &AText, const QString &AText2) = 0;

    // kwCommandSetting1.SetData: the six page refreshes in their order.
    virtual void RefreshPages() = 0;

    // The one call a page makes into another: after the current profile or
    // the macro database changed, the MACRO sub-menu is built again from the
    // current set, and with ASyncButtons the current profile's macro buttons
    // are first brought in line with the database.
    virtual void MacrosChanged(bool ASyncButtons) = 0;
};
