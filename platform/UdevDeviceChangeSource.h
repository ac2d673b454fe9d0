#pragma once
// Arrival and removal of hidraw nodes, from a libudev monitor. Listens to the
// "udev" netlink group, so an arrival is announced after udev has applied
// its rules (the node's permissions are final by then).

#include "platform/HidBackend.h"

#include <memory>

namespace hkt::platform {

std::unique_ptr<DeviceChangeSource> MakeUdevDeviceChangeSource();

} // namespace hkt::platform
