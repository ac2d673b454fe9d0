#pragma once
// THKT75CFGMAIN: the configuration program's one window (801 x 638,
// frameless, skinned): four tabs, the command buttons, the profile bar, the
// window messages from the monitor, APPLY and OK, and closing.
//
// How a page plugs in (MainConfigButtons, MainConfigDPI, MainConfigLight,
// MainConfigMouse, MainConfigProfiles, MainConfigInfo):
//  - The window creates each page once, in FormCreate, with the narrow
//    reference TMainConfigHost (MainConfigHost.h) and the page's container
//    (Layout1's button area or mouse area, Layout2, Layout3, LayoutInfo /
//    LayoutInfoOEM through Controls()). The page builds its controls on the
//    container at pixel positions with the skin kit, and loads its pictures
//    through GlobalImageDataBase().
//  - Its refresh is a command of kwCommandSetting1, bound by the window in
//    the fixed order 0 SetButton, 1 SetCPI, 2 SetMouseParam, 3 SetProfileBtn,
//    4 SetReport, 5 SetLED; Host.RefreshPages() runs all six.
//  - An edit changes Host.DataModule().FCurrentProfileInfo, copies it back
//    with SaveBackToCurrentProfileInfo() (which marks the profile changed)
//    and sets Host.State().SettingsChanged = true. Closing asks to store
//    only while SettingsChanged is set; start-up clears it after its refresh.
//  - Every write to the mouse runs inside Host.DeviceWrites():
//      Host.DeviceWrites().Run([&] { ...writes on DeviceWrites().HID()... });
//    While a sequence runs the window takes no user input (a busy cursor
//    shows it; the sequence's own dialogs take theirs) and the monitor's
//    editing messages wait for its end. Run refuses (returns false) while
//    another sequence runs, so nothing else interleaves; a request that
//    must not be lost uses RunOrQueue. Code after a Run() still finds the
//    profile it started with: what waited runs from the event loop. Between writes call DeviceWrites().Pump() to let
//    messages run once, DeviceWrites().Wait() for the 100 ms pause between
//    blocks of writes: both keep the window painting. A modal dialog or any
//    other nested event loop opened inside a sequence goes through
//    Host.Message()/Message2() or sits inside a TDeviceWriteGuard::WaitScope.
//  - WM_PROFILE_CHANGED to the monitor: DeviceWrites().SendRefreshAndNotify()
//    (refresh {1,0}, wait, then the message with the current profile), or
//    DeviceWrites().NotifyMonitorProfileChanged() for the message alone.
//  - Dialog texts are source texts: Host.Message() translates them and
//    centres the dialog on the window; tests script the answers through
//    TMainConfigSetup.

#include "config/app/DeviceWriteGuard.h"
#include "config/app/MainConfigApply.h"
#include "config/app/MainConfigHost.h"
#include "config/app/MainConfigState.h"
#include "config/app/PendingMessages.h"
#include "config/ui/kwCommandSetting.h"
#include "config/ui/kwSkinKit.h"
#include "core/kwHIDData.h"
#include "core/kwHIDEvent.h"
#include "platform/HidBackend.h"
#include "platform/WindowMessages.h"

#include <QRect>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QProgressBar;
class QStackedWidget;
class QTimer;
class TkwLanguage;
class TkwMacroSetClass;
class TkwMenuEx;
class TMainConfigButtons;
class TMainConfigDPI;
class TMainConfigInfo;
class TMainConfigLight;
class TMainConfigMouse;
class TMainConfigProfiles;
class TRunInputLock;

