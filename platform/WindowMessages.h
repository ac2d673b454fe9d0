#pragma once
// Window messages between the suite's two programs.
//
// Each program's main window is reachable under its window-class name as a
// Unix-domain stream socket in a private per-user folder. One connection
// carries one fixed-size little-endian frame (and, for a send, its reply).
// The rules the programs rely on are Windows' own:
//  - a message for a window that is not there is lost at once;
//  - a post never waits for the receiver;
//  - a send waits for the reply, and while it waits it answers sends that
//    reach any window of this process (so a send can be answered by a send
//    back, and two crossed sends both finish), but it holds posts until the
//    outermost wait ends;
//  - outside such a wait a window handles what reaches it in arrival order:
//    a send is not handled ahead of the posts that came before it (one
//    sender's "post, then send" arrives as it was meant);
//  - a send gives up after a bounded time instead of freezing its caller.
// Only peers running as the same user are served. Everything here runs on
// the thread that owns the Qt event loop (the main thread).

#include "platform/Paths.h"

#include <QObject>
#include <QString>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class QSocketNotifier;
class QTimer;

namespace hkt::platform {

// ---- frames --------------------------------------------------------------

enum class MessageKind : std::uint32_t { Post = 1, Send = 2, Reply = 3 };

struct MessageFrame {
    MessageKind kind = MessageKind::Post;
    std::uint32_t message = 0;
    std::int64_t wParam = 0;
    std::int64_t lParam = 0;
    std::int64_t result = 0;
};

// Byte layout: 0 magic "HKTM" (u32), 4 kind (u32), 8 message (u32),
// 12 reserved (u32, zero), 16 wParam (i64), 24 lParam (i64), 32 result (i64).
inline constexpr std::size_t kMessageFrameSize = 40;
inline constexpr std::uint32_t kMessageFrameMagic = 0x4D544B48u;

std::array<std::uint8_t, kMessageFrameSize> EncodeMessageFrame(const MessageFrame &frame);
// nullopt for a wrong size, magic, kind or a non-zero reserved field.
std::optional<MessageFrame> DecodeMessageFrame(std::span<const std::uint8_t> bytes);

// ---- where windows live ----------------------------------------------------

// The private folder of the current user's windows and locks, without a
// trailing separator: the per-user RuntimeFolder() of Paths.h, or <root>/hkt75
// when a root is given (tests). Made and checked by MakePrivateFolder; empty
// when refused (a symlink, not a folder, another user's, open to others).
QString MessageFolder(const QString &root = {});
// The same folder with the reason it was refused.
PrivateFolder OpenMessageFolder(const QString &root = {});

// ---- finding, posting and sending ------------------------------------------

// A window found by class name; empty when none is there. Like a Windows
// handle it may go stale: a message to a window that has gone is lost.
struct WindowHandle {
    QString socketPath;
    explicit operator bool() const { return !socketPath.isEmpty(); }
};

inline constexpr std::chrono::milliseconds kDefaultSendTimeout{4000};

// FindWindowW(className, no name): a window answers at that class's socket.
WindowHandle FindWindowByClass(const QString &className, const QString &root = {});

// PostMessageW: true when the frame was handed to the receiver's socket.
// Never waits for the receiver to handle it.
bool PostWindowMessage(const WindowHandle &window, std::uint32_t message, std::int64_t wParam,
                       std::int64_t lParam);

// SendMessageW: the receiver's result, or nullopt when the message was lost
// (no window, refused peer, the receiver went away or did not answer within
// the timeout). Callers wanting Windows' "0 on failure" use value_or(0).
std::optional<std::int64_t> SendWindowMessage(const WindowHandle &window, std::uint32_t message,
                                              std::int64_t wParam, std::int64_t lParam,
                                              std::chrono::milliseconds timeout = kDefaultSendTimeout);

// True while a send of this thread waits for its reply.
bool InsideSendWait();

// SendMessageW without the wait: the frame goes out when the object is made,
// and what comes of it arrives later through the event loop, on the thread
// that made it, never inside the constructor. Nothing of the caller's runs
// nested meanwhile, so its own messages and timers keep being handled.
//  - OnDone runs once: the receiver's result, or nullopt when the message was
//    lost (no window, refused peer, the receiver went away without answering).
//  - OnTimeout runs once when no reply came within the timeout. The send then
//    goes on waiting: the frame is with the receiver, which handles it when
//    it runs again. Destroying the object gives up (neither callback runs after).
class AsyncWindowSend : public QObject {
    Q_OBJECT
public:
    using DoneHandler = std::function<void(std::optional<std::int64_t> result)>;
    using TimeoutHandler = std::function<void()>;

