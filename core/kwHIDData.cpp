#include "core/kwHIDData.h"

#include "platform/HidDescriptor.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"

#include <QLoggingCategory>
#include <QMetaObject>
#include <QPointer>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <poll.h>

using namespace hkt::platform;

namespace {
Q_LOGGING_CATEGORY(lcHid, "hkt75.hid", QtInfoMsg)

// The usage lists of one reader: as long as Windows' fixed lists, so an
// interface with more possible usages is cut to what they hold.
constexpr std::size_t kUsageListLength = 100;
constexpr int kIncludeListMaxKeys = 101;
} // namespace

struct TkwHIDData::Candidate {
    QString path;
    int collection = 0;
    HidCollectionInfo info;
    QByteArray descriptor;
};

struct TkwHIDData::ReaderParseState {
    std::optional<HidParsedDescriptor> descriptor;
    int collection = 0;
    std::array<std::uint16_t, kUsageListLength> previous{};
};

// One reader: its own handle of one node, a thread that sleeps in poll until
// a report, a stop or the end of the device. Owned by the process-wide list
// below, which is how HidStopRead and the owner's destruction find, stop and
// join every reader.
class TkwHidDeviceReadThread {
public:
    TkwHidDeviceReadThread(TkwHIDData *HIDData, QString DeviceID, QString DevicePath,
                           std::unique_ptr<HidDevice> device, std::uint32_t inputReportLength,
                           std::shared_ptr<TkwHIDData::ReaderParseState> parse)
        : FHIDData(HIDData),
          FDeviceID(std::move(DeviceID)),
          FDevicePath(std::move(DevicePath)),
          FDevice(std::move(device)),
          FInputReportLength(inputReportLength),
          FReport(inputReportLength, 0),
          FParse(std::move(parse))
    {
        FThread = std::thread([this] { Execute(); });
    }

    ~TkwHidDeviceReadThread() { StopAndJoin(); }

    void RequestStop() { FStop.wake(); }
    void StopAndJoin()
    {
        RequestStop();
        if (FThread.joinable())
            FThread.join();
    }
    bool Finished() const { return FFinished.load(); }
    bool OnThisThread() const { return FThread.get_id() == std::this_thread::get_id(); }
    TkwHIDData *Owner() const { return FHIDData; }
    const QString &DevicePath() const { return FDevicePath; }

private:
    void Execute()
    {
        int failures = 0;
        while (true) {
            std::fill(FReport.begin(), FReport.end(), 0);
            const HidReadResult r = FDevice->read(FReport, FStop);
            if (r.kind == HidReadResult::Kind::Woken)
                break;
            if (r.kind == HidReadResult::Kind::Gone) {
                qCDebug(lcHid, "ERROR_DEVICE_NOT_CONNECTED++++++++++++++++");
                if (FHIDData->OnDeviceNotConnected)
                    FHIDData->OnDeviceNotConnected(FDeviceID, FDevicePath);
                break;
            }
            if (r.kind == HidReadResult::Kind::Error) {
                // A handle that is no longer valid ends the reader, as on
                // Windows; other errors are retried, but after a pause that a
                // stop still cuts short, so a failing device can't spin.
                if (r.status == HidStatus::InvalidHandle || r.status == HidStatus::OperationAborted
                    || r.status == HidStatus::DeviceNotConnected || r.status == HidStatus::InvalidParameter)
                    break;
                pollfd p{FStop.fd(), POLLIN, 0};
                if (::poll(&p, 1, std::min(1000, 10 << std::min(failures++, 6))) > 0)
                    break;
                continue;
            }
            failures = 0;
            const std::size_t n = std::min<std::size_t>(r.size, FReport.size());
            if (n == 0)
                continue;
            Deliver(n);
        }
        FDevice.reset();  // closes the handle now, not when the list frees the reader
        FFinished = true;
    }

    void Deliver(std::size_t n)
    {
        if (FHIDData->FastOnData) {
            FHIDData->DeliverReport(*FParse, FDeviceID, FDevicePath, FReport.data(), n);
            return;
        }
        // A copy goes to the main thread; the reader reads on at once. Qt
        // drops the call if the owner is gone by then.
        const QByteArray copy(reinterpret_cast<const char *>(FReport.data()), static_cast<qsizetype>(n));
        QMetaObject::invokeMethod(
            FHIDData,
            [owner = FHIDData, parse = FParse, id = FDeviceID, path = FDevicePath, copy] {
                owner->DeliverReport(*parse, id, path, reinterpret_cast<const std::uint8_t *>(copy.constData()),
                                     static_cast<std::size_t>(copy.size()));
            },
            Qt::QueuedConnection);
    }

