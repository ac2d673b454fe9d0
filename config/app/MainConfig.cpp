#include "config/app/MainConfig.h"

#include "config/app/MainConfigButtons.h"
#include "config/app/MainConfigDPI.h"
#include "config/app/MainConfigInfo.h"
#include "config/app/MainConfigLight.h"
#include "config/app/MainConfigMouse.h"
#include "config/app/MainConfigProfiles.h"
#include "config/app/MouseLevelsAndRates.h"
#include "config/app/RunInputLock.h"
#include "platform/DeviceTransferLock.h"
#include "config/ui/ImageDataBaseUnit.h"
#include "config/ui/kwLanguage.h"
#include "config/ui/kwMenuDefinitions.h"
#include "config/ui/kwMenuEx.h"
#include "config/ui/showdialog.h"
#include "config/ui/showdialog2.h"
#include "core/DMUnit.h"
#include "core/kwMacroClassUnit.h"
#include "core/kwStdCmd.h"
#include "core/pubunit_device_commands.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/ProcessStart.h"
#include "platform/SystemMouseSettings.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QMouseEvent>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <initializer_list>

using namespace hkt::skin;

namespace {

constexpr int kFormWidth = 801;
constexpr int kFormHeight = 638;
constexpr int kHeaderHeight = 64;
constexpr int kPageTop = 118;
constexpr int kPageHeight = 446;
constexpr int kButtonAreaWidth = 470;
constexpr int kProgressStepMs = 100;
constexpr int kProgressStepRateMs = 200;
constexpr int kProgressLastStepMs = 1000;
constexpr int kCloseAfterOKMs = 500;
// A read of the mouse's levels and rates that failed while the mouse is there
// is tried again after this long, this many times.
constexpr int kReadAgainMs = 500;
constexpr int kReadAgainTries = 4;

const QString kDefaultMacroSet = QStringLiteral("DefaultMacroSet");

// The displays' rectangles, first display first.
QList<QRect> DisplayRects(const TMainConfigSetup &ASetup)
{
    if (ASetup.Screens)
        return ASetup.Screens();
    QList<QRect> screens;
    for (QScreen *s : QGuiApplication::screens())
        screens.append(s->geometry());
    return screens;
}
constexpr char kNoDocumentsFolderText[] =
    "THE FOLDERS FOR PROFILES AND MACROS CANNOT BE CREATED, THEY WILL NOT BE SAVED THERE!";

// Closes every menu and dialog of the process without an answer: a modal
// dialog's loop returns as for CANCEL (its caller stores nothing), a menu
// closes as when clicked away. Hiding, not rejecting: a dialog's own
// cancel path may ask a question of its own.
void CloseDialogsAndMenus(const QWidget *AMain)
{
    for (int n = 0; n < 16; ++n) {
        QWidget *popup = QApplication::activePopupWidget();
        if (!popup)
            break;
        popup->hide();
    }
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w != AMain && w->isVisible() && qobject_cast<QDialog *>(w))
            w->hide();
}

// Puts the open modal dialogs back above the window that was just raised,
// the one that takes input last and with the keyboard. Raised alone, the
// window would hide its own question: without a window manager that keeps
// dialogs above their window it then looks frozen, refusing every click.
void RaiseModalDialogs(const QWidget *AMain)
{
    QWidget *top = QApplication::activeModalWidget();
    if (!top || top == AMain)
        return;
    // Older dialogs first (a macro manager under its own question).
    for (QWindow *w : QGuiApplication::topLevelWindows())
        if (w->isVisible() && w->modality() != Qt::NonModal && w != AMain->windowHandle() &&
            w != top->windowHandle())
            w->raise();
    top->raise();
    top->activateWindow();
}

} // namespace

THKT75CFGMAIN::THKT75CFGMAIN(TDM &ADM, TMainConfigSetup ASetup, QWidget *AOwner)
    : QWidget(AOwner, Qt::Window | Qt::FramelessWindowHint), DMRef(ADM), FSetup(std::move(ASetup)),
      FWindow(QString::fromLatin1(CONFIG_WINDOW_CLASS), FSetup.RuntimeRoot)
{
    setObjectName(QStringLiteral("HKT75CFGMAIN"));
    setWindowTitle(QStringLiteral("GAMING MOUSE CONFIG"));
    setFixedSize(kFormWidth, kFormHeight);
    FProgramFolder = hkt::platform::WithTrailingSeparator(
        FSetup.ProgramFolder.isEmpty() ? hkt::platform::ProgramFolder() : FSetup.ProgramFolder);
    FDesktopMouse = FSetup.DesktopMouse ? FSetup.DesktopMouse
                                        : std::shared_ptr<hkt::platform::SystemMouseSettings>(
                                              hkt::platform::MakeSystemMouseSettings());
    InstallFontSubstitutes();
    setFont(SkinFont(QStringLiteral("Tahoma"), 12));
    // Message dialogs are centred on this window whichever window is active.
    SetMainWindow(this);

    kwHIDData1 = std::make_unique<TkwHIDData>(nullptr, FSetup.Hid);
    kwHIDData1->FastOnData = false;
    kwHIDEvent1 = std::make_unique<TkwHIDEvent>(nullptr, FSetup.Hid);
    kwHIDEvent1->OnDeviceArrival = [this](QObject *Sender) { kwHIDEvent1DeviceArrival(Sender); };
    FDevice = std::make_unique<TDeviceWriteGuard>(DMRef, *kwHIDData1, FSetup.RuntimeRoot);
    FDevice->SetWaitMs(FSetup.DeviceWaitMs);
    FInputLock = std::make_unique<TRunInputLock>(this);
    FReadAgain = new QTimer(this);
    FReadAgain->setSingleShot(true);
    FReadAgain->setInterval(kReadAgainMs);
    connect(FReadAgain, &QTimer::timeout, this, [this] { WndProc(WM_MOUSE_READ_AGAIN, 0, 0); });
    FDrainRetry = new QTimer(this);
    FDrainRetry->setSingleShot(true);
    FDrainRetry->setInterval(50);
    connect(FDrainRetry, &QTimer::timeout, this, [this] { DrainPendingMessages(); });
    connect(FDevice.get(), &TDeviceWriteGuard::busyChanged, this, [this](bool b) { OnDeviceBusyChanged(b); });
    connect(FDevice.get(), &TDeviceWriteGuard::mouseHeldElsewhere, this, [this] {
        if (FMouseHeldWarningDue)
            return;  // already on its way
        FMouseHeldWarningDue = true;
        QMetaObject::invokeMethod(this, [this] { ShowMouseHeldWarning(); }, Qt::QueuedConnection);
    });

    kwLanguage1 = new TkwLanguage(this, FProgramFolder);
    KWMENUEX1 = new TkwMenuEx(this);
    FillFunctionMenu(*KWMENUEX1);
    FMacroSetClass = std::make_unique<TkwMacroSetClass>();

    BuildForm();

    FWindow.SetHandler([this](std::uint32_t Msg, std::int64_t WParam, std::int64_t LParam) {
        return WndProc(Msg, WParam, LParam);
    });
    // The mouse's reports come as posts and its profile switches as sends:
    // taken as they arrive, a switch never overtakes a report sent before it.
    FWindow.SetPostsInArrivalOrder(true);

    FormCreate(this);

    // The window opens centred on the first display: without a frame the
    // desktop has nothing to place it by, and X servers without a window
    // manager would leave it at the top left corner.
    const QList<QRect> displays = DisplayRects(FSetup);
    if (!displays.isEmpty()) {
        const QRect d = displays.first();
        move(d.left() + (d.width() - kFormWidth) / 2, d.top() + (d.height() - kFormHeight) / 2);
    }
}

