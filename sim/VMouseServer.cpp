#include "sim/VMouseServer.h"

#include "sim/DeviceIdentity.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cstring>

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace hkt::sim {

using hkt::platform::simwire::Message;
using hkt::platform::simwire::Type;
namespace wire = hkt::platform::simwire;

struct VMouseServer::Client {
    int fd = -1;
    bool opened = false;
    bool vendor = false;      // opened the vendor collection: gets input reports
    std::uint64_t openedAt = 0; // unplug count when opened
    bool watching = false;
    ~Client()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

VMouseServer::VMouseServer(std::shared_ptr<VirtualMouse> mouse) : mouse_(std::move(mouse)) {}

VMouseServer::~VMouseServer()
{
    if (listenerId_)
        mouse_->RemoveListener(listenerId_);
    clients_.clear();
    CloseListener();
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
    // The lock goes last (it is the first member): until the socket file is
    // gone no other daemon may bind at its path.
}

void VMouseServer::CloseListener()
{
    if (listener_ < 0)
        return;
    ::close(listener_);
    listener_ = -1;
    // Ours to remove: only the lock holder binds at this path.
    ::unlink(QFile::encodeName(path_).constData());
}

bool VMouseServer::Listen(const QString &socketPath, QString *error)
{
    anotherRuns_ = false;
    auto fail = [this, error](const QString &why) {
        lock_.Release();
        if (error)
            *error = why;
        return false;
    };
    const QByteArray native = QFile::encodeName(socketPath);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (native.isEmpty() || std::size_t(native.size()) >= sizeof addr.sun_path)
        return fail(QStringLiteral("socket path is empty or too long: %1").arg(socketPath));
    std::memcpy(addr.sun_path, native.constData(), std::size_t(native.size()));

    // Only the holder of the lock beside the socket removes a stale socket
    // and binds. Without it two starters could both find the socket stale,
    // and the second would unlink the first one's fresh socket and bind its
    // own, leaving the first daemon running unreachable.
    if (!lock_.AcquireFile(socketPath + QStringLiteral(".lock"))) {
        if (!lock_.Problem().isEmpty())
            return fail(lock_.Problem());
        anotherRuns_ = true;
        return fail(QStringLiteral("a simulated mouse already runs at %1").arg(socketPath));
    }
    struct stat st {};
    if (::lstat(native.constData(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode))
            return fail(QStringLiteral("%1 exists and is not a socket").arg(socketPath));
        const int probe = wire::Connect(socketPath);
        if (probe >= 0) {
            // A daemon that does not take the lock (an older one) serves it.
            ::close(probe);
            anotherRuns_ = true;
            return fail(QStringLiteral("a simulated mouse already runs at %1").arg(socketPath));
        }
        ::unlink(native.constData()); // left behind by a daemon that died
    }
    listener_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listener_ < 0)
        return fail(QStringLiteral("socket: %1").arg(QString::fromLocal8Bit(strerror(errno))));
    const mode_t old = ::umask(0077);
    const int b = ::bind(listener_, reinterpret_cast<const sockaddr *>(&addr), sizeof addr);
    ::umask(old);
    if (b != 0 || ::listen(listener_, 16) != 0) {
        const QString why = QString::fromLocal8Bit(strerror(errno));
        ::close(listener_);
        listener_ = -1;
        return fail(QStringLiteral("cannot listen at %1: %2").arg(socketPath, why));
    }
    path_ = socketPath;
    interfaces_ = SimInterfaces(path_);
    encodedInterfaces_ = wire::EncodeInterfaces(interfaces_);
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    listenerId_ = mouse_->AddListener([this](const MouseEvent &e) { OnMouseEvent(e); });
    return true;
}

void VMouseServer::Stop()
{
    stopping_ = true;
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
}

void VMouseServer::OnMouseEvent(const MouseEvent &e)
{
    if (e.type == MouseEvent::Type::Unplugged)
        ++unplugs_;
    {
        std::lock_guard lock(eventsM_);
        events_.push_back(e);
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void VMouseServer::Broadcast()
{
    std::vector<MouseEvent> events;
    {
        std::lock_guard lock(eventsM_);
        events.swap(events_);
    }
    if (events.empty())
        return;
    const auto &ifs = interfaces_;
    for (const MouseEvent &e : events) {
        for (auto &c : clients_) {
            switch (e.type) {
            case MouseEvent::Type::Input:
                // A reader that does not keep up loses reports, as with a
                // full hidraw queue; it never stalls the mouse.
                if (c->opened && c->vendor && c->openedAt == unplugs_)
                    wire::Send(c->fd, Message{Type::Input, 0, 0, QByteArray(reinterpret_cast<const char *>(e.bytes.data()), qsizetype(e.bytes.size()))}, true);
                break;
            case MouseEvent::Type::Unplugged:
                if (c->opened)
                    wire::Send(c->fd, Message{Type::Gone, kNotConnected, 0, {}}, true);
                [[fallthrough]];
            case MouseEvent::Type::Plugged:
                if (c->watching)
                    for (const auto &i : ifs)
                        wire::Send(c->fd,
                                   Message{e.type == MouseEvent::Type::Plugged ? Type::Arrival : Type::Removal, 0, 0,
                                           i.path.toUtf8()},
                                   true);
                break;
            }
        }
    }
}

void VMouseServer::Run()
{
    while (!stopping_) {
        std::vector<pollfd> fds;
        fds.push_back({listener_, POLLIN, 0});
        fds.push_back({wakeFd_, POLLIN, 0});
        for (auto &c : clients_)
            fds.push_back({c->fd, POLLIN, 0});
        const int r = ::poll(fds.data(), fds.size(), -1);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents & POLLIN) {
            std::uint64_t v;
            [[maybe_unused]] ssize_t n = ::read(wakeFd_, &v, sizeof v);
        }
        // Clients first, in order; those that hung up are dropped after.
        std::vector<Client *> gone;
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            Client *c = clients_[i - 2].get();
            bool closed = false;
            auto m = wire::Receive(c->fd, 0, &closed);
            if (m)
                Handle(*c, *m);
            else if (closed)
                gone.push_back(c);
        }
        std::erase_if(clients_, [&gone](const auto &c) { return std::find(gone.begin(), gone.end(), c.get()) != gone.end(); });
        if (fds[0].revents & POLLIN)
            Accept();
        Broadcast();
    }
}

void VMouseServer::Accept()
{
    for (;;) {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        ucred cred{};
        socklen_t len = sizeof cred;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != ::getuid()) {
            ::close(fd); // another user's process never drives this mouse
            continue;
        }
        auto c = std::make_unique<Client>();
        c->fd = fd;
        clients_.push_back(std::move(c));
    }
}

