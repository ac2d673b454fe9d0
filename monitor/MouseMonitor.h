#pragma once
// THKT75MONMAIN: the monitor's hidden main window. It owns the tray icon and
// its menu, reads the mouse's input reports, turns them into window messages
// (to itself and to the configuration program), toggles the microphone mute
// from a "MAIL" button and reloads the profiles when the configuration
// program says they changed.
//
// Everything here runs on the main thread. Input reports reach it as queued
// copies from the reader threads; the handler only posts messages, so the
// slow work (mute, profile switch, stored values) runs later from the queue.
// Nothing the window handles waits on the configuration program or runs a
// nested event loop: what goes to that program leaves through one ordered
// queue (TConfigWindowOutbox) whose answers come back through the loop, and
// message boxes are shown without a loop of their own.

#include "core/DMUnit.h"
#include "core/kwHIDData.h"
#include "core/kwHIDEvent.h"
#include "core/kwHook.h"
#include "core/pubunit_device.h"
#include "core/pubunit_device_transport.h"
#include "config/ui/kwLanguage.h"
#include "config/ui/showdialog.h"
#include "monitor/ConfigWindowOutbox.h"
#include "platform/MicMute.h"
#include "platform/ValueStore.h"
#include "platform/WindowMessages.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QTimer;

// ---- what one input report asks for ----

struct TMonitorReportAction {
    // Self: a key, WM_DEVICE_KEY posted to the monitor's own window. Config:
    // posted on to the configuration window. MouseSwitch: the mouse switched
    // to profile WParam; the monitor follows it and then sends Msg
    // (WM_SWITCH_PROFILE) on. Only a setting report switches: a key report
    // names a key, whichever it is.
    enum class TTarget { None, Self, Config, MouseSwitch };
    TTarget Target = TTarget::None;
    std::uint32_t Msg = 0;
    std::int64_t WParam = 0;
    std::int64_t LParam = 0;
    bool operator==(const TMonitorReportAction &) const = default;
};

// The decoding of kwHIDData1Data: Data points at the bytes after the report ID,
// Size is their count. Values the mouse sends are checked before they go
// anywhere: a profile above 4, a DPI level outside the five levels and a
// polling-rate code other than 1, 2, 4 or 8 are ignored.
TMonitorReportAction DecodeMonitorReport(std::uint8_t ReportID, const std::uint8_t *Data, std::size_t Size);

// The polling-rate codes the mouse knows: 1 (1000 Hz), 2 (500 Hz), 4 (250 Hz), 8 (125 Hz).
bool IsKnownReportRateCode(std::int64_t Code);

// ---- the window ----

// What the window is built over. The program leaves everything empty (the
// user's folders, the system microphone, the process's HID backend); tests
// point each at their own.
struct TMonitorSetup {
    QString RuntimeRoot;   // root of the window-message folder; empty: $XDG_RUNTIME_DIR
    QString ProgramFolder; // empty: the executable's folder
    std::shared_ptr<hkt::platform::ValueStore> Store; // null: the user's value store
    std::unique_ptr<hkt::platform::MicMute> Mic;      // null: the system microphone
    std::shared_ptr<hkt::platform::HidBackend> Hid;   // null: the process's backend
    int DeviceArrivalIntervalMs = 1500;
    // How long the configuration program may take to answer before the
    // monitor says it is silent (it keeps waiting for the answer all the same).
    std::chrono::milliseconds ConfigAnswerTimeout = hkt::platform::kDefaultSendTimeout;
};

class THKT75MONMAIN : public QWidget {
    Q_OBJECT
public:
    // The data module must outlive the window.
    explicit THKT75MONMAIN(TDM &ADM, TMonitorSetup ASetup = {}, QWidget *AOwner = nullptr);
    ~THKT75MONMAIN() override;

    // Makes the window findable under MONITOR_WINDOW_CLASS (the caller holds
    // the single-instance lock).
    bool RegisterWindow();

    // Form events and the start-up sequence.
    void FormCreate(QObject *Sender);
    void FormDestroy(QObject *Sender);
    void SetupMonitor();
    void LoadTrayIcon();
    void LoadIncludeHidDeviceList();
    void ApplyLanguage();

    // Tray and menu.
    void TrayIconDblClick(QObject *Sender);
    void Config1Click(QObject *Sender);
    void Exit1Click(QObject *Sender);

