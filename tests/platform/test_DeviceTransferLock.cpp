#include "platform/DeviceTransferLock.h"
#include "platform/Paths.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using hkt::platform::DeviceTransferLock;

namespace {

// The runtime folder pinned to a private temporary one for the test's length.
class PinnedRuntime {
public:
    explicit PinnedRuntime(const QString &folder) { hkt::platform::SetRuntimeFolder(folder); }
    ~PinnedRuntime() { hkt::platform::SetRuntimeFolder(std::nullopt); }
};

} // namespace

TEST(DeviceTransferLock, OneHolderAtATimeAndAStuckHolderIsWaitedForOnlySoLong)
{
    QTemporaryDir dir;
    PinnedRuntime pin(dir.path());
    {
        DeviceTransferLock first;
        ASSERT_TRUE(first.Held());
        // Another program's transfer waits, then goes ahead without it.
        DeviceTransferLock second(std::chrono::milliseconds(50));
        EXPECT_FALSE(second.Held());
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