void VMouseServer::Reply(Client &c, Type type, std::uint32_t status, QByteArray body)
{
    // Replies are small next to the socket buffer; a client that lets its
    // buffer fill loses the reply and times out on its own side.
    wire::Send(c.fd, Message{type, status, 0, std::move(body)}, true);
}

void VMouseServer::Handle(Client &c, const Message &m)
{
    VirtualMouse &mouse = *mouse_;
    auto bodySpan = [&m]() {
        return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t *>(m.body.constData()),
                                             std::size_t(m.body.size()));
    };
    auto result = [&](bool ok) {
        Reply(c, Type::Result, ok ? kOk : (mouse.Plugged() ? kInvalidParameter : kNotConnected));
    };
    const bool stale = c.opened && c.openedAt != unplugs_;
    switch (m.type) {
    case Type::Enumerate:
        Reply(c, Type::Interfaces, kOk,
              mouse.Plugged() ? encodedInterfaces_ : wire::EncodeInterfaces({}));
        break;
    case Type::Open: {
        const QString path = QString::fromUtf8(m.body);
        const auto &ifs = interfaces_;
        int found = -1;
        for (std::size_t i = 0; i < ifs.size(); ++i)
            if (ifs[i].path == path && m.arg < ifs[i].collections.size())
                found = int(i);
        if (!mouse.Plugged() || found < 0) {
            Reply(c, Type::Result, kNotConnected);
            break;
        }
        c.opened = true;
        c.vendor = found == kVendorInterfaceIndex;
        c.openedAt = unplugs_;
        Reply(c, Type::Result, kOk);
        break;
    }
    case Type::SetFeature:
        if (!c.opened || stale)
            Reply(c, Type::Result, kNotConnected);
        else if (!c.vendor)
            Reply(c, Type::Result, kGenFailure); // the pointer interface has no feature reports
        else
            Reply(c, Type::Result, mouse.SetFeature(bodySpan()));
        break;
    case Type::GetFeature: {
        if (!c.opened || stale) {
            Reply(c, Type::Feature, kNotConnected);
            break;
        }
        if (!c.vendor) {
            Reply(c, Type::Feature, kGenFailure);
            break;
        }
        if (m.body.size() != 1 || m.arg == 0 || m.arg > 65536) {
            Reply(c, Type::Feature, kInvalidParameter);
            break;
        }
        std::vector<std::uint8_t> buf(m.arg, 0);
        buf[0] = std::uint8_t(m.body[0]);
        std::size_t got = 0;
        const std::uint32_t st = mouse.GetFeature(buf, &got);
        Reply(c, Type::Feature, st,
              st == kOk ? QByteArray(reinterpret_cast<const char *>(buf.data()), qsizetype(got)) : QByteArray());
        break;
    }
    case Type::Write:
        // The mouse declares no output report.
        Reply(c, Type::Result, (!c.opened || stale) ? kNotConnected : kGenFailure);
        break;
    case Type::Watch:
        c.watching = true;
        Reply(c, Type::Result, kOk);
        break;
    case Type::Press:
        result(mouse.Press(int(m.arg)));
        break;
    case Type::Profile:
        result(mouse.SetProfile(int(m.arg)));
        break;
    case Type::Dpi:
        result(mouse.SetDpiLevel(int(m.arg)));
        break;
    case Type::Rate:
        result(mouse.SetRateCode(int(m.arg)));
        break;
    case Type::Dump: {
        wire::Reader r(bodySpan());
        const std::uint32_t len = std::min<std::uint32_t>(r.u32(), std::uint32_t(kMemorySize));
        const auto bytes = mouse.Dump(m.arg, len);
        Reply(c, Type::Data, r.ok() ? kOk : kInvalidParameter,
              QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size())));
        break;
    }
    case Type::Poke:
        mouse.Poke(m.arg, bodySpan());
        Reply(c, Type::Result, kOk);
        break;
    case Type::Unplug:
        mouse.Unplug();
        Reply(c, Type::Result, kOk);
        break;
    case Type::Plug:
        mouse.Plug();
        Reply(c, Type::Result, kOk);
        break;
    case Type::FailAfter: {
        wire::Reader r(bodySpan());
        const std::uint32_t failing = m.body.size() >= 4 ? r.u32() : 1;
        mouse.FailAfter(m.arg, failing);
        Reply(c, Type::Result, kOk);
        break;
    }
    case Type::Log:
        Reply(c, Type::Text, kOk, FormatLog(mouse.Log()).toUtf8());
        break;
    case Type::Strict:
        mouse.SetStrict(m.arg != 0);
        Reply(c, Type::Result, kOk);
        break;
    case Type::Violations: {
        QString text;
        for (const auto &v : mouse.Violations())
            text += QStringLiteral("%1 %2\n").arg(v.seq).arg(QString::fromStdString(v.what));
        Reply(c, Type::Text, kOk, text.toUtf8().right(qsizetype(wire::kMaxMessage / 2)));
        break;
    }
    case Type::Stop:
        // The socket goes before the answer: a "start" made once "stop" has
        // returned never takes this ending daemon for a running one.
        CloseListener();
        Reply(c, Type::Result, kOk);
        stopping_ = true;
        break;
    default:
        Reply(c, Type::Result, kInvalidParameter);
        break;
    }
}

