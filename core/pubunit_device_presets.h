#pragma once
// Preset key combinations and media/browser keys that function-menu items and
// the factory profiles hand to a button. Fixed data: each table has 50
// entries, only the first rows filled, the rest zero.

#include "core/pubunit_device_records.h"

#include <array>

inline constexpr int PRESET_TABLE_SIZE = 50;

namespace hkt_presets_detail {
constexpr THID_CODE_INFO Hid(uint16_t usage1, uint16_t modifier)
{
    return THID_CODE_INFO{usage1, 0, modifier};
}
constexpr TCOMBOKEYINFO Combo(uint16_t modifier, uint16_t vk, uint16_t ext = 0)
{
    TCOMBOKEYINFO c{};
    c.nModifier = modifier;
    c.nKeyValue1 = vk;
    c.nKey1Extended = ext;
    return c;
}
template <class T, std::size_t N>
constexpr std::array<T, PRESET_TABLE_SIZE> Table(const T (&rows)[N])
{
    std::array<T, PRESET_TABLE_SIZE> t{};
    for (std::size_t i = 0; i < N; ++i)
        t[i] = rows[i];
    return t;
}
inline constexpr uint16_t HID_CTRL = 1, HID_ALT = 4, HID_WIN = 8;
} // namespace hkt_presets_detail

// HID usages with HID modifier bits (Ctrl 1, Shift 2, Alt 4, Win 8).
// Ctrl+X, Ctrl+C, Ctrl+V, Ctrl+A, Ctrl+F, Ctrl+N, Ctrl+P, Ctrl+S.
inline constexpr auto BASIC_SHORTCUT_HID_TABLE = [] {
    using namespace hkt_presets_detail;
    const THID_CODE_INFO rows[] = {Hid(0x1B, HID_CTRL), Hid(0x06, HID_CTRL), Hid(0x19, HID_CTRL), Hid(0x04, HID_CTRL),
                                   Hid(0x09, HID_CTRL), Hid(0x11, HID_CTRL), Hid(0x13, HID_CTRL), Hid(0x16, HID_CTRL)};
    return Table(rows);
}();
// Alt+Tab, Alt+F4, Win+E, Win+R, Win+D, Win+L.
inline constexpr auto ADVANCED_SHORTCUT_HID_TABLE = [] {
    using namespace hkt_presets_detail;
    const THID_CODE_INFO rows[] = {Hid(0x2B, HID_ALT), Hid(0x3D, HID_ALT), Hid(0x08, HID_WIN),
                                   Hid(0x15, HID_WIN), Hid(0x07, HID_WIN), Hid(0x0F, HID_WIN)};
    return Table(rows);
}();
// Consumer usages: play/pause, stop, previous track, next track, volume up,
// volume down, mute, media select.
inline constexpr auto MEDIA_KEY_HID_TABLE = [] {
    using namespace hkt_presets_detail;
    const THID_CODE_INFO rows[] = {Hid(0xCD, 0), Hid(0xB7, 0), Hid(0xB6, 0), Hid(0xB5, 0),
                                   Hid(0xE9, 0), Hid(0xEA, 0), Hid(0xE2, 0), Hid(0x183, 0)};
    return Table(rows);
}();
// Consumer usages: home, back, forward, stop, refresh, search, favorites;
// entry 7 (the MAIL item) stays empty.
inline constexpr auto BROWSER_KEY_HID_TABLE = [] {
    using namespace hkt_presets_detail;
    const THID_CODE_INFO rows[] = {Hid(0x223, 0), Hid(0x224, 0), Hid(0x225, 0), Hid(0x226, 0),
                                   Hid(0x227, 0), Hid(0x221, 0), Hid(0x22A, 0)};
    return Table(rows);
}();

// Virtual keys with the suite's modifier mask (Alt 1, Ctrl 2, Shift 4, Win 8),
// texts empty.
inline constexpr auto BASIC_COMBO_KEY_TABLE = [] {
    using namespace hkt_presets_detail;
    const TCOMBOKEYINFO rows[] = {Combo(MODIFIER_CTRL, 0x58), Combo(MODIFIER_CTRL, 0x43), Combo(MODIFIER_CTRL, 0x56),
                                  Combo(MODIFIER_CTRL, 0x41), Combo(MODIFIER_CTRL, 0x46), Combo(MODIFIER_CTRL, 0x4E),
                                  Combo(MODIFIER_CTRL, 0x50), Combo(MODIFIER_CTRL, 0x53)};
    return Table(rows);
}();
inline constexpr auto ADVANCED_COMBO_KEY_TABLE = [] {
    using namespace hkt_presets_detail;
    const TCOMBOKEYINFO rows[] = {Combo(MODIFIER_ALT, 0x09), Combo(MODIFIER_ALT, 0x73), Combo(MODIFIER_WIN, 0x45),
                                  Combo(MODIFIER_WIN, 0x52), Combo(MODIFIER_WIN, 0x44), Combo(MODIFIER_WIN, 0x4C)};
    return Table(rows);
}();
inline constexpr auto MEDIA_COMBO_KEY_TABLE = [] {
    using namespace hkt_presets_detail;
    const TCOMBOKEYINFO rows[] = {Combo(0, 0xB3, 1), Combo(0, 0xB2, 1), Combo(0, 0xB1, 1), Combo(0, 0xB0, 1),
                                  Combo(0, 0xAF, 1), Combo(0, 0xAE, 1), Combo(0, 0xAD, 1), Combo(0, 0xB5, 1)};
    return Table(rows);
}();
// Ctrl+W, Ctrl+keypad plus, Ctrl+keypad minus, Ctrl+Shift+Tab, Ctrl+Tab.
inline constexpr auto TAB_COMBO_KEY_TABLE = [] {
    using namespace hkt_presets_detail;
    const TCOMBOKEYINFO rows[] = {Combo(MODIFIER_CTRL, 0x57), Combo(MODIFIER_CTRL, 0x6B), Combo(MODIFIER_CTRL, 0x6D),
                                  Combo(MODIFIER_CTRL | MODIFIER_SHIFT, 0x09), Combo(MODIFIER_CTRL, 0x09)};
    return Table(rows);
}();

// Accessors: copy entry Index into Info; an Index outside 0..49 leaves Info
// as it was.
void GetMediaKeyCode(int Index, THID_CODE_INFO &Info);
void GetBrowserKeyCode(int Index, THID_CODE_INFO &Info);
void GetBasicComboKey(int Index, TCOMBOKEYINFO &Info);
void GetAdvancedComboKey(int Index, TCOMBOKEYINFO &Info);
void GetTabComboKey(int Index, TCOMBOKEYINFO &Info);

// A shortcut from virtual keys: the HID usages of both keys (0 for a key
// without one) and the given HID modifier bits.
void MakeHIDCodeInfo(int Modifier, int VK1, int Ext1, int VK2, int Ext2, THID_CODE_INFO &Info);
// Sets the modifier, keys and extended flags of a combination; keeps its text.
void MakeComboKeyInfo(int Modifier, int Key1, int Ext1, int Key2, int Ext2, TCOMBOKEYINFO &Info);
