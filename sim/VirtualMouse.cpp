#include "sim/VirtualMouse.h"

#include "sim/DeviceIdentity.h"

#include "core/FactoryDefaults.h"
#include "core/pubunit_device_commands.h"
#include "core/pubunit_device_encoders.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace hkt::sim {

namespace {

std::string Format(const char *fmt, unsigned a = 0, unsigned b = 0, unsigned c = 0)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, fmt, a, b, c);
    return buf;
}

// Command codes the firmware knows.
enum : std::uint8_t { kRefresh = 1, kWrite = 2, kRead = 3, kLight = 4, kLift = 5, kWriteState = 6 };

// Header bytes 1..6 that carry arguments, per short command; the rest must be 0.
int ShortArgs(std::uint8_t code)
{
    switch (code) {
    case kRefresh: return 2;
    case kLight: return 5;
    case kLift: return 1;
    case kWriteState: return 1;
    default: return 0;
    }
}

bool ValidRateCode(std::uint8_t c) { return c == 1 || c == 2 || c == 4 || c == 8; }

} // namespace

std::string MapRegionOf(std::uint32_t addr, std::uint32_t len)
{
    if (len == 0)
        return {};
    const std::uint64_t end = std::uint64_t(addr) + len;
    auto inside = [&](std::uint32_t base, std::uint32_t size) { return addr >= base && end <= base + size; };
    if (inside(kActiveProfileAddr, 1))
        return "active profile";
    for (int p = 0; p < kProfiles; ++p) {
        if (inside(RateAddr(p), 1))
            return Format("rate code of profile %u", unsigned(p));
        if (inside(DpiTableAddr(p), kDpiTableSize))
            return Format("DPI table of profile %u", unsigned(p));
        if (inside(ButtonMapAddr(p), kButtonMapSize))
            return Format("button map of profile %u", unsigned(p));
        if (inside(LightAddr(p), kLightSize))
            return Format("light block of profile %u", unsigned(p));
    }
    for (int m = 0; m < kMacroSlots; ++m)
        if (inside(MacroSlotAddr(m), kMacroSlotSize))
            return Format("macro slot %u", unsigned(m));
    return {};
}

namespace {

// The sim's own map agrees with the one the suite writes to.
static_assert(kActiveProfileAddr == ACTIVE_PROFILE_ADDRESS && MacroSlotAddr(1) == MACRO_AREA_BASE + MACRO_SLOT_DISTANCE);
static_assert(RateAddr(4) == ReportRateAddress(4) && DpiTableAddr(4) == CPITableAddress(4) &&
              ButtonMapAddr(4) == ButtonMapAddress(4) && LightAddr(4) == LEDConfigAddress(4));
static_assert(kDpiTableSize == sizeof(TDeviceCPITable) && kButtonMapSize == sizeof(TDeviceButtonMap) &&
              kLightSize == sizeof(TDeviceLEDBlock) && kMacroSlotSize == MACRO_SLOT_BYTES &&
              kProfiles == PROFILE_COUNT && kMacroSlots == MACRO_LIST_CAPACITY);

template <class T>
void Put(std::vector<std::uint8_t> &mem, std::uint16_t addr, const T &image)
{
    std::memcpy(&mem[addr], &image, sizeof image);
}

// The memory a mouse leaves the factory with: each profile's images exactly
// as APPLY would write the suite's factory profile of that index, an empty
// macro area (no factory profile has a macro button, so APPLY writes no
// slot), and profile 0 active: the first, the one the factory profile-group
// record names (a window starts on whatever profile the mouse is on). APPLY
// writes only the profiles the window marked, so what it leaves alone must
// already be what a fresh window shows.
//
// Built from the suite's own factory defaults and encoders rather than from
// a table of our own: the model otherwise follows only the protocol, but
// this memory is by definition "what the suite's encoders make of its
// factory profiles", and a copy would drift from them unnoticed. The
// encoders themselves are held to hand-worked bytes by their own tests.
std::vector<std::uint8_t> BuildFactoryMemory()
{
    std::vector<std::uint8_t> mem(kMemorySize, 0);
    // A store with nothing to load starts as a zero record before its
    // defaults are written; the records are too large for a stack.
    auto profile = std::make_unique<TMouseProfileInfo>();
    for (int p = 0; p < kProfiles; ++p) {
        std::memset(static_cast<void *>(profile.get()), 0, sizeof(TMouseProfileInfo));
        RestoreProfileDefaults(*profile, p);
        TProfileDeviceImages images;
        EncodeProfileDeviceImages(*profile, images);
        Put(mem, ButtonMapAddr(p), images.Buttons);
        Put(mem, LightAddr(p), images.Light);
        Put(mem, DpiTableAddr(p), images.CPI);
        mem[RateAddr(p)] = images.RateCode;
    }
    mem[kActiveProfileAddr] = 0;
    return mem;
}

} // namespace