// What the window is built over. The program leaves everything empty (the
// user's runtime folder, the executable's folder, the process's HID backend,
// the desktop's mouse settings, the skinned dialogs); tests point each at
// their own.
struct TMainConfigSetup {
    QString RuntimeRoot;
    QString ProgramFolder;
    std::shared_ptr<hkt::platform::HidBackend> Hid;
    std::shared_ptr<hkt::platform::SystemMouseSettings> DesktopMouse;
    // ShowDialog / ShowDialog2 with translated texts; empty: the skinned
    // dialogs centred on the window. The close question takes 0 as its
    // dismissal (Escape, the window manager's close): the window stays.
    std::function<int(const QString &ATitle, const QString &AText)> Dialog;
    std::function<int(const QString &ATitle, const QString &AText, const QString &AText2)> Dialog2;
    // Starts the monitor (folder, file name); empty: the platform's start.
    std::function<bool(const QString &AFolder, const QString &AExeName)> StartMonitor;
    // The displays' rectangles, first display first; empty: Qt's screens.
    std::function<QList<QRect>()> Screens;
    // The pause between device writes (ProcessMessagesAndWait).
    int DeviceWaitMs = 100;
    // Ends the program once the window has ended (WM_EXIT_PROGRAM, the
    // session's end); empty: every event loop of the application ends.
    std::function<void()> EndProgram;
};

class THKT75CFGMAIN : public QWidget, public TMainConfigHost {
    Q_OBJECT
public:
    // The data module must outlive the window.
    explicit THKT75CFGMAIN(TDM &ADM, TMainConfigSetup ASetup = {}, QWidget *AOwner = nullptr);
    ~THKT75CFGMAIN() override;

    // Makes the window findable under CONFIG_WINDOW_CLASS (the caller holds
    // the single-instance lock).
    bool RegisterWindow();

    // ---- form events and start-up
    void FormCreate(QObject *Sender);
    void FormShow(QObject *Sender);
    void LoadSkin();
    void LoadAppIcon();
    void ShowPage(int ATag);
    int CurrentPage() const;

    // ---- buttons
    void BtnMainConfigMouseUp(QObject *Sender);
    void BtnApplyClick(QObject *Sender);
    void BtnOKClick(QObject *Sender);
    void BtnCancelClick(QObject *Sender);
    void BtnCloseClick(QObject *Sender);
    void BTNMINClick(QObject *Sender);
    void kwHIDEvent1DeviceArrival(QObject *Sender);
    void TimerProcessTimer(QObject *Sender);
    void Timer2Timer(QObject *Sender);

    // APPLY's sequence with the window's dialogs and progress display.
    TApplyOutcome ApplySettings();
    // The question before closing: asks only when SettingsChanged is set;
    // result 1 stores the profiles and the all-settings record. False when
    // a store failed (the user was told): the window stays open.
    bool AskSaveOnClose();
    // A question whose dismissal is neither answer: 1 OK, 2 CANCEL, 0 for
    // Escape or any other close.
    int AskKeepingDismissal(const QString &ATitle, const QString &AText);

    // ---- window messages
    std::int64_t WndProc(std::uint32_t Msg, std::int64_t WParam, std::int64_t LParam);
    // Ends the program at once, with no question and nothing stored: every
    // open dialog and menu closes unanswered, and no dialog shows after it.
    // During a run of device writes the program ends right after that run,
    // so the mouse is never left inside its write bracket; the window takes
    // no input meanwhile. Also the session's end.
    void WMExitProgram();
    // The mouse's own changes. AArrivedAt: the gate's MouseStateWrites() when
    // the message arrived (none: now). Each is kept in the current profile's
    // store like an edit made in the window; the mouse is written only when
    // one of the window's own writes has put something else there since the
    // report arrived (TDeviceWriteGuard::RewriteOverwrittenReport).
    void WMSwitchProfile(std::int64_t WParam, std::optional<std::uint64_t> AArrivedAt = std::nullopt);
    void WMCPIIndexChanged(std::int64_t WParam, std::optional<std::uint64_t> AArrivedAt = std::nullopt);
    void WMReportRateChanged(std::int64_t WParam, std::optional<std::uint64_t> AArrivedAt = std::nullopt);
    // The monitor's messages that edit or write wait while a run of device
    // writes, a send of this window or a dialog is in progress, and run
    // after it in the order they came (PendingMessages.h).
    bool MessagesMustWait() const;
    // A track bar of the window is being dragged.
    bool BarHeld() const;
    const TPendingMessages &PendingMessages() const { return FPendingMessages; }

