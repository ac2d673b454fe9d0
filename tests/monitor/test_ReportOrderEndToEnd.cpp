// Bursts of changes made on the mouse reach the configuration window in the
// mouse's order, and afterwards the window, the monitor and the mouse agree
// on the mouse's last profile. The real HKT75 and HKT75MON run against the
// simulated mouse daemon on a private X server, with a private PulseAudio for
// the microphone; nothing is injected into the programs. Each row of the
// table is one burst; after it the window's profile (the one it stores as
// current), the monitor's "ProfileID" and the mouse's active profile (0x43)
// are compared, once everything the burst started has ended and again after
// an APPLY clicked on the window (which writes the window's view back).
#include "core/DMUnit.h"
#include "core/pubunit_device_encoders.h"
#include "platform/SimWire.h"
#include "platform/ValueStore.h"
#include "platform/WindowMessages.h"
#include "sim/VMouseControl.h"

#include "peer/PrivatePulse.h"
#include "support/PrivateSession.h"
#include "support/PrivateXServer.h"
#include "support/VMouseCommand.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

using namespace hkt::platform;
namespace wire = hkt::platform::simwire;

namespace {

const QString kBin = QStringLiteral(HKT75_BIN_DIR);
const QString kKey = QStringLiteral("software\\HKT75GM");
constexpr int kMouseCycleKey = 13; // the mouse's own profile-cycle button
constexpr int kMailButton = 3;     // "MAIL" in every profile of the stores

using hkt::testfixtures::WaitFor;

class ReportOrderEndToEnd;

// One burst: what is done on the mouse (and to the programs) while they run.
// What is checked after the burst, besides the three views agreeing (in
// the mouse's memory, after the APPLY). A row about timing runs its burst
// and checks `repeats` times in a row; a row on a slow disk runs the window
// with every flush to disk slowed down.
struct Row {
    const char *name;
    std::function<void(ReportOrderEndToEnd &)> burst;
    std::function<void(ReportOrderEndToEnd &)> after = {};
    int repeats = 1;
    bool slowDisk = false;
};

void PrintTo(const Row &row, std::ostream *os)
{
    *os << row.name;
}

class ReportOrderEndToEnd : public ::testing::TestWithParam<Row> {
public:
    // ---- the mouse, through the daemon's own control socket ----

