// The window while the mouse is being written, while a dialog is open and
// while the monitor's messages come in: nothing edits, opens or runs nested
// during a run of device writes; the monitor's messages run after it, in the
// order they came, with superseded profile switches coalesced; the window
// starts on the mouse's profile. Against the in-process simulated mouse,
// with the messages delivered through the window's real socket.
#include "MainConfigFixture.h"

#include "config/app/ButtonFunctions.h"
#include "config/app/MainConfigButtons.h"
#include "config/app/MainConfigDPI.h"
#include "config/app/MainConfigInfo.h"
#include "config/app/MainConfigLight.h"
#include "config/app/MainConfigMouse.h"
#include "config/app/MainConfigProfiles.h"
#include "config/app/PendingMessages.h"
#include "config/app/RunInputLock.h"
#include "config/ui/kwLanguage.h"
#include "core/pubunit_device_commands.h"
#include "peer/PeerProcess.h"
#include "platform/DeviceTransferLock.h"
#include "platform/Paths.h"
#include "platform/WindowMessages.h"
#include "support/ReportBytes.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QFile>
#include <QDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace hkt::testapp;
using hkt::test::Bytes;

namespace {

constexpr int kWait = 10000; // generous: a loaded CI machine

// ---- the pending messages on their own ----------------------------------------

TPendingMessage Switch(int p) { return {WM_SWITCH_PROFILE, p, 0}; }
TPendingMessage Rate(int code) { return {WM_REPORT_RATE_CHANGED, code, 0}; }
TPendingMessage Level(int i) { return {WM_CPI_INDEX_CHANGED, i, 0}; }

TEST(PendingMessages, OnlyASwitchRightBehindASwitchReplacesIt)
{
    struct Case {
        const char *name;
        std::vector<TPendingMessage> in, out;
    };
    const Case cases[] = {
        {"three presses of the cycle button", {Switch(1), Switch(2), Switch(3)}, {Switch(3)}},
        {"a rate between two switches", {Switch(1), Rate(8), Switch(3)}, {Switch(1), Rate(8), Switch(3)}},
        {"a level between two switches", {Switch(1), Level(2), Switch(3)}, {Switch(1), Level(2), Switch(3)}},
        {"a switch then its rate", {Switch(1), Switch(3), Rate(8)}, {Switch(3), Rate(8)}},
        {"a rate then a switch", {Rate(8), Switch(3), Switch(0)}, {Rate(8), Switch(0)}},
        {"reports keep every copy", {Rate(8), Rate(4), Level(1), Level(1)}, {Rate(8), Rate(4), Level(1), Level(1)}},
    };
    for (const Case &c : cases) {
        TPendingMessages q;
        for (const TPendingMessage &m : c.in)
            q.Add(m);
        std::vector<TPendingMessage> out;
        while (auto m = q.Take())
            out.push_back(*m);
        EXPECT_EQ(out, c.out) << c.name;
        EXPECT_TRUE(q.Empty());
    }
}

// ---- the window -----------------------------------------------------------------

class WriteGateTest : public MainConfigTest {
public:
    using MainConfigTest::Dm;
    using MainConfigTest::Form;
    using MainConfigTest::m_dialogAnswer;
    using MainConfigTest::m_mouse;
    using MainConfigTest::m_mouseOnStoredProfile;
    using MainConfigTest::Sets;

    // The profiles written to the mouse's active-profile byte, in order.
    std::vector<int> ActiveWrites() const
    {
        std::vector<int> out;
        for (const Bytes &b : Sets())
            if (b.size() > 8 && b[0] == 0x02 && b[1] == DEVICE_CMD_WRITE_MEMORY && b[2] == 0x43 && b[3] == 0)
                out.push_back(b[8]);
        return out;
    }
    std::vector<std::uint8_t> Mem(std::uint32_t addr, std::uint32_t len) { return m_mouse->Dump(addr, len); }
    TMouseProfileInfo Stored(int p)
    {
        TMouseProfileInfo info{};
        Dm().ReadProfileInfo(info, p);
        return info;
    }
    Bytes EncodedCPI(const TMouseProfileInfo &p)
    {
        TDeviceCPITable table{};
        EncodeCPITable(p, table);
        const auto *b = reinterpret_cast<const std::uint8_t *>(&table);
        return Bytes(b, b + sizeof table);
    }

