#include "core/pubunit_device_transport.h"
#include "peer/PeerProcess.h"
#include "platform/DeviceTransferLock.h"
#include "platform/Paths.h"
#include "support/FakeHidBackend.h"
#include "support/HidDescriptorFixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

using namespace hkt::platform;
using namespace hkt::testfixtures;
using Bytes = std::vector<std::uint8_t>;

namespace {

const QString kMouse = QStringLiteral("/dev/hidrawM");

class Transport : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProgramFolder(m_dir.path());  // no config.ini: no include list
        HIDUsageAndPage = {1, 0xFFA0};
        m_backend = std::make_shared<FakeHidBackend>();
        m_backend->addNode(kMouse, kVendorDescriptor, {{QStringLiteral("HID\\VID_1234&PID_5678")}});
        m_hid = std::make_unique<TkwHIDData>(nullptr, m_backend);
    }
    void TearDown() override
    {
        m_hid.reset();
        HIDUsageAndPage = {0, 0};
        SetProgramFolder(std::nullopt);
    }

    // A command record as the command routines build it; the payload is
    // filled with 0xCC so that stale bytes past L would show on the wire.
    static TDeviceCommand Command(const Bytes &header, const Bytes &payload = {})
    {
        TDeviceCommand c;
        c.Lead[0] = 0x16;
        c.Lead[1] = 0x10;
        c.Lead[2] = 0x00;
        std::memset(c.Header.Bytes, 0, 8);
        std::copy(header.begin(), header.end(), c.Header.Bytes);
        std::memset(c.Payload, 0xCC, sizeof c.Payload);
        std::copy(payload.begin(), payload.end(), c.Payload);
        return c;
    }

    // The expected report: `head` bytes, then zeros to `length`.
    static Bytes Report(Bytes head, std::size_t length)
    {
        head.resize(length, 0);
        return head;
    }

    QTemporaryDir m_dir;
    std::shared_ptr<FakeHidBackend> m_backend;
    std::unique_ptr<TkwHIDData> m_hid;
};

Bytes Counting(std::size_t n, std::uint8_t from = 1)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(from + i);
    return b;
}

} // namespace

TEST(TransportTables, ReportIdAndLengthBySize)
{
    struct Case {
        std::uint32_t n;
        std::uint8_t id;
        int length;
    };
    const Case cases[] = {{0, 2, 16},     {16, 2, 16},     {17, 3, 64},     {64, 3, 64},   {65, 4, 1024},
                          {1024, 4, 1024}, {1025, 5, 2048}, {2048, 5, 2048}, {2049, 6, 4096}, {4096, 6, 4096},
                          {4097, 2, 16}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.n);
        EXPECT_EQ(GetReportIDBySize(c.n), c.id);
        EXPECT_EQ(GetReportLengthByID(c.id), c.length);
    }
    EXPECT_EQ(GetReportLengthByID(0), 16);
    EXPECT_EQ(GetReportLengthByID(7), 16);
    EXPECT_EQ(GetReportLengthByID(-1), 16);
}

TEST(TransportTables, PayloadLengthByCode)
{
    struct Case {
        Bytes header;
        std::uint32_t L;
    };
    const Case cases[] = {
        {{0x02, 0x90, 0x01, 0x39, 0x00, 0xFA, 0xFA, 0xFA}, 57},
        {{0x03, 0x4F, 0x00, 0x2A, 0x00, 0xFA, 0xFA, 0xFA}, 42},
        {{0x82, 0x00, 0x00, 0x00, 0x08, 0xFA, 0xFA, 0xFA}, 2048},  // bit 7 is not part of the code
        {{0x00, 0x11, 0x22, 0x33, 0x44, 0, 0, 0}, 0x22},
        {{0x01, 0x00, 0x03, 0xFF, 0xFF, 0, 0, 0}, 0},
        {{0x06, 0x01, 0x00, 0xFF, 0xFF, 0, 0, 0}, 0},
    };
    for (const Case &c : cases) {
        TDeviceCommandHeader h;
        std::copy(c.header.begin(), c.header.end(), h.Bytes);
        EXPECT_EQ(GetCommandPayloadLength(h), c.L);
    }
}

