#include "core/pubunit_device_encoders.h"

#include "core/kwKeyCode.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

uint8_t Low(int64_t v) { return static_cast<uint8_t>(v & 0xFF); }
uint8_t ByteClamp(uint32_t v) { return static_cast<uint8_t>(std::min<uint32_t>(v, 0xFF)); }

// The virtual keys whose table rows hold consumer-page usages. Sent as
// keyboard usages they would be unrelated keys (volume mute as Left Alt).
constexpr uint32_t kFirstConsumerVK = 0xA6; // VK_BROWSER_BACK
constexpr uint32_t kLastConsumerVK = 0xB7;  // VK_LAUNCH_APP2

// Recorded steps of a macro that are encoded: what a slot has room for.
int EncodedSteps(const TMACROKEYINFO &m)
{
    return std::min(CheckedMacroListCount(m), MACRO_MAX_ENCODED_STEPS);
}

} // namespace

uint8_t DeviceKeyboardUsage(uint32_t VK, int Extended)
{
    if (VK >= kFirstConsumerVK && VK <= kLastConsumerVK)
        return 0;
    const int usage = GetHIDCodeByVK(VK, Extended);
    return usage > 0 && usage <= 0xFF ? static_cast<uint8_t>(usage) : 0;
}

int GetMacroStepCount(const TMACROKEYINFO &Macro)
{
    const int n = EncodedSteps(Macro);
    return n > 0 ? n + 1 : 0;
}

void EncodeButtonMap(const TMouseProfileInfo &Profile, TDeviceButtonMap &Map)
{
    std::memset(&Map, 0, sizeof Map);
    const TMOUSECONFIGINFO &cfg = Profile.ConfigInfo;
    // The mouse is never told of more buttons than the map has entries.
    const int count = CheckedButtonCount(cfg);
    Map.ButtonCount = static_cast<uint8_t>(count);
    for (int i = 0; i < count; ++i) {
        const TBUTTONFUNCINFO &b = cfg.ButtonFuncInfo[i];
        uint8_t *e = Map.Buttons[i];
        const int32_t code = b.DeviceFunctionCode;
        e[0] = Low(code);
        switch (code) {
        case DEVICE_FUNCTION_LEFT_CLICK:
            e[1] = Low(b.LeftClickFlag);
            break;
        case DEVICE_FUNCTION_PARAM1_11:
        case DEVICE_FUNCTION_PARAM1_12:
            e[1] = Low(b.DeviceParam1);
            break;
        case DEVICE_FUNCTION_HID_CODE:
            e[2] = Low(b.HIDCode.nKeyValue1);
            e[3] = Low(b.HIDCode.nKeyValue2);
            break;
        case DEVICE_FUNCTION_COMBO_KEY:
            e[1] = GetHIDModifier(Low(b.ComboKey.nModifier));
            e[2] = DeviceKeyboardUsage(b.ComboKey.nKeyValue1, b.ComboKey.nKey1Extended);
            e[3] = DeviceKeyboardUsage(b.ComboKey.nKeyValue2, b.ComboKey.nKey2Extended);
            break;
        case DEVICE_FUNCTION_SINGLE_KEY:
            e[2] = DeviceKeyboardUsage(b.SingleKey.nKeyValue1, b.SingleKey.nKey1Extended);
            break;
        case DEVICE_FUNCTION_MACRO: {
            // A macro index that names no slot would play another slot's
            // macro (or collide with the repeat flag): the button gets no
            // function instead.
            const auto slot = CheckedMacroIndex(b.MacroKeyInfo);
            if (!slot) {
                e[0] = 0;
                break;
            }
            const int bytes = GetMacroStepCount(b.MacroKeyInfo) * 3;
            e[1] = static_cast<uint8_t>(*slot | (b.MacroKeyInfo.nLoopRunWhenPressed > 0 ? 0x80 : 0));
            e[2] = Low(bytes);
            e[3] = Low(bytes >> 8);
            break;
        }
        case DEVICE_FUNCTION_PARAM3_18:
            e[3] = Low(b.DeviceParam3);
            break;
        case DEVICE_FUNCTION_MEDIA_PLAYER:
            e[1] = b.DeviceParamBytes[0];
            e[2] = b.DeviceParamBytes[1];
            e[3] = b.DeviceParamBytes[2];
            break;
        case DEVICE_FUNCTION_FIRE_KEY:
            // A key code above one byte is no key the mouse knows; counts
            // saturate rather than wrap.
            e[1] = b.FireKey.KeyCode <= 0xFF ? Low(b.FireKey.KeyCode) : 0;
            e[2] = ByteClamp(b.FireKey.nLoopCount);
            e[3] = ByteClamp(b.FireKey.DelyValue);
            break;
        default:
            break;
        }
    }
}

void EncodeCPITable(const TMouseProfileInfo &Profile, TDeviceCPITable &Table)
{
    std::memset(&Table, 0, sizeof Table);
    const TMOUSECONFIGINFO &cfg = Profile.ConfigInfo;
    Table.CPILevel = static_cast<uint8_t>(CheckedCPILevel(cfg));
    Table.CurrentCPIIndex = static_cast<uint8_t>(CheckedCurrentCPIIndex(cfg).value_or(0));
    for (int i = 0; i < CPI_LEVELS_IN_USE; ++i) {
        const TCPISTATE &s = cfg.CPIState[i];
        TDeviceCPILevel &l = Table.Levels[i];
        l.Enabled = Low(s.Enabled);
        const unsigned x = s.X / 50u, y = s.Y / 50u;
        l.X[0] = Low(x);
        l.X[1] = Low(x >> 8);
        l.Y[0] = Low(y);
        l.Y[1] = Low(y >> 8);
        l.LightMask = static_cast<uint8_t>((1u << i) - 1);
    }
}

