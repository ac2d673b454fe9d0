// The real HKT75's windows on a private X server without a window manager:
// the session's end in the last moments of a normal exit.
#include "ConfigEndToEndFixture.h"

#include <QThread>

#include <csignal>
#include <iterator>

using hkt::testapp::ConfigEndToEnd;
using hkt::testfixtures::WaitFor;

namespace {

// The window's controls (window coordinates).
constexpr QPoint kCancel(652, 92);

} // namespace

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
            // An unsaved edit (1000 Hz, then 500 Hz, as the answers store
            // them in turn), so CANCEL asks; ENTER answers OK.
            const auto window = hkt::platform::FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime());
            const int rateCode = round % 4 == 1 ? 1 : 2;
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
