#include "platform/SimHidBackend.h"

#include "platform/Paths.h"
#include "platform/SimWire.h"

#include <QFile>
#include <QSocketNotifier>
#include <QStringList>

#include <chrono>
#include <deque>
#include <mutex>

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace hkt::platform {

namespace simwire {

QString DefaultSocketPath()
{
    const QString folder = RuntimeFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("vmouse.sock");
}

int Connect(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (native.isEmpty() || std::size_t(native.size()) >= sizeof addr.sun_path)
        return -1;
    std::memcpy(addr.sun_path, native.constData(), std::size_t(native.size()));
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    // A socket in our private runtime folder is ours, but a named socket can
    // be anywhere: only a daemon of this user is trusted with our commands.
    ucred cred{};
    socklen_t len = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != ::getuid()) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool Send(int fd, const Message &m, bool dontWait)
{
    const QByteArray bytes = Encode(m);
    const int flags = MSG_NOSIGNAL | (dontWait ? MSG_DONTWAIT : 0);
    for (;;) {
        const ssize_t n = ::send(fd, bytes.constData(), std::size_t(bytes.size()), flags);
        if (n < 0 && errno == EINTR)
            continue;
        return n == bytes.size();
    }
}

std::optional<Message> Receive(int fd, int timeoutMs, bool *closed)
{
    if (closed)
        *closed = false;
    pollfd p{fd, POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int wait = timeoutMs;
        if (timeoutMs > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            wait = int(std::max<long long>(0, left.count()));
        }
        const int r = ::poll(&p, 1, wait);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0) {
            if (r < 0 && closed)
                *closed = true;
            return std::nullopt;
        }
        break;
    }
    thread_local std::vector<std::uint8_t> buf(kMaxMessage);
    ssize_t n;
    do
        n = ::recv(fd, buf.data(), buf.size(), MSG_DONTWAIT);
    while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return std::nullopt;
    if (n <= 0) {
        if (closed)
            *closed = true;
        return std::nullopt;
    }
    auto m = Decode(std::span<const std::uint8_t>(buf.data(), std::size_t(n)));
    if (!m && closed)
        *closed = true; // a peer that speaks nonsense is as good as gone
    return m;
}

} // namespace simwire

namespace {

using simwire::Message;
using simwire::Type;

struct Fd {
    int fd = -1;
    explicit Fd(int f = -1) : fd(f) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { reset(); }
    void reset(int f = -1)
    {
        if (fd >= 0)
            ::close(fd);
        fd = f;
    }
};

// Input reports a reader has not taken yet; like a hidraw node's queue, the
// oldest are dropped when a reader falls far behind.
constexpr std::size_t kInputQueueLimit = 64;

class SimHidDevice final : public HidDevice {
public:
    explicit SimHidDevice(int fd) : fd_(fd) {}

    std::uint32_t setFeature(std::span<const std::uint8_t> report) override
    {
        Message req{Type::SetFeature, 0, 0, AsBytes(report)};
        auto r = Request(req, Type::Result);
        return r ? r->status : HidStatus::DeviceNotConnected;
    }

    std::uint32_t getFeature(std::span<std::uint8_t> report, std::size_t &received) override
    {
        received = 0;
        if (report.empty())
            return HidStatus::InvalidParameter;
        Message req{Type::GetFeature, 0, std::uint32_t(report.size()), QByteArray(1, char(report[0]))};
        auto r = Request(req, Type::Feature);
        if (!r)
            return HidStatus::DeviceNotConnected;
        if (r->status != HidStatus::Ok)
            return r->status;
        const std::size_t n = std::min(report.size(), std::size_t(r->body.size()));
        std::memcpy(report.data(), r->body.constData(), n);
        received = n;
        return HidStatus::Ok;
    }

    std::uint32_t write(std::span<const std::uint8_t> report) override
    {
        auto r = Request(Message{Type::Write, 0, 0, AsBytes(report)}, Type::Result);
        return r ? r->status : HidStatus::DeviceNotConnected;
    }

