#include "platform/EndSession.h"

#include <QSocketNotifier>

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace hkt::platform {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_requested = 0;
bool g_holdUntilExit = false;

void OnSignal(int)
{
    g_requested = 1;
    const char byte = 1;
    (void)!::write(g_pipe[1], &byte, 1);
}

void SetHandlers(void (*handler)(int))
{
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    for (int sig : kSignals)
        ::sigaction(sig, &sa, nullptr);
}

} // namespace

void EndSessionWatch::Catch()
{
    if (g_pipe[0] >= 0)
        return;
    // Without the pipe there is no way to the loop: the signals keep their
    // default action rather than being swallowed.
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    SetHandlers(OnSignal);
}

bool EndSessionWatch::Requested()
{
    return g_requested != 0;
}

void EndSessionWatch::HoldUntilExit()
{
    // Without the pipe nothing was caught (see Catch()).
    if (g_pipe[0] >= 0)
        g_holdUntilExit = true;
}

EndSessionWatch::EndSessionWatch(std::function<void()> OnEnd, QObject *parent)
    : QObject(parent), m_onEnd(std::move(OnEnd))
{
    Catch();
    if (g_pipe[0] < 0)
        return;
    // A watch made after Catch() has its handlers back even when an earlier
    // watch's end restored the defaults.
    SetHandlers(OnSignal);
    // A byte already in the pipe (a signal during start-up) wakes the
    // notifier at the loop's first round.
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char buffer[16];
        while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
        }
        if (m_onEnd)
            m_onEnd();
    });
}

EndSessionWatch::~EndSessionWatch()
{
    // A signal that arrives now only marks Requested() and fills the pipe,
    // which nothing reads any more: the program's ending goes on.
    if (!g_holdUntilExit)
        SetHandlers(SIG_DFL);
}

} // namespace hkt::platform
