#include "MainConfigFixture.h"

#include "config/ui/showdialog.h"
#include "core/kwMacroClassUnit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QTimer>

#include <QFileInfo>
#include <QStackedWidget>
#include <QRadioButton>
#include <QTest>

#include <functional>

using namespace hkt::testapp;

TEST_F(MainConfigTest, StartsWithFourTabsAndNoUnsavedMark)
{
    THKT75CFGMAIN &form = Form();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.size(), QSize(801, 638));
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(form.State().SettingsChanged);
    EXPECT_FALSE(form.State().ReportRateChanged);
    EXPECT_EQ(form.TabControlMain->count(), 4);
    EXPECT_EQ(form.CurrentPage(), 0);
    EXPECT_TRUE(form.BtnMainConfig->isChecked());
    EXPECT_EQ(form.BtnMainConfig->shownText(), QStringLiteral("GENERAL"));

    // Each tab button shows its page and is the only one pressed.
    hkt::skin::StateButton *tabs[] = {form.BtnMainConfig, form.BtnCPI, form.BtnColor, form.BSBTNINFO};
    for (int tag = 3; tag >= 0; --tag) {
        QTest::mouseClick(tabs[tag], Qt::LeftButton);
        EXPECT_EQ(form.CurrentPage(), tag);
        for (int t = 0; t < 4; ++t)
            EXPECT_EQ(tabs[t]->isChecked(), t == tag) << tag << " " << t;
    }
    EXPECT_FALSE(form.State().SettingsChanged);
    EXPECT_TRUE(m_dialogs.empty());
}

TEST_F(MainConfigTest, StartUpCreatesTheDefaultMacroSetOnce)
{
    THKT75CFGMAIN &form = Form();
    const QString db = form.MacroSet().MacroSetDBFile();
    ASSERT_TRUE(QFileInfo::exists(db)) << db.toStdString();
    EXPECT_EQ(form.MacroSet().CurrentMacroSetName(), QStringLiteral("DefaultMacroSet"));
    EXPECT_EQ(form.MacroSet().GetMacroListNamesByMacroSetName(QStringLiteral("DefaultMacroSet")),
              (QStringList{QStringLiteral("Macro1"), QStringLiteral("Macro2")}));
    const QDateTime written = QFileInfo(db).lastModified();
    QFile f(db);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    f.close();
    m_form.reset();

    // A second start finds the set: nothing is created or written.
    QTest::qWait(20);
    THKT75CFGMAIN &again = Form();
    EXPECT_EQ(again.MacroSet().CurrentMacroSetName(), QStringLiteral("DefaultMacroSet"));
    EXPECT_EQ(QFileInfo(db).lastModified(), written);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), bytes);
}

// ---- window messages -------------------------------------------------------------

TEST_F(MainConfigTest, ReportRateMessageTakesOnlyTheMousesRateCodes)
{
    struct Case {
        std::int64_t code;
        int rate; // expected ReportRate afterwards (shown rate 500 before)
        bool marked;
    };
    const Case cases[] = {{1, 1000, true}, {2, 500, false}, {8, 125, true}, {4, 250, true},
                          {0, 500, false}, {99, 500, false}, {-1, 500, false}};
    for (const Case &c : cases) {
        THKT75CFGMAIN &form = Form();
        Dm().FCurrentProfileInfo.ConfigInfo.ReportRate = 500;
        form.MousePage().ShowReportRate();
        form.State() = TMainConfigState{};
        Dm().SetProfileChanged(Dm().FProfileIndex, false);
        m_mouse->ClearLog();
        EXPECT_EQ(form.WndProc(WM_REPORT_RATE_CHANGED, c.code, 0), 0);
        EXPECT_EQ(Dm().FCurrentProfileInfo.ConfigInfo.ReportRate, c.rate) << c.code;
        EXPECT_EQ(form.State().SettingsChanged, c.marked) << c.code;
        EXPECT_EQ(form.State().ReportRateChanged, c.marked) << c.code;
        EXPECT_EQ(Dm().IsProfileChanged(Dm().FProfileIndex), c.marked) << c.code;
        EXPECT_TRUE(m_mouse->Log().empty());
        m_form.reset();
    }
}

