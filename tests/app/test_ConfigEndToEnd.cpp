// HKT75 as a real process beside the real monitor and the simulated mouse
// daemon, on a private X server: the window starts the monitor, a second
// HKT75 ends at once, APPLY pressed on the real window leaves the profile in
// the daemon's memory, WM_EXIT_PROGRAM ends both programs, the session's
// end ends HKT75 whatever is open, also during its start-up, a save at the
// close question that fails keeps the window, Escape on the close question
// keeps the window and its edit, and a fresh store takes the desktop's
// language.
#include "ConfigEndToEndFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <csignal>

using namespace hkt::platform;
using hkt::testapp::ConfigEndToEnd;
using hkt::testfixtures::WaitFor;

TEST_F(ConfigEndToEnd, StartsTheMonitorStaysSingleAndAppliesThroughTheRealWindow)
{
    QProcess &config = StartConfigOnFirstProfile();
    ASSERT_FALSE(HasFailure());

    // A second HKT75 ends at once, without a window; the first runs on.
    EXPECT_EQ(Run(kBin + "/HKT75", {}, nullptr, 10000), 0);
    EXPECT_EQ(config.state(), QProcess::Running);

    // APPLY, clicked on the real window.
    ASSERT_TRUE(ClickApply());
    // Factory profile 1 as the mouse holds it (worked out by hand).
    const std::vector<int> map = {0x0E, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
                                  0x0E, 0x00, 0xE2, 0x00, 0x0E, 0x00, 0xE9, 0x00, 0x0E, 0x00, 0xEA, 0x00,
                                  0x10, 0x00, 0x4F, 0x00, 0x10, 0x00, 0x50, 0x00, 0x0E, 0x00, 0xB5, 0x00,
                                  0x0E, 0x00, 0xB6, 0x00, 0x0E, 0x00, 0xCD, 0x00, 0x0F, 0x04, 0x3D, 0x00,
                                  0x0F, 0x08, 0x07, 0x00, 0x0D, 0x00, 0x00, 0x00};
    EXPECT_TRUE(WaitFor([&] { return Dump(0x90, 57) == map; }, 20000));
    EXPECT_EQ(Dump(0xF1, 6), (std::vector<int>{0x00, 0x00, 0xFF, 0x02, 0x03, 0x00}));
    EXPECT_EQ(Dump(0x48, 1), std::vector<int>{0x02});
    EXPECT_EQ(Dump(0x43, 1), std::vector<int>{0x00});

    // APPLY's run (its waits between writes and the message to the monitor)
    // ends first.
    QThread::msleep(3000);
    // A profile switched on the mouse reaches the window through the
    // monitor; the window's switch answers with WM_PROFILE_CHANGED, which
    // makes the monitor store the profile's number.
    ASSERT_TRUE(SwitchOnTheMouse(3));
    auto store = Store();
    const QByteArray three("\x03\x00\x00\x00", 4);
    EXPECT_TRUE(WaitFor([&] {
        QByteArray id;
        return store->ReadValue(QStringLiteral("software\\HKT75GM"), QStringLiteral("ProfileID"), id) ==
                   ReadStatus::Ok &&
               id == three;
    }, 8000));
    EXPECT_EQ(config.state(), QProcess::Running);

    // WM_EXIT_PROGRAM ends the program without a question.
    PostWindowMessage(FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime()), WM_EXIT_PROGRAM, 0, 0);
    EXPECT_TRUE(config.waitForFinished(15000));
    EXPECT_EQ(config.exitCode(), 0);
}

TEST_F(ConfigEndToEnd, AProfileSwitchedOnTheMouseDuringApplyReachesTheWindow)
{
    QProcess &config = StartConfigOnFirstProfile();
    ASSERT_FALSE(HasFailure());
    // The monitor reads the mouse a while after its start: a switch made
    // with nothing else running, repeated until the window follows it,
    // shows that it does.
    ASSERT_TRUE(WaitFor([&] {
        if (!SwitchOnTheMouse(1))
            return false;
        QThread::msleep(500);
        return WindowProfile() == 1 && StoredProfileID() == 1;
    }));
    // The switch lands inside APPLY's run: its waits between writes and its
    // message to the monitor.
    ASSERT_TRUE(ClickApply());
    ASSERT_TRUE(SwitchOnTheMouse(3));
    // The window follows the mouse (it stores the profile as its current
    // one, the monitor stores its number) and the mouse stays on it.
    EXPECT_TRUE(WaitFor([&] { return WindowProfile() == 3 && StoredProfileID() == 3; }, 15000))
        << "window " << WindowProfile() << ", monitor " << StoredProfileID();
    // Still so once everything APPLY and the switch started has ended.
    QThread::msleep(3000);
    EXPECT_EQ(WindowProfile(), 3);
    EXPECT_EQ(StoredProfileID(), 3);
    EXPECT_EQ(Dump(0x43, 1), std::vector<int>{0x03});
    EXPECT_EQ(config.state(), QProcess::Running);
}

