#include "platform/DeviceTransferLock.h"
#include "platform/Paths.h"

#include "peer/PeerProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <thread>

using hkt::platform::DeviceTransferLock;
using hkt::platform::DeviceTransferPause;
using hkt::platform::DeviceTransferRun;
using namespace std::chrono_literals;

namespace {

// The runtime folder pinned to a private temporary one for the test's length.
class PinnedRuntime {
public:
    explicit PinnedRuntime(const QString &folder) { hkt::platform::SetRuntimeFolder(folder); }
    ~PinnedRuntime() { hkt::platform::SetRuntimeFolder(std::nullopt); }
};

// A runtime folder of its own, shared with a peer process that stands in for
// the other program and takes or releases a run on command.
class OtherProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(Folder()));
        ASSERT_TRUE(QFile::setPermissions(Folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        hkt::platform::SetRuntimeFolder(Folder());
    }
    void TearDown() override { hkt::platform::SetRuntimeFolder(std::nullopt); }

    QString Folder() const { return m_dir.path() + "/hkt75"; }
    // The peer, holding a run (it never lets go by itself).
    std::unique_ptr<PeerProcess> Holder()
    {
        auto peer = std::make_unique<PeerProcess>(m_dir.path(), QStringList{"TTransferPeer", "--lock"});
        EXPECT_EQ(peer->NextLine(), "locked");
        peer->Command("take 5000");
        EXPECT_EQ(peer->NextLine(), "held");
        return peer;
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(OtherProgram, TwoProcessesTakeTurns)
{
    auto other = Holder();
    {
        DeviceTransferRun mine(50ms);
        EXPECT_FALSE(mine.Held());
        EXPECT_TRUE(mine.WaitedInVain());
    }
    other->Command("release");
    {
        ASSERT_EQ(other->NextLine(), "released");
        DeviceTransferRun again(5000ms);
        EXPECT_TRUE(again.Held());
        EXPECT_FALSE(again.WaitedInVain());
        // Now the other one waits.
        other->Command("take 50");
        EXPECT_EQ(other->NextLine(), "not held");
    }
}

TEST_F(OtherProgram, AStoppedHolderCostsOneWaitPerRunNotOnePerTransfer)
{
    auto other = Holder();
    const auto waits = DeviceTransferRun::Waits(), inVain = DeviceTransferRun::WaitsInVain();
    {
        DeviceTransferRun run(50ms);
        EXPECT_FALSE(run.Held());
        EXPECT_TRUE(run.WaitedInVain());
        EXPECT_EQ(DeviceTransferRun::Waits(), waits + 1);
        EXPECT_EQ(DeviceTransferRun::WaitsInVain(), inVain + 1);
        // Every transfer and nested run inside goes ahead without waiting again.
        for (int i = 0; i < 20; ++i) {
            DeviceTransferRun nested;
            const DeviceTransferLock transfer;
            EXPECT_FALSE(transfer.Held());
            EXPECT_TRUE(nested.WaitedInVain());
            // A pause of a run that went ahead without the lock does not wait
            // to take it back either.
            const DeviceTransferPause pause;
        }
        EXPECT_EQ(DeviceTransferRun::Waits(), waits + 1);
        EXPECT_EQ(DeviceTransferRun::WaitsInVain(), inVain + 1);
    }
    // The next run is a run of its own: it waits once again.
    const DeviceTransferLock next(10ms);
    EXPECT_FALSE(next.Held());
    EXPECT_EQ(DeviceTransferRun::Waits(), waits + 2);
}

TEST_F(OtherProgram, NestedRunsRideOnTheOutermostOneThatHoldsTheLock)
{
    const auto waits = DeviceTransferRun::Waits();
    DeviceTransferRun run(50ms);
    ASSERT_TRUE(run.Held());
    {
        DeviceTransferRun nested(0ms);
        const DeviceTransferLock transfer(0ms);
        EXPECT_TRUE(nested.Held());
        EXPECT_TRUE(transfer.Held());
        EXPECT_FALSE(nested.WaitedInVain());
    }
    EXPECT_TRUE(run.Held()) << "a nested run's end does not let the outer run's lock go";
    // The other program is kept out until the outermost run ends.
    PeerProcess other(m_dir.path(), QStringList{"TTransferPeer", "--lock"});
    ASSERT_EQ(other.NextLine(), "locked");
    other.Command("take 50");
    EXPECT_EQ(other.NextLine(), "not held");
    EXPECT_EQ(DeviceTransferRun::Waits(), waits);
}

TEST_F(OtherProgram, APauseLetsTheOtherProgramInAndTheRunTakesTheLockBackOnlyOnce)
{
    PeerProcess other(m_dir.path(), QStringList{"TTransferPeer", "--lock"});
    ASSERT_EQ(other.NextLine(), "locked");
    DeviceTransferRun run(50ms);
    ASSERT_TRUE(run.Held());
    const auto waits = DeviceTransferRun::Waits();
    {
        const DeviceTransferPause pause;
        EXPECT_FALSE(run.Held());
        // Transfers made during the pause are runs of their own.
        {
            const DeviceTransferLock transfer(0ms);
            EXPECT_TRUE(transfer.Held());
        }
        other.Command("take 5000");
        EXPECT_EQ(other.NextLine(), "held");
    }
    // The other program kept it: the run waited for it once, in vain.
    EXPECT_FALSE(run.Held());
    EXPECT_TRUE(run.WaitedInVain());
    EXPECT_EQ(DeviceTransferRun::Waits(), waits + 1);
    {
        const DeviceTransferPause pause;
    }
    EXPECT_EQ(DeviceTransferRun::Waits(), waits + 1) << "a run waits in vain at most once more after a pause";
    other.Command("release");
    EXPECT_EQ(other.NextLine(), "released");
}

TEST_F(OtherProgram, ALockFilePlantedAtTheOldNameChangesNothing)
{
    const QString planted = Folder() + "/device-transfer.lock";
    struct Case {
        const char *name;
        std::function<bool()> plant;
    };
    const Case cases[] = {
        {"a symlink", [&] { return QFile::link(m_dir.path() + "/elsewhere", planted); }},
        {"a folder", [&] { return QDir().mkdir(planted); }},
        {"a file", [&] {
             QFile f(planted);
             return f.open(QIODevice::WriteOnly);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.plant());
        {
            auto other = Holder();
            const auto waits = DeviceTransferRun::WaitsInVain();
            DeviceTransferRun mine(50ms);
            EXPECT_FALSE(mine.Held());
            EXPECT_EQ(DeviceTransferRun::WaitsInVain(), waits + 1) << "the two processes still serialise";
        }
        DeviceTransferRun alone(5000ms);
        EXPECT_TRUE(alone.Held());
        QFile::remove(planted);
        QDir().rmdir(planted);
        EXPECT_FALSE(QFileInfo(planted).exists() || QFileInfo(planted).isSymLink());
    }
}

TEST_F(OtherProgram, AFolderMadeAgainIsTheOneLocked)
{
    {
        DeviceTransferRun first;  // the descriptor of the first folder is kept
        ASSERT_TRUE(first.Held());
    }
    ASSERT_TRUE(QDir(Folder()).removeRecursively());
    ASSERT_TRUE(QDir().mkdir(Folder()));
    ASSERT_TRUE(QFile::setPermissions(Folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    auto other = Holder();  // on the new folder
    DeviceTransferRun mine(50ms);
    EXPECT_FALSE(mine.Held()) << "the old folder's descriptor must not be locked instead";
    EXPECT_TRUE(mine.WaitedInVain());
}

TEST(DeviceTransferLock, OneHolderAtATimeAndAStuckHolderIsWaitedForOnlySoLong)
{
    QTemporaryDir dir;
    PinnedRuntime pin(dir.path());
    {
        DeviceTransferLock first;
        ASSERT_TRUE(first.Held());
        // Another program's transfer waits, then goes ahead without it. (In
        // one thread a second lock rides on the first; another thread has
        // its own descriptor and is kept out as another program is.)
        bool secondHeld = true;
        std::thread([&] {
            DeviceTransferLock second(std::chrono::milliseconds(50));
            secondHeld = second.Held();
        }).join();
        EXPECT_FALSE(secondHeld);
    }
    DeviceTransferLock third(std::chrono::milliseconds(0));
    EXPECT_TRUE(third.Held()) << "the first holder's end lets the lock go";
}

TEST(DeviceTransferLock, WithoutAUsableRuntimeFolderTransfersGoAheadUnlocked)
{
    QTemporaryDir dir;
    // Open to others: refused as a runtime folder, never adopted.
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                      QFile::ReadOther | QFile::ExeOther));
    PinnedRuntime pin(dir.path());
    DeviceTransferLock lock(std::chrono::milliseconds(0));
    EXPECT_FALSE(lock.Held());
    EXPECT_FALSE(QFile::exists(dir.path() + "/device-transfer.lock"));
}
