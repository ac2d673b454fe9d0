#include "monitor/MouseMonitor.h"

#include "config/ui/ImageDataBaseUnit.h"
#include "config/ui/kwLanguageStream.h"
#include "config/ui/kwSkinKit.h"
#include "config/ui/kwTranslateHook.h"
#include "platform/DeviceTransferLock.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/ProcessStart.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLoggingCategory>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

#include <array>
#include <deque>

using namespace hkt::platform;

namespace {

// What the monitor does at each report, for whoever looks into it:
// QT_LOGGING_RULES="hkt75.monitor.debug=true". Off by default: a line per
// key press on stderr says nothing to the user.
Q_LOGGING_CATEGORY(lcMonitor, "hkt75.monitor", QtInfoMsg)

// The DPI levels the mouse and the configuration program know (0 to 4).
constexpr std::int64_t kDpiLevelCount = CPI_LEVELS_IN_USE;
constexpr int kProfileCount = 5;
constexpr int kButtonCount = BUTTON_ENTRY_COUNT;
// FUNCTION_TABLE row of the function-menu item "MAIL": the microphone mute.
constexpr std::uint16_t kMailFunctionRow = 28;

// The pause between stopping the readers and starting them again.
constexpr int kReaderRestartPauseMs = 50;

struct TQueuedBox {
    QString Title;
    QString Text;
};

struct TBoxQueue {
    std::deque<TQueuedBox> Waiting;
    QPointer<TFrmDialog> Showing;
    bool Scheduled = false;
};

TBoxQueue &Boxes()
{
    static TBoxQueue queue;
    return queue;
}

void ShowNextBox()
{
    TBoxQueue &q = Boxes();
    q.Scheduled = false;
    if (q.Showing || q.Waiting.empty())
        return;
    const TQueuedBox next = q.Waiting.front();
    q.Waiting.pop_front();
    // In the display language and the skin, as the configuration program's
    // messages; the style sheet is the dialog's own, so the tray's menu keeps
    // the desktop's look.
    TFrmDialog *box = OpenInformation(hkt::skin::TranslateText(next.Title), hkt::skin::TranslateText(next.Text));
    box->setStyleSheet(hkt::skin::LoadStyleFile(hkt::skin::ProgramFolder()));
    QObject::connect(box, &QDialog::finished, box, [] {
        // The box is on its way out; the next one follows from the loop.
        Boxes().Showing = nullptr;
        if (!Boxes().Scheduled && !Boxes().Waiting.empty()) {
            Boxes().Scheduled = true;
            QTimer::singleShot(0, [] { ShowNextBox(); });
        }
    });
    q.Showing = box;
}

// A plain icon for a tray without the icon file: a tray icon without any
// picture would not show at all.
QIcon FallbackTrayIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(QColor(0x20, 0x20, 0x20));
    return QIcon(pixmap);
}

} // namespace

void ShowMessageBoxInTurn(const QString &ATitle, const QString &AText)
{
    TBoxQueue &q = Boxes();
    q.Waiting.push_back({ATitle, AText});
    if (!q.Scheduled && !q.Showing) {
        q.Scheduled = true;
        QTimer::singleShot(0, [] { ShowNextBox(); });
    }
}

TFrmDialog *MessageBoxShowingInTurn()
{
    return Boxes().Showing.data();
}

bool IsKnownReportRateCode(std::int64_t Code)
{
    return Code == 1 || Code == 2 || Code == 4 || Code == 8;
}