    HidReadResult read(std::span<std::uint8_t> buffer, const HidWake &wake) override
    {
        for (;;) {
            {
                std::lock_guard lock(m_);
                if (!inputs_.empty()) {
                    const QByteArray rep = inputs_.front();
                    inputs_.pop_front();
                    const std::size_t n = std::min(buffer.size(), std::size_t(rep.size()));
                    std::memcpy(buffer.data(), rep.constData(), n);
                    return {HidReadResult::Kind::Report, HidStatus::Ok, n};
                }
                if (gone_)
                    return {HidReadResult::Kind::Gone, HidStatus::DeviceNotConnected, 0};
            }
            pollfd p[2] = {{fd_.fd, POLLIN, 0}, {wake.fd(), POLLIN, 0}};
            const int r = ::poll(p, wake.fd() >= 0 ? 2 : 1, -1);
            if (r < 0) {
                if (errno == EINTR)
                    continue;
                return {HidReadResult::Kind::Error, HidStatus::GenFailure, 0};
            }
            if (wake.fd() >= 0 && (p[1].revents & POLLIN))
                return {HidReadResult::Kind::Woken, HidStatus::OperationAborted, 0};
            // A transfer on another thread may take the message first: read
            // only what is still there, under the lock.
            std::lock_guard lock(m_);
            bool closed = false;
            if (auto m = simwire::Receive(fd_.fd, 0, &closed))
                Keep(*m);
            else if (closed)
                gone_ = true;
        }
    }

private:
    static QByteArray AsBytes(std::span<const std::uint8_t> s)
    {
        return QByteArray(reinterpret_cast<const char *>(s.data()), qsizetype(s.size()));
    }

    // A pushed message: keep input, note the end of the device.
    void Keep(const Message &m)
    {
        if (m.type == Type::Input) {
            if (inputs_.size() >= kInputQueueLimit)
                inputs_.pop_front();
            inputs_.push_back(m.body);
        } else if (m.type == Type::Gone) {
            gone_ = true;
        }
    }

    std::optional<Message> Request(const Message &req, Type replyType)
    {
        std::lock_guard lock(m_);
        if (fd_.fd < 0 || !simwire::Send(fd_.fd, req))
            return std::nullopt;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSimReplyTimeoutMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            bool closed = false;
            auto m = simwire::Receive(fd_.fd, int(left.count()), &closed);
            if (!m) {
                if (closed)
                    gone_ = true;
                if (closed)
                    return std::nullopt;
                continue;
            }
            if (m->type == replyType)
                return m;
            Keep(*m);
        }
        // No answer in time: the connection can no longer pair replies with
        // requests, so it is finished.
        gone_ = true;
        fd_.reset();
        return std::nullopt;
    }

    std::mutex m_;
    Fd fd_;
    std::deque<QByteArray> inputs_;
    bool gone_ = false;
};

// Watches the daemon's plug and unplug on a connection of its own. The
// daemon going away (stopped, killed, restarted) is the mouse going away: its
// interfaces are reported removed and the connection is tried again with
// back-off; once the daemon answers again its interfaces are reported as
// arrivals, so both programs find the mouse as they would a replugged one.
class SimChangeSource final : public RetryingChangeSource {
public:
    explicit SimChangeSource(QString socket) : socket_(std::move(socket)) {}
    ~SimChangeSource() override { notifier_.reset(); }

private:
    bool Watch(bool again) override
    {
        Fd fd(simwire::Connect(socket_));
        if (fd.fd < 0 || !simwire::Send(fd.fd, Message{Type::Watch, 0, 0, {}}) || !Await(fd.fd, Type::Result))
            return false;
        // Asked after Watch: what the answer lists includes every change
        // pushed before it, and every later change follows it.
        if (!simwire::Send(fd.fd, Message{Type::Enumerate, 0, 0, {}}))
            return false;
        const std::optional<Message> list = Await(fd.fd, Type::Interfaces);
        const auto interfaces = list ? simwire::DecodeInterfaces(list->body) : std::nullopt;
        if (!interfaces)
            return false;
        fd_.reset(fd.fd);
        fd.fd = -1;
        notifier_ = std::make_unique<QSocketNotifier>(fd_.fd, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { Drain(); });
        present_.clear();
        for (const HidInterfaceInfo &i : *interfaces)
            present_ << i.path;
        if (again) {
            const QStringList arrived = present_;
            for (const QString &path : arrived)
                Deliver({DeviceChangeEvent::Kind::Arrival, path});
        }
        return true;
    }

