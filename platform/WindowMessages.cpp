#include "platform/WindowMessages.h"

#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace hkt::platform {

namespace {

using Clock = std::chrono::steady_clock;

// A sender that connects but is slow to write holds up the frames queued
// behind it (they are handled in accept order) at most this long.
constexpr std::chrono::milliseconds kFrameArrivalLimit{1000};
// A post waits at most this long for room in the receiver's socket.
constexpr std::chrono::milliseconds kPostWriteLimit{1000};
// Room for bursts of posts while the receiver is busy (each post and each
// lookup is one connection until the receiver accepts it).
constexpr int kListenBacklog = SOMAXCONN;

void PutU32(std::uint8_t *p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void PutI64(std::uint8_t *p, std::int64_t value)
{
    const auto v = static_cast<std::uint64_t>(value);
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t GetU32(const std::uint8_t *p)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

std::int64_t GetI64(const std::uint8_t *p)
{
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return static_cast<std::int64_t>(v);
}

class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;
    int Get() const { return m_fd; }
    int Release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void Reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

bool FillAddress(const QString &path, sockaddr_un &addr)
{
    const QByteArray native = QFile::encodeName(path);
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (native.isEmpty() || static_cast<std::size_t>(native.size()) >= sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path, native.constData(), static_cast<std::size_t>(native.size()));
    return true;
}

bool PeerIsSameUser(int fd)
{
    ucred cred{};
    socklen_t len = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || len != sizeof cred)
        return false;
    return cred.uid == ::geteuid();
}

// Connects to a window's socket and checks that a program of this user owns it.
int ConnectToWindow(const QString &path)
{
    sockaddr_un addr;
    if (!FillAddress(path, addr))
        return -1;
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.Get() < 0)
        return -1;
    int rc;
    do {
        rc = ::connect(fd.Get(), reinterpret_cast<const sockaddr *>(&addr), sizeof addr);
    } while (rc != 0 && errno == EINTR);
    // A Unix stream connect either completes at once or fails (EAGAIN when
    // the receiver's backlog is full): either way nothing waits here.
    if (rc != 0 || !PeerIsSameUser(fd.Get()))
        return -1;
    return fd.Release();
}

int RemainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, 1000 * 60));
}

bool WriteAll(int fd, const std::uint8_t *data, std::size_t size, Clock::time_point deadline)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::send(fd, data + done, size - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const int wait = RemainingMs(deadline);
            if (wait <= 0)
                return false;
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, wait) < 0 && errno != EINTR)
                return false;
            continue;
        }
        return false;
    }
    return true;
}

// Windows of this process, in creation order; a send's wait serves them all.
std::vector<QPointer<MessageWindow>> &Windows()
{
    static std::vector<QPointer<MessageWindow>> windows;
    return windows;
}

thread_local int g_sendDepth = 0;

} // namespace

std::array<std::uint8_t, kMessageFrameSize> EncodeMessageFrame(const MessageFrame &frame)
{
    std::array<std::uint8_t, kMessageFrameSize> out{};
    PutU32(out.data() + 0, kMessageFrameMagic);
    PutU32(out.data() + 4, static_cast<std::uint32_t>(frame.kind));
    PutU32(out.data() + 8, frame.message);
    PutU32(out.data() + 12, 0);
    PutI64(out.data() + 16, frame.wParam);
    PutI64(out.data() + 24, frame.lParam);
    PutI64(out.data() + 32, frame.result);
    return out;
}

std::optional<MessageFrame> DecodeMessageFrame(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() != kMessageFrameSize)
        return std::nullopt;
    const std::uint8_t *p = bytes.data();
    if (GetU32(p) != kMessageFrameMagic || GetU32(p + 12) != 0)
        return std::nullopt;
    const std::uint32_t kind = GetU32(p + 4);
    if (kind < 1 || kind > 3)
        return std::nullopt;
    MessageFrame f;
    f.kind = static_cast<MessageKind>(kind);
    f.message = GetU32(p + 8);
    f.wParam = GetI64(p + 16);
    f.lParam = GetI64(p + 24);
    f.result = GetI64(p + 32);
    return f;
}

PrivateFolder OpenMessageFolder(const QString &root)
{
    if (root.isEmpty())
        return OpenRuntimeFolder();
    return MakePrivateFolder(QDir(root).filePath(QStringLiteral("hkt75")), QStringLiteral("window folder"));
}

QString MessageFolder(const QString &root)
{
    const QString folder = OpenMessageFolder(root).path;
    return folder.endsWith(QLatin1Char('/')) ? folder.chopped(1) : folder;
}

