#include "core/kwKeyCode.h"

#include <gtest/gtest.h>

#include <iterator>
#include <set>

namespace {

TEST(KeyCode, TablesHaveTheirRowCountsAndCoverTheirCodes)
{
    EXPECT_EQ(NumPadNumLockOnTable.size(), 17u);
    EXPECT_EQ(NumPadNumLockOffTable.size(), 17u);
    EXPECT_EQ(VirtualKeyTable.size(), 184u);
    EXPECT_EQ(OEMKeyTable1.size(), 7u);
    EXPECT_EQ(OEMKeyTable2.size(), 8u);
    EXPECT_EQ(ExtendedKeyTable.size(), 4u);
    EXPECT_EQ(ExtendedNavigationKeyTable.size(), 8u);
    for (std::size_t i = 0; i < VirtualKeyTable.size(); ++i) {
        EXPECT_EQ(VirtualKeyTable[i].VKCode, int(i));
        EXPECT_EQ(VirtualKeyTable[i].ScanCode, 0);
    }
    for (std::size_t i = 0; i < OEMKeyTable1.size(); ++i)
        EXPECT_EQ(OEMKeyTable1[i].VKCode, int(0xBA + i));
    for (std::size_t i = 0; i < OEMKeyTable2.size(); ++i)
        EXPECT_EQ(OEMKeyTable2[i].VKCode, int(0xDB + i));
    for (const auto &row : ExtendedKeyTable)
        EXPECT_EQ(row.Extended, KEY_EXTENDED);
    for (std::size_t i = 0; i < ExtendedNavigationKeyTable.size(); ++i) {
        EXPECT_EQ(ExtendedNavigationKeyTable[i].VKCode, int(0x21 + i));
        EXPECT_EQ(ExtendedNavigationKeyTable[i].Extended, KEY_EXTENDED);
    }
    // Every code the normal tables claim is filled with a real row.
    for (int vk = 0; vk < KEY_LOOKUP_SIZE; ++vk) {
        const bool covered = vk <= 0xB7 || (vk >= 0xBA && vk <= 0xC0) || (vk >= 0xDB && vk <= 0xE2);
        EXPECT_EQ(QString::fromLatin1(NormalKeyInfo(vk).KeyDescription).startsWith(QLatin1String("UNDEFINED_")), !covered) << vk;
    }
}

TEST(KeyCode, HIDUsageLookups)
{
    struct Case { int64_t vk; int ext; int hid; };
    const Case cases[] = {
        {0x0D, 0, 0x28}, {0x0D, 1, 0x58}, {0x0D, 225, 0x58}, {0x0D, 224, 0x28},
        {0x21, 0, 0x61}, {0x21, 1, 0x4B},
        {0x5B, 1, 0xE3},              // normal row marked extended answers
        {0x6F, 1, 0x54},
        {0x41, 0, 0x04}, {0x5A, 0, 0x1D}, {0x41, 1, 0},
        {0x30, 0, 0x27}, {0x31, 0, 0x1E}, {0x39, 0, 0x26},
        {0x70, 0, 0x3A}, {0x7B, 0, 0x45}, {0x7C, 0, 0x68}, {0x87, 0, 0x73},
        {0x60, 0, 0x62}, {0x61, 0, 0x59}, {0x69, 0, 0x61},
        {0x10, 0, 0}, {300, 0, 0}, {-1, 0, 0}, {0xFFFFFFFFll, 0, 0},
        {0xA6, 1, 0x224}, {0xB5, 1, 0x183},
        {0xBA, 0, 0x33}, {0xDE, 0, 0x34}, {0xE2, 0, 0x64}, {0xDF, 0, 0},
        {0xFF, 1, 0x4C}, {0x2D, 1, 0x49}, {0x2D, 0, 0x62},
        {0x0D, 2, 0x58},              // any other flag reads the extended lookup
        {0x5B, 2, 0},                 // ... without looking at the normal row first
    };
    for (const Case &c : cases)
        EXPECT_EQ(GetHIDCodeByVK(c.vk, c.ext), c.hid) << std::hex << c.vk << " ext " << std::dec << c.ext;
}

TEST(KeyCode, Descriptions)
{
    struct Case { int64_t vk; int ext; const char *text; };
    const Case cases[] = {
        {0xC1, 0, "UNDEFINED_0C1"}, {0x05, 0, "Undefined"}, {0xE0, 0, "Undefined"},
        {0x2E, 0, "Keypad DEL"}, {0x2E, 1, "DEL"}, {0x00, 0, ""},
        {0xDC, 0, "\\|"}, {0xDE, 0, "'\""}, {0x41, 0, "A"}, {0x87, 0, "F24"}, {0x69, 0, "NUMPAD 9"},
        {0x41, 1, "UNDEFINED_041"}, {300, 0, ""}, {-1, 1, ""},
    };
    for (const Case &c : cases) {
        QString text = QStringLiteral("stale");
        GetKeyDescriptionByVK(c.vk, c.ext, text);
        EXPECT_EQ(text, QString::fromLatin1(c.text)) << std::hex << c.vk;
    }
    EXPECT_STREQ(NormalKeyInfo(0x05).VKName, "VK_UNDEFINED_05");
    EXPECT_STREQ(ExtendedKeyInfo(0x41).VKName, "VK_UNDEFINED_041");
    EXPECT_EQ(ExtendedKeyInfo(0x41).Extended, KEY_EXTENDED);
    EXPECT_EQ(NormalKeyInfo(0xC1).Extended, KEY_NOT_EXTENDED);
}

TEST(KeyCode, Modifiers)
{
    struct Case { uint8_t mod; const char *text; uint8_t hid; };
    const Case cases[] = {
        {15, "Alt+Ctrl+Shift+WIN+", 15}, {6, "Ctrl+Shift+", 3}, {2, "Ctrl+", 1}, {1, "Alt+", 4},
        {4, "Shift+", 2}, {8, "WIN+", 8}, {0xF0, "", 0},
    };
    for (const Case &c : cases) {
        QString text;
        GetModifierText(c.mod, text);
        EXPECT_EQ(text, QString::fromLatin1(c.text)) << int(c.mod);
        EXPECT_EQ(GetHIDModifier(c.mod), c.hid) << int(c.mod);
    }
}

TEST(KeyCode, UnusedKeypadTablesFollowTheirOrder)
{
    EXPECT_STREQ(NumPadNumLockOnTable[0].KeyDescription, "NUMPAD 0");
    EXPECT_EQ(NumPadNumLockOnTable[15].Extended, KEY_EXTENDED);
    EXPECT_STREQ(NumPadNumLockOnTable[16].KeyDescription, "KeyPad ENTER");
    EXPECT_STREQ(NumPadNumLockOffTable[10].VKName, "VK_0C");
    EXPECT_EQ(NumPadNumLockOffTable[10].HIDCode, 0x5D);
    for (int i = 0; i < 6; ++i)
        EXPECT_STREQ(NumPadNumLockOffTable[11 + i].KeyDescription, NumPadNumLockOnTable[11 + i].KeyDescription);
}

} // namespace

