// The real HKT75MON against the simulated mouse daemon, a private PulseAudio
// server and a test peer registered as the configuration window.
#include "core/DMUnit.h"
#include "platform/ValueStore.h"
#include "platform/WindowMessages.h"

#include "peer/PeerProcess.h"
#include "peer/PrivatePulse.h"
#include "support/PrivateSession.h"

#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>

using namespace hkt::platform;
using hkt::testfixtures::WaitFor;

namespace {

const QString kBin = QStringLiteral(HKT75_BIN_DIR);
const QString kKey = QStringLiteral("software\\HKT75GM");

class MonitorEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!m_pulse.Usable())
            GTEST_SKIP() << "pulseaudio cannot run here: " << m_pulse.Error().toStdString();
        ASSERT_TRUE(m_session.IsValid());
        m_env = m_session.Environment(m_pulse.Environment());
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        ASSERT_EQ(VMouse({QStringLiteral("start")}), 0);
    }
    void TearDown() override
    {
        if (m_pulse.Usable())
            VMouse({QStringLiteral("stop")});
    }

    QString Runtime() const { return m_session.Runtime(); }
    QString MouseSocket() const { return m_session.MouseSocket(); }

    int VMouse(QStringList args)
    {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        p.start(kBin + "/hkt75-vmouse", QStringList{QStringLiteral("--socket"), MouseSocket()} + args);
        if (!p.waitForFinished(30000))
            return -1;
        return p.exitCode();
    }

    // The stores as the monitor will find them, prepared by a data module of
    // our own over the same folders.
    std::shared_ptr<DirectoryValueStore> Store()
    {
        return std::make_shared<DirectoryValueStore>(m_session.StoreRoot());
    }
    void PrepareStores(const std::function<void(TDM &)> &edit)
    {
        TDM dm(TDMRoots{Store(), kBin, m_session.Documents()});
        // On the fresh mouse's profile: the monitor reads the mouse's profile
        // once its readers are open and passes on a difference, which none of
        // these tests is about.
        ASSERT_TRUE(dm.SwitchToProfile(0));
        ASSERT_TRUE(dm.SaveBackAllProfileSettingInfo());
        edit(dm);
    }
    static void SetRow(TDM &dm, int p, int button, std::uint16_t row)
    {
        auto info = std::make_unique<TMouseProfileInfo>();
        ASSERT_TRUE(dm.ReadProfileInfo(*info, p));
        info->ConfigInfo.ButtonFuncInfo[button].FunctionIndex = row;
        ASSERT_TRUE(dm.SaveBackToProfileInfo(*info, p));
        ASSERT_TRUE(dm.SaveProfileInfoToRegistry(p));
    }
    QByteArray ProfileID()
    {
        QByteArray data;
        if (Store()->ReadValue(kKey, QStringLiteral("ProfileID"), data) != ReadStatus::Ok)
            return {};
        return data;
    }

    std::unique_ptr<QProcess> StartMonitor()
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(m_env);
        p->setProcessChannelMode(QProcess::ForwardedChannels);
        p->start(kBin + "/HKT75MON", {});
        EXPECT_TRUE(p->waitForStarted(30000));
        return p;
    }

    std::unique_ptr<PeerProcess> StartConfigPeer()
    {
        auto peer = std::make_unique<PeerProcess>(
            Runtime(), QStringList{QStringLiteral("THKT75CFGMAIN"), QStringLiteral("--on"),
                                   QStringLiteral("7040=send:THKT75MONMAIN:7035:1:w")});
        EXPECT_EQ(peer->NextLine(), QStringLiteral("ready"));
        return peer;
    }

    // The monitor starts reading some seconds after its start: until then a
    // change on the mouse is not seen. Nudge the DPI level until it comes
    // through. A slow machine may pass on a nudge after we stopped waiting
    // for it, so end with a distinct level and drop the nudges before it: the
    // monitor forwards in order, so nothing of the nudges can come later.
    // Each opening of the readers also asks the window to read the mouse's
    // levels and rates again (7044), ahead of what the readers then report.
    void WaitUntilReading(PeerProcess &peer)
    {
        bool reading = false;
        for (int i = 0; i < 60 && !reading; ++i) {
            ASSERT_EQ(VMouse({QStringLiteral("dpi"), QStringLiteral("1")}), 0);
            reading = peer.Process().waitForReadyRead(500) || peer.Process().canReadLine();
        }
        ASSERT_TRUE(reading) << "the monitor never read the mouse";
        ASSERT_EQ(VMouse({QStringLiteral("dpi"), QStringLiteral("2")}), 0);
        QString line;
        while ((line = peer.NextLine()) == QStringLiteral("recv 7042 1 0") || line == QStringLiteral("recv 7044 0 0")) {
        }
        ASSERT_EQ(line, QStringLiteral("recv 7042 2 0"));
    }

    PrivatePulse m_pulse;
    hkt::testfixtures::PrivateSession m_session{QStringLiteral("/tmp/hkt-e2e-XXXXXX")};
    QProcessEnvironment m_env;
};

} // namespace

