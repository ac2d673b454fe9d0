// The one-shot worker and the filter-driver channel with its installer,
// driven through fakes of the driver and the installer actions.

#include "core/kwStdCmd.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <set>
#include <thread>

namespace DriverStatus = hkt::platform::DriverStatus;
using hkt::platform::DriverHandle;
using hkt::platform::DriverIoResult;
using hkt::platform::HidClassDevice;

namespace {

// --- one-shot worker ---------------------------------------------------------

TEST(OneShotWorker, EmptyCallsMakeNoThread)
{
    std::atomic<int> calls{0};
    const char bytes[4] = {1, 2, 3, 4};
    TkwThread::ThreadCallFunction([&](void *, uint32_t) { ++calls; }, bytes, 0);
    TkwThread::ThreadCallFunction([&](void *, uint32_t) { ++calls; }, nullptr, 4);
    TkwThread::ThreadCallFunction(nullptr, bytes, 4);
    TkwThread::WaitForAll();
    EXPECT_EQ(calls.load(), 0);
}

TEST(OneShotWorker, EachCallSeesItsOwnCopyAndCallback)
{
    std::mutex lock;
    std::vector<std::pair<int, std::vector<uint8_t>>> seen;
    std::promise<void> release;
    std::shared_future<void> go = release.get_future().share();
    std::vector<uint8_t> buffer(12);
    for (int call = 0; call < 8; ++call) {
        std::fill(buffer.begin(), buffer.end(), static_cast<uint8_t>(call));
        TkwThread::ThreadCallFunction(
            [&, call, go](void *copy, uint32_t size) {
                go.wait(); // every call is made before any callback reads its copy
                const auto *b = static_cast<const uint8_t *>(copy);
                std::lock_guard<std::mutex> guard(lock);
                seen.emplace_back(call, std::vector<uint8_t>(b, b + size));
            },
            buffer.data(), static_cast<uint32_t>(buffer.size()));
        std::fill(buffer.begin(), buffer.end(), 0xEE); // the caller reuses its buffer at once
    }
    release.set_value();
    TkwThread::WaitForAll();
    ASSERT_EQ(seen.size(), 8u);
    for (const auto &[call, bytes] : seen)
        EXPECT_EQ(bytes, std::vector<uint8_t>(12, static_cast<uint8_t>(call)));
}

TEST(OneShotWorker, AFailingCallbackEndsOnlyItsThread)
{
    std::atomic<int> after{0};
    const int value = 7;
    TkwThread::ThreadCallFunction([](void *, uint32_t) { throw std::runtime_error("boom"); }, &value, sizeof value);
    TkwThread::WaitForAll();
    TkwThread::ThreadCallFunction([&](void *b, uint32_t) { after = *static_cast<int *>(b); }, &value, sizeof value);
    TkwThread::WaitForAll();
    EXPECT_EQ(after.load(), 7);
}

// --- fakes -------------------------------------------------------------------

struct FakeDriver {
    std::mutex lock;
    std::condition_variable changed;
    bool present = true;
    int opens = 0;
    int openHandles = 0;
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> controls; // code, bytes sent
    DriverIoResult controlResult{};
    std::vector<uint8_t> controlReply;
    std::deque<std::pair<DriverIoResult, std::vector<uint8_t>>> reads; // scripted replies
    int pendingReads = 0;
    int maxPendingReads = 0;
    std::set<std::thread::id> readerThreads;
    std::vector<uint32_t> readLengths;
};

class FakeHandle final : public DriverHandle {
public:
    explicit FakeHandle(FakeDriver &d) : m_d(d)
    {
        std::lock_guard<std::mutex> g(m_d.lock);
        ++m_d.openHandles;
    }
    ~FakeHandle() override
    {
        std::lock_guard<std::mutex> g(m_d.lock);
        --m_d.openHandles;
    }
    DriverIoResult Control(uint32_t code, void *buffer, uint32_t length) override
    {
        std::lock_guard<std::mutex> g(m_d.lock);
        auto *b = static_cast<uint8_t *>(buffer);
        m_d.controls.emplace_back(code, std::vector<uint8_t>(b, b + length));
        std::copy_n(m_d.controlReply.begin(), std::min<size_t>(m_d.controlReply.size(), length), b);
        return m_d.controlResult;
    }
    DriverIoResult Read(uint32_t, const void *, uint32_t, void *out, uint32_t outLength) override
    {
        std::unique_lock<std::mutex> l(m_d.lock);
        m_d.readerThreads.insert(std::this_thread::get_id());
        m_d.readLengths.push_back(outLength);
        m_d.maxPendingReads = std::max(m_d.maxPendingReads, ++m_d.pendingReads);
        m_d.changed.notify_all();
        m_d.changed.wait(l, [&] { return m_cancelled || !m_d.reads.empty(); });
        --m_d.pendingReads;
        m_d.changed.notify_all();
        if (m_cancelled)
            return {DriverStatus::OperationAborted, 0};
        auto [result, bytes] = m_d.reads.front();
        m_d.reads.pop_front();
        std::copy_n(bytes.begin(), std::min<size_t>(bytes.size(), outLength), static_cast<uint8_t *>(out));
        return result;
    }
    void CancelRead() override
    {
        std::lock_guard<std::mutex> g(m_d.lock);
        m_cancelled = true;
        m_d.changed.notify_all();
    }

private:
    FakeDriver &m_d;
    bool m_cancelled = false;
};

class FakeChannel final : public hkt::platform::DriverChannel {
public:
    explicit FakeChannel(FakeDriver &d) : m_d(d) {}
    std::unique_ptr<DriverHandle> Open(const QString &path, bool) override
    {
        EXPECT_EQ(path, QStringLiteral("\\\\.\\usbkqdf00001"));
        {
            std::lock_guard<std::mutex> g(m_d.lock);
            ++m_d.opens;
            if (!m_d.present)
                return nullptr;
        }
        return std::make_unique<FakeHandle>(m_d);
    }
    std::vector<HidClassDevice> PresentHidClassDevices() override { return devices; }
    std::vector<HidClassDevice> devices;

private:
    FakeDriver &m_d;
};

class Channel : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tmp.isValid()); }

    std::unique_ptr<TkwSTDCommand> Make(const QByteArray &ini = QByteArray())
    {
        if (!ini.isNull()) {
            QFile f(tmp.filePath(QStringLiteral("config.ini")));
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(ini);
        }
        channel = std::make_shared<FakeChannel>(driver);
        TkwSTDCommandEnvironment env;
        env.Channel = channel;
        env.ConfigIniPath = tmp.filePath(QStringLiteral("config.ini"));
        env.ProgramFolder = QStringLiteral("/opt/hkt");
        env.DeviceChanges = hkt::platform::MakeNullHidBackend()->createChangeSource();
        return std::make_unique<TkwSTDCommand>(nullptr, std::move(env));
    }

    // Waits until a read is pending at the fake driver.
    void WaitForPendingRead()
    {
        std::unique_lock<std::mutex> l(driver.lock);
        driver.changed.wait_for(l, std::chrono::seconds(10), [&] { return driver.pendingReads == 1; });
    }

    QTemporaryDir tmp;
    FakeDriver driver;
    std::shared_ptr<FakeChannel> channel;
};