THKT75CFGMAIN::~THKT75CFGMAIN()
{
    if (hkt::skin::DialogCentreWindow() == this)
        SetMainWindow(nullptr);
    // The desktop-settings worker uses FDesktopMouse: let it end first.
    TkwThread::WaitForAll();
    // Everything that is bound to the window goes while the window is still
    // whole. Left to QWidget's destructor, the window's last deactivation and
    // its controls' destruction would run the pages' event filters and
    // handlers, which call into a window whose own destructor has already
    // run. The pages first: they watch controls of other containers.
    for (QObject *page : std::initializer_list<QObject *>{FButtons, FMouse, FDPI, FLight, FProfiles, FInfo})
        delete page;
    FButtons = nullptr;
    FMouse = nullptr;
    FDPI = nullptr;
    FLight = nullptr;
    FProfiles = nullptr;
    FInfo = nullptr;
    QList<QPointer<QObject>> children;
    for (QObject *c : this->children())
        children.append(c);
    for (const QPointer<QObject> &c : children)
        delete c.data();
}

bool THKT75CFGMAIN::RegisterWindow()
{
    if (FWindow.Register())
        return true;
    // The window runs on, but the monitor's messages (profile switches from
    // the mouse, Exit) cannot reach it: never without a word.
    qWarning("HKT75: the window cannot be registered; the monitor cannot reach it");
    return false;
}

StateButton *THKT75CFGMAIN::AddButton(const char *AName, const char *ACaption, int AX, int AY, int AW, int AH)
{
    auto *b = Place<StateButton>(this, AX, AY, AW, AH);
    b->setObjectName(QLatin1String(AName));
    b->setText(QLatin1String(ACaption));
    b->setFont(SkinFont(QStringLiteral("Tahoma"), 12, true));
    b->setFallback(FaceFallback(FaceKind::Command));
    SetSkinStyle(b, QStringLiteral("mymainbutton"));
    return b;
}