TEST_F(MainConfigTest, LevelAndProfileMessagesOutsideTheirRangesAreIgnored)
{
    THKT75CFGMAIN &form = Form();
    const int profile = Dm().FProfileIndex;
    Dm().FCurrentProfileInfo.ConfigInfo.CurrentCPIIndex = 1;
    m_mouse->ClearLog();
    for (std::int64_t w : {5, 255, -1})
        form.WndProc(WM_CPI_INDEX_CHANGED, w, 0);
    EXPECT_EQ(Dm().FCurrentProfileInfo.ConfigInfo.CurrentCPIIndex, 1);
    form.WndProc(WM_CPI_INDEX_CHANGED, 3, 0);
    EXPECT_EQ(Dm().FCurrentProfileInfo.ConfigInfo.CurrentCPIIndex, 3);
    TMouseProfileInfo stored{};
    Dm().ReadProfileInfo(stored, profile);
    EXPECT_EQ(stored.ConfigInfo.CurrentCPIIndex, 3) << "kept in the profile's store";
    EXPECT_FALSE(form.State().SettingsChanged);
    for (std::int64_t w : {5, 7, -1, 1 << 20})
        EXPECT_EQ(form.WndProc(WM_SWITCH_PROFILE, w, 0), 0);
    EXPECT_EQ(form.WndProc(WM_RESERVED, 1, 2), 0);
    EXPECT_TRUE(m_mouse->Log().empty());
    EXPECT_EQ(Dm().FProfileIndex, profile);
}

// ---- closing --------------------------------------------------------------------------

TEST_F(MainConfigTest, ClosingAsksOnlyWithUnsavedChangesAndStoresOnOK)
{
    struct Case {
        const char *how;
        bool changed;
        int answer;
        bool asked;
        bool stored;
    };
    const Case cases[] = {
        {"cancel, nothing changed", false, 1, false, false},
        {"cancel, changed, OK", true, 1, true, true},
        {"cancel, changed, CANCEL", true, 2, true, false},
        {"window manager, changed, OK", true, 1, true, true},
        {"WM_EXIT_PROGRAM, changed", true, 1, false, false},
    };
    for (const Case &c : cases) {
        THKT75CFGMAIN &form = Form();
        form.show();
        m_mouse->ClearLog(); // the start-up read of the active profile
        const QString profiles = Dm().GetPersonalDocumentProfilePath();
        for (const QString &f : QDir(profiles).entryList({QStringLiteral("*.pfd")}, QDir::Files))
            QFile::remove(profiles + f);
        form.State().SettingsChanged = c.changed;
        // An edited profile that no APPLY has written into the mouse yet
        // (and no marks left in the store by the case before).
        for (int p = 0; p < PROFILE_COUNT; ++p)
            Dm().SetProfileChanged(p, false);
        ASSERT_TRUE(Dm().SaveProfileChangedMarks());
        Dm().SetProfileChanged(3, c.changed);
        m_dialogAnswer = c.answer;
        const QString how = QLatin1String(c.how);
        if (how.startsWith(QStringLiteral("cancel")))
            QTest::mouseClick(form.BtnCancel, Qt::LeftButton);
        else if (how.startsWith(QStringLiteral("window")))
            form.close();
        else
            form.WndProc(WM_EXIT_PROGRAM, 0, 0);
        EXPECT_FALSE(form.isVisible()) << c.how;
        EXPECT_EQ(m_dialogs.size(), c.asked ? 1u : 0u) << c.how;
        if (c.asked) {
            EXPECT_EQ(m_dialogs[0].text, QStringLiteral("THE SETTINGS WAS CHANGED, SAVE THE CURRENT SETTING ANYWAY?"));
        }
        EXPECT_EQ(QDir(profiles).entryList({QStringLiteral("*.pfd")}, QDir::Files).size(), c.stored ? 5 : 0)
            << c.how;
        // A profile stored on the PC but not yet in the mouse is still owed
        // to the mouse after the next start, so its next APPLY writes it.
        EXPECT_EQ(TDM(TDMRoots{m_store, ProgramFolder(), Documents()}).IsProfileChanged(3), c.stored) << c.how;
        EXPECT_TRUE(m_mouse->Log().empty() || !c.stored);
        m_form.reset();
        m_dialogs.clear();
    }
}

