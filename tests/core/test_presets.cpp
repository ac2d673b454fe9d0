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

// The combination rows the function menu hands out, as the preset tables
// list them: modifier mask (Alt 1, Ctrl 2, Shift 4, Win 8) and virtual key.
TEST(Presets, CombinationRows)
{
    struct Row { int modifier, vk; };
    const Row basic[] = {{2, 0x58}, {2, 0x43}, {2, 0x56}, {2, 0x41}, {2, 0x46}, {2, 0x4E}, {2, 0x50}, {2, 0x53}};
    const Row advanced[] = {{1, 0x09}, {1, 0x73}, {8, 0x45}, {8, 0x52}, {8, 0x44}, {8, 0x4C}};
    const Row tab[] = {{2, 0x57}, {2, 0x6B}, {2, 0x6D}, {6, 0x09}, {2, 0x09}};
    const struct {
        const char *name;
        void (*get)(int, TCOMBOKEYINFO &);
        const Row *rows;
        int count;
    } tables[] = {{"basic", GetBasicComboKey, basic, 8}, {"advanced", GetAdvancedComboKey, advanced, 6},
                  {"tab", GetTabComboKey, tab, 5}};
    for (const auto &t : tables)
        for (int i = 0; i < PRESET_TABLE_SIZE; ++i) {
            TCOMBOKEYINFO c;
            std::memset(&c, 0x5A, sizeof c);
            t.get(i, c);
            TCOMBOKEYINFO expected{};
            if (i < t.count) {
                expected.nModifier = uint16_t(t.rows[i].modifier);
                expected.nKeyValue1 = uint16_t(t.rows[i].vk);
            }
            EXPECT_TRUE(Same(c, expected)) << t.name << " " << i;
        }

    // The HID shortcut rows: usages with HID modifier bits (Ctrl 1, Alt 4, Win 8).
    const int basicUsage[] = {0x1B, 0x06, 0x19, 0x04, 0x09, 0x11, 0x13, 0x16};
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(Same(BASIC_SHORTCUT_HID_TABLE[i], (THID_CODE_INFO{uint16_t(basicUsage[i]), 0, 1}))) << i;
    const THID_CODE_INFO advancedUsage[] = {{0x2B, 0, 4}, {0x3D, 0, 4}, {0x08, 0, 8},
                                            {0x15, 0, 8}, {0x07, 0, 8}, {0x0F, 0, 8}};
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(Same(ADVANCED_SHORTCUT_HID_TABLE[i], advancedUsage[i])) << i;
    const int media[] = {0xCD, 0xB7, 0xB6, 0xB5, 0xE9, 0xEA, 0xE2, 0x183};
    const int browser[] = {0x223, 0x224, 0x225, 0x226, 0x227, 0x221, 0x22A, 0};
    for (int i = 0; i < 8; ++i) {
        THID_CODE_INFO h;
        std::memset(&h, 0x5A, sizeof h);
        GetMediaKeyCode(i, h);
        EXPECT_TRUE(Same(h, (THID_CODE_INFO{uint16_t(media[i]), 0, 0}))) << i;
        GetBrowserKeyCode(i, h);
        EXPECT_TRUE(Same(h, (THID_CODE_INFO{uint16_t(browser[i]), 0, 0}))) << i;
    }
}
