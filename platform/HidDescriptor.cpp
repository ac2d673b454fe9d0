#include "platform/HidDescriptor.h"

#include <algorithm>
#include <map>
#include <utility>

namespace hkt::platform {

namespace {

struct Globals {
    std::uint32_t usagePage = 0;
    std::int32_t logicalMin = 0;
    std::int32_t logicalMax = 0;
    std::uint32_t logicalMaxRaw = 0;
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint8_t reportId = 0;
};

// A usage as written. A 4-byte usage carries its own page; a shorter one
// takes the usage page in force when it is declared (a Usage Page item may
// stand between the usages of one main item), as the kernel's parser does.
struct LocalUsage {
    std::uint32_t value = 0;
    bool extended = false;
    std::uint32_t page = 0;  // for a short usage: the page it took

    std::uint32_t resolved() const { return extended ? value : ((page & 0xFFFFu) << 16) | (value & 0xFFFFu); }
};

struct Locals {
    std::vector<LocalUsage> usages;
    LocalUsage usageMin;
    LocalUsage usageMax;
    bool hasMin = false;
    bool hasMax = false;
    bool overflow = false;
    // Where the usage range was declared among the usages (for the pass
    // below): after usages[0 .. rangeAt).
    std::size_t rangeAt = 0;

    void clear() { *this = Locals{}; }

    // The kernel's rule at each main item: short usages declared before the
    // last Usage Page item, that is the trailing ones whose page differs from
    // the page now in force, take that page (descriptors that give the page
    // after their usages rely on it); the walk back stops at the first short
    // usage that already has it.
    void concatenateLastPage(std::uint32_t page)
    {
        const bool range = hasMin && hasMax;
        for (std::size_t i = usages.size() + (range ? 1 : 0); i-- > 0;) {
            const bool isRange = range && i == rangeAt;
            const std::size_t u = range && i > rangeAt ? i - 1 : i;
            LocalUsage &probe = isRange ? usageMax : usages[u];
            if (probe.extended)
                continue;
            if (probe.page == page)
                break;
            if (isRange) {
                usageMin.page = page;
                usageMax.page = page;
            } else {
                probe.page = page;
            }
        }
    }
};

std::int32_t SignedValue(std::uint32_t raw, std::uint32_t size)
{
    switch (size) {
    case 1: return static_cast<std::int8_t>(raw);
    case 2: return static_cast<std::int16_t>(raw);
    case 4: return static_cast<std::int32_t>(raw);
    default: return 0;
    }
}

// Windows' rule for the report-ID byte: every buffer carries it, so each
// length is the report's data bytes plus one.
std::uint16_t ByteLength(std::uint64_t bits)
{
    return static_cast<std::uint16_t>((bits + 7) / 8 + 1);
}

} // namespace

std::optional<HidParsedDescriptor> ParseHidDescriptor(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() > kHidMaxDescriptorSize)
        return std::nullopt;

    HidParsedDescriptor out;
    Globals g;
    std::vector<Globals> stack;
    Locals l;
    int depth = 0;
    int currentTlc = -1;
    // Bits so far per (kind, report ID): where the next field starts.
    std::map<std::pair<HidReportKind, std::uint8_t>, std::uint64_t> reportBits;

    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::uint8_t prefix = bytes[pos];
        if (prefix == 0xFE) {  // long item: skipped, as no standard one exists
            if (pos + 2 >= bytes.size())
                return std::nullopt;
            const std::size_t size = bytes[pos + 1];
            if (pos + 3 + size > bytes.size())
                return std::nullopt;
            pos += 3 + size;
            continue;
        }
        const std::uint32_t size = (prefix & 3u) == 3u ? 4u : (prefix & 3u);
        const std::uint32_t type = (prefix >> 2) & 3u;
        const std::uint32_t tag = prefix >> 4;
        if (pos + 1 + size > bytes.size())
            return std::nullopt;
        std::uint32_t raw = 0;
        for (std::uint32_t i = 0; i < size; ++i)
            raw |= std::uint32_t(bytes[pos + 1 + i]) << (8 * i);
        pos += 1 + size;

