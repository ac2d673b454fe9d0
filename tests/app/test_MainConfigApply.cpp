// APPLY and OK through the window, against the in-process simulated mouse:
// the reports and memory byte for byte, the mouse absent, a transfer failing
// in the middle, a second run or a profile switch during the waits, and OK's
// close. The images APPLY builds are tested without a window (tests/rules).
#include "MainConfigFixture.h"

#include "config/app/MainConfigApply.h"
#include "core/kwMacroClassUnit.h"
#include "core/kwStdCmd.h"
#include "platform/WindowMessages.h"
#include "support/ReportBytes.h"

#include <QProgressBar>
#include <QTest>
#include <QTimer>

using namespace hkt::testapp;
using hkt::sim::LogKind;
using hkt::test::Bytes;
using hkt::test::Report;

namespace {

// Factory profile 1's images as the mouse's memory holds them (worked out by
// hand from the factory functions, light and DPI levels).
const Bytes kFactoryButtonMap = {0x0E, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
                                 0x0E, 0x00, 0xE2, 0x00, 0x0E, 0x00, 0xE9, 0x00, 0x0E, 0x00, 0xEA, 0x00,
                                 0x10, 0x00, 0x4F, 0x00, 0x10, 0x00, 0x50, 0x00, 0x0E, 0x00, 0xB5, 0x00,
                                 0x0E, 0x00, 0xB6, 0x00, 0x0E, 0x00, 0xCD, 0x00, 0x0F, 0x04, 0x3D, 0x00,
                                 0x0F, 0x08, 0x07, 0x00, 0x0D, 0x00, 0x00, 0x00};
const Bytes kFactoryLight = {0x00, 0x00, 0xFF, 0x02, 0x03, 0x00};
const Bytes kFactoryCPI = {0x05, 0x00, 0x01, 0x14, 0x00, 0x14, 0x00, 0x00, 0x00, 0x00, 0x01, 0x28, 0x00, 0x28,
                           0x00, 0x01, 0x00, 0x00, 0x01, 0x50, 0x00, 0x50, 0x00, 0x03, 0x00, 0x00, 0x01, 0xA4,
                           0x00, 0xA4, 0x00, 0x07, 0x00, 0x00, 0x01, 0x48, 0x01, 0x48, 0x01, 0x0F, 0x00, 0x00};

Bytes Head(const Bytes &report, std::size_t n)
{
    return Bytes(report.begin(), report.begin() + std::ptrdiff_t(std::min(n, report.size())));
}

class ApplyTest : public MainConfigTest {
protected:
    std::vector<Bytes> Sets() const
    {
        std::vector<Bytes> out;
        for (const auto &e : m_mouse->Log())
            if (e.kind == LogKind::SetFeature)
                out.push_back(e.bytes);
        return out;
    }
    // A stand-in monitor window that records what reaches it, and how many
    // reports the mouse had seen at that moment.
    void StartMonitorPeer()
    {
        m_monitor = std::make_unique<hkt::platform::MessageWindow>(QStringLiteral("THKT75MONMAIN"), Runtime());
        m_monitor->SetHandler([this](std::uint32_t msg, std::int64_t w, std::int64_t l) {
            m_monitorGot.push_back({msg, w, l, std::int64_t(Sets().size())});
            return 0;
        });
        ASSERT_TRUE(m_monitor->Register());
    }
    // Only the window's own profile is marked; the mouse log starts empty.
    void OnlyCurrentProfileMarked()
    {
        for (int p = 0; p < PROFILE_COUNT; ++p)
            Dm().SetProfileChanged(p, false);
        m_mouse->ClearLog();
    }
    std::unique_ptr<hkt::platform::MessageWindow> m_monitor;
    std::vector<std::array<std::int64_t, 4>> m_monitorGot;
};

} // namespace