WindowHandle FindWindowByClass(const QString &className, const QString &root)
{
    if (className.isEmpty() || className.contains(QLatin1Char('/')))
        return {};
    const QString folder = MessageFolder(root);
    if (folder.isEmpty())
        return {};
    const QString path = QDir(folder).filePath(className);
    UniqueFd fd(ConnectToWindow(path));
    if (fd.Get() < 0)
        return {};
    return WindowHandle{path};
}

bool PostWindowMessage(const WindowHandle &window, std::uint32_t message, std::int64_t wParam,
                       std::int64_t lParam)
{
    if (!window)
        return false;
    UniqueFd fd(ConnectToWindow(window.socketPath));
    if (fd.Get() < 0)
        return false;
    const auto bytes = EncodeMessageFrame({MessageKind::Post, message, wParam, lParam, 0});
    // Once written, the frame sits in the receiver's socket: it survives our
    // close and even our exit, which is what Exit relies on.
    return WriteAll(fd.Get(), bytes.data(), bytes.size(), Clock::now() + kPostWriteLimit);
}

bool InsideSendWait()
{
    return g_sendDepth > 0;
}

std::optional<std::int64_t> SendWindowMessage(const WindowHandle &window, std::uint32_t message,
                                              std::int64_t wParam, std::int64_t lParam,
                                              std::chrono::milliseconds timeout)
{
    if (!window)
        return std::nullopt;
    const Clock::time_point deadline = Clock::now() + timeout;
    UniqueFd fd(ConnectToWindow(window.socketPath));
    if (fd.Get() < 0)
        return std::nullopt;
    const auto bytes = EncodeMessageFrame({MessageKind::Send, message, wParam, lParam, 0});
    if (!WriteAll(fd.Get(), bytes.data(), bytes.size(), deadline))
        return std::nullopt;

    ++g_sendDepth;
    std::optional<std::int64_t> result;
    std::vector<std::uint8_t> reply;
    bool done = false;
    while (!done) {
        const int wait = RemainingMs(deadline);
        if (wait <= 0)
            break;
        std::vector<QPointer<MessageWindow>> windows = Windows();
        std::vector<int> watched{fd.Get()};
        for (const auto &w : windows)
            if (w)
                w->AppendPollFds(watched);
        std::vector<pollfd> pfds;
        pfds.reserve(watched.size());
        for (int f : watched)
            pfds.push_back(pollfd{f, POLLIN, 0});
        // Capped so that a window's slow sender is revisited when its
        // arrival limit passes; only while a send waits.
        const int rc = ::poll(pfds.data(), pfds.size(), std::min(wait, 100));
        if (rc < 0 && errno != EINTR)
            break;
        if (pfds[0].revents != 0) {
            std::uint8_t buf[kMessageFrameSize];
            const ssize_t n = ::recv(fd.Get(), buf, kMessageFrameSize - reply.size(), 0);
            if (n > 0) {
                reply.insert(reply.end(), buf, buf + n);
                if (reply.size() == kMessageFrameSize) {
                    const auto frame = DecodeMessageFrame(reply);
                    if (frame && frame->kind == MessageKind::Reply)
                        result = frame->result;
                    done = true;
                }
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                done = true; // the receiver went away without answering
            }
        }
        for (const auto &w : windows)
            if (w)
                w->Pump();
    }
    --g_sendDepth;
    if (g_sendDepth == 0) {
        for (const auto &w : Windows())
            if (w)
                w->ScheduleFlush();
    }
    return result;
}

// ---- AsyncWindowSend ---------------------------------------------------------

AsyncWindowSend::AsyncWindowSend(const WindowHandle &window, std::uint32_t message, std::int64_t wParam,
                                 std::int64_t lParam, DoneHandler onDone, TimeoutHandler onTimeout,
                                 std::chrono::milliseconds timeout, QObject *parent)
    : QObject(parent), m_onDone(std::move(onDone)), m_onTimeout(std::move(onTimeout))
{
    UniqueFd fd(window ? ConnectToWindow(window.socketPath) : -1);
    const auto bytes = EncodeMessageFrame({MessageKind::Send, message, wParam, lParam, 0});
    // A new connection's buffer takes a whole frame: the write does not wait
    // on the receiver, even one that is stopped.
    if (fd.Get() < 0 || !WriteAll(fd.Get(), bytes.data(), bytes.size(), Clock::now() + kPostWriteLimit)) {
        // Lost, but never reported inside the constructor: the caller is not
        // ready for its callback before it has the object.
        QMetaObject::invokeMethod(this, [this] { Finish(std::nullopt); }, Qt::QueuedConnection);
        return;
    }
    m_fd = fd.Release();
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { ReadReply(); });
    m_timer = std::make_unique<QTimer>();
    m_timer->setSingleShot(true);
    connect(m_timer.get(), &QTimer::timeout, this, [this] {
        if (m_finished)
            return;
        m_timedOut = true;
        if (m_onTimeout)
            m_onTimeout();
    });
    m_timer->start(timeout);
}