        if (type == 0) {  // main
            l.concatenateLastPage(g.usagePage);
            if (tag == 0x8 || tag == 0x9 || tag == 0xB) {
                const HidReportKind kind = tag == 0x8 ? HidReportKind::Input
                                           : tag == 0x9 ? HidReportKind::Output
                                                        : HidReportKind::Feature;
                if (l.overflow)
                    return std::nullopt;
                const std::uint64_t fieldBits = std::uint64_t(g.reportSize) * g.reportCount;
                auto &bits = reportBits[{kind, g.reportId}];
                if (bits + fieldBits > std::uint64_t(kHidMaxReportBytes - 1) * 8)
                    return std::nullopt;
                if (fieldBits > 0) {
                    if (out.fields.size() >= kHidMaxFields)
                        return std::nullopt;
                    HidReportField f;
                    f.kind = kind;
                    f.reportId = g.reportId;
                    f.collection = depth > 0 ? currentTlc : -1;
                    f.bitOffset = static_cast<std::uint32_t>(bits);
                    f.bitSize = g.reportSize;
                    f.count = g.reportCount;
                    f.flags = raw;
                    f.logicalMin = g.logicalMin;
                    // A non-negative minimum with a maximum that reads negative is
                    // the common unsigned shorthand (0 .. 0xFF written as 25 FF).
                    f.logicalMax = (g.logicalMin >= 0 && g.logicalMax < g.logicalMin)
                                       ? static_cast<std::int32_t>(std::min<std::uint32_t>(g.logicalMaxRaw, 0x7FFFFFFF))
                                       : g.logicalMax;
                    for (const LocalUsage &u : l.usages)
                        f.usages.push_back(u.resolved());
                    if (l.hasMin && l.hasMax) {
                        f.hasRange = true;
                        f.usageMin = l.usageMin.resolved();
                        f.usageMax = l.usageMax.resolved();
                    }
                    out.fields.push_back(std::move(f));
                }
                bits += fieldBits;
            } else if (tag == 0xA) {  // collection
                if (depth >= kHidMaxNesting)
                    return std::nullopt;
                if (depth == 0) {
                    HidCollectionInfo c;
                    std::uint32_t usage = 0;
                    if (!l.usages.empty())
                        usage = l.usages.front().resolved();
                    else if (l.hasMin)
                        usage = l.usageMin.resolved();
                    else
                        usage = (g.usagePage & 0xFFFFu) << 16;
                    c.usagePage = static_cast<std::uint16_t>(usage >> 16);
                    c.usage = static_cast<std::uint16_t>(usage & 0xFFFFu);
                    c.application = raw == 0x01;
                    out.collections.push_back(std::move(c));
                    currentTlc = static_cast<int>(out.collections.size()) - 1;
                }
                ++depth;
            } else if (tag == 0xC) {  // end collection
                if (depth == 0)
                    return std::nullopt;
                --depth;
            }
            l.clear();
        } else if (type == 1) {  // global
            switch (tag) {
            case 0x0: g.usagePage = raw; break;
            case 0x1: g.logicalMin = SignedValue(raw, size); break;
            case 0x2:
                g.logicalMax = SignedValue(raw, size);
                g.logicalMaxRaw = raw;
                break;
            case 0x7:
                if (raw > 256)  // wider than any HID value; a fuzzed or broken descriptor
                    return std::nullopt;
                g.reportSize = raw;
                break;
            case 0x8:
                if (raw == 0 || raw > 0xFF)  // report ID 0 is reserved for "no IDs"
                    return std::nullopt;
                g.reportId = static_cast<std::uint8_t>(raw);
                out.usesReportIds = true;
                break;
            case 0x9:
                if (raw > kHidMaxReportBytes * 8u)
                    return std::nullopt;
                g.reportCount = raw;
                break;
            case 0xA:
                if (stack.size() >= static_cast<std::size_t>(kHidMaxNesting))
                    return std::nullopt;
                stack.push_back(g);
                break;
            case 0xB:
                if (stack.empty())
                    return std::nullopt;
                g = stack.back();
                stack.pop_back();
                break;
            default: break;  // physical range, units: no bearing on sizes or usages
            }
        } else if (type == 2) {  // local
            const LocalUsage u{raw, size == 4, g.usagePage};
            switch (tag) {
            case 0x0:
                if (l.usages.size() >= kHidMaxUsagesPerField)
                    l.overflow = true;
                else
                    l.usages.push_back(u);
                break;
            case 0x1: l.usageMin = u; l.hasMin = true; break;
            case 0x2:
                // The kernel completes a range when its maximum is declared.
                l.usageMax = u;
                l.hasMax = true;
                l.usageMin.page = g.usagePage;
                l.rangeAt = l.usages.size();
                break;
            default: break;  // designators, strings, delimiters
            }
        }
        // type 3 (reserved) items are skipped by their size.
    }

    // A collection still open at the end: the descriptor was cut short or is
    // broken, and the kernel refuses it too.
    if (depth != 0)
        return std::nullopt;

    // Per collection: the IDs it uses and its longest report of each kind.
    for (std::size_t c = 0; c < out.collections.size(); ++c) {
        HidCollectionInfo &info = out.collections[c];
        for (const HidReportField &f : out.fields) {
            if (f.collection != static_cast<int>(c))
                continue;
            const std::uint16_t len = ByteLength(reportBits[{f.kind, f.reportId}]);
            std::uint16_t *length = nullptr;
            std::vector<std::uint8_t> *ids = nullptr;
            switch (f.kind) {
            case HidReportKind::Input: length = &info.inputReportByteLength; ids = &info.inputReportIds; break;
            case HidReportKind::Output: length = &info.outputReportByteLength; ids = &info.outputReportIds; break;
            case HidReportKind::Feature: length = &info.featureReportByteLength; ids = &info.featureReportIds; break;
            }
            *length = std::max(*length, len);
            if (out.usesReportIds && std::find(ids->begin(), ids->end(), f.reportId) == ids->end())
                ids->push_back(f.reportId);
        }
    }
    return out;
}