void THKT75CFGMAIN::BuildForm()
{
    ImageMain = Place<SkinImage>(this, 0, 0, kFormWidth, kFormHeight);
    ImageMain->setObjectName(QStringLiteral("ImageMain"));
    ImageMain->setFallback([](QPainter &p, const QRectF &r) { PaintMainBack(p, r); });
    // Clicks on the background reach the window (dragging by the header).
    ImageMain->setAttribute(Qt::WA_TransparentForMouseEvents);

    LabelTitle = Place<SkinLabel>(this, 66, 20, 360, 26, QStringLiteral("GAMING MOUSE CONFIG"));
    LabelTitle->setFont(SkinFont(QStringLiteral("Futura Std Medium"), 18, true, true));
    SetSkinStyle(LabelTitle, QStringLiteral("wlabel"));
    LabelTitle->setAttribute(Qt::WA_TransparentForMouseEvents);

    BTNMIN = Place<StateButton>(this, 736, 16, 20, 22);
    BTNMIN->setObjectName(QStringLiteral("BTNMIN"));
    BTNMIN->setFallback(GlyphFallback(Glyph::Minimise));
    BtnClose = Place<StateButton>(this, 764, 16, 20, 22);
    BtnClose->setObjectName(QStringLiteral("BtnClose"));
    BtnClose->setFallback(GlyphFallback(Glyph::Close));
    connect(BTNMIN, &StateButton::clicked, this, [this] { BTNMINClick(BTNMIN); });
    connect(BtnClose, &StateButton::clicked, this, [this] { BtnCloseClick(BtnClose); });

    // The four tabs.
    const char *tabNames[] = {"BtnMainConfig", "BtnCPI", "BtnColor", "BSBTNINFO"};
    const char *tabCaptions[] = {"GENERAL", "DPI", "LIGHT", "INFO"};
    StateButton **tabs[] = {&BtnMainConfig, &BtnCPI, &BtnColor, &BSBTNINFO};
    for (int tag = 0; tag < 4; ++tag) {
        auto *b = Place<StateButton>(this, 16 + tag * 120, 72, 116, 40);
        b->setObjectName(QLatin1String(tabNames[tag]));
        b->setText(QLatin1String(tabCaptions[tag]));
        b->setProperty("Tag", tag);
        b->setStaysPressed(true);
        b->setFont(SkinFont(QStringLiteral("Tahoma"), 13, true));
        b->setFallback(FaceFallback(FaceKind::Tab));
        SetSkinStyle(b, QStringLiteral("mystatebtn"));
        connect(b, &StateButton::clicked, this, [this, b] { BtnMainConfigMouseUp(b); });
        *tabs[tag] = b;
    }

    BtnOK = AddButton("BtnOK", "OK", 520, 76, 84, 32);
    BtnCancel = AddButton("BtnCancel", "CANCEL", 610, 76, 84, 32);
    BtnApply = AddButton("BtnApply", "APPLY", 700, 76, 84, 32);
    connect(BtnApply, &StateButton::clicked, this, [this] { BtnApplyClick(BtnApply); });
    connect(BtnOK, &StateButton::clicked, this, [this] { BtnOKClick(BtnOK); });
    connect(BtnCancel, &StateButton::clicked, this, [this] { BtnCancelClick(BtnCancel); });

    // The pages.
    TabControlMain = Place<QStackedWidget>(this, 0, kPageTop, kFormWidth, kPageHeight);
    TabControlMain->setObjectName(QStringLiteral("TabControlMain"));
    auto page = [this](const char *name) {
        auto *w = new QWidget;
        w->setObjectName(QLatin1String(name));
        TabControlMain->addWidget(w);
        return w;
    };
    Layout1 = page("Layout1");
    Layout2 = page("Layout2");
    Layout3 = page("Layout3");
    TabItemInfo = page("TabItemInfo");
    LayoutButtonArea = Place<QWidget>(Layout1, 0, 0, kButtonAreaWidth, kPageHeight);
    LayoutButtonArea->setObjectName(QStringLiteral("LayoutButtonArea"));
    LayoutMouseArea = Place<QWidget>(Layout1, kButtonAreaWidth, 0, kFormWidth - kButtonAreaWidth, kPageHeight);
    LayoutMouseArea->setObjectName(QStringLiteral("LayoutMouseArea"));
    LayoutInfo = Place<QWidget>(TabItemInfo, 0, 0, kFormWidth, kPageHeight);
    LayoutInfo->setObjectName(QStringLiteral("LayoutInfo"));
    LayoutInfoOEM = Place<QWidget>(TabItemInfo, 0, 0, kFormWidth, kPageHeight);
    LayoutInfoOEM->setObjectName(QStringLiteral("LayoutInfoOEM"));
    LayoutInfoOEM->hide();

    // The bottom bar: profiles, then RESTORE, RESET ALL, LOAD FILE, SAVE AS.
    for (int tag = 0; tag < 5; ++tag) {
        auto *b = Place<StateButton>(this, 16 + tag * 96, 584, 92, 36);
        b->setObjectName(QStringLiteral("BtnProfile%1").arg(tag + 1));
        b->setText(QStringLiteral("PROFILE%1").arg(tag + 1));
        b->setProperty("Tag", tag);
        b->setStaysPressed(true);
        b->setFont(SkinFont(QStringLiteral("Futura Std Medium"), 12, true, true));
        b->setFallback(FaceFallback(FaceKind::Profile));
        SetSkinStyle(b, QStringLiteral("mystatebtn"));
        BtnProfile[std::size_t(tag)] = b;
    }
    BtnRestor = AddButton("BtnRestor", "RESTORE", 508, 586, 68, 32);
    BtnRestoreall = AddButton("BtnRestoreall", "RESET ALL", 578, 586, 68, 32);
    BtnLoad = AddButton("BtnLoad", "LOAD FILE", 648, 586, 68, 32);
    BtnSave = AddButton("BtnSave", "SAVE AS", 718, 586, 68, 32);
    for (StateButton *b : {BtnRestor, BtnRestoreall, BtnLoad, BtnSave})
        b->setFont(SkinFont(QStringLiteral("Tahoma"), 10, true));

    BtnHelp = AddButton("BtnHelp", "", 470, 20, 40, 26);
    BtnHelp->hide();
    PopBoxLanguage = Place<QComboBox>(this, 520, 22, 160, 24);
    PopBoxLanguage->setObjectName(QStringLiteral("PopBoxLanguage"));
    SetSkinStyle(PopBoxLanguage, QStringLiteral("languagestyle"));
    PopBoxLanguage->hide();

    ProgressBarTime = Place<QProgressBar>(this, 16, 569, 769, 10);
    ProgressBarTime->setObjectName(QStringLiteral("ProgressBarTime"));
    ProgressBarTime->setRange(0, 100);
    ProgressBarTime->setValue(0);
    ProgressBarTime->setTextVisible(false);
    ProgressBarTime->hide();
    TimerProcess = new QTimer(this);
    TimerProcess->setInterval(kProgressStepMs);
    connect(TimerProcess, &QTimer::timeout, this, [this] { TimerProcessTimer(TimerProcess); });
    Timer2 = new QTimer(this);
    Timer2->setInterval(kCloseAfterOKMs);
    connect(Timer2, &QTimer::timeout, this, [this] { Timer2Timer(Timer2); });

    FControls.BtnProfile = BtnProfile;
    FControls.BtnRestor = BtnRestor;
    FControls.BtnRestoreall = BtnRestoreall;
    FControls.BtnLoad = BtnLoad;
    FControls.BtnSave = BtnSave;
    FControls.BtnHelp = BtnHelp;
    FControls.PopBoxLanguage = PopBoxLanguage;
    FControls.LayoutInfo = LayoutInfo;
    FControls.LayoutInfoOEM = LayoutInfoOEM;

    FButtons = new TMainConfigButtons(*this, LayoutButtonArea);
    FMouse = new TMainConfigMouse(*this, LayoutMouseArea);
    FDPI = new TMainConfigDPI(*this, Layout2);
    FLight = new TMainConfigLight(*this, Layout3);
    FProfiles = new TMainConfigProfiles(*this, this);
    FInfo = new TMainConfigInfo(*this, TabItemInfo);

    // The command registry: the six page refreshes in their fixed order.
    kwCommandSetting1 = new TkwCommandSetting(this);
    auto add = [this](const char *name, std::function<void()> f) {
        TkwCommand c;
        c.Name = QLatin1String(name);
        c.OnExecute = [f = std::move(f)](TkwGetSet, void *, std::uint32_t) { f(); };
        kwCommandSetting1->Commands().Add(std::move(c));
    };
    add("SetButton", [this] { FButtons->kwCommandSetting1Commands0Execute(); });
    add("SetCPI", [this] { FDPI->kwCommandSetting1Commands1Execute(); });
    add("SetMouseParam", [this] { FMouse->kwCommandSetting1Commands2Execute(); });
    add("SetProfileBtn", [this] { FProfiles->kwCommandSetting1Commands3Execute(); });
    add("SetReport", [this] { FMouse->kwCommandSetting1Commands4Execute(); });
    add("SetLED", [this] { FLight->kwCommandSetting1Commands5Execute(); });
}

