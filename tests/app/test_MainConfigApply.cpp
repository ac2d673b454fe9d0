// APPLY and OK through the window, against the in-process simulated mouse:
// the reports and memory byte for byte, the mouse absent, a transfer failing
// in the middle, a second run or a profile switch during the waits, and OK's
// close. The images APPLY builds are tested without a window (tests/rules).
#include "MainConfigFixture.h"

#include "config/app/ButtonFunctions.h"
#include "config/app/MainConfigApply.h"
#include "config/app/MainConfigButtons.h"
#include "config/app/MainConfigDPI.h"
#include "core/kwMacroClassUnit.h"
#include "core/kwStdCmd.h"
#include "platform/WindowMessages.h"
#include "support/ReportBytes.h"

#include <QFileInfo>
#include <QProgressBar>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace hkt::testapp;
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

TEST_F(ApplyTest, MousePresentWritesStateReadsMapLightDPIRateActiveStateRefreshInThatOrder)
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
        {0x02, 0x03, 0x4F, 0x00, 0x2A, 0x00, 0xFA, 0xFA},       // read its level, then its rate,
        {0x02, 0x03, 0x48, 0x00, 0x01, 0x00, 0xFA, 0xFA},       // right before writing them:
        {0x03, 0x02, 0x4F, 0x00, 0x2A, 0x00, 0xFA, 0xFA},       // DPI table
        {0x02, 0x02, 0x48, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0x02}, // rate code (500 Hz)
        // The profiles not written are read all the same: the window ends
        // knowing every level and rate the mouse holds.
        {0x02, 0x03, 0x4F, 0x01, 0x2A, 0x00, 0xFA, 0xFA},
        {0x02, 0x03, 0x49, 0x00, 0x01, 0x00, 0xFA, 0xFA},
        {0x02, 0x03, 0x4F, 0x02, 0x2A, 0x00, 0xFA, 0xFA},
        {0x02, 0x03, 0x4A, 0x00, 0x01, 0x00, 0xFA, 0xFA},
        {0x02, 0x03, 0x4F, 0x03, 0x2A, 0x00, 0xFA, 0xFA},
        {0x02, 0x03, 0x4B, 0x00, 0x01, 0x00, 0xFA, 0xFA},
        {0x02, 0x03, 0x4F, 0x04, 0x2A, 0x00, 0xFA, 0xFA},
        {0x02, 0x03, 0x4C, 0x00, 0x01, 0x00, 0xFA, 0xFA},
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
    EXPECT_EQ(m_monitorGot[0], (std::array<std::int64_t, 4>{WM_PROFILE_CHANGED, 1, 0, 20}));
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