TEST_F(ConfigEndToEnd, TheSessionsEndWithTheCloseQuestionOpenEndsAtOnceStoringNothing)
{
    QProcess &config = StartConfigOnFirstProfile();
    ASSERT_FALSE(HasFailure());
    // An unsaved edit (1000 Hz for the stored 500 Hz), so CANCEL asks.
    const auto window = FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime());
    ASSERT_TRUE(SendWindowMessage(window, WM_REPORT_RATE_CHANGED, 1, 0).has_value());
    ASSERT_TRUE(WaitFor([&] { return VisibleWindows().size() == 1; }));
    const QByteArray main = VisibleWindows().first();
    ASSERT_EQ(Run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--window"),
                                              QString::fromLatin1(main), QStringLiteral("652"), QStringLiteral("92"),
                                              QStringLiteral("click"), QStringLiteral("1")}),
              0);
    // The question is up beside the window.
    ASSERT_TRUE(WaitFor([&] { return VisibleWindows().size() == 2; }));
    const auto stored = Stored();

    ::kill(pid_t(config.processId()), SIGTERM);
    ASSERT_TRUE(config.waitForFinished(20000));
    EXPECT_EQ(config.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(config.exitCode(), 0);
    EXPECT_FALSE(FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime()));
    EXPECT_TRUE(Stored() == stored) << "something was stored";
}

TEST_F(ConfigEndToEnd, TheSessionsEndDuringTheStartUpWarningEndsTheProgramInOrder)
{
    // No documents folder can be made: start-up warns before the window shows.
    const QString documents = m_session.Home() + "/Documents";
    ASSERT_TRUE(QDir(documents).removeRecursively());
    QFile blocker(documents);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    QProcess &config = Start(kBin + "/HKT75");
    ASSERT_TRUE(WaitFor([&] { return VisibleWindows().size() == 1; }));
    // Only the warning: the window is not made findable before it is built.
    EXPECT_FALSE(FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime()));

    ::kill(pid_t(config.processId()), SIGTERM);
    ASSERT_TRUE(config.waitForFinished(20000));
    EXPECT_EQ(config.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(config.exitCode(), 0);
    // The window was never shown, so no monitor was started.
    EXPECT_FALSE(FindWindowByClass(QStringLiteral("THKT75MONMAIN"), Runtime()));
    EXPECT_TRUE(QFileInfo(documents).isFile());
}

TEST_F(ConfigEndToEnd, ASaveAtTheCloseQuestionThatFailsSaysSoAndTheWindowStays)
{
    QProcess &config = StartConfigOnFirstProfile();
    ASSERT_FALSE(HasFailure());
    const QString main = MainWindow();
    ASSERT_FALSE(main.isEmpty());
    // An unsaved edit (1000 Hz for the stored 500 Hz), so CANCEL asks.
    const auto window = FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime());
    ASSERT_TRUE(SendWindowMessage(window, WM_REPORT_RATE_CHANGED, 1, 0).has_value());
    // The settings folder made a file: no store can write there, as root
    // neither.
    const QString folder =
        QFileInfo(Store()->ValueFile(QStringLiteral("software\\HKT75GM"), QStringLiteral("x"))).absolutePath();
    ASSERT_TRUE(QDir().rename(folder, folder + ".moved"));
    {
        QFile blocker(folder);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    // The one dialog shown beside the main window, once it is up.
    const auto dialog = [&] {
        std::uint32_t id = 0;
        WaitFor([&] {
            const auto shown = Shown();
            for (const auto &w : shown)
                if (QString::number(w.id) != main)
                    id = w.id;
            return shown.size() == 2 && id != 0;
        });
        return id;
    };
    const QRect text(123, 83, 284, 96); // the dialogs' text
    const QPoint ok(177, 227);          // and their OK
    const QPoint okAlone(239, 227);     // OK of a message that only informs

    // CANCEL, then OK to the save question.
    ASSERT_TRUE(ClickAt(main, 652, 92));
    const std::uint32_t question = dialog();
    ASSERT_NE(question, 0u) << "no question";
    const QByteArray asked = m_probe->Look(question, text);
    ASSERT_TRUE(ClickAt(QString::number(question), ok.x(), ok.y()));

    // The failure is said in a dialog of its own text, and the program runs on.
    std::uint32_t warning = 0;
    ASSERT_TRUE(WaitFor([&] {
        warning = dialog();
        return warning != 0 && m_probe->Look(warning, text) != asked;
    })) << "no warning; the program " << (config.waitForFinished(1) ? "ended" : "runs");
    ASSERT_TRUE(ClickAt(QString::number(warning), okAlone.x(), okAlone.y()));
    ASSERT_TRUE(WaitFor([&] { return Shown().size() == 1; }));
    EXPECT_FALSE(config.waitForFinished(1));
    EXPECT_TRUE(FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime()));

    // With the folder back, the edit is still unsaved: CANCEL asks again,
    // OK stores it and ends the program.
    ASSERT_TRUE(QFile::remove(folder));
    ASSERT_TRUE(QDir().rename(folder + ".moved", folder));
    ASSERT_TRUE(ClickAt(main, 652, 92));
    const std::uint32_t again = dialog();
    ASSERT_NE(again, 0u) << "no question the second time";
    // Shown is not yet painted on a busy machine: wait for its text.
    EXPECT_TRUE(WaitFor([&] { return m_probe->Look(again, text) == asked; })) << "another question";
    ASSERT_TRUE(ClickAt(QString::number(again), ok.x(), ok.y()));
    ASSERT_TRUE(config.waitForFinished(20000));
    EXPECT_EQ(config.exitCode(), 0);
    auto dm = DataModule();
    EXPECT_EQ(dm->FProfileIndex, 0);
    EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.ReportRate, 1000);
}