    // A test that chose a language leaves the process's dictionary as it found it.
    void TearDown() override
    {
        MainConfigTest::TearDown();
        TkwLanguage none;
        none.SetLang(QStringLiteral("en"));
    }
    // The window on the first profile with a stand-in monitor.
    THKT75CFGMAIN &FormOnFirstProfileWithMonitor()
    {
        StartMonitorPeer();
        EXPECT_TRUE(Dm().SwitchToProfile(0));
        return Form();
    }
    // A stand-in monitor window: records the profiles it is told about, and
    // runs OnProfileChanged (once) inside the window's send.
    void StartMonitorPeer()
    {
        m_monitor = std::make_unique<hkt::platform::MessageWindow>(QStringLiteral("THKT75MONMAIN"), Runtime());
        m_monitor->SetHandler([this](std::uint32_t msg, std::int64_t, std::int64_t l) {
            if (msg == WM_PROFILE_CHANGED) {
                m_monitorProfiles.push_back(int(l));
                if (auto f = std::exchange(OnProfileChanged, nullptr))
                    f();
            }
            return 0;
        });
        ASSERT_TRUE(m_monitor->Register());
    }
    hkt::platform::WindowHandle ConfigWindow() const
    {
        return hkt::platform::FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime());
    }
    void Post(const TPendingMessage &m) { hkt::platform::PostWindowMessage(ConfigWindow(), m.Msg, m.WParam, m.LParam); }
    void Send(const TPendingMessage &m) { hkt::platform::SendWindowMessage(ConfigWindow(), m.Msg, m.WParam, m.LParam); }
    // The mouse makes a change and the monitor passes it on, as the monitor
    // does: the switch sent, the reports posted.
    void FromTheMouse(const TPendingMessage &m)
    {
        if (m.Msg == WM_SWITCH_PROFILE) {
            m_mouse->SetProfile(int(m.WParam));
            Send(m);
        } else {
            if (m.Msg == WM_REPORT_RATE_CHANGED)
                m_mouse->SetRateCode(int(m.WParam));
            else
                m_mouse->SetDpiLevel(int(m.WParam));
            Post(m);
        }
    }

    // Runs AAction once, from the event loop, as soon as AWhen holds: during
    // a run that is one of its waits right after the write that made it true.
    void Once(std::function<bool()> AWhen, std::function<void()> AAction)
    {
        auto *t = new QTimer(&Form());
        t->setInterval(0);
        QObject::connect(t, &QTimer::timeout, t, [t, when = std::move(AWhen), action = std::move(AAction)] {
            if (!when())
                return;
            t->stop();
            t->deleteLater();
            action();
        });
        t->start();
    }
    // Runs AAction once with the first modal dialog that opens.
    void OnModal(std::function<void(QWidget *)> AAction)
    {
        Once([] { return QApplication::activeModalWidget() != nullptr; },
             [a = std::move(AAction)] { a(QApplication::activeModalWidget()); });
    }
    bool SettledOn(int p)
    {
        return QTest::qWaitFor(
            [&] {
                return Form().PendingMessages().Empty() && !Form().DeviceWrites().Busy() && Dm().FProfileIndex == p &&
                       !m_monitorProfiles.empty() && m_monitorProfiles.back() == p;
            },
            kWait);
    }
    int RateOf(int p) { return p == Dm().FProfileIndex ? Dm().FCurrentProfileInfo.ConfigInfo.ReportRate : Stored(p).ConfigInfo.ReportRate; }

    std::unique_ptr<hkt::platform::MessageWindow> m_monitor;
    std::vector<int> m_monitorProfiles;
    std::function<void()> OnProfileChanged;
};

// The three ways in which a run of device writes was entered from outside.
// Each row fails without the gate: the profile sent stale and unmarked, a
// dialog stalling APPLY inside the mouse's write bracket, a switch run
// nested inside RESET ALL.
struct Probe {
    const char *name;
    void (*run)(WriteGateTest &t);
};
void PrintTo(const Probe &p, std::ostream *os) { *os << p.name; }