TEST_F(ApplyTest, MousePresentWritesTheCurrentProfileInTheSpecifiedOrder)
{
    StartMonitorPeer();
    ASSERT_TRUE(Dm().SwitchToProfile(0));
    THKT75CFGMAIN &form = Form();
    form.State().SettingsChanged = true;
    form.State().SystemMouseSettings = {12, 4, 2};
    OnlyCurrentProfileMarked();
    m_desktop->Clear();

    EXPECT_EQ(form.ApplySettings(), TApplyOutcome::Written);

    const std::vector<Bytes> expectedHeads = {
        {0x02, 0x06, 0x00},                                     // write state 0
        {0x02, 0x03, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA},       // read the active profile
        {0x02, 0x03, 0x4F, 0x00, 0x2A, 0x00, 0xFA, 0xFA},       // read its DPI table
        {0x04, 0x02, 0x90, 0x00, 0x39, 0x00, 0xFA, 0xFA},       // button map
        {0x02, 0x02, 0xF1, 0x00, 0x06, 0x00, 0xFA, 0xFA},       // light block
        {0x03, 0x02, 0x4F, 0x00, 0x2A, 0x00, 0xFA, 0xFA},       // DPI table
        {0x02, 0x02, 0x48, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0x02}, // rate code (500 Hz)
        {0x02, 0x02, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0x00}, // active profile 0
        {0x02, 0x06, 0x01},                                     // write state 1
        {0x02, 0x01, 0x01, 0x00},                               // refresh
    };
    const auto sets = Sets();
    ASSERT_EQ(sets.size(), expectedHeads.size());
    for (std::size_t i = 0; i < sets.size(); ++i)
        EXPECT_EQ(Head(sets[i], expectedHeads[i].size()), expectedHeads[i]) << "report " << i;
    EXPECT_EQ(m_mouse->Dump(0x90, 57), kFactoryButtonMap);
    EXPECT_EQ(m_mouse->Dump(0xF1, 6), kFactoryLight);
    EXPECT_EQ(m_mouse->Dump(0x4F, 42), kFactoryCPI);
    EXPECT_EQ(m_mouse->Dump(0x48, 1), Bytes{0x02});
    EXPECT_EQ(m_mouse->Dump(0x43, 1), Bytes{0x00});
    EXPECT_EQ(m_mouse->Live().writeState, 1);

    // The monitor hears of it after the refresh, with the current profile.
    ASSERT_EQ(m_monitorGot.size(), 1u);
    EXPECT_EQ(m_monitorGot[0], (std::array<std::int64_t, 4>{WM_PROFILE_CHANGED, 1, 0, 10}));
    EXPECT_FALSE(form.State().SettingsChanged);
    EXPECT_FALSE(Dm().IsProfileChanged(0));
    EXPECT_FALSE(form.ProgressBarTime->isHidden());
    EXPECT_TRUE(m_dialogs.empty());
    // The desktop's settings from the worker: the acceleration row, speed, lines.
    TkwThread::WaitForAll();
    const std::vector<RecordingMouseSettings::Call> desktop = {
        {QStringLiteral("mouse"), {4, 6, 2}}, {QStringLiteral("speed"), {12}}, {QStringLiteral("wheel"), {4}}};
    EXPECT_EQ(m_desktop->Calls(), desktop);
}

