// The real HKT75MON's tray icon on a real X display: Xvfb with the trayer
// tray host, driven with xdotool. Skipped where those tools are missing.
#include "platform/ProcessStart.h"

#include "peer/PeerProcess.h"
#include "support/PrivateSession.h"
#include "support/PrivateXServer.h"

#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace hkt::platform;
using hkt::testfixtures::WaitFor;

namespace {

const QString kBin = QStringLiteral(HKT75_BIN_DIR);

void EndProcess(QProcess &p)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished(10000);
    }
}

class MonitorTray : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char *tool : {"Xvfb", "trayer", "xdotool"})
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                GTEST_SKIP() << tool << " is not installed";
        ASSERT_TRUE(m_session.IsValid());
        // Like the private sound server: a machine where the X server cannot
        // run at all skips, rather than fails, the test.
        if (m_x.Name().isEmpty())
            GTEST_SKIP() << "Xvfb cannot run here";
        // No mouse and no sound server: only the tray is looked at here.
        m_env = m_session.DesktopEnvironment(m_x.Name(), Runtime() + "/no-mouse.sock");
        m_env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    }
    void TearDown() override
    {
        EndProcess(m_monitor);
        EndProcess(m_trayer);
    }

    QString Runtime() const { return m_session.Runtime(); }

    // xdotool's output lines (empty on failure).
    QStringList XDo(const QStringList &args)
    {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(QStringLiteral("xdotool"), args);
        if (!p.waitForFinished(30000))
            return {};
        return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // The monitor's shown windows: the tray icon, and its menu while open.
    QStringList MonitorWindows()
    {
        return XDo({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
                    QStringLiteral("HKT75MON")});
    }
    void ClickIcon(const QString &window, const QString &button)
    {
        XDo({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QStringLiteral("8"),
             QStringLiteral("8"), QStringLiteral("click"), button});
    }

    hkt::testfixtures::PrivateSession m_session{QStringLiteral("/tmp/hkt-tray-XXXXXX")};
    hkt::testfixtures::PrivateXServer m_x{QStringLiteral("640x480x24")};
    QProcess m_trayer;
    QProcess m_monitor;
    QProcessEnvironment m_env;
};

} // namespace

TEST_F(MonitorTray, IconAppearsWithTheTrayHostAndItsMenuEndsTheMonitor)
{
    auto peer = std::make_unique<PeerProcess>(Runtime(), QStringList{QStringLiteral("THKT75CFGMAIN")});
    ASSERT_EQ(peer->NextLine(), QStringLiteral("ready"));

    // The monitor comes first: without a tray host it keeps running.
    m_monitor.setProcessEnvironment(m_env);
    m_monitor.setProcessChannelMode(QProcess::ForwardedChannels);
    m_monitor.start(kBin + "/HKT75MON", {});
    ASSERT_TRUE(m_monitor.waitForStarted(30000));
    ASSERT_TRUE(WaitFor([&] { return static_cast<bool>(FindWindowByClass(QStringLiteral("THKT75MONMAIN"), Runtime())); }));
    EXPECT_EQ(m_monitor.state(), QProcess::Running);

    m_trayer.setProcessEnvironment(m_env);
    m_trayer.start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("top"),
                                              QStringLiteral("--align"), QStringLiteral("right"),
                                              QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                                              QStringLiteral("--width"), QStringLiteral("120"),
                                              QStringLiteral("--height"), QStringLiteral("32")});
    ASSERT_TRUE(m_trayer.waitForStarted(30000));
    QStringList windows;
    ASSERT_TRUE(WaitFor([&] { return !(windows = MonitorWindows()).isEmpty(); })) << "no tray icon appeared";
    ASSERT_EQ(windows.size(), 1);
    const QString icon = windows.front();

    // A left click asks the running configuration program to come forward.
    ClickIcon(icon, QStringLiteral("1"));
    EXPECT_EQ(peer->NextLine(), QStringLiteral("recv %1 0 0").arg(kActivateWindowMessage));

    // The right button opens the menu; its last shown item is Exit ("About" is hidden).
    bool ended = false;
    for (int attempt = 0; attempt < 5 && !ended; ++attempt) {
        ClickIcon(icon, QStringLiteral("3"));
        if (!WaitFor([&] { return MonitorWindows().size() == 2; }, 10000))
            continue;
        XDo({QStringLiteral("key"), QStringLiteral("Up"), QStringLiteral("Return")});
        ended = m_monitor.waitForFinished(10000);
        if (!ended)
            XDo({QStringLiteral("key"), QStringLiteral("Escape")});
    }
    ASSERT_TRUE(ended) << "Exit did not end the monitor";
    EXPECT_EQ(m_monitor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_monitor.exitCode(), 0);
    EXPECT_EQ(peer->NextLine(), QStringLiteral("recv 7036 0 0"));
    EXPECT_FALSE(FindWindowByClass(QStringLiteral("THKT75MONMAIN"), Runtime()));
}