namespace {
// The window with the program's own skinned dialogs, answered by the test.
class MainConfigOwnDialogs : public MainConfigTest {
protected:
    TMainConfigSetup WindowSetup() override
    {
        TMainConfigSetup s = MainConfigTest::WindowSetup();
        s.Dialog = nullptr;
        s.Dialog2 = nullptr;
        return s;
    }
};

// What the message dialog up now showed, and `act` done on it.
struct ShownDialog {
    QString text;
    bool cancelShown = false;
};
void OnNextDialog(ShownDialog &seen, std::function<void(TFrmDialog &)> act)
{
    QTimer::singleShot(0, [&seen, act] {
        auto *d = qobject_cast<TFrmDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        seen.text = d->LabelText->text();
        seen.cancelShown = d->BTNCANCEL->isVisible();
        act(*d);
    });
}
} // namespace

// Escape or the close of the question is a step back to the window with
// every edit kept; CANCEL closes storing nothing; OK stores and closes.
TEST_F(MainConfigOwnDialogs, TheCloseQuestionDismissedKeepsTheWindowAndTheEdit)
{
    const struct Case {
        const char *how;
        std::function<void(TFrmDialog &)> answer;
        bool closes, stored;
    } cases[] = {
        {"Escape", [](TFrmDialog &d) { QTest::keyClick(&d, Qt::Key_Escape); }, false, false},
        {"the window manager's close", [](TFrmDialog &d) {
             QCloseEvent e;
             QApplication::sendEvent(&d, &e);
         }, false, false},
        {"CANCEL", [](TFrmDialog &d) { QTest::mouseClick(d.BTNCANCEL, Qt::LeftButton); }, true, false},
        {"OK", [](TFrmDialog &d) { QTest::mouseClick(d.BTNOK, Qt::LeftButton); }, true, true},
    };
    const auto storedRate = [this] {
        TDM dm(TDMRoots{m_store, ProgramFolder(), Documents()});
        return dm.FCurrentProfileInfo.ConfigInfo.ReportRate;
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.how);
        THKT75CFGMAIN &form = Form();
        form.show();
        ASSERT_EQ(storedRate(), 500);
        // 1000 Hz set on the mouse: an edit the store does not hold yet.
        form.WndProc(WM_REPORT_RATE_CHANGED, 1, 0);
        ASSERT_TRUE(form.State().SettingsChanged);
        ShownDialog seen;
        OnNextDialog(seen, c.answer);
        QTest::mouseClick(form.BtnCancel, Qt::LeftButton);
        EXPECT_EQ(seen.text, QStringLiteral("THE SETTINGS WAS CHANGED, SAVE THE CURRENT SETTING ANYWAY?"));
        EXPECT_TRUE(seen.cancelShown);
        EXPECT_EQ(form.isVisible(), !c.closes);
        EXPECT_EQ(storedRate(), c.stored ? 1000 : 500);
        EXPECT_EQ(m_programEnded, 0);
        if (!c.closes) {
            // Still the edit, still unsaved: the next close asks again, and
            // OK stores what was edited before the step back.
            EXPECT_TRUE(form.State().SettingsChanged);
            EXPECT_EQ(Dm().FCurrentProfileInfo.ConfigInfo.ReportRate, 1000);
            ShownDialog again;
            OnNextDialog(again, [](TFrmDialog &d) { QTest::mouseClick(d.BTNOK, Qt::LeftButton); });
            QTest::mouseClick(form.BtnCancel, Qt::LeftButton);
            EXPECT_EQ(again.text, seen.text);
            EXPECT_FALSE(form.isVisible());
            EXPECT_EQ(storedRate(), 1000);
        }
        // The next case on a fresh store.
        m_form.reset();
        m_dm.reset();
        DM = nullptr;
        ASSERT_TRUE(QDir(m_tmp.path() + "/registry").removeRecursively());
        ASSERT_TRUE(QDir(Documents()).removeRecursively());
    }
}

