#pragma once
// The client side of the daemon's control requests: what the command line
// and the tests use to drive the shared mouse ("press 3", "unplug"...).

#include "platform/SimWire.h"

#include <QString>

#include <optional>

namespace hkt::sim {

// Sends one request to the daemon at `socketPath` on a fresh connection and
// waits for its reply (at most `timeoutMs`). nullopt when no daemon answers.
std::optional<hkt::platform::simwire::Message> ControlRequest(const QString &socketPath,
                                                              const hkt::platform::simwire::Message &request,
                                                              int timeoutMs = 2000);

// The socket the command line uses: `given` when not empty, else the one in
// HKT75_HID=sim:<socket>, else the daemon's default socket.
QString ResolveSocketPath(const QString &given);

} // namespace hkt::sim