const std::vector<std::uint8_t> &FactoryMemory()
{
    // Built once: fuzzers and tests make many mice.
    static const std::vector<std::uint8_t> memory = BuildFactoryMemory();
    return memory;
}

VirtualMouse::VirtualMouse() : mem_(FactoryMemory()) {}

void VirtualMouse::LogLocked(LogKind kind, std::uint32_t status, std::span<const std::uint8_t> bytes)
{
    ++seq_;
    if (logCapacity_ == 0)
        return;
    LogEntry e{seq_, kind, status, std::vector<std::uint8_t>(bytes.begin(), bytes.end())};
    if (log_.size() < logCapacity_) {
        log_.push_back(std::move(e));
    } else {
        log_[logStart_] = std::move(e);
        logStart_ = (logStart_ + 1) % logCapacity_;
    }
}

void VirtualMouse::ViolateLocked(std::string what)
{
    if (strict_)
        violations_.push_back({seq_, std::move(what)});
}

bool VirtualMouse::ConsumeFailureLocked()
{
    if (failCount_ == 0)
        return false;
    if (failSkip_ > 0) {
        --failSkip_;
        return false;
    }
    --failCount_;
    return true;
}

std::uint32_t VirtualMouse::SetFeature(std::span<const std::uint8_t> report)
{
    std::lock_guard lock(m_);
    if (!plugged_) {
        LogLocked(LogKind::SetFeature, kNotConnected, report);
        return kNotConnected;
    }
    if (report.empty()) {
        LogLocked(LogKind::SetFeature, kInvalidParameter, report);
        ViolateLocked("empty feature report");
        return kInvalidParameter;
    }
    if (ConsumeFailureLocked()) {
        LogLocked(LogKind::SetFeature, kGenFailure, report);
        return kGenFailure;
    }
    const std::uint8_t id = report[0];
    const std::size_t expected = FeatureReportLength(id);
    if (expected == 0) {
        // A report ID the descriptor does not declare: the device stalls.
        LogLocked(LogKind::SetFeature, kGenFailure, report);
        ViolateLocked(Format("SetFeature of report ID %u, which the device does not have", id));
        return kGenFailure;
    }
    if (report.size() > expected) {
        LogLocked(LogKind::SetFeature, kGenFailure, report);
        ViolateLocked(Format("report %u sent with %u bytes, longer than its %u", id,
                             unsigned(report.size()), unsigned(expected)));
        return kGenFailure;
    }
    LogLocked(LogKind::SetFeature, kOk, report);
    ++stats_.setReports;
    stats_.setBytes += report.size();
    if (report.size() != expected)
        ViolateLocked(Format("report %u sent with %u bytes instead of %u", id, unsigned(report.size()),
                             unsigned(expected)));
    HandleCommandLocked(report);
    return kOk;
}

