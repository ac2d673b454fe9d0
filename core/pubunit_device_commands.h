#pragma once
// The mouse's command set and memory map: memory write and read, refresh,
// live light, lift-off and write state, the routines that write or read one
// image at its address, and the read-back of the current DPI level. Each
// routine takes the configuration window's TkwHIDData, blocks until its
// transfer ends and returns 0 or the Windows error code of the failing step;
// none retries or keeps state between calls.

#include "core/pubunit_device_encoders.h"
#include "core/pubunit_device_transport.h"

#include <cstdint>

// Command codes (header byte 0).
inline constexpr std::uint8_t DEVICE_CMD_REFRESH = 1;
inline constexpr std::uint8_t DEVICE_CMD_WRITE_MEMORY = 2;
inline constexpr std::uint8_t DEVICE_CMD_READ_MEMORY = 3;
inline constexpr std::uint8_t DEVICE_CMD_LED = 4;
inline constexpr std::uint8_t DEVICE_CMD_SENSOR_LIFT = 5;
inline constexpr std::uint8_t DEVICE_CMD_WRITE_STATE = 6;

// The control code every command routine passes (the HID transport ignores it).
inline constexpr std::uint32_t DEVICE_COMMAND_CONTROL_CODE = (0x8000u << 16) | (0x1000u << 2);

// Memory map (p: profile 0..4, m: macro slot 0..29).
inline constexpr std::uint16_t ACTIVE_PROFILE_ADDRESS = 0x43;
inline constexpr std::uint16_t MACRO_AREA_BASE = 0x500;
inline constexpr std::uint16_t MACRO_SLOT_DISTANCE = 200;
constexpr std::uint16_t ReportRateAddress(int p) { return static_cast<std::uint16_t>(0x48 + p); }
constexpr std::uint16_t CPITableAddress(int p) { return static_cast<std::uint16_t>(p * 256 + 0x4F); }
constexpr std::uint16_t ButtonMapAddress(int p) { return static_cast<std::uint16_t>(p * 256 + 0x90); }
constexpr std::uint16_t LEDConfigAddress(int p) { return static_cast<std::uint16_t>(p * 256 + 0xF1); }

// What a value read from the mouse that the suite cannot use returns
// (ERROR_INVALID_DATA): an active profile outside 0..4, a level outside 0..4.
inline constexpr std::uint32_t DEVICE_ERROR_INVALID_DATA = 13;

// Command 2 with the first Len bytes of Data. Len 0 sends nothing and
// returns 0; Len above 2048, or a range past the 16-bit address space,
// returns 87 and sends nothing.
std::uint32_t WriteDeviceMemory(TkwHIDData &HIDData, const void *Data, std::uint32_t Len, std::uint16_t Address);
// Command 3; on success the Len bytes read are copied to Data, on failure
// Data is left untouched. Len 0 or a range past the address space: 87.
std::uint32_t ReadDeviceMemory(TkwHIDData &HIDData, void *Data, std::uint32_t Len, std::uint16_t Address);

std::uint32_t SendRefreshCommand(TkwHIDData &HIDData, const std::uint8_t (&Args)[2]);
std::uint32_t SendRefreshCommand(TkwHIDData &HIDData, std::uint8_t A0, std::uint8_t A1);
// Command 4 with the block's first five bytes (the sixth is not sent).
std::uint32_t SendLEDCommand(TkwHIDData &HIDData, const TDeviceLEDBlock &Block);
std::uint32_t SendSensorLiftCommand(TkwHIDData &HIDData, std::uint8_t Value);
std::uint32_t SendWriteStateCommand(TkwHIDData &HIDData, std::uint8_t State);

std::uint32_t WriteButtonMap(TkwHIDData &HIDData, const TDeviceButtonMap &Map, std::uint16_t Address);
std::uint32_t WriteCPITable(TkwHIDData &HIDData, const TDeviceCPITable &Table, std::uint16_t Address);
std::uint32_t ReadCPITable(TkwHIDData &HIDData, TDeviceCPITable &Table, std::uint16_t Address);
std::uint32_t WriteLEDConfig(TkwHIDData &HIDData, const TDeviceLEDBlock &Block, std::uint16_t Address);
std::uint32_t WriteActiveProfile(TkwHIDData &HIDData, std::uint8_t Value, std::uint16_t Address);
std::uint32_t WriteReportRate(TkwHIDData &HIDData, std::uint8_t Value, std::uint16_t Address);
std::uint32_t ReadActiveProfile(TkwHIDData &HIDData, std::uint8_t &Value, std::uint16_t Address);

// Writes every slot whose length is above 0, at Base + m * 200, in slot
// order. A failed write does not stop the others; the result is the first
// failure (0 when every write worked or there was nothing to write). A
// length above the 180 bytes of a slot is refused (87) for that slot.
std::uint32_t WriteMacroArea(TkwHIDData &HIDData, const TDeviceMacroArea &Area, std::uint16_t Base);

// The current DPI level of one profile (byte 1 of its table). Index is set
// only on success; a profile outside 0..4 gives 87, a level byte outside
// 0..4 from the mouse gives 13, both without touching Index.
std::uint32_t ReadProfileCPIIndex(TkwHIDData &HIDData, int Profile, int &Index);
// The current DPI level of the mouse's active profile: the active profile
// byte, then that profile's table. The result is the first failing step's
// code, so Index is set exactly when 0 is returned.
std::uint32_t ReadCurrentCPIIndex(TkwHIDData &HIDData, int &Index);
