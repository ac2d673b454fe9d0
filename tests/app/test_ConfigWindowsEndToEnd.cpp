// The real HKT75's windows on a private X server without a window manager:
// the tray's "Config" with a question open, the colour and file dialogs'
// place and language, website OPEN without a web browser, and the session's
// end in the last moments of a normal exit. With HKT75_SHOT_DIR set, the
// screen with each window is saved there as a picture for a person to look
// at.
#include "ConfigEndToEndFixture.h"

#include "platform/ProcessStart.h"

#include <QRegularExpression>
#include <QThread>

#include <csignal>
#include <iterator>

using hkt::testapp::ConfigEndToEnd;
using hkt::testfixtures::WaitFor;

namespace {

// The window's controls (window coordinates).
constexpr QPoint kCancel(652, 92);
constexpr QPoint kLightTab(314, 92);
constexpr QPoint kInfoTab(434, 92);
constexpr QPoint kColourBox(454, 372);  // LIGHT: CUSTOM LIGHT COLOR
constexpr QPoint kWebsiteOpen(332, 459); // INFO: Website's OPEN
constexpr QPoint kRestore(542, 602);
constexpr QPoint kSaveAs(752, 602);

// The English words of a title (runs of two letters or more).
QStringList EnglishWords(const QString &text)
{
    QStringList words;
    QRegularExpressionMatchIterator it = QRegularExpression(QStringLiteral("[A-Za-z]{2,}")).globalMatch(text);
    while (it.hasNext())
        words.append(it.next().captured());
    return words;
}

} // namespace

// The tray's "Config" while a question of the window is open: the window
// comes forward with its question above it, and the question has the
// keyboard. Raised alone, the window would hide the question and refuse
// every click (no window manager keeps dialogs above their window here).
TEST_F(ConfigEndToEnd, TheTraysConfigKeepsTheOpenQuestionAboveTheWindow)
{
    QProcess &config = StartConfigOnFirstProfile();
    ASSERT_FALSE(HasFailure());
    const QString main = MainWindow();
    ASSERT_FALSE(main.isEmpty());
    ASSERT_TRUE(ClickAt(main, kRestore.x(), kRestore.y()));
    const std::uint32_t question = AwaitNewWindow(1);
    ASSERT_NE(question, 0u) << "RESTORE asked nothing";
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        // What the tray's "Config" does when the window runs.
        ASSERT_EQ(hkt::platform::ShowOrStartProgram(QStringLiteral("THKT75CFGMAIN"), kBin, QStringLiteral("HKT75"),
                                                    Runtime()),
                  hkt::platform::ShowOrStartResult::BroughtForward);
        // The window has come forward (it was put on top at least once) ...
        EXPECT_TRUE(WaitFor([&] { return Shown().size() == 2 && FocusWindow() == question; }, 10000))
            << "the question does not have the keyboard";
        // ... and its question is the top window.
        EXPECT_TRUE(WaitFor([&] { return !Shown().empty() && Shown().back().id == question; }, 10000))
            << "the window hides its own question";
        if (round == 0)
            Shot(QStringLiteral("config-from-the-tray-with-restore-open"));
    }
    // The question still answers: ESCAPE leaves it, the profile untouched.
    ASSERT_TRUE(XDo({QStringLiteral("key"), QStringLiteral("Escape")}));
    EXPECT_TRUE(WaitFor([&] { return Shown().size() == 1; }, 10000));
    EXPECT_EQ(config.state(), QProcess::Running);
}

// Website OPEN where the desktop has no web browser: the window says so.
TEST_F(ConfigEndToEnd, WebsiteOpenWithoutABrowserSaysSo)
{
    // No browser the program could find: none named, none on its PATH.
    const QString empty = m_session.Root() + "/no-programs";
    ASSERT_TRUE(QDir().mkpath(empty));
    const QProcessEnvironment desktop = m_env;
    m_env.remove(QStringLiteral("BROWSER"));
    m_env.remove(QStringLiteral("DEFAULT_BROWSER"));
    m_env.insert(QStringLiteral("PATH"), empty);
    QProcess &config = StartConfigOnFirstProfile();
    m_env = desktop;
    ASSERT_FALSE(HasFailure());
    const QString main = MainWindow();
    ASSERT_FALSE(main.isEmpty());
    ASSERT_TRUE(ClickAt(main, kInfoTab.x(), kInfoTab.y()));
    ASSERT_TRUE(ClickAt(main, kWebsiteOpen.x(), kWebsiteOpen.y()));
    // The suite's own message dialog.
    const std::uint32_t message = AwaitNewWindow(1, QSize(478, 292));
    ASSERT_NE(message, 0u) << "OPEN without a browser said nothing";
    Shot(QStringLiteral("website-open-without-a-browser"));
    ASSERT_TRUE(XDo({QStringLiteral("windowfocus"), QString::number(message)}));
    ASSERT_TRUE(XDo({QStringLiteral("key"), QStringLiteral("Return")}));
    EXPECT_TRUE(WaitFor([&] { return Shown().size() == 1; }, 10000));
    EXPECT_EQ(config.state(), QProcess::Running);
}

using ConfigStandardDialogsEndToEnd = hkt::testapp::ConfigEndToEndInLanguage;

