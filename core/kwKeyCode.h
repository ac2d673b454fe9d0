#pragma once
// Keys as the suite stores them (Windows virtual-key codes with an extended
// flag), their display texts and the HID usages the mouse is sent. The
// constant tables below are the source; the two lookups indexed by virtual-key
// code are built from them once, on first use, and never change afterwards.

#include <QString>

#include <array>
#include <cstdint>

struct TKeyboardInfoTable {
    const char *VKName;
    int32_t VKCode;
    int32_t ScanCode;          // stored only
    int32_t Extended;          // KEY_NOT_EXTENDED or KEY_EXTENDED
    int32_t HIDCode;           // -1: the key has no usage
    const char *KeyDescription;
};

inline constexpr int32_t KEY_NOT_EXTENDED = 224;
inline constexpr int32_t KEY_EXTENDED = 225;
inline constexpr int KEY_LOOKUP_SIZE = 300;   // virtual-key codes 0..299

// Numeric keypad with NumLock on; no lookup is built from it.
inline constexpr std::array<TKeyboardInfoTable, 17> NumPadNumLockOnTable = {{
    {"VK_NUMPAD0", 0x60, 0x00, 224, 0x62, "NUMPAD 0"},
    {"VK_NUMPAD1", 0x61, 0x00, 224, 0x59, "NUMPAD 1"},
    {"VK_NUMPAD2", 0x62, 0x00, 224, 0x5A, "NUMPAD 2"},
    {"VK_NUMPAD3", 0x63, 0x00, 224, 0x5B, "NUMPAD 3"},
    {"VK_NUMPAD4", 0x64, 0x00, 224, 0x5C, "NUMPAD 4"},
    {"VK_NUMPAD5", 0x65, 0x00, 224, 0x5D, "NUMPAD 5"},
    {"VK_NUMPAD6", 0x66, 0x00, 224, 0x5E, "NUMPAD 6"},
    {"VK_NUMPAD7", 0x67, 0x00, 224, 0x5F, "NUMPAD 7"},
    {"VK_NUMPAD8", 0x68, 0x00, 224, 0x60, "NUMPAD 8"},
    {"VK_NUMPAD9", 0x69, 0x00, 224, 0x61, "NUMPAD 9"},
    {"VK_DECIMAL", 0x6E, 0x00, 224, 0x63, "Decimal"},
    {"VK_MULTIPLY", 0x6A, 0x00, 224, 0x55, "KeyPad Multiply"},
    {"VK_ADD", 0x6B, 0x00, 224, 0x57, "KeyPad Add"},
    {"VK_SEPARATOR", 0x6C, 0x00, 224, 0x97, "KeyPad Separator"},
    {"VK_SUBTRACT", 0x6D, 0x00, 224, 0x56, "KeyPad Subtract"},
    {"VK_DIVIDE", 0x6F, 0x00, 225, 0x54, "KeyPad Divide"},
    {"VK_RETURN", 0x0D, 0x00, 225, 0x58, "KeyPad ENTER"},
}};

// Numeric keypad with NumLock off; no lookup is built from it.
inline constexpr std::array<TKeyboardInfoTable, 17> NumPadNumLockOffTable = {{
    {"VK_NUMPAD0_INSERT", 0x2D, 0x00, 224, 0x62, "Keypad 0 Insert"},
    {"VK_DECIMAL_DELETE", 0x2E, 0x00, 224, 0x63, "KeyPad Delete"},
    {"VK_PRIOR", 0x21, 0x00, 224, 0x61, "KeyPad PAGE UP"},
    {"VK_NEXT", 0x22, 0x00, 224, 0x5B, "KeyPad PAGE DOWN"},
    {"VK_END", 0x23, 0x00, 224, 0x59, "KeyPad END"},
    {"VK_HOME", 0x24, 0x00, 224, 0x5F, "KeyPad HOME"},
    {"VK_LEFT", 0x25, 0x00, 224, 0x5C, "KeyPad LEFT ARROW"},
    {"VK_UP", 0x26, 0x00, 224, 0x60, "KeyPad UP ARROW"},
    {"VK_RIGHT", 0x27, 0x00, 224, 0x5E, "KeyPad RIGHT ARROW"},
    {"VK_DOWN", 0x28, 0x00, 224, 0x5A, "KeyPad DOWN ARROW"},
    {"VK_0C", 0x0C, 0x00, 224, 0x5D, "KeyPad 5"},
    {"VK_MULTIPLY", 0x6A, 0x00, 224, 0x55, "KeyPad Multiply"},
    {"VK_ADD", 0x6B, 0x00, 224, 0x57, "KeyPad Add"},
    {"VK_SEPARATOR", 0x6C, 0x00, 224, 0x97, "KeyPad Separator"},
    {"VK_SUBTRACT", 0x6D, 0x00, 224, 0x56, "KeyPad Subtract"},
    {"VK_DIVIDE", 0x6F, 0x00, 225, 0x54, "KeyPad Divide"},
    {"VK_RETURN", 0x0D, 0x00, 225, 0x58, "KeyPad ENTER"},
}};