const Probe kProbes[] = {
    {"an edit while APPLY writes the current profile",
     [](WriteGateTest &t) {
         THKT75CFGMAIN &form = t.Form();
         const int current = t.Dm().FProfileIndex;
         for (int p = 0; p < PROFILE_COUNT; ++p)
             t.Dm().SetProfileChanged(p, false);
         t.m_mouse->ClearLog();
         const int shownRate = t.Dm().FCurrentProfileInfo.ConfigInfo.ReportRate;
         ASSERT_NE(shownRate, 125);
         ASSERT_NE(shownRate, 250);
         const std::uint8_t shownCode = shownRate == 1000 ? 1 : shownRate == 500 ? 2 : 0;
         ASSERT_NE(shownCode, 0);
         // Right after the button map, before the rate byte and the mark.
         t.Once([&] { return t.Sets().size() >= 4; },
                [&] {
                    EXPECT_TRUE(form.DeviceWrites().Busy());
                    form.WndProc(WM_REPORT_RATE_CHANGED, 8, 0);
                    QTest::mouseClick(form.MousePage().Radio250, Qt::LeftButton);
                });
         QTest::mouseClick(form.BtnApply, Qt::LeftButton);
         // APPLY's traffic as ever: the rate byte it read before the wait.
         EXPECT_EQ(t.Sets().size(), 20u);
         EXPECT_EQ(t.Mem(hkt::sim::RateAddr(current), 1), Bytes{shownCode});
         // The click never arrived; the monitor's rate ran after APPLY, and
         // is marked for the next one.
         ASSERT_TRUE(QTest::qWaitFor([&] { return form.PendingMessages().Empty(); }, kWait));
         EXPECT_EQ(t.Dm().FCurrentProfileInfo.ConfigInfo.ReportRate, 125);
         EXPECT_TRUE(form.MousePage().Radio125->isChecked());
         EXPECT_TRUE(t.Dm().IsProfileChanged(current));
         EXPECT_TRUE(form.State().SettingsChanged);
         EXPECT_EQ(form.ApplySettings(), TApplyOutcome::Written);
         EXPECT_EQ(t.Mem(hkt::sim::RateAddr(current), 1), Bytes{0x08});
     }},
    {"a dialog click during APPLY's waits",
     [](WriteGateTest &t) {
         THKT75CFGMAIN &form = t.Form();
         t.m_mouse->ClearLog();
         const TLEDCONFIG light = t.Dm().FCurrentProfileInfo.ConfigInfo.LEDConfig;
         int opened = 0, writeStateWhenOpened = -1;
         // Whatever dialog opens is counted and closed.
         auto *watch = new QTimer(&form);
         QObject::connect(watch, &QTimer::timeout, watch, [&] {
             if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                 ++opened;
                 writeStateWhenOpened = t.m_mouse->Live().writeState;
                 d->reject();
             }
         });
         watch->start(10);
         t.Once([&] { return t.Sets().size() >= 4; },
                [&] { QTest::mouseClick(form.LightPage().ComboColorSelect, Qt::LeftButton); });
         QTest::mouseClick(form.BtnApply, Qt::LeftButton);
         delete watch;
         EXPECT_EQ(opened, 0) << "opened while the mouse was in write state " << writeStateWhenOpened;
         EXPECT_EQ(t.m_mouse->Live().writeState, 1);
         EXPECT_EQ(t.Sets().size(), 20u);
         EXPECT_EQ(std::memcmp(&light, &t.Dm().FCurrentProfileInfo.ConfigInfo.LEDConfig, sizeof light), 0);
     }},
    {"a switch while RESET ALL tells the monitor",
     [](WriteGateTest &t) {
         t.StartMonitorPeer();
         THKT75CFGMAIN &form = t.Form();
         t.m_dialogAnswer = 1;
         t.m_mouse->ClearLog();
         // The mouse is switched to profile 2 while RESET ALL's switch to
         // profile 5 waits for the monitor.
         t.OnProfileChanged = [&] {
             t.m_mouse->SetProfile(1);
             t.Send(Switch(1));
         };
         QTest::mouseClick(form.BtnRestoreall, Qt::LeftButton);
         // RESET ALL ended as ever: profile 5's own DPI table at its address.
         const Bytes fifth = t.EncodedCPI(t.Stored(4));
         ASSERT_NE(fifth, t.EncodedCPI(t.Stored(1)));
         EXPECT_EQ(t.Mem(hkt::sim::DpiTableAddr(4), 42), fifth);
         // Then the switch, and all three agree.
         ASSERT_TRUE(t.SettledOn(1));
         EXPECT_EQ(t.Mem(0x43, 1), Bytes{0x01});
         // The mouse made that switch after RESET ALL's write: it is not
         // written back.
         EXPECT_EQ(t.ActiveWrites(), (std::vector<int>{4}));
         EXPECT_EQ(t.m_monitorProfiles, (std::vector<int>{4, 1}));
         EXPECT_TRUE(form.BtnProfile[1]->isChecked());
     }},
};

} // namespace

class WriteGateProbes : public WriteGateTest, public ::testing::WithParamInterface<Probe> {};

TEST_P(WriteGateProbes, NothingEditsOpensOrRunsNestedDuringARun)
{
    Form().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form()));
    Form().DeviceWrites().SetWaitMs(5);
    GetParam().run(*this);
}

