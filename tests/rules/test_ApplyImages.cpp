// The images APPLY builds of one profile, without a window: the macro
// buttons agreeing with the macro area, and the desktop settings following
// the acceleration table.
#include "config/app/MainConfigApply.h"
#include "support/RecordingMouseSettings.h"
#include "support/ReportBytes.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using hkt::test::Bytes;
using hkt::testapp::RecordingMouseSettings;

TEST(ApplyImages, MacroButtonsAgreeWithTheAreaWhateverTheirCopies)
{
    auto list = std::make_unique<TMACROKEYINFOLIST>();
    list->nMacroInfoCount = 2;
    for (int m = 0; m < 2; ++m) {
        list->MacroInfos[m].MacroListCount = std::uint16_t(2 + 2 * m); // 2 and 4 steps
        for (int s = 0; s < 4; ++s)
            list->MacroInfos[m].MacroList[s] = TMACROKEY{4, std::uint16_t(s % 2 == 0), 0x41, 0};
        list->MacroInfos[m].nLoopCount = 1;
    }
    auto area = std::make_unique<TDeviceMacroArea>();
    EncodeMacroArea(*list, *area);

    auto profile = std::make_unique<TMouseProfileInfo>();
    auto macroButton = [&](int button, int slot, int staleSteps) {
        auto &b = profile->ConfigInfo.ButtonFuncInfo[button];
        b.FunctionType = FUNCTION_TYPE_MACRO;
        b.DeviceFunctionCode = DEVICE_FUNCTION_MACRO;
        b.MacroKeyInfo.nMacroIndex = std::uint16_t(slot);
        b.MacroKeyInfo.MacroListCount = std::uint16_t(staleSteps);
    };
    macroButton(2, 1, 9);  // a stale copy of slot 1 (9 steps; the area holds 4)
    macroButton(3, 0, 0);  // an empty copy of slot 0 (the area holds 2)
    macroButton(4, 31, 3); // a slot the mouse does not have
    macroButton(5, 7, 3);  // a slot the area leaves empty
    TProfileDeviceImages images;
    BuildProfileDeviceImages(*profile, *list, *area, images);

    auto entry = [&](int b) {
        return Bytes(images.Buttons.Buttons[b], images.Buttons.Buttons[b] + 4);
    };
    EXPECT_EQ(area->Lengths[1], 15);
    EXPECT_EQ(entry(2), (Bytes{17, 1, 15, 0})); // (4 + 1) * 3 bytes, as slot 1 holds
    EXPECT_EQ(entry(3), (Bytes{17, 0, 9, 0}));  // (2 + 1) * 3
    EXPECT_EQ(entry(4), (Bytes{14, 0, 0, 0}));  // disabled
    EXPECT_EQ(entry(5), (Bytes{14, 0, 0, 0}));
    EXPECT_EQ(images.Buttons.ButtonCount, 14);
}

TEST(ApplyImages, DesktopSettingsFollowTheAccelerationTable)
{
    struct Case {
        int acceleration;
        std::vector<RecordingMouseSettings::Call> calls;
    };
    const auto speed = RecordingMouseSettings::Call{QStringLiteral("speed"), {7}};
    const auto wheel = RecordingMouseSettings::Call{QStringLiteral("wheel"), {3}};
    const Case cases[] = {
        {0, {{QStringLiteral("mouse"), {0, 0, 0}}, speed, wheel}},
        {1, {{QStringLiteral("mouse"), {7, 0, 1}}, speed, wheel}},
        {2, {{QStringLiteral("mouse"), {4, 6, 2}}, speed, wheel}},
        {3, {{QStringLiteral("mouse"), {4, 0, 1}}, speed, wheel}},
        {7, {speed, wheel}},
        {-1, {speed, wheel}},
    };
    for (const Case &c : cases) {
        RecordingMouseSettings desktop;
        ApplySystemMouseSettings(desktop, TSystemMouseSettings{7, 3, c.acceleration});
        EXPECT_EQ(desktop.Calls(), c.calls) << c.acceleration;
    }
}
