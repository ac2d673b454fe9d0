// Device images against byte vectors worked out by hand from the protocol.
#include "core/FactoryDefaults.h"
#include "core/pubunit_device_encoders.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

template <class T>
Bytes BytesOf(const T &rec)
{
    const auto *p = reinterpret_cast<const uint8_t *>(&rec);
    return Bytes(p, p + sizeof(T));
}

std::unique_ptr<TMouseProfileInfo> EmptyProfile()
{
    return std::make_unique<TMouseProfileInfo>(); // value-initialised: all zero
}

Bytes Entry(const TDeviceButtonMap &m, int i) { return Bytes(m.Buttons[i], m.Buttons[i] + 4); }

TMACROKEY Step(uint16_t type, uint16_t state, uint8_t v1, uint8_t v2) { return TMACROKEY{type, state, v1, v2}; }

} // namespace

TEST(EncodeButtonMap, FactoryProfileOneAsApplySendsIt)
{
    auto p = EmptyProfile();
    ASSERT_TRUE(RestoreProfileDefaults(*p, 0));
    TDeviceButtonMap stored{};
    EncodeButtonMap(*p, stored);
    EXPECT_EQ(stored.ButtonCount, 13);
    EXPECT_EQ(Entry(stored, 13), Bytes(4, 0));

    p->ConfigInfo.ButtonCount = 14;
    const int order[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    ReorderButtons(*p, order);
    TDeviceButtonMap map{};
    EncodeButtonMap(*p, map);
    const Bytes expected = {0x0E,
                            0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
                            0x0E, 0x00, 0xE2, 0x00, 0x0E, 0x00, 0xE9, 0x00, 0x0E, 0x00, 0xEA, 0x00,
                            0x10, 0x00, 0x4F, 0x00, 0x10, 0x00, 0x50, 0x00, 0x0E, 0x00, 0xB5, 0x00,
                            0x0E, 0x00, 0xB6, 0x00, 0x0E, 0x00, 0xCD, 0x00, 0x0F, 0x04, 0x3D, 0x00,
                            0x0F, 0x08, 0x07, 0x00, 0x0D, 0x00, 0x00, 0x00};
    EXPECT_EQ(BytesOf(map), expected);
}

TEST(EncodeButtonMap, EachFunctionCarriesItsParameters)
{
    auto p = EmptyProfile();
    auto &b = p->ConfigInfo.ButtonFuncInfo;
    p->ConfigInfo.ButtonCount = 14;
    // 0: macro 3 of 4 steps, repeating while held.
    b[0].DeviceFunctionCode = 17;
    b[0].MacroKeyInfo.nMacroIndex = 3;
    b[0].MacroKeyInfo.MacroListCount = 4;
    b[0].MacroKeyInfo.nLoopRunWhenPressed = 1;
    // 1: single key A. 2: Ctrl+C. 3: consumer usage play/pause. 4: rapid fire.
    b[1].DeviceFunctionCode = 16;
    b[1].SingleKey.nKeyValue1 = 0x41;
    b[2].DeviceFunctionCode = 15;
    b[2].ComboKey.nModifier = 2;
    b[2].ComboKey.nKeyValue1 = 0x43;
    b[3].DeviceFunctionCode = 14;
    b[3].HIDCode.nKeyValue1 = 0xCD;
    b[4].DeviceFunctionCode = 25;
    b[4].FireKey.KeyCode = 129;
    b[4].FireKey.nLoopCount = 2;
    b[4].FireKey.DelyValue = 60;
    // 5: an empty macro: the button's byte length is 0.
    b[5].DeviceFunctionCode = 17;
    b[5].MacroKeyInfo.nMacroIndex = 7;
    // 6: left click elsewhere; 7, 8: raw functions; 9: media player; 10: plain.
    b[6].DeviceFunctionCode = 1;
    b[6].LeftClickFlag = 1;
    b[7].DeviceFunctionCode = 11;
    b[7].DeviceParam1 = 0x1234;
    b[8].DeviceFunctionCode = 18;
    b[8].DeviceParam3 = 0x56;
    b[9].DeviceFunctionCode = 19;
    b[9].DeviceParamBytes[0] = 0x00;
    b[9].DeviceParamBytes[1] = 0x20;
    b[9].DeviceParamBytes[2] = 0x00;
    b[10].DeviceFunctionCode = 23;
    b[10].LeftClickFlag = 9; // ignored for plain functions
    TDeviceButtonMap map{};
    EncodeButtonMap(*p, map);
    EXPECT_EQ(Entry(map, 0), (Bytes{17, 0x83, 15, 0}));
    EXPECT_EQ(Entry(map, 1), (Bytes{16, 0, 0x04, 0}));
    EXPECT_EQ(Entry(map, 2), (Bytes{15, 0x01, 0x06, 0}));
    EXPECT_EQ(Entry(map, 3), (Bytes{14, 0, 0xCD, 0x00}));
    EXPECT_EQ(Entry(map, 4), (Bytes{25, 129, 2, 60}));
    EXPECT_EQ(Entry(map, 5), (Bytes{17, 7, 0, 0}));
    EXPECT_EQ(Entry(map, 6), (Bytes{1, 1, 0, 0}));
    EXPECT_EQ(Entry(map, 7), (Bytes{11, 0x34, 0, 0}));
    EXPECT_EQ(Entry(map, 8), (Bytes{18, 0, 0, 0x56}));
    EXPECT_EQ(Entry(map, 9), (Bytes{19, 0x00, 0x20, 0x00}));
    EXPECT_EQ(Entry(map, 10), (Bytes{23, 0, 0, 0}));
}

TEST(EncodeButtonMap, OutOfRangeInputNeverOverrunsOrMisleads)
{
    auto p = EmptyProfile();
    auto &b = p->ConfigInfo.ButtonFuncInfo;
    for (int i = 0; i < 14; ++i)
        b[i].DeviceFunctionCode = 2;
    TDeviceButtonMap map{};
    p->ConfigInfo.ButtonCount = 15; // the test profile's count
    EncodeButtonMap(*p, map);
    EXPECT_EQ(map.ButtonCount, 14);
    EXPECT_EQ(Entry(map, 13), (Bytes{2, 0, 0, 0}));
    p->ConfigInfo.ButtonCount = -3;
    EncodeButtonMap(*p, map);
    EXPECT_EQ(BytesOf(map), Bytes(57, 0));

    p->ConfigInfo.ButtonCount = 6;
    // A macro of 70 steps: the button's length is that of the clipped slot, 180.
    b[0].DeviceFunctionCode = 17;
    b[0].MacroKeyInfo.nMacroIndex = 29;
    b[0].MacroKeyInfo.MacroListCount = 70;
    // A macro index naming no slot: no function rather than another macro.
    b[1].DeviceFunctionCode = 17;
    b[1].MacroKeyInfo.nMacroIndex = 30;
    b[1].MacroKeyInfo.MacroListCount = 2;
    // Keys whose table usage is no keyboard usage are sent as no key.
    b[2].DeviceFunctionCode = 16;
    b[2].SingleKey.nKeyValue1 = 0xA6; // browser back, usage 0x224
    b[2].SingleKey.nKey1Extended = 1;
    b[3].DeviceFunctionCode = 15;
    b[3].ComboKey.nModifier = 4;
    b[3].ComboKey.nKeyValue1 = 0xAD; // volume mute: consumer 0xE2, not Left Alt
    b[3].ComboKey.nKeyValue2 = 0xB3; // play/pause
    b[4].DeviceFunctionCode = 25;
    b[4].FireKey.KeyCode = 0x224;
    b[4].FireKey.nLoopCount = 1000;
    b[4].FireKey.DelyValue = 256;
    b[5].DeviceFunctionCode = 17;
    b[5].MacroKeyInfo.nMacroIndex = 2;
    b[5].MacroKeyInfo.MacroListCount = -5;
    EncodeButtonMap(*p, map);
    EXPECT_EQ(Entry(map, 0), (Bytes{17, 29, 180, 0}));
    EXPECT_EQ(Entry(map, 1), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(Entry(map, 2), (Bytes{16, 0, 0, 0}));
    EXPECT_EQ(Entry(map, 3), (Bytes{15, 0x02, 0, 0}));
    EXPECT_EQ(Entry(map, 4), (Bytes{25, 0, 255, 255}));
    EXPECT_EQ(Entry(map, 5), (Bytes{17, 2, 0, 0}));
}

TEST(EncodeCPITable, FactoryTableAndTruncatedDivision)
{
    auto p = EmptyProfile();
    ASSERT_TRUE(RestoreProfileDefaults(*p, 0));
    TDeviceCPITable t{};
    EncodeCPITable(*p, t);
    const Bytes expected = {5,    0,    1,    20, 0,    20,   0,    0,  0, 0, 1,    40, 0,    40,
                            0,    1,    0,    0,  1,    80,   0,    80, 0, 3, 0,    0,  1,    164,
                            0,    164,  0,    7,  0,    0,    1,    0x48, 0x01, 0x48, 0x01, 15, 0, 0};
    EXPECT_EQ(BytesOf(t), expected);
    // 1049 / 50 drops the remainder; out-of-range counts are clamped.
    p->ConfigInfo.CPIState[0].X = 1049;
    p->ConfigInfo.CPIState[0].Y = 49;
    p->ConfigInfo.CPILevel = 9;
    p->ConfigInfo.CurrentCPIIndex = 7;
    EncodeCPITable(*p, t);
    EXPECT_EQ(t.CPILevel, 5);
    EXPECT_EQ(t.CurrentCPIIndex, 0);
    EXPECT_EQ(Bytes(t.Levels[0].X, t.Levels[0].X + 2), (Bytes{20, 0}));
    EXPECT_EQ(Bytes(t.Levels[0].Y, t.Levels[0].Y + 2), (Bytes{0, 0}));
}

TEST(EncodeLEDBlock, ColourIsInverted)
{
    TLEDCONFIG light{255, 255, 0, 2, 3, 0};
    TDeviceLEDBlock block{};
    EncodeLEDBlock(light, block);
    EXPECT_EQ(BytesOf(block), (Bytes{0x00, 0x00, 0xFF, 0x02, 0x03, 0x00}));
}

TEST(GetReportRateCode, KnownRatesAndEverythingElseAs250Hz)
{
    auto p = EmptyProfile();
    const std::pair<uint16_t, uint8_t> cases[] = {{125, 8}, {250, 4}, {500, 2}, {1000, 1}, {0, 4}, {300, 4}, {2000, 4}};
    for (auto [rate, code] : cases) {
        p->ConfigInfo.ReportRate = rate;
        EXPECT_EQ(GetReportRateCode(*p), code) << rate;
    }
}

TEST(EncodeMacroStep, StepTable)
{
    struct Case { uint32_t type, state, v1, v2; Bytes out; };
    const Case cases[] = {
        {4, 1, 0x04, 0, {0x84, 0x04, 0x00}},  {4, 0, 0x04, 0, {0x04, 0x04, 0x00}},
        {6, 1, 20, 0, {0x06, 20, 0}},         {6, 0, 0xE8, 0x03, {0x06, 0xE8, 0x03}},
        {7, 0, 0, 5, {0x07, 5, 0}},           {7, 0, 1, 5, {0x07, 0, 0}},
        {1, 1, 2, 0, {0x81, 2, 0}},           {4, 2, 0x04, 0, {0, 0, 0}},
        {7, 0, 0, 300, {0x07, 255, 0}},       {0x80, 1, 1, 1, {0, 0, 0}},
    };
    for (const Case &c : cases) {
        uint8_t s[3] = {9, 9, 9};
        EncodeMacroStep(c.type, c.state, c.v1, c.v2, s);
        EXPECT_EQ(Bytes(s, s + 3), c.out) << c.type << "/" << c.state;
    }
}

TEST(EncodeMacroArea, SlotsLengthsAndClipping)
{
    auto list = std::make_unique<TMACROKEYINFOLIST>();
    auto area = std::make_unique<TDeviceMacroArea>();
    std::memset(area.get(), 0xAA, sizeof *area);
    list->nMacroInfoCount = 3;
    // 0: A down, 20 ms, A up, loop 1.
    TMACROKEYINFO &a = list->MacroInfos[0];
    a.MacroListCount = 3;
    a.MacroList[0] = Step(4, 1, 0x41, 0);
    a.MacroList[1] = Step(6, 1, 20, 0);
    a.MacroList[2] = Step(4, 0, 0x41, 0);
    a.nLoopCount = 1;
    // 1: empty, loop 4. 2: 70 steps of B, repeating while held.
    list->MacroInfos[1].nLoopCount = 4;
    TMACROKEYINFO &c = list->MacroInfos[2];
    c.MacroListCount = 70;
    for (int i = 0; i < 70; ++i)
        c.MacroList[i] = Step(4, uint16_t(i % 2), 0x42, 0);
    c.nLoopRunWhenPressed = 1;
    c.nLoopCount = 9;
    EncodeMacroArea(*list, *area);
    EXPECT_EQ(area->Lengths[0], 12);
    EXPECT_EQ(Bytes(area->Slots[0], area->Slots[0] + 12),
              (Bytes{0x84, 0x04, 0x00, 0x06, 0x14, 0x00, 0x04, 0x04, 0x00, 0x07, 0x01, 0x00}));
    EXPECT_EQ(area->Lengths[1], 3);
    EXPECT_EQ(Bytes(area->Slots[1], area->Slots[1] + 3), (Bytes{0x07, 0x04, 0x00}));
    EXPECT_EQ(area->Lengths[2], 180);
    EXPECT_EQ(Bytes(area->Slots[2] + 174, area->Slots[2] + 180), (Bytes{0x04, 0x05, 0x00, 0x07, 0x00, 0x00}));
    EXPECT_EQ(area->Slots[3][0], 0xAA); // the next slot is untouched
    for (int m = 3; m < 30; ++m)
        EXPECT_EQ(area->Lengths[m], 0) << m;

    // A count above 30 encodes the 30 slots that exist; a negative step
    // count is an empty macro.
    list->nMacroInfoCount = 200;
    list->MacroInfos[0].MacroListCount = -8;
    list->MacroInfos[29].nLoopCount = 300;
    EncodeMacroArea(*list, *area);
    EXPECT_EQ(area->Lengths[0], 3);
    EXPECT_EQ(area->Lengths[29], 3);
    EXPECT_EQ(Bytes(area->Slots[29], area->Slots[29] + 3), (Bytes{0x07, 0xFF, 0x00}));
}

TEST(EncodeMacroArea, ConsumerKeysInAMacroAreNoKey)
{
    auto list = std::make_unique<TMACROKEYINFOLIST>();
    auto area = std::make_unique<TDeviceMacroArea>();
    list->nMacroInfoCount = 1;
    list->MacroInfos[0].MacroListCount = 2;
    list->MacroInfos[0].MacroList[0] = Step(4, 1, 0xB3, 1); // play/pause
    list->MacroInfos[0].MacroList[1] = Step(4, 1, 0x27, 1); // right arrow
    EncodeMacroArea(*list, *area);
    EXPECT_EQ(Bytes(area->Slots[0], area->Slots[0] + 6), (Bytes{0x84, 0x00, 0x01, 0x84, 0x4F, 0x01}));
}

TEST(ReorderButtons, MovesEntriesAndRefusesOutOfRangeValues)
{
    auto p = EmptyProfile();
    for (int i = 0; i < 14; ++i)
        p->ConfigInfo.ButtonFuncInfo[i].DeviceFunctionCode = 100 + i;
    const int list[] = {2, 0, 15, 1, -4};
    ReorderButtons(*p, list);
    const auto &b = p->ConfigInfo.ButtonFuncInfo;
    EXPECT_EQ(b[0].DeviceFunctionCode, 101);
    EXPECT_EQ(b[1].DeviceFunctionCode, 101);
    EXPECT_EQ(b[2].DeviceFunctionCode, 102);
    EXPECT_EQ(b[3].DeviceFunctionCode, 100);
    EXPECT_EQ(b[4].DeviceFunctionCode, 104);
    EXPECT_EQ(b[13].DeviceFunctionCode, 113);
    std::vector<int> longList(20, 14);
    ReorderButtons(*p, longList);
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(b[i].DeviceFunctionCode, 113);
}