void VirtualMouse::HandleCommandLocked(std::span<const std::uint8_t> report)
{
    // Wire bytes 1..7 are header bytes 0..6; a short report reads as zeros.
    std::uint8_t h[7] = {};
    for (std::size_t i = 0; i < 7 && i + 1 < report.size(); ++i)
        h[i] = report[i + 1];
    const std::uint8_t id = report[0];
    const std::uint8_t code = h[0];
    const std::uint8_t code7 = code & 0x7F;
    std::uint32_t len = 0;
    if (code7 == kWrite || code7 == kRead)
        len = h[3] | (std::uint32_t(h[4]) << 8);
    else if (code7 == 0)
        len = h[2];

    if (code < kRefresh || code > kWriteState) {
        ViolateLocked(Format("unknown command code 0x%02X", code));
        return;
    }

    // The report the host should have chosen for this content.
    std::size_t contentEnd = 8;
    if (code == kWrite) {
        if (len > 2048)
            ViolateLocked(Format("write payload of %u bytes, above 2048", len));
        contentEnd = 8 + len;
    }
    const std::uint8_t wantId = FeatureReportForContent(contentEnd);
    if (wantId != 0 && wantId != id)
        ViolateLocked(Format("command %u with %u content bytes sent in report %u", code,
                             unsigned(contentEnd), id) +
                      Format(" instead of report %u", wantId));

    if (code == kWrite || code == kRead) {
        if (h[5] != 0xFA || h[6] != 0xFA)
            ViolateLocked(Format("memory command %u without the FA FA marker (%02X %02X)", code, h[5], h[6]));
    } else {
        for (int i = 1 + ShortArgs(code); i < 7; ++i)
            if (h[i] != 0) {
                ViolateLocked(Format("command %u: header byte %u is 0x%02X, not zero", code, unsigned(i), h[i]));
                break;
            }
    }
    for (std::size_t i = contentEnd; i < report.size(); ++i)
        if (report[i] != 0) {
            ViolateLocked(Format("non-zero padding 0x%02X at byte %u of report %u", report[i], unsigned(i), id));
            break;
        }

    const std::uint16_t addr = static_cast<std::uint16_t>(h[1] | (h[2] << 8));
    switch (code) {
    case kRefresh:
        ++live_.refreshCount;
        live_.lastRefresh[0] = h[1];
        live_.lastRefresh[1] = h[2];
        break;
    case kLight:
        std::memcpy(live_.liveLight, &h[1], 5);
        live_.liveLightSet = true;
        break;
    case kLift:
        live_.liftOff = h[1];
        break;
    case kWriteState:
        live_.writeState = h[1];
        break;
    case kRead:
        if (len == 0)
            ViolateLocked("read request of 0 bytes");
        else if (MapRegionOf(addr, len).empty())
            ViolateLocked(Format("read of %u bytes at 0x%04X, outside the memory map", len, addr));
        readPending_ = true;
        readAddr_ = addr;
        readLen_ = static_cast<std::uint16_t>(std::min<std::uint32_t>(len, kMaxFeatureLength - 8));
        std::memcpy(readHeader_, h, 7);
        break;
    case kWrite: {
        if (len == 0) {
            ViolateLocked(Format("write of 0 bytes at 0x%04X", addr));
            break;
        }
        const std::string region = MapRegionOf(addr, len);
        if (region.empty())
            ViolateLocked(Format("write of %u bytes at 0x%04X, outside the memory map", len, addr));
        const std::size_t avail = report.size() > 8 ? report.size() - 8 : 0;
        if (len > avail)
            ViolateLocked(Format("write of %u bytes does not fit report %u", len, id));
        const std::size_t n = std::min<std::size_t>({len, avail, kMemorySize - addr});
        const std::uint8_t *data = report.data() + 8;
        if (addr == kActiveProfileAddr && n >= 1 && data[0] > 4)
            ViolateLocked(Format("active profile %u written, outside 0..4", data[0]));
        if (addr >= RateAddr(0) && addr <= RateAddr(kProfiles - 1) && n >= 1 && !ValidRateCode(data[0]))
            ViolateLocked(Format("polling-rate code %u written, not 1, 2, 4 or 8", data[0]));
        if (region.rfind("macro slot", 0) == 0 && (len % 3 != 0 || len < 3))
            ViolateLocked(Format("macro slot write of %u bytes, not whole 3-byte steps", len));
        std::memcpy(&mem_[addr], data, n);
        break;
    }
    default:
        break;
    }
}

