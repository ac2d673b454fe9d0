#pragma once
// The simulated mouse as a HID backend inside the calling process: what tests
// and the benchmark use to put the real device code (TkwHIDData and every
// routine above it) in front of the firmware model without a daemon. It
// behaves as the socket backend does: every open handle gets every input
// report of the vendor collection, an unplug ends its readers and leaves it
// dead, and the change source reports plug and unplug per interface path.

#include "sim/VirtualMouse.h"

#include "platform/HidBackend.h"

#include <memory>

namespace hkt::sim {

// Interface paths are "sim:inproc/if0" and "sim:inproc/if1".
std::shared_ptr<hkt::platform::HidBackend> MakeInProcessHidBackend(std::shared_ptr<VirtualMouse> mouse);

} // namespace hkt::sim