TEST_F(MonitorEndToEnd, MouseButtonsReachTheMicrophoneAndTheConfigurationProgram)
{
    // "MAIL" on button 3 of every profile, and on button 8 of profile 2 only.
    // Only the stores say so (no APPLY runs): both buttons are ones the
    // mouse's factory map leaves to the host in every profile, so the mouse
    // itself does nothing on them that the stores would contradict.
    PrepareStores([](TDM &dm) {
        for (int p = 0; p < 5; ++p) {
            SetRow(dm, p, 3, 28);
            SetRow(dm, p, 8, p == 2 ? 28 : 1);
        }
    });
    auto peer = StartConfigPeer();
    auto monitor = StartMonitor();
    WaitUntilReading(*peer);

    ASSERT_EQ(VMouse({QStringLiteral("press"), QStringLiteral("3")}), 0);
    EXPECT_TRUE(WaitFor([&] { return m_pulse.SourceMuted(QStringLiteral("test_mic")); }));
    ASSERT_EQ(VMouse({QStringLiteral("press"), QStringLiteral("3")}), 0);
    EXPECT_TRUE(WaitFor([&] { return !m_pulse.SourceMuted(QStringLiteral("test_mic")); }));

    // A profile switch on the mouse: the configuration program is asked to
    // switch, answers WM_PROFILE_CHANGED, and the monitor records it.
    ASSERT_EQ(VMouse({QStringLiteral("profile"), QStringLiteral("2")}), 0);
    EXPECT_EQ(peer->NextLine(), QStringLiteral("recv 7040 2 0"));
    EXPECT_TRUE(WaitFor([&] { return ProfileID() == QByteArray("\x02\x00\x00\x00", 4); }));
    ASSERT_EQ(VMouse({QStringLiteral("press"), QStringLiteral("8")}), 0);
    EXPECT_TRUE(WaitFor([&] { return m_pulse.SourceMuted(QStringLiteral("test_mic")); }));

    ASSERT_EQ(VMouse({QStringLiteral("dpi"), QStringLiteral("3")}), 0);
    EXPECT_EQ(peer->NextLine(), QStringLiteral("recv 7042 3 0"));
    ASSERT_EQ(VMouse({QStringLiteral("rate"), QStringLiteral("8")}), 0);
    EXPECT_EQ(peer->NextLine(), QStringLiteral("recv 7043 8 0"));

    // WM_PROFILE_CHANGED from the configuration program: reload and "ProfileID".
    peer->Command(QStringLiteral("send THKT75MONMAIN 7035 1 4"));
    EXPECT_EQ(peer->NextLine(), QStringLiteral("sending"));
    EXPECT_EQ(peer->NextLine(), QStringLiteral("result 0"));
    EXPECT_EQ(ProfileID(), QByteArray("\x04\x00\x00\x00", 4));

    // Pulled out and put back: the readers restart, one per device, so a
    // press still toggles exactly once (unmuted again after the press on 8).
    // The mouse stayed on profile 2 while the configuration program named 4:
    // once its readers are open again the monitor reads the mouse and passes
    // its profile on, as if the mouse had reported it.
    ASSERT_EQ(VMouse({QStringLiteral("unplug")}), 0);
    ASSERT_EQ(VMouse({QStringLiteral("plug")}), 0);
    EXPECT_EQ(peer->NextLine(), QStringLiteral("recv 7040 2 0"));
    EXPECT_TRUE(WaitFor([&] { return ProfileID() == QByteArray("\x02\x00\x00\x00", 4); }));
    WaitUntilReading(*peer);
    ASSERT_EQ(VMouse({QStringLiteral("press"), QStringLiteral("3")}), 0);
    EXPECT_TRUE(WaitFor([&] { return !m_pulse.SourceMuted(QStringLiteral("test_mic")); }));
    ASSERT_EQ(VMouse({QStringLiteral("press"), QStringLiteral("3")}), 0);
    EXPECT_TRUE(WaitFor([&] { return m_pulse.SourceMuted(QStringLiteral("test_mic")); }));

    // A second monitor ends at once; the first keeps its window.
    auto second = StartMonitor();
    ASSERT_TRUE(second->waitForFinished(30000));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE(FindWindowByClass(QStringLiteral("THKT75MONMAIN"), Runtime()));

    // The session's end closes the monitor in order: its window goes.
    ::kill(static_cast<pid_t>(monitor->processId()), SIGTERM);
    ASSERT_TRUE(monitor->waitForFinished(30000));
    EXPECT_EQ(monitor->exitStatus(), QProcess::NormalExit);
    EXPECT_FALSE(FindWindowByClass(QStringLiteral("THKT75MONMAIN"), Runtime()));
}