    // Requests on the daemon's socket, as its command line makes them but
    // without a process start between them, so bursts can be 1 ms apart.
    bool OnTheMouse(wire::Type type, std::uint32_t arg)
    {
        const auto reply = hkt::sim::ControlRequest(MouseSocket(), wire::Message{type, 0, arg, {}});
        return reply && reply->status == 0;
    }
    bool Profile(int p) { return OnTheMouse(wire::Type::Profile, std::uint32_t(p)); }
    bool Dpi(int level) { return OnTheMouse(wire::Type::Dpi, std::uint32_t(level)); }
    bool Rate(int code) { return OnTheMouse(wire::Type::Rate, std::uint32_t(code)); }
    bool Press(int key) { return OnTheMouse(wire::Type::Press, std::uint32_t(key)); }
    bool Unplug() { return OnTheMouse(wire::Type::Unplug, 0); }
    bool Plug() { return OnTheMouse(wire::Type::Plug, 0); }
    // The mouse's daemon ended and started again, as a run script or the
    // user does: a fresh mouse, on profile 0, that the programs find again.
    bool RestartMouse()
    {
        if (!OnTheMouse(wire::Type::Stop, 0) || !WaitFor([&] { return MouseByte(0x43) < 0; }))
            return false;
        return hkt::testfixtures::VMouseCommand(MouseSocket(), {QStringLiteral("start")}) == 0 &&
               MouseProfile() == 0;
    }
    // One byte of the mouse's memory; -1 when the daemon does not answer.
    int MouseByte(int addr)
    {
        QByteArray len;
        wire::PutU32(len, 1);
        const auto reply =
            hkt::sim::ControlRequest(MouseSocket(), wire::Message{wire::Type::Dump, 0, std::uint32_t(addr), len});
        if (!reply || reply->status != 0 || reply->body.size() != 1)
            return -1;
        return std::uint8_t(reply->body[0]);
    }
    int MouseProfile() { return MouseByte(0x43); }
    int MouseRate(int p) { return MouseByte(0x48 + p); }
    int MouseLevel(int p) { return MouseByte(p * 256 + 0x50); }
    // The mouse's log of reports, its newest lines (the daemon cuts a long
    // log to them); empty when the daemon does not answer.
    QList<QByteArray> MouseLog()
    {
        const auto reply = hkt::sim::ControlRequest(MouseSocket(), wire::Message{wire::Type::Log, 0, 0, {}});
        if (!reply || reply->status != 0)
            return {};
        QList<QByteArray> lines = reply->body.split('\n');
        lines.removeAll(QByteArray());
        return lines;
    }
    // The sequence number of a log line ("SEQ kind ...").
    static qint64 LogSeq(const QByteArray &line) { return line.left(line.indexOf(' ')).toLongLong(); }
    // The newest entry of the mouse's log: its sequence number, which grows
    // with every report (the length of the log's text stops growing once the
    // daemon cuts it); 0 before any report, -1 when the daemon does not answer.
    qint64 MouseLogSeq()
    {
        const QList<QByteArray> log = MouseLog();
        return log.isEmpty() ? (MouseProfile() < 0 ? -1 : 0) : LogSeq(log.back());
    }
    // A refresh command reached the mouse after entry `seq`: how a run of
    // APPLY ends, after every write.
    bool MouseRefreshedAfter(qint64 seq)
    {
        for (const QByteArray &line : MouseLog()) {
            const qsizetype colon = line.indexOf(':');
            if (LogSeq(line) > seq && line.contains(" set status=0 ") && colon > 0 &&
                (line.mid(colon) + ' ').startsWith(": 02 01 01 "))
                return true;
        }
        return false;
    }
    // Nothing reaches the mouse for `quietMs`: what the programs started
    // (a run of writes, its message to the monitor) has ended.
    bool MouseQuiet(int quietMs = 800)
    {
        qint64 seq = MouseLogSeq();
        QDeadlineTimer quiet(quietMs);
        return WaitFor([&] {
            const qint64 now = MouseLogSeq();
            if (now != seq) {
                seq = now;
                quiet.setRemainingTime(quietMs);
            }
            return quiet.hasExpired();
        });
    }

    // ---- the programs ----

    // "ProfileID" as the monitor stored it; -1 when unreadable.
    int StoredProfileID()
    {
        QByteArray id;
        if (Store()->ReadValue(kKey, QStringLiteral("ProfileID"), id) != ReadStatus::Ok || id.size() != 4)
            return -1;
        return int(std::uint8_t(id[0])) | int(std::uint8_t(id[1])) << 8 | int(std::uint8_t(id[2])) << 16 |
               int(std::uint8_t(id[3])) << 24;
    }
    // The profile the window stored as its current one.
    int WindowProfile()
    {
        TDM dm(TDMRoots{Store(), kBin, m_session.Documents()});
        dm.LoadAllProfileInfoFromRegistry();
        return dm.FAllProfileSettingInfo.CurrentGame;
    }
    // A profile as the window last stored it.
    std::unique_ptr<TMouseProfileInfo> StoredProfile(int p)
    {
        TDM dm(TDMRoots{Store(), kBin, m_session.Documents()});
        auto info = std::make_unique<TMouseProfileInfo>();
        dm.ReadProfileInfo(*info, p);
        return info;
    }
    std::string Views()
    {
        return "window " + std::to_string(WindowProfile()) + ", monitor " + std::to_string(StoredProfileID()) +
               ", mouse " + std::to_string(MouseProfile());
    }
    // Profile p's DPI level and rate code as the window stored them and as
    // the mouse holds them.
    std::string LevelAndRate(int p)
    {
        const auto stored = StoredProfile(p);
        return "profile " + std::to_string(p) + ": window level " +
               std::to_string(stored->ConfigInfo.CurrentCPIIndex) + " rate " +
               std::to_string(GetReportRateCode(*stored)) + ", mouse level " + std::to_string(MouseLevel(p)) +
               " rate " + std::to_string(MouseRate(p));
    }
    bool LevelAndRateAgree(int p)
    {
        const auto stored = StoredProfile(p);
        return stored->ConfigInfo.CurrentCPIIndex == MouseLevel(p) && GetReportRateCode(*stored) == MouseRate(p);
    }
    bool AllOn(int p) { return WindowProfile() == p && StoredProfileID() == p && MouseProfile() == p; }