// ---- start-up -----------------------------------------------------------------

void THKT75CFGMAIN::FormCreate(QObject *)
{
    LoadSkin();
    InitMacroDatabase();
    FState.CentreTestAreaPending = true;
    ShowPage(0);
    StartOnMouseProfile();

    const auto &cfg = DMRef.FCurrentProfileInfo.ConfigInfo;
    FState.SystemMouseSettings = {cfg.PointerSpeed, cfg.VWheelSpeed, cfg.PointerAcceleration};
    FState.LiveLEDConfig = TLEDCONFIG{};
    FState.LiveLEDConfig.R = cfg.LEDConfig.R;
    FState.LiveLEDConfig.G = cfg.LEDConfig.G;
    FState.LiveLEDConfig.B = cfg.LEDConfig.B;
    FState.LiveLEDConfig.BRIGHT_LEVEL = cfg.LEDConfig.BRIGHT_LEVEL;
    FState.LiveLEDConfig.BREATH_SPEED = cfg.LEDConfig.BREATH_SPEED;

    FInfo->FillLanguageBox();
    FInfo->ApplyLanguage();
    // The box row that shows the stored language (rows skip languages the
    // system does not know); none for a language outside the file's list.
    FInfo->ShowLanguageSelection();

    FButtons->BuildMacroSubmenu();
    RefreshPages();
    // The refresh ran the pages' change handlers; start-up has no edits.
    FState.SettingsChanged = false;
    FState.ReportRateChanged = false;

    FButtons->ShowMouseView(0);
}

void THKT75CFGMAIN::MacrosChanged(bool ASyncButtons)
{
    if (ASyncButtons)
        FButtons->SyncButtonMacros();
    FButtons->BuildMacroSubmenu();
}

void THKT75CFGMAIN::StartOnMouseProfile()
{
    // The mouse may have been switched while the program was not running:
    // started on the stored profile, the next APPLY would write that back as
    // active. The same read as APPLY's; a mouse that does not answer leaves
    // the stored profile.
    // All of it one run of transfers: another program that holds the mouse
    // for good costs one wait, not one per read.
    const hkt::platform::DeviceTransferRun run;
    std::uint8_t active = 0;
    if (ReadActiveProfile(*kwHIDData1, active, ACTIVE_PROFILE_ADDRESS) == 0 && active < PROFILE_COUNT &&
        active != DMRef.FProfileIndex && DMRef.SwitchToProfile(active))
        DMRef.SaveBackAllProfileSettingInfo();
    FReadAgainLeft = kReadAgainTries;
    KeepLevelsAndRatesMadeOnTheMouse();
    if (run.WaitedInVain())
        emit FDevice->mouseHeldElsewhere();
}

void THKT75CFGMAIN::KeepLevelsAndRatesMadeOnTheMouse()
{
    // The mouse's DPI and rate buttons change its profiles while no window
    // is there to hear of it (or in the moment before one ended). A value the
    // PC holds as the mouse last held it takes the mouse's, so the window
    // shows what the mouse plays and APPLY does not write the old value
    // back; a value edited in the window since keeps the PC's. Nothing is
    // edited yet: the stores take what was read, and with them the record of
    // what the mouse holds.
    const TMouseLevelsAndRates read = ReadMouseLevelsAndRates(*kwHIDData1);
    RetryIncompleteRead(read.Complete());
    const std::array<bool, PROFILE_COUNT> changed = FollowMouseLevelsAndRates(DMRef, read);
    std::array<bool, PROFILE_COUNT> known{};
    bool any = false;
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        known[size_t(p)] = read.Level[size_t(p)] >= 0 || read.Rate[size_t(p)] != 0;
        if (changed[size_t(p)]) {
            DMRef.SaveProfileInfoToRegistry(p);
            any = true;
        }
    }
    DMRef.SaveMouseHolds(known);
    if (any)
        DMRef.SaveBackAllProfileInfoToFile();
}

void THKT75CFGMAIN::ReadLevelsAndRatesAgain()
{
    FDevice->RunOrQueue([this] {
        // The read and what follows it in memory are one step: no report of
        // the mouse can be handled between them and be undone by them.
        const TMouseLevelsAndRates read = ReadMouseLevelsAndRates(FDevice->HID());
        RetryIncompleteRead(read.Complete());
        if (FollowMouseLevelsAndRates(DMRef, read)[size_t(DMRef.FProfileIndex)])
            ShowLevelAndRate();
    });
}

void THKT75CFGMAIN::RetryIncompleteRead(bool AComplete)
{
    if (AComplete) {
        FReadAgainLeft = 0;
        FReadAgain->stop();
        return;
    }
    THIDDataParam param;
    param.UsageAndPage = HIDUsageAndPage;
    if (FReadAgainLeft <= 0 || !kwHIDData1->IsDeviceExist(param))
        return;
    --FReadAgainLeft;
    FReadAgain->start();
}

void THKT75CFGMAIN::ShowLevelAndRate()
{
    const bool settingsChanged = FState.SettingsChanged;
    const bool rateChanged = FState.ReportRateChanged;
    FDPI->ShowCPILevelSelection();
    FMouse->ShowReportRate();
    FState.SettingsChanged = settingsChanged;
    FState.ReportRateChanged = rateChanged;
}