TEST_F(Channel, ReadsItsListsAndNamesFromConfigIni)
{
    QByteArray ini = "[devicelist]\nid1=HID\\VID_1234&PID_5678\nid3=HID\\VID_9999&PID_0001\n[usbdevicelist]\n";
    for (int i = 1; i <= 102; ++i)
        ini += QStringLiteral("id%1=USB\\VID_%2\n").arg(i).arg(i).toLatin1();
    ini += "[DEVICE]\nDeviceName=usbkqdf00001\nWHQL=1\n";
    auto cmd = Make(ini);
    EXPECT_EQ(cmd->GetHIDDeviceList(), QStringList{"HID\\VID_1234&PID_5678"});
    EXPECT_EQ(cmd->GetUSBDeviceList().size(), 101);
    EXPECT_EQ(cmd->DriverInfo().WHQL, 1);
    EXPECT_EQ(cmd->DriverInfo().ServiceName, QStringLiteral("usbkqdf00001"));
    EXPECT_EQ(cmd->DriverInfo().InfFileName, QStringLiteral("usbkqdf00001.inf"));
    EXPECT_EQ(cmd->DevicePath(), QStringLiteral("\\\\.\\usbkqdf00001"));

    EXPECT_TRUE(cmd->HardwareIdsInConfigHidList({"x", "hid\\vid_1234&pid_5678"}));
    EXPECT_FALSE(cmd->HardwareIdsInConfigHidList({"HID\\VID_1234"}));
    EXPECT_EQ(cmd->GetUSBDeviceList().first(), QStringLiteral("USB\\VID_1")); // order kept after matching
    EXPECT_TRUE(cmd->HardwareIdsInConfigUsbList({"usb\\vid_2"}));
    EXPECT_EQ(cmd->GetUSBDeviceList().first(), QStringLiteral("USB\\VID_1"));

    channel->devices = {{"n1", {"HID\\VID_AAAA&PID_BBBB&REV_0100", "HID\\VID_AAAA&PID_BBBB"}, {}, {}, false}};
    EXPECT_TRUE(cmd->ISHIDDeviceExist(QStringLiteral("hid\\vid_aaaa&pid_bbbb")));
    EXPECT_FALSE(cmd->ISHIDDeviceExist(QStringLiteral("HID\\VID_AAAA")));
    EXPECT_FALSE(cmd->IsHIDDeviceExist());
    channel->devices.push_back({"n2", {"HID\\VID_1234&PID_5678"}, {}, {}, false});
    EXPECT_TRUE(cmd->IsHIDDeviceExist());
}