    QProcess &Window() { return *m_window; }
    void StartWindow()
    {
        m_window = std::make_unique<QProcess>();
        m_window->setProcessEnvironment(m_windowEnv);
        m_window->setProcessChannelMode(QProcess::ForwardedChannels);
        m_window->start(kBin + "/HKT75", {});
        ASSERT_TRUE(m_window->waitForStarted(30000));
        ASSERT_TRUE(WaitFor([&] { return bool(FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime())); }));
    }
    void CloseWindow()
    {
        PostWindowMessage(FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime()), WM_EXIT_PROGRAM, 0, 0);
        ASSERT_TRUE(m_window->waitForFinished(30000));
    }
    void StopWindow() { ::kill(pid_t(m_window->processId()), SIGSTOP); }
    void ContinueWindow() { ::kill(pid_t(m_window->processId()), SIGCONT); }
    bool WindowRunning() { return m_window && m_window->state() == QProcess::Running; }

    // APPLY, clicked on the real window.
    bool ClickApply()
    {
        QByteArray ids;
        if (Run(QStringLiteral("xdotool"),
                {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                 QStringLiteral("--class"), QStringLiteral("HKT75")},
                &ids) != 0)
            return false;
        const QByteArray window = ids.split('\n').first().trimmed();
        return !window.isEmpty() &&
               Run(QStringLiteral("xdotool"),
                   {QStringLiteral("mousemove"), QStringLiteral("--window"), QString::fromLatin1(window),
                    QStringLiteral("742"), QStringLiteral("92"), QStringLiteral("click"), QStringLiteral("1")}) == 0;
    }

    bool Muted() { return m_pulse.SourceMuted(QStringLiteral("test_mic")); }

    // What a burst did, for the row's check after it: the profile it changed
    // and the level or rate code it chose there.
    int m_changedProfile = -1;
    int m_chosen = -1;