std::uint32_t VirtualMouse::GetFeature(std::span<std::uint8_t> report, std::size_t *received)
{
    std::lock_guard lock(m_);
    if (received)
        *received = 0;
    if (!plugged_) {
        LogLocked(LogKind::GetFeature, kNotConnected, {});
        return kNotConnected;
    }
    if (report.empty()) {
        LogLocked(LogKind::GetFeature, kInvalidParameter, {});
        ViolateLocked("GetFeature with an empty buffer");
        return kInvalidParameter;
    }
    if (ConsumeFailureLocked()) {
        LogLocked(LogKind::GetFeature, kGenFailure, report.first(1));
        return kGenFailure;
    }
    const std::uint8_t id = report[0];
    const std::size_t expected = FeatureReportLength(id);
    if (expected == 0) {
        LogLocked(LogKind::GetFeature, kGenFailure, report.first(1));
        ViolateLocked(Format("GetFeature of report ID %u, which the device does not have", id));
        return kGenFailure;
    }
    // The answer is the report at its own length; the host receives what fits.
    std::vector<std::uint8_t> answer(expected, 0);
    answer[0] = id;
    bool noRequest = false;
    if (readPending_) {
        std::memcpy(&answer[1], readHeader_, 7);
        const std::size_t n = std::min<std::size_t>(readLen_, expected - 8);
        const std::size_t fromMem = std::min<std::size_t>(n, kMemorySize - readAddr_);
        std::memcpy(&answer[8], &mem_[readAddr_], fromMem);
    } else {
        noRequest = true;
    }
    const std::size_t copied = std::min(report.size(), answer.size());
    std::memcpy(report.data(), answer.data(), copied);
    if (received)
        *received = copied;
    LogLocked(LogKind::GetFeature, kOk, std::span<const std::uint8_t>(answer.data(), copied));
    ++stats_.getReports;
    stats_.getBytes += copied;
    if (report.size() != expected)
        ViolateLocked(Format("GetFeature of report %u with %u bytes instead of %u", id,
                             unsigned(report.size()), unsigned(expected)));
    if (noRequest) {
        ViolateLocked(Format("GetFeature of report %u without a read request", id));
    } else {
        const std::uint8_t wantId = FeatureReportForContent(8 + std::size_t(readLen_));
        if (wantId != id)
            ViolateLocked(Format("answer to a read of %u bytes fetched as report %u instead of %u", readLen_, id,
                                 wantId));
        readPending_ = false;
    }
    return kOk;
}

int VirtualMouse::ActiveProfileLocked() const
{
    const int p = mem_[kActiveProfileAddr];
    return p < kProfiles ? p : 0;
}

void VirtualMouse::QueueInputLocked(std::vector<MouseEvent> &events, std::uint8_t b0, std::uint8_t b1,
                                    std::uint8_t b2, std::uint8_t b3)
{
    MouseEvent ev;
    ev.type = MouseEvent::Type::Input;
    ev.bytes = {b0, b1, b2, b3, 0, 0, 0, 0};
    LogLocked(LogKind::Input, kOk, ev.bytes);
    ++stats_.inputReports;
    events.push_back(std::move(ev));
}