    AsyncWindowSend(const WindowHandle &window, std::uint32_t message, std::int64_t wParam, std::int64_t lParam,
                    DoneHandler onDone, TimeoutHandler onTimeout = {},
                    std::chrono::milliseconds timeout = kDefaultSendTimeout, QObject *parent = nullptr);
    ~AsyncWindowSend() override;

    AsyncWindowSend(const AsyncWindowSend &) = delete;
    AsyncWindowSend &operator=(const AsyncWindowSend &) = delete;

    bool Finished() const { return m_finished; }
    bool TimedOut() const { return m_timedOut; }

private:
    void ReadReply();
    void Finish(std::optional<std::int64_t> result);
    void CloseSocket();

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<QTimer> m_timer;
    std::vector<std::uint8_t> m_reply;
    DoneHandler m_onDone;
    TimeoutHandler m_onTimeout;
    bool m_finished = false;
    bool m_timedOut = false;
};

// ---- a window of this process ------------------------------------------------

class MessageWindow : public QObject {
    Q_OBJECT
public:
    // Returns the message's result (what a send's caller receives; ignored for posts).
    using Handler = std::function<std::int64_t(std::uint32_t message, std::int64_t wParam,
                                               std::int64_t lParam)>;

    explicit MessageWindow(QString className, QString root = {}, QObject *parent = nullptr);
    ~MessageWindow() override;

    MessageWindow(const MessageWindow &) = delete;
    MessageWindow &operator=(const MessageWindow &) = delete;

    // Makes the window findable. The caller holds the class's single-instance
    // lock (SingleInstance), so a socket file left by a killed program is
    // replaced; a socket that still answers is never taken over (false).
    bool Register();
    // Stops answering and removes the socket (also done by the destructor).
    void Unregister();
    bool IsRegistered() const { return m_listenFd >= 0; }

    void SetHandler(Handler handler) { m_handler = std::move(handler); }
    // Posts reach the handler as they arrive, in one order with sends, also
    // while a send of this thread waits (they are not held). For a window
    // whose handler itself puts off what must not run nested: held posts
    // would let a later send overtake them.
    void SetPostsInArrivalOrder(bool on) { m_postsInArrivalOrder = on; }
    const QString &ClassName() const { return m_className; }
    QString SocketPath() const { return m_socketPath; }

    // Used by the send wait: descriptors to watch, and one round of work on
    // whatever is ready. Not for callers outside this unit.
    void AppendPollFds(std::vector<int> &fds) const;
    void Pump();

private:
    struct Connection {
        int fd = -1;
        std::vector<std::uint8_t> buffer;
        std::chrono::steady_clock::time_point deadline;
        std::unique_ptr<QSocketNotifier> notifier;
    };

    void AcceptPending();
    bool ReadInto(Connection &c);
    void CloseConnection(Connection &c);
    void Dispatch(int fd, const MessageFrame &frame);
    void QueuePost(const MessageFrame &frame);
    void FlushHeldPosts();
    void ScheduleFlush();
    void ArmDeadlineTimer();

    QString m_className;
    QString m_root;
    QString m_socketPath;
    int m_listenFd = -1;
    std::unique_ptr<QSocketNotifier> m_listenNotifier;
    std::unique_ptr<QTimer> m_deadlineTimer;
    // Accepted connections in accept order: frames are handled in this order,
    // so posts from one sender keep their order.
    std::deque<std::unique_ptr<Connection>> m_connections;
    std::deque<MessageFrame> m_heldPosts;
    bool m_flushScheduled = false;
    bool m_postsInArrivalOrder = false;
    Handler m_handler;

    friend std::optional<std::int64_t> SendWindowMessage(const WindowHandle &, std::uint32_t, std::int64_t,
                                                         std::int64_t, std::chrono::milliseconds);
};

} // namespace hkt::platform