TMonitorReportAction DecodeMonitorReport(std::uint8_t ReportID, const std::uint8_t *Data, std::size_t Size)
{
    using T = TMonitorReportAction::TTarget;
    // A report the monitor acts on carries exactly seven data bytes.
    if (Size != 7 || !Data)
        return {};
    if (ReportID == 7) {
        for (int j = 0; j < DEVICE_KEY_TABLE_ENTRIES; ++j) {
            const auto &entry = DEVICE_KEY_TABLE[static_cast<std::size_t>(j)];
            if (entry[1] == Data[0] && entry[2] == Data[1] && entry[3] == Data[2])
                return {T::Self, WM_DEVICE_KEY, j, 1};
        }
        return {}; // a release (no bit) or a chord (several bits)
    }
    if (ReportID == 8) {
        const std::int64_t value = Data[1];
        switch (Data[0]) {
        case 1:
            if (value < kProfileCount)
                return {T::MouseSwitch, WM_SWITCH_PROFILE, value, 0};
            return {};
        case 2:
            // The configuration program indexes its level controls with it.
            if (value < kDpiLevelCount)
                return {T::Config, WM_CPI_INDEX_CHANGED, value, 0};
            return {};
        case 6:
            if (IsKnownReportRateCode(value))
                return {T::Config, WM_REPORT_RATE_CHANGED, value, 0};
            return {};
        default:
            return {};
        }
    }
    return {};
}

WindowHandle FindConfigWindow(const QString &ARuntimeRoot)
{
    return FindWindowByClass(QString::fromLatin1(CONFIG_WINDOW_CLASS), ARuntimeRoot);
}

void ShowOrStartConfigProgram(const QString &ARuntimeRoot, const QString &AProgramFolder)
{
    const QString folder = AProgramFolder.isEmpty() ? ProgramFolder() : AProgramFolder;
    // The result is not looked at: a missing program is not reported.
    ShowOrStartProgram(QString::fromLatin1(CONFIG_WINDOW_CLASS), folder, QString::fromLatin1(CONFIG_EXE_NAME),
                       ARuntimeRoot);
}

QByteArray MonitorEmbeddedLanguages()
{
    TkwLangData data;
    const QStringList sources = {QStringLiteral("About"), QStringLiteral("Config"), QStringLiteral("Exit"),
                                 QStringLiteral("GAMING MOUSE DRIVER"), QStringLiteral("GAMING MOUSE MONITOR")};
    data.Original = sources;
    TkwLangEntry ch;
    ch.ID = QStringLiteral("CH");
    ch.Lines = QStringList{QStringLiteral("About=关于"), QStringLiteral("Config=设置"), QStringLiteral("Exit=退出"),
                           QStringLiteral("GAMING MOUSE DRIVER=游戏鼠标驱动程序"),
                           QStringLiteral("GAMING MOUSE MONITOR=游戏鼠标监控程序")};
    TkwLangEntry us;
    us.ID = QStringLiteral("US");
    for (const QString &s : sources)
        us.Lines.append(s + QLatin1Char('=') + s);
    data.Resources = {ch, us};
    return kwWriteLangStream(data).value_or(QByteArray());
}

// ---- THKT75MONMAIN -----------------------------------------------------------

