#include "core/pubunit_device_commands.h"

#include <cstring>

namespace {

constexpr std::uint32_t kInvalidParameter = 87;
constexpr std::uint32_t kAddressSpace = 0x10000;

// A command record as the mouse protocol frames it: the three leading bytes,
// the header, an empty payload.
void InitCommand(TDeviceCommand &c, std::uint8_t code)
{
    c.Lead[0] = 0x16;
    c.Lead[1] = 0x10;
    c.Lead[2] = 0x00;
    std::memset(c.Header.Bytes, 0, sizeof c.Header.Bytes);
    c.Header.Bytes[0] = code;
}

void MemoryHeader(TDeviceCommand &c, std::uint8_t code, std::uint16_t address, std::uint32_t len)
{
    InitCommand(c, code);
    c.Header.Bytes[1] = static_cast<std::uint8_t>(address & 0xFF);
    c.Header.Bytes[2] = static_cast<std::uint8_t>(address >> 8);
    c.Header.Bytes[3] = static_cast<std::uint8_t>(len & 0xFF);
    c.Header.Bytes[4] = static_cast<std::uint8_t>((len >> 8) & 0xFF);
    c.Header.Bytes[5] = c.Header.Bytes[6] = c.Header.Bytes[7] = 0xFA;
}

std::uint32_t ShortCommand(TkwHIDData &hid, std::uint8_t code, const std::uint8_t *args, std::size_t n)
{
    TDeviceCommand c;
    InitCommand(c, code);
    std::memcpy(&c.Header.Bytes[1], args, n);
    return SendFeatureCommand(hid, c, sizeof c, DEVICE_COMMAND_CONTROL_CODE);
}

} // namespace

std::uint32_t WriteDeviceMemory(TkwHIDData &HIDData, const void *Data, std::uint32_t Len, std::uint16_t Address)
{
    if (Len == 0)
        return 0;
    if (Len > kDeviceCommandPayloadSize || Address + Len > kAddressSpace || Data == nullptr)
        return kInvalidParameter;
    TDeviceCommand c;
    MemoryHeader(c, DEVICE_CMD_WRITE_MEMORY, Address, Len);
    std::memcpy(c.Payload, Data, Len);
    return SendFeatureCommand(HIDData, c, sizeof c, DEVICE_COMMAND_CONTROL_CODE);
}

std::uint32_t ReadDeviceMemory(TkwHIDData &HIDData, void *Data, std::uint32_t Len, std::uint16_t Address)
{
    if (Len == 0 || Len > kDeviceCommandPayloadSize || Address + Len > kAddressSpace || Data == nullptr)
        return kInvalidParameter;
    TDeviceCommand c;
    MemoryHeader(c, DEVICE_CMD_READ_MEMORY, Address, Len);
    const std::uint32_t r = QueryFeatureCommand(HIDData, c, sizeof c, DEVICE_COMMAND_CONTROL_CODE);
    if (r == 0)
        std::memcpy(Data, c.Payload, Len);
    return r;
}

std::uint32_t SendRefreshCommand(TkwHIDData &HIDData, const std::uint8_t (&Args)[2])
{
    return ShortCommand(HIDData, DEVICE_CMD_REFRESH, Args, 2);
}

std::uint32_t SendRefreshCommand(TkwHIDData &HIDData, std::uint8_t A0, std::uint8_t A1)
{
    const std::uint8_t args[2] = {A0, A1};
    return SendRefreshCommand(HIDData, args);
}

std::uint32_t SendLEDCommand(TkwHIDData &HIDData, const TDeviceLEDBlock &Block)
{
    const std::uint8_t args[5] = {Block.R, Block.G, Block.B, Block.BRIGHT_LEVEL, Block.BREATH_SPEED};
    return ShortCommand(HIDData, DEVICE_CMD_LED, args, 5);
}

