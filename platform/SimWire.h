#pragma once
// The socket protocol between hkt75-vmouse (the simulated mouse daemon) and
// its clients: the sim HID backend of both programs and the daemon's own
// command line. Shared by platform/ and sim/ so neither includes the other's
// internals.
//
// Transport: an AF_UNIX SOCK_SEQPACKET socket, so every message arrives whole.
// A message is a 12-byte header (type, status, argument; little-endian) and a
// body. Requests get exactly one reply on the same connection; the daemon
// also pushes INPUT and GONE to connections that opened the device, and
// ARRIVAL/REMOVAL to connections that asked to WATCH. A client therefore
// keeps pushed messages aside while it waits for a reply.

#include "platform/HidBackend.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

namespace hkt::platform::simwire {

enum class Type : std::uint8_t {
    // Device requests (backend -> daemon) and their replies.
    Enumerate = 1,   // -> Interfaces (body: the present interfaces; none when unplugged)
    Open = 2,        // arg collection, body path -> Result (status 0 or 1167)
    SetFeature = 3,  // body report -> Result
    GetFeature = 4,  // arg length, body the report ID -> Feature (body the answer)
    Write = 5,       // body report -> Result
    Watch = 6,       // -> Result; then Arrival/Removal pushes
    // Control requests (command line -> daemon).
    Press = 20,      // arg key
    Profile = 21,    // arg profile
    Dpi = 22,        // arg level
    Rate = 23,       // arg code
    Dump = 24,       // arg address, body u32 length -> Data
    Unplug = 25,
    Plug = 26,
    FailAfter = 27,  // arg transfers that still succeed; body u32 failing count (default 1)
    Log = 28,        // -> Text
    Stop = 29,
    Strict = 30,     // arg 0/1
    Violations = 31, // -> Text
    Poke = 32,       // arg address, body bytes
    // Replies.
    Result = 64,
    Interfaces = 65,
    Feature = 66,
    Data = 67,
    Text = 68,
    // Pushes (daemon -> client).
    Input = 96,      // body: the input report, ID first
    Gone = 97,       // the device this connection opened went away
    Arrival = 98,    // body: path
    Removal = 99,    // body: path
};

inline constexpr std::size_t kHeaderSize = 12;
// Largest body: a 4096-byte feature report, an enumeration or a log page.
inline constexpr std::size_t kMaxMessage = 256 * 1024;

struct Message {
    Type type = Type::Result;
    std::uint32_t status = 0;
    std::uint32_t arg = 0;
    QByteArray body;
};

inline void PutU16(QByteArray &out, std::uint16_t v)
{
    const char b[2] = {char(v & 0xFF), char(v >> 8)};
    out.append(b, 2);
}
inline void PutU32(QByteArray &out, std::uint32_t v)
{
    const char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
    out.append(b, 4);
}

inline QByteArray Encode(const Message &m)
{
    QByteArray out;
    out.reserve(int(kHeaderSize) + m.body.size());
    out.append(char(m.type));
    out.append(3, '\0');
    PutU32(out, m.status);
    PutU32(out, m.arg);
    out.append(m.body);
    return out;
}

// A bounds-checked reader of little-endian fields: any read past the end sets
// `ok` false and yields zeros, so a malformed message is rejected whole.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : b_(bytes) {}
    bool ok() const { return ok_; }
    bool atEnd() const { return pos_ == b_.size(); }
    std::uint8_t u8() { return Need(1) ? b_[pos_++] : 0; }
    std::uint16_t u16()
    {
        if (!Need(2))
            return 0;
        std::uint16_t v = std::uint16_t(b_[pos_] | (b_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
    }
    std::uint32_t u32()
    {
        if (!Need(4))
            return 0;
        std::uint32_t v = std::uint32_t(b_[pos_]) | (std::uint32_t(b_[pos_ + 1]) << 8) |
                          (std::uint32_t(b_[pos_ + 2]) << 16) | (std::uint32_t(b_[pos_ + 3]) << 24);
        pos_ += 4;
        return v;
    }
    QByteArray bytes(std::size_t n)
    {
        if (!Need(n))
            return {};
        QByteArray v(reinterpret_cast<const char *>(b_.data() + pos_), qsizetype(n));
        pos_ += n;
        return v;
    }
    QString str() { return QString::fromUtf8(bytes(u16())); }

private:
    bool Need(std::size_t n)
    {
        if (!ok_ || b_.size() - pos_ < n) {
            ok_ = false;
            return false;
        }
        return true;
    }
    std::span<const std::uint8_t> b_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

inline std::optional<Message> Decode(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kHeaderSize)
        return std::nullopt;
    Message m;
    m.type = Type(bytes[0]);
    Reader r(bytes.subspan(4));
    m.status = r.u32();
    m.arg = r.u32();
    m.body = QByteArray(reinterpret_cast<const char *>(bytes.data() + kHeaderSize), qsizetype(bytes.size() - kHeaderSize));
    return m;
}

inline void PutStr(QByteArray &out, const QString &s)
{
    QByteArray u = s.toUtf8().left(0xFFFF);
    PutU16(out, std::uint16_t(u.size()));
    out.append(u);
}

// Enumeration body: u16 count, then per interface: path, vid, pid, version,
// i32 interface number, descriptor (u32 length + bytes), u16 collection
// count, then per collection: page, usage, the three lengths, the three ID
// lists (u16 count + bytes) and the hardware IDs (u16 count + strings).
inline QByteArray EncodeInterfaces(const std::vector<HidInterfaceInfo> &ifs)
{
    QByteArray out;
    auto ids = [&out](const std::vector<std::uint8_t> &v) {
        PutU16(out, std::uint16_t(v.size()));
        for (std::uint8_t b : v)
            out.append(char(b));
    };
    PutU16(out, std::uint16_t(ifs.size()));
    for (const HidInterfaceInfo &i : ifs) {
        PutStr(out, i.path);
        PutU16(out, i.vendorId);
        PutU16(out, i.productId);
        PutU16(out, i.versionNumber);
        PutU32(out, std::uint32_t(i.interfaceNumber));
        PutU32(out, std::uint32_t(i.reportDescriptor.size()));
        out.append(i.reportDescriptor);
        PutU16(out, std::uint16_t(i.collections.size()));
        for (const HidCollectionInfo &c : i.collections) {
            PutU16(out, c.usagePage);
            PutU16(out, c.usage);
            PutU16(out, c.inputReportByteLength);
            PutU16(out, c.outputReportByteLength);
            PutU16(out, c.featureReportByteLength);
            ids(c.inputReportIds);
            ids(c.outputReportIds);
            ids(c.featureReportIds);
            PutU16(out, std::uint16_t(c.hardwareIds.size()));
            for (const QString &h : c.hardwareIds)
                PutStr(out, h);
        }
    }
    return out;
}

inline std::optional<std::vector<HidInterfaceInfo>> DecodeInterfaces(const QByteArray &body)
{
    Reader r(std::span(reinterpret_cast<const std::uint8_t *>(body.constData()), std::size_t(body.size())));
    auto ids = [&r]() {
        std::vector<std::uint8_t> v(r.u16());
        for (auto &b : v)
            b = r.u8();
        return v;
    };
    std::vector<HidInterfaceInfo> out;
    const std::uint16_t n = r.u16();
    for (std::uint16_t k = 0; k < n && r.ok(); ++k) {
        HidInterfaceInfo i;
        i.path = r.str();
        i.vendorId = r.u16();
        i.productId = r.u16();
        i.versionNumber = r.u16();
        i.interfaceNumber = int(r.u32());
        i.reportDescriptor = r.bytes(r.u32());
        const std::uint16_t nc = r.u16();
        for (std::uint16_t j = 0; j < nc && r.ok(); ++j) {
            HidCollectionInfo c;
            c.usagePage = r.u16();
            c.usage = r.u16();
            c.inputReportByteLength = r.u16();
            c.outputReportByteLength = r.u16();
            c.featureReportByteLength = r.u16();
            c.inputReportIds = ids();
            c.outputReportIds = ids();
            c.featureReportIds = ids();
            const std::uint16_t nh = r.u16();
            for (std::uint16_t h = 0; h < nh && r.ok(); ++h)
                c.hardwareIds << r.str();
            i.collections.push_back(std::move(c));
        }
        out.push_back(std::move(i));
    }
    if (!r.ok() || !r.atEnd())
        return std::nullopt;
    return out;
}

// The daemon's socket when none is named: "vmouse.sock" in the suite's
// per-user runtime folder. Empty when that folder is not usable.
QString DefaultSocketPath();

// Connects a SOCK_SEQPACKET, close-on-exec socket to `path`; -1 on failure.
// The peer must run as this user (checked with SO_PEERCRED).
int Connect(const QString &path);
// Sends one message whole; false on failure (including a full socket when
// `dontWait`).
bool Send(int fd, const Message &m, bool dontWait = false);
// Receives one message, waiting at most `timeoutMs` (-1 forever). nullopt on
// timeout, error, end of stream or a malformed message; `closed` tells the
// end-of-stream and error cases from a timeout.
std::optional<Message> Receive(int fd, int timeoutMs, bool *closed = nullptr);

} // namespace hkt::platform::simwire
