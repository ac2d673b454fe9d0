#include "platform/EndSession.h"

#include <QSocketNotifier>

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace hkt::platform {

namespace {

int g_pipe[2] = {-1, -1};

void OnSignal(int)
{
    const char byte = 1;
    (void)!::write(g_pipe[1], &byte, 1);
}

} // namespace

EndSessionWatch::EndSessionWatch(std::function<void()> OnEnd, QObject *parent)
    : QObject(parent), m_onEnd(std::move(OnEnd))
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char buffer[16];
        while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
        }
        if (m_onEnd)
            m_onEnd();
    });
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
}

EndSessionWatch::~EndSessionWatch()
{
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
}

} // namespace hkt::platform