std::uint32_t SendSensorLiftCommand(TkwHIDData &HIDData, std::uint8_t Value)
{
    return ShortCommand(HIDData, DEVICE_CMD_SENSOR_LIFT, &Value, 1);
}

std::uint32_t SendWriteStateCommand(TkwHIDData &HIDData, std::uint8_t State)
{
    return ShortCommand(HIDData, DEVICE_CMD_WRITE_STATE, &State, 1);
}

std::uint32_t WriteButtonMap(TkwHIDData &HIDData, const TDeviceButtonMap &Map, std::uint16_t Address)
{
    return WriteDeviceMemory(HIDData, &Map, sizeof Map, Address);
}

std::uint32_t WriteCPITable(TkwHIDData &HIDData, const TDeviceCPITable &Table, std::uint16_t Address)
{
    return WriteDeviceMemory(HIDData, &Table, sizeof Table, Address);
}

std::uint32_t ReadCPITable(TkwHIDData &HIDData, TDeviceCPITable &Table, std::uint16_t Address)
{
    return ReadDeviceMemory(HIDData, &Table, sizeof Table, Address);
}

std::uint32_t WriteLEDConfig(TkwHIDData &HIDData, const TDeviceLEDBlock &Block, std::uint16_t Address)
{
    return WriteDeviceMemory(HIDData, &Block, sizeof Block, Address);
}

std::uint32_t WriteActiveProfile(TkwHIDData &HIDData, std::uint8_t Value, std::uint16_t Address)
{
    return WriteDeviceMemory(HIDData, &Value, 1, Address);
}

std::uint32_t WriteReportRate(TkwHIDData &HIDData, std::uint8_t Value, std::uint16_t Address)
{
    return WriteActiveProfile(HIDData, Value, Address);
}

std::uint32_t ReadActiveProfile(TkwHIDData &HIDData, std::uint8_t &Value, std::uint16_t Address)
{
    return ReadDeviceMemory(HIDData, &Value, 1, Address);
}

std::uint32_t WriteMacroArea(TkwHIDData &HIDData, const TDeviceMacroArea &Area, std::uint16_t Base)
{
    std::uint32_t first = 0;
    for (int m = 0; m < MACRO_LIST_CAPACITY; ++m) {
        const std::int32_t len = Area.Lengths[m];
        if (len <= 0)
            continue;
        // A length past the slot would send the next slot's bytes as this one's.
        const std::uint32_t r =
            len > MACRO_SLOT_BYTES
                ? kInvalidParameter
                : WriteDeviceMemory(HIDData, Area.Slots[m], std::uint32_t(len),
                                    static_cast<std::uint16_t>(Base + m * MACRO_SLOT_DISTANCE));
        if (r != 0 && first == 0)
            first = r;
    }
    return first;
}

std::uint32_t ReadProfileCPIIndex(TkwHIDData &HIDData, int Profile, int &Index)
{
    if (Profile < 0 || Profile >= PROFILE_COUNT)
        return kInvalidParameter;
    TDeviceCPITable table;
    const std::uint32_t r = ReadCPITable(HIDData, table, CPITableAddress(Profile));
    if (r != 0)
        return r;
    if (table.CurrentCPIIndex >= CPI_LEVELS_IN_USE)
        return DEVICE_ERROR_INVALID_DATA;
    Index = table.CurrentCPIIndex;
    return 0;
}

std::uint32_t ReadCurrentCPIIndex(TkwHIDData &HIDData, int &Index)
{
    std::uint8_t profile = 0;
    const std::uint32_t r = ReadActiveProfile(HIDData, profile, ACTIVE_PROFILE_ADDRESS);
    if (r != 0)
        return r;
    // A byte outside 0..4 names no profile: reading "its" table would go
    // far outside the map.
    if (profile >= PROFILE_COUNT)
        return DEVICE_ERROR_INVALID_DATA;
    return ReadProfileCPIIndex(HIDData, profile, Index);
}