QString FormatLog(const std::vector<LogEntry> &log)
{
    static const char *const kKinds[] = {"?", "set", "get", "input", "unplug", "plug"};
    QStringList lines;
    for (const LogEntry &e : log) {
        const unsigned k = unsigned(e.kind) < 6 ? unsigned(e.kind) : 0;
        QString line = QStringLiteral("%1 %2").arg(e.seq).arg(QLatin1String(kKinds[k]));
        if (e.kind == LogKind::SetFeature || e.kind == LogKind::GetFeature || e.kind == LogKind::Input) {
            // Reports are mostly zero fill: show up to the last non-zero byte.
            std::size_t last = e.bytes.size();
            while (last > 0 && e.bytes[last - 1] == 0)
                --last;
            line += QStringLiteral(" status=%1 len=%2:").arg(e.status).arg(e.bytes.size());
            for (std::size_t i = 0; i < last; ++i)
                line += QStringLiteral(" %1").arg(e.bytes[i], 2, 16, QLatin1Char('0')).toUpper();
            if (last < e.bytes.size())
                line += QStringLiteral(" +%1x00").arg(e.bytes.size() - last);
        }
        lines << line;
    }
    QString text = lines.join(QLatin1Char('\n'));
    if (!text.isEmpty())
        text += QLatin1Char('\n');
    // Keep the newest lines when the whole log would not fit one message.
    const qsizetype limit = qsizetype(hkt::platform::simwire::kMaxMessage / 2);
    if (text.size() > limit)
        text = text.right(limit);
    return text;
}

} // namespace hkt::sim
