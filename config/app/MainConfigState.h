#pragma once
// The configuration program's program-wide values: one instance per window,
// so every test starts from a clean one. Pages read and set them through the
// window's host interface (MainConfigHost.h).

#include "core/pubunit_device_records.h"

#include <cstdint>

// The 12-byte buffer APPLY hands to its one-shot worker: what the three
// mouse-setting bars (and a profile switch) last set.
struct TSystemMouseSettings {
    std::int32_t PointerSpeed = 0;
    std::int32_t WheelLines = 0;
    std::int32_t Acceleration = 0;
};
static_assert(sizeof(TSystemMouseSettings) == 12);

struct TMainConfigState {
    // The unsaved mark: set by every edit, cleared at start-up and by APPLY.
    // Closing asks whether to store only while it is set.
    bool SettingsChanged = false;
    // A polling-rate radio became checked since start-up or the last show;
    // APPLY then steps its progress every 200 ms instead of 100 ms.
    bool ReportRateChanged = false;
    TSystemMouseSettings SystemMouseSettings;
    // The light the live colour preview sends.
    TLEDCONFIG LiveLEDConfig{};
    // True until the double-click test area's first paint centres it.
    bool CentreTestAreaPending = true;
};