THKT75MONMAIN::THKT75MONMAIN(TDM &ADM, TMonitorSetup ASetup, QWidget *AOwner)
    : QWidget(AOwner, Qt::FramelessWindowHint), DMRef(ADM), FSetup(std::move(ASetup)),
      FWindow(QString::fromLatin1(MONITOR_WINDOW_CLASS), FSetup.RuntimeRoot)
{
    setObjectName(QStringLiteral("HKT75MONMAIN"));
    resize(504, 400);
    FStore = FSetup.Store ? FSetup.Store : UserValueStore();
    FMic = FSetup.Mic ? std::move(FSetup.Mic) : std::make_unique<SystemMicMute>();

    // The mixer's errors: one box after the other, as the toggle meets them,
    // but none of them holds up the next report.
    ShowPlatformMessage = [](const QString &AText) { ShowMessageBoxInTurn(QStringLiteral("WARNING"), AText); };
    FOutbox = std::make_unique<TConfigWindowOutbox>([this] { return FindConfigWindowHandle(); },
                                                    FSetup.ConfigAnswerTimeout);

    kwLanguage1 = new TkwLanguage(this, FSetup.ProgramFolder);
    kwLanguage1->LoadResourcesBin(MonitorEmbeddedLanguages());

    MyPopupMenu = new QMenu(this);
    Config1 = MyPopupMenu->addAction(QStringLiteral("Config"));
    About1 = MyPopupMenu->addAction(QStringLiteral("About"));
    About1->setVisible(false);
    Exit1 = MyPopupMenu->addAction(QStringLiteral("Exit"));
    // Menu captions are set from their fixed sources by ApplyLanguage only.
    MyPopupMenu->setProperty("kwNoTranslate", true);
    connect(Config1, &QAction::triggered, this, [this] { Config1Click(Config1); });
    connect(Exit1, &QAction::triggered, this, [this] { Exit1Click(Exit1); });

    TrayIcon1 = new QSystemTrayIcon(this);
    TrayIcon1->setIcon(FallbackTrayIcon());
    TrayIcon1->setContextMenu(MyPopupMenu);
    // Trigger is one left click; a double click also starts with one, so it
    // runs the action once, as the platform tray icon's click event does.
    connect(TrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            TrayIconDblClick(TrayIcon1);
    });

    kwHIDData1 = std::make_unique<TkwHIDData>(nullptr, FSetup.Hid);
    kwHIDData1->FastOnData = false;
    kwHIDData1->OnData = [this](const QString &id, const QString &path, std::uint8_t reportId, const void *data,
                                std::uint16_t size) { kwHIDData1Data(id, path, reportId, data, size); };

    TimerDeviceArrial = new QTimer(this);
    TimerDeviceArrial->setSingleShot(true);
    TimerDeviceArrial->setInterval(FSetup.DeviceArrivalIntervalMs);
    connect(TimerDeviceArrial, &QTimer::timeout, this, [this] { TimerDeviceArrialTimer(TimerDeviceArrial); });
    FRestartReaders = new QTimer(this);
    FRestartReaders->setSingleShot(true);
    FRestartReaders->setInterval(kReaderRestartPauseMs);
    connect(FRestartReaders, &QTimer::timeout, this, [this] { StartDeviceReading(); });

    kwHIDEvent1 = std::make_unique<TkwHIDEvent>(nullptr, FSetup.Hid);
    kwHIDEvent1->OnDeviceArrival = [this](QObject *Sender) { kwHIDEvent1DeviceArrival(Sender); };
    kwHook1 = std::make_unique<TkwHook>();

    FWindow.SetHandler([this](std::uint32_t Msg, std::int64_t WParam, std::int64_t LParam) {
        return WndProc(Msg, WParam, LParam);
    });

    FormCreate(this);
    TrayIcon1->setVisible(true);
}

THKT75MONMAIN::~THKT75MONMAIN()
{
    FormDestroy(this);
}

bool THKT75MONMAIN::RegisterWindow()
{
    if (FWindow.Register())
        return true;
    // The monitor runs on, but the configuration program's messages (APPLY's
    // profile change, a language change, Exit) cannot reach it.
    qWarning("HKT75MON: the window cannot be registered; the configuration program cannot reach it");
    return false;
}

void THKT75MONMAIN::FormCreate(QObject *)
{
    SetupMonitor();
}

void THKT75MONMAIN::FormDestroy(QObject *)
{
    // StopDeviceReading: no reader may outlive the window it reports to.
    if (kwHIDData1)
        kwHIDData1->HidStopRead();
}

void THKT75MONMAIN::SetupMonitor()
{
    LoadTrayIcon();
    LoadIncludeHidDeviceList();
    ApplyLanguage();
    // The sound-server connection is made at the first toggle, and again
    // after any failure, so a microphone or server that comes later is used.
}

void THKT75MONMAIN::LoadTrayIcon()
{
    const QString folder = FSetup.ProgramFolder.isEmpty() ? ProgramFolder() : FSetup.ProgramFolder;
    const QString path = QDir(folder).filePath(QStringLiteral("images/0409/icons/logo.ico"));
    if (!QFileInfo::exists(path))
        return;
    const QIcon icon(path);
    if (!icon.isNull() && !icon.availableSizes().isEmpty())
        TrayIcon1->setIcon(icon);
}

