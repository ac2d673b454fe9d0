#pragma once
// The mouse's memory images of a profile and of the macros: button map, DPI
// table, light block, polling-rate code and macro area. The encoders work on
// copies, have no side effects besides their output and never write past an
// image: whatever a stored profile or macro database holds, counts are
// clamped to what the images have room for.

#include "core/pubunit_device_records.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>

// Button map, 57 bytes at profile page + 0x90.
struct TDeviceButtonMap {
    uint8_t ButtonCount;
    uint8_t Buttons[BUTTON_ENTRY_COUNT][4]; // device function code, parameters 1 to 3
};

// One level of the DPI table.
struct TDeviceCPILevel {
    uint8_t Enabled;
    uint8_t X[2];      // X resolution / 50, little-endian
    uint8_t Y[2];      // Y resolution / 50, little-endian
    uint8_t LightMask; // 0, 1, 3, 7, 15 for levels 0 to 4
    uint8_t Reserved[2];
};

// DPI table, 42 bytes at profile page + 0x4F; byte 1 is the current level.
struct TDeviceCPITable {
    uint8_t CPILevel;
    uint8_t CurrentCPIIndex;
    TDeviceCPILevel Levels[CPI_LEVELS_IN_USE];
};

// Light block, 6 bytes at profile page + 0xF1. The mouse keeps the colour
// inverted bit by bit; the live light command carries the first five bytes.
struct TDeviceLEDBlock {
    uint8_t R;
    uint8_t G;
    uint8_t B;
    uint8_t BRIGHT_LEVEL;
    uint8_t BREATH_SPEED;
    uint8_t BREATH_SECOND;
};

inline constexpr int MACRO_SLOT_BYTES = 180;
inline constexpr int MACRO_SLOT_STEPS = MACRO_SLOT_BYTES / 3;   // 60, the end step included
inline constexpr int MACRO_MAX_ENCODED_STEPS = MACRO_SLOT_STEPS - 1;

// Host image of the macro area (the mouse gets only the used part of each
// slot, slot m at 0x500 + m * 200).
struct TDeviceMacroArea {
    uint8_t Slots[MACRO_LIST_CAPACITY][MACRO_SLOT_BYTES];
    int32_t Lengths[MACRO_LIST_CAPACITY]; // byte length of slot m; 0: not written
};

static_assert(sizeof(TDeviceButtonMap) == 57);
static_assert(sizeof(TDeviceCPILevel) == 8);
static_assert(sizeof(TDeviceCPITable) == 42);
static_assert(offsetof(TDeviceCPITable, Levels) == 2);
static_assert(sizeof(TDeviceLEDBlock) == 6);
static_assert(sizeof(TDeviceMacroArea) == 5520);
static_assert(offsetof(TDeviceMacroArea, Lengths) == 5400);
static_assert(std::is_trivially_copyable_v<TDeviceButtonMap> && std::is_trivially_copyable_v<TDeviceCPITable> &&
              std::is_trivially_copyable_v<TDeviceLEDBlock> && std::is_trivially_copyable_v<TDeviceMacroArea>);

// Polling-rate codes at 0x48 + profile.
inline constexpr uint8_t REPORT_RATE_CODE_125 = 8;
inline constexpr uint8_t REPORT_RATE_CODE_250 = 4;
inline constexpr uint8_t REPORT_RATE_CODE_500 = 2;
inline constexpr uint8_t REPORT_RATE_CODE_1000 = 1;

void EncodeButtonMap(const TMouseProfileInfo &Profile, TDeviceButtonMap &Map);
void EncodeCPITable(const TMouseProfileInfo &Profile, TDeviceCPITable &Table);
// From the profile's light: the colour inverted, brightness, breathing speed
// and seconds as stored.
void EncodeLEDBlock(const TLEDCONFIG &Light, TDeviceLEDBlock &Block);
// 125 -> 8, 250 -> 4, 500 -> 2, 1000 -> 1; any other rate gives 4 (250 Hz),
// the code the monitor itself reads any unknown code as.
uint8_t GetReportRateCode(const TMouseProfileInfo &Profile);
// The rate in Hz of one of the four codes the mouse uses (1, 2, 4, 8);
// 0 for any other byte, which names no rate the suite would store.
int ReportRateOfCode(uint8_t Code);
// Clears the 30 length entries and encodes the first nMacroInfoCount (at
// most 30) macros into their slots; a macro of more than 59 steps keeps its
// first 59 and the end step.
void EncodeMacroArea(const TMACROKEYINFOLIST &List, TDeviceMacroArea &Area);
// One 3-byte step. A state other than 0 or 1, or a step type that does not
// fit the 7 bits beside the state bit, gives 0, 0, 0; values above 255 are
// taken as 255 (a loop count of 300 repeats 255 times, never 44).
void EncodeMacroStep(uint32_t StepType, uint32_t State, uint32_t Value1, uint32_t Value2, uint8_t (&Step)[3]);
// Steps the mouse plays for a macro, the end step included: (n + 1) with n
// the recorded steps as far as they fit a slot (at most 59), 0 for an empty
// macro. A button's byte length is this times 3, so it always agrees with
// the slot the area encoder writes for the same macro.
int GetMacroStepCount(const TMACROKEYINFO &Macro);
// Entry i := the entry List[i] - 1 for i below the list's count (at most 14).
// An entry outside 1 to 14 is refused: entry i then stays as it was.
void ReorderButtons(TMouseProfileInfo &Profile, std::span<const int> List);

// The keyboard usage a key is sent as: 0 ("no key") for a key whose table
// usage is no keyboard usage, that is the consumer-page rows (browser,
// volume, media, launch keys) and any usage above 0xFF.
uint8_t DeviceKeyboardUsage(uint32_t VK, int Extended);

// The four images of one profile as APPLY sends them: the button map of all
// 14 entries (a working copy's ButtonCount set to 14, the buttons kept in
// their order), the light block, the DPI table and the polling-rate code.
// Macro buttons are encoded as the profile holds them: APPLY first points
// them at the slots of the macro area it writes.
struct TProfileDeviceImages {
    TDeviceButtonMap Buttons{};
    TDeviceLEDBlock Light{};
    TDeviceCPITable CPI{};
    uint8_t RateCode = 0;
};
void EncodeProfileDeviceImages(const TMouseProfileInfo &Profile, TProfileDeviceImages &Images);