protected:
    void SetUp() override
    {
        if (m_x.Name().isEmpty())
            GTEST_SKIP() << "no Xvfb";
        if (!m_pulse.Usable())
            GTEST_SKIP() << "pulseaudio cannot run here: " << m_pulse.Error().toStdString();
        ASSERT_TRUE(m_session.IsValid());
        // The private PulseAudio stands in for the session's sound server.
        m_env = m_session.Environment(m_pulse.Environment());
        m_env.insert(QStringLiteral("DISPLAY"), m_x.Name());
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        // The desktop's settings go to GIO's memory, never to the user's.
        m_env.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
        ASSERT_EQ(hkt::testfixtures::VMouseCommand(MouseSocket(), {QStringLiteral("start")}), 0);
        // The window may run on a slow disk: each of its stores then takes
        // 300 ms or more (two flushes). The monitor and the test's own tools
        // do not, so the monitor passes the mouse's reports on at once.
        m_windowEnv = m_env;
        if (GetParam().slowDisk) {
            m_windowEnv.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(HKT75_SLOW_FSYNC_LIBRARY));
            m_windowEnv.insert(QStringLiteral("HKT75_SLOW_FSYNC_MS"), QStringLiteral("150"));
        }

        // Profile 0 current, "MAIL" on one button of every profile.
        {
            TDM dm(TDMRoots{Store(), kBin, m_session.Documents()});
            for (int p = 0; p < 5; ++p) {
                auto info = std::make_unique<TMouseProfileInfo>();
                ASSERT_TRUE(dm.ReadProfileInfo(*info, p));
                info->ConfigInfo.ButtonFuncInfo[kMailButton].FunctionIndex = 28;
                ASSERT_TRUE(dm.SaveBackToProfileInfo(*info, p));
                ASSERT_TRUE(dm.SaveProfileInfoToRegistry(p));
            }
            ASSERT_TRUE(dm.SwitchToProfile(0));
            ASSERT_TRUE(dm.SaveBackAllProfileSettingInfo());
        }
        // The monitor first, as the session starts it; the window finds it.
        m_monitor = std::make_unique<QProcess>();
        QProcessEnvironment monitorEnv = m_env;
        monitorEnv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_monitor->setProcessEnvironment(monitorEnv);
        m_monitor->setProcessChannelMode(QProcess::ForwardedChannels);
        m_monitor->start(kBin + "/HKT75MON", {});
        ASSERT_TRUE(m_monitor->waitForStarted(30000));
        ASSERT_TRUE(WaitFor([&] { return bool(FindWindowByClass(QStringLiteral("THKT75MONMAIN"), Runtime())); }));
        StartWindow();
        ASSERT_FALSE(HasFailure());
        // The monitor reads the mouse a while after its start: a switch made
        // with nothing else running, repeated until the monitor sees it, and
        // then the window follows it. The window's runs for the repeats end
        // before a burst starts, so none of them writes into the burst.
        ASSERT_TRUE(WaitFor([&] {
            if (!Profile(4))
                return false;
            return WaitFor([&] { return StoredProfileID() == 4; }, 500);
        })) << Views();
        ASSERT_TRUE(WaitFor([&] { return AllOn(4); })) << Views();
        QThread::msleep(3000);
        ASSERT_TRUE(AllOn(4)) << Views();
    }

    void TearDown() override
    {
        if (m_window && m_window->state() != QProcess::NotRunning) {
            ContinueWindow();
            PostWindowMessage(FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime()), WM_EXIT_PROGRAM, 0,
                              0);
            if (!m_window->waitForFinished(15000))
                m_window->kill();
            m_window->waitForFinished(5000);
        }
        if (m_monitor && m_monitor->state() != QProcess::NotRunning) {
            m_monitor->terminate();
            if (!m_monitor->waitForFinished(15000))
                m_monitor->kill();
        }
        if (!m_x.Name().isEmpty() && m_pulse.Usable())
            hkt::testfixtures::VMouseCommand(MouseSocket(), {QStringLiteral("stop")});
    }

    QString Runtime() const { return m_session.Runtime(); }
    QString MouseSocket() const { return m_session.MouseSocket(); }
    std::shared_ptr<DirectoryValueStore> Store()
    {
        return std::make_shared<DirectoryValueStore>(m_session.StoreRoot());
    }
    int Run(const QString &exe, const QStringList &args, QByteArray *out = nullptr)
    {
        return hkt::testfixtures::RunProgram(m_env, exe, args, out);
    }

    PrivatePulse m_pulse;
    hkt::testfixtures::PrivateXServer m_x;
    hkt::testfixtures::PrivateSession m_session{QStringLiteral("/tmp/hkt-order-XXXXXX")};
    QProcessEnvironment m_env;
    QProcessEnvironment m_windowEnv;
    std::unique_ptr<QProcess> m_monitor;
    std::unique_ptr<QProcess> m_window;
};

// Everything the burst started has ended and the three agree on the mouse's
// last profile; an APPLY then writes the window's view back, and the mouse
// keeps it: the profile, and that profile's DPI level and rate, are what
// the mouse held before the APPLY.
void ExpectAllOnTheMouseProfile(ReportOrderEndToEnd &t)
{
    // What is still under way (a write run of the window, its message to
    // the monitor) ends first.
    ASSERT_TRUE(t.MouseQuiet());
    const int last = t.MouseProfile();
    ASSERT_GE(last, 0);
    EXPECT_TRUE(WaitFor([&] { return t.AllOn(last); })) << t.Views();
    ASSERT_TRUE(t.MouseQuiet());
    EXPECT_TRUE(t.AllOn(last)) << t.Views();
    const int level = t.MouseLevel(last), rate = t.MouseRate(last);
    const qint64 before = t.MouseLogSeq();
    ASSERT_GE(before, 0);
    ASSERT_TRUE(t.ClickApply());
    // APPLY ran to its end: its last report, the refresh, reached the mouse.
    ASSERT_TRUE(WaitFor([&] { return t.MouseRefreshedAfter(before); })) << "APPLY did not run to its end";
    EXPECT_TRUE(WaitFor([&] { return t.AllOn(last); })) << "after APPLY: " << t.Views();
    EXPECT_EQ(t.MouseLevel(last), level) << "after APPLY";
    EXPECT_EQ(t.MouseRate(last), rate) << "after APPLY";
    EXPECT_TRUE(t.LevelAndRateAgree(last)) << "after APPLY: " << t.LevelAndRate(last);
}

