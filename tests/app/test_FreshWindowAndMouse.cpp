// A window over fresh stores and a mouse fresh from the factory agree from
// the start: the window's first APPLY writes only the profiles it marked, and
// every profile it leaves alone already holds in the mouse what the window
// shows for it.
#include "MainConfigFixture.h"

#include "config/app/MainConfigApply.h"
#include "core/pubunit_device_commands.h"
#include "support/ReportBytes.h"

#include <QTest>

#include <set>

using namespace hkt::testapp;
using hkt::test::Bytes;

namespace {

class FreshWindowAndMouse : public MainConfigTest {};

template <class T>
Bytes BytesOf(const T &image)
{
    const auto *b = reinterpret_cast<const std::uint8_t *>(&image);
    return Bytes(b, b + sizeof image);
}

} // namespace

TEST_F(FreshWindowAndMouse, EveryProfileAgreesAfterTheFirstApply)
{
    m_mouseOnStoredProfile = false; // the mouse exactly as it comes
    THKT75CFGMAIN &form = Form();
    m_mouse->ClearLog();
    QTest::mouseClick(form.BtnApply, Qt::LeftButton);
    ASSERT_TRUE(m_dialogs.empty()) << m_dialogs.front().text.toStdString();

    // The profiles APPLY wrote: those whose button map it sent.
    std::set<int> written;
    for (const auto &set : Sets())
        for (int p = 0; p < PROFILE_COUNT; ++p)
            if (set.size() > 8 && set[1] == DEVICE_CMD_WRITE_MEMORY &&
                (set[2] | set[3] << 8) == ButtonMapAddress(p))
                written.insert(p);
    ASSERT_FALSE(written.empty());
    ASSERT_LT(written.size(), std::size_t(PROFILE_COUNT)) << "APPLY wrote every profile: nothing left to compare";

    // The window's images of each profile (no factory profile plays a macro,
    // so the macro area is empty) against the mouse's memory.
    auto profile = std::make_unique<TMouseProfileInfo>();
    auto macros = std::make_unique<TMACROKEYINFOLIST>();
    auto area = std::make_unique<TDeviceMacroArea>();
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        SCOPED_TRACE(testing::Message() << "profile " << p << (written.count(p) ? " (written)" : " (not written)"));
        ASSERT_TRUE(Dm().ReadProfileInfo(*profile, p));
        TProfileDeviceImages images;
        BuildProfileDeviceImages(*profile, *macros, *area, images);
        EXPECT_EQ(m_mouse->Dump(ButtonMapAddress(p), 57), BytesOf(images.Buttons));
        EXPECT_EQ(m_mouse->Dump(LEDConfigAddress(p), 6), BytesOf(images.Light));
        EXPECT_EQ(m_mouse->Dump(CPITableAddress(p), 42), BytesOf(images.CPI));
        EXPECT_EQ(m_mouse->Dump(ReportRateAddress(p), 1), Bytes{images.RateCode});
    }
    EXPECT_EQ(m_mouse->Dump(ACTIVE_PROFILE_ADDRESS, 1), Bytes{std::uint8_t(Dm().FProfileIndex)});
    EXPECT_EQ(m_mouse->Dump(MACRO_AREA_BASE, MACRO_LIST_CAPACITY * MACRO_SLOT_DISTANCE),
              Bytes(MACRO_LIST_CAPACITY * MACRO_SLOT_DISTANCE, 0));
}
