#pragma once
// Our reader of HID report descriptors (the bytes the kernel exposes as
// sysfs report_descriptor). It computes what Windows' HidP_GetCaps gives per
// top-level collection (usage page, usage, report byte lengths) and keeps the
// button fields so that the usages set in an input report can be listed, as
// HidP_GetUsagesEx does.
//
// Every descriptor is outside input: lengths, nesting and counts are bounded,
// and a descriptor that breaks a bound is refused as a whole.

#include "platform/HidBackend.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace hkt::platform {

enum class HidReportKind : std::uint8_t { Input, Output, Feature };

// One main item (Input/Output/Feature) of a report: `count` elements of
// `bitSize` bits each, starting `bitOffset` bits after the report-ID byte.
struct HidReportField {
    HidReportKind kind = HidReportKind::Input;
    std::uint8_t reportId = 0;
    int collection = -1;        // index of the top-level collection, -1 outside any
    std::uint32_t bitOffset = 0;
    std::uint32_t bitSize = 0;
    std::uint32_t count = 0;
    std::uint32_t flags = 0;    // the main item's data bits (bit 0 constant, bit 1 variable)
    std::int32_t logicalMin = 0;
    std::int32_t logicalMax = 0;
    // Usages as page << 16 | usage. Either an explicit list (`usages`) or a
    // range [usageMin, usageMax]; the last usage repeats for extra elements.
    std::vector<std::uint32_t> usages;
    std::uint32_t usageMin = 0;
    std::uint32_t usageMax = 0;
    bool hasRange = false;

    bool isConstant() const { return flags & 0x01; }
    bool isVariable() const { return flags & 0x02; }
    // Windows calls 1-bit variables and every array a "button".
    bool isButton() const { return !isConstant() && (!isVariable() || bitSize == 1); }
};

struct HidParsedDescriptor {
    bool usesReportIds = false;
    // Top-level collections in descriptor order, lengths as Windows reports
    // them (report-ID byte included); hardwareIds left empty.
    std::vector<HidCollectionInfo> collections;
    std::vector<HidReportField> fields;
};

// The limits beyond which a descriptor is refused.
inline constexpr std::size_t kHidMaxDescriptorSize = 4096;   // the kernel's HID_MAX_DESCRIPTOR_SIZE
inline constexpr std::uint32_t kHidMaxReportBytes = 65535;   // incl. the ID byte; fits a USHORT
inline constexpr int kHidMaxNesting = 32;                    // collections and push levels
inline constexpr std::size_t kHidMaxFields = 1024;
inline constexpr std::size_t kHidMaxUsagesPerField = 1024;

// nullopt for a malformed or out-of-bounds descriptor.
std::optional<HidParsedDescriptor> ParseHidDescriptor(std::span<const std::uint8_t> bytes);

// Whether a well-formed descriptor holds a top-level collection that
// HidCollectionIs(usagePage, usage): what the HID access code would open on
// that node. False for a malformed descriptor, which it would not list.
bool HidDescriptorHasCollection(std::span<const std::uint8_t> bytes, std::uint16_t usagePage, std::uint16_t usage);

// The button usages (page << 16 | usage) set in one input report of
// `collection`, in field order, at most `maxUsages` of them. `report` is in
// the Windows form: byte 0 the report ID (0 without IDs), the data after it.
// Empty when the report belongs to another collection.
std::vector<std::uint32_t> HidUsagesSetInReport(const HidParsedDescriptor &descriptor, int collection,
                                                std::span<const std::uint8_t> report,
                                                std::size_t maxUsages);

// How many button usages one input report of `collection` can carry at most
// (HidP_MaxUsageListLength over all pages).
std::size_t HidMaxUsageListLength(const HidParsedDescriptor &descriptor, int collection);

} // namespace hkt::platform
