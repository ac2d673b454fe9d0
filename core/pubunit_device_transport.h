#pragma once
// The framing layer of the mouse protocol: every command travels in one HID
// feature report on the mouse's vendor collection, and every memory read is
// one report out (the request) and one report back (the answer). The report
// ID, and with it the report's length, is chosen by the content's size; the
// report is zero-filled after the content.

#include "core/kwHIDData.h"

#include <cstddef>
#include <cstdint>

// The collection that is the mouse (usage page 0xFFA0, usage 1 once the data
// module has set it at start-up; all zero before). Main thread only.
extern USAGE_AND_PAGE HIDUsageAndPage;
// The mouse's vendor collection, which every device routine opens.
inline constexpr std::uint16_t kMouseVendorUsagePage = 0xFFA0;
inline constexpr std::uint16_t kMouseVendorUsage = 1;

// The 8-byte command header: byte 0 the command code, bytes 1..7 its
// arguments (memory commands 2 and 3: address lo, address hi, length lo,
// length hi, 0xFA, 0xFA, 0xFA). On the wire byte 7 is not sent: the report
// ID takes the first place and the header moves up by one.
struct TDeviceCommandHeader {
    std::uint8_t Bytes[8];
};
static_assert(sizeof(TDeviceCommandHeader) == 8);

// A command as the command routines fill it: three leading bytes that are
// neither read nor sent, the header, and the payload.
inline constexpr std::size_t kDeviceCommandPayloadSize = 2048;
struct TDeviceCommand {
    std::uint8_t Lead[3];  // 0x16, 0x10, 0x00
    TDeviceCommandHeader Header;
    std::uint8_t Payload[kDeviceCommandPayloadSize];
};
static_assert(sizeof(TDeviceCommand) == 2059);
static_assert(offsetof(TDeviceCommand, Header) == 3);
static_assert(offsetof(TDeviceCommand, Payload) == 11);

// The payload length a header announces, by its code (code & 0x7F): 2 and 3
// carry it in bytes 3..4 (little-endian), 0 in byte 2, every other code none.
std::uint32_t GetCommandPayloadLength(const TDeviceCommandHeader &Header);

// Report ID for content of n bytes: up to 16 -> 2, 64 -> 3, 1024 -> 4,
// 2048 -> 5, 4096 -> 6, anything larger -> 2.
std::uint8_t GetReportIDBySize(std::uint32_t n);
// Report length, ID byte included: 3 -> 64, 4 -> 1024, 5 -> 2048, 6 -> 4096,
// anything else -> 16.
int GetReportLengthByID(int ReportID);

// Block = ReportID followed by header bytes 0..6.
void InsertReportID(std::uint8_t ReportID, const TDeviceCommandHeader &Header, TDeviceCommandHeader &Block);
// Header = block bytes 1..7 followed by 0.
void RemoveReportID(const TDeviceCommandHeader &Block, TDeviceCommandHeader &Header);

// The Windows I/O control code layout; the HID transport carries it unused.
std::uint32_t MakeCtlCode(std::uint32_t DeviceType, std::uint32_t Function, std::uint32_t Method,
                          std::uint32_t Access);

// Each transfer (a command, or a read's request and answer) holds the user's
// DeviceTransferLock, so the two programs' transfers never interleave; inside
// a DeviceTransferRun the run's lock covers it and the transfer takes nothing.
//
// Sends the command in one feature report to every qualifying collection. 0
// on success, else the Windows error code (87 for a payload above 2048 bytes,
// nothing sent). Size and ControlCode are accepted and unused. Leaves the
// header in its wire form (report ID first).
std::uint32_t SendFeatureCommand(TkwHIDData &HIDData, TDeviceCommand &Command, int Size, std::uint32_t ControlCode);

// A memory read: the header goes out as a 16-byte request in report 2, then
// the answer is fetched in the report sized for 8 + L bytes and copied over
// the record from the header on; the L requested bytes are then the first L
// bytes of the payload. 0 on success, else the failing step's code. Once the
// mouse has answered a read repeating the request's code, address and length
// (answer bytes 1..5; TkwHIDData::AnswersRepeatRequests), an answer that does
// not belongs to another request: 13 (ERROR_INVALID_DATA), nothing copied,
// the header left in its report-ID form. Reads
// whose answer would need report 6 (L above 2040 bytes) don't fit the record
// and are refused with 87 before anything is sent.
std::uint32_t QueryFeatureCommand(TkwHIDData &HIDData, TDeviceCommand &Command, int Size, std::uint32_t ControlCode);
