#include "sim/DeviceIdentity.h"

#include <cstdio>

namespace hkt::sim {

namespace {

// Vendor collection: 8-bit fields throughout. Feature reports carry
// length-1 data bytes after their ID; input 7 is 24 one-bit buttons and four
// pad bytes so a host can parse presses from it; input 8 is 7 vendor bytes.
constexpr std::uint8_t kVendorDescriptor[] = {
    0x06, 0xA0, 0xFF,       // Usage Page (0xFFA0)
    0x09, 0x01,             // Usage (1)
    0xA1, 0x01,             // Collection (Application)
    0x15, 0x00,             //   Logical Minimum (0)
    0x26, 0xFF, 0x00,       //   Logical Maximum (255)
    0x75, 0x08,             //   Report Size (8)
    0x85, 0x02, 0x09, 0x02, 0x95, 0x0F, 0xB1, 0x02,       // ID 2: 15 bytes, Feature
    0x85, 0x03, 0x09, 0x03, 0x95, 0x3F, 0xB1, 0x02,       // ID 3: 63 bytes
    0x85, 0x04, 0x09, 0x04, 0x96, 0xFF, 0x03, 0xB1, 0x02, // ID 4: 1023 bytes
    0x85, 0x05, 0x09, 0x05, 0x96, 0xFF, 0x07, 0xB1, 0x02, // ID 5: 2047 bytes
    0x85, 0x06, 0x09, 0x06, 0x96, 0xFF, 0x0F, 0xB1, 0x02, // ID 6: 4095 bytes
    0x85, 0x07,             //   Report ID (7)
    0x05, 0x09,             //   Usage Page (Button)
    0x19, 0x01, 0x29, 0x18, //   Usage Minimum (1), Usage Maximum (24)
    0x25, 0x01,             //   Logical Maximum (1)
    0x75, 0x01, 0x95, 0x18, //   Report Size (1), Report Count (24)
    0x81, 0x02,             //   Input (Data, Var, Abs)
    0x75, 0x08, 0x95, 0x04, //   Report Size (8), Report Count (4)
    0x81, 0x03,             //   Input (Const): padding to 7 bytes
    0x85, 0x08,             //   Report ID (8)
    0x06, 0xA0, 0xFF,       //   Usage Page (0xFFA0)
    0x09, 0x08,             //   Usage (8)
    0x26, 0xFF, 0x00,       //   Logical Maximum (255)
    0x95, 0x07,             //   Report Count (7)
    0x81, 0x02,             //   Input (Data, Var, Abs)
    0xC0,                   // End Collection
};

// Boot-protocol mouse without report IDs: 3 buttons, X, Y, wheel.
constexpr std::uint8_t kPointerDescriptor[] = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01,       // Generic Desktop / Mouse, Application
    0x09, 0x01, 0xA1, 0x00,                   //   Pointer, Physical
    0x05, 0x09, 0x19, 0x01, 0x29, 0x03,       //     Buttons 1..3
    0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,
    0x95, 0x01, 0x75, 0x05, 0x81, 0x03,       //     5 pad bits
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x09, 0x38, // X, Y, Wheel
    0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x03, 0x81, 0x06,
    0xC0,                                     //   End Collection
    0xC0,                                     // End Collection
};

QStringList HardwareIds(int interfaceNumber, const char *systemId, std::uint16_t page, std::uint16_t usage)
{
    char buf[96];
    QStringList ids;
    std::snprintf(buf, sizeof buf, "HID\\VID_%04X&PID_%04X&REV_%04X&MI_%02X", kVendorId, kProductId, kRelease,
                  static_cast<unsigned>(interfaceNumber));
    ids << QString::fromLatin1(buf);
    std::snprintf(buf, sizeof buf, "HID\\VID_%04X&PID_%04X&MI_%02X", kVendorId, kProductId,
                  static_cast<unsigned>(interfaceNumber));
    ids << QString::fromLatin1(buf);
    if (systemId)
        ids << QString::fromLatin1(systemId);
    std::snprintf(buf, sizeof buf, "HID_DEVICE_UP:%04X_U:%04X", page, usage);
    ids << QString::fromLatin1(buf) << QStringLiteral("HID_DEVICE");
    return ids;
}

} // namespace

std::size_t FeatureReportLength(std::uint8_t id)
{
    switch (id) {
    case 2: return 16;
    case 3: return 64;
    case 4: return 1024;
    case 5: return 2048;
    case 6: return 4096;
    default: return 0;
    }
}

std::uint8_t FeatureReportForContent(std::size_t n)
{
    for (std::uint8_t id = kFirstFeatureReport; id <= kLastFeatureReport; ++id)
        if (n <= FeatureReportLength(id))
            return id;
    return 0;
}

std::span<const std::uint8_t> VendorReportDescriptor() { return kVendorDescriptor; }
std::span<const std::uint8_t> PointerReportDescriptor() { return kPointerDescriptor; }

std::vector<hkt::platform::HidInterfaceInfo> SimInterfaces(const QString &pathPrefix)
{
    std::vector<hkt::platform::HidInterfaceInfo> out(2);
    for (int i = 0; i < 2; ++i) {
        out[i].path = pathPrefix + QStringLiteral("/if%1").arg(i);
        out[i].vendorId = kVendorId;
        out[i].productId = kProductId;
        out[i].versionNumber = kRelease;
        out[i].interfaceNumber = i;
    }
    out[0].reportDescriptor = QByteArray(reinterpret_cast<const char *>(kPointerDescriptor), sizeof kPointerDescriptor);
    hkt::platform::HidCollectionInfo pointer;
    pointer.usagePage = 0x0001;
    pointer.usage = 0x0002;
    pointer.inputReportByteLength = 5; // 4 data bytes and the (absent) ID byte
    pointer.hardwareIds = HardwareIds(0, "HID_DEVICE_SYSTEM_MOUSE", 0x0001, 0x0002);
    out[0].collections.push_back(pointer);

    out[1].reportDescriptor = QByteArray(reinterpret_cast<const char *>(kVendorDescriptor), sizeof kVendorDescriptor);
    hkt::platform::HidCollectionInfo vendor;
    vendor.usagePage = kVendorUsagePage;
    vendor.usage = kVendorUsage;
    vendor.inputReportByteLength = static_cast<std::uint16_t>(kInputReportLength);
    vendor.featureReportByteLength = static_cast<std::uint16_t>(kMaxFeatureLength);
    vendor.inputReportIds = {kKeyReport, kSettingReport};
    vendor.featureReportIds = {2, 3, 4, 5, 6};
    vendor.hardwareIds = HardwareIds(1, nullptr, kVendorUsagePage, kVendorUsage);
    out[1].collections.push_back(vendor);
    return out;
}

} // namespace hkt::sim
