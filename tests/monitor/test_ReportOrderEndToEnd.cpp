// Bursts of changes made on the mouse reach the configuration window in the
// mouse's order, and afterwards the window, the monitor and the mouse agree
// on the mouse's last profile. The real HKT75 and HKT75MON run against the
// simulated mouse daemon on a private X server, with a private PulseAudio for
// the microphone; nothing is injected into the programs. Each row of the
// table is one burst; after it the window's profile (the one it stores as
// current), the monitor's "ProfileID" and the mouse's active profile (0x43)
// are compared, once everything the burst started has ended and again after
// an APPLY clicked on the window (which writes the window's view back).
// A second table starts each round from scratch and checks, after an APPLY,
// every profile's DPI level and rate against what the user last chose, on
// the mouse or in the window.
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
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdint>
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
    // The mouse's log of reports, oldest first.
    struct LogEntry {
        std::uint64_t seq = 0;
        QByteArray kind; // set, get, input, unplug, plug
        int status = 0;
        std::vector<int> bytes; // the whole report, ID first
    };
    std::vector<LogEntry> MouseLog()
    {
        const auto reply = hkt::sim::ControlRequest(MouseSocket(), wire::Message{wire::Type::Log, 0, 0, {}});
        std::vector<LogEntry> log;
        if (!reply || reply->status != 0)
            return log;
        // "SEQ KIND status=S len=L: B B ... +Nx00" (the zero fill counted).
        for (const QByteArray &line : reply->body.split('\n')) {
            const int colon = line.indexOf(':');
            const QList<QByteArray> head = (colon < 0 ? line : line.left(colon)).simplified().split(' ');
            LogEntry e;
            bool ok = false;
            e.seq = head.value(0).toULongLong(&ok);
            if (!ok || head.size() < 2)
                continue; // a line cut off at the front of a long log
            e.kind = head[1];
            for (const QByteArray &field : head)
                if (field.startsWith("status="))
                    e.status = field.mid(7).toInt();
            if (colon >= 0)
                for (const QByteArray &b : line.mid(colon + 1).simplified().split(' ')) {
                    if (b.startsWith('+'))
                        e.bytes.insert(e.bytes.end(), std::size_t(b.mid(1, b.indexOf('x') - 1).toInt()), 0);
                    else if (!b.isEmpty())
                        e.bytes.push_back(b.toInt(nullptr, 16));
                }
            log.push_back(std::move(e));
        }
        return log;
    }
    // The newest entry of the mouse's log: its sequence number, which grows
    // with every report (the length of the log's text stops growing once the
    // daemon cuts it); 0 before any report, -1 when the daemon does not answer.
    qint64 MouseLogSeq()
    {
        const auto log = MouseLog();
        return log.empty() ? (MouseProfile() < 0 ? -1 : 0) : qint64(log.back().seq);
    }
    // A refresh command reached the mouse after entry `seq`: how a run of
    // APPLY ends, after every write.
    bool MouseRefreshedAfter(qint64 seq)
    {
        for (const LogEntry &e : MouseLog())
            if (qint64(e.seq) > seq && e.kind == "set" && e.status == 0 && e.bytes.size() >= 3 && e.bytes[0] == 0x02 &&
                e.bytes[1] == 0x01 && e.bytes[2] == 0x01)
                return true;
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

    std::uint64_t MouseLastSeq()
    {
        const auto log = MouseLog();
        return log.empty() ? 0 : log.back().seq;
    }
    // The first entry after `after` that `match` takes: its sequence
    // number, 0 when there is none (yet).
    std::uint64_t MouseLogged(std::uint64_t after, const std::function<bool(const LogEntry &)> &match)
    {
        for (const LogEntry &e : MouseLog())
            if (e.seq > after && match(e))
                return e.seq;
        return 0;
    }
    // Reports sent to the mouse, by their command header after the ID.
    static bool IsMemoryRead(const LogEntry &e, int addr, int len)
    {
        return e.kind == "set" && e.bytes.size() >= 6 && e.bytes[1] == 3 && e.bytes[2] == (addr & 0xFF) &&
               e.bytes[3] == (addr >> 8) && e.bytes[4] == (len & 0xFF) && e.bytes[5] == (len >> 8);
    }
    static bool IsActiveProfileRead(const LogEntry &e) { return IsMemoryRead(e, 0x43, 1); }
    // The write bracket: state 0 opens it (APPLY's first write to the
    // mouse), 1 closes it (its last but the refresh).
    static bool IsWriteState(const LogEntry &e, int state)
    {
        return e.kind == "set" && e.bytes.size() >= 3 && e.bytes[1] == 6 && e.bytes[2] == state;
    }
    static bool IsTransfer(const LogEntry &e) { return e.kind == "set" || e.kind == "get"; }

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
    // HKT75 started; StartWindow also waits until its window is there.
    void LaunchWindow()
    {
        m_window = std::make_unique<QProcess>();
        m_window->setProcessEnvironment(m_windowEnv);
        m_window->setProcessChannelMode(QProcess::ForwardedChannels);
        m_window->start(kBin + "/HKT75", {});
        ASSERT_TRUE(m_window->waitForStarted(30000));
    }
    void AwaitWindow()
    {
        ASSERT_TRUE(WaitFor([&] { return bool(FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime())); }));
    }
    void StartWindow()
    {
        LaunchWindow();
        if (!HasFatalFailure())
            AwaitWindow();
    }
    void CloseWindow()
    {
        PostWindowMessage(FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime()), WM_EXIT_PROGRAM, 0, 0);
        ASSERT_TRUE(m_window->waitForFinished(30000));
    }
    void StopWindow() { ::kill(pid_t(m_window->processId()), SIGSTOP); }
    void ContinueWindow() { ::kill(pid_t(m_window->processId()), SIGCONT); }
    bool WindowRunning() { return m_window && m_window->state() == QProcess::Running; }

    // A left click at (x, y) of the real window, once it is shown.
    bool ClickOnWindow(int x, int y)
    {
        QByteArray ids;
        if (Run(QStringLiteral("xdotool"),
                {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                 QStringLiteral("--class"), QStringLiteral("HKT75")},
                &ids) != 0)
            return false;
        const QByteArray window = ids.split('\n').first().trimmed();
        return !window.isEmpty() && ClickOn(window, x, y);
    }
    bool ClickOn(const QByteArray &window, int x, int y)
    {
        return Run(QStringLiteral("xdotool"),
                   {QStringLiteral("mousemove"), QStringLiteral("--window"), QString::fromLatin1(window),
                    QString::number(x), QString::number(y), QStringLiteral("click"), QStringLiteral("1")}) == 0;
    }
    // APPLY, clicked on the real window.
    bool ClickApply() { return ClickOnWindow(742, 92); }

    bool Muted() { return m_pulse.SourceMuted(QStringLiteral("test_mic")); }

    // The monitor, as the session starts it.
    void StartMonitor()
    {
        m_monitor = std::make_unique<QProcess>();
        QProcessEnvironment monitorEnv = m_env;
        monitorEnv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_monitor->setProcessEnvironment(monitorEnv);
        m_monitor->setProcessChannelMode(QProcess::ForwardedChannels);
        m_monitor->start(kBin + "/HKT75MON", {});
        ASSERT_TRUE(m_monitor->waitForStarted(30000));
        ASSERT_TRUE(WaitFor([&] { return bool(FindWindowByClass(QStringLiteral("THKT75MONMAIN"), Runtime())); }));
    }
    // The monitor ended by the session, or crashed.
    void StopMonitor()
    {
        if (m_monitor && m_monitor->state() != QProcess::NotRunning) {
            m_monitor->terminate();
            if (!m_monitor->waitForFinished(30000))
                m_monitor->kill();
            ASSERT_TRUE(m_monitor->state() == QProcess::NotRunning || m_monitor->waitForFinished(30000));
        }
        EndOtherMonitors(SIGTERM);
    }
    // What a failed wait on the monitor says about it.
    std::string MonitorDiagnosis(std::uint64_t from)
    {
        std::string out = "\nmonitor process: ";
        out += !m_monitor ? "none"
               : m_monitor->state() == QProcess::Running
                   ? "running"
                   : "ended with " + std::to_string(m_monitor->exitCode());
        if (m_monitor && m_monitor->waitForFinished(100))
            out += "\nit ended with " + std::to_string(m_monitor->exitCode());
        for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile stat(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
            if (stat.open(QIODevice::ReadOnly)) {
                const QByteArray line = stat.readAll();
                if (line.contains("(HKT75"))
                    out += "\n" + line.left(80).toStdString();
            }
        }
        out += "\nthe mouse's log since:";
        int n = 0;
        for (const LogEntry &e : MouseLog())
            if (e.seq > from && ++n <= 40) {
                out += "\n  " + std::to_string(e.seq) + " " + e.kind.toStdString() + " " + std::to_string(e.status);
                for (std::size_t i = 0; i < std::min<std::size_t>(e.bytes.size(), 8); ++i)
                    out += " " + std::to_string(e.bytes[i]);
            }
        return out;
    }
    void KillMonitor()
    {
        ASSERT_TRUE(m_monitor && m_monitor->state() == QProcess::Running);
        ::kill(pid_t(m_monitor->processId()), SIGKILL);
        ASSERT_TRUE(m_monitor->waitForFinished(30000));
        EndOtherMonitors(SIGKILL);
        m_monitorKilledAt = MouseLastSeq();
    }
    // The session's monitors this fixture did not start itself: HKT75 starts
    // one at its first show when it does not find the monitor (on a loaded
    // machine a monitor busy with the mouse may not take the window's look in
    // time); that one gives way to the running monitor, unless it comes up
    // only once that one has ended.
    std::vector<pid_t> OtherSessionMonitors()
    {
        const QByteArray entry = "XDG_RUNTIME_DIR=" + QFile::encodeName(Runtime());
        const qint64 own = m_monitor ? m_monitor->processId() : 0;
        std::vector<pid_t> found;
        for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            bool number = false;
            const qint64 id = pid.toLongLong(&number);
            if (!number || id == own)
                continue;
            QFile comm(QStringLiteral("/proc/") + pid + QStringLiteral("/comm"));
            QFile environ(QStringLiteral("/proc/") + pid + QStringLiteral("/environ"));
            if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "HKT75MON" &&
                environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(entry))
                found.push_back(pid_t(id));
        }
        return found;
    }
    std::uint64_t MonitorKilledAt() const { return m_monitorKilledAt; }
    void EndOtherMonitors(int signal)
    {
        for (const pid_t pid : OtherSessionMonitors())
            ::kill(pid, signal);
        ASSERT_TRUE(WaitFor([&] { return OtherSessionMonitors().empty(); }));
    }

    // What a burst did, for the row's check after it: the profile it changed
    // and the level or rate code it chose there.
    int m_changedProfile = -1;
    int m_chosen = -1;

    // ---- rounds that start from scratch ----

    // The round of a row that repeats, from 0.
    int m_round = 0;
    // Each profile's DPI level and rate code as the user last chose them,
    // on the mouse or in the window (as the mouse holds them when nobody
    // chose any).
    std::array<int, 5> m_level{};
    std::array<int, 5> m_rate{};
    // The profile the user last chose, on the mouse or in the window.
    int m_profile = 0;
    // The mouse's transfers during the window's start-up; -1 until counted.
    int m_startUpTransfers = -1;

    // The window and the monitor ended, the mouse fresh from the factory
    // (on profile 0), nothing stored but profile 0 as the current one (so
    // the window's first view is the mouse's profile, with or without the
    // mouse); then the monitor started as the session starts it, its
    // readers open (it has read the mouse). The window is not started.
    void FreshSession()
    {
        if (WindowRunning())
            CloseWindow();
        StopMonitor();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(RestartMouse());
        for (const QString &folder : {m_session.ConfigHome(), m_session.Home()}) {
            ASSERT_TRUE(QDir(folder).removeRecursively());
            ASSERT_TRUE(QDir().mkpath(folder));
        }
        ASSERT_TRUE(QDir().mkpath(m_session.Documents()));
        {
            TDM dm(TDMRoots{Store(), kBin, m_session.Documents()});
            ASSERT_TRUE(dm.SwitchToProfile(0));
            ASSERT_TRUE(dm.SaveBackAllProfileSettingInfo());
        }
        m_profile = 0;
        StartMonitor();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(WaitFor([&] { return MouseLogged(0, IsActiveProfileRead) != 0; }))
            << "the monitor never read the mouse";
        for (int p = 0; p < 5; ++p) {
            m_level[std::size_t(p)] = MouseLevel(p);
            m_rate[std::size_t(p)] = MouseRate(p);
        }
    }
    // A level of profile p other than the one the mouse holds, among those
    // the PC's profile has on; the k-th such.
    int OtherEnabledLevel(int p, int k)
    {
        const auto stored = StoredProfile(p);
        const TMOUSECONFIGINFO &cfg = stored->ConfigInfo;
        std::vector<int> levels;
        for (int l = 0; l < std::min(CheckedCPILevel(cfg), 5); ++l)
            if (cfg.CPIState[l].Enabled == 1 && l != MouseLevel(p))
                levels.push_back(l);
        return levels.empty() ? MouseLevel(p) : levels[std::size_t(k) % levels.size()];
    }
    // A rate code other than the factory's 500 Hz, the k-th of 125, 250
    // and 1000 Hz.
    static int OtherRate(int k) { return std::array<int, 3>{8, 4, 1}[std::size_t(k) % 3]; }
    // On the mouse, profile by profile as its own buttons do it (the
    // profile first, then its level and rate): a level and a rate other
    // than the ones it holds; then back to `back`, once the monitor
    // followed the switches.
    void ChooseOnTheMouse(const std::vector<int> &profiles, int back)
    {
        for (int p : profiles) {
            ASSERT_TRUE(Profile(p));
            const std::size_t i = std::size_t(p);
            m_level[i] = OtherEnabledLevel(p, m_round + p);
            m_rate[i] = OtherRate(m_round + p);
            ASSERT_TRUE(Dpi(m_level[i]));
            ASSERT_TRUE(Rate(m_rate[i]));
        }
        if (!profiles.empty() && profiles.back() != back) {
            ASSERT_TRUE(WaitFor([&] { return StoredProfileID() == profiles.back(); })) << Views();
        }
        ASSERT_TRUE(Profile(back));
        m_profile = back;
        ASSERT_TRUE(WaitFor([&] { return StoredProfileID() == back; })) << Views();
    }

    // ---- the window's controls, clicked ----

    // PROFILE1..PROFILE5 at the foot of the window: the switch has run to
    // its end when the monitor stored the profile the window told it.
    void ClickProfile(int p)
    {
        ASSERT_TRUE(ClickOnWindow(62 + 96 * p, 602));
        m_profile = p;
        ASSERT_TRUE(WaitFor([&] { return MouseProfile() == p && WindowProfile() == p && StoredProfileID() == p; }))
            << Views();
    }
    // The polling-rate radios of the first page (125, 250, 500, 1000 Hz);
    // the rate code the click chooses.
    int ClickRate(int code)
    {
        const int tag = code == 8 ? 0 : code == 4 ? 1 : code == 2 ? 2 : 3;
        EXPECT_TRUE(ClickOnWindow(500 + 74 * tag, 420));
        return code;
    }
    // The program's shown X windows (the main window, and its dialogs
    // while open).
    QList<QByteArray> ShownWindows()
    {
        QByteArray ids;
        Run(QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
             QStringLiteral("^HKT75$")},
            &ids);
        QList<QByteArray> shown;
        for (const QByteArray &id : ids.split('\n'))
            if (!id.trimmed().isEmpty())
                shown.append(id.trimmed());
        return shown;
    }
    // The window's close button, and OK to its question whether to save
    // what was changed: the program stores the edits and ends.
    void CloseAndSave()
    {
        const QList<QByteArray> main = ShownWindows();
        ASSERT_EQ(main.size(), 1);
        ASSERT_TRUE(ClickOn(main[0], 774, 27));
        QByteArray question;
        ASSERT_TRUE(WaitFor([&] {
            for (const QByteArray &id : ShownWindows())
                if (id != main[0])
                    question = id;
            return !question.isEmpty() || !WindowRunning();
        }));
        ASSERT_FALSE(question.isEmpty()) << "the window closed without a question: nothing was changed";
        ASSERT_TRUE(ClickOn(question, 177, 227));
        ASSERT_TRUE(m_window->waitForFinished(30000));
    }
    // APPLY clicked, and run to its end: the mouse's write bracket opened
    // and closed again. A click that reaches the window while a run of its
    // own (one the mouse's reports started) still takes no input is
    // swallowed, as a user's would be; the user clicks again.
    bool ApplyToItsEnd()
    {
        const auto opens = [](const LogEntry &e) { return IsWriteState(e, 0); };
        const auto closes = [](const LogEntry &e) { return IsWriteState(e, 1); };
        const std::uint64_t from = MouseLastSeq();
        std::uint64_t opened = 0;
        for (int click = 0; click < 3 && opened == 0; ++click) {
            if (!ClickApply())
                return false;
            WaitFor([&] { return (opened = MouseLogged(from, opens)) != 0; }, 20000);
        }
        return opened != 0 && WaitFor([&] { return MouseLogged(opened, closes) != 0; }, 60000);
    }
    // The stored marks of the profiles the mouse is still owed, one byte
    // each; empty when none is stored.
    QByteArray OwedMarks()
    {
        QByteArray marks;
        if (Store()->ReadValue(kKey, QStringLiteral("ProfilesNotYetInTheMouse"), marks) != ReadStatus::Ok)
            return {};
        return marks;
    }
    bool AsChosen(int p)
    {
        const auto stored = StoredProfile(p);
        const std::size_t i = std::size_t(p);
        return stored->ConfigInfo.CurrentCPIIndex == m_level[i] && GetReportRateCode(*stored) == m_rate[i] &&
               MouseLevel(p) == m_level[i] && MouseRate(p) == m_rate[i];
    }
    std::string Chosen(int p)
    {
        return "chosen level " + std::to_string(m_level[std::size_t(p)]) + " rate " +
               std::to_string(m_rate[std::size_t(p)]) + "; " + LevelAndRate(p);
    }

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
        StartMonitor();
        ASSERT_FALSE(HasFailure());
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
        for (const pid_t pid : OtherSessionMonitors())
            ::kill(pid, SIGTERM);
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
    std::uint64_t m_monitorKilledAt = 0;
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

