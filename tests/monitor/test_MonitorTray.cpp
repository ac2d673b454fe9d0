// The real HKT75MON's tray icon on a real X display: Xvfb with the trayer
// tray host, driven with xdotool. Skipped where those tools are missing.
#include "platform/ProcessStart.h"

#include "peer/PeerProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace hkt::platform;

namespace {

const QString kBin = QStringLiteral(HKT75_BIN_DIR);

bool WaitFor(const std::function<bool()> &pred, int limitMs = 30000)
{
    QDeadlineTimer limit(limitMs);
    while (!pred()) {
        if (limit.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

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
        ASSERT_TRUE(m_tmp.isValid());
        for (const char *d : {"/run", "/config", "/home"})
            ASSERT_TRUE(QDir().mkpath(m_tmp.path() + d));
        QFile::setPermissions(Runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        // A display number nobody uses, chosen by the server itself.
        m_xvfb.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                               QStringLiteral("-screen"), QStringLiteral("0"),
                                               QStringLiteral("640x480x24"), QStringLiteral("-nolisten"),
                                               QStringLiteral("tcp")});
        // Like the private sound server: a machine where the X server cannot
        // run at all skips, rather than fails, the test.
        if (!m_xvfb.waitForStarted(30000) || !WaitFor([&] {
                m_xvfb.waitForReadyRead(100);
                return m_xvfb.canReadLine() || m_xvfb.state() == QProcess::NotRunning;
            }) || !m_xvfb.canReadLine())
            GTEST_SKIP() << "Xvfb cannot run here";
        m_display = QStringLiteral(":") + QString::fromUtf8(m_xvfb.readLine()).trimmed();

        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("DISPLAY"), m_display);
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), Runtime());
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_tmp.path() + "/config");
        m_env.insert(QStringLiteral("HOME"), m_tmp.path() + "/home");
        // No mouse and no sound server: only the tray is looked at here.
        m_env.insert(QStringLiteral("HKT75_HID"), QStringLiteral("sim:") + Runtime() + "/no-mouse.sock");
        m_env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + Runtime() + "/no-pulse");
    }
    void TearDown() override
    {
        EndProcess(m_monitor);
        EndProcess(m_trayer);
        EndProcess(m_xvfb);
    }

    QString Runtime() const { return m_tmp.path() + "/run"; }

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

    QTemporaryDir m_tmp{QStringLiteral("/tmp/hkt-tray-XXXXXX")};
    QProcess m_xvfb;
    QProcess m_trayer;
    QProcess m_monitor;
    QString m_display;
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