// Escape on the close question is a step back to the window: the window
// stays with its edit and nothing is stored; asked again, OK stores the edit
// and the program ends with 0.
TEST_F(ConfigEndToEnd, EscapeOnTheCloseQuestionKeepsTheWindowAndTheEdit)
{
    QProcess &config = StartConfigOnFirstProfile();
    ASSERT_FALSE(HasFailure());
    const QString main = MainWindow();
    ASSERT_FALSE(main.isEmpty());
    // An unsaved edit (1000 Hz for the stored 500 Hz), so CANCEL asks.
    const auto window = FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime());
    ASSERT_TRUE(SendWindowMessage(window, WM_REPORT_RATE_CHANGED, 1, 0).has_value());
    const QRect text(123, 83, 284, 96); // the dialog's text
    const QPoint ok(177, 227);          // and its OK

    ASSERT_TRUE(ClickAt(main, 652, 92));
    const std::uint32_t question = AwaitNewWindow(1);
    ASSERT_NE(question, 0u) << "no question";
    const QByteArray asked = m_probe->Look(question, text);
    const auto stored = Stored();
    ASSERT_TRUE(XDo({QStringLiteral("windowfocus"), QString::number(question)}));
    ASSERT_TRUE(XDo({QStringLiteral("key"), QStringLiteral("Escape")}));
    ASSERT_TRUE(WaitFor([&] { return Shown().size() == 1; }, 10000)) << "the question stays";

    // The window answers CANCEL with the same question again: the edit is
    // still there, unsaved.
    ASSERT_TRUE(ClickAt(main, 652, 92));
    const std::uint32_t again = AwaitNewWindow(1);
    ASSERT_NE(again, 0u) << "no question the second time; the program "
                         << (config.state() == QProcess::Running ? "runs" : "ended");
    EXPECT_EQ(m_probe->Look(again, text), asked);
    EXPECT_TRUE(Stored() == stored) << "something was stored";
    Shot(QStringLiteral("close-question-after-escape"));
    ASSERT_TRUE(ClickAt(QString::number(again), ok.x(), ok.y()));
    ASSERT_TRUE(config.waitForFinished(20000));
    EXPECT_EQ(config.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(config.exitCode(), 0);
    auto dm = DataModule();
    EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.ReportRate, 1000);
}

TEST_F(ConfigEndToEnd, AFreshStoreTakesTheDesktopsLanguageWhicheverProgramStartsFirst)
{
    // The monitor starts first, on a Hong Kong Chinese desktop: traditional
    // characters, the file's third language.
    m_env.insert(QStringLiteral("LANG"), QStringLiteral("zh_HK.UTF-8"));
    QProcess &monitor = Start(kBin + "/HKT75MON");
    ASSERT_TRUE(WaitFor(
        [&] { return bool(FindWindowByClass(QStringLiteral("THKT75MONMAIN"), Runtime())); }));
    const QString key = QStringLiteral("software\\HKT75GM");
    ASSERT_TRUE(Store()->ValueExists(key, QStringLiteral("allsettings.pfd")));
    EXPECT_EQ(DataModule()->FAllProfileSettingInfo.CurrentLanguage, 2);

    // The window, started later on a desktop asking for simplified Chinese,
    // follows the store.
    m_env.insert(QStringLiteral("LANGUAGE"), QStringLiteral("zh_CN"));
    m_env.insert(QStringLiteral("LANG"), QStringLiteral("zh_CN.UTF-8"));
    Start(kBin + "/HKT75");
    const QString main = MainWindow();
    ASSERT_FALSE(main.isEmpty());
    QByteArray title;
    EXPECT_TRUE(WaitFor([&] {
        title.clear();
        Run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), main}, &title, 20000);
        return QString::fromUtf8(title).startsWith(QString::fromUtf8("\xE9\x81\x8A\xE6\x88\xB2\xE6\xBB\x91\xE9\xBC\xA0"
                                                                      "\xE8\xA8\xAD\xE5\xAE\x9A")); // 遊戲滑鼠設定
    })) << title.toStdString();
    EXPECT_EQ(DataModule()->FAllProfileSettingInfo.CurrentLanguage, 2);

    ::kill(pid_t(monitor.processId()), SIGTERM);
    EXPECT_TRUE(monitor.waitForFinished(20000));
}
