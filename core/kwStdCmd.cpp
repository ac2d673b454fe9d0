#include "core/kwStdCmd.h"

#include "platform/IniFile.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <list>

namespace DriverStatus = hkt::platform::DriverStatus;
using hkt::platform::DriverIoResult;
using hkt::platform::HidClassDevice;

// ===========================================================================
// TkwThread
// ===========================================================================

namespace {

// Every worker is kept until it is joined: finished ones are reaped by the
// next call, the rest when WaitForAll runs or the program ends.
class WorkerRegistry {
public:
    ~WorkerRegistry() { JoinAll(); }

    void Start(TThreadCallFunction func, std::vector<std::byte> copy)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        Reap();
        auto done = std::make_shared<std::atomic<bool>>(false);
        m_workers.push_back(Worker{std::thread([func = std::move(func), copy = std::move(copy), done]() mutable {
                                       try {
                                           func(copy.data(), static_cast<uint32_t>(copy.size()));
                                       } catch (...) {
                                           // A failing callback ends its own thread only.
                                       }
                                       done->store(true);
                                   }),
                                   done});
    }

    void JoinAll()
    {
        std::list<Worker> workers;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            workers.swap(m_workers);
        }
        for (Worker &w : workers) {
            if (w.thread.get_id() == std::this_thread::get_id()) {
                w.thread.detach();
                continue;
            }
            if (w.thread.joinable())
                w.thread.join();
        }
    }

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void Reap()
    {
        for (auto it = m_workers.begin(); it != m_workers.end();) {
            if (it->done->load()) {
                it->thread.join();
                it = m_workers.erase(it);
            } else {
                ++it;
            }
        }
    }

    std::mutex m_lock;
    std::list<Worker> m_workers;
};

WorkerRegistry &Workers()
{
    static WorkerRegistry registry;
    return registry;
}

} // namespace

void TkwThread::ThreadCallFunction(TThreadCallFunction Func, const void *Buffer, uint32_t BufferSize)
{
    if (BufferSize == 0 || Buffer == nullptr || !Func)
        return;
    const auto *bytes = static_cast<const std::byte *>(Buffer);
    Workers().Start(std::move(Func), std::vector<std::byte>(bytes, bytes + BufferSize));
}

void TkwThread::WaitForAll()
{
    Workers().JoinAll();
}

// ===========================================================================
// TkwSTDCommand
// ===========================================================================

