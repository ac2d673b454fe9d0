// What the mouse holds of its levels and rates, and which of the PC's values
// follow it: the reads byte for byte, the record of what the mouse holds
// beside its profiles in the store, and the rule that only a value the user
// edited in the window since the mouse last held the PC's is kept.
#include "config/app/MouseLevelsAndRates.h"
#include "core/DMUnit.h"
#include "core/pubunit_device_transport.h"
#include "platform/ValueStore.h"
#include "sim/InProcessHidBackend.h"
#include "sim/VirtualMouse.h"
#include "support/ReportBytes.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using hkt::platform::DirectoryValueStore;
using hkt::platform::ReadStatus;
using hkt::sim::LogKind;
using hkt::sim::VirtualMouse;
using hkt::test::Bytes;

namespace {

const QString kKey = QStringLiteral("software\\HKT75GM");

class MouseLevelsAndRates : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(m_tmp.path() + "/prog");
        m_mouse->SetStrict(true);
        HIDUsageAndPage = USAGE_AND_PAGE{1, 0xFFA0};
        m_hid->GetHIDDeviceList().clear();
    }
    void TearDown() override
    {
        for (const auto &v : m_mouse->Violations())
            ADD_FAILURE() << "host mistake: " << v.what;
    }
    std::unique_ptr<TDM> Start()
    {
        return std::make_unique<TDM>(TDMRoots{m_values, m_tmp.path() + "/prog", m_tmp.path() + "/docs/"});
    }
    QByteArray Value(const QString &name) const
    {
        QByteArray data;
        return m_values->ReadValue(kKey, name, data) == ReadStatus::Ok ? data : QByteArray("<none>");
    }
    // Sets profile p's level and rate on the mouse, as its buttons do.
    void OnTheMouse(int p, int level, int code)
    {
        ASSERT_TRUE(m_mouse->SetProfile(p));
        ASSERT_TRUE(m_mouse->SetDpiLevel(level));
        ASSERT_TRUE(m_mouse->SetRateCode(code));
    }
    static int Level(TDM &dm, int p)
    {
        auto info = std::make_unique<TMouseProfileInfo>();
        dm.ReadProfileInfo(*info, p);
        return info->ConfigInfo.CurrentCPIIndex;
    }
    static int Rate(TDM &dm, int p)
    {
        auto info = std::make_unique<TMouseProfileInfo>();
        dm.ReadProfileInfo(*info, p);
        return info->ConfigInfo.ReportRate;
    }
    // An edit of the window: the profile's store and mark, as the pages do.
    static void Edit(TDM &dm, int p, int level, int rate)
    {
        ASSERT_TRUE(dm.SwitchToProfile(p));
        dm.FCurrentProfileInfo.ConfigInfo.CurrentCPIIndex = level;
        dm.FCurrentProfileInfo.ConfigInfo.ReportRate = std::uint16_t(rate);
        dm.SaveBackToCurrentProfileInfo();
    }

    QTemporaryDir m_tmp;
    std::shared_ptr<DirectoryValueStore> m_values = std::make_shared<DirectoryValueStore>(m_tmp.path() + "/registry");
    std::shared_ptr<VirtualMouse> m_mouse = std::make_shared<VirtualMouse>();
    std::unique_ptr<TkwHIDData> m_hid =
        std::make_unique<TkwHIDData>(nullptr, hkt::sim::MakeInProcessHidBackend(m_mouse));
};

} // namespace

TEST_F(MouseLevelsAndRates, OneReadOfTheRatesThenEachProfilesTable)
{
    OnTheMouse(2, 3, 0x08);
    m_mouse->ClearLog();
    const TMouseLevelsAndRates read = ReadMouseLevelsAndRates(*m_hid);
    std::vector<Bytes> requests;
    for (const auto &e : m_mouse->Log())
        if (e.kind == LogKind::SetFeature)
            requests.push_back(Bytes(e.bytes.begin(), e.bytes.begin() + 8));
    // Each profile's table (its byte 1 is the level), then its rate byte.
    const std::vector<Bytes> expected = {
        {0x02, 0x03, 0x4F, 0x00, 0x2A, 0x00, 0xFA, 0xFA}, {0x02, 0x03, 0x48, 0x00, 0x01, 0x00, 0xFA, 0xFA},
        {0x02, 0x03, 0x4F, 0x01, 0x2A, 0x00, 0xFA, 0xFA}, {0x02, 0x03, 0x49, 0x00, 0x01, 0x00, 0xFA, 0xFA},
        {0x02, 0x03, 0x4F, 0x02, 0x2A, 0x00, 0xFA, 0xFA}, {0x02, 0x03, 0x4A, 0x00, 0x01, 0x00, 0xFA, 0xFA},
        {0x02, 0x03, 0x4F, 0x03, 0x2A, 0x00, 0xFA, 0xFA}, {0x02, 0x03, 0x4B, 0x00, 0x01, 0x00, 0xFA, 0xFA},
        {0x02, 0x03, 0x4F, 0x04, 0x2A, 0x00, 0xFA, 0xFA}, {0x02, 0x03, 0x4C, 0x00, 0x01, 0x00, 0xFA, 0xFA},
    };
    EXPECT_EQ(requests, expected);
    EXPECT_TRUE(read.Complete());
    EXPECT_EQ(read.Level[2], 3);
    EXPECT_EQ(read.Rate[2], 125);
    EXPECT_EQ(read.Rate[0], 500);

    // A failed read leaves its profile unread and the others go on.
    m_mouse->FailAfter(0, 2); // profile 0's table request, profile 1's
    const TMouseLevelsAndRates partial = ReadMouseLevelsAndRates(*m_hid);
    EXPECT_FALSE(partial.Complete());
    EXPECT_EQ(partial.Level, (std::array<int, PROFILE_COUNT>{-1, -1, 3, 3, 4}));
    EXPECT_EQ(partial.Rate, (std::array<int, PROFILE_COUNT>{0, 0, 125, 500, 500}));
}