INSTANTIATE_TEST_SUITE_P(Table, WriteGateProbes, ::testing::ValuesIn(kProbes),
                         [](const ::testing::TestParamInfo<Probe> &i) { return std::to_string(i.index); });

// ---- a dialog open ----------------------------------------------------------------

namespace {

// A dialog the window opens, and how a test closes it.
struct DialogCase {
    const char *name;
    void (*open)(THKT75CFGMAIN &form);
    void (*close)(QWidget *dialog);
};
void PrintTo(const DialogCase &c, std::ostream *os) { *os << c.name; }

void Reject(QWidget *d) { static_cast<QDialog *>(d)->reject(); }

const DialogCase kDialogs[] = {
    {"the macro manager",
     [](THKT75CFGMAIN &form) {
         form.ButtonsPage().BtnSet1Click(5);
         form.ButtonsPage().kwMenuEx1ItemsClick(MENU_ID_MACRO_MANAGER);
     },
     Reject},
    {"a key dialog",
     [](THKT75CFGMAIN &form) {
         form.ButtonsPage().BtnSet1Click(5);
         form.ButtonsPage().kwMenuEx1ItemsClick(MENU_ID_SINGLE_KEY);
     },
     Reject},
    {"the colour dialog, a colour chosen",
     [](THKT75CFGMAIN &form) { QTest::mouseClick(form.LightPage().ComboColorSelect, Qt::LeftButton); },
     [](QWidget *d) {
         auto *c = qobject_cast<QColorDialog *>(d);
         EXPECT_TRUE(c);
         if (!c) {
             Reject(d);
             return;
         }
         c->setCurrentColor(QColor(0x12, 0x34, 0x56));
         c->accept();
     }},
};

} // namespace

class WriteGateDialogs : public WriteGateTest, public ::testing::WithParamInterface<DialogCase> {};

TEST_P(WriteGateDialogs, TheMousesSwitchAndReportsWaitUntilTheDialogCloses)
{
    const DialogCase &c = GetParam();
    THKT75CFGMAIN &form = FormOnFirstProfileWithMonitor();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const int rate0 = RateOf(0);
    ASSERT_NE(rate0, 125);
    m_mouse->ClearLog();
    bool checkedWhileOpen = false;
    OnModal([&](QWidget *dialog) {
        // The mouse goes to profile 4 and reports 125 Hz there.
        m_mouse->SetProfile(3);
        Post(Switch(3));
        m_mouse->SetRateCode(8);
        Post(Rate(8));
        // (No ASSERT here: the dialog is closed whatever is found.)
        EXPECT_TRUE(QTest::qWaitFor([&] { return form.PendingMessages().Count() == 2; }, kWait));
        EXPECT_EQ(Dm().FProfileIndex, 0);
        EXPECT_EQ(RateOf(0), rate0);
        EXPECT_TRUE(ActiveWrites().empty());
        checkedWhileOpen = true;
        c.close(dialog);
    });
    c.open(form);
    EXPECT_TRUE(checkedWhileOpen);
    // After it: the switch, then the rate on the profile it came from.
    ASSERT_TRUE(SettledOn(3));
    EXPECT_EQ(RateOf(3), 125);
    EXPECT_EQ(RateOf(0), rate0);
    // The mouse is on the profile it reported: nothing is written back.
    EXPECT_TRUE(ActiveWrites().empty());
    EXPECT_EQ(Mem(0x43, 1), Bytes{0x03});
}

TEST_F(WriteGateTest, TheColourDialogsChoiceIsDroppedWhenItsProfileChangedMeanwhile)
{
    ASSERT_TRUE(Dm().SwitchToProfile(0));
    THKT75CFGMAIN &form = Form();
    const TLEDCONFIG light0 = Stored(0).ConfigInfo.LEDConfig, light3 = Stored(3).ConfigInfo.LEDConfig;
    OnModal([&](QWidget *d) {
        // A switch that does not wait for the dialog.
        EXPECT_TRUE(form.ProfilesPage().BtnProfile1Click(3));
        auto *c = qobject_cast<QColorDialog *>(d);
        EXPECT_TRUE(c);
        if (!c) {
            static_cast<QDialog *>(d)->reject();
            return;
        }
        c->setCurrentColor(QColor(0x12, 0x34, 0x56));
        m_mouse->ClearLog();
        c->accept();
    });
    QTest::mouseClick(form.LightPage().ComboColorSelect, Qt::LeftButton);
    EXPECT_EQ(Dm().FProfileIndex, 3);
    EXPECT_TRUE(Sets().empty()) << "no colour preview";
    EXPECT_EQ(std::memcmp(&light3, &Dm().FCurrentProfileInfo.ConfigInfo.LEDConfig, sizeof light3), 0);
    const TLEDCONFIG stored0 = Stored(0).ConfigInfo.LEDConfig;
    EXPECT_EQ(std::memcmp(&light0, &stored0, sizeof light0), 0);
}

