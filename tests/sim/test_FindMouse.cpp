// hkt75-findmouse, which scripts/start-suite asks whether to use the real
// mouse: run as the script runs it, against the simulated mouse's daemon
// (HKT75_HID=sim:<socket>), with the daemon there and gone.
#include "support/VMouseCommand.h"

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