// Virtual keys 0x00 to 0xB7, one row each in code order (normal lookup).
inline constexpr std::array<TKeyboardInfoTable, 184> VirtualKeyTable = {{
    {"VK_NULL", 0x00, 0x00, 224, -1, ""},
    {"VK_LBUTTON", 0x01, 0x00, 224, -1, "Mouse Left Click"},
    {"VK_RBUTTON", 0x02, 0x00, 224, -1, "Mouse Right Click"},
    {"VK_CANCEL", 0x03, 0x00, 224, -1, "Control Break"},
    {"VK_MBUTTON", 0x04, 0x00, 224, -1, "Mouse Middle Click"},
    {"VK_UNDEFINED_05", 0x05, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_06", 0x06, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_07", 0x07, 0x00, 224, -1, "Undefined"},
    {"VK_BACK", 0x08, 0x00, 224, 0x2A, "BACKSPACE"},
    {"VK_TAB", 0x09, 0x00, 224, 0x2B, "TAB"},
    {"VK_UNDEFINED_0A", 0x0A, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_0B", 0x0B, 0x00, 224, -1, "Undefined"},
    {"VK_CLEAR", 0x0C, 0x00, 224, 0x9C, "CLEAR"},
    {"VK_RETURN", 0x0D, 0x00, 224, 0x28, "ENTER"},
    {"VK_UNDEFINED_0E", 0x0E, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_0F", 0x0F, 0x00, 224, -1, "Undefined"},
    {"VK_SHIFT", 0x10, 0x00, 224, -1, "SHIFT"},
    {"VK_CONTROL", 0x11, 0x00, 224, -1, "CTRL"},
    {"VK_MENU", 0x12, 0x00, 224, -1, "ALT"},
    {"VK_PAUSE", 0x13, 0x00, 224, 0x48, "PAUSE"},
    {"VK_CAPITAL", 0x14, 0x00, 224, 0x39, "CAPS LOCK"},
    {"VK_UNDEFINED_15", 0x15, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_16", 0x16, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_17", 0x17, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_18", 0x18, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_19", 0x19, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_1A", 0x1A, 0x00, 224, -1, "Undefined"},
    {"VK_ESCAPE", 0x1B, 0x00, 224, 0x29, "ESC"},
    {"VK_UNDEFINED_1C", 0x1C, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_1D", 0x1D, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_1E", 0x1E, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_1F", 0x1F, 0x00, 224, -1, "Undefined"},
    {"VK_SPACE", 0x20, 0x00, 224, 0x2C, "SPACEBAR"},
    {"VK_PRIOR", 0x21, 0x00, 224, 0x61, "PAGE UP"},
    {"VK_NEXT", 0x22, 0x00, 224, 0x5B, "PAGE DOWN"},
    {"VK_END", 0x23, 0x00, 224, 0x59, "END"},
    {"VK_HOME", 0x24, 0x00, 224, 0x5F, "HOME"},
    {"VK_LEFT", 0x25, 0x00, 224, 0x5C, "LEFT ARROW"},
    {"VK_UP", 0x26, 0x00, 224, 0x60, "UP ARROW"},
    {"VK_RIGHT", 0x27, 0x00, 224, 0x5E, "RIGHT ARROW"},
    {"VK_DOWN", 0x28, 0x00, 224, 0x5A, "DOWN ARROW"},
    {"VK_SELECT", 0x29, 0x00, 224, -1, "SELECT"},
    {"VK_PRINT", 0x2A, 0x00, 224, -1, "PRINT"},
    {"VK_EXECUTE", 0x2B, 0x00, 224, -1, "EXECUTE"},
    {"VK_SNAPSHOT", 0x2C, 0x00, 225, 0x46, "PRINT SCREEN"},
    {"VK_NUMPAD0_INSERT", 0x2D, 0x00, 224, 0x62, "Keypad 0 Insert"},
    {"VK_DELETE", 0x2E, 0x00, 224, 0x63, "Keypad DEL"},
    {"VK_HELP", 0x2F, 0x00, 224, -1, "HELP"},
    {"VK_0", 0x30, 0x00, 224, 0x27, "0"},
    {"VK_1", 0x31, 0x00, 224, 0x1E, "1"},
    {"VK_2", 0x32, 0x00, 224, 0x1F, "2"},
    {"VK_3", 0x33, 0x00, 224, 0x20, "3"},
    {"VK_4", 0x34, 0x00, 224, 0x21, "4"},
    {"VK_5", 0x35, 0x00, 224, 0x22, "5"},
    {"VK_6", 0x36, 0x00, 224, 0x23, "6"},
    {"VK_7", 0x37, 0x00, 224, 0x24, "7"},
    {"VK_8", 0x38, 0x00, 224, 0x25, "8"},
    {"VK_9", 0x39, 0x00, 224, 0x26, "9"},
    {"VK_UNDEFINED_3A", 0x3A, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_3B", 0x3B, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_3C", 0x3C, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_3D", 0x3D, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_3E", 0x3E, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_3F", 0x3F, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_40", 0x40, 0x00, 224, -1, "Undefined"},
    {"VK_A", 0x41, 0x00, 224, 0x04, "A"},
    {"VK_B", 0x42, 0x00, 224, 0x05, "B"},
    {"VK_C", 0x43, 0x00, 224, 0x06, "C"},
    {"VK_D", 0x44, 0x00, 224, 0x07, "D"},
    {"VK_E", 0x45, 0x00, 224, 0x08, "E"},
    {"VK_F", 0x46, 0x00, 224, 0x09, "F"},
    {"VK_G", 0x47, 0x00, 224, 0x0A, "G"},
    {"VK_H", 0x48, 0x00, 224, 0x0B, "H"},
    {"VK_I", 0x49, 0x00, 224, 0x0C, "I"},
    {"VK_J", 0x4A, 0x00, 224, 0x0D, "J"},
    {"VK_K", 0x4B, 0x00, 224, 0x0E, "K"},
    {"VK_L", 0x4C, 0x00, 224, 0x0F, "L"},
    {"VK_M", 0x4D, 0x00, 224, 0x10, "M"},
    {"VK_N", 0x4E, 0x00, 224, 0x11, "N"},
    {"VK_O", 0x4F, 0x00, 224, 0x12, "O"},
    {"VK_P", 0x50, 0x00, 224, 0x13, "P"},
    {"VK_Q", 0x51, 0x00, 224, 0x14, "Q"},
    {"VK_R", 0x52, 0x00, 224, 0x15, "R"},
    {"VK_S", 0x53, 0x00, 224, 0x16, "S"},
    {"VK_T", 0x54, 0x00, 224, 0x17, "T"},
    {"VK_U", 0x55, 0x00, 224, 0x18, "U"},
    {"VK_V", 0x56, 0x00, 224, 0x19, "V"},
    {"VK_W", 0x57, 0x00, 224, 0x1A, "W"},
    {"VK_X", 0x58, 0x00, 224, 0x1B, "X"},
    {"VK_Y", 0x59, 0x00, 224, 0x1C, "Y"},
    {"VK_Z", 0x5A, 0x00, 224, 0x1D, "Z"},
    {"VK_LWIN", 0x5B, 0x00, 225, 0xE3, "L WIN"},
    {"VK_RWIN", 0x5C, 0x00, 225, 0xE7, "R WIN"},
    {"VK_APP", 0x5D, 0x00, 225, 0x65, "APP"},
    {"VK_UNDEFINED_5E", 0x5E, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_5F", 0x5F, 0x00, 224, -1, "Undefined"},
    {"VK_NUMPAD0", 0x60, 0x00, 224, 0x62, "NUMPAD 0"},
    {"VK_NUMPAD1", 0x61, 0x00, 224, 0x59, "NUMPAD 1"},
    {"VK_NUMPAD2", 0x62, 0x00, 224, 0x5A, "NUMPAD 2"},
    {"VK_NUMPAD3", 0x63, 0x00, 224, 0x5B, "NUMPAD 3"},
    {"VK_NUMPAD4", 0x64, 0x00, 224, 0x5C, "NUMPAD 4"},
    {"VK_NUMPAD5", 0x65, 0x00, 224, 0x5D, "NUMPAD 5"},
    {"VK_NUMPAD6", 0x66, 0x00, 224, 0x5E, "NUMPAD 6"},
    {"VK_NUMPAD7", 0x67, 0x00, 224, 0x5F, "NUMPAD 7"},
    {"VK_NUMPAD8", 0x68, 0x00, 224, 0x60, "NUMPAD 8"},
    {"VK_NUMPAD9", 0x69, 0x00, 224, 0x61, "NUMPAD 9"},
    {"VK_MULTIPLY", 0x6A, 0x00, 224, 0x55, "Multiply"},
    {"VK_ADD", 0x6B, 0x00, 224, 0x57, "+"},
    {"VK_SEPARATOR", 0x6C, 0x00, 224, 0x97, "Separator"},
    {"VK_SUBTRACT", 0x6D, 0x00, 224, 0x56, "-"},
    {"VK_DECIMAL", 0x6E, 0x00, 224, 0x63, "Decimal"},
    {"VK_DIVIDE", 0x6F, 0x00, 225, 0x54, "Divide"},
    {"VK_F1", 0x70, 0x00, 224, 0x3A, "F1"},
    {"VK_F2", 0x71, 0x00, 224, 0x3B, "F2"},
    {"VK_F3", 0x72, 0x00, 224, 0x3C, "F3"},
    {"VK_F4", 0x73, 0x00, 224, 0x3D, "F4"},
    {"VK_F5", 0x74, 0x00, 224, 0x3E, "F5"},
    {"VK_F6", 0x75, 0x00, 224, 0x3F, "F6"},
    {"VK_F7", 0x76, 0x00, 224, 0x40, "F7"},
    {"VK_F8", 0x77, 0x00, 224, 0x41, "F8"},
    {"VK_F9", 0x78, 0x00, 224, 0x42, "F9"},
    {"VK_F10", 0x79, 0x00, 224, 0x43, "F10"},
    {"VK_F11", 0x7A, 0x00, 224, 0x44, "F11"},
    {"VK_F12", 0x7B, 0x00, 224, 0x45, "F12"},
    {"VK_F13", 0x7C, 0x00, 224, 0x68, "F13"},
    {"VK_F14", 0x7D, 0x00, 224, 0x69, "F14"},
    {"VK_F15", 0x7E, 0x00, 224, 0x6A, "F15"},
    {"VK_F16", 0x7F, 0x00, 224, 0x6B, "F16"},
    {"VK_F17", 0x80, 0x00, 224, 0x6C, "F17"},
    {"VK_F18", 0x81, 0x00, 224, 0x6D, "F18"},
    {"VK_F19", 0x82, 0x00, 224, 0x6E, "F19"},
    {"VK_F20", 0x83, 0x00, 224, 0x6F, "F20"},
    {"VK_F21", 0x84, 0x00, 224, 0x70, "F21"},
    {"VK_F22", 0x85, 0x00, 224, 0x71, "F22"},
    {"VK_F23", 0x86, 0x00, 224, 0x72, "F23"},
    {"VK_F24", 0x87, 0x00, 224, 0x73, "F24"},
    {"VK_UNDEFINED_88", 0x88, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_89", 0x89, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_8A", 0x8A, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_8B", 0x8B, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_8C", 0x8C, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_8D", 0x8D, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_8E", 0x8E, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_8F", 0x8F, 0x00, 224, -1, "Undefined"},
    {"VK_NUMLOCK", 0x90, 0x00, 225, 0x53, "NUM LOCK"},
    {"VK_SCROLL", 0x91, 0x00, 224, 0x47, "Scroll Lock"},
    {"VK_UNDEFINED_92", 0x92, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_93", 0x93, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_94", 0x94, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_95", 0x95, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_96", 0x96, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_97", 0x97, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_98", 0x98, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_99", 0x99, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_9A", 0x9A, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_9B", 0x9B, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_9C", 0x9C, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_9D", 0x9D, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_9E", 0x9E, 0x00, 224, -1, "Undefined"},
    {"VK_UNDEFINED_9F", 0x9F, 0x00, 224, -1, "Undefined"},
    {"VK_LSHIFT", 0xA0, 0x00, 224, 0xE1, "L SHIFT"},
    {"VK_RSHIFT", 0xA1, 0x00, 225, 0xE5, "R SHIFT"},
    {"VK_LCONTROL", 0xA2, 0x00, 224, 0xE0, "L CTRL"},
    {"VK_RCONTROL", 0xA3, 0x00, 225, 0xE4, "R CTRL"},
    {"VK_LMENU", 0xA4, 0x00, 224, 0xE2, "L ALT"},
    {"VK_RMENU", 0xA5, 0x00, 225, 0xE6, "R ALT"},
    {"VK_BROWSER_BACK", 0xA6, 0x00, 225, 0x224, "BROWSER_BACK"},
    {"VK_BROWSER_FORWARD", 0xA7, 0x00, 225, 0x225, "BROWSER_FORWARD"},
    {"VK_BROWSER_REFRESH", 0xA8, 0x00, 225, 0x227, "BROWSER_REFRESH"},
    {"VK_BROWSER_STOP", 0xA9, 0x00, 225, 0x226, "BROWSER_STOP"},
    {"VK_BROWSER_SEARCH", 0xAA, 0x00, 225, 0x221, "BROWSER_SEARCH"},
    {"VK_BROWSER_FAVORITES", 0xAB, 0x00, 225, 0x22A, "BROWSER_FAVORITES"},
    {"VK_BROWSER_HOME", 0xAC, 0x00, 225, 0x223, "BROWSER_HOME"},
    {"VK_VOLUME_MUTE", 0xAD, 0x00, 225, 0xE2, "VOLUME_MUTE"},
    {"VK_VOLUME_DOWN", 0xAE, 0x00, 225, 0xEA, "VOLUME_DOWN"},
    {"VK_VOLUME_UP", 0xAF, 0x00, 225, 0xE9, "VOLUME_UP"},
    {"VK_MEDIA_NEXT_TRACK", 0xB0, 0x00, 225, 0xB5, "MEDIA_NEXT_TRACK"},
    {"VK_MEDIA_PREV_TRACK", 0xB1, 0x00, 225, 0xB6, "MEDIA_PREV_TRACK"},
    {"VK_MEDIA_STOP", 0xB2, 0x00, 225, 0xB7, "MEDIA_STOP"},
    {"VK_MEDIA_PLAY_PAUSE", 0xB3, 0x00, 225, 0xCD, "MEDIA_PLAY_PAUSE"},
    {"VK_LAUNCH_MAIL", 0xB4, 0x00, 225, 0x18A, "LAUNCH_MAIL"},
    {"VK_LAUNCH_MEDIA_SELECT", 0xB5, 0x00, 225, 0x183, "LAUNCH_MEDIA_SELECT"},
    {"VK_LAUNCH_APP1", 0xB6, 0x00, 225, 0x194, "LAUNCH_APP1"},
    {"VK_LAUNCH_APP2", 0xB7, 0x00, 225, 0x192, "LAUNCH_APP2"},
}};

// Punctuation keys 0xBA to 0xC0 (normal lookup).
inline constexpr std::array<TKeyboardInfoTable, 7> OEMKeyTable1 = {{
    {"VK_OEM_1", 0xBA, 0x27, 224, 0x33, ";:"},
    {"VK_OEM_PLUS", 0xBB, 0x0D, 224, 0x2E, "+="},
    {"VK_OEM_COMMA", 0xBC, 0x33, 224, 0x36, ",<"},
    {"VK_OEM_MINUS", 0xBD, 0x0C, 224, 0x2D, "-_"},
    {"VK_OEM_PERIOD", 0xBE, 0x34, 224, 0x37, ".>"},
    {"VK_OEM_2", 0xBF, 0x35, 224, 0x38, "/?"},
    {"VK_OEM_3", 0xC0, 0x29, 224, 0x35, "~`"},
}};

// Punctuation and OEM keys 0xDB to 0xE2 (normal lookup).
inline constexpr std::array<TKeyboardInfoTable, 8> OEMKeyTable2 = {{
    {"VK_OEM_4", 0xDB, 0x1A, 224, 0x2F, "[{"},
    {"VK_OEM_5", 0xDC, 0x2B, 224, 0x31, "\\|"},
    {"VK_OEM_6", 0xDD, 0x1B, 224, 0x30, "]}"},
    {"VK_OEM_7", 0xDE, 0x28, 224, 0x34, "'\""},
    {"VK_OEM_8", 0xDF, 0x00, 224, -1, "None"},
    {"VK_UNDEFINED_E0", 0xE0, 0x00, 224, -1, "Undefined"},
    {"VK_OEM_AX", 0xE1, 0x00, 224, -1, "AX"},
    {"VK_OEM_102", 0xE2, 0x56, 224, 0x64, "Europe 2 (Note 2)"},
}};

// Extended Enter, Insert, Delete and 0xFF (extended lookup).
inline constexpr std::array<TKeyboardInfoTable, 4> ExtendedKeyTable = {{
    {"VK_RETURN", 0x0D, 0x00, 225, 0x58, "ENTER"},
    {"VK_INSERT", 0x2D, 0x00, 225, 0x49, "INS"},
    {"VK_DELETE", 0x2E, 0x00, 225, 0x4C, "DEL"},
    {"VK_POWER", 0xFF, 0x5E, 225, 0x4C, "DEL"},
}};

// Extended navigation keys 0x21 to 0x28 (extended lookup).
inline constexpr std::array<TKeyboardInfoTable, 8> ExtendedNavigationKeyTable = {{
    {"VK_PRIOR", 0x21, 0x00, 225, 0x4B, "PAGE UP"},
    {"VK_NEXT", 0x22, 0x00, 225, 0x4E, "PAGE DOWN"},
    {"VK_END", 0x23, 0x00, 225, 0x4D, "END"},
    {"VK_HOME", 0x24, 0x00, 225, 0x4A, "HOME"},
    {"VK_LEFT", 0x25, 0x00, 225, 0x50, "LEFT ARROW"},
    {"VK_UP", 0x26, 0x00, 225, 0x52, "UP ARROW"},
    {"VK_RIGHT", 0x27, 0x00, 225, 0x4F, "RIGHT ARROW"},
    {"VK_DOWN", 0x28, 0x00, 225, 0x51, "DOWN ARROW"},
}};

// The HID usage of a key; 0 when it has none or the code is outside 0..299.
// Extended: 0/224 normal, 1/225 extended (a key whose normal row is marked
// extended, such as VK_LWIN, answers from that row), any other value reads
// the extended lookup directly.
int GetHIDCodeByVK(int64_t VK, int Extended);
// The display text of a key, empty outside 0..299.
void GetKeyDescriptionByVK(int64_t VK, int Extended, QString &Text);
QString GetKeyDescriptionByVK(int64_t VK, int Extended);
// "Alt+", "Ctrl+", "Shift+", "WIN+" for the bits 1, 2, 4, 8, in that order.
void GetModifierText(uint8_t Modifier, QString &Text);
QString GetModifierText(uint8_t Modifier);
// The suite's modifier bits (Alt 1, Ctrl 2, Shift 4, Win 8) as HID keyboard
// modifier bits (Ctrl 1, Shift 2, Alt 4, Win 8); other bits are dropped.
uint8_t GetHIDModifier(uint8_t Modifier);
// Builds the two lookups (thread-safe; the routines above call it).
void InitKeyboardInfoTables();

// The lookup entries, for a code 0..299 (clamped into that range).
const TKeyboardInfoTable &NormalKeyInfo(int VK);
const TKeyboardInfoTable &ExtendedKeyInfo(int VK);