TEST(TransportTables, InsertAndRemoveReportId)
{
    TDeviceCommandHeader block{{1, 2, 3, 4, 5, 6, 7, 8}};
    TDeviceCommandHeader header;
    RemoveReportID(block, header);
    EXPECT_EQ(Bytes(header.Bytes, header.Bytes + 8), (Bytes{2, 3, 4, 5, 6, 7, 8, 0}));
    InsertReportID(9, header, block);
    EXPECT_EQ(Bytes(block.Bytes, block.Bytes + 8), (Bytes{9, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(MakeCtlCode(0x8000, 0x1000, 0, 0), 0x80004000u);
    EXPECT_EQ(MakeCtlCode(0x22, 0x800, 2, 3), 0x0022E002u);
}

TEST_F(Transport, ShortCommandsTravelInReport2WithZerosAfterTheHeader)
{
    // Header byte 7 is never sent, whatever it holds.
    for (std::uint8_t code : {1, 4, 5, 6}) {
        SCOPED_TRACE(code);
        m_backend->clearCalls();
        TDeviceCommand c = Command({code, 0x01, 0x03, 0x00, 0x00, 0x00, 0x00, 0x77});
        ASSERT_EQ(SendFeatureCommand(*m_hid, c, sizeof c, MakeCtlCode(0x8000, 0x1000, 0, 0)), 0u);
        const auto calls = m_backend->calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].bytes, Report({0x02, code, 0x01, 0x03}, 16));
        // The record is left in its wire form.
        EXPECT_EQ(Bytes(c.Header.Bytes, c.Header.Bytes + 8), (Bytes{0x02, code, 0x01, 0x03, 0, 0, 0, 0}));
    }
}

TEST_F(Transport, MemoryWritesPickTheReportBySizeAndZeroThePadding)
{
    struct Case {
        std::uint32_t L;
        std::uint8_t id;
        std::size_t length;
    };
    const Case cases[] = {{1, 2, 16},     {8, 2, 16},     {9, 3, 64},       {56, 3, 64},     {57, 4, 1024},
                          {180, 4, 1024}, {1016, 4, 1024}, {1017, 5, 2048}, {2040, 5, 2048}, {2041, 6, 4096},
                          {2048, 6, 4096}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.L);
        m_backend->clearCalls();
        const Bytes payload = Counting(c.L);
        TDeviceCommand cmd = Command({0x02, 0x90, 0x01, static_cast<std::uint8_t>(c.L & 0xFF),
                                      static_cast<std::uint8_t>(c.L >> 8), 0xFA, 0xFA, 0xFA},
                                     payload);
        ASSERT_EQ(SendFeatureCommand(*m_hid, cmd, sizeof cmd, 0), 0u);
        const auto calls = m_backend->calls();
        ASSERT_EQ(calls.size(), 1u);
        Bytes expected = {c.id, 0x02, 0x90, 0x01, static_cast<std::uint8_t>(c.L & 0xFF),
                          static_cast<std::uint8_t>(c.L >> 8), 0xFA, 0xFA};
        expected.insert(expected.end(), payload.begin(), payload.end());
        EXPECT_EQ(calls[0].bytes, Report(expected, c.length));
    }
}