// A message of the window that only informs offers OK alone.
TEST_F(MainConfigOwnDialogs, AMessageThatOnlyInformsHasNoCancel)
{
    THKT75CFGMAIN &form = Form();
    form.show();
    ShownDialog seen;
    OnNextDialog(seen, [](TFrmDialog &d) { QTest::keyClick(&d, Qt::Key_Escape); });
    form.Message(QStringLiteral("WARNING"), QStringLiteral("PLEASE CONNECT YOUR MOUSE DEVICE BEFORE APPLY NEW SETTINGS!"));
    EXPECT_EQ(seen.text, QStringLiteral("PLEASE CONNECT YOUR MOUSE DEVICE BEFORE APPLY NEW SETTINGS!"));
    EXPECT_FALSE(seen.cancelShown);
    EXPECT_TRUE(form.isVisible());
}

TEST_F(MainConfigTest, ASaveAtTheCloseQuestionThatFailsSaysSoAndKeepsTheWindowAndTheEdit)
{
    struct Case {
        const char *name;
        std::function<QString()> blocked; // a folder the save needs, made a file
    };
    const QString key = Dm().FOptionsFromConfigFile.ProfileRegFolder;
    const Case cases[] = {
        {"value store", [&] { return QFileInfo(m_store->ValueFile(key, QStringLiteral("x"))).absolutePath(); }},
        {"profile file", [&] { return Dm().GetPersonalDocumentProfilePath().chopped(1); }},
    };
    for (const Case &c : cases) {
        THKT75CFGMAIN &form = Form();
        form.show();
        const int profile = Dm().FProfileIndex;
        ASSERT_EQ(Dm().FCurrentProfileInfo.ConfigInfo.ReportRate, 500) << c.name;
        // 1000 Hz set on the mouse: an edit the store does not hold yet.
        form.WndProc(WM_REPORT_RATE_CHANGED, 1, 0);
        ASSERT_TRUE(form.State().SettingsChanged) << c.name;
        const QString path = c.blocked();
        ASSERT_TRUE(QDir().rename(path, path + ".moved")) << c.name;
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << c.name;
        }
        m_dialogAnswer = 1;
        m_dialogs.clear();

        QTest::mouseClick(form.BtnCancel, Qt::LeftButton);

        ASSERT_EQ(m_dialogs.size(), 2u) << c.name;
        EXPECT_EQ(m_dialogs[0].text, QStringLiteral("THE SETTINGS WAS CHANGED, SAVE THE CURRENT SETTING ANYWAY?"));
        EXPECT_EQ(m_dialogs[1].title, QStringLiteral("WARNING"));
        EXPECT_EQ(m_dialogs[1].text, QStringLiteral("FAILED TO SAVE THE SETTINGS ON THIS COMPUTER, PLEASE TRY AGAIN!"));
        EXPECT_TRUE(form.isVisible()) << c.name << ": the window closed";
        EXPECT_TRUE(form.State().SettingsChanged) << c.name;
        EXPECT_EQ(m_programEnded, 0) << c.name;

        // With the store back, the next close asks again and keeps the edit.
        ASSERT_TRUE(QFile::remove(path)) << c.name;
        ASSERT_TRUE(QDir().rename(path + ".moved", path)) << c.name;
        m_dialogs.clear();
        QTest::mouseClick(form.BtnCancel, Qt::LeftButton);
        ASSERT_EQ(m_dialogs.size(), 1u) << c.name;
        EXPECT_FALSE(form.isVisible()) << c.name;
        m_form.reset();
        m_dm.reset();
        ASSERT_TRUE(Dm().SwitchToProfile(profile)) << c.name;
        EXPECT_EQ(Dm().FCurrentProfileInfo.ConfigInfo.ReportRate, 1000) << c.name;
        // Back to 500 Hz for the next case, stored.
        Dm().FCurrentProfileInfo.ConfigInfo.ReportRate = 500;
        ASSERT_TRUE(Dm().SaveCurrentProfileInfoToRegistry());
        ASSERT_TRUE(Dm().SaveCurrentProfileInfoToFile());
        m_dialogs.clear();
    }
}