INSTANTIATE_TEST_SUITE_P(Table, WriteGateDialogs, ::testing::ValuesIn(kDialogs),
                         [](const ::testing::TestParamInfo<DialogCase> &i) { return std::to_string(i.index); });

// ---- the mouse's reports in the order it sent them ----------------------------------

namespace {

struct SequenceCase {
    const char *name;
    std::vector<TPendingMessage> fromMouse; // made on the mouse during APPLY
    int lastProfile;
    std::vector<int> switchesAfterApply; // profiles written after APPLY's own
    int rateProfile;                     // where 125 Hz ends up (-1: nowhere)
};
void PrintTo(const SequenceCase &c, std::ostream *os) { *os << c.name; }

const SequenceCase kSequences[] = {
    {"profile 4, rate", {Switch(3), Rate(8)}, 3, {3}, 3},
    {"rate, profile 4", {Rate(8), Switch(3)}, 3, {3}, 0},
    {"profile 2, profile 4, rate", {Switch(1), Switch(3), Rate(8)}, 3, {3}, 3},
    {"profile 2, rate, profile 4", {Switch(1), Rate(8), Switch(3)}, 3, {1, 3}, 1},
    {"three presses of the cycle button", {Switch(1), Switch(2), Switch(3)}, 3, {3}, -1},
    {"profile 3, level 5", {Switch(2), Level(4)}, 2, {2}, -1},
};

} // namespace

class WriteGateOrder : public WriteGateTest, public ::testing::WithParamInterface<SequenceCase> {};

TEST_P(WriteGateOrder, ReportsRunInTheMousesOrderAndTheLastProfileIsEverywhere)
{
    const SequenceCase &c = GetParam();
    THKT75CFGMAIN &form = FormOnFirstProfileWithMonitor();
    form.DeviceWrites().SetWaitMs(5);
    std::vector<int> rates;
    for (int p = 0; p < PROFILE_COUNT; ++p)
        rates.push_back(RateOf(p));
    m_mouse->ClearLog();
    // Back to back, right after APPLY's button map.
    Once([&] { return Sets().size() >= 4; },
         [&] {
             for (const TPendingMessage &m : c.fromMouse)
                 FromTheMouse(m);
         });
    EXPECT_EQ(form.ApplySettings(), TApplyOutcome::Written);
    ASSERT_TRUE(SettledOn(c.lastProfile));
    // The window, the monitor and the mouse on the mouse's last profile; no
    // superseded switch written back.
    EXPECT_EQ(Mem(0x43, 1), Bytes{std::uint8_t(c.lastProfile)});
    std::vector<int> written = ActiveWrites();
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(written.front(), 0) << "APPLY's own";
    written.erase(written.begin());
    EXPECT_EQ(written, c.switchesAfterApply);
    for (int p = 0; p < PROFILE_COUNT; ++p)
        EXPECT_EQ(RateOf(p), p == c.rateProfile ? 125 : rates[size_t(p)]) << "profile " << p;
    if (c.rateProfile >= 0) {
        // The mouse holds it and the PC knows it does: nothing of it is owed.
        EXPECT_FALSE(Dm().IsRateOwedToMouse(c.rateProfile));
        // The press came after whatever APPLY wrote there: the mouse holds it too.
        EXPECT_EQ(Mem(0x48 + std::uint32_t(c.rateProfile), 1), Bytes{8});
    }
    const TPendingMessage &last = c.fromMouse.back();
    if (last.Msg == WM_CPI_INDEX_CHANGED) {
        EXPECT_EQ(Dm().FCurrentProfileInfo.ConfigInfo.CurrentCPIIndex, last.WParam);
        EXPECT_EQ(Stored(c.lastProfile).ConfigInfo.CurrentCPIIndex, last.WParam) << "kept in the store";
        EXPECT_EQ(Mem(hkt::sim::DpiTableAddr(c.lastProfile) + 1, 1), Bytes{std::uint8_t(last.WParam)});
    }
}

INSTANTIATE_TEST_SUITE_P(Table, WriteGateOrder, ::testing::ValuesIn(kSequences),
                         [](const ::testing::TestParamInfo<SequenceCase> &i) { return std::to_string(i.index); });