TEST_F(Transport, KnownWireVectors)
{
    // Active profile 2 at 0x43.
    TDeviceCommand active = Command({0x02, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0xFA}, {0x02});
    ASSERT_EQ(SendFeatureCommand(*m_hid, active, sizeof active, 0), 0u);
    // Light block of profile 0 at 0xF1.
    TDeviceCommand light = Command({0x02, 0xF1, 0x00, 0x06, 0x00, 0xFA, 0xFA, 0xFA}, {0x00, 0x00, 0xFF, 0x02, 0x03, 0x00});
    ASSERT_EQ(SendFeatureCommand(*m_hid, light, sizeof light, 0), 0u);
    const auto calls = m_backend->calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].bytes, (Bytes{0x02, 0x02, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0x02, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(calls[1].bytes,
              (Bytes{0x02, 0x02, 0xF1, 0x00, 0x06, 0x00, 0xFA, 0xFA, 0x00, 0x00, 0xFF, 0x02, 0x03, 0x00, 0x00, 0x00}));
}

TEST_F(Transport, PayloadAboveTheRecordIsRefusedUnsent)
{
    TDeviceCommand cmd = Command({0x02, 0x00, 0x05, 0x01, 0x08, 0xFA, 0xFA, 0xFA});  // L = 2049
    EXPECT_EQ(SendFeatureCommand(*m_hid, cmd, sizeof cmd, 0), HidStatus::InvalidParameter);
    EXPECT_TRUE(m_backend->calls().empty());
}

TEST_F(Transport, NoMouseIsAnErrorNotSuccess)
{
    m_backend->unplug(kMouse);
    TDeviceCommand cmd = Command({0x01, 0x00});
    EXPECT_EQ(SendFeatureCommand(*m_hid, cmd, sizeof cmd, 0), HidStatus::DeviceNotConnected);
    TDeviceCommand read = Command({0x03, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0xFA});
    EXPECT_EQ(QueryFeatureCommand(*m_hid, read, sizeof read, 0), HidStatus::DeviceNotConnected);
}

TEST_F(Transport, ReadsRequestInReport2AndUnpackTheAnswer)
{
    struct Case {
        std::uint16_t address;
        std::uint8_t L;
        std::uint8_t answerId;
        std::size_t answerLength;
    };
    for (const Case &c : {Case{0x0043, 1, 2, 16}, Case{0x024F, 42, 3, 64}}) {
        SCOPED_TRACE(c.L);
        m_backend->clearCalls();
        const std::uint8_t lo = c.address & 0xFF, hi = c.address >> 8;
        // The mouse's answer: the request's code, address and length, two
        // bytes of its own (ignored), memory from byte 8.
        Bytes answer = {c.answerId, 0x03, lo, hi, c.L, 0x00, 0xEE, 0xEE};
        const Bytes memory = Counting(c.L, 0x40);
        answer.insert(answer.end(), memory.begin(), memory.end());
        answer.resize(c.answerLength, 0x99);
        m_backend->node(kMouse).getAnswer = answer;

        TDeviceCommand cmd = Command({0x03, lo, hi, c.L, 0x00, 0xFA, 0xFA, 0xFA});
        ASSERT_EQ(QueryFeatureCommand(*m_hid, cmd, sizeof cmd, 0), 0u);
        const auto calls = m_backend->calls();
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[0].kind, FakeHidBackend::CallKind::Set);
        EXPECT_EQ(calls[0].bytes, Report({0x02, 0x03, lo, hi, c.L, 0x00, 0xFA, 0xFA}, 16));
        EXPECT_EQ(calls[1].kind, FakeHidBackend::CallKind::Get);
        EXPECT_EQ(calls[1].bytes, Report({c.answerId}, c.answerLength));
        EXPECT_EQ(Bytes(cmd.Payload, cmd.Payload + c.L), memory);
        EXPECT_EQ(Bytes(cmd.Header.Bytes, cmd.Header.Bytes + 8), (Bytes{0x03, lo, hi, c.L, 0x00, 0xEE, 0xEE, 0}));
    }
}

