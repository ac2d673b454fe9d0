#include "platform/SingleInstance.h"
#include "platform/WindowMessages.h"

#include "peer/PeerProcess.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using hkt::platform::SingleInstance;

namespace {

std::unique_ptr<PeerProcess> StartLocker(const QString &root, const QString &cls)
{
    return std::make_unique<PeerProcess>(root, QStringList{cls, QStringLiteral("--lock")});
}

} // namespace

TEST(SingleInstance, SecondHolderInOneProcessIsRefusedUntilRelease)
{
    QTemporaryDir dir;
    SingleInstance a, b;
    ASSERT_TRUE(a.Acquire(QStringLiteral("THKT75MONMAIN"), dir.path()));
    EXPECT_FALSE(b.Acquire(QStringLiteral("THKT75MONMAIN"), dir.path()));
    EXPECT_TRUE(b.Acquire(QStringLiteral("THKT75CFGMAIN"), dir.path())); // another class
    a.Release();
    SingleInstance c;
    EXPECT_TRUE(c.Acquire(QStringLiteral("THKT75MONMAIN"), dir.path()));
}

TEST(SingleInstance, OfProcessesStartedAtOnceExactlyOneRuns)
{
    QTemporaryDir dir;
    std::vector<std::unique_ptr<PeerProcess>> peers;
    for (int i = 0; i < 6; ++i)
        peers.push_back(StartLocker(dir.path(), QStringLiteral("THKT75MONMAIN")));
    int locked = 0, busy = 0;
    for (auto &p : peers) {
        const QString line = p->NextLine();
        locked += line == QStringLiteral("locked");
        busy += line == QStringLiteral("busy");
    }
    EXPECT_EQ(locked, 1);
    EXPECT_EQ(busy, 5);
}

TEST(SingleInstance, KilledHolderReleasesTheLock)
{
    QTemporaryDir dir;
    auto holder = StartLocker(dir.path(), QStringLiteral("THKT75MONMAIN"));
    ASSERT_EQ(holder->NextLine(), QStringLiteral("locked"));
    SingleInstance mine;
    EXPECT_FALSE(mine.Acquire(QStringLiteral("THKT75MONMAIN"), dir.path()));
    holder->Process().kill();
    ASSERT_TRUE(holder->Process().waitForFinished(10000));
    EXPECT_TRUE(mine.Acquire(QStringLiteral("THKT75MONMAIN"), dir.path()));
}

TEST(SingleInstance, ProgramStartedByTheHolderDoesNotKeepItsLock)
{
    QTemporaryDir dir;
    auto mine = std::make_unique<SingleInstance>();
    ASSERT_TRUE(mine->Acquire(QStringLiteral("THKT75CFGMAIN"), dir.path()));
    QProcess child; // outlives our release, as the other program does
    child.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    ASSERT_TRUE(child.waitForStarted());
    mine.reset();
    auto next = StartLocker(dir.path(), QStringLiteral("THKT75CFGMAIN"));
    EXPECT_EQ(next->NextLine(), QStringLiteral("locked"));
    child.kill();
    child.waitForFinished();
}

TEST(SingleInstance, RefusesAnUnusableFolderOrName)
{
    QTemporaryDir dir;
    SingleInstance s;
    EXPECT_FALSE(s.Acquire(QStringLiteral("../x"), dir.path()));
    EXPECT_FALSE(s.Acquire(QString(), dir.path()));
    const QString folder = hkt::platform::MessageFolder(dir.path());
    ASSERT_FALSE(folder.isEmpty());
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                      | QFile::ExeOther);
    EXPECT_FALSE(s.Acquire(QStringLiteral("THKT75MONMAIN"), dir.path()));
}

// A program's start: it goes on when it holds the lock, ends with 0 (and no
// word) when another instance runs, and with 1 when no lock can be taken.
TEST(SingleInstance, StartGoesOnEndsQuietlyOrFailsAsTheLockAllows)
{
    QTemporaryDir dir;
    SingleInstance first, second, third;
    EXPECT_EQ(hkt::platform::StartSingleInstance(first, QStringLiteral("THKT75CFGMAIN"), "HKT75", dir.path()),
              std::nullopt);
    EXPECT_EQ(hkt::platform::StartSingleInstance(second, QStringLiteral("THKT75CFGMAIN"), "HKT75", dir.path()),
              std::optional<int>(0));
    EXPECT_FALSE(second.Held());
    EXPECT_EQ(hkt::platform::StartSingleInstance(third, QStringLiteral("../x"), "HKT75", dir.path()),
              std::optional<int>(1));
}