void EncodeLEDBlock(const TLEDCONFIG &Light, TDeviceLEDBlock &Block)
{
    Block.R = static_cast<uint8_t>(~Light.R);
    Block.G = static_cast<uint8_t>(~Light.G);
    Block.B = static_cast<uint8_t>(~Light.B);
    Block.BRIGHT_LEVEL = Light.BRIGHT_LEVEL;
    Block.BREATH_SPEED = Light.BREATH_SPEED;
    Block.BREATH_SECOND = Light.BREATH_SECOND;
}

uint8_t GetReportRateCode(const TMouseProfileInfo &Profile)
{
    switch (Profile.ConfigInfo.ReportRate) {
    case 125: return REPORT_RATE_CODE_125;
    case 250: return REPORT_RATE_CODE_250;
    case 500: return REPORT_RATE_CODE_500;
    case 1000: return REPORT_RATE_CODE_1000;
    default: return REPORT_RATE_CODE_250;
    }
}

int ReportRateOfCode(uint8_t Code)
{
    switch (Code) {
    case REPORT_RATE_CODE_125: return 125;
    case REPORT_RATE_CODE_250: return 250;
    case REPORT_RATE_CODE_500: return 500;
    case REPORT_RATE_CODE_1000: return 1000;
    default: return 0;
    }
}

void EncodeMacroStep(uint32_t StepType, uint32_t State, uint32_t Value1, uint32_t Value2, uint8_t (&Step)[3])
{
    Step[0] = Step[1] = Step[2] = 0;
    if ((State != 0 && State != 1) || StepType > 0x7F)
        return;
    Step[0] = static_cast<uint8_t>(StepType);
    if (StepType == MACRO_STEP_DELAY) {
        Step[1] = ByteClamp(Value1);
        Step[2] = ByteClamp(Value2);
    } else if (StepType == MACRO_STEP_END) {
        Step[0] = static_cast<uint8_t>(MACRO_STEP_END | (State << 7));
        Step[1] = Value1 > 0 ? 0 : ByteClamp(Value2);
    } else {
        Step[0] = static_cast<uint8_t>(StepType | (State << 7));
        Step[1] = ByteClamp(Value1);
        Step[2] = ByteClamp(Value2);
    }
}

void EncodeMacroArea(const TMACROKEYINFOLIST &List, TDeviceMacroArea &Area)
{
    std::fill(std::begin(Area.Lengths), std::end(Area.Lengths), 0);
    const int count = CheckedMacroInfoCount(List);
    for (int m = 0; m < count; ++m) {
        const TMACROKEYINFO &macro = List.MacroInfos[m];
        const int n = EncodedSteps(macro);
        uint8_t *slot = Area.Slots[m];
        Area.Lengths[m] = (n + 1) * 3;
        for (int j = 0; j < n; ++j) {
            const TMACROKEY &k = macro.MacroList[j];
            uint8_t step[3];
            if (k.nKeyType == MACRO_STEP_KEY)
                EncodeMacroStep(MACRO_STEP_KEY, k.nKeyState, DeviceKeyboardUsage(k.VALUE1, k.VALUE2), k.VALUE2,
                                step);
            else
                EncodeMacroStep(k.nKeyType, k.nKeyState, k.VALUE1, k.VALUE2, step);
            std::memcpy(slot + 3 * j, step, 3);
        }
        uint8_t end[3];
        EncodeMacroStep(MACRO_STEP_END, 0, macro.nLoopRunWhenPressed, macro.nLoopCount, end);
        std::memcpy(slot + 3 * n, end, 3);
    }
}

void ReorderButtons(TMouseProfileInfo &Profile, std::span<const int> List)
{
    TBUTTONFUNCINFO(&buttons)[BUTTON_ENTRY_COUNT] = Profile.ConfigInfo.ButtonFuncInfo;
    const std::size_t count = std::min<std::size_t>(List.size(), BUTTON_ENTRY_COUNT);
    // The scratch copy is the whole array, so an entry whose list value is
    // refused keeps its own function.
    auto scratch = std::make_unique<TBUTTONFUNCINFO[]>(BUTTON_ENTRY_COUNT);
    std::memcpy(scratch.get(), buttons, sizeof buttons);
    for (std::size_t i = 0; i < count; ++i)
        if (List[i] >= 1 && List[i] <= BUTTON_ENTRY_COUNT)
            scratch[i] = buttons[List[i] - 1];
    std::memcpy(buttons, scratch.get(), sizeof buttons);
}

void EncodeProfileDeviceImages(const TMouseProfileInfo &Profile, TProfileDeviceImages &Images)
{
    // On a heap copy: the record is too large for secondary threads' stacks.
    auto copy = std::make_unique<TMouseProfileInfo>(Profile);
    copy->ConfigInfo.ButtonCount = BUTTON_ENTRY_COUNT;
    static constexpr int kOrder[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    ReorderButtons(*copy, kOrder);
    EncodeButtonMap(*copy, Images.Buttons);
    EncodeLEDBlock(copy->ConfigInfo.LEDConfig, Images.Light);
    EncodeCPITable(*copy, Images.CPI);
    Images.RateCode = GetReportRateCode(*copy);
}