TEST_F(ApplyTest, ALevelOrRateTheWindowDidNotEditFollowsTheMouseAndAnEditedOneIsWritten)
{
    // Profile 0 is the window's; the mouse changes profile 0's level and
    // rate by itself after the window read them at its start (nobody
    // listening), or the user edits them in the window, or the read fails.
    struct Case {
        const char *name;
        int mouseActive;    // the mouse's active profile when APPLY runs
        bool editLevel;     // the user chose level 2 in the window
        bool editRate;      // the user chose 1000 Hz in the window
        bool failRead;      // APPLY's read of profile 0's rate fails
        int expectedLevel;  // in the window and the mouse after APPLY
        int expectedRate;   // Hz, in the window
        std::uint8_t expectedCode;
        TApplyOutcome outcome;
    };
    const Case cases[] = {
        {"changed on the mouse", 0, false, false, false, 3, 125, 0x08, TApplyOutcome::Written},
        {"changed on the mouse, another profile active", 3, false, false, false, 3, 125, 0x08,
         TApplyOutcome::Written},
        {"level edited in the window", 0, true, false, false, 2, 125, 0x08, TApplyOutcome::Written},
        {"rate edited in the window", 0, false, true, false, 3, 1000, 0x01, TApplyOutcome::Written},
        // The read of the active profile's level (the first read) took 3.
        {"read fails", 0, false, false, true, 3, 500, 0x08, TApplyOutcome::WriteFailed},
    };
    int round = 0;
    for (const Case &c : cases) {
        // A fresh store and mouse each.
        m_form.reset();
        m_dm.reset();
        DM = nullptr;
        m_store = std::make_shared<hkt::platform::DirectoryValueStore>(m_tmp.path() + "/registry" +
                                                                       QString::number(round++));
        m_mouse = std::make_shared<hkt::sim::VirtualMouse>();
        ASSERT_TRUE(Dm().SwitchToProfile(0));
        Dm().SaveBackAllProfileSettingInfo();
        THKT75CFGMAIN &form = Form();
        ASSERT_EQ(Dm().FProfileIndex, 0) << c.name;
        // The factory profile: level 0, 500 Hz, as the fresh mouse holds it.
        ASSERT_EQ(Dm().FCurrentProfileInfo.ConfigInfo.CurrentCPIIndex, 0) << c.name;
        m_mouse->SetProfile(0);
        m_mouse->SetDpiLevel(3);
        m_mouse->SetRateCode(0x08);
        m_mouse->SetProfile(c.mouseActive);
        if (c.editLevel) {
            // The mouse does not take the choice: the window owes it.
            m_mouse->FailAfter(0, 1000);
            QTest::mouseClick(form.DPIPage().Levels[2].DPIL, Qt::LeftButton);
            m_mouse->FailAfter(0, 0);
        }
        if (c.editRate)
            form.MousePage().Radio1000->click();
        m_mouse->ClearLog();
        if (c.failRead)
            // Write state, the active profile and its table, profile 0's map
            // and light, its table read pass; its rate read's request fails.
            m_mouse->FailAfter(1 + 4 + 2 + 2, 1);
        const int levelInMouseBefore = m_mouse->Dump(0x50, 1)[0];
        EXPECT_EQ(form.ApplySettings(), c.outcome) << c.name;
        const TMOUSECONFIGINFO &cfg = Dm().FCurrentProfileInfo.ConfigInfo;
        EXPECT_EQ(cfg.CurrentCPIIndex, c.expectedLevel) << c.name;
        EXPECT_EQ(int(cfg.ReportRate), c.expectedRate) << c.name;
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(form.DPIPage().Levels[std::size_t(i)].DPIL->isChecked(), i == c.expectedLevel) << c.name << i;
        // The mouse holds the user's last word: the mouse's own change, or
        // the window's edit; a failed read writes neither level nor rate.
        EXPECT_EQ(int(m_mouse->Dump(0x50, 1)[0]), c.failRead ? levelInMouseBefore : c.expectedLevel) << c.name;
        EXPECT_EQ(m_mouse->Dump(0x48, 1), Bytes{c.expectedCode}) << c.name;
        EXPECT_EQ(Dm().IsProfileChanged(0), c.failRead) << c.name;
        m_form.reset();
        m_dialogs.clear();
        m_mouse->FailAfter(0, 0);
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
    EXPECT_EQ(queuedRan, 20);
    EXPECT_EQ(Sets().size(), 20u);
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
    // It runs once APPLY's handler has returned, from the event loop.
    EXPECT_EQ(Dm().FProfileIndex, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Dm().FProfileIndex == 3; }, 10000));
    EXPECT_EQ(m_mouse->Dump(0x43, 1), Bytes{0x03});
    ASSERT_EQ(m_monitorGot.size(), 2u);
    EXPECT_EQ(m_monitorGot[1][2], 3);
}

