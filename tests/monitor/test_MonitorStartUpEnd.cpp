// The session's end while the real HKT75MON is still starting: a copy of the
// monitor in a folder without the hook library stops at its "Error" box (a
// dialog shown as it starts); SIGTERM then ends it in order, never by the
// signal's default action and never leaving it running.
#include "platform/WindowMessages.h"
#include "support/EventLoopWait.h"
#include "support/PrivateXServer.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using namespace hkt::platform;
using hkt::testfixtures::WaitUntil;

namespace {

const QString kBin = QStringLiteral(HKT75_BIN_DIR);

} // namespace

TEST(MonitorStartUpEnd, TheSessionsEndDuringTheHookLibrarysErrorEndsTheMonitorInOrder)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_SKIP() << "xdotool is not installed";
    hkt::testfixtures::PrivateXServer x;
    if (x.Name().isEmpty())
        GTEST_SKIP() << "no Xvfb";
    QTemporaryDir tmp;
    for (const char *d : {"/prog", "/run", "/config", "/home"})
        ASSERT_TRUE(QDir().mkpath(tmp.path() + d));
    QFile::setPermissions(tmp.path() + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // The monitor alone: its folder holds no libkwHook.so.
    const QString monitor = tmp.path() + "/prog/HKT75MON";
    ASSERT_TRUE(QFile::copy(kBin + "/HKT75MON", monitor));
    ASSERT_TRUE(QFile::setPermissions(monitor, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), tmp.path() + "/run");
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), tmp.path() + "/config");
    env.insert(QStringLiteral("HOME"), tmp.path() + "/home");
    env.insert(QStringLiteral("HKT75_HID"), QStringLiteral("sim:") + tmp.path() + "/run/no-mouse.sock");
    env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + tmp.path() + "/run/no-pulse");
    env.insert(QStringLiteral("DISPLAY"), x.Name());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));

    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(monitor, {});
    ASSERT_TRUE(p.waitForStarted(30000));
    // The error box is up (the monitor's own window stays hidden).
    const auto boxShown = [&] {
        QProcess xdotool;
        xdotool.setProcessEnvironment(env);
        xdotool.start(QStringLiteral("xdotool"),
                      {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                       QStringLiteral("Error")});
        return xdotool.waitForFinished(20000) && !xdotool.readAllStandardOutput().trimmed().isEmpty();
    };
    ASSERT_TRUE(WaitUntil(boxShown, 30000));
    // The window is registered before the box opens, so nothing sent to it
    // while the box is up is lost.
    EXPECT_TRUE(FindWindowByClass(QStringLiteral("THKT75MONMAIN"), tmp.path() + "/run"));

    ::kill(pid_t(p.processId()), SIGTERM);
    const bool ended = p.waitForFinished(20000);
    if (!ended) {
        p.kill();
        p.waitForFinished(10000);
    }
    ASSERT_TRUE(ended) << "the monitor ran on";
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_FALSE(FindWindowByClass(QStringLiteral("THKT75MONMAIN"), tmp.path() + "/run"));
}