namespace {

// Rows of the two lookups as the key tables list them: code, name, extended
// mark, HID usage (-1 none), description, scan code.
struct KeyRow {
    int vk;
    const char *name;
    int extended;
    int hid;
    const char *text;
    int scan;
};

void CheckRows(const KeyRow *rows, std::size_t count, const TKeyboardInfoTable &(*lookup)(int))
{
    for (std::size_t i = 0; i < count; ++i) {
        const KeyRow &r = rows[i];
        const TKeyboardInfoTable &e = lookup(r.vk);
        SCOPED_TRACE(r.name);
        EXPECT_EQ(e.VKCode, r.vk);
        EXPECT_STREQ(e.VKName, r.name);
        EXPECT_EQ(e.Extended, r.extended);
        EXPECT_EQ(e.HIDCode, r.hid);
        EXPECT_STREQ(e.KeyDescription, r.text);
        EXPECT_EQ(e.ScanCode, r.scan);
    }
}

} // namespace

TEST(KeyCode, NormalLookupRows)
{
    const KeyRow rows[] = {
        {0x00, "VK_NULL", 224, -1, "", 0},
        {0x01, "VK_LBUTTON", 224, -1, "Mouse Left Click", 0},
        {0x02, "VK_RBUTTON", 224, -1, "Mouse Right Click", 0},
        {0x03, "VK_CANCEL", 224, -1, "Control Break", 0},
        {0x04, "VK_MBUTTON", 224, -1, "Mouse Middle Click", 0},
        {0x07, "VK_UNDEFINED_07", 224, -1, "Undefined", 0},
        {0x08, "VK_BACK", 224, 0x2A, "BACKSPACE", 0},
        {0x09, "VK_TAB", 224, 0x2B, "TAB", 0},
        {0x0C, "VK_CLEAR", 224, 0x9C, "CLEAR", 0},
        {0x0D, "VK_RETURN", 224, 0x28, "ENTER", 0},
        {0x10, "VK_SHIFT", 224, -1, "SHIFT", 0},
        {0x11, "VK_CONTROL", 224, -1, "CTRL", 0},
        {0x12, "VK_MENU", 224, -1, "ALT", 0},
        {0x13, "VK_PAUSE", 224, 0x48, "PAUSE", 0},
        {0x14, "VK_CAPITAL", 224, 0x39, "CAPS LOCK", 0},
        {0x1B, "VK_ESCAPE", 224, 0x29, "ESC", 0},
        {0x1C, "VK_UNDEFINED_1C", 224, -1, "Undefined", 0},
        {0x20, "VK_SPACE", 224, 0x2C, "SPACEBAR", 0},
        {0x21, "VK_PRIOR", 224, 0x61, "PAGE UP", 0},
        {0x22, "VK_NEXT", 224, 0x5B, "PAGE DOWN", 0},
        {0x23, "VK_END", 224, 0x59, "END", 0},
        {0x24, "VK_HOME", 224, 0x5F, "HOME", 0},
        {0x25, "VK_LEFT", 224, 0x5C, "LEFT ARROW", 0},
        {0x26, "VK_UP", 224, 0x60, "UP ARROW", 0},
        {0x27, "VK_RIGHT", 224, 0x5E, "RIGHT ARROW", 0},
        {0x28, "VK_DOWN", 224, 0x5A, "DOWN ARROW", 0},
        {0x29, "VK_SELECT", 224, -1, "SELECT", 0},
        {0x2A, "VK_PRINT", 224, -1, "PRINT", 0},
        {0x2B, "VK_EXECUTE", 224, -1, "EXECUTE", 0},
        {0x2C, "VK_SNAPSHOT", 225, 0x46, "PRINT SCREEN", 0},
        {0x2D, "VK_NUMPAD0_INSERT", 224, 0x62, "Keypad 0 Insert", 0},
        {0x2E, "VK_DELETE", 224, 0x63, "Keypad DEL", 0},
        {0x2F, "VK_HELP", 224, -1, "HELP", 0},
        {0x30, "VK_0", 224, 0x27, "0", 0},
        {0x35, "VK_5", 224, 0x22, "5", 0},
        {0x3A, "VK_UNDEFINED_3A", 224, -1, "Undefined", 0},
        {0x40, "VK_UNDEFINED_40", 224, -1, "Undefined", 0},
        {0x4D, "VK_M", 224, 0x10, "M", 0},
        {0x5B, "VK_LWIN", 225, 0xE3, "L WIN", 0},
        {0x5C, "VK_RWIN", 225, 0xE7, "R WIN", 0},
        {0x5D, "VK_APP", 225, 0x65, "APP", 0},
        {0x5E, "VK_UNDEFINED_5E", 224, -1, "Undefined", 0},
        {0x60, "VK_NUMPAD0", 224, 0x62, "NUMPAD 0", 0},
        {0x65, "VK_NUMPAD5", 224, 0x5D, "NUMPAD 5", 0},
        {0x6A, "VK_MULTIPLY", 224, 0x55, "Multiply", 0},
        {0x6B, "VK_ADD", 224, 0x57, "+", 0},
        {0x6C, "VK_SEPARATOR", 224, 0x97, "Separator", 0},
        {0x6D, "VK_SUBTRACT", 224, 0x56, "-", 0},
        {0x6E, "VK_DECIMAL", 224, 0x63, "Decimal", 0},
        {0x6F, "VK_DIVIDE", 225, 0x54, "Divide", 0},
        {0x75, "VK_F6", 224, 0x3F, "F6", 0},
        {0x80, "VK_F17", 224, 0x6C, "F17", 0},
        {0x88, "VK_UNDEFINED_88", 224, -1, "Undefined", 0},
        {0x8F, "VK_UNDEFINED_8F", 224, -1, "Undefined", 0},
        {0x90, "VK_NUMLOCK", 225, 0x53, "NUM LOCK", 0},
        {0x91, "VK_SCROLL", 224, 0x47, "Scroll Lock", 0},
        {0x92, "VK_UNDEFINED_92", 224, -1, "Undefined", 0},
        {0x9F, "VK_UNDEFINED_9F", 224, -1, "Undefined", 0},
        {0xA0, "VK_LSHIFT", 224, 0xE1, "L SHIFT", 0},
        {0xA1, "VK_RSHIFT", 225, 0xE5, "R SHIFT", 0},
        {0xA2, "VK_LCONTROL", 224, 0xE0, "L CTRL", 0},
        {0xA3, "VK_RCONTROL", 225, 0xE4, "R CTRL", 0},
        {0xA4, "VK_LMENU", 224, 0xE2, "L ALT", 0},
        {0xA5, "VK_RMENU", 225, 0xE6, "R ALT", 0},
        {0xA6, "VK_BROWSER_BACK", 225, 0x224, "BROWSER_BACK", 0},
        {0xA7, "VK_BROWSER_FORWARD", 225, 0x225, "BROWSER_FORWARD", 0},
        {0xA8, "VK_BROWSER_REFRESH", 225, 0x227, "BROWSER_REFRESH", 0},
        {0xA9, "VK_BROWSER_STOP", 225, 0x226, "BROWSER_STOP", 0},
        {0xAA, "VK_BROWSER_SEARCH", 225, 0x221, "BROWSER_SEARCH", 0},
        {0xAB, "VK_BROWSER_FAVORITES", 225, 0x22A, "BROWSER_FAVORITES", 0},
        {0xAC, "VK_BROWSER_HOME", 225, 0x223, "BROWSER_HOME", 0},
        {0xAD, "VK_VOLUME_MUTE", 225, 0xE2, "VOLUME_MUTE", 0},
        {0xAE, "VK_VOLUME_DOWN", 225, 0xEA, "VOLUME_DOWN", 0},
        {0xAF, "VK_VOLUME_UP", 225, 0xE9, "VOLUME_UP", 0},
        {0xB0, "VK_MEDIA_NEXT_TRACK", 225, 0xB5, "MEDIA_NEXT_TRACK", 0},
        {0xB1, "VK_MEDIA_PREV_TRACK", 225, 0xB6, "MEDIA_PREV_TRACK", 0},
        {0xB2, "VK_MEDIA_STOP", 225, 0xB7, "MEDIA_STOP", 0},
        {0xB3, "VK_MEDIA_PLAY_PAUSE", 225, 0xCD, "MEDIA_PLAY_PAUSE", 0},
        {0xB4, "VK_LAUNCH_MAIL", 225, 0x18A, "LAUNCH_MAIL", 0},
        {0xB5, "VK_LAUNCH_MEDIA_SELECT", 225, 0x183, "LAUNCH_MEDIA_SELECT", 0},
        {0xB6, "VK_LAUNCH_APP1", 225, 0x194, "LAUNCH_APP1", 0},
        {0xB7, "VK_LAUNCH_APP2", 225, 0x192, "LAUNCH_APP2", 0},
        {0xBA, "VK_OEM_1", 224, 0x33, ";:", 0x27},
        {0xBB, "VK_OEM_PLUS", 224, 0x2E, "+=", 0x0D},
        {0xBC, "VK_OEM_COMMA", 224, 0x36, ",<", 0x33},
        {0xBD, "VK_OEM_MINUS", 224, 0x2D, "-_", 0x0C},
        {0xBE, "VK_OEM_PERIOD", 224, 0x37, ".>", 0x34},
        {0xBF, "VK_OEM_2", 224, 0x38, "/?", 0x35},
        {0xC0, "VK_OEM_3", 224, 0x35, "~`", 0x29},
        {0xDB, "VK_OEM_4", 224, 0x2F, "[{", 0x1A},
        {0xDC, "VK_OEM_5", 224, 0x31, "\\|", 0x2B},
        {0xDD, "VK_OEM_6", 224, 0x30, "]}", 0x1B},
        {0xDE, "VK_OEM_7", 224, 0x34, "'\"", 0x28},
        {0xDF, "VK_OEM_8", 224, -1, "None", 0},
        {0xE0, "VK_UNDEFINED_E0", 224, -1, "Undefined", 0},
        {0xE1, "VK_OEM_AX", 224, -1, "AX", 0},
        {0xE2, "VK_OEM_102", 224, 0x64, "Europe 2 (Note 2)", 0x56},
        {0xC1, "VK_UNDEFINED_0C1", 224, -1, "UNDEFINED_0C1", 0},
        {0xFF, "VK_UNDEFINED_0FF", 224, -1, "UNDEFINED_0FF", 0},
        {299, "VK_UNDEFINED_12B", 224, -1, "UNDEFINED_12B", 0},
    };
    CheckRows(rows, std::size(rows), NormalKeyInfo);
}

