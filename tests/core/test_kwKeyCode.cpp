#include "core/kwKeyCode.h"

#include <gtest/gtest.h>

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