TEST_F(MouseLevelsAndRates, OnlyWhatTheWindowEditedSinceKeepsThePcsValue)
{
    struct Case {
        const char *name;
        bool editLevel, editRate;   // edited in the window after the start
        int mouseLevel, mouseCode;  // what the mouse then holds for profile 1
        int expectedLevel, expectedRate;
        bool changed;
    };
    // Profile 1 (index 1) starts as the fresh mouse and PC have it: level 1,
    // 500 Hz. The window's edits: level 2, 1000 Hz.
    const Case cases[] = {
        {"nothing edited", false, false, 3, 0x08, 3, 125, true},
        {"rate edited", false, true, 3, 0x08, 3, 1000, true},
        {"level edited", true, false, 3, 0x08, 2, 125, true},
        {"both edited", true, true, 3, 0x08, 2, 1000, false},
        {"level off in the PC's table", false, false, 4, 0x02, 1, 500, false},
    };
    for (const Case &c : cases) {
        m_values = std::make_shared<DirectoryValueStore>(m_tmp.path() + "/registry-" + c.name);
        m_mouse = std::make_shared<VirtualMouse>();
        m_hid = std::make_unique<TkwHIDData>(nullptr, hkt::sim::MakeInProcessHidBackend(m_mouse));
        m_hid->GetHIDDeviceList().clear();
        auto dm = Start();
        if (c.mouseLevel == 4) {
            // The PC's table has level 4 switched off.
            ASSERT_TRUE(dm->SwitchToProfile(1));
            dm->FCurrentProfileInfo.ConfigInfo.CPIState[4].Enabled = 0;
            dm->SaveBackToCurrentProfileInfo();
            ASSERT_TRUE(dm->SaveCurrentProfileInfoToRegistry());
            ASSERT_TRUE(dm->SwitchToProfile(0));
        }
        FollowMouseLevelsAndRates(*dm, ReadMouseLevelsAndRates(*m_hid));
        if (c.editLevel || c.editRate)
            Edit(*dm, 1, c.editLevel ? 2 : Level(*dm, 1), c.editRate ? 1000 : Rate(*dm, 1));
        ASSERT_TRUE(dm->SwitchToProfile(0));
        OnTheMouse(1, c.mouseLevel, c.mouseCode);

        const auto changed = FollowMouseLevelsAndRates(*dm, ReadMouseLevelsAndRates(*m_hid));
        EXPECT_EQ(changed[1], c.changed) << c.name;
        EXPECT_EQ(Level(*dm, 1), c.expectedLevel) << c.name;
        EXPECT_EQ(Rate(*dm, 1), c.expectedRate) << c.name;
        // Whatever was kept is owed to the mouse; what followed is not.
        EXPECT_EQ(dm->IsLevelOwedToMouse(1), c.expectedLevel != c.mouseLevel) << c.name;
        EXPECT_EQ(dm->IsRateOwedToMouse(1), c.expectedRate != ReportRateOfCode(std::uint8_t(c.mouseCode))) << c.name;
        EXPECT_EQ(dm->MouseHolds(1), (TDM::TMouseHolds{c.mouseLevel, ReportRateOfCode(std::uint8_t(c.mouseCode))}))
            << c.name;
    }
}

