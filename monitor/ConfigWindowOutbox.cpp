#include "monitor/ConfigWindowOutbox.h"

#include <QLoggingCategory>

using namespace hkt::platform;

namespace {
Q_LOGGING_CATEGORY(lcOutbox, "hkt75.monitor.outbox")
}

TConfigWindowOutbox::TConfigWindowOutbox(TFindWindow AFindWindow, std::chrono::milliseconds AAnswerTimeout,
                                         QObject *AParent)
    : QObject(AParent), FFindWindow(std::move(AFindWindow)), FAnswerTimeout(AAnswerTimeout)
{
}

TConfigWindowOutbox::~TConfigWindowOutbox() = default;

void TConfigWindowOutbox::Post(std::uint32_t Msg, std::int64_t WParam, std::int64_t LParam)
{
    Queue({false, Msg, WParam, LParam});
}

void TConfigWindowOutbox::Send(std::uint32_t Msg, std::int64_t WParam, std::int64_t LParam)
{
    Queue({true, Msg, WParam, LParam});
}

bool TConfigWindowOutbox::WindowSilent() const
{
    return FInFlight && FInFlight->TimedOut();
}

void TConfigWindowOutbox::Queue(TItem AItem)
{
    // Only the last pending message can be superseded: one already handed
    // over is the window's, and one with others behind it keeps its place.
    if (!FPending.empty() && FPending.back().Msg == AItem.Msg && FPending.back().Send == AItem.Send)
        FPending.back() = AItem;
    else
        FPending.push_back(AItem);
    if (FPending.size() > kMaxPending) {
        // Said once per stall: the mouse goes on reporting meanwhile, and a
        // line per report would fill the log.
        if (!FDroppingSaid)
            qCWarning(lcOutbox) << "configuration window stalled: dropping the oldest waiting messages";
        FDroppingSaid = true;
        FPending.pop_front();
    }
    HandOver();
}

void TConfigWindowOutbox::HandOver()
{
    // A lost send reports from the event loop, never from inside the call
    // that made it, so this never runs nested; the flag only guards that.
    if (FHandingOver)
        return;
    FHandingOver = true;
    while (!FInFlight && !FPending.empty()) {
        const TItem item = FPending.front();
        FPending.pop_front();
        FDroppingSaid = false;
        // Found anew each time: a window that has gone loses the message, as
        // a message for an absent window is lost; one that has come gets it.
        const WindowHandle window = FFindWindow ? FFindWindow() : WindowHandle{};
        if (!window)
            continue;
        if (!item.Send) {
            PostWindowMessage(window, item.Msg, item.WParam, item.LParam);
            continue;
        }
        FInFlight = std::make_unique<AsyncWindowSend>(
            window, item.Msg, item.WParam, item.LParam, [this](std::optional<std::int64_t>) { SendDone(); },
            [this, msg = item.Msg] {
                qCWarning(lcOutbox) << "configuration window does not answer message" << msg << "-"
                                    << FPending.size() << "waiting behind it";
            },
            FAnswerTimeout);
    }
    FHandingOver = false;
}

void TConfigWindowOutbox::SendDone()
{
    // Called from the send's own notifier: it is let go later, not now.
    if (FInFlight)
        FInFlight.release()->deleteLater();
    HandOver();
}