// The colour dialog and SAVE AS open centred on the window, as the key
// dialogs and the macro manager do, with titles in the display language: in
// Chinese no English word, the program's name included.
TEST_P(ConfigStandardDialogsEndToEnd, ColourAndSaveAsOpenCentredInTheDisplayLanguage)
{
    const int language = GetParam();
    const QString tag = LanguageTag();
    const QString main = StartInLanguage();
    ASSERT_FALSE(main.isEmpty());
    QProcess &config = *m_procs.back();
    const QPoint centre = Shown().front().geometry.center();
    const QString title = WindowName(main.toUInt());
    if (language == 0)
        EXPECT_EQ(title, QStringLiteral("GAMING MOUSE CONFIG"));
    else
        EXPECT_EQ(title, QString::fromUtf8("\u6E38\u620F\u9F20\u6807\u8BBE\u7F6E")); // 游戏鼠标设置
    Shot(QStringLiteral("main-") + tag);

    ASSERT_TRUE(ClickAt(main, kLightTab.x(), kLightTab.y()));
    const struct {
        const char *name;
        QPoint control;
        const char *english;
    } dialogs[] = {{"colour", kColourBox, "Select Color"}, {"save-as", kSaveAs, "Save As"}};
    for (const auto &d : dialogs) {
        SCOPED_TRACE(d.name);
        ASSERT_TRUE(ClickAt(main, d.control.x(), d.control.y()));
        const std::uint32_t dialog = AwaitNewWindow(1);
        ASSERT_NE(dialog, 0u) << "no dialog opened";
        QRect at;
        for (const auto &w : Shown())
            if (w.id == dialog)
                at = w.geometry;
        const QPoint off = at.center() - centre;
        EXPECT_LE(std::abs(off.x()) + std::abs(off.y()), 2) << "off the window's centre by " << off.x() << ","
                                                           << off.y();
        const QString name = WindowName(dialog);
        if (language == 0)
            EXPECT_TRUE(name.startsWith(QLatin1String(d.english))) << name.toStdString();
        else
            EXPECT_TRUE(EnglishWords(name).isEmpty()) << name.toStdString();
        Shot(QString::fromLatin1(d.name) + QLatin1Char('-') + tag);
        ASSERT_TRUE(XDo({QStringLiteral("windowfocus"), QString::number(dialog)}));
        ASSERT_TRUE(XDo({QStringLiteral("key"), QStringLiteral("Escape")}));
        ASSERT_TRUE(WaitFor([&] { return Shown().size() == 1; }, 10000));
    }
    EXPECT_EQ(config.state(), QProcess::Running);
}

INSTANTIATE_TEST_SUITE_P(Languages, ConfigStandardDialogsEndToEnd, ::testing::Values(0, 1), hkt::testapp::LanguageName);

// The window has closed and the program is taking its objects down when the
// session ends: it still ends with its own exit code, never killed by the
// signal. The signal lands at a range of moments after the window went;
// every other close answers the close question first.
TEST_F(ConfigEndToEnd, ASignalDuringANormalExitLeavesExitCodeZero)
{
    // Finer where the program's own ending takes its last milliseconds.
    const int delays[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 15, 18, 21, 24, 27, 30};
    QStringList killed;
    for (int round = 0; round < int(std::size(delays)); ++round) {
        const int delayMs = delays[round];
        SCOPED_TRACE(delayMs);
        const bool ask = round % 2 == 1;
        QProcess &config = round == 0 ? StartConfigOnFirstProfile() : Start(kBin + "/HKT75");
        ASSERT_EQ(config.state(), QProcess::Running);
        const QString main = MainWindow();
        ASSERT_FALSE(main.isEmpty());
        QStringList last{QStringLiteral("mousemove"), QStringLiteral("--window"), main,
                         QString::number(kCancel.x()), QString::number(kCancel.y()), QStringLiteral("click"),
                         QStringLiteral("1")};
        if (ask) {
            // An unsaved edit, so CANCEL asks; ENTER answers OK. 1000 Hz,
            // then 125 Hz: never the 500 Hz the mouse itself holds, which
            // the window takes from the mouse as it starts.
            const auto window = hkt::platform::FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime());
            const int rateCode = round % 4 == 1 ? 1 : 8;
            ASSERT_TRUE(hkt::platform::SendWindowMessage(window, WM_REPORT_RATE_CHANGED, rateCode, 0).has_value());
            ASSERT_TRUE(XDo(last));
            ASSERT_TRUE(WaitFor([&] { return Shown().size() == 2; }));
            const QString question = QString::number(Shown().back().id);
            ASSERT_TRUE(XDo({QStringLiteral("windowfocus"), question}));
            last = QStringList{QStringLiteral("key"), QStringLiteral("Return")};
        }
        // The close runs while the test watches the window go.
        const pid_t pid = pid_t(config.processId());
        QProcess close;
        close.setProcessEnvironment(m_env);
        close.start(QStringLiteral("xdotool"), last);
        ASSERT_TRUE(WaitFor([&] { return Shown().empty(); }, 20000, 1));
        QThread::msleep(static_cast<unsigned long>(delayMs));
        ::kill(pid, SIGTERM);
        EXPECT_TRUE(close.waitForFinished(20000));
        ASSERT_TRUE(config.waitForFinished(20000));
        if (config.exitStatus() != QProcess::NormalExit || config.exitCode() != 0)
            killed.append(QStringLiteral("%1 ms: status %2 code %3")
                              .arg(delayMs)
                              .arg(int(config.exitStatus()))
                              .arg(config.exitCode()));
    }
    EXPECT_TRUE(killed.isEmpty()) << killed.join(QStringLiteral("; ")).toStdString();
}