// ---- start-up -----------------------------------------------------------------------

TEST_F(WriteGateTest, TheWindowStartsOnTheMousesProfileWhenTheMouseAnswers)
{
    struct Case {
        const char *name;
        bool plugged;
        int mouseProfile;
        int expected;
    };
    const Case cases[] = {
        {"the mouse on another profile", true, 3, 3},
        {"the mouse on the stored profile", true, 1, 1},
        {"no mouse", false, 3, 1},
    };
    m_mouseOnStoredProfile = false;
    for (const Case &c : cases) {
        ASSERT_TRUE(Dm().SwitchToProfile(1));
        Dm().SaveBackAllProfileSettingInfo();
        m_mouse->SetProfile(c.mouseProfile);
        if (!c.plugged)
            m_mouse->Unplug();
        m_mouse->ClearLog();
        THKT75CFGMAIN &form = Form();
        EXPECT_EQ(Dm().FProfileIndex, c.expected) << c.name;
        EXPECT_TRUE(form.BtnProfile[size_t(c.expected)]->isChecked()) << c.name;
        EXPECT_FALSE(form.State().SettingsChanged) << c.name;
        // Only the read; the stored profile follows for the next start.
        EXPECT_TRUE(ActiveWrites().empty()) << c.name;
        TDM again(TDMRoots{m_store, ProgramFolder(), Documents()});
        EXPECT_EQ(again.FProfileIndex, c.expected) << c.name;
        // APPLY writes back what the mouse is on.
        if (c.plugged) {
            EXPECT_EQ(form.ApplySettings(), TApplyOutcome::Written) << c.name;
            EXPECT_EQ(Mem(0x43, 1), Bytes{std::uint8_t(c.mouseProfile)}) << c.name;
        }
        m_form.reset();
        m_mouse->Plug();
        m_dialogs.clear();
    }
}

// ---- the input lock on bare widgets ------------------------------------------------------

namespace {

// Records the input events a widget receives.
class Recorder : public QObject {
public:
    std::vector<QEvent::Type> got;
    bool eventFilter(QObject *, QEvent *e) override
    {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ContextMenu:
            got.push_back(e->type());
            break;
        default:
            break;
        }
        return false;
    }
};

} // namespace

// A shown window with one button, and its lock.
class RunInputLockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        button = new QPushButton(QStringLiteral("x"), &main);
        main.resize(200, 100);
        main.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
        QObject::connect(button, &QPushButton::clicked, [this] { ++clicks; });
    }
    QWidget main;
    QPushButton *button = nullptr;
    TRunInputLock lock{&main};
    int clicks = 0;
};

TEST_F(RunInputLockTest, SwallowsInputToTheWindowsThereButNotToANewDialogAndShowsBusy)
{
    Recorder seen;
    button->installEventFilter(&seen);

    lock.SetLocked(true);
    ASSERT_TRUE(QGuiApplication::overrideCursor());
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
    // A dialog opened while locked takes its input.
    QDialog dialog;
    auto *ok = new QPushButton(QStringLiteral("OK"), &dialog);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseDClick(button, Qt::LeftButton);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Space);
    QWheelEvent wheel(QPointF(5, 5), button->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(button, &wheel);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5), button->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(button, &menu);
    QTest::mouseMove(button, QPoint(6, 6)); // a hover passes
    EXPECT_EQ(clicks, 0);
    for (QEvent::Type t : seen.got)
        EXPECT_EQ(t, QEvent::MouseMove);

    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    lock.SetLocked(false);
    EXPECT_FALSE(QGuiApplication::overrideCursor());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
}

TEST_F(RunInputLockTest, APressMadeBeforeTheLockEndsAfterIt)
{

    QTest::mousePress(button, Qt::LeftButton);
    ASSERT_TRUE(button->isDown());
    lock.SetLocked(true);
    QTest::mouseRelease(button, Qt::LeftButton);
    EXPECT_TRUE(button->isDown());
    EXPECT_EQ(clicks, 0);
    lock.SetLocked(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !button->isDown(); }, kWait));
    EXPECT_EQ(clicks, 1);
}


// ---- the run's own dialog, the cursor, the window's own send --------------------------

class WriteGateRealDialogs : public WriteGateTest {
protected:
    TMainConfigSetup WindowSetup() override
    {
        TMainConfigSetup s = WriteGateTest::WindowSetup();
        s.Dialog = nullptr; // the skinned dialogs themselves
        return s;
    }
};