    // ---- TMainConfigHost
    TDM &DataModule() override { return DMRef; }
    TMainConfigState &State() override { return FState; }
    TDeviceWriteGuard &DeviceWrites() override { return *FDevice; }
    TkwMacroSetClass &MacroSet() override { return *FMacroSetClass; }
    TkwMenuEx &FunctionMenu() override { return *KWMENUEX1; }
    TkwLanguage &Language() override { return *kwLanguage1; }
    hkt::platform::SystemMouseSettings &DesktopMouse() override { return *FDesktopMouse; }
    const TMainConfigControls &Controls() override { return FControls; }
    QWidget *MainWindow() override { return this; }
    QString ProgramFolder() override { return FProgramFolder; }
    QString RuntimeRoot() override { return FSetup.RuntimeRoot; }
    int Message(const QString &ATitle, const QString &AText) override;
    int Message2(const QString &ATitle, const QString &AText, const QString &AText2) override;
    void RefreshPages() override;
    void MacrosChanged(bool ASyncButtons) override;
    // The pages, for tests.
    TMainConfigButtons &ButtonsPage() { return *FButtons; }
    TMainConfigDPI &DPIPage() { return *FDPI; }
    TMainConfigLight &LightPage() { return *FLight; }
    TMainConfigMouse &MousePage() { return *FMouse; }
    TMainConfigProfiles &ProfilesPage() { return *FProfiles; }
    TMainConfigInfo &InfoPage() { return *FInfo; }

    // ---- components, in the order they are created (back to front)
    hkt::skin::SkinImage *ImageMain = nullptr;
    hkt::skin::SkinLabel *LabelTitle = nullptr;
    QStackedWidget *TabControlMain = nullptr;
    QWidget *Layout1 = nullptr;       // GENERAL
    QWidget *LayoutButtonArea = nullptr; // GENERAL: mouse views and function buttons
    QWidget *LayoutMouseArea = nullptr;  // GENERAL: bars, polling rate, test area
    QWidget *Layout2 = nullptr;       // DPI
    QWidget *Layout3 = nullptr;       // LIGHT
    QWidget *TabItemInfo = nullptr;   // INFO: holds LayoutInfo and LayoutInfoOEM
    QWidget *LayoutInfo = nullptr;
    QWidget *LayoutInfoOEM = nullptr;
    hkt::skin::StateButton *BtnMainConfig = nullptr;
    hkt::skin::StateButton *BtnCPI = nullptr;
    hkt::skin::StateButton *BtnColor = nullptr;
    hkt::skin::StateButton *BSBTNINFO = nullptr;
    hkt::skin::StateButton *BtnApply = nullptr;
    hkt::skin::StateButton *BtnOK = nullptr;
    hkt::skin::StateButton *BtnCancel = nullptr;
    hkt::skin::StateButton *BtnRestor = nullptr;
    hkt::skin::StateButton *BtnRestoreall = nullptr;
    hkt::skin::StateButton *BtnLoad = nullptr;
    hkt::skin::StateButton *BtnSave = nullptr;
    std::array<hkt::skin::StateButton *, 5> BtnProfile{};
    hkt::skin::StateButton *BtnClose = nullptr;
    hkt::skin::StateButton *BTNMIN = nullptr;
    hkt::skin::StateButton *BtnHelp = nullptr;
    QComboBox *PopBoxLanguage = nullptr;
    QProgressBar *ProgressBarTime = nullptr;
    QTimer *TimerProcess = nullptr;
    QTimer *Timer2 = nullptr;
    TkwCommandSetting *kwCommandSetting1 = nullptr;
    TkwMenuEx *KWMENUEX1 = nullptr;
    TkwLanguage *kwLanguage1 = nullptr;
    std::unique_ptr<TkwHIDData> kwHIDData1;
    std::unique_ptr<TkwHIDEvent> kwHIDEvent1;
    std::unique_ptr<TkwMacroSetClass> FMacroSetClass;

