// The session's end caught before the program has an event loop: the signal
// does not end the process, and reaches the watch once the loop runs.
#include "platform/EndSession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <functional>

using hkt::platform::EndSessionWatch;

namespace {

bool RunLoopUntil(const std::function<bool()> &done)
{
    QDeadlineTimer limit(20000);
    while (!done()) {
        if (limit.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

} // namespace

TEST(EndSession, ASignalBeforeTheWatchIsHeldUntilTheLoopRuns)
{
    EndSessionWatch::Catch();
    EXPECT_FALSE(EndSessionWatch::Requested());
    // Start-up: no watch, no loop yet. The process lives on.
    ::raise(SIGTERM);
    EXPECT_TRUE(EndSessionWatch::Requested());

    int ends = 0;
    {
        const EndSessionWatch watch([&ends] { ++ends; });
        EXPECT_TRUE(RunLoopUntil([&] { return ends == 1; }));
        // Each later signal of the three is one more call.
        for (int sig : {SIGINT, SIGHUP}) {
            const int before = ends;
            ::raise(sig);
            EXPECT_TRUE(RunLoopUntil([&] { return ends == before + 1; })) << sig;
        }
    }
    EXPECT_EQ(ends, 3);
    // With the watch gone the signals have their default action again.
    struct sigaction now {};
    ::sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}

// A program that holds the signals until it ends: one that arrives after its
// last watch is gone (the program is already ending by itself) leaves the
// program's own exit code. In a child process, as the hold lasts until exit.
TEST(EndSession, HeldUntilExitASignalAfterTheLastWatchLeavesTheExitCode)
{
    EXPECT_EXIT(
        {
            EndSessionWatch::Catch();
            EndSessionWatch::HoldUntilExit();
            { const EndSessionWatch watch([] {}); }
            for (int sig : {SIGTERM, SIGINT, SIGHUP})
                ::raise(sig);
            std::exit(EndSessionWatch::Requested() ? 7 : 8);
        },
        ::testing::ExitedWithCode(7), "");
}