TEST_P(ReportOrderEndToEnd, TheWindowTheMonitorAndTheMouseEndOnTheMouseProfile)
{
    for (int run = 0; run < GetParam().repeats; ++run) {
        SCOPED_TRACE("run " + std::to_string(run + 1) + " of " + std::to_string(GetParam().repeats));
        GetParam().burst(*this);
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(WindowRunning());
        ExpectAllOnTheMouseProfile(*this);
        if (HasFatalFailure())
            return;
        if (GetParam().after)
            GetParam().after(*this);
        if (HasFailure())
            return;
    }
}

// A rate reported right after a switch belongs to the new profile: the
// window stores it there, so APPLY leaves it there, and the profiles shown
// before keep the rate the mouse has for them (500 Hz, code 2, from its
// factory state; the window's first profiles have the same).
void ExpectRate8OnlyInProfile3(ReportOrderEndToEnd &t)
{
    EXPECT_EQ(t.MouseRate(3), 8);
    for (int p : {1, 4})
        EXPECT_EQ(t.MouseRate(p), 2) << "profile " << p << ": the rate went into the profile shown before the switch";
}

// Three presses of the mouse's profile-cycle button, gapUs apart: the mouse
// ends three profiles on, and nothing the window does in answer moves it.
void ThreeCyclePresses(ReportOrderEndToEnd &t, unsigned long gapUs)
{
    const int from = t.MouseProfile();
    ASSERT_GE(from, 0);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(t.Press(kMouseCycleKey));
        if (i < 2)
            QThread::usleep(gapUs);
    }
    const int last = (from + 3) % 5;
    EXPECT_EQ(t.MouseProfile(), last);
    // While the window catches up (slowly, on a slow disk), the mouse stays
    // where the user put it: a press now would cycle on from there.
    QDeadlineTimer watch(2500);
    while (!watch.hasExpired()) {
        const int now = t.MouseProfile();
        ASSERT_EQ(now, last) << "the window wrote an older switch back over the mouse";
        QThread::msleep(5);
    }
}

// A rate code other than the one the mouse holds for profile p.
int OtherRate(ReportOrderEndToEnd &t, int p) { return t.MouseRate(p) == 4 ? 8 : 4; }
// A level other than the one the mouse holds for profile p (levels 2 and 3
// are on in every factory profile).
int OtherLevel(ReportOrderEndToEnd &t, int p) { return t.MouseLevel(p) == 3 ? 2 : 3; }

// The level or rate the burst chose on the mouse is what the mouse and the
// window's store hold for that profile, after the APPLY.
void ExpectChosenLevel(ReportOrderEndToEnd &t)
{
    const int p = t.m_changedProfile;
    EXPECT_EQ(t.MouseLevel(p), t.m_chosen) << t.LevelAndRate(p);
    EXPECT_EQ(t.StoredProfile(p)->ConfigInfo.CurrentCPIIndex, t.m_chosen) << t.LevelAndRate(p);
}
void ExpectChosenRate(ReportOrderEndToEnd &t)
{
    const int p = t.m_changedProfile;
    EXPECT_EQ(t.MouseRate(p), t.m_chosen) << t.LevelAndRate(p);
    EXPECT_EQ(GetReportRateCode(*t.StoredProfile(p)), t.m_chosen) << t.LevelAndRate(p);
}