// A change the user made on the mouse is never written back over by the
// window, whatever came first: the mouse or the window, a failed read, the
// monitor; and the window owes the mouse only what the user edited in it
// since the last APPLY. Each row starts each of its rounds from scratch
// (a fresh mouse and store, the monitor running) and leaves the window
// open; an APPLY clicked on it then leaves every profile's level and rate
// as the user last chose it, in the mouse and in the window's stores, and
// the window on the mouse's profile.
class MouseChangesEndToEnd : public ReportOrderEndToEnd {};

TEST_P(MouseChangesEndToEnd, AfterApplyEveryProfileHoldsWhatTheUserLastChose)
{
    for (int run = 0; run < GetParam().repeats; ++run) {
        SCOPED_TRACE("round " + std::to_string(run + 1) + " of " + std::to_string(GetParam().repeats));
        m_round = run;
        GetParam().burst(*this);
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(WindowRunning());
        ASSERT_TRUE(ApplyToItsEnd()) << "APPLY did not run to its end";
        EXPECT_TRUE(WaitFor([&] { return AllOn(m_profile); }))
            << "the profile chosen last is " << m_profile << "; " << Views();
        // The window stores the profiles it wrote as the run ends.
        WaitFor([&] {
            for (int p = 0; p < 5; ++p)
                if (!AsChosen(p))
                    return false;
            return true;
        });
        for (int p = 0; p < 5; ++p)
            EXPECT_TRUE(AsChosen(p)) << "after APPLY, profile " << p << ": " << Chosen(p);
        if (HasFailure())
            return;
    }
}