TEST_F(Channel, TransfersReportTheRequestsOwnOutcome)
{
    auto cmd = Make();
    uint8_t buffer[4] = {1, 2, 3, 4};
    driver.present = false;
    EXPECT_EQ(cmd->DeviceRW(buffer, 4, 0x222000), DriverStatus::NotReady);
    EXPECT_FALSE(cmd->IsDeviceExist());
    driver.present = true;
    EXPECT_TRUE(cmd->IsDeviceExist());
    EXPECT_EQ(cmd->DeviceRW(buffer, -1, 1), DriverStatus::InvalidParameter);
    EXPECT_EQ(cmd->DeviceRW(nullptr, 4, 1), DriverStatus::InvalidParameter);
    driver.controlReply = {9, 8};
    driver.controlResult = {DriverStatus::Ok, 2};
    EXPECT_EQ(cmd->DeviceRW(buffer, 4, 0x222000), 0u);
    EXPECT_EQ(buffer[0], 9);
    EXPECT_EQ(driver.controls.back().first, 0x222000u);
    driver.controlResult = {DriverStatus::Ok, 5}; // claims more than the buffer holds
    EXPECT_EQ(cmd->DeviceRW(buffer, 4, 1), DriverStatus::InvalidUserBuffer);
    driver.controlResult = {31, 0};
    EXPECT_EQ(cmd->DeviceRW(buffer, 4, 1), 31u);
    EXPECT_EQ(driver.openHandles, 0);
}

TEST_F(Channel, LinuxChannelReportsTheDeviceNotReady)
{
    TkwSTDCommandEnvironment env;
    env.ConfigIniPath = tmp.filePath(QStringLiteral("none.ini"));
    env.DeviceChanges = hkt::platform::MakeNullHidBackend()->createChangeSource();
    TkwSTDCommand cmd(nullptr, std::move(env));
    uint8_t b[2] = {};
    EXPECT_EQ(cmd.DeviceRW(b, 2, 1), DriverStatus::NotReady);
    EXPECT_FALSE(cmd.IsDeviceExist());
    EXPECT_TRUE(cmd.SetDeviceInitData(b, 2, 1, 2, 8, 8));
    cmd.StartMonitorDevice();
    EXPECT_FALSE(cmd.Active());
    EXPECT_TRUE(cmd.HidInstallDriver(true).empty() || !cmd.HidInstallDriver(true).front().Succeeded);
}