// The mouse's rate (or DPI) button pressed 10 ms after APPLY was clicked:
// APPLY writes the profile's old value over the press, unless the window
// gives the mouse the press back after the run.
void PressedDuringApply(ReportOrderEndToEnd &t, bool rate)
{
    const int p = t.MouseProfile();
    ASSERT_GE(p, 0);
    t.m_changedProfile = p;
    t.m_chosen = rate ? OtherRate(t, p) : OtherLevel(t, p);
    ASSERT_TRUE(t.ClickApply());
    QThread::msleep(10);
    ASSERT_TRUE(rate ? t.Rate(t.m_chosen) : t.Dpi(t.m_chosen));
}

// The mouse's rate button on its current profile while the window is away;
// `away` takes the window down and `back` starts it again. The mouse then
// moves to the next profile, so the changed one is no longer shown.
void RateChangedWithoutTheWindow(ReportOrderEndToEnd &t, bool rateFirst, const std::function<void()> &away)
{
    const int p = t.MouseProfile();
    ASSERT_GE(p, 0);
    t.m_changedProfile = p;
    t.m_chosen = OtherRate(t, p);
    if (rateFirst) {
        ASSERT_TRUE(t.Rate(t.m_chosen));
    }
    away();
    if (!rateFirst) {
        ASSERT_TRUE(t.Rate(t.m_chosen));
    }
    ASSERT_TRUE(t.Profile((p + 1) % 5));
    ASSERT_TRUE(WaitFor([&] { return t.StoredProfileID() == (p + 1) % 5; }));
    t.StartWindow();
}

// Ten times: `replug` takes the mouse away and gives it back (its readers in
// the monitor end and are opened again a while after the arrival); a profile
// chosen on the mouse at 0.1 to 1.25 s after that, before or after the
// readers are open, reaches the window and the monitor. The profile is never
// the one they are on, nor `avoid`.
void ProfileRightAfter(ReportOrderEndToEnd &t, const std::function<bool()> &replug, int avoid)
{
    for (int round = 0; round < 10; ++round) {
        const int from = t.MouseProfile();
        ASSERT_TRUE(t.AllOn(from)) << "round " << round << ": " << t.Views();
        std::vector<int> targets;
        for (int p = 0; p < 5; ++p)
            if (p != from && p != avoid)
                targets.push_back(p);
        const int to = targets[std::size_t(round) % targets.size()];
        ASSERT_TRUE(replug()) << "round " << round;
        QThread::msleep(100 + 125 * unsigned(round));
        ASSERT_TRUE(t.Profile(to));
        ASSERT_TRUE(WaitFor([&] { return t.AllOn(to); }, 15000)) << "round " << round << ": " << t.Views();
        // The window's run for the switch ends before the next round.
        QThread::msleep(1000);
        ASSERT_TRUE(t.AllOn(to)) << "round " << round << ": " << t.Views();
    }
}