TEST_F(MonitorEndToEnd, MonitorsStartedTogetherLeaveExactlyOneRunning)
{
    std::vector<std::unique_ptr<QProcess>> monitors;
    for (int i = 0; i < 4; ++i)
        monitors.push_back(StartMonitor());
    ASSERT_TRUE(WaitFor([&] { return static_cast<bool>(FindWindowByClass(QStringLiteral("THKT75MONMAIN"), Runtime())); }));
    // Three end at once without a word; the one that holds the lock stays.
    auto endedCount = [&] {
        int n = 0;
        for (auto &m : monitors) {
            m->waitForFinished(10);
            n += m->state() == QProcess::NotRunning;
        }
        return n;
    };
    ASSERT_TRUE(WaitFor([&] { return endedCount() == 3; }));
    for (auto &m : monitors) {
        if (m->state() == QProcess::NotRunning) {
            EXPECT_EQ(m->exitCode(), 0);
        }
    }
    EXPECT_TRUE(FindWindowByClass(QStringLiteral("THKT75MONMAIN"), Runtime()));
    for (auto &m : monitors)
        if (m->state() != QProcess::NotRunning) {
            m->terminate();
            m->waitForFinished(30000);
        }
}

// The simulated mouse's daemon comes after the monitor, then ends and comes
// back: each time the monitor finds the mouse again and reads it.
TEST_F(MonitorEndToEnd, MonitorFindsTheMouseWheneverItsDaemonComesBack)
{
    PrepareStores([](TDM &dm) {
        for (int p = 0; p < 5; ++p)
            SetRow(dm, p, 3, 28);
    });
    ASSERT_EQ(VMouse({QStringLiteral("stop")}), 0);
    auto peer = StartConfigPeer();
    auto monitor = StartMonitor();
    QThread::msleep(2500); // past the monitor's own start-up search, which finds nothing

    bool muted = false;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(VMouse({QStringLiteral("start")}), 0);
        WaitUntilReading(*peer);
        ASSERT_EQ(VMouse({QStringLiteral("press"), QStringLiteral("3")}), 0);
        muted = !muted;
        EXPECT_TRUE(WaitFor([&] { return m_pulse.SourceMuted(QStringLiteral("test_mic")) == muted; }));
        ASSERT_EQ(VMouse({QStringLiteral("stop")}), 0);
    }
    ASSERT_EQ(VMouse({QStringLiteral("start")}), 0); // for TearDown's stop
    monitor->terminate();
    EXPECT_TRUE(monitor->waitForFinished(30000));
}