    TkwHIDData *const FHIDData;
    const QString FDeviceID;
    const QString FDevicePath;
    std::unique_ptr<HidDevice> FDevice;
    const std::uint32_t FInputReportLength;
    std::vector<std::uint8_t> FReport;
    std::shared_ptr<TkwHIDData::ReaderParseState> FParse;
    HidWake FStop;
    std::atomic<bool> FFinished{false};
    std::thread FThread;  // last: started once every other member exists
};

namespace {

// Every reader of the process.
struct ReaderList {
    std::mutex mutex;
    std::vector<std::unique_ptr<TkwHidDeviceReadThread>> readers;
};

ReaderList &Readers()
{
    static ReaderList list;
    return list;
}

// Stops and joins the readers `pick` selects. A reader that asks for its own
// stop (from OnDeviceNotConnected) can't join itself: it is told to stop and
// joined by a later call.
template <typename Pick>
void StopReaders(Pick pick)
{
    std::vector<std::unique_ptr<TkwHidDeviceReadThread>> stopping;
    {
        std::lock_guard lock(Readers().mutex);
        auto &all = Readers().readers;
        for (auto it = all.begin(); it != all.end();) {
            if (pick(**it) && !(*it)->OnThisThread()) {
                stopping.push_back(std::move(*it));
                it = all.erase(it);
            } else {
                if (pick(**it))
                    (*it)->RequestStop();
                ++it;
            }
        }
    }
    for (auto &r : stopping)
        r->RequestStop();  // all at once, then join each
    stopping.clear();      // each destructor joins
}

bool SameText(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool ContainsText(const QStringList &list, const QString &value)
{
    return std::any_of(list.begin(), list.end(), [&](const QString &x) { return SameText(x, value); });
}

} // namespace

TkwHIDData::TkwHIDData(QObject *AOwner, std::shared_ptr<HidBackend> backend)
    : QObject(AOwner), m_backend(backend ? std::move(backend) : CurrentHidBackend())
{
    LoadHIDDeviceList();
}

TkwHIDData::~TkwHIDData()
{
    StopReaders([this](const TkwHidDeviceReadThread &r) { return r.Owner() == this; });
}

void TkwHIDData::LoadHIDDeviceList()
{
    FHidDeviceList.clear();
    const IniFile ini(WithTrailingSeparator(ProgramFolder()) + QStringLiteral("config.ini"));
    for (int n = 1; n <= kIncludeListMaxKeys; ++n) {
        const QString value = ini.ReadString(QStringLiteral("IncludeHIDDeviceList"),
                                             QStringLiteral("id%1").arg(n), QString());
        if (value.isEmpty())
            break;
        FHidDeviceList.append(value);
    }
}

bool TkwHIDData::PassesIncludeList(const QStringList &hardwareIds) const
{
    if (FHidDeviceList.isEmpty())
        return true;
    return std::any_of(FHidDeviceList.begin(), FHidDeviceList.end(),
                       [&](const QString &entry) { return ContainsText(hardwareIds, entry); });
}

// The interface walk. Each collection of each node stands for one Windows
// HID interface. The collection and filter tests use what enumeration
// already knows, so only collections that qualify are ever opened: a node the
// user may not open (another device's keyboard) is never tried.
std::vector<TkwHIDData::Candidate> TkwHIDData::QualifyingCollections(USAGE_AND_PAGE usage, Filter filter,
                                                                     const QString &deviceId)
{
    std::vector<Candidate> out;
    const bool byId = filter == Filter::DeviceIdOrIncludeList && !deviceId.isEmpty() && deviceId != QLatin1String("*");
    for (const HidInterfaceInfo &node : m_backend->enumerate()) {
        for (std::size_t c = 0; c < node.collections.size(); ++c) {
            const HidCollectionInfo &col = node.collections[c];
            bool passes = true;
            if (filter != Filter::None)
                passes = byId ? ContainsText(col.hardwareIds, deviceId) : PassesIncludeList(col.hardwareIds);
            if (!passes || !hkt::platform::HidCollectionIs(col, usage.UsagePage, usage.Usage))
                continue;
            out.push_back({node.path, static_cast<int>(c), col, node.reportDescriptor});
        }
    }
    return out;
}

void TkwHIDData::ForEachOpenCollection(USAGE_AND_PAGE usage, Filter filter, const QString &deviceId,
                                       const std::function<bool(const HidCollectionInfo &)> &fits,
                                       const std::function<void(HidDevice &)> &act)
{
    for (const Candidate &c : QualifyingCollections(usage, filter, deviceId)) {
        if (!fits(c.info))
            continue;
        // Opened for this one operation and closed again before the next.
        HidOpenResult open = m_backend->open(c.path, c.collection);
        if (open.device)
            act(*open.device);
    }
}

bool TkwHIDData::IsDeviceExist(const THIDDataParam &ReportData)
{
    bool result = false;
    ForEachOpenCollection(
        ReportData.UsageAndPage, Filter::DeviceIdOrIncludeList, ReportData.DeviceID,
        [](const HidCollectionInfo &) { return true; }, [&](HidDevice &) { result = true; });
    return result;
}

std::uint32_t TkwHIDData::HidFindAndSetFeatureReport(THIDDataParam &ReportData)
{
    const std::uint32_t size = ReportData.Data.DATASIZE;
    if (size == 0 || size > kHidReportBufferSize)
        return HidStatus::InvalidParameter;
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(&ReportData.Data);
    // No qualifying collection is an error, never success.
    std::uint32_t result = HidStatus::DeviceNotConnected;
    std::uint32_t handle = 0;
    ForEachOpenCollection(
        ReportData.UsageAndPage, Filter::DeviceIdOrIncludeList, ReportData.DeviceID,
        [&](const HidCollectionInfo &c) { return c.featureReportByteLength >= size; },
        [&](HidDevice &device) {
            ReportData.DeviceHandle = ++handle;
            // Every qualifying collection gets the report; the last one's result stands.
            result = device.setFeature({bytes, size});
        });
    return result;
}

std::uint32_t TkwHIDData::HidFindAndGetFeatureReport(THIDDataParam &ReportData)
{
    const std::uint32_t size = ReportData.Data.DATASIZE;
    if (size == 0 || size > kHidReportBufferSize)
        return HidStatus::InvalidParameter;
    auto *bytes = reinterpret_cast<std::uint8_t *>(&ReportData.Data);
    std::uint32_t result = HidStatus::DeviceNotConnected;
    std::vector<std::uint8_t> scratch;
    ForEachOpenCollection(
        ReportData.UsageAndPage, Filter::DeviceIdOrIncludeList, ReportData.DeviceID,
        [&](const HidCollectionInfo &c) { return c.featureReportByteLength >= size; },
        [&](HidDevice &device) {
            scratch.assign(size, 0);
            scratch[0] = ReportData.Data.ReportID;
            std::size_t received = 0;
            result = device.getFeature(scratch, received);
            // Windows always fills the whole report; a shorter answer would
            // leave stale bytes that read as the mouse's, so it is a failure.
            if (result == HidStatus::Ok && received < size)
                result = HidStatus::GenFailure;
            if (result == HidStatus::Ok)
                std::memcpy(bytes, scratch.data(), size);
        });
    return result;
}

bool TkwHIDData::HidFindAndWriteDevice(const THIDDataParam &ReportData)
{
    // The ID byte plus DATASIZE data bytes, all of which must fit the
    // collection's output report.
    const std::uint64_t size = std::uint64_t(ReportData.Data.DATASIZE) + 1;
    if (size > kHidReportBufferSize)
        return false;
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(&ReportData.Data);
    bool result = false;
    ForEachOpenCollection(
        ReportData.UsageAndPage, Filter::DeviceIdOrIncludeList, ReportData.DeviceID,
        [&](const HidCollectionInfo &c) { return c.outputReportByteLength >= size; },
        [&](HidDevice &device) { result = device.write({bytes, static_cast<std::size_t>(size)}) == HidStatus::Ok; });
    return result;
}

bool TkwHIDData::HidFindAndWriteDeviceBYHID(const THIDDataParam &ReportData)
{
    const std::uint32_t size = ReportData.Data.DATASIZE;
    if (size == 0 || size > kHidReportBufferSize)
        return false;
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(&ReportData.Data);
    bool result = false;
    ForEachOpenCollection(
        ReportData.UsageAndPage, Filter::None, QString(),
        [&](const HidCollectionInfo &c) { return c.outputReportByteLength >= size; },
        [&](HidDevice &device) { result = device.write({bytes, size}) == HidStatus::Ok; });
    return result;
}

void TkwHIDData::HidFindAndReadDevice(USAGE_AND_PAGE UsageAndPage, const QString &HIDID)
{
    Q_UNUSED(HIDID);
    // Readers that ended by themselves (device gone) are joined first, so
    // their nodes can have a reader again.
    StopReaders([](const TkwHidDeviceReadThread &r) { return r.Finished(); });
    for (const Candidate &c : QualifyingCollections(UsageAndPage, Filter::IncludeList, QString())) {
        {
            // One reader per node: a node carries each report once, however
            // many of its collections qualify.
            std::lock_guard lock(Readers().mutex);
            const auto &all = Readers().readers;
            if (std::any_of(all.begin(), all.end(), [&](const auto &r) { return r->DevicePath() == c.path; }))
                continue;
        }
        // A reader for a collection without input reports would only spin.
        if (c.info.inputReportByteLength == 0)
            continue;
        HidOpenResult open = m_backend->open(c.path, c.collection);
        if (!open.device)
            continue;
        auto parse = std::make_shared<ReaderParseState>();
        parse->collection = c.collection;
        parse->descriptor = ParseHidDescriptor(
            {reinterpret_cast<const std::uint8_t *>(c.descriptor.constData()), static_cast<std::size_t>(c.descriptor.size())});
        auto reader = std::make_unique<TkwHidDeviceReadThread>(this, c.info.hardwareIds.value(0), c.path,
                                                               std::move(open.device), c.info.inputReportByteLength,
                                                               std::move(parse));
        std::lock_guard lock(Readers().mutex);
        Readers().readers.push_back(std::move(reader));
    }
}

void TkwHIDData::HidStopRead()
{
    StopReaders([](const TkwHidDeviceReadThread &) { return true; });
}

int TkwHIDData::RunningReaderCount() const
{
    std::lock_guard lock(Readers().mutex);
    return static_cast<int>(std::count_if(Readers().readers.begin(), Readers().readers.end(), [this](const auto &r) {
        return r->Owner() == this && !r->Finished();
    }));
}

void TkwHIDData::DeliverReport(ReaderParseState &state, const QString &deviceId, const QString &devicePath,
                               const std::uint8_t *report, std::size_t size)
{
    if (size == 0)
        return;
    if (OnData)
        OnData(deviceId, devicePath, report[0], report + 1, static_cast<std::uint16_t>(size - 1));
    if (OnParsedData)
        OnParsedData(deviceId, devicePath, report[0], ParseButtonData(state, report, size));
}

// The button change this report carries against the reader's previous one:
// the first released usage, else the first pressed usage in the upper 16
// bits, else 0. Usage pages are dropped, as the fixed Windows lists do.
std::uint32_t TkwHIDData::ParseButtonData(ReaderParseState &state, const std::uint8_t *report, std::size_t size)
{
    if (!state.descriptor)
        return 0;
    const std::size_t n = std::min(HidMaxUsageListLength(*state.descriptor, state.collection), kUsageListLength);
    if (n == 0)
        return 0;
    const std::vector<std::uint32_t> set = HidUsagesSetInReport(*state.descriptor, state.collection, {report, size}, n);
    std::array<std::uint16_t, kUsageListLength> current{};
    for (std::size_t i = 0; i < set.size(); ++i)
        current[i] = static_cast<std::uint16_t>(set[i] & 0xFFFFu);
    const auto in = [n](const std::array<std::uint16_t, kUsageListLength> &list, std::uint16_t u) {
        return std::find(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(n), u) != list.begin() + static_cast<std::ptrdiff_t>(n);
    };
    std::uint16_t released = 0;
    std::uint16_t pressed = 0;
    for (std::size_t i = 0; i < n && !released; ++i)
        if (state.previous[i] && !in(current, state.previous[i]))
            released = state.previous[i];
    for (std::size_t i = 0; i < n && !pressed; ++i)
        if (current[i] && !in(state.previous, current[i]))
            pressed = current[i];
    std::copy_n(current.begin(), n, state.previous.begin());
    if (released)
        return released;
    return static_cast<std::uint32_t>(pressed) << 16;
}