TEST_F(WriteGateRealDialogs, TheRunsOwnDialogTakesInputWhileTheWindowShowsBusy)
{
    THKT75CFGMAIN &form = Form();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_FALSE(QGuiApplication::overrideCursor());
    m_mouse->Unplug();
    bool busyCursor = false, clickedOK = false;
    OnModal([&](QWidget *dialog) {
        busyCursor = QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::BusyCursor;
        // A click on the main window goes nowhere; the dialog's OK closes it.
        QTest::mouseClick(form.LightPage().ComboColorSelect, Qt::LeftButton);
        EXPECT_EQ(QApplication::activeModalWidget(), dialog);
        for (auto *b : dialog->findChildren<hkt::skin::StateButton *>())
            if (b->modalResult() == 1 && !clickedOK) {
                clickedOK = true;
                QTest::mouseClick(b, Qt::LeftButton);
            }
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the dialog took no click";
            static_cast<QDialog *>(dialog)->reject();
        }
    });
    EXPECT_EQ(form.ApplySettings(), TApplyOutcome::MouseAbsent);
    EXPECT_TRUE(clickedOK);
    EXPECT_TRUE(busyCursor);
    EXPECT_FALSE(QGuiApplication::overrideCursor());
    m_mouse->Plug();
}

TEST_F(WriteGateTest, ASwitchArrivingWhileTheLanguageIsSentRunsAfterTheSend)
{
    StartMonitorPeer();
    ASSERT_TRUE(QFile::copy(QStringLiteral(HKT75_BIN_DIR "/kw.local"), ProgramFolder() + "kw.local"));
    THKT75CFGMAIN &form = Form();
    const int before = Dm().FProfileIndex;
    const int target = (before + 1) % PROFILE_COUNT;
    QComboBox *box = form.PopBoxLanguage;
    ASSERT_GE(box->count(), 2);
    int seenInside = -1;
    m_monitor->SetHandler([&](std::uint32_t msg, std::int64_t, std::int64_t l) {
        if (msg == WM_LANGUAGE_CHANGED) {
            m_mouse->SetProfile(target);
            Send(Switch(target));
            seenInside = Dm().FProfileIndex;
        } else if (msg == WM_PROFILE_CHANGED) {
            m_monitorProfiles.push_back(int(l));
        }
        return 0;
    });
    form.InfoPage().PopBoxLanguageChange(box->currentIndex() == 0 ? 1 : 0);
    EXPECT_EQ(seenInside, before) << "ran nested inside the window's send";
    ASSERT_TRUE(SettledOn(target));
    EXPECT_EQ(Mem(0x43, 1), Bytes{std::uint8_t(target)});
}

// A bar writes each of its moves into the current profile. A switch made on
// the mouse while the user holds a bar waits for the release, so the whole
// drag lands in the profile shown when it began and none of it in the next.
TEST_F(WriteGateTest, TheMousesSwitchWaitsWhileABarIsHeld)
{
    THKT75CFGMAIN &form = FormOnFirstProfileWithMonitor();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.ShowPage(0);
    hkt::skin::TrackBar *bar = form.MousePage().TrackPointSpeed;
    ASSERT_TRUE(bar->isVisible());
    const int other = Stored(2).ConfigInfo.PointerSpeed;
    const QPoint press(bar->width() / 4, bar->height() / 2), release(bar->width() * 3 / 4, bar->height() / 2);
    const int dragged = bar->valueAt(release);
    ASSERT_NE(dragged, bar->valueAt(press));
    ASSERT_NE(dragged, other);

    QTest::mousePress(bar, Qt::LeftButton, {}, press);
    m_mouse->SetProfile(2);
    Post(Switch(2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.PendingMessages().Count() == 1; }, kWait));
    QTest::qWait(100);
    EXPECT_EQ(Dm().FProfileIndex, 0) << "switched while the bar was held";
    QTest::mouseMove(bar, release);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, release);

    ASSERT_TRUE(SettledOn(2));
    EXPECT_EQ(Stored(0).ConfigInfo.PointerSpeed, dragged);
    EXPECT_EQ(Stored(2).ConfigInfo.PointerSpeed, other) << "the drag went on in the next profile";
    EXPECT_EQ(bar->value(), other);
}