TEST_F(MainConfigTest, OpensCentredOnTheFirstDisplay)
{
    struct Case {
        QList<QRect> screens;
        QPoint at;
    };
    const Case cases[] = {
        {{QRect(0, 0, 1280, 1024)}, QPoint(239, 193)},
        // Centred, then kept to the first display's left edge when shown.
        {{QRect(1920, 0, 1920, 1080), QRect(0, 0, 1920, 1080)}, QPoint(1920, 221)},
        {{QRect(0, 0, 800, 600)}, QPoint(0, -19)}, // smaller than the window: its middle still is
    };
    for (const Case &c : cases) {
        m_screens = c.screens;
        THKT75CFGMAIN &form = Form();
        form.show();
        EXPECT_EQ(form.pos(), c.at) << c.screens.first().width();
        m_form.reset();
    }
}

TEST_F(MainConfigTest, ShowStartsTheMonitorOnlyWhenItIsNotThereAndKeepsToTheFirstDisplay)
{
    m_screens = {QRect(-1280, 0, 1280, 1024), QRect(0, 0, 1920, 1080)};
    THKT75CFGMAIN &form = Form();
    form.move(400, 50);
    form.show();
    EXPECT_EQ(m_started, QStringList{ProgramFolder() + QStringLiteral("HKT75MON")});
    EXPECT_EQ(form.x(), -1280);
    form.hide();

    // Only the first show looks for it: a later one (a restore, a raise)
    // while the monitor is down, ended by the user or restarting, starts
    // no second one.
    form.show();
    EXPECT_EQ(m_started.size(), 1);
    form.hide();

    hkt::platform::MessageWindow monitor(QStringLiteral("THKT75MONMAIN"), Runtime());
    ASSERT_TRUE(monitor.Register());
    form.show();
    EXPECT_EQ(m_started.size(), 1);
}

TEST_F(MainConfigTest, AStartUpWithoutADocumentsFolderSaysSoAndRunsOn)
{
    // A file where the documents folder should be: no folder can be made.
    QFile blocker(m_tmp.path() + "/docs");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    THKT75CFGMAIN &form = Form();
    ASSERT_EQ(m_dialogs.size(), 1u);
    EXPECT_EQ(m_dialogs[0].text,
              QStringLiteral("THE FOLDERS FOR PROFILES AND MACROS CANNOT BE CREATED, THEY WILL NOT BE SAVED THERE!"));
    EXPECT_TRUE(form.MacroFolderUnusable());
    EXPECT_EQ(form.MacroSet().CurrentMacroSetName(), QStringLiteral("DefaultMacroSet"));
    EXPECT_FALSE(form.State().SettingsChanged);
    EXPECT_EQ(form.ApplySettings(), TApplyOutcome::Written);
    EXPECT_TRUE(QFileInfo(m_tmp.path() + "/docs").isFile());
}

// ---- polling rate and the desktop's mouse settings --------------------------------------