void VirtualMouse::FirmwareButtonLocked(int key, std::vector<MouseEvent> &events)
{
    if (key >= 14)
        return;
    const int p = ActiveProfileLocked();
    const std::uint8_t *map = &mem_[ButtonMapAddr(p)];
    if (key >= std::min<int>(map[0], 14))
        return;
    std::uint8_t *dpi = &mem_[DpiTableAddr(p)];
    const int levels = std::clamp<int>(dpi[0], 1, 5);
    const int level = std::min<int>(dpi[1], levels - 1);
    static const std::uint8_t kRates[4] = {8, 4, 2, 1}; // slow to fast
    auto rateIndex = [](std::uint8_t c) {
        for (int i = 0; i < 4; ++i)
            if (kRates[i] == c)
                return i;
        return 1; // an unknown code reads as 250 Hz
    };
    switch (map[1 + 4 * key]) {
    case 13: {
        const int next = (p + 1) % kProfiles;
        mem_[kActiveProfileAddr] = static_cast<std::uint8_t>(next);
        QueueInputLocked(events, kSettingReport, 1, static_cast<std::uint8_t>(next), 0);
        break;
    }
    case 8:
    case 9:
    case 10: {
        const std::uint8_t code = map[1 + 4 * key];
        int nl = code == 8 ? (level + 1) % levels : code == 9 ? std::max(level - 1, 0) : std::min(level + 1, levels - 1);
        dpi[1] = static_cast<std::uint8_t>(nl);
        QueueInputLocked(events, kSettingReport, 2, static_cast<std::uint8_t>(nl), 0);
        break;
    }
    case 23:
    case 24: {
        const int i = rateIndex(mem_[RateAddr(p)]);
        const int ni = map[1 + 4 * key] == 23 ? std::min(i + 1, 3) : std::max(i - 1, 0);
        mem_[RateAddr(p)] = kRates[ni];
        QueueInputLocked(events, kSettingReport, 6, kRates[ni], 0);
        break;
    }
    default:
        break;
    }
}

bool VirtualMouse::Press(int key)
{
    if (key < 0 || key > 23)
        return false;
    std::vector<MouseEvent> events;
    {
        std::lock_guard lock(m_);
        if (!plugged_)
            return false;
        const std::uint32_t mask = 1u << key;
        QueueInputLocked(events, kKeyReport, mask & 0xFF, (mask >> 8) & 0xFF, (mask >> 16) & 0xFF);
        FirmwareButtonLocked(key, events);
        QueueInputLocked(events, kKeyReport, 0, 0, 0); // release
    }
    Deliver(events);
    return true;
}

bool VirtualMouse::SetProfile(int profile)
{
    if (profile < 0 || profile >= kProfiles)
        return false;
    std::vector<MouseEvent> events;
    {
        std::lock_guard lock(m_);
        if (!plugged_)
            return false;
        mem_[kActiveProfileAddr] = static_cast<std::uint8_t>(profile);
        QueueInputLocked(events, kSettingReport, 1, static_cast<std::uint8_t>(profile), 0);
    }
    Deliver(events);
    return true;
}

bool VirtualMouse::SetDpiLevel(int level)
{
    if (level < 0 || level > 4)
        return false;
    std::vector<MouseEvent> events;
    {
        std::lock_guard lock(m_);
        if (!plugged_)
            return false;
        mem_[DpiTableAddr(ActiveProfileLocked()) + 1] = static_cast<std::uint8_t>(level);
        QueueInputLocked(events, kSettingReport, 2, static_cast<std::uint8_t>(level), 0);
    }
    Deliver(events);
    return true;
}

bool VirtualMouse::SetRateCode(int code)
{
    if (code < 0 || code > 255 || !ValidRateCode(static_cast<std::uint8_t>(code)))
        return false;
    std::vector<MouseEvent> events;
    {
        std::lock_guard lock(m_);
        if (!plugged_)
            return false;
        mem_[RateAddr(ActiveProfileLocked())] = static_cast<std::uint8_t>(code);
        QueueInputLocked(events, kSettingReport, 6, static_cast<std::uint8_t>(code), 0);
    }
    Deliver(events);
    return true;
}

void VirtualMouse::Unplug()
{
    std::vector<MouseEvent> events;
    {
        std::lock_guard lock(m_);
        if (!plugged_)
            return;
        plugged_ = false;
        readPending_ = false;
        LogLocked(LogKind::Unplug, kOk, {});
        events.push_back({MouseEvent::Type::Unplugged, {}});
    }
    Deliver(events);
}