const Row kRows[] = {
    {"ProfileThenRateBackToBack",
     [](ReportOrderEndToEnd &t) {
         ASSERT_EQ(t.MouseRate(4), 2);
         ASSERT_TRUE(t.Profile(3));
         ASSERT_TRUE(t.Rate(8));
     },
     ExpectRate8OnlyInProfile3},
    {"TwoProfilesThenRate1msApart",
     [](ReportOrderEndToEnd &t) {
         ASSERT_EQ(t.MouseRate(4), 2);
         ASSERT_TRUE(t.Profile(1));
         QThread::usleep(1000);
         ASSERT_TRUE(t.Profile(3));
         QThread::usleep(1000);
         ASSERT_TRUE(t.Rate(8));
     },
     ExpectRate8OnlyInProfile3},
    {"ThreeCyclePresses2To4msApart",
     [](ReportOrderEndToEnd &t) {
         for (int gapUs : {2000, 4000, 0}) {
             ASSERT_TRUE(t.Press(kMouseCycleKey));
             QThread::usleep(gapUs);
         }
         EXPECT_EQ(t.MouseProfile(), (4 + 3) % 5);
     }},
    {"CyclePressesDuringApply",
     [](ReportOrderEndToEnd &t) {
         ASSERT_TRUE(t.ClickApply());
         for (int gapMs : {100, 300, 200}) {
             QThread::msleep(gapMs);
             ASSERT_TRUE(t.Press(kMouseCycleKey));
         }
     }},
    {"UnplugDuringTheCatchUp",
     [](ReportOrderEndToEnd &t) {
         for (int i = 0; i < 3; ++i) {
             ASSERT_TRUE(t.Press(kMouseCycleKey));
             QThread::usleep(3000);
         }
         QThread::usleep(5000);
         ASSERT_TRUE(t.Unplug());
         QThread::msleep(2000);
         ASSERT_TRUE(t.Plug());
     }},
    {"StoppedWindowWhileMailIsPressed",
     [](ReportOrderEndToEnd &t) {
         // With the window stopped, switches wait for it while the
         // microphone toggles at each press; once it runs again it gets
         // the mouse's last profile.
         // (Ten switches: a monitor that waited for the window on each
         // would toggle only after the wait's bound, tenfold.)
         t.StopWindow();
         const bool muted = t.Muted();
         for (int i = 0; i < 10; ++i)
             ASSERT_TRUE(t.Press(kMouseCycleKey));
         ASSERT_TRUE(t.Press(kMailButton));
         EXPECT_TRUE(WaitFor([&] { return t.Muted() != muted; }));
         for (int i = 0; i < 4; ++i)
             ASSERT_TRUE(t.Press(kMouseCycleKey));
         ASSERT_TRUE(t.Press(kMailButton));
         EXPECT_TRUE(WaitFor([&] { return t.Muted() == muted; }));
         // The monitor already follows the mouse.
         EXPECT_TRUE(WaitFor([&] { return t.StoredProfileID() == t.MouseProfile(); }));
         t.ContinueWindow();
     }},
    {"ProfileChangedRightAfterPlug",
     [](ReportOrderEndToEnd &t) {
         ProfileRightAfter(
             t,
             [&t] {
                 if (!t.Unplug())
                     return false;
                 QThread::msleep(500);
                 return t.Plug();
             },
             -1);
     }},
    {"DaemonRestartThenProfile",
     // The fresh mouse is on profile 0: the change chosen is another one.
     [](ReportOrderEndToEnd &t) { ProfileRightAfter(t, [&t] { return t.RestartMouse(); }, 0); }},
    {"ProfileSwitchedOnTheMouseWhileTheWindowIsClosed",
     [](ReportOrderEndToEnd &t) {
         t.CloseWindow();
         ASSERT_TRUE(t.Profile(2));
         ASSERT_TRUE(WaitFor([&] { return t.StoredProfileID() == 2; }));
         t.StartWindow();
         // The window starts on the mouse's profile, not the one it stored.
     }},
    // The mouse's own switches reach the window after it made them; the
    // window never writes an older one back over the mouse's newer state.
    {"ThreeCyclePresses3msApart", [](ReportOrderEndToEnd &t) { ThreeCyclePresses(t, 3000); }, {}, 10},
    {"ThreeCyclePresses5msApart", [](ReportOrderEndToEnd &t) { ThreeCyclePresses(t, 5000); }, {}, 10},
    {"ThreeCyclePresses10msApart", [](ReportOrderEndToEnd &t) { ThreeCyclePresses(t, 10000); }, {}, 10},
    // Each of the window's stores takes 300 ms or more: a switch's stores
    // outlast the presses that follow it.
    {"SlowDiskCyclePresses20msApart", [](ReportOrderEndToEnd &t) { ThreeCyclePresses(t, 20000); }, {}, 10, true},
    {"SlowDiskCyclePresses100msApart", [](ReportOrderEndToEnd &t) { ThreeCyclePresses(t, 100000); }, {}, 10, true},
    {"LevelChosenOnTheMouseSurvivesTheNextSwitch",
     [](ReportOrderEndToEnd &t) {
         const int from = t.MouseProfile();
         ASSERT_GE(from, 0);
         t.m_changedProfile = (from + 1) % 5;
         ASSERT_TRUE(t.Profile(t.m_changedProfile));
         QThread::msleep(300);
         t.m_chosen = OtherLevel(t, t.m_changedProfile);
         ASSERT_TRUE(t.Dpi(t.m_chosen));
         QThread::msleep(300);
         ASSERT_TRUE(t.Profile((from + 2) % 5));
     },
     ExpectChosenLevel, 10},
    {"RatePressedDuringApply", [](ReportOrderEndToEnd &t) { PressedDuringApply(t, true); }, ExpectChosenRate, 10},
    {"LevelPressedDuringApply", [](ReportOrderEndToEnd &t) { PressedDuringApply(t, false); }, ExpectChosenLevel,
     10},
    {"RateChangedOnTheMouseWhileTheWindowIsClosed",
     [](ReportOrderEndToEnd &t) { RateChangedWithoutTheWindow(t, false, [&] { t.CloseWindow(); }); },
     ExpectChosenRate, 10},
    {"RateChangedOnTheMouseAsTheWindowEnds",
     [](ReportOrderEndToEnd &t) {
         // The rate's report and the end cross: the window may end before
         // it hears of the rate.
         RateChangedWithoutTheWindow(t, true, [&] {
             t.Window().terminate();
             ASSERT_TRUE(t.Window().waitForFinished(30000));
         });
     },
     ExpectChosenRate, 10},
};