namespace {

QStringList ReadDeviceList(const hkt::platform::IniFile &ini, const QString &section)
{
    QStringList ids;
    for (int i = 1; i <= TkwSTDCommand::DeviceListKeys; ++i) {
        const QString value = ini.ReadString(section, QStringLiteral("id%1").arg(i), QString());
        if (value.isEmpty())
            break;
        ids << value;
    }
    return ids;
}

bool AnyInList(const QStringList &list, const QStringList &ids)
{
    for (const QString &id : ids)
        if (list.contains(id, Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace

TkwSTDCommand::TkwSTDCommand(QObject *AOwner, TkwSTDCommandEnvironment environment)
    : QObject(AOwner)
{
    FChannel = environment.Channel ? environment.Channel : hkt::platform::MakeLinuxDriverChannel();
    FInstaller = environment.Installer ? environment.Installer : hkt::platform::MakeLinuxDriverInstallerActions();
    FProgramFolder = hkt::platform::WithTrailingSeparator(
        environment.ProgramFolder.isEmpty() ? hkt::platform::ProgramFolder() : environment.ProgramFolder);
    FTimerToStartMonitor.setInterval(MonitorRestartDelayMs);
    connect(&FTimerToStartMonitor, &QTimer::timeout, this, [this] { TimerToStartMonitorTick(); });
    ReadConfig(environment.ConfigIniPath.isEmpty() ? FProgramFolder + QStringLiteral("config.ini")
                                                   : environment.ConfigIniPath);
    FDevicePath = QStringLiteral("\\\\.\\") + FDriverInfo.DeviceName;
    FDeviceChanges = environment.DeviceChanges ? std::move(environment.DeviceChanges)
                                               : hkt::platform::CurrentHidBackend()->createChangeSource();
    if (FDeviceChanges) {
        FDeviceChanges->start([this](const hkt::platform::DeviceChangeEvent &e) {
            if (e.kind == hkt::platform::DeviceChangeEvent::Kind::Arrival)
                DeviceArrival();
            else
                DeviceRemoval();
        });
    }
}

TkwSTDCommand::~TkwSTDCommand()
{
    FDeviceChanges.reset();
    FTimerToStartMonitor.stop();
    EndReaders();
    FHidOverlappedRead.reset();
}

void TkwSTDCommand::ReadConfig(const QString &iniPath)
{
    const hkt::platform::IniFile ini(iniPath);
    FHidDeviceList = ReadDeviceList(ini, QStringLiteral("devicelist"));
    FUsbDeviceList = ReadDeviceList(ini, QStringLiteral("usbdevicelist"));
    const QString s = QStringLiteral("DEVICE");
    TDriverInfo &d = FDriverInfo;
    d.InfFileName = ini.ReadString(s, QStringLiteral("InfFileName"), d.InfFileName);
    d.FileName = ini.ReadString(s, QStringLiteral("FileName"), d.FileName);
    d.ServiceName = ini.ReadString(s, QStringLiteral("ServiceName"), d.ServiceName);
    d.ServiceNamex86 = ini.ReadString(s, QStringLiteral("ServiceNamex86"), d.ServiceNamex86);
    d.ServiceNamex64 = ini.ReadString(s, QStringLiteral("ServiceNamex64"), d.ServiceNamex64);
    d.DeviceName = ini.ReadString(s, QStringLiteral("DeviceName"), d.DeviceName);
    d.WHQL = ini.ReadInteger(s, QStringLiteral("WHQL"), d.WHQL);
    d.X32WHQL = ini.ReadInteger(s, QStringLiteral("X32WHQL"), d.X32WHQL);
    d.UpperFilter = ini.ReadInteger(s, QStringLiteral("UpperFilter"), d.UpperFilter);
}

// The result is the request's own outcome, never an error code left over
// from something earlier; a reply that claims more bytes than the buffer
// holds is a failure.
uint32_t TkwSTDCommand::DeviceRW(void *Buffer, int Count, uint32_t IoControlCode)
{
    if (Count < 0 || (Count > 0 && Buffer == nullptr))
        return DriverStatus::InvalidParameter;
    const std::unique_ptr<hkt::platform::DriverHandle> handle = FChannel->Open(FDevicePath, false);
    if (!handle)
        return DriverStatus::NotReady;
    const DriverIoResult r = handle->Control(IoControlCode, Buffer, static_cast<uint32_t>(Count));
    if (r.error == DriverStatus::Ok && r.bytes > static_cast<uint32_t>(Count))
        return DriverStatus::InvalidUserBuffer;
    return r.error;
}

bool TkwSTDCommand::SetDeviceInitData(const void *DeviceInitData, uint32_t DeviceInitDataSize,
                                      uint32_t DeviceInitIoControlCode, uint32_t ReadIoControlCode,
                                      int AInputReportLength, int AOutputReportLength)
{
    if (DeviceInitDataSize == 0 || DeviceInitData == nullptr || DeviceInitDataSize > INT32_MAX)
        return false;
    if (AInputReportLength < 0 || AInputReportLength > ReaderBufferSize || AOutputReportLength < 0 ||
        AOutputReportLength > ReaderBufferSize)
        return false;
    const auto *bytes = static_cast<const uint8_t *>(DeviceInitData);
    FDeviceInitData.assign(bytes, bytes + DeviceInitDataSize);
    DeviceDataInitIOCode = DeviceInitIoControlCode;
    ReadIOCode = ReadIoControlCode;
    FInputReportLength = AInputReportLength;
    FOutputReportLength = AOutputReportLength;
    return true;
}

// The driver's reply lands in a scratch copy, so a restart sends the same
// initialisation data again rather than the last reply.
uint32_t TkwSTDCommand::SendInitData()
{
    if (FDeviceInitData.empty())
        return DriverStatus::InvalidParameter;
    std::vector<uint8_t> scratch = FDeviceInitData;
    return DeviceRW(scratch.data(), static_cast<int>(scratch.size()), DeviceDataInitIOCode);
}

uint32_t TkwSTDCommand::SetMonitorData()
{
    return SendInitData();
}

uint32_t TkwSTDCommand::SetMonitorData(const void *DeviceInitData, uint32_t DeviceInitDataSize,
                                       uint32_t DeviceInitIoControlCode, uint32_t ReadIoControlCode,
                                       int AInputReportLength, int AOutputReportLength)
{
    if (!SetDeviceInitData(DeviceInitData, DeviceInitDataSize, DeviceInitIoControlCode, ReadIoControlCode,
                           AInputReportLength, AOutputReportLength))
        return DriverStatus::InvalidParameter;
    return SendInitData();
}

// Signals the stop, cancels the pending read and waits for both readers, so
// no request still uses a buffer or the handle when they go.
void TkwSTDCommand::EndReaders()
{
    {
        std::lock_guard<std::mutex> guard(FTurnLock);
        FStop = true;
        FTurn = 0;
    }
    FTurnChanged.notify_all();
    if (FHidOverlappedRead)
        FHidOverlappedRead->CancelRead();
    for (std::thread &t : FReaders)
        if (t.joinable())
            t.join();
}

void TkwSTDCommand::StopMonitorDevice()
{
    if (FDeviceInitData.empty() || !FActive)
        return;
    EndReaders();
    FHidOverlappedRead.reset();
    FActive = false;
}

void TkwSTDCommand::StartMonitorDevice()
{
    if (FDeviceInitData.empty())
        return;
    if (FActive) {
        EndReaders();
        FHidOverlappedRead.reset();
        FActive = false;
    }
    FHidOverlappedRead = FChannel->Open(FDevicePath, true);
    if (!FHidOverlappedRead)
        return;
    FActive = true;
    SendInitData();
    {
        std::lock_guard<std::mutex> guard(FTurnLock);
        FStop = false;
        FTurn = 1; // reader 1 reads first
    }
    for (int i = 0; i < 2; ++i)
        if (!FReaders[static_cast<size_t>(i)].joinable())
            FReaders[static_cast<size_t>(i)] = std::thread([this, i] { Reader(i + 1); });
    FTurnChanged.notify_all();
}

void TkwSTDCommand::Reader(int self)
{
    const int other = self == 1 ? 2 : 1;
    hkt::platform::DriverHandle *handle = FHidOverlappedRead.get();
    const uint32_t code = ReadIOCode;
    const auto inLength = static_cast<uint32_t>(FInputReportLength);
    const auto outLength = static_cast<uint32_t>(FOutputReportLength);
    std::vector<uint8_t> in(ReaderBufferSize, 0);
    std::vector<uint8_t> out(ReaderBufferSize, 0);
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(FTurnLock);
            FTurnChanged.wait(lock, [&] { return FStop || FTurn == self; });
            if (FStop)
                return;
            FTurn = 0;
        }
        const DriverIoResult r = handle->Read(code, in.data(), inLength, out.data(), outLength);
        if (r.error != DriverStatus::Ok || r.bytes > outLength)
            return;
        {
            std::lock_guard<std::mutex> guard(FTurnLock);
            if (FStop)
                return;
            FTurn = other;
        }
        FTurnChanged.notify_all();
        if (r.bytes > 0 && OnDataReceived) {
            try {
                OnDataReceived(out.data(), r.bytes);
            } catch (...) {
                // A failing handler must not take the reader's process with it.
            }
        }
    }
}

void TkwSTDCommand::DeviceArrival()
{
    if (OnDeviceArrialEvent)
        OnDeviceArrialEvent();
    FTimerToStartMonitor.stop();
    FTimerToStartMonitor.start();
}

void TkwSTDCommand::DeviceRemoval()
{
    if (OnDeviceRemovalEvent)
        OnDeviceRemovalEvent();
    // The readers end; monitoring stays marked active, so the next tick
    // stops cleanly and starts afresh.
    EndReaders();
    FHidOverlappedRead.reset();
    FTimerToStartMonitor.stop();
    FTimerToStartMonitor.start();
}

void TkwSTDCommand::TimerToStartMonitorTick()
{
    FTimerToStartMonitor.stop();
    StartMonitorDevice();
}

bool TkwSTDCommand::IsDeviceExist()
{
    return FChannel->Open(FDevicePath, false) != nullptr;
}

bool TkwSTDCommand::HardwareIdsInConfigHidList(const QStringList &strHardwareIDs) const
{
    return AnyInList(FHidDeviceList, strHardwareIDs);
}

bool TkwSTDCommand::HardwareIdsInConfigUsbList(const QStringList &strHardwareIDs) const
{
    return AnyInList(FUsbDeviceList, strHardwareIDs);
}

bool TkwSTDCommand::IsHIDDeviceExist()
{
    for (const HidClassDevice &d : FChannel->PresentHidClassDevices())
        if (HardwareIdsInConfigHidList(d.hardwareIds))
            return true;
    return false;
}

bool TkwSTDCommand::ISHIDDeviceExist(const QString &VidPid)
{
    const QString wanted = VidPid.toUpper();
    for (const HidClassDevice &d : FChannel->PresentHidClassDevices())
        for (const QString &id : d.hardwareIds)
            if (id.toUpper() == wanted)
                return true;
    return false;
}

// ---------------------------------------------------------------------------
// Installer
// ---------------------------------------------------------------------------

std::vector<TDriverInstallOutcome> TkwSTDCommand::HidInstallDriver(bool Install)
{
    std::vector<TDriverInstallOutcome> outcomes;
    const bool is64 = FInstaller->IsWindows64Bit();
    const bool upper = FDriverInfo.UpperFilter == 1;
    const bool toolRoad = FDriverInfo.WHQL != 0 && (FDriverInfo.X32WHQL != 0 || is64);
    for (const HidClassDevice &device : FChannel->PresentHidClassDevices()) {
        if (!HardwareIdsInConfigUsbList(device.hardwareIds))
            continue;
        const QStringList &filters = upper ? device.upperFilters : device.lowerFilters;
        const bool installed = filters.contains(FDriverInfo.ServiceName, Qt::CaseInsensitive);
        const bool problem = installed && device.problem;
        TDriverInstallOutcome outcome;
        outcome.InstanceId = device.instanceId;
        if (Install && (!installed || problem))
            outcome = toolRoad ? InstallOnTool(device, true, is64) : InstallOnOwnRoad(device, true, is64);
        else if (!Install && installed)
            outcome = toolRoad ? InstallOnTool(device, false, is64) : InstallOnOwnRoad(device, false, is64);
        outcomes.push_back(outcome);
    }
    return outcomes;
}

TDriverInstallOutcome TkwSTDCommand::InstallOnTool(const HidClassDevice &device, bool install, bool is64)
{
    const bool xp64 = is64 && FInstaller->WinVersionKind() == 13;
    const QString folder =
        FProgramFolder + (xp64 ? QStringLiteral("XP64/") : is64 ? QStringLiteral("DRIVERX64/") : QStringLiteral("DRIVERX86/"));
    QString args = (install ? QStringLiteral("/i ") : QStringLiteral("/u ")) + FDriverInfo.InfFileName;
    if (!xp64)
        args += install ? QStringLiteral(" DRIVER_PACKAGE_SILENT DRIVER_PACKAGE_FORCE")
                        : QStringLiteral(" DRIVER_PACKAGE_SILENT DRIVER_PACKAGE_FORCE DRIVER_PACKAGE_DELETE_FILES");
    TDriverInstallOutcome o;
    o.InstanceId = device.instanceId;
    o.Taken = install ? TDriverInstallOutcome::Action::InstallTool : TDriverInstallOutcome::Action::RemoveTool;
    o.Succeeded = FInstaller->RunTool(folder, QStringLiteral("DIFxCmd.exe"), args);
    return o;
}

// The filter list of the device gains or loses our service only: the other
// filters a device carries belong to other drivers and stay.
TDriverInstallOutcome TkwSTDCommand::InstallOnOwnRoad(const HidClassDevice &device, bool install, bool is64)
{
    const bool upper = FDriverInfo.UpperFilter == 1;
    const QString &service = FDriverInfo.ServiceName;
    TDriverInstallOutcome o;
    o.InstanceId = device.instanceId;
    o.Taken = install ? TDriverInstallOutcome::Action::InstallOwn : TDriverInstallOutcome::Action::RemoveOwn;
    QStringList filters = upper ? device.upperFilters : device.lowerFilters;
    filters.removeIf([&](const QString &f) { return f.compare(service, Qt::CaseInsensitive) == 0; });
    if (install) {
        const QString source = FProgramFolder + (is64 ? QStringLiteral("DRIVERX64/") : QStringLiteral("DRIVERX86/")) +
                               FDriverInfo.FileName;
        const QString destination =
            FInstaller->WindowsFolder() + QStringLiteral("/System32/Drivers/") + FDriverInfo.FileName;
        if (!FInstaller->ReplaceFile(source, destination) ||
            !FInstaller->InstallKernelService(service, service + QStringLiteral("_Display"),
                                              service + QStringLiteral("_DisplayChange"), destination)) {
            o.Succeeded = false;
            return o;
        }
        filters.append(service);
    } else if (!FInstaller->DeleteService(service)) {
        o.Succeeded = false;
        return o;
    }
    o.Succeeded = FInstaller->WriteFilters(device, upper, filters);
    FInstaller->RestartDevice(device);
    return o;
}