TEST_F(ApplyTest, AStoreOnThePcThatFailsIsSaidAndKeepsTheEditsUnsaved)
{
    struct Case {
        const char *name;
        std::function<QString()> blocked; // the path made unusable: a file where a folder should be, or the reverse
        bool folderInPlace;
    };
    const QString key = Dm().FOptionsFromConfigFile.ProfileRegFolder;
    const Case cases[] = {
        {"value store", [&] { return QFileInfo(m_store->ValueFile(key, QStringLiteral("x"))).absolutePath(); }, false},
        {"profile file", [&] { return Dm().GetPersonalDocumentProfilePath().chopped(1); }, false},
        {"macro database", [&] { return Dm().GetPersonalDocumentMacroDatabasePath(); }, true},
    };
    for (const Case &c : cases) {
        THKT75CFGMAIN &form = Form();
        ASSERT_EQ(form.ApplySettings(), TApplyOutcome::Written) << c.name;
        const QString path = c.blocked();
        ASSERT_TRUE(QDir().rename(path, path + ".moved")) << c.name;
        if (c.folderInPlace) {
            ASSERT_TRUE(QDir().mkdir(path));
        } else {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
        form.State().SettingsChanged = true;
        m_dialogs.clear();
        m_mouse->ClearLog();

        QTest::mouseClick(form.BtnOK, Qt::LeftButton);

        ASSERT_EQ(m_dialogs.size(), 1u) << c.name;
        EXPECT_EQ(m_dialogs[0].title, QStringLiteral("WARNING"));
        EXPECT_EQ(m_dialogs[0].text, QStringLiteral("FAILED TO SAVE THE SETTINGS ON THIS COMPUTER, PLEASE TRY AGAIN!"));
        EXPECT_TRUE(form.State().SettingsChanged) << c.name;
        EXPECT_FALSE(form.Timer2->isActive()) << c.name << ": OK does not close";
        // The mouse is written all the same, its bracket closed.
        EXPECT_EQ(Sets().size(), 20u) << c.name;
        EXPECT_EQ(m_mouse->Live().writeState, 1);

        // Once the store takes them, APPLY clears the mark again.
        if (c.folderInPlace)
            ASSERT_TRUE(QDir().rmdir(path));
        else
            ASSERT_TRUE(QFile::remove(path));
        ASSERT_TRUE(QDir().rename(path + ".moved", path));
        m_dialogs.clear();
        EXPECT_EQ(form.ApplySettings(), TApplyOutcome::Written) << c.name;
        EXPECT_FALSE(form.State().SettingsChanged) << c.name;
        EXPECT_TRUE(m_dialogs.empty()) << c.name;
        m_form.reset();
    }
}

// ---- macros of several sets ------------------------------------------------

namespace {

// A macro of one key: down, `delays` pauses of 20 ms, up; played once.
TMACROKEYINFO KeyMacro(TMACROKEYINFO macro, std::uint8_t vk, int delays)
{
    int n = 0;
    macro.MacroList[n++] = TMACROKEY{MACRO_STEP_KEY, 1, vk, 0};
    for (int d = 0; d < delays; ++d)
        macro.MacroList[n++] = TMACROKEY{MACRO_STEP_DELAY, 0, 20, 0};
    macro.MacroList[n++] = TMACROKEY{MACRO_STEP_KEY, 0, vk, 0};
    macro.MacroListCount = n;
    macro.nLoopCount = 1;
    macro.nLoopRunWhenPressed = 0;
    return macro;
}

} // namespace

TEST_F(ApplyTest, EveryMacroButtonPlaysTheMacroItShowsWhateverSetItCameFrom)
{
    THKT75CFGMAIN &form = Form();
    TkwMacroSetClass &db = form.MacroSet();
    struct Macro {
        std::uint8_t vk;
        int delays;
    };
    auto makeSet = [&](const QString &set, const QStringList &names, std::vector<Macro> keys) {
        ASSERT_EQ(db.CreateNewMacroSet(set), 1);
        ASSERT_TRUE(db.SwitchToMacroSet(set));
        for (const QString &n : names)
            ASSERT_EQ(db.CreateNewMacro(n), 1);
        std::vector<TMACROKEYINFO> list = db.CurrentMacroClass()->MacroKeyInfoList();
        for (std::size_t k = 0; k < list.size(); ++k)
            list[k] = KeyMacro(list[k], keys[k].vk, keys[k].delays);
        db.CurrentMacroClass()->SetMacroKeyInfoList(list);
        ASSERT_TRUE(db.SaveBackCurrentMacroClassDataToCurrentMacroList());
    };
    makeSet(QStringLiteral("A"), {QStringLiteral("A-one"), QStringLiteral("A-two")}, {{'A', 0}, {'B', 1}});
    makeSet(QStringLiteral("B"), {QStringLiteral("B-one"), QStringLiteral("B-two")}, {{'C', 0}, {'D', 2}});

    // Each macro chosen from the MACRO sub-menu of its own set, the other
    // set made current in between; profile 3 has no macro.
    struct Choice {
        int profile, button;
        const char *set;
        int position;
    };
    const Choice choices[] = {{0, 3, "A", 1}, {0, 4, "B", 1}, {1, 5, "B", 0}, {2, 6, "A", 0}, {4, 3, "A", 1}};
    for (const Choice &c : choices) {
        ASSERT_TRUE(Dm().SwitchToProfile(c.profile));
        ASSERT_TRUE(db.SwitchToMacroSet(QString::fromLatin1(c.set)));
        int current = 0;
        ASSERT_EQ(AssignFunctionToButton(Dm(), db, MacroSubmenuSourceOf(db), c.button, 1102 + c.position, current),
                  TAssignResult::Assigned);
    }
    ASSERT_TRUE(Dm().SwitchToProfile(0));
    form.RefreshPages();
    EXPECT_EQ(form.ButtonsPage().BtnSet[3]->text(), QStringLiteral("MACRO #2 <A-two>"));
    EXPECT_EQ(form.ButtonsPage().BtnSet[4]->text(), QStringLiteral("MACRO #2 <B-two>"));

    ASSERT_EQ(form.ApplySettings(), TApplyOutcome::Written);

    // A-two keeps its position as slot 1 and B-one slot 0; B-two and A-one,
    // whose positions were taken, get the lowest free slots 2 and 3.
    const Bytes aOne = {0x84, 0x04, 0x00, 0x04, 0x04, 0x00, 0x07, 0x01, 0x00};
    const Bytes aTwo = {0x84, 0x05, 0x00, 0x06, 0x14, 0x00, 0x04, 0x05, 0x00, 0x07, 0x01, 0x00};
    const Bytes bOne = {0x84, 0x06, 0x00, 0x04, 0x06, 0x00, 0x07, 0x01, 0x00};
    const Bytes bTwo = {0x84, 0x07, 0x00, 0x06, 0x14, 0x00, 0x06, 0x14, 0x00, 0x04, 0x07, 0x00, 0x07, 0x01, 0x00};
    struct Button {
        int profile, button;
        Bytes bytes;
    };
    // The mouse's slots 0, 1, … and the given buttons of its maps.
    const auto expectMouse = [&](const std::vector<Bytes> &areaSlots, const std::vector<Button> &buttons) {
        for (std::size_t m = 0; m < areaSlots.size(); ++m)
            EXPECT_EQ(m_mouse->Dump(std::uint32_t(0x500 + 200 * m), std::uint32_t(areaSlots[m].size())), areaSlots[m])
                << "slot " << m;
        for (const Button &b : buttons)
            EXPECT_EQ(m_mouse->Dump(std::uint32_t(b.profile * 256 + 0x90 + 1 + 4 * b.button), 4), b.bytes)
                << "profile " << b.profile << " button " << b.button;
    };
    expectMouse({bOne, aTwo, bTwo, aOne, Bytes(9, 0)}, {{0, 3, {17, 1, 12, 0}},
                                                        {0, 4, {17, 2, 15, 0}},
                                                        {1, 5, {17, 0, 9, 0}},
                                                        {2, 6, {17, 3, 9, 0}},
                                                        {4, 3, {17, 1, 12, 0}}});
    EXPECT_NE(m_mouse->Dump(3 * 256 + 0x90 + 1 + 4 * 3, 1), Bytes{17}) << "profile 3 plays no macro";
    // The window still shows what it showed.
    EXPECT_EQ(form.ButtonsPage().BtnSet[4]->text(), QStringLiteral("MACRO #2 <B-two>"));
    // The profiles with a macro away from its position stay owed to the mouse.
    for (int p = 0; p < PROFILE_COUNT; ++p)
        EXPECT_EQ(Dm().IsProfileChanged(p), p == 0 || p == 2) << p;

    // A-two leaves profile 0: B-two takes its own slot 1 back, and A-two,
    // still on profile 4 (unchanged), moves to slot 3. Profile 4 is written
    // all the same; profile 1, unchanged and at its positions, is not.
    int current = 0;
    ASSERT_EQ(AssignFunctionToButton(Dm(), db, MacroSubmenuSourceOf(db), 3, MENU_ID_DISABLE, current),
              TAssignResult::Assigned);
    m_mouse->ClearLog();
    ASSERT_EQ(form.ApplySettings(), TApplyOutcome::Written);
    expectMouse({bOne, bTwo, aOne, aTwo}, {{0, 3, {14, 0, 0, 0}},
                                           {0, 4, {17, 1, 15, 0}},
                                           {1, 5, {17, 0, 9, 0}},
                                           {2, 6, {17, 2, 9, 0}},
                                           {4, 3, {17, 3, 12, 0}}});
    std::vector<int> mapsWritten;
    for (const Bytes &r : Sets())
        if (r.size() > 4 && r[0] == 0x04 && r[1] == 0x02 && r[2] == 0x90)
            mapsWritten.push_back(r[3]);
    EXPECT_EQ(mapsWritten, (std::vector<int>{0, 2, 4}));
    for (int p = 0; p < PROFILE_COUNT; ++p)
        EXPECT_EQ(Dm().IsProfileChanged(p), p == 2 || p == 4) << p;
}

// ---- profiles still owed to the mouse ---------------------------------------

TEST_F(ApplyTest, ProfilesTheMouseDoesNotYetHoldAreWrittenByTheNextApplyAfterAnInterruption)
{
    const auto marksOfAFreshStart = [&] {
        TDM restarted(TDMRoots{m_store, ProgramFolder(), Documents()});
        std::vector<bool> marks;
        for (int p = 0; p < PROFILE_COUNT; ++p)
            marks.push_back(restarted.IsProfileChanged(p));
        return marks;
    };
    THKT75CFGMAIN &form = Form();
    const int cur = Dm().FProfileIndex;
    ASSERT_EQ(cur, 2);

    // A run that never ends (killed during a wait) leaves every profile it
    // was to write marked in the store; one that ends leaves none.
    form.DeviceWrites().SetWaitMs(20);
    OnlyCurrentProfileMarked();
    Dm().SetProfileChanged(1, true);
    Dm().SetProfileChanged(3, true);
    // The moment: the mouse has taken profile 1's button map.
    std::vector<bool> midRun;
    QTimer watch;
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, &form, [&] {
        if (midRun.empty() && Sets().size() >= 4)
            midRun = marksOfAFreshStart();
    });
    watch.start();
    ASSERT_EQ(form.ApplySettings(), TApplyOutcome::Written);
    watch.stop();
    EXPECT_EQ(midRun, (std::vector<bool>{false, true, true, true, false}));
    EXPECT_EQ(marksOfAFreshStart(), std::vector<bool>(PROFILE_COUNT, false));
    EXPECT_EQ(Sets().size(), 28u);
    form.DeviceWrites().SetWaitMs(0);

    // The mouse goes away after profile 1: profiles 2 and 3 never reach it
    // and its write bracket stays open. Then the program starts again.
    OnlyCurrentProfileMarked();
    Dm().SetProfileChanged(1, true);
    Dm().SetProfileChanged(3, true);
    // Write state, the two reads (request and answer each), profile 0's
    // level and rate read, profile 1's map and light, its level and rate
    // read, its table and rate.
    m_mouse->FailAfter(17, 1000);
    EXPECT_EQ(form.ApplySettings(), TApplyOutcome::WriteFailed);
    EXPECT_EQ(m_mouse->Live().writeState, 0);
    m_form.reset();
    m_dm.reset();
    DM = nullptr;
    m_mouse->FailAfter(0, 0);
    m_dialogs.clear();
    // The restarted window reads the mouse's active profile as it starts.
    THKT75CFGMAIN &restarted = Form();
    m_mouse->ClearLog();

    ASSERT_EQ(restarted.ApplySettings(), TApplyOutcome::Written);
    const std::vector<Bytes> expectedHeads = {
        {0x02, 0x06, 0x00},                               // write state 0
        {0x02, 0x03, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA}, // read the active profile
        {0x02, 0x03, 0x4F, 0x02, 0x2A, 0x00, 0xFA, 0xFA}, // read its DPI table (profile 2 is active)
        {0x02, 0x03, 0x4F, 0x00, 0x2A, 0x00, 0xFA, 0xFA}, // profile 0: level and rate read
        {0x02, 0x03, 0x48, 0x00, 0x01, 0x00, 0xFA, 0xFA},
        {0x02, 0x03, 0x4F, 0x01, 0x2A, 0x00, 0xFA, 0xFA}, // profile 1 (taken by the broken run)
        {0x02, 0x03, 0x49, 0x00, 0x01, 0x00, 0xFA, 0xFA},
        {0x04, 0x02, 0x90, 0x02, 0x39, 0x00, 0xFA, 0xFA}, // profile 2
        {0x02, 0x02, 0xF1, 0x02, 0x06, 0x00, 0xFA, 0xFA},
        {0x02, 0x03, 0x4F, 0x02, 0x2A, 0x00, 0xFA, 0xFA},
        {0x02, 0x03, 0x4A, 0x00, 0x01, 0x00, 0xFA, 0xFA},
        {0x03, 0x02, 0x4F, 0x02, 0x2A, 0x00, 0xFA, 0xFA},
        {0x02, 0x02, 0x4A, 0x00, 0x01, 0x00, 0xFA, 0xFA},
        {0x04, 0x02, 0x90, 0x03, 0x39, 0x00, 0xFA, 0xFA}, // profile 3
        {0x02, 0x02, 0xF1, 0x03, 0x06, 0x00, 0xFA, 0xFA},
        {0x02, 0x03, 0x4F, 0x03, 0x2A, 0x00, 0xFA, 0xFA},
        {0x02, 0x03, 0x4B, 0x00, 0x01, 0x00, 0xFA, 0xFA},
        {0x03, 0x02, 0x4F, 0x03, 0x2A, 0x00, 0xFA, 0xFA},
        {0x02, 0x02, 0x4B, 0x00, 0x01, 0x00, 0xFA, 0xFA},
        {0x02, 0x03, 0x4F, 0x04, 0x2A, 0x00, 0xFA, 0xFA}, // profile 4: read
        {0x02, 0x03, 0x4C, 0x00, 0x01, 0x00, 0xFA, 0xFA},
        {0x02, 0x02, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0x02}, // active profile 2
        {0x02, 0x06, 0x01},                                     // write state 1: the bracket closed
        {0x02, 0x01, 0x01, 0x00},                               // refresh
    };
    const auto sets = Sets();
    ASSERT_EQ(sets.size(), expectedHeads.size());
    for (std::size_t i = 0; i < sets.size(); ++i)
        EXPECT_EQ(Head(sets[i], expectedHeads[i].size()), expectedHeads[i]) << "report " << i;
    EXPECT_EQ(m_mouse->Live().writeState, 1);
    EXPECT_EQ(marksOfAFreshStart(), std::vector<bool>(PROFILE_COUNT, false));
}
