#pragma once
// What the simulated mouse looks like to enumeration: its USB identity, its two
// HID interfaces (the plain pointer and the vendor collection that carries the
// configuration protocol) and the report descriptor of each. The vendor
// descriptor is what a host parser must turn into the report lengths below, so
// tests can hold a parser against it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/HidBackend.h"

#include <QString>

namespace hkt::sim {

// The pid.codes test identity: no real product carries it, so a config.ini
// include list written for the real mouse never selects the simulator by
// accident, and one written for the simulator names it plainly.
inline constexpr std::uint16_t kVendorId = 0x1209;
inline constexpr std::uint16_t kProductId = 0x0001;
inline constexpr std::uint16_t kRelease = 0x0100;

inline constexpr std::uint16_t kVendorUsagePage = 0xFFA0;
inline constexpr std::uint16_t kVendorUsage = 0x0001;

// Report IDs of the vendor collection.
inline constexpr std::uint8_t kFirstFeatureReport = 2;
inline constexpr std::uint8_t kLastFeatureReport = 6;
inline constexpr std::uint8_t kKeyReport = 7;
inline constexpr std::uint8_t kSettingReport = 8;
inline constexpr std::size_t kInputReportLength = 8;   // ID + 7 data bytes
inline constexpr std::size_t kMaxFeatureLength = 4096; // report 6, ID included

// Length of feature report `id` with its ID byte (16, 64, 1024, 2048, 4096),
// 0 for an ID the device does not have.
std::size_t FeatureReportLength(std::uint8_t id);

// The feature report the device expects for a report whose content (ID byte,
// 7 header bytes, payload) is `n` bytes: the smallest one that holds it.
// 0 when no report is large enough.
std::uint8_t FeatureReportForContent(std::size_t n);

// Interface 0: a boot-protocol mouse (buttons, X, Y, wheel). Interface 1: the
// vendor collection 0xFFA0/1 with feature reports 2 to 6 and input reports 7
// and 8. Paths are made from `pathPrefix` ("<prefix>/if0", "<prefix>/if1").
std::vector<hkt::platform::HidInterfaceInfo> SimInterfaces(const QString &pathPrefix);

// Index of the vendor interface in SimInterfaces().
inline constexpr int kVendorInterfaceIndex = 1;

std::span<const std::uint8_t> VendorReportDescriptor();
std::span<const std::uint8_t> PointerReportDescriptor();

} // namespace hkt::sim