TEST_F(MainConfigTest, DoubleClickBarSetsTheDesktopAtOnceAndReversed)
{
    THKT75CFGMAIN &form = Form();
    TMainConfigMouse &page = form.MousePage();
    m_desktop->Clear();
    page.TrackMouseDBClick->setValue(900);
    page.TrackMouseDBClick->setValue(200);
    const std::vector<RecordingMouseSettings::Call> calls = {{QStringLiteral("dblclick"), {200}},
                                                             {QStringLiteral("dblclick"), {900}}};
    // The bar is reversed (its right end is the shortest time), and the
    // factory profile shows neither end, so both moves reach the desktop.
    EXPECT_EQ(m_desktop->Calls(), calls);
    EXPECT_EQ(Dm().FCurrentProfileInfo.ConfigInfo.DoubleClickSpeed, 900);
    EXPECT_TRUE(form.State().SettingsChanged);
    EXPECT_TRUE(Dm().IsProfileChanged(Dm().FProfileIndex));
}

TEST_F(MainConfigTest, MouseSettingsRefreshShowsStoredValuesClampedAndTheDesktopNeverLeavesItsRange)
{
    struct Case {
        int dblclick;
        int bar;
        int desktop;   // the first time set by the refresh
        int stored;    // DoubleClickSpeed afterwards
    };
    const Case cases[] = {{550, 550, 550, 550}, {1000, 200, 900, 900}, {50, 900, 200, 200}, {200, 900, 200, 200}};
    for (const Case &c : cases) {
        THKT75CFGMAIN &form = Form();
        TMainConfigMouse &page = form.MousePage();
        Dm().FCurrentProfileInfo.ConfigInfo.DoubleClickSpeed = std::uint16_t(c.dblclick);
        Dm().FCurrentProfileInfo.ConfigInfo.VWheelSpeed = 0;
        // A stored 25 moves a bar that shows 5 to its end, 20, which is stored.
        page.TrackPointSpeed->setValue(5);
        Dm().FCurrentProfileInfo.ConfigInfo.PointerSpeed = 25;
        m_desktop->Clear();
        page.kwCommandSetting1Commands2Execute();
        EXPECT_EQ(page.TrackMouseDBClick->value(), c.bar) << c.dblclick;
        ASSERT_FALSE(m_desktop->Calls().empty());
        EXPECT_EQ(m_desktop->Calls().front(), (RecordingMouseSettings::Call{QStringLiteral("dblclick"), {c.desktop}}));
        for (const auto &call : m_desktop->Calls())
            EXPECT_TRUE(call.values[0] >= 200 && call.values[0] <= 900) << c.dblclick;
        EXPECT_EQ(Dm().FCurrentProfileInfo.ConfigInfo.DoubleClickSpeed, c.stored) << c.dblclick;
        EXPECT_EQ(page.TrackPointSpeed->value(), 20);
        EXPECT_EQ(Dm().FCurrentProfileInfo.ConfigInfo.PointerSpeed, 20);
        EXPECT_EQ(form.State().SystemMouseSettings.PointerSpeed, 20);
        m_form.reset();
    }
}

TEST_F(MainConfigTest, PollingRateRadiosStoreTheRateAndMarkIt)
{
    THKT75CFGMAIN &form = Form();
    TMainConfigMouse &page = form.MousePage();
    QTest::mouseClick(page.Radio1000, Qt::LeftButton);
    EXPECT_EQ(Dm().FCurrentProfileInfo.ConfigInfo.ReportRate, 1000);
    EXPECT_TRUE(form.State().ReportRateChanged);
    EXPECT_TRUE(form.State().SettingsChanged);

    // A rate that is none of the four checks no radio and stays as stored.
    form.State() = TMainConfigState{};
    Dm().FCurrentProfileInfo.ConfigInfo.ReportRate = 333;
    page.ShowReportRate();
    for (QRadioButton *r : {page.Radio125, page.Radio250, page.Radio500, page.Radio1000})
        EXPECT_FALSE(r->isChecked());
    EXPECT_EQ(Dm().FCurrentProfileInfo.ConfigInfo.ReportRate, 333);
    EXPECT_FALSE(form.State().SettingsChanged);
}