TEST_F(Channel, InitDataIsCheckedAgainstTheReadersBuffers)
{
    auto cmd = Make();
    const uint8_t init[3] = {1, 2, 3};
    cmd->StartMonitorDevice(); // nothing stored yet: nothing happens
    EXPECT_EQ(driver.opens, 0);
    EXPECT_FALSE(cmd->SetDeviceInitData(init, 0, 1, 2, 8, 8));
    EXPECT_FALSE(cmd->SetDeviceInitData(init, 3, 1, 2, 10242, 8));
    EXPECT_FALSE(cmd->SetDeviceInitData(init, 3, 1, 2, 8, -1));
    EXPECT_EQ(cmd->SetMonitorData(init, 3, 1, 2, 8, 20000), DriverStatus::InvalidParameter);
    EXPECT_TRUE(driver.controls.empty());
    EXPECT_TRUE(cmd->SetDeviceInitData(init, 3, 1, 2, 10241, 10241));
}

TEST_F(Channel, MonitorAlternatesOneReadAtATimeAndDeliversData)
{
    auto cmd = Make();
    const uint8_t init[3] = {1, 2, 3};
    ASSERT_TRUE(cmd->SetDeviceInitData(init, 3, 0x10, 0x20, 0, 64));
    driver.controlReply = {0xFF, 0xFF, 0xFF}; // the driver answers over the request
    std::mutex lock;
    std::condition_variable got;
    std::vector<std::vector<uint8_t>> data;
    cmd->OnDataReceived = [&](const void *b, uint32_t n) {
        std::lock_guard<std::mutex> g(lock);
        data.emplace_back(static_cast<const uint8_t *>(b), static_cast<const uint8_t *>(b) + n);
        got.notify_all();
    };
    {
        std::lock_guard<std::mutex> g(driver.lock);
        driver.reads.push_back({{0, 2}, {0xAA, 0xAB}});
        driver.reads.push_back({{0, 0}, {}});
        driver.reads.push_back({{0, 1}, {0xBB}});
    }
    cmd->StartMonitorDevice();
    EXPECT_TRUE(cmd->Active());
    {
        std::unique_lock<std::mutex> l(lock);
        got.wait_for(l, std::chrono::seconds(10), [&] { return data.size() == 2; });
    }
    WaitForPendingRead();
    EXPECT_EQ(data, (std::vector<std::vector<uint8_t>>{{0xAA, 0xAB}, {0xBB}}));
    EXPECT_EQ(driver.maxPendingReads, 1);
    EXPECT_EQ(driver.readerThreads.size(), 2u);
    EXPECT_EQ(driver.controls.size(), 1u);
    EXPECT_EQ(driver.controls[0], (std::pair<uint32_t, std::vector<uint8_t>>{0x10, {1, 2, 3}}));

    cmd->StopMonitorDevice();
    EXPECT_FALSE(cmd->Active());
    EXPECT_EQ(driver.pendingReads, 0);
    EXPECT_EQ(driver.openHandles, 0);

    // A restart sends the stored data again, not the driver's last answer.
    cmd->StartMonitorDevice();
    ASSERT_EQ(driver.controls.size(), 2u);
    EXPECT_EQ(driver.controls[1].second, (std::vector<uint8_t>{1, 2, 3}));
    cmd->StopMonitorDevice();
}

TEST_F(Channel, ReplyLongerThanItsBufferEndsTheReader)
{
    auto cmd = Make();
    const uint8_t init[1] = {1};
    ASSERT_TRUE(cmd->SetDeviceInitData(init, 1, 0x10, 0x20, 0, 4));
    int delivered = 0;
    cmd->OnDataReceived = [&](const void *, uint32_t) { ++delivered; };
    {
        std::lock_guard<std::mutex> g(driver.lock);
        driver.reads.push_back({{0, 5000}, {1, 2, 3, 4}});
    }
    cmd->StartMonitorDevice();
    {
        std::unique_lock<std::mutex> l(driver.lock);
        driver.changed.wait_for(l, std::chrono::seconds(10), [&] { return driver.reads.empty(); });
    }
    cmd->StopMonitorDevice();
    EXPECT_EQ(delivered, 0);
    EXPECT_EQ(driver.readLengths.front(), 4u);
}