// A switch reaches the window after the mouse made it; by then the mouse may
// have moved on by itself (cycle presses a few ms apart), or be gone. The
// window follows the reported switch, and the monitor hears of it, but the
// mouse, which made the switch itself, is not written: an older switch is
// never written back over a newer state of the mouse.
TEST_F(WriteGateTest, ASwitchFromTheMouseIsNotWrittenBack)
{
    struct Case {
        const char *name;
        int mouseOn;  // the mouse's profile when the window handles the switch
        bool unplugged;
    };
    const Case cases[] = {
        {"the mouse is on the switch's profile", 1, false},
        {"the mouse has moved on by itself", 2, false},
        {"the mouse is gone", 1, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        THKT75CFGMAIN &form = FormOnFirstProfileWithMonitor();
        m_mouse->SetProfile(c.mouseOn);
        if (c.unplugged)
            m_mouse->Unplug();
        m_mouse->ClearLog();
        Send(Switch(1));
        ASSERT_TRUE(SettledOn(1));
        EXPECT_TRUE(ActiveWrites().empty());
        if (c.unplugged)
            m_mouse->Plug();
        EXPECT_EQ(Mem(0x43, 1), Bytes{std::uint8_t(c.mouseOn)});
        (void)form;
        m_form.reset();
        m_monitor.reset();
        m_monitorProfiles.clear();
    }
}

// ---- another program holding the mouse ---------------------------------------------

class MouseHeldElsewhereTest : public WriteGateTest {
protected:
    TMainConfigSetup WindowSetup() override
    {
        TMainConfigSetup s = WriteGateTest::WindowSetup();
        s.Dialog = [this](const QString &t, const QString &x) {
            m_dialogs.push_back({t, x});
            m_busyAtDialog.push_back(m_form->DeviceWrites().Busy());
            return m_dialogAnswer;
        };
        return s;
    }
    void TearDown() override
    {
        hkt::platform::SetRuntimeFolder(std::nullopt);
        WriteGateTest::TearDown();
    }
    // Runs everything queued so far.
    static void Settle()
    {
        bool reached = false;
        QMetaObject::invokeMethod(qApp, [&] { reached = true; }, Qt::QueuedConnection);
        ASSERT_TRUE(QTest::qWaitFor([&] { return reached; }, kWait));
    }

    std::vector<bool> m_busyAtDialog;
};

TEST_F(MouseHeldElsewhereTest, TheWindowSaysSoOnceAfterEachRunThatCouldNotWait)
{
    THKT75CFGMAIN &form = Form();
    // The window reads the mouse's levels and rates again when it first
    // hears of the mouse (its device notifier's report after the start):
    // that run is over before the other program takes the lock.
    const std::size_t started = Sets().size();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Sets().size() >= started + 2 * PROFILE_COUNT; }, 10000));
    // The window's device lock is the one of its runtime folder, and the
    // other program holds it without ever letting go.
    hkt::platform::SetRuntimeFolder(Runtime() + "/hkt75");
    PeerProcess other(Runtime(), QStringList{"TTransferPeer", "--lock"});
    ASSERT_EQ(other.NextLine(), "locked");
    other.Command("take 60000");
    ASSERT_EQ(other.NextLine(), "held");
    Settle();
    m_dialogs.clear();
    m_mouse->ClearLog();

    TDeviceWriteGuard &dev = form.DeviceWrites();
    const auto waits = hkt::platform::DeviceTransferRun::Waits();
    const auto run = [&] {
        return dev.Run([&] {
            SendRefreshCommand(dev.HID(), 1, 0);
            dev.Pump();  // a pause of a run that went ahead does not wait again
            int level = -1;
            ReadCurrentCPIIndex(dev.HID(), level);
            dev.Wait();
            SendRefreshCommand(dev.HID(), 1, 0);
        });
    };
    ASSERT_TRUE(run());
    EXPECT_TRUE(m_dialogs.empty()) << "never inside the run, nor nested in its end";
    EXPECT_EQ(hkt::platform::DeviceTransferRun::Waits(), waits + 1);
    // The sequence went ahead: every transfer reached the mouse.
    EXPECT_EQ(Sets().size(), 4u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_dialogs.empty(); }, kWait));
    Settle();
    ASSERT_EQ(m_dialogs.size(), 1u);
    EXPECT_EQ(m_dialogs[0].title, QStringLiteral("WARNING"));
    EXPECT_EQ(m_dialogs[0].text, QString::fromLatin1(kMouseHeldElsewhereText));
    EXPECT_FALSE(m_busyAtDialog[0]);

    // The next run is told again; a run that got the lock is not.
    ASSERT_TRUE(run());
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_dialogs.size() == 2; }, kWait));
    other.Command("release");
    ASSERT_EQ(other.NextLine(), "released");
    ASSERT_TRUE(run());
    Settle();
    EXPECT_EQ(m_dialogs.size(), 2u);
    EXPECT_EQ(hkt::platform::DeviceTransferRun::Waits(), waits + 2);
}
