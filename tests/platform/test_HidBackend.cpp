#include "platform/HidBackend.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

using namespace hkt::platform;

TEST(HidWake, WakeStaysSetUntilReset)
{
    HidWake wake;
    ASSERT_GE(wake.fd(), 0);
    EXPECT_FALSE(wake.isWoken());
    wake.wake();
    wake.wake();
    EXPECT_TRUE(wake.isWoken());
    wake.reset();
    EXPECT_FALSE(wake.isWoken());
}

TEST(HidWake, WakeFromAnotherThreadIsSeen)
{
    HidWake wake;
    std::thread t([&] { wake.wake(); });
    t.join();
    EXPECT_TRUE(wake.isWoken());
}

TEST(HidBackendSelection, UnknownChoiceSeesNoDeviceInsteadOfFailing)
{
    ::setenv("HKT75_HID", "bogus-backend", 1);
    SetCurrentHidBackend(nullptr);
    auto backend = CurrentHidBackend();
    ASSERT_NE(backend, nullptr);
    EXPECT_TRUE(backend->enumerate().empty());
    const HidOpenResult r = backend->open(QStringLiteral("/dev/hidraw0"), 0);
    EXPECT_EQ(r.device, nullptr);
    EXPECT_NE(r.status, HidStatus::Ok);
    SetCurrentHidBackend(nullptr);
    ::unsetenv("HKT75_HID");
}

TEST(HidBackendSelection, SetterReplacesAndNullRestoresChoice)
{
    auto mine = MakeNullHidBackend();
    SetCurrentHidBackend(mine);
    EXPECT_EQ(CurrentHidBackend(), mine);
    SetCurrentHidBackend(nullptr);
    EXPECT_NE(CurrentHidBackend(), mine);
    SetCurrentHidBackend(nullptr);
}

TEST(HidBackendSelection, SimChoiceWithoutDaemonSeesNoMouse)
{
    QTemporaryDir dir;
    const QString socket = dir.filePath(QStringLiteral("absent.sock"));
    ::setenv("HKT75_HID", qPrintable(QStringLiteral("sim:") + socket), 1);
    SetCurrentHidBackend(nullptr);
    auto backend = CurrentHidBackend();
    ASSERT_NE(backend, nullptr);
    EXPECT_TRUE(backend->enumerate().empty());
    EXPECT_EQ(backend->open(QStringLiteral("sim"), 0).device, nullptr);
    SetCurrentHidBackend(nullptr);
    ::unsetenv("HKT75_HID");
}
