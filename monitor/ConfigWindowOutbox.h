#pragma once
// What the monitor hands to the configuration window, in one queue, in the
// order the mouse reported it.
//
// The window keeps the mouse's state in step by applying the reports in the
// mouse's order: a DPI level or polling rate belongs to the profile active
// when it was reported, so it must never reach the window ahead of an
// earlier profile switch, nor behind a later one. So every message for the
// window goes through here, and a message is handed over only once the one
// before it is done: a post when it is written, a send when the window has
// answered it. Sends never wait on the monitor's thread: the answer (or the
// window's silence) comes through the event loop, so the mouse's reports,
// the microphone and the tray go on meanwhile.
//
// While the window has not answered, later messages wait here. A message
// followed directly by another of the same kind (nothing between them) says
// nothing the later one does not: it is dropped, so a window that comes back
// from a long stall gets the mouse's latest switch once, not every switch in
// between, and never out of order with the reports around it.

#include "platform/WindowMessages.h"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

class TConfigWindowOutbox : public QObject {
    Q_OBJECT
public:
    // FindConfigWindow, asked anew for each message.
    using TFindWindow = std::function<hkt::platform::WindowHandle()>;

    struct TItem {
        bool Send = false;
        std::uint32_t Msg = 0;
        std::int64_t WParam = 0;
        std::int64_t LParam = 0;
        bool operator==(const TItem &) const = default;
    };

    // More pending messages than this only come from a window stalled for
    // good while the mouse keeps reporting: the oldest pending one is dropped.
    static constexpr std::size_t kMaxPending = 1024;

    explicit TConfigWindowOutbox(TFindWindow AFindWindow,
                                 std::chrono::milliseconds AAnswerTimeout = hkt::platform::kDefaultSendTimeout,
                                 QObject *AParent = nullptr);
    ~TConfigWindowOutbox() override;

    // PostMessageW, in turn.
    void Post(std::uint32_t Msg, std::int64_t WParam, std::int64_t LParam);
    // SendMessageW, in turn; the result is not needed, only that the window
    // has handled it before what follows is handed over.
    void Send(std::uint32_t Msg, std::int64_t WParam, std::int64_t LParam);

    // Messages not handed over yet, oldest first (without the one in flight).
    const std::deque<TItem> &Pending() const { return FPending; }
    // True while a send waits for the window's answer.
    bool AwaitingAnswer() const { return FInFlight != nullptr; }
    // True when the send in flight has outlived the answer timeout.
    bool WindowSilent() const;

private:
    void Queue(TItem AItem);
    void HandOver();
    void SendDone();

    TFindWindow FFindWindow;
    std::chrono::milliseconds FAnswerTimeout;
    std::deque<TItem> FPending;
    std::unique_ptr<hkt::platform::AsyncWindowSend> FInFlight;
    bool FHandingOver = false;
    // The stall's drop has been said (until a message is handed over again).
    bool FDroppingSaid = false;
};
