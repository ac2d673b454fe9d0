#pragma once
// The suite's view of the HID devices present on this machine. Two
// implementations stand behind it: hidraw (the kernel's raw HID nodes, found
// through libudev) and the simulated mouse (a socket client of hkt75-vmouse,
// or the model in-process for tests). Everything above this interface sees
// the devices the way Windows presents them: one entry per top-level
// collection, Windows-style hardware IDs, report lengths that count the
// report-ID byte, and Windows error codes.
//
// Threading: enumerate(), open() and the feature/write calls are made on the
// thread that owns the caller (the main thread in both programs). read() is
// called on a reader thread, one per open handle; a handle is used by one
// thread at a time, but different handles of one backend are used on
// different threads at once, so backends keep per-handle state per handle.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

class QTimer;

namespace hkt::platform {

// The Windows error codes the device layer reports; callers test for 0 only,
// but the numbers stay the ones Windows would give so logs read the same.
namespace HidStatus {
inline constexpr std::uint32_t Ok = 0;
inline constexpr std::uint32_t AccessDenied = 5;           // ERROR_ACCESS_DENIED
inline constexpr std::uint32_t InvalidHandle = 6;          // ERROR_INVALID_HANDLE
inline constexpr std::uint32_t InvalidData = 13;           // ERROR_INVALID_DATA
inline constexpr std::uint32_t GenFailure = 31;            // ERROR_GEN_FAILURE
inline constexpr std::uint32_t InvalidParameter = 87;      // ERROR_INVALID_PARAMETER
inline constexpr std::uint32_t InsufficientBuffer = 122;   // ERROR_INSUFFICIENT_BUFFER
inline constexpr std::uint32_t OperationAborted = 995;     // ERROR_OPERATION_ABORTED
inline constexpr std::uint32_t DeviceNotConnected = 1167;  // ERROR_DEVICE_NOT_CONNECTED
} // namespace HidStatus

// One top-level collection, as Windows' HidP_GetCaps reports it. Report byte
// lengths include the report-ID byte, as on Windows: the largest report of
// that kind in the collection plus one (a device without report IDs gets a
// leading 0 byte in every buffer); 0 when the collection has no report of
// that kind.
struct HidCollectionInfo {
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    // An Application collection (Collection item data 0x01), as a device
    // function is; a top-level collection of another type (a stray Physical
    // or Logical one) is listed, never opened: see HidCollectionIs.
    bool application = true;
    std::uint16_t inputReportByteLength = 0;
    std::uint16_t outputReportByteLength = 0;
    std::uint16_t featureReportByteLength = 0;
    // The report IDs that belong to this collection (empty when the
    // descriptor uses no report IDs). A hidraw node delivers the input
    // reports of every collection it carries; these lists let a handle opened
    // for one collection keep only its own.
    std::vector<std::uint8_t> inputReportIds;
    std::vector<std::uint8_t> outputReportIds;
    std::vector<std::uint8_t> featureReportIds;
    // The hardware IDs Windows gives this collection, most specific first:
    //   HID\VID_vvvv&PID_pppp&REV_rrrr[&MI_ii][&Colcc]
    //   HID\VID_vvvv&PID_pppp[&MI_ii][&Colcc]
    //   [HID_DEVICE_SYSTEM_MOUSE | HID_DEVICE_SYSTEM_KEYBOARD]
    //   HID_DEVICE_UP:pppp_U:uuuu
    //   HID_DEVICE
    // (MI_ for an interface of a composite USB device, Col for a node that
    // carries more than one collection, numbered from 01.) config.ini include
    // lists written on Windows name these strings, so they must match exactly
    // (case aside).
    QStringList hardwareIds;
};

// Whether `c` is the collection that a caller asking for `usagePage` and
// `usage` opens. The HID access code and the udev rule's matcher (which
// decides whose nodes the seat's user may open) both decide with this, so
// the rule opens exactly what the suite talks to.
inline bool HidCollectionIs(const HidCollectionInfo &c, std::uint16_t usagePage, std::uint16_t usage)
{
    return c.application && c.usagePage == usagePage && c.usage == usage;
}

// One device node ("interface" in the Windows sense, before the split into
// collections): a hidraw node, or the simulated mouse.
struct HidInterfaceInfo {
    QString path;                  // what open() takes: /dev/hidrawN, or the sim's own name
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0;  // bcdDevice
    int interfaceNumber = -1;         // USB bInterfaceNumber; -1 when not a USB interface
    std::vector<HidCollectionInfo> collections;  // in descriptor order
    QByteArray reportDescriptor;   // raw descriptor when known (button parsing uses it)
};

// Wakes a reader blocked in HidDevice::read from another thread. An eventfd:
// wake() makes it readable until reset(); a reader polls it beside its device.
class HidWake {
public:
    HidWake();
    ~HidWake();
    HidWake(const HidWake &) = delete;
    HidWake &operator=(const HidWake &) = delete;