    // Device arrival and reading.
    void kwHIDEvent1DeviceArrival(QObject *Sender);
    void TimerDeviceArrialTimer(QObject *Sender);
    void RestartDeviceReading();
    // The second half of a restart: the readers start, then, when any did,
    // the mouse is asked for its active profile (ReadMouseProfile).
    void StartDeviceReading();
    // What the mouse changed while no reader was open (since the arrival, or
    // the daemon's restart) was reported to nobody: its active profile is
    // read, and when it is not the one the monitor follows, passed on as a
    // switch made on the mouse. A mouse that does not answer, or names no
    // profile, changes nothing.
    // True when the mouse answered.
    bool ReadMouseProfile();
    void kwHIDData1Data(const QString &ADeviceID, const QString &ADevicePath, std::uint8_t ReportID,
                        const void *Data, std::uint16_t Size);

    // The window procedure for the messages this window handles.
    std::int64_t WndProc(std::uint32_t Msg, std::int64_t WParam, std::int64_t LParam);
    void WMDeviceKey(std::int64_t WParam, std::int64_t LParam);
    // A profile switch made on the mouse (its setting report, or the read
    // after a restart of the readers): "ProfileID", the monitor's own
    // profile, then WM_SWITCH_PROFILE to the configuration window in turn.
    void ProfileSwitchedOnTheMouse(int AProfile);
    void WMProfileChanged(std::int64_t WParam, std::int64_t LParam);
    void WMLanguageChanged(std::int64_t WParam, std::int64_t LParam);
    void HandleButtonFunction(std::uint8_t ButtonIndex, std::uint16_t FunctionIndex, std::uint8_t State);
    bool WriteProfileID(std::int32_t Value);

    // The microphone mute.
    void MicrophoneMute();

    // PostMessageW to this window: handled later from the event loop.
    void PostToSelf(std::uint32_t Msg, std::int64_t WParam, std::int64_t LParam);

    // Everything on its way to the configuration window.
    const TConfigWindowOutbox &ConfigOutbox() const { return *FOutbox; }

    // The platform's plain message box (title: the application title, a
    // warning, an OK button), shown through ShowMessageBoxInTurn. Tests
    // replace it to see the texts without a box.
    std::function<void(const QString &AText)> ShowPlatformMessage;

    // Components, in the order they are created.
    TkwLanguage *kwLanguage1 = nullptr;
    QSystemTrayIcon *TrayIcon1 = nullptr;
    QMenu *MyPopupMenu = nullptr;
    QAction *Config1 = nullptr;
    QAction *About1 = nullptr;
    QAction *Exit1 = nullptr;
    std::unique_ptr<TkwHIDData> kwHIDData1;
    QTimer *TimerDeviceArrial = nullptr;
    std::unique_ptr<TkwHIDEvent> kwHIDEvent1;
    // No event bound: its creation loads the hook library, which says so
    // when it is missing.
    std::unique_ptr<TkwHook> kwHook1;

    QStringList FIncludeHidDeviceList;

private:
    hkt::platform::WindowHandle FindConfigWindowHandle() const;
    void ShowOrStartConfig();

    // The mouse's DPI and rate reports, to the outbox behind what the reports
    // before them asked for.
    void ForwardInTurn(std::uint32_t Msg, std::int64_t WParam, std::int64_t LParam);

    TDM &DMRef;
    TMonitorSetup FSetup;
    std::shared_ptr<hkt::platform::ValueStore> FStore;
    std::unique_ptr<hkt::platform::MicMute> FMic;
    hkt::platform::MessageWindow FWindow;
    std::unique_ptr<TConfigWindowOutbox> FOutbox;
    // The second half of a reader restart: the readers start again once the
    // stopped ones' last reports are handled (StartDeviceReading).
    QTimer *FRestartReaders = nullptr;
};

// The suite's message dialog (OK alone) without a loop of its own: it is
// shown from the event loop once the caller's handler has returned, one at
// a time, the next one when the previous one is closed, centred on the
// screen (the monitor has no window to centre on). Title and text are
// source texts, translated when the dialog is shown. The caller goes on at
// once, and whatever the program handles meanwhile runs from the main loop,
// never inside a dialog.
void ShowMessageBoxInTurn(const QString &ATitle, const QString &AText);
// The dialog showing now (null when none), for tests.
TFrmDialog *MessageBoxShowingInTurn();

// FindWindowW(CONFIG_WINDOW_CLASS, no name): the configuration window, empty
// when the configuration program is not running.
hkt::platform::WindowHandle FindConfigWindow(const QString &ARuntimeRoot = QString());

// The tray's click and Config item: bring the configuration program forward,
// or start it from the program folder.
void ShowOrStartConfigProgram(const QString &ARuntimeRoot = QString(), const QString &AProgramFolder = QString());

// The embedded language list of the monitor's language component ("CH", "US").
QByteArray MonitorEmbeddedLanguages();