TEST_F(MouseLevelsAndRates, TheWorkingCopyFollowsWithoutItsOtherEditsReachingTheStore)
{
    auto dm = Start();
    ASSERT_TRUE(dm->SwitchToProfile(0));
    // A light preview lives in the working copy only.
    dm->FCurrentProfileInfo.ConfigInfo.LEDConfig.R = 0x5A;
    OnTheMouse(0, 4, 0x01);
    const auto changed = FollowMouseLevelsAndRates(*dm, ReadMouseLevelsAndRates(*m_hid));
    EXPECT_TRUE(changed[0]);
    EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.CurrentCPIIndex, 4);
    EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.ReportRate, 1000);
    EXPECT_EQ(Level(*dm, 0), 4);
    EXPECT_EQ(Rate(*dm, 0), 1000);
    auto stored = std::make_unique<TMouseProfileInfo>();
    dm->ReadProfileInfo(*stored, 0);
    EXPECT_NE(stored->ConfigInfo.LEDConfig.R, 0x5A);
    // Following the mouse marks nothing: the mouse holds it already.
    EXPECT_FALSE(dm->IsProfileChanged(0));
}

TEST_F(MouseLevelsAndRates, TheRecordIsStoredWithItsProfileAndAnEarlierStoreTakesThePcsValues)
{
    // A store of an earlier version: profile 2 still owed to the mouse
    // (marked), no record of what the mouse holds.
    {
        auto dm = Start();
        Edit(*dm, 2, 3, 1000);
        ASSERT_TRUE(dm->SaveBackAllProfileInfo());
        ASSERT_TRUE(dm->SaveProfileChangedMarks());
    }
    ASSERT_TRUE(m_values->DeleteValue(kKey, QStringLiteral("LevelsAndRatesInTheMouse")));
    auto dm = Start();
    // The unmarked profiles' values are taken as the mouse's; the marked
    // one's stay owed.
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        EXPECT_EQ(dm->IsLevelOwedToMouse(p), p == 2) << p;
        EXPECT_EQ(dm->IsRateOwedToMouse(p), p == 2) << p;
    }
    EXPECT_EQ(Value(QStringLiteral("LevelsAndRatesInTheMouse")), QByteArray("<none>"));

    // An entry is stored only with its profile's store: a level the mouse
    // reported for profile 0 is not stored until profile 0 is.
    dm->NoteMouseHoldsLevel(0, 4);
    dm->NoteMouseHoldsRate(0, 125);
    dm->NoteMouseHoldsRate(3, 1000);
    ASSERT_TRUE(dm->SaveProfileInfoToRegistry(3));
    const QByteArray afterProfile3 = Value(QStringLiteral("LevelsAndRatesInTheMouse"));
    // Level, reserved, rate (LE) per profile; 0xFF is "not known".
    // The factory levels are 0, 1, 2, 3, 4.
    const QByteArray expected3("\x00\x00\xF4\x01" "\x01\x00\xF4\x01" "\xFF\x00\x00\x00" "\x03\x00\xE8\x03"
                               "\x04\x00\xF4\x01", 20);
    EXPECT_EQ(afterProfile3, expected3);
    ASSERT_TRUE(dm->SaveBackAllProfileInfo());
    const QByteArray all("\x04\x00\x7D\x00" "\x01\x00\xF4\x01" "\xFF\x00\x00\x00" "\x03\x00\xE8\x03"
                         "\x04\x00\xF4\x01", 20);
    EXPECT_EQ(Value(QStringLiteral("LevelsAndRatesInTheMouse")), all);

    // The next start reads it back; an entry that names no level or rate is
    // not known, which owes the PC's value.
    auto again = Start();
    EXPECT_EQ(again->MouseHolds(0), (TDM::TMouseHolds{4, 125}));
    EXPECT_EQ(again->MouseHolds(2), (TDM::TMouseHolds{-1, 0}));
    ASSERT_TRUE(m_values->WriteValue(kKey, QStringLiteral("LevelsAndRatesInTheMouse"),
                                     QByteArray("\x09\x00\x7B\x00", 4) + all.mid(4)));
    auto odd = Start();
    EXPECT_EQ(odd->MouseHolds(0), (TDM::TMouseHolds{-1, 0}));
    EXPECT_TRUE(odd->IsLevelOwedToMouse(0));
    EXPECT_EQ(odd->MouseHolds(1), (TDM::TMouseHolds{1, 500}));
}

TEST_F(MouseLevelsAndRates, OnlyARealChangeMarksTheCurrentProfile)
{
    // The pages copy the current profile back on every refresh: the profile
    // shown first is marked only when something of it really changed.
    auto dm = Start();
    ASSERT_TRUE(dm->SwitchToProfile(0));
    dm->SaveBackToCurrentProfileInfo();
    ASSERT_TRUE(dm->SaveCurrentProfileInfoToRegistry());
    ASSERT_TRUE(dm->SwitchToProfile(1));
    dm->FCurrentProfileInfo.ConfigInfo.ReportRate = 1000;
    dm->SaveBackToCurrentProfileInfo();
    ASSERT_TRUE(dm->SaveCurrentProfileInfoToRegistry());
    ASSERT_TRUE(dm->SaveProfileChangedMarks());
    EXPECT_EQ(Value(QStringLiteral("ProfilesNotYetInTheMouse")), QByteArray("\x00\x01\x00\x00\x00", 5));
}