AsyncWindowSend::~AsyncWindowSend()
{
    CloseSocket();
}

void AsyncWindowSend::ReadReply()
{
    while (m_fd >= 0 && m_reply.size() < kMessageFrameSize) {
        std::uint8_t buf[kMessageFrameSize];
        const ssize_t n = ::recv(m_fd, buf, kMessageFrameSize - m_reply.size(), 0);
        if (n > 0) {
            m_reply.insert(m_reply.end(), buf, buf + n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        Finish(std::nullopt); // the receiver went away without answering
        return;
    }
    if (m_fd < 0)
        return;
    const auto frame = DecodeMessageFrame(m_reply);
    if (frame && frame->kind == MessageKind::Reply)
        Finish(frame->result);
    else
        Finish(std::nullopt);
}

void AsyncWindowSend::CloseSocket()
{
    // Closed from the notifier's own signal too: it goes later, not now.
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier.release()->deleteLater();
    }
    if (m_timer)
        m_timer->stop();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void AsyncWindowSend::Finish(std::optional<std::int64_t> result)
{
    if (m_finished)
        return;
    m_finished = true;
    CloseSocket();
    // The handler may destroy this object: nothing of it is used after.
    DoneHandler done = std::move(m_onDone);
    if (done)
        done(result);
}

// ---- MessageWindow -----------------------------------------------------------

MessageWindow::MessageWindow(QString className, QString root, QObject *parent)
    : QObject(parent), m_className(std::move(className)), m_root(std::move(root))
{
    Windows().push_back(QPointer<MessageWindow>(this));
}

MessageWindow::~MessageWindow()
{
    Unregister();
    auto &ws = Windows();
    ws.erase(std::remove_if(ws.begin(), ws.end(),
                            [this](const QPointer<MessageWindow> &p) { return p.isNull() || p == this; }),
             ws.end());
}

bool MessageWindow::Register()
{
    if (IsRegistered())
        return true;
    if (m_className.isEmpty() || m_className.contains(QLatin1Char('/')))
        return false;
    const QString folder = MessageFolder(m_root);
    if (folder.isEmpty())
        return false;
    const QString path = QDir(folder).filePath(m_className);
    sockaddr_un addr;
    if (!FillAddress(path, addr))
        return false;
    // A socket that still answers belongs to a running window: never steal it.
    // One that refuses is what a killed program leaves behind.
    {
        UniqueFd probe(ConnectToWindow(path));
        if (probe.Get() >= 0)
            return false;
    }
    ::unlink(addr.sun_path);
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.Get() < 0)
        return false;
    if (::bind(fd.Get(), reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0)
        return false;
    ::chmod(addr.sun_path, 0600);
    if (::listen(fd.Get(), kListenBacklog) != 0) {
        ::unlink(addr.sun_path);
        return false;
    }
    m_listenFd = fd.Release();
    m_socketPath = path;
    m_listenNotifier = std::make_unique<QSocketNotifier>(m_listenFd, QSocketNotifier::Read);
    connect(m_listenNotifier.get(), &QSocketNotifier::activated, this, [this] { Pump(); });
    return true;
}

void MessageWindow::Unregister()
{
    if (m_listenNotifier) {
        m_listenNotifier->setEnabled(false);
        m_listenNotifier.release()->deleteLater();
    }
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        m_listenFd = -1;
        ::unlink(QFile::encodeName(m_socketPath).constData());
    }
    while (!m_connections.empty()) {
        CloseConnection(*m_connections.front());
        m_connections.pop_front();
    }
}

void MessageWindow::AppendPollFds(std::vector<int> &fds) const
{
    if (m_listenFd >= 0)
        fds.push_back(m_listenFd);
    for (const auto &c : m_connections)
        if (c->fd >= 0 && c->buffer.size() < kMessageFrameSize)
            fds.push_back(c->fd);
}

void MessageWindow::AcceptPending()
{
    if (m_listenFd < 0)
        return;
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (!PeerIsSameUser(fd)) {
            ::close(fd);
            continue;
        }
        auto c = std::make_unique<Connection>();
        c->fd = fd;
        c->deadline = Clock::now() + kFrameArrivalLimit;
        c->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(c->notifier.get(), &QSocketNotifier::activated, this, [this] { Pump(); });
        m_connections.push_back(std::move(c));
    }
}