void VirtualMouse::Plug()
{
    std::vector<MouseEvent> events;
    {
        std::lock_guard lock(m_);
        if (plugged_)
            return;
        plugged_ = true;
        LogLocked(LogKind::Plug, kOk, {});
        events.push_back({MouseEvent::Type::Plugged, {}});
    }
    Deliver(events);
}

bool VirtualMouse::Plugged() const
{
    std::lock_guard lock(m_);
    return plugged_;
}

void VirtualMouse::FailAfter(std::uint32_t succeeding, std::uint32_t failing)
{
    std::lock_guard lock(m_);
    failSkip_ = succeeding;
    failCount_ = failing;
}

std::vector<std::uint8_t> VirtualMouse::Dump(std::uint32_t addr, std::uint32_t len) const
{
    std::lock_guard lock(m_);
    if (addr >= kMemorySize)
        return {};
    const std::size_t n = std::min<std::size_t>(len, kMemorySize - addr);
    return std::vector<std::uint8_t>(mem_.begin() + addr, mem_.begin() + addr + n);
}

void VirtualMouse::Poke(std::uint32_t addr, std::span<const std::uint8_t> bytes)
{
    std::lock_guard lock(m_);
    if (addr >= kMemorySize)
        return;
    const std::size_t n = std::min<std::size_t>(bytes.size(), kMemorySize - addr);
    std::memcpy(&mem_[addr], bytes.data(), n);
}

VirtualMouse::LiveState VirtualMouse::Live() const
{
    std::lock_guard lock(m_);
    return live_;
}

void VirtualMouse::SetStrict(bool on)
{
    std::lock_guard lock(m_);
    strict_ = on;
}

std::vector<Violation> VirtualMouse::Violations() const
{
    std::lock_guard lock(m_);
    return violations_;
}

void VirtualMouse::ClearViolations()
{
    std::lock_guard lock(m_);
    violations_.clear();
}

std::vector<LogEntry> VirtualMouse::Log() const
{
    std::lock_guard lock(m_);
    std::vector<LogEntry> out;
    out.reserve(log_.size());
    for (std::size_t i = 0; i < log_.size(); ++i)
        out.push_back(log_[(logStart_ + i) % log_.size()]);
    return out;
}

void VirtualMouse::ClearLog()
{
    std::lock_guard lock(m_);
    log_.clear();
    logStart_ = 0;
}

void VirtualMouse::SetLogCapacity(std::size_t entries)
{
    std::lock_guard lock(m_);
    std::vector<LogEntry> ordered;
    for (std::size_t i = 0; i < log_.size(); ++i)
        ordered.push_back(std::move(log_[(logStart_ + i) % log_.size()]));
    if (ordered.size() > entries)
        ordered.erase(ordered.begin(), ordered.end() - static_cast<std::ptrdiff_t>(entries));
    log_ = std::move(ordered);
    logStart_ = 0;
    logCapacity_ = entries;
}

TransferStats VirtualMouse::Stats() const
{
    std::lock_guard lock(m_);
    return stats_;
}

int VirtualMouse::AddListener(std::function<void(const MouseEvent &)> fn)
{
    std::lock_guard lock(listenersM_);
    const int id = nextListener_++;
    listeners_.emplace_back(id, std::move(fn));
    return id;
}

void VirtualMouse::RemoveListener(int id)
{
    // Taking the listener lock waits for a delivery in progress, so a removed
    // listener is never called after this returns.
    std::lock_guard lock(listenersM_);
    std::erase_if(listeners_, [id](const auto &l) { return l.first == id; });
}

void VirtualMouse::Deliver(std::vector<MouseEvent> &events)
{
    if (events.empty())
        return;
    std::lock_guard lock(listenersM_);
    for (const MouseEvent &ev : events)
        for (auto &l : listeners_)
            l.second(ev);
}

} // namespace hkt::sim