void THKT75MONMAIN::LoadIncludeHidDeviceList()
{
    FIncludeHidDeviceList.clear();
    const QString folder = FSetup.ProgramFolder.isEmpty() ? ProgramFolder() : FSetup.ProgramFolder;
    const IniFile ini(QDir(folder).filePath(QStringLiteral("config.ini")));
    for (int n = 1; n <= 101; ++n) {
        const QString value =
            ini.ReadString(QStringLiteral("IncludeHIDDeviceList"), QStringLiteral("id%1").arg(n), QString());
        if (value.isEmpty())
            break;
        FIncludeHidDeviceList.append(value);
    }
}

void THKT75MONMAIN::ApplyLanguage()
{
    const int shown = kwLanguage1->GetLanguageIndexByShortID(kwLanguage1->Lang());
    const int stored = DMRef.FAllProfileSettingInfo.CurrentLanguage;
    if (shown != stored)
        kwLanguage1->SetLang(kwLanguage1->GetLanguageShortIDByIndex(stored));
    // The message dialogs' pictures of that language.
    GlobalImageDataBase().SetImageBasePath(hkt::skin::SkinFolderForLanguage(
        FSetup.ProgramFolder.isEmpty() ? ProgramFolder() : FSetup.ProgramFolder, kwLanguage1->Lang()));
    // Always from the fixed sources, never from what is shown now.
    TrayIcon1->setToolTip(Translate(QString::fromLatin1(DRIVER_TITLE)));
    QGuiApplication::setApplicationDisplayName(Translate(QString::fromLatin1(MONITOR_APP_TITLE)));
    Config1->setText(Translate(QStringLiteral("Config")));
    About1->setText(Translate(QStringLiteral("About")));
    Exit1->setText(Translate(QStringLiteral("Exit")));
}

WindowHandle THKT75MONMAIN::FindConfigWindowHandle() const
{
    return FindConfigWindow(FSetup.RuntimeRoot);
}

void THKT75MONMAIN::ShowOrStartConfig()
{
    ShowOrStartConfigProgram(FSetup.RuntimeRoot, FSetup.ProgramFolder);
}

void THKT75MONMAIN::TrayIconDblClick(QObject *)
{
    ShowOrStartConfig();
}

void THKT75MONMAIN::Config1Click(QObject *)
{
    ShowOrStartConfig();
}

void THKT75MONMAIN::Exit1Click(QObject *)
{
    // The post is in the configuration program's socket when this returns,
    // so it survives the monitor's end.
    PostWindowMessage(FindConfigWindowHandle(), WM_EXIT_PROGRAM, 0, 0);
    QCoreApplication::quit();
}

void THKT75MONMAIN::kwHIDEvent1DeviceArrival(QObject *)
{
    // Arrivals closer together than the interval lead to one restart.
    TimerDeviceArrial->stop();
    TimerDeviceArrial->start();
}

void THKT75MONMAIN::TimerDeviceArrialTimer(QObject *)
{
    TimerDeviceArrial->stop();
    RestartDeviceReading();
}

void THKT75MONMAIN::RestartDeviceReading()
{
    // The stopped readers' last reports are already queued to this thread,
    // ahead of anything the new readers send, so they are handled in order
    // from the loop during the pause; nothing runs nested in here.
    kwHIDData1->HidStopRead();
    FRestartReaders->start();
}

void THKT75MONMAIN::StartDeviceReading()
{
    kwHIDData1->HidFindAndReadDevice(HIDUsageAndPage, QStringLiteral("*"));
    // Read after the readers are open: a change the read misses is one they
    // report, and what they report is handled after this, so the mouse's
    // last state wins. No reader open: no mouse to ask.
    // The DPI levels and rates may have changed too while no reader
    // listened; the window, which knows which of them the user edited,
    // reads them (in turn after the switch the read may pass on).
    if (kwHIDData1->RunningReaderCount() > 0 && ReadMouseProfile())
        ForwardInTurn(WM_MOUSE_READ_AGAIN, 0, 0);
}

