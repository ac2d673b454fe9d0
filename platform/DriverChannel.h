#pragma once
// The stand-in for a kernel filter driver's control device and for the
// machinery that installs such a driver. The suite carries the component
// that talks to the driver, but on Linux there is no such driver: the channel
// reports its device as not ready and every installer action fails, without
// side effects. Tests drive the component through fakes of these interfaces.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

namespace hkt::platform {

// Windows error codes the component reports and relies on.
namespace DriverStatus {
inline constexpr std::uint32_t Ok = 0;
inline constexpr std::uint32_t NotReady = 21;           // the control device cannot be opened
inline constexpr std::uint32_t InvalidParameter = 87;
inline constexpr std::uint32_t OperationAborted = 995;  // a read cancelled by the stop signal
inline constexpr std::uint32_t DeviceNotConnected = 1167;
inline constexpr std::uint32_t InvalidUserBuffer = 1784; // a reply longer than its buffer
} // namespace DriverStatus

struct DriverIoResult {
    std::uint32_t error = DriverStatus::Ok; // the request's own outcome
    std::uint32_t bytes = 0;                // bytes the request placed in its output buffer
};

// An open control device. Control() may be called from any thread; Read()
// from one reader at a time; CancelRead() from any thread makes a Read() in
// progress return OperationAborted (and one that starts later return at once).
class DriverHandle {
public:
    virtual ~DriverHandle() = default;
    // One device-control request that uses one buffer for input and output.
    virtual DriverIoResult Control(std::uint32_t code, void *buffer, std::uint32_t length) = 0;
    // One read request; returns when it completes or is cancelled.
    virtual DriverIoResult Read(std::uint32_t code, const void *in, std::uint32_t inLength, void *out,
                                std::uint32_t outLength) = 0;
    virtual void CancelRead() = 0;
};

// A present device of the HID device class, as the installer and the
// presence checks see it.
struct HidClassDevice {
    QString instanceId;        // names the device to the installer actions
    QStringList hardwareIds;   // Windows-style, most specific first
    QStringList lowerFilters;
    QStringList upperFilters;
    bool problem = false;      // the device node reports a problem
};

class DriverChannel {
public:
    virtual ~DriverChannel() = default;
    // Opens the control device at `path` ("\\.\" + its name); null when it
    // cannot be opened.
    virtual std::unique_ptr<DriverHandle> Open(const QString &path, bool forReading) = 0;
    virtual std::vector<HidClassDevice> PresentHidClassDevices() = 0;
};

// What installing a filter driver does to the system. Every action reports
// whether it succeeded.
class DriverInstallerActions {
public:
    virtual ~DriverInstallerActions() = default;
    virtual bool IsWindows64Bit() = 0;
    // The Windows release as a version-kind number (0: not Windows).
    virtual std::uint8_t WinVersionKind() = 0;
    virtual QString WindowsFolder() = 0;
    // Runs the install tool hidden in `folder` and waits (bounded) for it to end.
    virtual bool RunTool(const QString &folder, const QString &exe, const QString &arguments) = 0;
    // Replaces `to` with a copy of `from`.
    virtual bool ReplaceFile(const QString &from, const QString &to) = 0;
    // Creates the kernel service, or reconfigures it when it exists.
    virtual bool InstallKernelService(const QString &name, const QString &displayNameNew,
                                      const QString &displayNameChanged, const QString &imagePath) = 0;
    virtual bool DeleteService(const QString &name) = 0;
    virtual bool WriteFilters(const HidClassDevice &device, bool upper, const QStringList &filters) = 0;
    virtual bool RestartDevice(const HidClassDevice &device) = 0;
};

// Linux: no control device ever opens; the HID class devices are those of
// the current HID backend, with their Windows-style identifiers and no filters.
std::shared_ptr<DriverChannel> MakeLinuxDriverChannel();
// Linux: not Windows; every action fails.
std::shared_ptr<DriverInstallerActions> MakeLinuxDriverInstallerActions();

} // namespace hkt::platform