// Reads what has arrived, up to one frame. False when the sender closed or
// failed before a whole frame came.
bool MessageWindow::ReadInto(Connection &c)
{
    while (c.buffer.size() < kMessageFrameSize) {
        std::uint8_t buf[kMessageFrameSize];
        const ssize_t n = ::recv(c.fd, buf, kMessageFrameSize - c.buffer.size(), 0);
        if (n > 0) {
            c.buffer.insert(c.buffer.end(), buf, buf + n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        return false;
    }
    // A whole frame: nothing more is read from this connection, so stop
    // listening to it (a level-triggered notifier would spin otherwise).
    if (c.notifier)
        c.notifier->setEnabled(false);
    return true;
}

void MessageWindow::CloseConnection(Connection &c)
{
    if (c.notifier) {
        c.notifier->setEnabled(false);
        c.notifier.release()->deleteLater();
    }
    if (c.fd >= 0)
        ::close(c.fd);
    c.fd = -1;
}

void MessageWindow::Pump()
{
    AcceptPending();
    for (auto &c : m_connections) {
        if (c->fd >= 0 && c->buffer.size() < kMessageFrameSize && !ReadInto(*c)) {
            CloseConnection(*c); // too short: dropped
        }
    }
    const auto now = Clock::now();
    while (!m_connections.empty()) {
        Connection &head = *m_connections.front();
        const bool complete = head.buffer.size() == kMessageFrameSize;
        if (!complete && head.fd >= 0 && now < head.deadline)
            break;
        // Taken off the queue before its handler runs: a handler may send,
        // and that send's wait pumps this window again.
        std::unique_ptr<Connection> c = std::move(m_connections.front());
        m_connections.pop_front();
        std::optional<MessageFrame> frame;
        if (complete)
            frame = DecodeMessageFrame(c->buffer);
        // Posts that came before a send are handled ahead of it, unless a
        // send of ours waits (they are held until it ends, as senders expect).
        if (frame && frame->kind == MessageKind::Send && !InsideSendWait())
            FlushHeldPosts();
        if (frame && frame->kind != MessageKind::Reply)
            Dispatch(c->fd, *frame);
        CloseConnection(*c);
    }
    ArmDeadlineTimer();
}

void MessageWindow::ArmDeadlineTimer()
{
    if (m_connections.empty())
        return;
    const Connection &head = *m_connections.front();
    if (head.buffer.size() == kMessageFrameSize || head.fd < 0)
        return;
    if (!m_deadlineTimer) {
        m_deadlineTimer = std::make_unique<QTimer>();
        m_deadlineTimer->setSingleShot(true);
        connect(m_deadlineTimer.get(), &QTimer::timeout, this, [this] { Pump(); });
    }
    m_deadlineTimer->start(RemainingMs(head.deadline) + 1);
}

void MessageWindow::Dispatch(int fd, const MessageFrame &frame)
{
    if (frame.kind == MessageKind::Post) {
        if (!m_postsInArrivalOrder) {
            QueuePost(frame);
            return;
        }
        fd = -1; // a post has no reply
    }
    const std::int64_t result = m_handler ? m_handler(frame.message, frame.wParam, frame.lParam) : 0;
    if (fd < 0)
        return;
    const auto bytes = EncodeMessageFrame({MessageKind::Reply, frame.message, frame.wParam, frame.lParam, result});
    // The sender may have given up meanwhile; a failed reply changes nothing here.
    WriteAll(fd, bytes.data(), bytes.size(), Clock::now() + kPostWriteLimit);
}

void MessageWindow::QueuePost(const MessageFrame &frame)
{
    m_heldPosts.push_back(frame);
    ScheduleFlush();
}

void MessageWindow::ScheduleFlush()
{
    if (m_flushScheduled || m_heldPosts.empty())
        return;
    m_flushScheduled = true;
    QMetaObject::invokeMethod(this, [this] { FlushHeldPosts(); }, Qt::QueuedConnection);
}

void MessageWindow::FlushHeldPosts()
{
    m_flushScheduled = false;
    // Posts wait for the outermost send to finish; its end schedules us again.
    while (!m_heldPosts.empty() && !InsideSendWait()) {
        const MessageFrame frame = m_heldPosts.front();
        m_heldPosts.pop_front();
        if (m_handler)
            m_handler(frame.message, frame.wParam, frame.lParam);
    }
}

} // namespace hkt::platform