TEST_F(ApplyTest, MouseAbsentStoresOnThePcAndSaysSo)
{
    THKT75CFGMAIN &form = Form();
    form.State().SettingsChanged = true;
    m_mouse->Unplug();
    m_mouse->ClearLog();
    m_desktop->Clear();
    const QString profiles = Dm().GetPersonalDocumentProfilePath();
    for (const QString &f : QDir(profiles).entryList({QStringLiteral("*.pfd")}, QDir::Files))
        QFile::remove(profiles + f);

    QTest::mouseClick(form.BtnOK, Qt::LeftButton);

    ASSERT_EQ(m_dialogs.size(), 1u);
    EXPECT_EQ(m_dialogs[0].title, QStringLiteral("WARNING"));
    EXPECT_EQ(m_dialogs[0].text, QStringLiteral("PLEASE CONNECT YOUR MOUSE DEVICE BEFORE APPLY NEW SETTINGS!"));
    EXPECT_TRUE(Sets().empty());
    EXPECT_FALSE(form.State().SettingsChanged);
    EXPECT_TRUE(form.ProgressBarTime->isHidden());
    EXPECT_EQ(QDir(profiles).entryList({QStringLiteral("*.pfd")}, QDir::Files).size(), 5);
    TkwThread::WaitForAll();
    EXPECT_EQ(m_desktop->Calls().size(), 3u);
    // OK does not close after a failed run.
    EXPECT_FALSE(form.Timer2->isActive());
    EXPECT_TRUE(form.BtnOK->isEnabled());
}

TEST_F(ApplyTest, AFailedTransferIsReportedAndKeepsTheProfileMarked)
{
    StartMonitorPeer();
    ASSERT_TRUE(Dm().SwitchToProfile(0));
    THKT75CFGMAIN &form = Form();
    OnlyCurrentProfileMarked();
    // Write state, the two reads (request and answer each) and the button
    // map work; the light fails.
    m_mouse->FailAfter(6, 1);

    QTest::mouseClick(form.BtnOK, Qt::LeftButton);

    ASSERT_EQ(m_dialogs.size(), 1u);
    EXPECT_EQ(m_dialogs[0].text, QStringLiteral("FAILED TO WRITE THE SETTINGS INTO THE MOUSE, PLEASE TRY AGAIN!"));
    EXPECT_TRUE(Dm().IsProfileChanged(0));
    // The bracket is closed and the mouse refreshed all the same.
    const auto sets = Sets();
    ASSERT_GE(sets.size(), 3u);
    EXPECT_EQ(Head(sets[sets.size() - 2], 3), (Bytes{0x02, 0x06, 0x01}));
    EXPECT_EQ(Head(sets.back(), 4), (Bytes{0x02, 0x01, 0x01, 0x00}));
    EXPECT_EQ(m_mouse->Live().writeState, 1);
    EXPECT_EQ(m_monitorGot.size(), 1u);
    EXPECT_FALSE(form.Timer2->isActive());

    // The next APPLY writes the profile again.
    m_mouse->ClearLog();
    EXPECT_EQ(form.ApplySettings(), TApplyOutcome::Written);
    EXPECT_FALSE(Dm().IsProfileChanged(0));
    EXPECT_EQ(m_mouse->Dump(0xF1, 6), kFactoryLight);
}

TEST_F(ApplyTest, ReadBackKeepsTheStoredLevelUnlessItIsTheWindowsProfile)
{
    struct Case {
        const char *name;
        int mouseProfile;
        int mouseLevel;
        bool failRead;
        int expected;
    };
    const Case cases[] = {
        {"own profile", 0, 3, false, 3},
        {"another profile", 3, 4, false, 1},
        {"read fails", 0, 3, true, 1},
    };
    ASSERT_TRUE(Dm().SwitchToProfile(0));
    for (const Case &c : cases) {
        THKT75CFGMAIN &form = Form();
        Dm().FCurrentProfileInfo.ConfigInfo.CurrentCPIIndex = 1;
        m_mouse->SetProfile(c.mouseProfile);
        m_mouse->SetDpiLevel(c.mouseLevel);
        m_mouse->ClearLog();
        if (c.failRead)
            m_mouse->FailAfter(1, 1);
        form.ApplySettings();
        EXPECT_EQ(Dm().FCurrentProfileInfo.ConfigInfo.CurrentCPIIndex, c.expected) << c.name;
        m_form.reset();
        m_dialogs.clear();
    }
}

