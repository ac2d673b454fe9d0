#pragma once
// The suite's only door to the mouse's HID interface: finds the mouse among
// the present HID collections, sends and fetches feature reports, writes
// output reports, tells whether the mouse is present, and runs the readers of
// its input reports. No device stays open between calls: every operation
// enumerates afresh, opens what qualifies, acts and closes.

#include "platform/HidBackend.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// A top-level collection's usage, laid out as the Windows HID API has it.
struct USAGE_AND_PAGE {
    std::uint16_t Usage;
    std::uint16_t UsagePage;
};
static_assert(sizeof(USAGE_AND_PAGE) == 4);
static_assert(offsetof(USAGE_AND_PAGE, UsagePage) == 2);

// One report buffer: the report ID immediately followed by its data, so the
// two form one contiguous buffer of up to 65536 bytes (byte 0 the ID).
// DATASIZE counts the ID byte for feature reports; for HidFindAndWriteDevice
// only the bytes after it.
struct THidReallyData {
    std::uint8_t ReportID;
    std::uint8_t DATAReally[65535];
    std::uint32_t DATASIZE;
};
static_assert(sizeof(THidReallyData) == 65540);
static_assert(offsetof(THidReallyData, DATAReally) == 1);
static_assert(offsetof(THidReallyData, DATASIZE) == 65536);

// The whole report buffer of a THidReallyData (ID byte first).
inline constexpr std::size_t kHidReportBufferSize = 65536;

// The argument of every transfer.
struct THIDDataParam {
    USAGE_AND_PAGE UsageAndPage{};
    QString DeviceID;           // a hardware ID, "*" or empty (empty and "*" mean: the include list decides)
    THidReallyData Data{};
    std::uint32_t DeviceHandle = 0;  // set by HidFindAndSetFeatureReport; nothing reads it
};

// Events. Data points at the bytes after the report ID; Size = bytes read - 1.
using TkwHIDDataReceived = std::function<void(const QString &ADeviceID, const QString &ADevicePath,
                                              std::uint8_t ReportID, const void *Data, std::uint16_t Size)>;
using TkwHIDParsedDataReceived = std::function<void(const QString &ADeviceID, const QString &ADevicePath,
                                                    std::uint8_t ReportID, std::uint32_t ButtonData)>;
using TkwHIDDeviceNotConnected = std::function<void(const QString &ADeviceID, const QString &ADevicePath)>;

class TkwHidDeviceReadThread;

class TkwHIDData : public QObject {
    Q_OBJECT
public:
    // Reads the include list from config.ini beside the program. `backend`
    // null means the process's current backend.
    explicit TkwHIDData(QObject *AOwner = nullptr, std::shared_ptr<hkt::platform::HidBackend> backend = nullptr);
    // Stops and joins the readers this object started: none outlives it.
    ~TkwHIDData() override;

    // Starts one reader per device node that carries a qualifying collection
    // (include list only; HIDID plays no part). A node that already has a
    // running reader gets no second one.
    void HidFindAndReadDevice(USAGE_AND_PAGE UsageAndPage, const QString &HIDID);
    // Stops every reader of the process and waits until each has ended.
    void HidStopRead();

    // 0 on success, else a Windows error code; 1167 when no collection qualifies.
    std::uint32_t HidFindAndSetFeatureReport(THIDDataParam &ReportData);
    std::uint32_t HidFindAndGetFeatureReport(THIDDataParam &ReportData);
    bool HidFindAndWriteDevice(const THIDDataParam &ReportData);
    bool HidFindAndWriteDeviceBYHID(const THIDDataParam &ReportData);
    bool IsDeviceExist(const THIDDataParam &ReportData);

    // Whether the mouse has been seen to repeat a memory read's request
    // (code, address, length) at the start of its answer. The protocol
    // promises nothing about those bytes, so a mouse never seen to repeat
    // them is taken at its word; once one has, an answer that does not is
    // another request's (a read crossed by another program's) and is refused.
    bool AnswersRepeatRequests() const { return FAnswersRepeatRequests; }
    void NoteAnswersRepeatRequests() { FAnswersRepeatRequests = true; }

    QStringList &GetHIDDeviceList() { return FHidDeviceList; }
    void SetUsageAndPage(USAGE_AND_PAGE AUsageAndPage) { FUsageAndPage = AUsageAndPage; }
    USAGE_AND_PAGE GetUsageAndPage() const { return FUsageAndPage; }

    // Events: assign before starting readers. OnData and OnParsedData run on
    // the main thread (this object's thread) with a copy of the report, unless
    // FastOnData is set, when they run on the reader's thread.
    // OnDeviceNotConnected always runs on the reader's thread.
    TkwHIDDataReceived OnData;
    TkwHIDParsedDataReceived OnParsedData;
    TkwHIDDeviceNotConnected OnDeviceNotConnected;
    std::atomic<bool> FastOnData{false};

    // How many readers of this object are running (tests and diagnostics).
    int RunningReaderCount() const;

private:
    bool FAnswersRepeatRequests = false;
    friend class TkwHidDeviceReadThread;
    struct Candidate;
    struct ReaderParseState;
    enum class Filter { DeviceIdOrIncludeList, IncludeList, None };

    void LoadHIDDeviceList();
    std::vector<Candidate> QualifyingCollections(USAGE_AND_PAGE usage, Filter filter, const QString &deviceId);
    bool PassesIncludeList(const QStringList &hardwareIds) const;
    // Opens each qualifying collection that `fits` and runs `act` on it, in
    // walk order; there is no early exit.
    void ForEachOpenCollection(USAGE_AND_PAGE usage, Filter filter, const QString &deviceId,
                               const std::function<bool(const hkt::platform::HidCollectionInfo &)> &fits,
                               const std::function<void(hkt::platform::HidDevice &)> &act);
    void DeliverReport(ReaderParseState &state, const QString &deviceId, const QString &devicePath,
                       const std::uint8_t *report, std::size_t size);
    static std::uint32_t ParseButtonData(ReaderParseState &state, const std::uint8_t *report, std::size_t size);

    USAGE_AND_PAGE FUsageAndPage{};
    QString FDeviceID;
    QStringList FHidDeviceList;
    std::shared_ptr<hkt::platform::HidBackend> m_backend;
};