TEST_F(Transport, FailedStepsReturnTheirCodeAndLeaveThePayload)
{
    TDeviceCommand cmd = Command({0x03, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0xFA});
    m_backend->node(kMouse).setResult = 31;
    EXPECT_EQ(QueryFeatureCommand(*m_hid, cmd, sizeof cmd, 0), 31u);
    ASSERT_EQ(m_backend->calls().size(), 1u);  // no fetch after a failed request
    EXPECT_EQ(cmd.Payload[0], 0xCC);

    m_backend->clearCalls();
    m_backend->node(kMouse).setResult = 0;
    m_backend->node(kMouse).getAnswer = Bytes(15, 0x11);  // one byte short
    TDeviceCommand shortAnswer = Command({0x03, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0xFA});
    EXPECT_EQ(QueryFeatureCommand(*m_hid, shortAnswer, sizeof shortAnswer, 0), HidStatus::GenFailure);
    EXPECT_EQ(shortAnswer.Payload[0], 0xCC);
    EXPECT_EQ(shortAnswer.Header.Bytes[0], 0x02);  // the header in its report-ID form

    m_backend->node(kMouse).getAnswer = Bytes(16, 0x11);
    m_backend->node(kMouse).getResult = 1167;
    TDeviceCommand again = Command({0x03, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0xFA});
    EXPECT_EQ(QueryFeatureCommand(*m_hid, again, sizeof again, 0), 1167u);
    EXPECT_EQ(again.Payload[0], 0xCC);
}

TEST_F(Transport, ReadsNeedingReport6AreRefusedUnsent)
{
    for (std::uint16_t L : {2041, 2048, 4000, 0xFFFF}) {
        SCOPED_TRACE(L);
        TDeviceCommand cmd = Command({0x03, 0x00, 0x05, static_cast<std::uint8_t>(L & 0xFF),
                                      static_cast<std::uint8_t>(L >> 8), 0xFA, 0xFA, 0xFA});
        EXPECT_EQ(QueryFeatureCommand(*m_hid, cmd, sizeof cmd, 0), HidStatus::InvalidParameter);
    }
    EXPECT_TRUE(m_backend->calls().empty());
    // 2040 bytes still fit: report 5, 2048 bytes over the 2056-byte record.
    Bytes answer = {0x05, 0x03, 0x00, 0x05, 0xF8, 0x07, 0xFA, 0xFA};
    answer.resize(2048, 0x5A);
    m_backend->node(kMouse).getAnswer = answer;
    TDeviceCommand cmd = Command({0x03, 0x00, 0x05, 0xF8, 0x07, 0xFA, 0xFA, 0xFA});
    EXPECT_EQ(QueryFeatureCommand(*m_hid, cmd, sizeof cmd, 0), 0u);
    EXPECT_EQ(cmd.Payload[2039], 0x5A);
    EXPECT_EQ(cmd.Payload[2040], 0xCC);  // beyond the answer: untouched
}

