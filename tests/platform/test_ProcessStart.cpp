#include "platform/ProcessStart.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace hkt::platform;

namespace {

// A stand-in program that records the folder it was started in.
QString WriteFakeProgram(const QString &folder, const QString &name)
{
    const QString path = QDir(folder).filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\npwd > \"$0.started\"\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path + QStringLiteral(".started");
}

bool WaitForFile(const QString &path)
{
    QDeadlineTimer limit(20000);
    while (!QFile::exists(path) || QFile(path).size() == 0) {
        if (limit.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

} // namespace

TEST(ProcessStart, StartsTheProgramFromItsFolderWhenNoWindowAnswers)
{
    QTemporaryDir programs, runtime;
    const QString marker = WriteFakeProgram(programs.path(), QStringLiteral("HKT75"));
    EXPECT_EQ(ShowOrStartProgram(QStringLiteral("THKT75CFGMAIN"), programs.path(), QStringLiteral("HKT75"),
                                 runtime.path()),
              ShowOrStartResult::Started);
    ASSERT_TRUE(WaitForFile(marker));
    QFile f(marker);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QDir(QString::fromUtf8(f.readAll().trimmed())).canonicalPath(),
              QDir(programs.path()).canonicalPath());
}

TEST(ProcessStart, AsksARunningWindowToComeForwardInsteadOfStarting)
{
    QTemporaryDir programs, runtime;
    const QString marker = WriteFakeProgram(programs.path(), QStringLiteral("HKT75"));
    MessageWindow window(QStringLiteral("THKT75CFGMAIN"), runtime.path());
    std::vector<std::uint32_t> got;
    window.SetHandler([&](std::uint32_t m, std::int64_t, std::int64_t) {
        got.push_back(m);
        return 0;
    });
    ASSERT_TRUE(window.Register());
    EXPECT_EQ(ShowOrStartProgram(QStringLiteral("THKT75CFGMAIN"), programs.path(), QStringLiteral("HKT75"),
                                 runtime.path()),
              ShowOrStartResult::BroughtForward);
    QDeadlineTimer limit(20000);
    while (got.empty() && !limit.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    EXPECT_EQ(got, std::vector<std::uint32_t>{kActivateWindowMessage});
    EXPECT_FALSE(QFile::exists(marker));
}

TEST(ProcessStart, MissingOrUnsafeProgramIsNotStarted)
{
    QTemporaryDir programs, runtime;
    EXPECT_EQ(ShowOrStartProgram(QStringLiteral("THKT75CFGMAIN"), programs.path(), QStringLiteral("HKT75"),
                                 runtime.path()),
              ShowOrStartResult::Failed);
    EXPECT_FALSE(StartProgram(programs.path(), QStringLiteral("../bin/sh")));
    EXPECT_FALSE(StartProgram(programs.path(), QString()));
}
