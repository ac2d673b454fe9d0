#include "core/kwKeyCode.h"
#include "core/pubunit_device_presets.h"

#include <gtest/gtest.h>

namespace {

bool Same(const TCOMBOKEYINFO &a, const TCOMBOKEYINFO &b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool Same(const THID_CODE_INFO &a, const THID_CODE_INFO &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(Presets, AccessorEntries)
{
    TCOMBOKEYINFO combo;
    std::memset(&combo, 0x5A, sizeof combo);
    GetBasicComboKey(1, combo);
    TCOMBOKEYINFO expected{};
    expected.nModifier = 2;
    expected.nKeyValue1 = 0x43;
    EXPECT_TRUE(Same(combo, expected));

    GetTabComboKey(3, combo);
    EXPECT_EQ(combo.nModifier, 6);
    EXPECT_EQ(combo.nKeyValue1, 0x09);
    GetAdvancedComboKey(1, combo);
    EXPECT_EQ(combo.nModifier, MODIFIER_ALT);
    EXPECT_EQ(combo.nKeyValue1, 0x73);
    GetAdvancedComboKey(4, combo);
    EXPECT_EQ(combo.nModifier, MODIFIER_WIN);
    EXPECT_EQ(combo.nKeyValue1, 0x44);

    THID_CODE_INFO hid{};
    GetMediaKeyCode(0, hid);
    EXPECT_EQ(hid.nKeyValue1, 0xCD);
    GetMediaKeyCode(7, hid);
    EXPECT_EQ(hid.nKeyValue1, 0x183);
    GetBrowserKeyCode(1, hid);
    EXPECT_EQ(hid.nKeyValue1, 0x224);
    GetBrowserKeyCode(7, hid);
    EXPECT_TRUE(Same(hid, THID_CODE_INFO{}));
}

TEST(Presets, EmptyRowsAndOutOfRangeIndexes)
{
    for (int i = 6; i < PRESET_TABLE_SIZE; ++i) {
        TCOMBOKEYINFO c;
        std::memset(&c, 0x5A, sizeof c);
        GetAdvancedComboKey(i, c);
        EXPECT_TRUE(Same(c, TCOMBOKEYINFO{})) << i;
    }
    for (int bad : {50, -1, 1000}) {
        TCOMBOKEYINFO c;
        std::memset(&c, 0x5A, sizeof c);
        const TCOMBOKEYINFO before = c;
        GetAdvancedComboKey(bad, c);
        GetBasicComboKey(bad, c);
        GetTabComboKey(bad, c);
        EXPECT_TRUE(Same(c, before)) << bad;
        THID_CODE_INFO h{1, 2, 3};
        GetMediaKeyCode(bad, h);
        GetBrowserKeyCode(bad, h);
        EXPECT_TRUE(Same(h, (THID_CODE_INFO{1, 2, 3}))) << bad;
    }
}

TEST(Presets, MakeRecords)
{
    THID_CODE_INFO h{};
    MakeHIDCodeInfo(1, 0x58, 0, 0, 0, h);
    EXPECT_TRUE(Same(h, (THID_CODE_INFO{0x1B, 0, 1})));

    TCOMBOKEYINFO c{};
    SetFieldText(c.ComboKeyText, QStringLiteral("kept"));
    MakeComboKeyInfo(6, 0x09, 0, 0x41, 1, c);
    EXPECT_EQ(c.nModifier, 6);
    EXPECT_EQ(c.nKeyValue2, 0x41);
    EXPECT_EQ(c.nKey2Extended, 1);
    EXPECT_EQ(FieldText(c.ComboKeyText), QStringLiteral("kept"));
}

// The preset usages are fixed data; they must be what the key tables give
// for the keys they stand for.
TEST(Presets, AgreeWithTheKeyTables)
{
    const int mediaVK[] = {0xB3, 0xB2, 0xB1, 0xB0, 0xAF, 0xAE, 0xAD, 0xB5};
    for (int i = 0; i < 8; ++i) {
        THID_CODE_INFO expected{};
        MakeHIDCodeInfo(0, mediaVK[i], 1, 0, 0, expected);
        EXPECT_TRUE(Same(MEDIA_KEY_HID_TABLE[i], expected)) << i;
        EXPECT_EQ(MEDIA_COMBO_KEY_TABLE[i].nKeyValue1, mediaVK[i]);
        EXPECT_EQ(MEDIA_COMBO_KEY_TABLE[i].nKey1Extended, 1);
    }
    const int browserVK[] = {0xAC, 0xA6, 0xA7, 0xA9, 0xA8, 0xAA, 0xAB};
    for (int i = 0; i < 7; ++i) {
        THID_CODE_INFO expected{};
        MakeHIDCodeInfo(0, browserVK[i], 1, 0, 0, expected);
        EXPECT_TRUE(Same(BROWSER_KEY_HID_TABLE[i], expected)) << i;
    }
    // The HID shortcut tables are the combination tables put through the key
    // table and the modifier remap.
    for (int i = 0; i < PRESET_TABLE_SIZE; ++i) {
        const TCOMBOKEYINFO &b = BASIC_COMBO_KEY_TABLE[i];
        THID_CODE_INFO expected{};
        if (b.nKeyValue1 != 0)
            MakeHIDCodeInfo(GetHIDModifier(uint8_t(b.nModifier)), b.nKeyValue1, 0, 0, 0, expected);
        EXPECT_TRUE(Same(BASIC_SHORTCUT_HID_TABLE[i], expected)) << i;
        const TCOMBOKEYINFO &a = ADVANCED_COMBO_KEY_TABLE[i];
        THID_CODE_INFO expectedAdv{};
        if (a.nKeyValue1 != 0)
            MakeHIDCodeInfo(GetHIDModifier(uint8_t(a.nModifier)), a.nKeyValue1, 0, 0, 0, expectedAdv);
        EXPECT_TRUE(Same(ADVANCED_SHORTCUT_HID_TABLE[i], expectedAdv)) << i;
    }
}

} // namespace