bool THKT75MONMAIN::ReadMouseProfile()
{
    std::uint8_t active = 0;
    std::uint32_t read;
    {
        // One run: the window's transfers never land between the request
        // and its answer. Should the window hold the mouse for the whole
        // wait, the read goes ahead; an answer its transfers crossed is
        // refused, never taken for the profile.
        const DeviceTransferRun run;
        read = ReadActiveProfile(*kwHIDData1, active, ACTIVE_PROFILE_ADDRESS);
        if (run.WaitedInVain())
            qWarning("HKT75MON: another program held the mouse for %lld ms; its profile was read without waiting "
                     "for it",
                     static_cast<long long>(kDeviceTransferLockWait.count()));
    }
    if (read != 0)
        return false;
    if (active >= kProfileCount)
        return true;
    // The profile the monitor follows is the mouse's as last reported, or
    // the configuration window's as it last said: the same one unless the
    // mouse changed while nobody listened.
    if (int(active) == DMRef.FProfileIndex)
        return true;
    qCDebug(lcMonitor, "the mouse is on profile %d, not %d: passed on", int(active), DMRef.FProfileIndex);
    ProfileSwitchedOnTheMouse(active);
    return true;
}

void THKT75MONMAIN::kwHIDData1Data(const QString &, const QString &, std::uint8_t ReportID, const void *Data,
                                   std::uint16_t Size)
{
    const TMonitorReportAction action = DecodeMonitorReport(ReportID, static_cast<const std::uint8_t *>(Data), Size);
    switch (action.Target) {
    case TMonitorReportAction::TTarget::None:
        return;
    case TMonitorReportAction::TTarget::Self:
        qCDebug(lcMonitor, "KeyIndex = %lld postmessage record!", static_cast<long long>(action.WParam));
        PostToSelf(action.Msg, action.WParam, action.LParam);
        return;
    case TMonitorReportAction::TTarget::MouseSwitch:
        // From the window's own queue, in turn with the keys and the reports
        // around it; no message of its own, so nothing but a setting report
        // (or the read after a restart) ever switches.
        QMetaObject::invokeMethod(
            this, [this, p = int(action.WParam)] { ProfileSwitchedOnTheMouse(p); }, Qt::QueuedConnection);
        return;
    case TMonitorReportAction::TTarget::Config:
        // Behind the switches the reports before it asked for; lost when the
        // configuration program is not running.
        ForwardInTurn(action.Msg, action.WParam, action.LParam);
        return;
    }
}

void THKT75MONMAIN::ForwardInTurn(std::uint32_t Msg, std::int64_t WParam, std::int64_t LParam)
{
    // Through this window's own queue, like the profile switches reported
    // before it, so it reaches the outbox after them.
    QMetaObject::invokeMethod(this, [this, Msg, WParam, LParam] { FOutbox->Post(Msg, WParam, LParam); },
                              Qt::QueuedConnection);
}

void THKT75MONMAIN::PostToSelf(std::uint32_t Msg, std::int64_t WParam, std::int64_t LParam)
{
    QMetaObject::invokeMethod(this, [this, Msg, WParam, LParam] { WndProc(Msg, WParam, LParam); },
                              Qt::QueuedConnection);
}

std::int64_t THKT75MONMAIN::WndProc(std::uint32_t Msg, std::int64_t WParam, std::int64_t LParam)
{
    switch (Msg) {
    case WM_PROFILE_CHANGED:
        WMProfileChanged(WParam, LParam);
        break;
    case WM_LANGUAGE_CHANGED:
        WMLanguageChanged(WParam, LParam);
        break;
    case WM_DEVICE_KEY:
        WMDeviceKey(WParam, LParam);
        break;
    default:
        break;
    }
    return 0;
}