void THKT75CFGMAIN::InitMacroDatabase()
{
    const QString path = DMRef.GetPersonalDocumentMacroDatabasePath();
    FMacroFolderUnusable = !QFileInfo(QFileInfo(path).absolutePath()).isDir();
    if (FMacroFolderUnusable) {
        // The program runs on with the database in memory; nothing is saved
        // into a folder that is not there.
        Message(QStringLiteral("WARNING"), QString::fromLatin1(kNoDocumentsFolderText));
    }
    // A database that is not there is made in memory (and written when its
    // folder exists).
    FMacroSetClass->LoadMacrosetDB(path);
    if (!FMacroSetClass->MacroSetExist(kDefaultMacroSet)) {
        FMacroSetClass->CreateNewMacroSet(kDefaultMacroSet);
        FMacroSetClass->SwitchToMacroSet(kDefaultMacroSet);
        FMacroSetClass->CreateNewMacro(QStringLiteral("Macro1"));
        FMacroSetClass->CreateNewMacro(QStringLiteral("Macro2"));
        if (!FMacroFolderUnusable)
            FMacroSetClass->SaveMacroSetDB();
    }
    FMacroSetClass->SwitchToMacroSet(kDefaultMacroSet);
}

void THKT75CFGMAIN::LoadSkin()
{
    const QString style = LoadStyleFile(FProgramFolder);
    if (!style.isEmpty())
        qApp->setStyleSheet(style);
    LoadAppIcon();

    TImageDataBase &db = GlobalImageDataBase();
    db.AssignIMAGE(ImageMain->pictureRef(), QStringLiteral("cfgMainback.png"), QStringLiteral("background"));
    ImageMain->update();
    for (StateButton *b : {BtnMainConfig, BtnCPI, BtnColor, BSBTNINFO})
        AssignStatePictures(db, b->picturesRef(), QStringLiteral("tabbutton-1.png"), QStringLiteral("tabbutton-2.png"),
                            QStringLiteral("tabbutton-3.png"), QStringLiteral("buttons"));
    for (StateButton *b : BtnProfile)
        AssignStatePictures(db, b->picturesRef(), QStringLiteral("ProfileButton-1.png"),
                            QStringLiteral("ProfileButton-2.png"), QStringLiteral("ProfileButton-3.png"),
                            QStringLiteral("Buttons"));
    for (StateButton *b : {BtnOK, BtnCancel, BtnApply, BtnRestor, BtnRestoreall, BtnLoad, BtnSave})
        AssignStatePictures(db, b->picturesRef(), QStringLiteral("ok-1.png"), QStringLiteral("ok-2.png"),
                            QStringLiteral("ok-2.png"), QStringLiteral("Buttons"));
    // These two files are normal, pressed, hot.
    AssignStatePictures(db, BTNMIN->picturesRef(), QStringLiteral("min-1.png"), QStringLiteral("min-3.png"),
                        QStringLiteral("min-2.png"), QStringLiteral("Buttons"));
    AssignStatePictures(db, BtnClose->picturesRef(), QStringLiteral("Close-1.png"), QStringLiteral("Close-3.png"),
                        QStringLiteral("Close-2.png"), QStringLiteral("Buttons"));
    FMouse->LoadSkin();
    update();
}

void THKT75CFGMAIN::LoadAppIcon()
{
    const QString path = ResolvePath(FProgramFolder + QStringLiteral("images/0409/icons/logo.ico"));
    if (!QFileInfo::exists(path))
        return;
    const QIcon icon(path);
    if (!icon.availableSizes().isEmpty()) {
        QApplication::setWindowIcon(icon);
        setWindowIcon(icon);
    }
}

void THKT75CFGMAIN::showEvent(QShowEvent *AEvent)
{
    QWidget::showEvent(AEvent);
    // A restore from minimised is spontaneous: FormShow runs for shows the
    // program asks for.
    if (!AEvent->spontaneous())
        FormShow(this);
}

void THKT75CFGMAIN::FormShow(QObject *)
{
    FState.ReportRateChanged = false;
    const QString monitorClass = QString::fromLatin1(MONITOR_WINDOW_CLASS);
    const QString monitorExe = QString::fromLatin1(MONITOR_EXE_NAME);
    // The monitor's window is hidden: there is nothing to bring forward. A
    // monitor that cannot be started is not reported. Only at the window's
    // first show: a later one (a restore, a raise from the tray) finds a
    // monitor that the user ended on purpose, or one just restarting.
    if (!FMonitorLookedFor && !hkt::platform::FindWindowByClass(monitorClass, FSetup.RuntimeRoot)) {
        if (FSetup.StartMonitor)
            FSetup.StartMonitor(FProgramFolder, monitorExe);
        else
            hkt::platform::StartProgram(FProgramFolder, monitorExe);
    }
    FMonitorLookedFor = true;
    const QList<QRect> screens = DisplayRects(FSetup);
    if (screens.size() > 1)
        move(screens.first().left(), y());
}

// ---- pages --------------------------------------------------------------------

bool THKT75CFGMAIN::UseOEMInfoLayout() const
{
    // Read again on every tab click: "1" (the default) is the plain layout.
    const hkt::platform::IniFile ini(FProgramFolder + QStringLiteral("config.ini"));
    return ini.ReadString(QStringLiteral("OtherConfig"), QStringLiteral("helppagestyle"), QStringLiteral("1")) !=
           QStringLiteral("1");
}

void THKT75CFGMAIN::ShowPage(int ATag)
{
    if (ATag < 0 || ATag > 3)
        return;
    const bool oem = UseOEMInfoLayout();
    LayoutInfo->setVisible(!oem);
    LayoutInfoOEM->setVisible(oem);
    TabControlMain->setCurrentIndex(ATag);
    const StateButton *tabs[] = {BtnMainConfig, BtnCPI, BtnColor, BSBTNINFO};
    for (int t = 0; t < 4; ++t)
        const_cast<StateButton *>(tabs[t])->setChecked(t == ATag);
}

int THKT75CFGMAIN::CurrentPage() const
{
    return TabControlMain->currentIndex();
}

void THKT75CFGMAIN::BtnMainConfigMouseUp(QObject *Sender)
{
    if (Sender)
        ShowPage(Sender->property("Tag").toInt());
}