INSTANTIATE_TEST_SUITE_P(Bursts, ReportOrderEndToEnd, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row> &info) { return std::string(info.param.name); });

// The monitor installed without its hook library says so in a box; while
// the box is open the monitor's window is there and answers, from its main
// loop, what the configuration program sends it.
TEST(MonitorWithoutItsHookLibrary, AnswersItsMessagesWhileTheErrorBoxIsOpen)
{
    hkt::testfixtures::PrivateXServer x;
    if (x.Name().isEmpty())
        GTEST_SKIP() << "no Xvfb";
    QTemporaryDir tmp(QStringLiteral("/tmp/hkt-nohook-XXXXXX"));
    for (const char *d : {"/run", "/config", "/home", "/prog"})
        QDir().mkpath(tmp.path() + d);
    QFile::setPermissions(tmp.path() + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_TRUE(QFile::copy(kBin + "/HKT75MON", tmp.path() + "/prog/HKT75MON"));
    QFile::setPermissions(tmp.path() + "/prog/HKT75MON",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), tmp.path() + "/run");
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), tmp.path() + "/config");
    env.insert(QStringLiteral("HOME"), tmp.path() + "/home");
    env.insert(QStringLiteral("HKT75_HID"), QStringLiteral("sim:") + tmp.path() + "/run/no-mouse.sock");
    env.insert(QStringLiteral("DISPLAY"), x.Name());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + tmp.path() + "/run/no-pulse");
    QProcess monitor;
    monitor.setProcessEnvironment(env);
    monitor.setProcessChannelMode(QProcess::ForwardedChannels);
    monitor.start(tmp.path() + "/prog/HKT75MON", {});
    ASSERT_TRUE(monitor.waitForStarted(30000));

    QProcess search;
    search.setProcessEnvironment(env);
    search.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--sync"),
                                             QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                             QStringLiteral("^Error$")});
    ASSERT_TRUE(search.waitForFinished(30000)) << "the error box never opened";
    ASSERT_EQ(search.exitCode(), 0);
    const QString root = tmp.path() + "/run";
    const WindowHandle window = FindWindowByClass(QStringLiteral("THKT75MONMAIN"), root);
    ASSERT_TRUE(window) << "the monitor's window is not there while the box is open";
    EXPECT_EQ(SendWindowMessage(window, WM_PROFILE_CHANGED, 1, 2), std::optional<std::int64_t>(0));
    QByteArray id;
    DirectoryValueStore store(tmp.path() + "/config/hkt75/registry");
    EXPECT_EQ(store.ReadValue(kKey, QStringLiteral("ProfileID"), id), ReadStatus::Ok);
    EXPECT_EQ(id, QByteArray("\x02\x00\x00\x00", 4));

    monitor.terminate();
    EXPECT_TRUE(monitor.waitForFinished(30000));
}

} // namespace
