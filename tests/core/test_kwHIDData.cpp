#include "core/kwHIDData.h"
#include "platform/Paths.h"
#include "support/EventLoopWait.h"
#include "support/FakeHidBackend.h"
#include "support/HidDescriptorFixtures.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>

using namespace hkt::platform;
using namespace hkt::testfixtures;
using Bytes = std::vector<std::uint8_t>;

namespace {

const QString kPathA = QStringLiteral("/dev/hidrawA");
const QString kPathB = QStringLiteral("/dev/hidrawB");
const QString kPathKbd = QStringLiteral("/dev/hidrawK");
const QStringList kIdsA = {QStringLiteral("HID\\VID_1111&PID_2222&REV_0100"), QStringLiteral("HID\\VID_1111&PID_2222")};
const QStringList kIdsB = {QStringLiteral("HID\\VID_3333&PID_4444&REV_0200"), QStringLiteral("HID\\VID_3333&PID_4444")};
constexpr USAGE_AND_PAGE kMouse{1, 0xFFA0};

// A program folder of its own, with the given config.ini (none when empty).
class ProgramFolderFixture : public ::testing::Test {
protected:
    void SetUp() override { SetProgramFolder(m_dir.path()); }
    void TearDown() override { SetProgramFolder(std::nullopt); }
    void writeConfig(const QByteArray &text)
    {
        QFile f(m_dir.filePath(QStringLiteral("config.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QTemporaryDir m_dir;
};

// Two mice with the vendor collection and a keyboard node that never qualifies.
std::shared_ptr<FakeHidBackend> TwoMice()
{
    auto b = std::make_shared<FakeHidBackend>();
    b->addNode(kPathA, kVendorDescriptor, {kIdsA});
    b->addNode(kPathKbd, kBootMouseDescriptor, {{QStringLiteral("HID\\VID_1111&PID_2222")}});
    b->addNode(kPathB, kVendorDescriptor, {kIdsB});
    return b;
}

THIDDataParam FeatureParam(std::uint8_t id, std::uint32_t size, const QString &deviceId = QString())
{
    THIDDataParam p;
    p.UsageAndPage = kMouse;
    p.DeviceID = deviceId;
    p.Data.ReportID = id;
    p.Data.DATASIZE = size;
    for (std::uint32_t i = 1; i < size && i < 65536; ++i)
        p.Data.DATAReally[i - 1] = static_cast<std::uint8_t>(i);
    return p;
}

QStringList PathsOf(const std::vector<FakeHidBackend::Call> &calls)
{
    QStringList out;
    for (const auto &c : calls)
        out << c.path;
    return out;
}


} // namespace

using HidDataFilter = ProgramFolderFixture;

TEST_F(HidDataFilter, IncludeListAndDeviceIdDecideWhichMiceGetTheReport)
{
    struct Case {
        const char *name;
        QByteArray ini;
        QString deviceId;
        QStringList expected;
    };
    const Case cases[] = {
        {"no list, empty id", "", "", {kPathA, kPathB}},
        {"no list, star", "", "*", {kPathA, kPathB}},
        {"exact id in another case", "", "hid\\vid_1111&pid_2222", {kPathA}},
        {"a prefix is no match", "", "HID\\VID_1111", {}},
        {"list picks B", "[IncludeHIDDeviceList]\nid1=hid\\vid_3333&pid_4444\n", "", {kPathB}},
        {"star behaves as empty", "[IncludeHIDDeviceList]\nid1=HID\\VID_3333&PID_4444\n", "*", {kPathB}},
        {"an id bypasses the list", "[IncludeHIDDeviceList]\nid1=HID\\VID_3333&PID_4444\n", kIdsA[0], {kPathA}},
        {"list matching nothing", "[IncludeHIDDeviceList]\nid1=HID\\VID_9999&PID_9999\n", "", {}},
        {"id2 empty stops the list", "[IncludeHIDDeviceList]\nid1=HID\\VID_9999\nid2=\nid3=HID\\VID_3333&PID_4444\n",
         "", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeConfig(c.ini);
        auto backend = TwoMice();
        TkwHIDData hid(nullptr, backend);
        THIDDataParam p = FeatureParam(2, 16, c.deviceId);
        const std::uint32_t r = hid.HidFindAndSetFeatureReport(p);
        EXPECT_EQ(PathsOf(backend->calls()), c.expected);
        // Nobody to talk to is an error, never success.
        EXPECT_EQ(r, c.expected.isEmpty() ? HidStatus::DeviceNotConnected : HidStatus::Ok);
        EXPECT_EQ(hid.IsDeviceExist(p), !c.expected.isEmpty());
        EXPECT_EQ(backend->openHandles(), 0);  // nothing stays open between calls
    }
}

TEST_F(HidDataFilter, IncludeListReadsUpToId101)
{
    QByteArray ini = "[IncludeHIDDeviceList]\n";
    for (int n = 1; n <= 102; ++n)
        ini += "id" + QByteArray::number(n) + "=X" + QByteArray::number(n) + "\n";
    writeConfig(ini);
    TkwHIDData hid(nullptr, TwoMice());
    ASSERT_EQ(hid.GetHIDDeviceList().size(), 101);
    EXPECT_EQ(hid.GetHIDDeviceList().last(), QStringLiteral("X101"));
}

TEST_F(HidDataFilter, ReportGoesToEveryQualifyingMouseAndTheLastResultStands)
{
    for (const auto &[resultA, resultB] : {std::pair{31u, 0u}, std::pair{0u, 31u}}) {
        auto backend = TwoMice();
        backend->node(kPathA).setResult = resultA;
        backend->node(kPathB).setResult = resultB;
        TkwHIDData hid(nullptr, backend);
        THIDDataParam p = FeatureParam(3, 64);
        EXPECT_EQ(hid.HidFindAndSetFeatureReport(p), resultB);
        const auto calls = backend->calls();
        ASSERT_EQ(calls.size(), 2u);
        // DATASIZE bytes from the ID on, exactly.
        ASSERT_EQ(calls[1].bytes.size(), 64u);
        EXPECT_EQ(calls[1].bytes[0], 3);
        EXPECT_EQ(calls[1].bytes[63], 63);
        EXPECT_NE(p.DeviceHandle, 0u);
    }
}

TEST_F(HidDataFilter, LengthTestsAndOpenFailuresSkipInterfaces)
{
    auto backend = std::make_shared<FakeHidBackend>();
    // Feature length 1024: report 5 (2048) doesn't fit it.
    backend->addNode(kPathA, kMultiCollectionDescriptor, {{}, {}, kIdsA});
    backend->addNode(kPathB, kVendorDescriptor, {kIdsB});
    backend->node(kPathB).openStatus = HidStatus::AccessDenied;
    TkwHIDData hid(nullptr, backend);

    THIDDataParam big = FeatureParam(5, 2048);
    EXPECT_EQ(hid.HidFindAndSetFeatureReport(big), HidStatus::DeviceNotConnected);
    EXPECT_EQ(hid.HidFindAndGetFeatureReport(big), HidStatus::DeviceNotConnected);
    EXPECT_TRUE(backend->calls().empty());

    THIDDataParam fits = FeatureParam(4, 1024);
    EXPECT_EQ(hid.HidFindAndSetFeatureReport(fits), HidStatus::Ok);
    EXPECT_EQ(PathsOf(backend->calls()), QStringList{kPathA});
    EXPECT_EQ(backend->calls()[0].collection, 2);  // the vendor collection of the node

    // Presence ignores lengths but not a refused open.
    EXPECT_TRUE(hid.IsDeviceExist(big));
    THIDDataParam onlyB = FeatureParam(2, 16, kIdsB[1]);
    EXPECT_FALSE(hid.IsDeviceExist(onlyB));
}

TEST_F(HidDataFilter, BufferLengthsAreChecked)
{
    auto backend = TwoMice();
    TkwHIDData hid(nullptr, backend);
    for (std::uint32_t size : {0u, 65537u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(size);
        THIDDataParam p = FeatureParam(2, 16);
        p.Data.DATASIZE = size;
        EXPECT_EQ(hid.HidFindAndSetFeatureReport(p), HidStatus::InvalidParameter);
        EXPECT_EQ(hid.HidFindAndGetFeatureReport(p), HidStatus::InvalidParameter);
        EXPECT_FALSE(hid.HidFindAndWriteDeviceBYHID(p));
    }
    THIDDataParam w = FeatureParam(2, 16);
    w.Data.DATASIZE = 65536;  // plus the ID byte: one more than the buffer
    EXPECT_FALSE(hid.HidFindAndWriteDevice(w));
    EXPECT_TRUE(backend->calls().empty());
}

TEST_F(HidDataFilter, GetFeatureCopiesOnlyAWholeAnswer)
{
    auto backend = std::make_shared<FakeHidBackend>();
    backend->addNode(kPathA, kVendorDescriptor, {kIdsA});
    TkwHIDData hid(nullptr, backend);

    Bytes answer(16);
    for (std::size_t i = 0; i < answer.size(); ++i)
        answer[i] = static_cast<std::uint8_t>(0xA0 + i);
    backend->node(kPathA).getAnswer = answer;
    THIDDataParam p = FeatureParam(2, 16);
    ASSERT_EQ(hid.HidFindAndGetFeatureReport(p), HidStatus::Ok);
    EXPECT_EQ(backend->calls().at(0).bytes, (Bytes{2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(p.Data.ReportID, 0xA0);
    EXPECT_EQ(p.Data.DATAReally[14], 0xAF);

    struct Case {
        const char *name;
        Bytes answer;
        std::uint32_t getResult, expected;
    };
    for (const Case &c : {Case{"short answer", Bytes(15, 0x55), 0u, 31u}, Case{"device error", answer, 31u, 31u}}) {
        SCOPED_TRACE(c.name);
        backend->node(kPathA).getAnswer = c.answer;
        backend->node(kPathA).getResult = c.getResult;
        THIDDataParam q = FeatureParam(2, 16);
        EXPECT_EQ(hid.HidFindAndGetFeatureReport(q), c.expected);
        EXPECT_EQ(q.Data.ReportID, 2);         // left as it was
        EXPECT_EQ(q.Data.DATAReally[0], 1);
    }
}

TEST_F(HidDataFilter, WritesSendIdPlusDataOrDataSizeBytes)
{
    // An output collection of 8 bytes (ID + 7).
    const Bytes desc = {0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x09, 0x09, 0x01, 0x75,
                        0x08, 0x95, 0x07, 0x91, 0x02, 0xC0};
    auto backend = std::make_shared<FakeHidBackend>();
    backend->addNode(kPathA, desc, {kIdsA});
    TkwHIDData hid(nullptr, backend);

    THIDDataParam p = FeatureParam(9, 7);
    EXPECT_TRUE(hid.HidFindAndWriteDevice(p));
    THIDDataParam q = FeatureParam(9, 8);
    EXPECT_TRUE(hid.HidFindAndWriteDeviceBYHID(q));
    const auto calls = backend->calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].bytes, (Bytes{9, 1, 2, 3, 4, 5, 6, 0}));
    EXPECT_EQ(calls[1].bytes, (Bytes{9, 1, 2, 3, 4, 5, 6, 7}));
    // DATASIZE 8 would write 9 bytes: more than the output report.
    EXPECT_FALSE(hid.HidFindAndWriteDevice(q));
    EXPECT_EQ(backend->calls().size(), 2u);
}

// ---- readers ----

namespace {

struct Delivery {
    QString id, path;
    std::uint8_t reportId;
    Bytes data;
    Qt::HANDLE thread;
};

struct Recorder {
    explicit Recorder(TkwHIDData &hid)
    {
        hid.OnData = [this](const QString &id, const QString &path, std::uint8_t rid, const void *data, std::uint16_t size) {
            const auto *b = static_cast<const std::uint8_t *>(data);
            std::lock_guard lock(mutex);
            got.push_back({id, path, rid, Bytes(b, b + size), QThread::currentThreadId()});
        };
    }
    std::size_t count()
    {
        std::lock_guard lock(mutex);
        return got.size();
    }
    std::mutex mutex;
    std::vector<Delivery> got;
};

} // namespace

using HidDataReaders = ProgramFolderFixture;

TEST_F(HidDataReaders, ReportReachesOnDataOnTheMainThreadAsItsOwnCopy)
{
    auto backend = TwoMice();
    TkwHIDData hid(nullptr, backend);
    Recorder rec(hid);
    hid.HidFindAndReadDevice(kMouse, QStringLiteral("*"));
    EXPECT_EQ(hid.RunningReaderCount(), 2);
    backend->pushInput(kPathA, {7, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07});
    ASSERT_TRUE(WaitUntil([&] { return rec.count() == 1; }));
    const Delivery &d = rec.got[0];
    EXPECT_EQ(d.reportId, 7);
    EXPECT_EQ(d.data, (Bytes{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(d.path, kPathA);
    EXPECT_EQ(d.id, kIdsA[0]);
    EXPECT_EQ(d.thread, QThread::currentThreadId());
    hid.HidStopRead();
}

TEST_F(HidDataReaders, OneReaderPerNodeAndNoDuplicateDelivery)
{
    auto backend = std::make_shared<FakeHidBackend>();
    // One node whose two collections both qualify.
    Bytes twice = kVendorDescriptor;
    Bytes second = {0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x0A, 0x09, 0x01,
                    0x75, 0x08, 0x95, 0x07, 0x81, 0x02, 0xC0};
    twice.insert(twice.end(), second.begin(), second.end());
    backend->addNode(kPathA, twice, {kIdsA, kIdsA});
    TkwHIDData hid(nullptr, backend);
    Recorder rec(hid);
    hid.HidFindAndReadDevice(kMouse, QString());
    hid.HidFindAndReadDevice(kMouse, QString());  // started again without a stop
    EXPECT_EQ(hid.RunningReaderCount(), 1);
    for (std::uint8_t i = 0; i < 3; ++i)
        backend->pushInput(kPathA, {8, 1, i, 0, 0, 0, 0, 0});
    backend->pushInput(kPathA, {0x0A, 9, 9, 9, 9, 9, 9, 9});  // the other collection's report
    backend->pushInput(kPathA, {8, 2, 7, 0, 0, 0, 0, 0});
    ASSERT_TRUE(WaitUntil([&] { return rec.count() >= 4; }));
    hid.HidStopRead();
    QCoreApplication::processEvents();
    ASSERT_EQ(rec.got.size(), 4u);
    for (std::uint8_t i = 0; i < 3; ++i)
        EXPECT_EQ(rec.got[i].data[1], i);  // in order, once each
    EXPECT_EQ(rec.got[3].data[1], 7);
}

TEST_F(HidDataReaders, StopJoinsEveryReaderAndRestartReadsAgain)
{
    auto backend = TwoMice();
    TkwHIDData hid(nullptr, backend);
    Recorder rec(hid);
    hid.HidStopRead();  // nothing running: returns
    hid.HidFindAndReadDevice(kMouse, QStringLiteral("*"));
    EXPECT_EQ(backend->openHandles(), 2);
    hid.HidStopRead();
    // Joined: every reader has ended and closed its handle on return.
    EXPECT_EQ(hid.RunningReaderCount(), 0);
    EXPECT_EQ(backend->openHandles(), 0);

    hid.HidFindAndReadDevice(kMouse, QStringLiteral("*"));
    EXPECT_EQ(hid.RunningReaderCount(), 2);
    backend->pushInput(kPathB, {7, 4, 0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(WaitUntil([&] { return rec.count() == 1; }));
    EXPECT_EQ(rec.got[0].path, kPathB);
    hid.HidStopRead();
}

TEST_F(HidDataReaders, UnplugEndsTheReaderOnItsOwnThreadAndANewStartSkipsTheGoneNode)
{
    auto backend = TwoMice();
    TkwHIDData hid(nullptr, backend);
    std::atomic<int> gone{0};
    std::atomic<bool> onMain{false};
    const Qt::HANDLE main = QThread::currentThreadId();
    hid.OnDeviceNotConnected = [&](const QString &, const QString &path) {
        if (QThread::currentThreadId() == main)
            onMain = true;
        if (path == kPathA)
            ++gone;
    };
    hid.HidFindAndReadDevice(kMouse, QStringLiteral("*"));
    backend->unplug(kPathA);
    ASSERT_TRUE(WaitUntil([&] { return hid.RunningReaderCount() == 1; }));
    EXPECT_EQ(gone.load(), 1);
    EXPECT_FALSE(onMain.load());
    EXPECT_EQ(backend->openHandles(), 1);  // the ended reader closed its handle
    hid.HidFindAndReadDevice(kMouse, QStringLiteral("*"));
    EXPECT_EQ(hid.RunningReaderCount(), 1);
    hid.HidStopRead();
}

TEST_F(HidDataReaders, DestructionStopsItsReadersAndDropsPendingReports)
{
    auto backend = TwoMice();
    int delivered = 0;
    {
        TkwHIDData hid(nullptr, backend);
        hid.OnData = [&](const QString &, const QString &, std::uint8_t, const void *, std::uint16_t) { ++delivered; };
        hid.HidFindAndReadDevice(kMouse, QStringLiteral("*"));
        // Reports the readers may have queued for the main thread, which
        // doesn't run its queue before the object goes.
        for (std::uint8_t i = 0; i < 5; ++i)
            backend->pushInput(kPathA, {7, i, 0, 0, 0, 0, 0, 0});
        QThread::msleep(20);
    }
    EXPECT_EQ(backend->openHandles(), 0);
    QCoreApplication::processEvents();  // a report queued for the gone object is dropped
    EXPECT_EQ(delivered, 0);
}

TEST_F(HidDataReaders, FastOnDataRunsOnTheReaderThread)
{
    auto backend = TwoMice();
    TkwHIDData hid(nullptr, backend);
    hid.FastOnData = true;
    Recorder rec(hid);
    hid.HidFindAndReadDevice(kMouse, QStringLiteral("*"));
    backend->pushInput(kPathA, {8, 1, 3, 0, 0, 0, 0, 0});
    ASSERT_TRUE(WaitUntil([&] { return rec.count() == 1; }));
    hid.HidStopRead();
    EXPECT_NE(rec.got[0].thread, QThread::currentThreadId());
}

TEST_F(HidDataReaders, ParsedDataGivesPressThenReleaseOfAButtonUsage)
{
    auto backend = std::make_shared<FakeHidBackend>();
    backend->addNode(kPathA, kVendorDescriptor, {kIdsA});
    TkwHIDData hid(nullptr, backend);
    std::vector<std::uint32_t> parsed;
    hid.OnParsedData = [&](const QString &, const QString &, std::uint8_t, std::uint32_t b) { parsed.push_back(b); };
    hid.HidFindAndReadDevice(kMouse, QString());
    const std::vector<Bytes> reports = {
        {7, 0x04, 0, 0, 0, 0, 0, 0},  // key 2 (button usage 3) pressed
        {7, 0x04, 0, 0, 0, 0, 0, 0},  // nothing changed
        {7, 0x06, 0, 0, 0, 0, 0, 0},  // usage 2 pressed as well
        {7, 0x01, 0, 0, 0, 0, 0, 0},  // 2 and 3 released, 1 pressed: the first release (2) wins
        {8, 1, 2, 0, 0, 0, 0, 0},     // a report without buttons releases what was held
    };
    for (const Bytes &r : reports)
        backend->pushInput(kPathA, r);
    ASSERT_TRUE(WaitUntil([&] { return parsed.size() == reports.size(); }));
    hid.HidStopRead();
    EXPECT_EQ(parsed, (std::vector<std::uint32_t>{3u << 16, 0, 2u << 16, 2, 1}));
}
