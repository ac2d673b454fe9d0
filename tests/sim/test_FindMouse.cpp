// hkt75-findmouse, which scripts/start-suite asks whether to use the real
// mouse: run as the script runs it, against the simulated mouse's daemon
// (HKT75_HID=sim:<socket>), with the daemon there and gone.
#include "support/VMouseCommand.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct FindResult {
    int exitCode = -1;
    QString output;
};

FindResult FindMouse(const QString &socket)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HKT75_HID"), QStringLiteral("sim:") + socket);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(HKT75_BIN_DIR "/hkt75-findmouse"), {});
    if (!p.waitForFinished(30000))
        return {};
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput())};
}

} // namespace

TEST(FindMouse, AnswersWhetherTheMouseCanBeOpenedAndListsItsIdentifiers)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString sock = dir.filePath(QStringLiteral("m.sock"));

    FindResult none = FindMouse(sock);
    EXPECT_EQ(none.exitCode, 1) << none.output.toStdString();
    EXPECT_TRUE(none.output.startsWith(QStringLiteral("none:"))) << none.output.toStdString();

    ASSERT_EQ(hkt::testfixtures::VMouseCommand(sock, {QStringLiteral("start")}), 0);
    FindResult found = FindMouse(sock);
    hkt::testfixtures::VMouseCommand(sock, {QStringLiteral("stop")});
    EXPECT_EQ(found.exitCode, 0) << found.output.toStdString();
    // Only the vendor collection (interface 1) is listed, with identifiers
    // as [IncludeHIDDeviceList] names them.
    const QStringList lines = found.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << found.output.toStdString();
    EXPECT_TRUE(lines[0].startsWith(sock + QStringLiteral("/if1: "))) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral(" HID\\VID_1209&PID_0001&MI_01 "))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("found:"))) << lines[1].toStdString();
}

// The run script, asked for the simulated mouse, says in its own words that
// the simulated mouse is used and where it listens, not a bare socket path;
// a second start finds the daemon running and says so.
TEST(StartSuite, SaysInASentenceThatTheSimulatedMouseIsUsed)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A bin folder with the real daemon and a monitor that ends at once.
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("bin"))));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("run"))));
    QFile::setPermissions(dir.filePath(QStringLiteral("run")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_TRUE(QFile::copy(QStringLiteral(HKT75_BIN_DIR "/hkt75-vmouse"), dir.filePath(QStringLiteral("bin/hkt75-vmouse"))));
    ASSERT_TRUE(QFile::link(QStringLiteral("/bin/true"), dir.filePath(QStringLiteral("bin/HKT75MON"))));
    const QString sock = dir.filePath(QStringLiteral("m.sock"));
    const auto run = [&] {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HKT75_HID"), QStringLiteral("sim:") + sock);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("run")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("bash"), {QStringLiteral(HKT75_SOURCE_DIR "/scripts/start-suite"), dir.filePath(QStringLiteral("bin"))});
        EXPECT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return QString::fromLocal8Bit(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    };
    const QStringList first = run();
    const QStringList second = run();
    hkt::testfixtures::VMouseCommand(sock, {QStringLiteral("stop")});
    ASSERT_EQ(first.size(), 1) << first.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(first[0].contains(QStringLiteral("using the simulated mouse"))) << first[0].toStdString();
    EXPECT_TRUE(first[0].contains(sock)) << first[0].toStdString();
    EXPECT_NE(first[0].trimmed(), sock);
    ASSERT_EQ(second.size(), 1) << second.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(second[0].contains(QStringLiteral("runs already"))) << second[0].toStdString();
}