void THKT75CFGMAIN::RefreshPages()
{
    kwCommandSetting1->SetData(&DMRef.FAllProfileSettingInfo, int(sizeof(DMRef.FAllProfileSettingInfo)));
}

// ---- dialogs ------------------------------------------------------------------

namespace {
// A message dialog of the window is open: the monitor's editing messages
// wait for its end, which drains them.
class TDialogOpen {
public:
    TDialogOpen(int &ADepth, std::function<void()> AOnClose) : FDepth(ADepth), FOnClose(std::move(AOnClose))
    {
        ++FDepth;
    }
    ~TDialogOpen()
    {
        if (--FDepth == 0)
            FOnClose();
    }
    TDialogOpen(const TDialogOpen &) = delete;
    TDialogOpen &operator=(const TDialogOpen &) = delete;

private:
    int &FDepth;
    std::function<void()> FOnClose;
};
} // namespace

int THKT75CFGMAIN::Message(const QString &ATitle, const QString &AText)
{
    // Once the program ends no question is asked: the answer is CANCEL.
    if (FEnding)
        return SkinDialog::ResultCancel;
    const QString title = Translate(ATitle), text = Translate(AText);
    // A dialog opened inside a device sequence is one of its waits.
    const TDeviceWriteGuard::WaitScope scope(*FDevice);
    const TDialogOpen open(FDialogDepth, [this] { ScheduleMessageDrain(); });
    if (FSetup.Dialog)
        return FSetup.Dialog(title, text);
    // Every message of the window but the close question only informs.
    return ShowDialog(title, text, TDialogButtons::OkOnly);
}

int THKT75CFGMAIN::AskKeepingDismissal(const QString &ATitle, const QString &AText)
{
    if (FEnding)
        return SkinDialog::ResultDismissed;
    const QString title = Translate(ATitle), text = Translate(AText);
    const TDeviceWriteGuard::WaitScope scope(*FDevice);
    const TDialogOpen open(FDialogDepth, [this] { ScheduleMessageDrain(); });
    if (FSetup.Dialog)
        return FSetup.Dialog(title, text);
    return ShowDialog(title, text, TDialogButtons::OkCancel, TDialogDismissal::Tell);
}

int THKT75CFGMAIN::Message2(const QString &ATitle, const QString &AText, const QString &AText2)
{
    if (FEnding)
        return SkinDialog::ResultCancel;
    const QString title = Translate(ATitle), text = Translate(AText), text2 = Translate(AText2);
    const TDeviceWriteGuard::WaitScope scope(*FDevice);
    const TDialogOpen open(FDialogDepth, [this] { ScheduleMessageDrain(); });
    if (FSetup.Dialog2)
        return FSetup.Dialog2(title, text, text2);
    return ShowDialog2(title, text, text2);
}

// ---- APPLY and OK -----------------------------------------------------------------

TApplyOutcome THKT75CFGMAIN::ApplySettings()
{
    TApplyContext context{DMRef,
                          *FMacroSetClass,
                          FState,
                          *FDevice,
                          *FDesktopMouse,
                          [this](const QString &t, const QString &x) { return Message(t, x); },
                          [this] {
                              TimerProcess->stop();
                              TimerProcess->setInterval(FState.ReportRateChanged ? kProgressStepRateMs
                                                                                 : kProgressStepMs);
                              TimerProcess->start();
                              ProgressBarTime->show();
                          },
                          [this] { ShowLevelAndRate(); },
                          !FMacroFolderUnusable};
    return ::ApplySettings(context);
}

void THKT75CFGMAIN::BtnApplyClick(QObject *)
{
    if (FDevice->Busy())
        return;
    ApplySettings();
}

void THKT75CFGMAIN::BtnOKClick(QObject *)
{
    if (FDevice->Busy())
        return;
    if (ApplySettings() == TApplyOutcome::Written)
        Timer2->start();
}

