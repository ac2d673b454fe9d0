#pragma once
// The wall clock the suite reads (profile identifiers carry the local date
// and time). Tests pin it with SetFixedLocalTime so stamps are reproducible.

#include <QDateTime>
#include <optional>

namespace hkt::platform {

// Local date and time now, or the pinned value while one is set.
QDateTime CurrentLocalDateTime();

// Pins the clock (std::nullopt releases it). Not thread-safe by design: only
// tests call it, before the code under test runs.
void SetFixedLocalTime(std::optional<QDateTime> pinned);

} // namespace hkt::platform
