#pragma once
// The HID backend of the simulated mouse: a socket client of hkt75-vmouse.
// Enumeration, feature transfers and input reads go to the daemon; the
// daemon's plug and unplug reach the device-change source. Every wait on the
// daemon is bounded, and a daemon that has gone away looks like a mouse that
// was unplugged (1167), never like success.

#include "platform/HidBackend.h"

#include <QString>

#include <memory>

namespace hkt::platform {

// A backend talking to the daemon at `socketPath` (empty: the daemon's
// default socket in the per-user runtime folder). Never null: a daemon that
// is not running yet is looked for again on every call, so the programs can
// be started before it.
std::shared_ptr<HidBackend> MakeSimHidBackend(const QString &socketPath);

// How long a client waits for one reply before it takes the daemon as gone.
inline constexpr int kSimReplyTimeoutMs = 2000;

} // namespace hkt::platform