// Unplugged at the window's start, the mouse comes back later: the window
// must take what the mouse holds then, not write its own view over it.
void PlugBackAndAwaitTheRead(ReportOrderEndToEnd &t)
{
    const std::uint64_t unplugged = t.MouseLastSeq();
    ASSERT_TRUE(t.Plug());
    // The programs saw the mouse arrive: one of them read it.
    ASSERT_TRUE(WaitFor([&] { return t.MouseLogged(unplugged, ReportOrderEndToEnd::IsActiveProfileRead) != 0; }))
        << "nobody read the mouse after it came back";
}

// The window edits profile p's rate (switching to it first) and is closed
// with its edit saved, not applied.
void RateEditedInTheWindowAndSaved(ReportOrderEndToEnd &t, int p)
{
    ASSERT_NO_FATAL_FAILURE(t.StartWindow());
    if (p != 0) {
        ASSERT_NO_FATAL_FAILURE(t.ClickProfile(p));
    }
    t.m_rate[std::size_t(p)] = t.ClickRate(ReportOrderEndToEnd::OtherRate(t.m_round));
    ASSERT_NO_FATAL_FAILURE(t.CloseAndSave());
}

// The window open on profile p (the mouse switched to it by the window),
// then the monitor ended as by a crash, and a level and a rate chosen on
// the mouse for that profile meanwhile: no report of them reaches the
// window.
void ChosenOnTheMouseWithoutTheMonitor(ReportOrderEndToEnd &t)
{
    ASSERT_NO_FATAL_FAILURE(t.FreshSession());
    ASSERT_NO_FATAL_FAILURE(t.StartWindow());
    const int p = t.m_round % 5;
    if (p != 0) {
        ASSERT_NO_FATAL_FAILURE(t.ClickProfile(p));
    }
    ASSERT_NO_FATAL_FAILURE(t.KillMonitor());
    const std::size_t i = std::size_t(p);
    t.m_level[i] = t.OtherEnabledLevel(p, t.m_round);
    t.m_rate[i] = ReportOrderEndToEnd::OtherRate(t.m_round);
    ASSERT_TRUE(t.Dpi(t.m_level[i]));
    ASSERT_TRUE(t.Rate(t.m_rate[i]));
}