TEST_F(ApplyTest, NothingInterleavesWithARunningApply)
{
    THKT75CFGMAIN &form = Form();
    form.DeviceWrites().SetWaitMs(20);
    OnlyCurrentProfileMarked();
    int refused = 0, queuedRan = 0;
    bool buttonsDisabled = false;
    // During the first wait: APPLY and OK are disabled, a second run and a
    // device write are refused, a switch that must not be lost is queued.
    QTimer::singleShot(5, &form, [&] {
        buttonsDisabled = !form.BtnApply->isEnabled() && !form.BtnOK->isEnabled();
        refused += form.ApplySettings() == TApplyOutcome::Refused;
        refused += !form.DeviceWrites().Run([] { ADD_FAILURE() << "ran inside APPLY"; });
        form.DeviceWrites().RunOrQueue([&] { queuedRan = int(Sets().size()); });
        form.kwHIDEvent1DeviceArrival(nullptr);
        buttonsDisabled = buttonsDisabled && !form.BtnApply->isEnabled();
    });
    EXPECT_EQ(form.ApplySettings(), TApplyOutcome::Written);
    EXPECT_TRUE(buttonsDisabled);
    EXPECT_EQ(refused, 2);
    // The queued step ran after the whole run, refresh included.
    EXPECT_EQ(queuedRan, 10);
    EXPECT_EQ(Sets().size(), 10u);
    EXPECT_TRUE(form.BtnApply->isEnabled());
    EXPECT_TRUE(form.BtnOK->isEnabled());
    // A profile switch from the monitor during a run waits for it as well.
    EXPECT_EQ(form.WndProc(WM_SWITCH_PROFILE, 9, 0), 0); // no such profile: ignored
    EXPECT_EQ(form.DeviceWrites().QueuedCount(), 0);
}

TEST_F(ApplyTest, OKClosesAfterTheProgressAndAsksWhenEditedMeanwhile)
{
    for (const bool editMeanwhile : {false, true}) {
        THKT75CFGMAIN &form = Form();
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        QTest::mouseClick(form.BtnOK, Qt::LeftButton);
        EXPECT_TRUE(form.Timer2->isActive());
        EXPECT_TRUE(form.ProgressBarTime->isVisible());
        if (editMeanwhile)
            form.State().SettingsChanged = true;
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 6000));
        EXPECT_FALSE(form.ProgressBarTime->isVisible());
        EXPECT_EQ(m_dialogs.size(), editMeanwhile ? 1u : 0u) << editMeanwhile;
        m_form.reset();
        m_dialogs.clear();
    }
}

TEST_F(ApplyTest, ProgressStepsAndTheLongLastStep)
{
    THKT75CFGMAIN &form = Form();
    std::vector<int> values;
    for (int i = 0; i < 11; ++i) {
        form.TimerProcessTimer(nullptr);
        values.push_back(form.ProgressBarTime->value());
    }
    EXPECT_EQ(values, (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 91, 0}));
    form.State().ReportRateChanged = true;
    form.ApplySettings();
    EXPECT_EQ(form.TimerProcess->interval(), 200);
}

TEST_F(ApplyTest, AProfileSwitchFromTheMouseDuringApplyRunsAfterIt)
{
    StartMonitorPeer();
    ASSERT_TRUE(Dm().SwitchToProfile(0));
    THKT75CFGMAIN &form = Form();
    form.DeviceWrites().SetWaitMs(20);
    OnlyCurrentProfileMarked();
    QTimer::singleShot(5, &form, [&] { form.WndProc(WM_SWITCH_PROFILE, 3, 0); });
    EXPECT_EQ(form.ApplySettings(), TApplyOutcome::Written);
    EXPECT_EQ(Dm().FProfileIndex, 3);
    EXPECT_EQ(m_mouse->Dump(0x43, 1), Bytes{0x03});
    ASSERT_EQ(m_monitorGot.size(), 2u);
    EXPECT_EQ(m_monitorGot[1][2], 3);
}