TEST(KeyCode, ExtendedLookupRows)
{
    const KeyRow rows[] = {
        {0x0D, "VK_RETURN", 225, 0x58, "ENTER", 0},
        {0x2D, "VK_INSERT", 225, 0x49, "INS", 0},
        {0x2E, "VK_DELETE", 225, 0x4C, "DEL", 0},
        {0xFF, "VK_POWER", 225, 0x4C, "DEL", 0x5E},
        {0x21, "VK_PRIOR", 225, 0x4B, "PAGE UP", 0},
        {0x22, "VK_NEXT", 225, 0x4E, "PAGE DOWN", 0},
        {0x23, "VK_END", 225, 0x4D, "END", 0},
        {0x24, "VK_HOME", 225, 0x4A, "HOME", 0},
        {0x25, "VK_LEFT", 225, 0x50, "LEFT ARROW", 0},
        {0x26, "VK_UP", 225, 0x52, "UP ARROW", 0},
        {0x27, "VK_RIGHT", 225, 0x4F, "RIGHT ARROW", 0},
        {0x28, "VK_DOWN", 225, 0x51, "DOWN ARROW", 0},
        {0x5B, "VK_UNDEFINED_05B", 225, -1, "UNDEFINED_05B", 0},
    };
    CheckRows(rows, std::size(rows), ExtendedKeyInfo);
}