namespace {

std::uint32_t ReadBits(std::span<const std::uint8_t> data, std::uint64_t offset, std::uint32_t width)
{
    std::uint32_t value = 0;
    for (std::uint32_t i = 0; i < width && i < 32; ++i) {
        const std::uint64_t bit = offset + i;
        const std::uint64_t byte = bit / 8;
        if (byte >= data.size())
            break;
        if (data[byte] & (1u << (bit % 8)))
            value |= 1u << i;
    }
    return value;
}

// The usage of element `index` of a field, 0 when it has none.
std::uint32_t UsageAt(const HidReportField &f, std::uint64_t index)
{
    if (!f.usages.empty())
        return f.usages[std::min<std::uint64_t>(index, f.usages.size() - 1)];
    if (f.hasRange && f.usageMax >= f.usageMin) {
        const std::uint64_t u = std::uint64_t(f.usageMin) + index;
        return u <= f.usageMax ? static_cast<std::uint32_t>(u) : 0;
    }
    return 0;
}

} // namespace

std::vector<std::uint32_t> HidUsagesSetInReport(const HidParsedDescriptor &descriptor, int collection,
                                                std::span<const std::uint8_t> report,
                                                std::size_t maxUsages)
{
    std::vector<std::uint32_t> on;
    if (report.empty())
        return on;
    const std::uint8_t id = report[0];
    const auto data = report.subspan(1);
    for (const HidReportField &f : descriptor.fields) {
        if (f.kind != HidReportKind::Input || f.collection != collection || !f.isButton())
            continue;
        if (descriptor.usesReportIds && f.reportId != id)
            continue;
        for (std::uint32_t i = 0; i < f.count && on.size() < maxUsages; ++i) {
            const std::uint64_t offset = std::uint64_t(f.bitOffset) + std::uint64_t(i) * f.bitSize;
            std::uint32_t usage = 0;
            if (f.isVariable()) {
                if (ReadBits(data, offset, 1))
                    usage = UsageAt(f, i);
            } else {
                std::int64_t v = ReadBits(data, offset, f.bitSize);
                if (f.logicalMin < 0 && f.bitSize > 0 && f.bitSize < 32 && (v >> (f.bitSize - 1)) & 1)
                    v -= std::int64_t(1) << f.bitSize;  // sign-extend a signed array index
                if (v >= f.logicalMin && v <= f.logicalMax)
                    usage = UsageAt(f, static_cast<std::uint64_t>(v - f.logicalMin));
            }
            if (usage & 0xFFFFu)
                on.push_back(usage);
        }
    }
    return on;
}

std::size_t HidMaxUsageListLength(const HidParsedDescriptor &descriptor, int collection)
{
    std::size_t n = 0;
    for (const HidReportField &f : descriptor.fields)
        if (f.kind == HidReportKind::Input && f.collection == collection && f.isButton())
            n += f.count;
    return n;
}

bool HidDescriptorHasCollection(std::span<const std::uint8_t> bytes, std::uint16_t usagePage, std::uint16_t usage)
{
    const std::optional<HidParsedDescriptor> d = ParseHidDescriptor(bytes);
    return d && std::any_of(d->collections.begin(), d->collections.end(),
                            [&](const HidCollectionInfo &c) { return HidCollectionIs(c, usagePage, usage); });
}

} // namespace hkt::platform