void THKT75MONMAIN::WMDeviceKey(std::int64_t WParam, std::int64_t LParam)
{
    // A key index names a key, whichever it is: keys without a button entry
    // (14 to 23) do nothing, and none of them switches a profile.
    if (WParam >= 0 && WParam < kButtonCount) {
        const TBUTTONFUNCINFO &button = DMRef.FCurrentProfileInfo.ConfigInfo.ButtonFuncInfo[WParam];
        HandleButtonFunction(static_cast<std::uint8_t>(WParam), button.FunctionIndex,
                             static_cast<std::uint8_t>(LParam));
    }
}

void THKT75MONMAIN::ProfileSwitchedOnTheMouse(int AProfile)
{
    if (AProfile < 0 || AProfile >= kProfileCount)
        return;
    WriteProfileID(AProfile);
    // The monitor follows the mouse's profile itself, so its "MAIL" buttons
    // are right even while the configuration program is not running; when it
    // runs, its WM_PROFILE_CHANGED answer confirms this.
    DMRef.LoadProfileInfoFromRegistry(AProfile);
    DMRef.SwitchToProfile(AProfile);
    // Sent, in turn with the reports around it; the monitor goes on while the
    // configuration program switches and answers WM_PROFILE_CHANGED.
    FOutbox->Send(WM_SWITCH_PROFILE, AProfile, 0);
}

void THKT75MONMAIN::HandleButtonFunction(std::uint8_t, std::uint16_t FunctionIndex, std::uint8_t)
{
    if (FunctionIndex == kMailFunctionRow)
        MicrophoneMute();
}

void THKT75MONMAIN::WMProfileChanged(std::int64_t, std::int64_t LParam)
{
    DMRef.LoadProfileGroupSettingInfoFromRegistry();
    DMRef.LoadAllProfileInfoFromRegistry();
    DMRef.LoadCurrentProfileInfoFromRegistry();
    // The reload above makes the profile-group record's profile current (the
    // first one with the factory record); the profile the configuration
    // program switched to is the one whose buttons count.
    // "ProfileID" names a profile for whoever reads it next: a peer's value
    // outside 0..4 names none, so the stored one stays.
    if (LParam >= 0 && LParam < kProfileCount) {
        const int p = static_cast<int>(LParam);
        DMRef.LoadProfileInfoFromRegistry(p);
        DMRef.SwitchToProfile(p);
        WriteProfileID(p);
    }
}

void THKT75MONMAIN::WMLanguageChanged(std::int64_t, std::int64_t)
{
    DMRef.LoadAllProfileInfoFromRegistry();
    ApplyLanguage();
}

bool THKT75MONMAIN::WriteProfileID(std::int32_t Value)
{
    const QString key = DMRef.FOptionsFromConfigFile.ProfileRegFolder;
    if (!FStore->OpenKey(key, false))
        return false;
    QByteArray bytes(4, '\0');
    const auto v = static_cast<std::uint32_t>(Value);
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return FStore->WriteValue(key, QStringLiteral("ProfileID"), bytes);
}

void THKT75MONMAIN::MicrophoneMute()
{
    const MicMuteState state = FMic->GetMute();
    if (state.status == MicStatus::Ok) {
        const MicStatus set = FMic->SetMute(!state.muted);
        if (FMic->ShowsErrors()) {
            if (set == MicStatus::NoMuteControl)
                ShowPlatformMessage(QStringLiteral("GetLineInfo Error"));
            else if (set == MicStatus::ValueFailed)
                ShowPlatformMessage(QStringLiteral("SetControlDetails Error"));
        }
        return;
    }
    // A state that could not be read is never inverted: nothing changes.
    // The sound-server road says nothing; the mixer road tells the user.
    if (!FMic->ShowsErrors())
        return;
    if (state.status == MicStatus::NoMuteControl) {
        // Once for the read and once for the set, which fails at the same step.
        ShowPlatformMessage(QStringLiteral("GetLineInfo Error"));
        ShowPlatformMessage(QStringLiteral("GetLineInfo Error"));
    } else if (state.status == MicStatus::ValueFailed) {
        ShowPlatformMessage(QStringLiteral("SetControlDetails Error"));
    }
}