TEST_F(Transport, AnAnswerToAnotherRequestIsAFailedReadNotData)
{
    // Each read's request, then answers that are not its answer: another
    // request's (the other program's, taken after the lock was given up on),
    // or the mouse's nothing (zeros behind the report ID) when the other
    // program fetched this read's answer first.
    const Bytes profileRead = {0x03, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0xFA};
    const Bytes levelRead = {0x03, 0x4F, 0x02, 0x2A, 0x00, 0xFA, 0xFA, 0xFA};
    struct Case {
        const char *name;
        Bytes request;
        Bytes answer;  // zero-filled to the answer report's length
        std::size_t length;
    };
    const Case cases[] = {
        {"the profile byte of another program's read, for a DPI table read", levelRead,
         {0x03, 0x03, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0x02}, 64},
        {"nothing pending on the mouse: 03 00 00 ...", levelRead, {0x03}, 64},
        {"all zeros", levelRead, {}, 64},
        {"the DPI table of another profile", levelRead, {0x03, 0x03, 0x4F, 0x01, 0x2A, 0x00, 0xFA, 0xFA, 0x05, 0x03},
         64},
        {"another length at the same address", levelRead, {0x03, 0x03, 0x4F, 0x02, 0x08, 0x00, 0xFA, 0xFA, 0x05}, 64},
        {"a rate code read, for the active profile", profileRead, {0x02, 0x03, 0x48, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0x08},
         16},
        {"a write's header", profileRead, {0x02, 0x02, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0x03}, 16},
        {"nothing pending on the mouse: 02 00 00 ...", profileRead, {0x02}, 16},
        {"another address's high byte", profileRead, {0x02, 0x03, 0x43, 0x01, 0x01, 0x00, 0xFA, 0xFA, 0x03}, 16},
        {"a length high byte", profileRead, {0x02, 0x03, 0x43, 0x00, 0x01, 0x01, 0xFA, 0xFA, 0x03}, 16},
    };
    // A mouse never seen to repeat its requests is taken at its word: the
    // protocol promises only bytes 8 on.
    m_backend->node(kMouse).getAnswer = Report({0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x03}, 64);
    TDeviceCommand plain = Command(levelRead);
    EXPECT_EQ(QueryFeatureCommand(*m_hid, plain, sizeof plain, 0), 0u);
    EXPECT_EQ(plain.Payload[1], 0x03);
    EXPECT_FALSE(m_hid->AnswersRepeatRequests());
    // This mouse repeats them; from its first such answer on, an answer that
    // does not repeat its request is another's.
    m_backend->node(kMouse).getAnswer = Report({0x03, 0x03, 0x4F, 0x02, 0x2A, 0x00, 0xFA, 0xFA, 0x05, 0x02}, 64);
    TDeviceCommand echoed = Command(levelRead);
    EXPECT_EQ(QueryFeatureCommand(*m_hid, echoed, sizeof echoed, 0), 0u);
    EXPECT_EQ(echoed.Payload[1], 0x02);
    EXPECT_TRUE(m_hid->AnswersRepeatRequests());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_backend->clearCalls();
        m_backend->node(kMouse).getAnswer = Report(c.answer, c.length);
        TDeviceCommand cmd = Command(c.request);
        EXPECT_EQ(QueryFeatureCommand(*m_hid, cmd, sizeof cmd, 0), HidStatus::InvalidData);
        EXPECT_EQ(HidStatus::InvalidData, 13u);
        EXPECT_EQ(m_backend->calls().size(), 2u);  // the request and the fetch were made
        EXPECT_EQ(Bytes(cmd.Payload, cmd.Payload + 64), Bytes(64, 0xCC)) << "nothing copied";
        EXPECT_EQ(cmd.Header.Bytes[0], c.length == 16 ? 0x02 : 0x03);  // the header in its report-ID form
    }
}

TEST_F(Transport, ARunOfTransfersWaitsForAStoppedHolderOnce)
{
    // The other program holds the lock and never lets go.
    QTemporaryDir root;
    const QString folder = root.path() + "/hkt75";
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    SetRuntimeFolder(folder);
    PeerProcess other(root.path(), QStringList{"TTransferPeer", "--lock"});
    ASSERT_EQ(other.NextLine(), "locked");
    other.Command("take 5000");
    ASSERT_EQ(other.NextLine(), "held");

    m_backend->node(kMouse).getAnswer = Report({0x02, 0x03, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0x04}, 16);
    const auto waits = DeviceTransferRun::Waits(), inVain = DeviceTransferRun::WaitsInVain();
    {
        const DeviceTransferRun run(std::chrono::milliseconds(50));
        for (int i = 0; i < 10; ++i) {
            TDeviceCommand write = Command({0x02, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0xFA}, {0x04});
            EXPECT_EQ(SendFeatureCommand(*m_hid, write, sizeof write, 0), 0u);
            TDeviceCommand read = Command({0x03, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0xFA});
            EXPECT_EQ(QueryFeatureCommand(*m_hid, read, sizeof read, 0), 0u);
            EXPECT_EQ(read.Payload[0], 0x04);
        }
        EXPECT_TRUE(run.WaitedInVain());
    }
    EXPECT_EQ(m_backend->calls().size(), 30u);  // every transfer went ahead
    EXPECT_EQ(DeviceTransferRun::Waits(), waits + 1) << "one wait for the run, none per transfer";
    EXPECT_EQ(DeviceTransferRun::WaitsInVain(), inVain + 1);
    SetRuntimeFolder(std::nullopt);
}
