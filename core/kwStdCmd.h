#pragma once
// Two unrelated helpers of one unit:
//  - TkwThread: runs a callback once on a fresh thread with a private copy of
//    a buffer (APPLY hands the Windows mouse settings to it);
//  - TkwSTDCommand: the channel to a kernel filter driver's control device,
//    with a monitor mode of two alternating readers, the driver's device
//    lists from config.ini and the driver installer. The configuration
//    window holds one but starts nothing; on Linux the device is never ready.

#include "platform/DriverChannel.h"
#include "platform/HidBackend.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// ---------------------------------------------------------------------------
// One-shot worker
// ---------------------------------------------------------------------------

using TThreadCallFunction = std::function<void(void *Buffer, uint32_t BufferSize)>;

class TkwThread {
public:
    // Copies BufferSize bytes of Buffer and returns at once; a new thread
    // calls Func with the copy. Nothing happens for a size of 0, a null buffer
    // or an empty callback. Each call has its own thread, copy and callback,
    // so calls may follow each other at any pace.
    static void ThreadCallFunction(TThreadCallFunction Func, const void *Buffer, uint32_t BufferSize);
    // Waits until every worker started so far has ended. Also done when the
    // program ends; a worker never calls it for itself.
    static void WaitForAll();
};

// ---------------------------------------------------------------------------
// Filter-driver channel
// ---------------------------------------------------------------------------

struct TDriverInfo {
    QString InfFileName = QStringLiteral("usbkqdf00001.inf");
    QString FileName = QStringLiteral("usbkqdf00001.sys");
    QString ServiceName = QStringLiteral("usbkqdf00001");
    QString ServiceNamex86 = QStringLiteral("usbkqdf00001");
    QString ServiceNamex64 = QStringLiteral("usbkqdf00001");
    QString DeviceName = QStringLiteral("usbkqdf00001");
    int32_t WHQL = 0;
    int32_t X32WHQL = 0;
    int32_t UpperFilter = 0;
};

using TDataReceivedEvent = std::function<void(const void *Buffer, uint32_t BufferSize)>;
using TNotifyEvent = std::function<void()>;

// What the installer did with one listed device.
struct TDriverInstallOutcome {
    enum class Action { Left, InstallTool, InstallOwn, RemoveTool, RemoveOwn };
    QString InstanceId;
    Action Taken = Action::Left;
    bool Succeeded = true;
};

// Where the component finds its driver, its installer actions, device
// arrivals and config.ini. Empty members take the platform's.
struct TkwSTDCommandEnvironment {
    std::shared_ptr<hkt::platform::DriverChannel> Channel;
    std::shared_ptr<hkt::platform::DriverInstallerActions> Installer;
    std::unique_ptr<hkt::platform::DeviceChangeSource> DeviceChanges;
    QString ConfigIniPath;  // default: config.ini in the program folder
    QString ProgramFolder;  // default: the program folder
};

class TkwSTDCommand : public QObject {
public:
    static constexpr int ReaderBufferSize = 10241;
    static constexpr int MonitorRestartDelayMs = 1500;
    static constexpr int DeviceListKeys = 101;

    explicit TkwSTDCommand(QObject *AOwner = nullptr, TkwSTDCommandEnvironment environment = {});
    ~TkwSTDCommand() override;
    TkwSTDCommand(const TkwSTDCommand &) = delete;
    TkwSTDCommand &operator=(const TkwSTDCommand &) = delete;

    // One synchronous transfer with Buffer as input and output: 0 or the
    // Windows error code of the request itself (21 when the device cannot be
    // opened, 87 for a negative count or a missing buffer).
    uint32_t DeviceRW(void *Buffer, int Count, uint32_t IoControlCode);
    // Stores the monitor-mode settings; refused (false, nothing changed) for
    // a size of 0 or read lengths outside 0..10241, the readers' buffers.
    bool SetDeviceInitData(const void *DeviceInitData, uint32_t DeviceInitDataSize, uint32_t DeviceInitIoControlCode,
                           uint32_t ReadIoControlCode, int AInputReportLength, int AOutputReportLength);
    // Sends the stored initialisation data (a copy: the stored data is kept).
    uint32_t SetMonitorData();
    uint32_t SetMonitorData(const void *DeviceInitData, uint32_t DeviceInitDataSize, uint32_t DeviceInitIoControlCode,
                            uint32_t ReadIoControlCode, int AInputReportLength, int AOutputReportLength);
    void StartMonitorDevice();
    void StopMonitorDevice();

    bool IsDeviceExist();
    bool IsHIDDeviceExist();
    bool ISHIDDeviceExist(const QString &VidPid);
    bool HardwareIdsInConfigHidList(const QStringList &strHardwareIDs) const;
    bool HardwareIdsInConfigUsbList(const QStringList &strHardwareIDs) const;
    // The lists as config.ini gives them, in file order.
    const QStringList &GetHIDDeviceList() const { return FHidDeviceList; }
    const QStringList &GetUSBDeviceList() const { return FUsbDeviceList; }

    std::vector<TDriverInstallOutcome> HidInstallDriver(bool Install);

    // Device arrival and removal, as the notifier reports them.
    void DeviceArrival();
    void DeviceRemoval();
    // The restart timer's tick.
    void TimerToStartMonitorTick();

    bool Active() const { return FActive; }
    bool MonitorRestartPending() const { return FTimerToStartMonitor.isActive(); }
    const TDriverInfo &DriverInfo() const { return FDriverInfo; }
    QString DevicePath() const { return FDevicePath; }

    uint32_t ReadIOCode = 0;
    uint32_t WriteIOCode = 0;
    uint32_t DeviceDataInitIOCode = 0;

    TNotifyEvent OnDeviceArrialEvent;
    TNotifyEvent OnDeviceRemovalEvent;
    // Called on a reader's thread, never on the main thread.
    TDataReceivedEvent OnDataReceived;

private:
    void ReadConfig(const QString &iniPath);
    void EndReaders();
    void Reader(int self);
    uint32_t SendInitData();
    TDriverInstallOutcome InstallOnTool(const hkt::platform::HidClassDevice &device, bool install, bool is64);
    TDriverInstallOutcome InstallOnOwnRoad(const hkt::platform::HidClassDevice &device, bool install, bool is64);

    std::shared_ptr<hkt::platform::DriverChannel> FChannel;
    std::shared_ptr<hkt::platform::DriverInstallerActions> FInstaller;
    std::unique_ptr<hkt::platform::DeviceChangeSource> FDeviceChanges;
    QString FProgramFolder;

    std::unique_ptr<hkt::platform::DriverHandle> FHidOverlappedRead;
    QString FDevicePath;
    int FInputReportLength = 0;
    int FOutputReportLength = 0;
    bool FActive = false;
    QStringList FHidDeviceList;
    QStringList FUsbDeviceList;
    std::vector<uint8_t> FDeviceInitData;
    QTimer FTimerToStartMonitor;
    TDriverInfo FDriverInfo;

    // The readers take turns: each waits for its turn, reads once, hands the
    // turn to the other and then delivers its data, so exactly one read is
    // pending while monitoring.
    std::mutex FTurnLock;
    std::condition_variable FTurnChanged;
    int FTurn = 0;       // 1 or 2: whose read is next; 0: nobody's
    bool FStop = false;  // the stop signal
    std::array<std::thread, 2> FReaders;
};