TEST_F(Channel, RemovalEndsTheReadersAndArmsTheRestart)
{
    auto cmd = Make();
    const uint8_t init[1] = {7};
    ASSERT_TRUE(cmd->SetDeviceInitData(init, 1, 0x10, 0x20, 0, 8));
    int removals = 0;
    int arrivals = 0;
    cmd->OnDeviceRemovalEvent = [&] { ++removals; };
    cmd->OnDeviceArrialEvent = [&] { ++arrivals; };
    cmd->StartMonitorDevice();
    WaitForPendingRead();
    cmd->DeviceRemoval();
    EXPECT_EQ(removals, 1);
    EXPECT_EQ(driver.pendingReads, 0);
    EXPECT_EQ(driver.openHandles, 0);
    EXPECT_TRUE(cmd->Active());
    EXPECT_TRUE(cmd->MonitorRestartPending());
    cmd->DeviceArrival();
    EXPECT_EQ(arrivals, 1);
    cmd->TimerToStartMonitorTick();
    EXPECT_FALSE(cmd->MonitorRestartPending());
    EXPECT_TRUE(cmd->Active());
    EXPECT_EQ(driver.controls.size(), 2u);
    WaitForPendingRead();
    cmd.reset(); // destruction ends the readers too
    EXPECT_EQ(driver.openHandles, 0);
}

// --- installer -----------------------------------------------------------------

class FakeInstaller final : public hkt::platform::DriverInstallerActions {
public:
    bool is64 = false;
    uint8_t version = 17;
    bool succeed = true;
    QStringList log;
    std::vector<QStringList> written;
    bool IsWindows64Bit() override { return is64; }
    uint8_t WinVersionKind() override { return version; }
    QString WindowsFolder() override { return QStringLiteral("C:/Windows"); }
    bool RunTool(const QString &folder, const QString &exe, const QString &args) override
    {
        log << QStringLiteral("tool %1%2 %3").arg(folder, exe, args);
        return succeed;
    }
    bool ReplaceFile(const QString &from, const QString &to) override
    {
        log << QStringLiteral("copy %1 %2").arg(from, to);
        return succeed;
    }
    bool InstallKernelService(const QString &name, const QString &n1, const QString &n2, const QString &image) override
    {
        log << QStringLiteral("service %1 %2 %3 %4").arg(name, n1, n2, image);
        return succeed;
    }
    bool DeleteService(const QString &name) override
    {
        log << QStringLiteral("delete %1").arg(name);
        return succeed;
    }
    bool WriteFilters(const HidClassDevice &d, bool upper, const QStringList &filters) override
    {
        log << QStringLiteral("filters %1 %2").arg(d.instanceId, upper ? "upper" : "lower");
        written.push_back(filters);
        return true;
    }
    bool RestartDevice(const HidClassDevice &d) override
    {
        log << QStringLiteral("restart %1").arg(d.instanceId);
        return true;
    }
};

class Installer : public Channel {
protected:
    std::unique_ptr<TkwSTDCommand> MakeWith(const QByteArray &device)
    {
        QFile f(tmp.filePath(QStringLiteral("config.ini")));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[usbdevicelist]\nid1=USB\\VID_1234&PID_5678\n[DEVICE]\n" + device);
        f.close();
        channel = std::make_shared<FakeChannel>(driver);
        channel->devices = {
            {"listed", {"USB\\VID_1234&PID_5678&REV_0001", "usb\\vid_1234&pid_5678"}, {"other"}, {"Up1"}, false},
            {"unlisted", {"USB\\VID_9999&PID_0001"}, {}, {}, false},
        };
        TkwSTDCommandEnvironment env;
        env.Channel = channel;
        env.Installer = installer;
        env.ConfigIniPath = f.fileName();
        env.ProgramFolder = QStringLiteral("/opt/hkt");
        env.DeviceChanges = hkt::platform::MakeNullHidBackend()->createChangeSource();
        return std::make_unique<TkwSTDCommand>(nullptr, std::move(env));
    }
    std::shared_ptr<FakeInstaller> installer = std::make_shared<FakeInstaller>();
};