    // True when the documents or macro folder could not be created at
    // start-up: the macro database is then kept in memory only.
    bool MacroFolderUnusable() const { return FMacroFolderUnusable; }

protected:
    void showEvent(QShowEvent *AEvent) override;
    void closeEvent(QCloseEvent *AEvent) override;
    void mousePressEvent(QMouseEvent *AEvent) override;

private:
    void BuildForm();
    hkt::skin::StateButton *AddButton(const char *AName, const char *ACaption, int AX, int AY, int AW, int AH);
    void InitMacroDatabase();
    void OnDeviceBusyChanged(bool ABusy);
    void EndNow();
    // The profile the mouse is on, when it answers, becomes the current one;
    // then KeepLevelsAndRatesMadeOnTheMouse.
    void StartOnMouseProfile();
    // Each level and rate not owed to the mouse takes what the mouse holds
    // (MouseLevelsAndRates.h); at start-up, before any edit, also stored.
    void KeepLevelsAndRatesMadeOnTheMouse();
    // The same later in the run (the mouse's arrival, the monitor's
    // reopening, a read that failed), as a run of the write gate; nothing is
    // stored (the stores on disk and the record of what the mouse holds stay
    // together until the user saves).
    void ReadLevelsAndRatesAgain();
    // A read that did not get every value is tried again a little later
    // while the mouse is there, a few times.
    void RetryIncompleteRead(bool AComplete);
    // The DPI and rate pages show the current profile's level and rate again
    // without marking anything unsaved (the mouse holds them).
    void ShowLevelAndRate();
    void RunEditingMessage(const TPendingMessage &AMessage);
    void ScheduleMessageDrain();
    void DrainPendingMessages();
    // The warning that a run of device transfers went ahead without waiting
    // any longer for another program holding the mouse: due once a run
    // raised mouseHeldElsewhere(), shown from the loop when no run, send or
    // dialog is under way (one dialog for the runs that ended before it).
    void ShowMouseHeldWarning();
    bool UseOEMInfoLayout() const;

    TDM &DMRef;
    TMainConfigSetup FSetup;
    QString FProgramFolder;
    TMainConfigState FState;
    std::shared_ptr<hkt::platform::SystemMouseSettings> FDesktopMouse;
    std::unique_ptr<TDeviceWriteGuard> FDevice;
    hkt::platform::MessageWindow FWindow;
    TMainConfigControls FControls;
    std::unique_ptr<TRunInputLock> FInputLock;
    TPendingMessages FPendingMessages;
    bool FDrainingMessages = false;
    QTimer *FDrainRetry = nullptr; // while a dialog holds the messages back
    QTimer *FReadAgain = nullptr;  // a read of the levels and rates that failed
    int FReadAgainLeft = 0;
    int FDialogDepth = 0;          // the window's message dialogs open
    bool FMouseHeldWarningDue = false;

    TMainConfigButtons *FButtons = nullptr;
    TMainConfigDPI *FDPI = nullptr;
    TMainConfigLight *FLight = nullptr;
    TMainConfigMouse *FMouse = nullptr;
    TMainConfigProfiles *FProfiles = nullptr;
    TMainConfigInfo *FInfo = nullptr;

    bool FMacroFolderUnusable = false;
    bool FEnding = false;             // WM_EXIT_PROGRAM or the session's end arrived
    bool FEnded = false;              // the program's end has been started
    bool FClosePending = false;       // a close asked for while the mouse was being written
    bool FMonitorLookedFor = false;   // the first show looked for (and started) the monitor
};