// The monitor started again as the session starts it, and its readers
// open again (it read the mouse).
void MonitorBack(ReportOrderEndToEnd &t)
{
    // Read by the monitor started here, or by one HKT75 started that came
    // up after the crash (the one started here then gives way to it).
    const std::uint64_t from = t.MonitorKilledAt();
    ASSERT_NO_FATAL_FAILURE(t.StartMonitor());
    ASSERT_TRUE(WaitFor([&] { return t.MouseLogged(from, ReportOrderEndToEnd::IsActiveProfileRead) != 0; }))
        << "the monitor never read the mouse" << t.MonitorDiagnosis(from);
}

const Row kMouseChangeRows[] = {
    {"MousePluggedInAfterTheWindowStarted",
     [](ReportOrderEndToEnd &t) {
         ASSERT_NO_FATAL_FAILURE(t.FreshSession());
         // On PROFILE1, the active one, with the window closed: 125 Hz
         // and level 3. Then the mouse is unplugged.
         ASSERT_TRUE(t.Dpi(3));
         ASSERT_TRUE(t.Rate(8));
         t.m_level[0] = 3;
         t.m_rate[0] = 8;
         ASSERT_TRUE(t.Unplug());
         QElapsedTimer started;
         started.start();
         ASSERT_NO_FATAL_FAILURE(t.StartWindow());
         // Plugged in 1.5 s after the window's start.
         QThread::msleep(std::max<qint64>(0, 1500 - started.elapsed()));
         PlugBackAndAwaitTheRead(t);
     },
     {}, 10},
    {"MouseUnpluggedAsTheWindowStarts",
     [](ReportOrderEndToEnd &t) {
         ASSERT_NO_FATAL_FAILURE(t.FreshSession());
         ASSERT_NO_FATAL_FAILURE(t.ChooseOnTheMouse({0, 1, 2, 3, 4}, 0));
         // Pulled out 0 to 100 ms after the window's start: before, during
         // or after its first reads of the mouse.
         ASSERT_NO_FATAL_FAILURE(t.LaunchWindow());
         QThread::msleep(unsigned(t.m_round * 100 / 9));
         ASSERT_TRUE(t.Unplug());
         ASSERT_NO_FATAL_FAILURE(t.AwaitWindow());
         PlugBackAndAwaitTheRead(t);
     },
     {}, 10},
    {"OneReadOfTheWindowsStartFails",
     [](ReportOrderEndToEnd &t) {
         if (t.m_startUpTransfers < 0) {
             // How many transfers the window's start makes until the
             // window shows, counted once.
             ASSERT_NO_FATAL_FAILURE(t.FreshSession());
             ASSERT_NO_FATAL_FAILURE(t.ChooseOnTheMouse({0, 1, 2, 3, 4}, 0));
             const std::uint64_t from = t.MouseLastSeq();
             ASSERT_NO_FATAL_FAILURE(t.StartWindow());
             ASSERT_TRUE(WaitFor([&] { return !t.ShownWindows().isEmpty(); }));
             t.m_startUpTransfers = 0;
             for (const auto &e : t.MouseLog())
                 if (e.seq > from && ReportOrderEndToEnd::IsTransfer(e))
                     ++t.m_startUpTransfers;
             ASSERT_GT(t.m_startUpTransfers, 0) << "the window's start never read the mouse";
         }
         ASSERT_NO_FATAL_FAILURE(t.FreshSession());
         ASSERT_NO_FATAL_FAILURE(t.ChooseOnTheMouse({0, 1, 2, 3, 4}, 0));
         // The failure falls on the first of them, the last, and spread
         // between.
         const int n = t.m_round * (t.m_startUpTransfers - 1) / 9;
         ASSERT_TRUE(t.OnTheMouse(wire::Type::FailAfter, std::uint32_t(n)));
         const std::uint64_t from = t.MouseLastSeq();
         ASSERT_NO_FATAL_FAILURE(t.StartWindow());
         ASSERT_TRUE(WaitFor([&] {
             return t.MouseLogged(from, [](const ReportOrderEndToEnd::LogEntry &e) {
                        return ReportOrderEndToEnd::IsTransfer(e) && e.status != 0;
                    }) != 0;
         })) << "no transfer failed (after " << n << " of " << t.m_startUpTransfers << ")";
     },
     {}, 10},
    {"OnlyTheProfileEditedInTheWindowIsOwed",
     [](ReportOrderEndToEnd &t) {
         ASSERT_NO_FATAL_FAILURE(t.FreshSession());
         // PROFILE2's rate edited in the window and saved, not applied.
         ASSERT_NO_FATAL_FAILURE(RateEditedInTheWindowAndSaved(t, 1));
         const QByteArray marks = t.OwedMarks();
         EXPECT_FALSE(marks.size() > 0 && marks[0] != 0)
             << "PROFILE1 is marked owed to the mouse; marks " << marks.toHex(' ').toStdString();
         EXPECT_TRUE(marks.size() > 1 && marks[1] == 1)
             << "PROFILE2 is not marked owed to the mouse; marks " << marks.toHex(' ').toStdString();
         // Then, with the window closed, level 3 for PROFILE1 on the mouse.
         ASSERT_TRUE(t.Profile(0));
         t.m_profile = 0;
         ASSERT_TRUE(WaitFor([&] { return t.StoredProfileID() == 0; })) << t.Views();
         ASSERT_TRUE(t.Dpi(3));
         t.m_level[0] = 3;
         ASSERT_NO_FATAL_FAILURE(t.StartWindow());
         // The window shows the mouse's level.
         EXPECT_TRUE(WaitFor([&] { return t.StoredProfile(0)->ConfigInfo.CurrentCPIIndex == 3; }))
             << "at the start: " << t.LevelAndRate(0);
     },
     {}, 10},
    {"LevelChosenOnTheMouseAfterARateSavedInTheWindow",
     [](ReportOrderEndToEnd &t) {
         ASSERT_NO_FATAL_FAILURE(t.FreshSession());
         const int p = t.m_round % 5;
         ASSERT_NO_FATAL_FAILURE(RateEditedInTheWindowAndSaved(t, p));
         // With the window closed, a new level for that profile on the
         // mouse; every other round the user then moves on to the next
         // profile.
         ASSERT_TRUE(t.Profile(p));
         t.m_profile = p;
         t.m_level[std::size_t(p)] = t.OtherEnabledLevel(p, t.m_round);
         ASSERT_TRUE(t.Dpi(t.m_level[std::size_t(p)]));
         if (t.m_round % 2 == 1) {
             ASSERT_TRUE(t.Profile((p + 1) % 5));
             t.m_profile = (p + 1) % 5;
             ASSERT_TRUE(WaitFor([&] { return t.StoredProfileID() == (p + 1) % 5; })) << t.Views();
         }
         ASSERT_NO_FATAL_FAILURE(t.StartWindow());
     },
     {}, 10},
    {"MonitorRestartedAfterACrash",
     [](ReportOrderEndToEnd &t) {
         ASSERT_NO_FATAL_FAILURE(ChosenOnTheMouseWithoutTheMonitor(t));
         ASSERT_NO_FATAL_FAILURE(MonitorBack(t));
     },
     {}, 10},
    {"ApplyWhileTheMonitorIsDown",
     [](ReportOrderEndToEnd &t) {
         ASSERT_NO_FATAL_FAILURE(ChosenOnTheMouseWithoutTheMonitor(t));
         const int p = t.MouseProfile();
         ASSERT_TRUE(t.ApplyToItsEnd()) << "APPLY did not run to its end";
         EXPECT_EQ(t.MouseRate(p), t.m_rate[std::size_t(p)]) << "APPLY without the monitor: " << t.Chosen(p);
         EXPECT_EQ(t.MouseLevel(p), t.m_level[std::size_t(p)]) << "APPLY without the monitor: " << t.Chosen(p);
         ASSERT_NO_FATAL_FAILURE(MonitorBack(t));
     },
     {}, 10},
};

INSTANTIATE_TEST_SUITE_P(Rounds, MouseChangesEndToEnd, ::testing::ValuesIn(kMouseChangeRows),
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