    void wake();
    void reset();
    bool isWoken() const;
    int fd() const { return m_fd; }  // -1 only when the kernel refused an eventfd

private:
    int m_fd = -1;
};

struct HidReadResult {
    enum class Kind {
        Report,  // `size` bytes were read, buffer[0] the report ID (0 for a device without IDs)
        Woken,   // the wake fd became readable; nothing was read
        Gone,    // the device went away (unplugged); status is 1167 (or 995)
        Error,   // any other failure; status holds the Windows code
    };
    Kind kind = Kind::Error;
    std::uint32_t status = HidStatus::GenFailure;
    std::size_t size = 0;
};

// An open device, closed by its destructor. Opened for one collection: its
// reads return only that collection's input reports, padded with zeros to the
// collection's input length as Windows does (so an 8-byte report is 8 bytes).
class HidDevice {
public:
    virtual ~HidDevice() = default;

    // report[0] is the report ID; the whole span goes to the device.
    virtual std::uint32_t setFeature(std::span<const std::uint8_t> report) = 0;
    // report[0] holds the wanted report ID on entry. On success `received` is
    // the number of bytes the device filled from report[0] on (it can be less
    // than report.size(); the caller decides whether that is enough).
    virtual std::uint32_t getFeature(std::span<std::uint8_t> report, std::size_t &received) = 0;
    // Output report, report[0] the ID; the whole span is written.
    virtual std::uint32_t write(std::span<const std::uint8_t> report) = 0;
    // Blocks (in poll, costing no CPU) until an input report of this handle's
    // collection arrives, `wake` is signalled, or the device fails.
    virtual HidReadResult read(std::span<std::uint8_t> buffer, const HidWake &wake) = 0;
};

struct HidOpenResult {
    std::unique_ptr<HidDevice> device;               // null on failure
    std::uint32_t status = HidStatus::GenFailure;    // 0 with a device; 5 for no permission
};

// Arrival and removal of device nodes. Events are delivered on the thread
// that created the source, from its event loop; nothing is delivered after
// the source is destroyed.
struct DeviceChangeEvent {
    enum class Kind { Arrival, Removal };
    Kind kind = Kind::Arrival;
    QString path;  // the node that arrived or went away
};

class DeviceChangeSource {
public:
    using Callback = std::function<void(const DeviceChangeEvent &)>;
    virtual ~DeviceChangeSource() = default;
    // False when the source cannot watch now (no udev, no daemon yet). A
    // source that can ever watch keeps trying on its own (see
    // RetryingChangeSource), so the caller keeps it either way.
    virtual bool start(Callback callback) = 0;
};

// The back-off of a change source that cannot watch: the first retry after
// the shorter delay, each next one after twice the last, at most the longer.
inline constexpr int kChangeSourceRetryFirstMs = 100;
inline constexpr int kChangeSourceRetryMaxMs = 2000;

// A change source that keeps watching for as long as it lives. When it
// cannot start (the daemon or service is not there yet) or loses its
// connection, it tries again on a single-shot timer with back-off; while it
// watches, no timer runs and nothing is polled. A subclass that finds the
// devices again after its connection came back reports each present node as
// an arrival, and the nodes it loses with a connection as removals, as a
// replugged device would be.
class RetryingChangeSource : public DeviceChangeSource {
public:
    RetryingChangeSource();
    ~RetryingChangeSource() override;
    bool start(Callback callback) final;

protected:
    // One attempt to watch; true when watching. `again` is false only for
    // start()'s own first attempt (whose devices the caller finds itself).
    virtual bool Watch(bool again) = 0;
    // The subclass lost its watch (after reporting its removals): try again.
    void Lost();
    void Deliver(const DeviceChangeEvent &event);

private:
    void Retry();
    Callback callback_;
    std::unique_ptr<QTimer> timer_;
    int delayMs_ = kChangeSourceRetryFirstMs;
};

class HidBackend {
public:
    virtual ~HidBackend() = default;

    // Every present node, afresh on each call.
    virtual std::vector<HidInterfaceInfo> enumerate() = 0;
    // Opens `path` for collection `collection` (an index into the node's
    // collections as enumerate() listed them).
    virtual HidOpenResult open(const QString &path, int collection) = 0;
    // A new watcher of this backend's device arrivals and removals.
    virtual std::unique_ptr<DeviceChangeSource> createChangeSource() = 0;
};

// The backend both programs use, chosen on first use by the environment
// variable HKT75_HID: unset, "" or "hidraw" selects hidraw; "sim" the
// simulated mouse at hkt75-vmouse's default socket; "sim:<socket>" one at
// another socket (platform/SimHidBackend.h). An unknown value gives a backend
// that sees no device (with one warning), never null.
std::shared_ptr<HidBackend> CurrentHidBackend();
// Replaces the current backend (tests); nullptr returns to the choice by
// environment on the next CurrentHidBackend().
void SetCurrentHidBackend(std::shared_ptr<HidBackend> backend);

// A backend that sees no device: what a failed selection falls back to.
std::shared_ptr<HidBackend> MakeNullHidBackend();

} // namespace hkt::platform
