#pragma once
// The real mouse through the kernel's hidraw nodes. Nodes are found with
// libudev (or, for tests, by listing a sysfs tree); each node's collections
// and report lengths come from our parse of its sysfs report_descriptor, and
// its hardware IDs are written the way Windows writes them so that include
// lists in config.ini made on Windows match unchanged.
//
// hidraw nodes are root-only unless a udev rule grants access (the suite
// ships data/70-hkt75.rules). An open refused for lack of permission is
// reported once per node as a permission problem, not as a missing mouse.

#include "platform/HidBackend.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

namespace hkt::platform {

// The hardware IDs Windows gives one top-level collection (most specific
// first). interfaceNumber < 0 or !composite leaves out "&MI_xx"; collection
// < 0 (a node with one collection) leaves out "&Colxx". Without a known
// revision (not a USB device) the "&REV_xxxx" form is left out.
QStringList WindowsHardwareIds(std::uint16_t vendorId, std::uint16_t productId,
                               std::optional<std::uint16_t> revision, int interfaceNumber,
                               bool composite, int collection, std::uint16_t usagePage,
                               std::uint16_t usage);

// One node described from sysfs: `classEntry` is the node's directory (the
// /sys/class/hidraw/hidrawN link or the device path it resolves to),
// `devNode` the character device to open. nullopt when the entry is not a
// HID node. A descriptor that can't be read or parsed leaves `collections`
// empty, so the node is listed but never qualifies.
std::optional<HidInterfaceInfo> DescribeHidrawNode(const QString &classEntry, const QString &devNode);

// Every node under <sysRoot>/class/hidraw, with its device node in devRoot;
// sorted by node number.
std::vector<HidInterfaceInfo> EnumerateHidrawSysfs(const QString &sysRoot, const QString &devRoot);

// A handle over an fd that behaves like a hidraw node (one report per read;
// POLLHUP when the device goes). Takes the fd. The backend's own handles are
// made this way; tests pass one end of a SOCK_SEQPACKET pair.
std::unique_ptr<HidDevice> MakeHidrawDevice(int fd, HidCollectionInfo collection, bool usesReportIds);

// The system's hidraw nodes through libudev.
std::shared_ptr<HidBackend> MakeHidrawBackend();
// Nodes of a sysfs tree at sysRoot with device nodes in devRoot (tests).
std::shared_ptr<HidBackend> MakeHidrawBackend(const QString &sysRoot, const QString &devRoot);

} // namespace hkt::platform