void THKT75CFGMAIN::OnDeviceBusyChanged(bool ABusy)
{
    // What the monitor sent meanwhile runs first, then the user's hand is
    // back (a release held by the lock comes after the messages).
    if (!ABusy)
        ScheduleMessageDrain();
    FInputLock->SetLocked(ABusy);
    // Neither main button starts a run while one runs.
    BtnApply->setEnabled(!ABusy);
    BtnOK->setEnabled(!ABusy);
    if (!ABusy && FEnding) {
        EndNow();
        return;
    }
    if (!ABusy && FClosePending) {
        FClosePending = false;
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

void THKT75CFGMAIN::TimerProcessTimer(QObject *)
{
    if (ProgressBarTime->value() == 90) {
        TimerProcess->stop();
        TimerProcess->setInterval(kProgressLastStepMs);
        TimerProcess->start();
        ProgressBarTime->setValue(91);
    } else {
        const int v = ProgressBarTime->value() + 10;
        ProgressBarTime->setValue(std::min(v, 100));
        if (v >= 100) {
            TimerProcess->stop();
            ProgressBarTime->hide();
            ProgressBarTime->setValue(0);
        }
    }
}

void THKT75CFGMAIN::Timer2Timer(QObject *)
{
    if (ProgressBarTime->isVisible())
        return;
    Timer2->stop();
    // An edit made while the progress ran is not lost: the close asks
    // whenever SettingsChanged is set again.
    close();
}

// ---- closing ------------------------------------------------------------------------

bool THKT75CFGMAIN::AskSaveOnClose()
{
    if (!FState.SettingsChanged)
        return true;
    const int answer = AskKeepingDismissal(QStringLiteral("WARNING"),
                                           QStringLiteral("THE SETTINGS WAS CHANGED, SAVE THE CURRENT SETTING ANYWAY?"));
    // The program was ended while the question was open: nothing is stored.
    if (FEnding)
        return true;
    // Escape or the question's close is a step back, not "don't save": the
    // window stays with every edit.
    if (answer == SkinDialog::ResultDismissed)
        return false;
    if (answer != SkinDialog::ResultOK)
        return true;
    bool stored = DMRef.SaveBackAllProfileSettingInfo();
    stored = DMRef.SaveCurrentProfileInfoToRegistry() && stored;
    stored = DMRef.SaveBackAllProfileInfo() && stored;
    stored = DMRef.SaveBackAllProfileInfoToFile() && stored;
    // What is stored here is not yet in the mouse: the next start's APPLY
    // must still write it.
    stored = DMRef.SaveProfileChangedMarks() && stored;
    if (stored)
        return true;
    // The user asked to keep the edits and they are not kept: ending now
    // would lose them without a word. The window stays, the edits still
    // unsaved, so the next close asks again.
    Message(QStringLiteral("WARNING"), QString::fromLatin1(kApplyStoreFailedText));
    return FEnding;
}

void THKT75CFGMAIN::closeEvent(QCloseEvent *AEvent)
{
    // Never in the middle of a device sequence: the close follows its end.
    if (FDevice->Busy()) {
        FClosePending = true;
        AEvent->ignore();
        return;
    }
    if (!FEnding && !AskSaveOnClose()) {
        AEvent->ignore();
        return;
    }
    Timer2->stop();
    TimerProcess->stop();
    AEvent->accept();
}

void THKT75CFGMAIN::BtnCancelClick(QObject *)
{
    close();
}

void THKT75CFGMAIN::BtnCloseClick(QObject *)
{
    close();
}

void THKT75CFGMAIN::BTNMINClick(QObject *)
{
    showMinimized();
}

void THKT75CFGMAIN::kwHIDEvent1DeviceArrival(QObject *)
{
    // During a run APPLY stays disabled until the run ends.
    if (!FDevice->Busy())
        BtnApply->setEnabled(true);
    // The mouse may have changed while it was away or before the window
    // found it.
    FReadAgainLeft = kReadAgainTries;
    WndProc(WM_MOUSE_READ_AGAIN, 0, 0);
}

void THKT75CFGMAIN::mousePressEvent(QMouseEvent *AEvent)
{
    // The frameless window moves by its header.
    if (AEvent->button() == Qt::LeftButton && AEvent->position().y() < kHeaderHeight && windowHandle())
        windowHandle()->startSystemMove();
    QWidget::mousePressEvent(AEvent);
}

// ---- window messages ----------------------------------------------------------------

namespace {

// The monitor's messages that edit a profile or write the mouse, with a
// value that names something (the others change nothing and are not held).
bool IsEditingMessage(std::uint32_t Msg, std::int64_t WParam)
{
    switch (Msg) {
    case WM_SWITCH_PROFILE:
        return WParam >= 0 && WParam < PROFILE_COUNT;
    case WM_CPI_INDEX_CHANGED:
        return WParam >= 0 && WParam < CPI_LEVELS_IN_USE;
    case WM_REPORT_RATE_CHANGED:
        return WParam == 1 || WParam == 2 || WParam == 4 || WParam == 8;
    case WM_MOUSE_READ_AGAIN:
        return true;
    default:
        return false;
    }
}

} // namespace

std::int64_t THKT75CFGMAIN::WndProc(std::uint32_t Msg, std::int64_t WParam, std::int64_t LParam)
{
    if (IsEditingMessage(Msg, WParam)) {
        // The program is ending: nothing more is edited or written.
        if (FEnding)
            return 0;
        // Behind one that waits, or while it may not run: held, in order.
        if (!FPendingMessages.Empty() || MessagesMustWait()) {
            FPendingMessages.Add({Msg, WParam, LParam, FDevice->MouseStateWrites()});
            ScheduleMessageDrain();
            return 0;
        }
        RunEditingMessage({Msg, WParam, LParam, FDevice->MouseStateWrites()});
        return 0;
    }
    // Posts reach this window as they arrive; the rest still waits for the
    // end of a send of this window, as the platform holds posts.
    if (hkt::platform::InsideSendWait()) {
        QMetaObject::invokeMethod(
            this, [this, Msg, WParam, LParam] { WndProc(Msg, WParam, LParam); }, Qt::QueuedConnection);
        return 0;
    }
    switch (Msg) {
    case WM_EXIT_PROGRAM:
        WMExitProgram();
        return 0;
    case hkt::platform::kActivateWindowMessage:
        if (isMinimized())
            showNormal();
        else
            show();
        raise();
        activateWindow();
        RaiseModalDialogs(this);
        return 1;
    default:
        // WM_RESERVED, and the editing messages with a value that names nothing.
        return 0;
    }
}

bool THKT75CFGMAIN::MessagesMustWait() const
{
    // A run of device writes, a send of this window (what arrives in its wait
    // would run nested inside whatever sent), or any dialog open: its answer
    // is for the profile it was opened on.
    return FDevice->Busy() || hkt::platform::InsideSendWait() || FDialogDepth > 0 ||
           QApplication::activeModalWidget() != nullptr || BarHeld();
}

bool THKT75CFGMAIN::BarHeld() const
{
    // A held bar writes each move into the profile shown when the drag
    // began; a switch in the middle would carry the rest of the drag into
    // the next profile.
    const auto bars = findChildren<hkt::skin::TrackBar *>();
    return std::any_of(bars.begin(), bars.end(), [](const hkt::skin::TrackBar *b) { return b->isDragging(); });
}

void THKT75CFGMAIN::RunEditingMessage(const TPendingMessage &AMessage)
{
    switch (AMessage.Msg) {
    case WM_SWITCH_PROFILE:
        WMSwitchProfile(AMessage.WParam, AMessage.MouseStateWrites);
        break;
    case WM_CPI_INDEX_CHANGED:
        WMCPIIndexChanged(AMessage.WParam, AMessage.MouseStateWrites);
        break;
    case WM_REPORT_RATE_CHANGED:
        WMReportRateChanged(AMessage.WParam, AMessage.MouseStateWrites);
        break;
    case WM_MOUSE_READ_AGAIN:
        ReadLevelsAndRatesAgain();
        break;
    default:
        break;
    }
}

void THKT75CFGMAIN::ScheduleMessageDrain()
{
    if (!FPendingMessages.Empty())
        QMetaObject::invokeMethod(this, [this] { DrainPendingMessages(); }, Qt::QueuedConnection);
}

void THKT75CFGMAIN::DrainPendingMessages()
{
    // One drain at a time: a switch run from here waits with the loop running.
    if (FDrainingMessages)
        return;
    FDrainingMessages = true;
    // Held messages die with an ending program: its end stores and writes nothing.
    while (!FEnding && !FPendingMessages.Empty()) {
        if (MessagesMustWait()) {
            // The end of a run or of a send drains again; a dialog's end is
            // looked for.
            if (!FDevice->Busy() && !hkt::platform::InsideSendWait())
                FDrainRetry->start();
            break;
        }
        RunEditingMessage(*FPendingMessages.Take());
    }
    FDrainingMessages = false;
}

void THKT75CFGMAIN::ShowMouseHeldWarning()
{
    if (!FMouseHeldWarningDue || FEnding)
        return;
    // Never inside a run of device writes (its waits run this loop), nested
    // in a send of this window, or over another dialog.
    if (FDevice->Busy() || hkt::platform::InsideSendWait() || FDialogDepth > 0 ||
        QApplication::activeModalWidget() != nullptr) {
        QTimer::singleShot(50, this, [this] { ShowMouseHeldWarning(); });
        return;
    }
    FMouseHeldWarningDue = false;
    Message(QStringLiteral("WARNING"), QString::fromLatin1(kMouseHeldElsewhereText));
}

void THKT75CFGMAIN::WMExitProgram()
{
    FEnding = true;
    // A question open now (the close question among them) is left
    // unanswered, so nothing it guards is stored.
    CloseDialogsAndMenus(this);
    if (FDevice->Busy()) {
        // The run finishes its writes (it closes the mouse's write bracket);
        // its end ends the program. Nothing the user does meanwhile counts.
        setEnabled(false);
        return;
    }
    EndNow();
}

void THKT75CFGMAIN::EndNow()
{
    if (FEnded)
        return;
    FEnded = true;
    Timer2->stop();
    TimerProcess->stop();
    hide();
    // Every event loop ends, a dialog's nested one included, so no handler
    // that was waiting on a dialog keeps the program running.
    if (FSetup.EndProgram)
        FSetup.EndProgram();
    else
        QCoreApplication::exit(0);
}

void THKT75CFGMAIN::WMSwitchProfile(std::int64_t WParam, std::optional<std::uint64_t> AArrivedAt)
{
    // Only profiles 0..4 have a button.
    if (WParam < 0 || WParam >= PROFILE_COUNT)
        return;
    const int tag = int(WParam);
    const std::uint64_t arrivedAt = AArrivedAt.value_or(FDevice->MouseStateWrites());
    // The mouse itself has switched: the switch is never dropped (it comes
    // here only when no run is in progress; should one be, it follows it).
    FDevice->RunOrQueue([this, tag, arrivedAt] { FProfiles->SwitchMadeOnTheMouse(tag, arrivedAt); });
}

void THKT75CFGMAIN::WMCPIIndexChanged(std::int64_t WParam, std::optional<std::uint64_t> AArrivedAt)
{
    if (WParam < 0 || WParam >= CPI_LEVELS_IN_USE)
        return;
    using State = TDeviceWriteGuard::TMouseState;
    const int level = int(WParam);
    const int p = DMRef.FProfileIndex;
    const bool changed = DMRef.FCurrentProfileInfo.ConfigInfo.CurrentCPIIndex != level;
    DMRef.FCurrentProfileInfo.ConfigInfo.CurrentCPIIndex = std::int32_t(level);
    if (AArrivedAt && FDevice->WrittenSince(State::CPILevel, p, *AArrivedAt)) {
        // The window's own write of this profile's table (APPLY) came after
        // the user's press: the mouse gets the press back.
        TDeviceCPITable table{};
        EncodeCPITable(DMRef.FCurrentProfileInfo, table);
        TkwHIDData &hid = FDevice->HID();
        FDevice->Run([&] {
            FDevice->RewriteOverwrittenReport(
                State::CPILevel, p, table.CurrentCPIIndex, *AArrivedAt,
                [&](int &onTheMouse) { return ReadProfileCPIIndex(hid, p, onTheMouse); },
                [&] { return WriteCPITable(hid, table, CPITableAddress(p)); });
        });
    }
    // Kept in the profile's store as the rate is, so a switch (which loads
    // the next profile from its store) and APPLY keep it. The unsaved mark
    // stays as it was: the mouse holds the level already, and the next start
    // takes it from the mouse should the PC never store it.
    DMRef.NoteMouseHoldsLevel(p, level);
    if (changed)
        DMRef.SaveBackToCurrentProfileInfo();
    FDPI->ShowCPILevelSelection();
}

void THKT75CFGMAIN::WMReportRateChanged(std::int64_t WParam, std::optional<std::uint64_t> AArrivedAt)
{
    const int rate = WParam > 0 && WParam <= 0xFF ? ReportRateOfCode(std::uint8_t(WParam)) : 0;
    if (rate == 0)
        return; // not a rate code of the mouse
    using State = TDeviceWriteGuard::TMouseState;
    const int p = DMRef.FProfileIndex;
    if (AArrivedAt && FDevice->WrittenSince(State::ReportRate, p, *AArrivedAt)) {
        // APPLY wrote this profile's rate after the user's press: the mouse
        // gets the press back.
        const auto code = std::uint8_t(WParam);
        TkwHIDData &hid = FDevice->HID();
        FDevice->Run([&] {
            FDevice->RewriteOverwrittenReport(
                State::ReportRate, p, code, *AArrivedAt,
                [&](int &onTheMouse) {
                    std::uint8_t v = 0;
                    const std::uint32_t r = ReadDeviceMemory(hid, &v, 1, ReportRateAddress(p));
                    onTheMouse = v;
                    return r;
                },
                [&] { return WriteReportRate(hid, code, ReportRateAddress(p)); });
        });
    }
    DMRef.NoteMouseHoldsRate(p, rate);
    DMRef.FCurrentProfileInfo.ConfigInfo.ReportRate = std::uint16_t(rate);
    // Checking the rate's radio keeps it in the profile and marks it.
    FMouse->ShowReportRate();
}
