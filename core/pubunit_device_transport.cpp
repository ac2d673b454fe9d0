#include "core/pubunit_device_transport.h"

#include "platform/DeviceTransferLock.h"

#include <QtGlobal>

#include <algorithm>
#include <cstring>
#include <memory>

using hkt::platform::HidStatus::InvalidData;
using hkt::platform::HidStatus::InvalidParameter;

USAGE_AND_PAGE HIDUsageAndPage{0, 0};

namespace {

constexpr std::size_t kHeaderSize = sizeof(TDeviceCommandHeader);
// The record from the header on: what a report's content is taken from and
// what an answer is copied over.
constexpr std::size_t kWireSpan = kHeaderSize + kDeviceCommandPayloadSize;
// The header bytes a read's answer repeats: code, address lo/hi, length lo/hi.
constexpr std::size_t kEchoedHeaderBytes = 5;

std::uint8_t *WirePart(TDeviceCommand &Command)
{
    return reinterpret_cast<std::uint8_t *>(&Command) + offsetof(TDeviceCommand, Header);
}

// A transfer parameter holding report `id` at its full length, zero-filled,
// with `n` bytes of the record (header in its report-ID form) at its start.
// On the heap: the buffer is 64 KiB.
std::unique_ptr<THIDDataParam> MakeReport(std::uint8_t id, const std::uint8_t *content, std::size_t n)
{
    auto param = std::make_unique<THIDDataParam>();
    param->UsageAndPage = HIDUsageAndPage;
    param->DeviceID.clear();  // the include list decides
    param->Data.DATASIZE = static_cast<std::uint32_t>(GetReportLengthByID(id));
    param->DeviceHandle = 0;
    auto *buffer = reinterpret_cast<std::uint8_t *>(&param->Data);
    std::memset(buffer, 0, param->Data.DATASIZE);
    std::memcpy(buffer, content, std::min<std::size_t>(n, param->Data.DATASIZE));
    param->Data.ReportID = id;
    return param;
}

} // namespace

std::uint32_t GetCommandPayloadLength(const TDeviceCommandHeader &Header)
{
    switch (Header.Bytes[0] & 0x7F) {
    case 0: return Header.Bytes[2];
    case 2:
    case 3: return std::uint32_t(Header.Bytes[3]) | (std::uint32_t(Header.Bytes[4]) << 8);
    default: return 0;
    }
}

std::uint8_t GetReportIDBySize(std::uint32_t n)
{
    if (n <= 16)
        return 2;
    if (n <= 64)
        return 3;
    if (n <= 1024)
        return 4;
    if (n <= 2048)
        return 5;
    if (n <= 4096)
        return 6;
    return 2;
}

int GetReportLengthByID(int ReportID)
{
    switch (ReportID) {
    case 3: return 64;
    case 4: return 1024;
    case 5: return 2048;
    case 6: return 4096;
    default: return 16;
    }
}

void InsertReportID(std::uint8_t ReportID, const TDeviceCommandHeader &Header, TDeviceCommandHeader &Block)
{
    TDeviceCommandHeader out;
    out.Bytes[0] = ReportID;
    std::memcpy(out.Bytes + 1, Header.Bytes, 7);
    Block = out;  // Header and Block may be one object
}

void RemoveReportID(const TDeviceCommandHeader &Block, TDeviceCommandHeader &Header)
{
    TDeviceCommandHeader out;
    std::memcpy(out.Bytes, Block.Bytes + 1, 7);
    out.Bytes[7] = 0;
    Header = out;
}

std::uint32_t MakeCtlCode(std::uint32_t DeviceType, std::uint32_t Function, std::uint32_t Method,
                          std::uint32_t Access)
{
    return (DeviceType << 16) | (Access << 14) | (Function << 2) | Method;
}

std::uint32_t SendFeatureCommand(TkwHIDData &HIDData, TDeviceCommand &Command, int Size, std::uint32_t ControlCode)
{
    Q_UNUSED(Size);
    Q_UNUSED(ControlCode);
    const std::uint32_t L = GetCommandPayloadLength(Command.Header);
    if (L > kDeviceCommandPayloadSize)  // more than the record holds
        return InvalidParameter;
    const std::uint32_t n = static_cast<std::uint32_t>(kHeaderSize) + L;
    const std::uint8_t id = GetReportIDBySize(n);
    InsertReportID(id, Command.Header, Command.Header);
    auto param = MakeReport(id, WirePart(Command), n);
    // Never between another program's read request and its answer.
    const hkt::platform::DeviceTransferLock oneAtATime;
    return HIDData.HidFindAndSetFeatureReport(*param);
}

std::uint32_t QueryFeatureCommand(TkwHIDData &HIDData, TDeviceCommand &Command, int Size, std::uint32_t ControlCode)
{
    Q_UNUSED(Size);
    Q_UNUSED(ControlCode);
    const TDeviceCommandHeader original = Command.Header;
    const std::uint32_t L = GetCommandPayloadLength(original);
    const std::uint32_t n = static_cast<std::uint32_t>(kHeaderSize) + L;
    const std::uint8_t answerId = GetReportIDBySize(n);
    // The whole answer is copied over the record: it must fit.
    if (L > kDeviceCommandPayloadSize || static_cast<std::size_t>(GetReportLengthByID(answerId)) > kWireSpan)
        return InvalidParameter;

    // The request and its answer with no other program's transfer between
    // them: the mouse answers the last request it got.
    const hkt::platform::DeviceTransferLock oneAtATime;

    // The request: report 2 with the header only.
    InsertReportID(2, original, Command.Header);
    {
        auto request = MakeReport(2, WirePart(Command), kHeaderSize);
        if (const std::uint32_t r = HIDData.HidFindAndSetFeatureReport(*request); r != 0)
            return r;
    }

    // The answer, in the report sized for the requested bytes.
    Command.Header = original;
    InsertReportID(answerId, original, Command.Header);
    auto answer = MakeReport(answerId, WirePart(Command), n);
    if (const std::uint32_t r = HIDData.HidFindAndGetFeatureReport(*answer); r != 0)
        return r;
    // A mouse that repeats the request's code, address and length before the
    // data (as this mouse does) tells its answers apart: once it has, an
    // answer with others is not this request's (another program's, fetched
    // after the lock was given up on, or nothing at all, zeros, when that
    // program fetched ours) and is no data. A mouse never seen to repeat
    // them keeps the protocol's word: bytes 8 on are the data.
    const auto *got = reinterpret_cast<const std::uint8_t *>(&answer->Data);
    if (std::memcmp(got + 1, original.Bytes, kEchoedHeaderBytes) == 0)
        HIDData.NoteAnswersRepeatRequests();
    else if (HIDData.AnswersRepeatRequests())
        return InvalidData;
    std::memcpy(WirePart(Command), &answer->Data, answer->Data.DATASIZE);
    RemoveReportID(Command.Header, Command.Header);
    return 0;
}