    // The reply of one type; pushed changes before it are already part of
    // the state it describes.
    static std::optional<Message> Await(int fd, Type type)
    {
        for (;;) {
            auto r = simwire::Receive(fd, kSimReplyTimeoutMs);
            if (!r || r->type == type)
                return r;
        }
    }

    void Drain()
    {
        for (;;) {
            bool closed = false;
            auto m = simwire::Receive(fd_.fd, 0, &closed);
            if (!m) {
                if (closed)
                    Disconnected();
                return;
            }
            const QString path = QString::fromUtf8(m->body);
            if (m->type == Type::Arrival) {
                if (!present_.contains(path))
                    present_ << path;
                Deliver({DeviceChangeEvent::Kind::Arrival, path});
            } else if (m->type == Type::Removal) {
                present_.removeAll(path);
                Deliver({DeviceChangeEvent::Kind::Removal, path});
            }
        }
    }

    void Disconnected()
    {
        // Called from the notifier's own signal: it is deleted once that
        // signal has returned, and disabled until then.
        notifier_->setEnabled(false);
        notifier_.release()->deleteLater();
        fd_.reset();
        const QStringList gone = present_;
        present_.clear();
        for (const QString &path : gone)
            Deliver({DeviceChangeEvent::Kind::Removal, path});
        Lost();
    }

    QString socket_;
    Fd fd_;
    QStringList present_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

class SimHidBackend final : public HidBackend {
public:
    explicit SimHidBackend(QString socket) : socket_(std::move(socket)) {}

    std::vector<HidInterfaceInfo> enumerate() override
    {
        std::lock_guard lock(m_);
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (control_.fd < 0)
                control_.reset(simwire::Connect(Socket()));
            if (control_.fd < 0)
                return {};
            if (simwire::Send(control_.fd, Message{Type::Enumerate, 0, 0, {}})) {
                auto r = simwire::Receive(control_.fd, kSimReplyTimeoutMs);
                if (r && r->type == Type::Interfaces) {
                    auto ifs = simwire::DecodeInterfaces(r->body);
                    return ifs ? std::move(*ifs) : std::vector<HidInterfaceInfo>{};
                }
            }
            // A daemon restarted since the last call: connect afresh once.
            control_.reset();
        }
        return {};
    }

    HidOpenResult open(const QString &path, int collection) override
    {
        if (collection < 0)
            return {nullptr, HidStatus::InvalidParameter};
        Fd fd(simwire::Connect(Socket()));
        if (fd.fd < 0)
            return {nullptr, HidStatus::DeviceNotConnected};
        if (!simwire::Send(fd.fd, Message{Type::Open, 0, std::uint32_t(collection), path.toUtf8()}))
            return {nullptr, HidStatus::DeviceNotConnected};
        auto r = simwire::Receive(fd.fd, kSimReplyTimeoutMs);
        if (!r || r->type != Type::Result)
            return {nullptr, HidStatus::DeviceNotConnected};
        if (r->status != HidStatus::Ok)
            return {nullptr, r->status};
        const int raw = fd.fd;
        fd.fd = -1;
        return {std::make_unique<SimHidDevice>(raw), HidStatus::Ok};
    }

    std::unique_ptr<DeviceChangeSource> createChangeSource() override
    {
        return std::make_unique<SimChangeSource>(Socket());
    }

private:
    // The default socket is resolved when first needed, so a runtime folder
    // pinned by a test after construction is honoured.
    QString Socket() const { return socket_.isEmpty() ? simwire::DefaultSocketPath() : socket_; }

    QString socket_;
    std::mutex m_;
    Fd control_;
};

} // namespace

std::shared_ptr<HidBackend> MakeSimHidBackend(const QString &socketPath)
{
    return std::make_shared<SimHidBackend>(socketPath);
}

} // namespace hkt::platform