TEST_F(Installer, DefaultConfigurationTakesTheOwnRoadAndKeepsOtherFilters)
{
    auto cmd = MakeWith("");
    const auto outcomes = cmd->HidInstallDriver(true);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].InstanceId, QStringLiteral("listed"));
    EXPECT_EQ(outcomes[0].Taken, TDriverInstallOutcome::Action::InstallOwn);
    EXPECT_TRUE(outcomes[0].Succeeded);
    EXPECT_EQ(installer->log,
              (QStringList{"copy /opt/hkt/DRIVERX86/usbkqdf00001.sys C:/Windows/System32/Drivers/usbkqdf00001.sys",
                           "service usbkqdf00001 usbkqdf00001_Display usbkqdf00001_DisplayChange "
                           "C:/Windows/System32/Drivers/usbkqdf00001.sys",
                           "filters listed lower", "restart listed"}));
    EXPECT_EQ(installer->written.back(), (QStringList{"other", "usbkqdf00001"}));

    // Installed (in any case) without a problem: left alone; removal takes only ours out.
    channel->devices[0].lowerFilters = {"other", "USBKQDF00001"};
    installer->log.clear();
    EXPECT_EQ(cmd->HidInstallDriver(true)[0].Taken, TDriverInstallOutcome::Action::Left);
    EXPECT_TRUE(installer->log.isEmpty());
    channel->devices[0].problem = true;
    EXPECT_EQ(cmd->HidInstallDriver(true)[0].Taken, TDriverInstallOutcome::Action::InstallOwn);
    const auto removed = cmd->HidInstallDriver(false);
    EXPECT_EQ(removed[0].Taken, TDriverInstallOutcome::Action::RemoveOwn);
    EXPECT_EQ(installer->written.back(), QStringList{"other"});
    channel->devices[0].lowerFilters = {"other"};
    EXPECT_EQ(cmd->HidInstallDriver(false)[0].Taken, TDriverInstallOutcome::Action::Left);
}

TEST_F(Installer, ToolRoadFoldersAndCommandLines)
{
    struct Case {
        const char *name;
        QByteArray config;
        bool is64;
        uint8_t version;
        bool install;
        QString expected; // "" for the own road
    };
    const std::vector<Case> cases = {
        {"Whql32BitTakesOwnRoad", "WHQL=1\n", false, 11, true, ""},
        {"Whql64Bit", "WHQL=1\n", true, 17, true,
         "tool /opt/hkt/DRIVERX64/DIFxCmd.exe /i usbkqdf00001.inf DRIVER_PACKAGE_SILENT DRIVER_PACKAGE_FORCE"},
        {"X32Whql32Bit", "WHQL=1\nX32WHQL=1\n", false, 11, true,
         "tool /opt/hkt/DRIVERX86/DIFxCmd.exe /i usbkqdf00001.inf DRIVER_PACKAGE_SILENT DRIVER_PACKAGE_FORCE"},
        {"XP64Install", "WHQL=1\n", true, 13, true, "tool /opt/hkt/XP64/DIFxCmd.exe /i usbkqdf00001.inf"},
        {"XP64Removal", "WHQL=1\nUpperFilter=1\nServiceName=Up1\n", true, 13, false,
         "tool /opt/hkt/XP64/DIFxCmd.exe /u usbkqdf00001.inf"},
        {"Removal64", "WHQL=1\nUpperFilter=1\nServiceName=up1\n", true, 17, false,
         "tool /opt/hkt/DRIVERX64/DIFxCmd.exe /u usbkqdf00001.inf DRIVER_PACKAGE_SILENT DRIVER_PACKAGE_FORCE "
         "DRIVER_PACKAGE_DELETE_FILES"},
    };
    for (const Case &c : cases) {
        installer = std::make_shared<FakeInstaller>();
        installer->is64 = c.is64;
        installer->version = c.version;
        auto cmd = MakeWith(c.config);
        const auto outcomes = cmd->HidInstallDriver(c.install);
        ASSERT_EQ(outcomes.size(), 1u) << c.name;
        if (c.expected.isEmpty()) {
            EXPECT_EQ(outcomes[0].Taken, TDriverInstallOutcome::Action::InstallOwn) << c.name;
        } else {
            ASSERT_FALSE(installer->log.isEmpty()) << c.name;
            EXPECT_EQ(installer->log.first(), c.expected) << c.name;
            EXPECT_EQ(installer->log.size(), 1) << c.name;
        }
    }
}

TEST_F(Installer, FailedStepSkipsTheFilterChange)
{
    installer->succeed = false;
    auto cmd = MakeWith("");
    const auto outcomes = cmd->HidInstallDriver(true);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_FALSE(outcomes[0].Succeeded);
    EXPECT_TRUE(installer->written.empty());
}

} // namespace
