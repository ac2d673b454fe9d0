#pragma once
// The simulated mouse served on a Unix socket: one VirtualMouse shared by
// every client (both programs and the command line), as one real mouse is
// shared by every process that opens it. Single-threaded: Run() polls the
// listening socket and the clients; Stop() may be called from any thread.
//
// Clients of another user are refused (SO_PEERCRED). A connection that opened
// the vendor interface gets every input report; when the mouse is unplugged
// it gets GONE and its later transfers fail with 1167 even after a replug,
// like a hidraw node that was removed. WATCH connections get ARRIVAL and
// REMOVAL for each interface path.

#include "sim/VirtualMouse.h"

#include "platform/SimWire.h"
#include "platform/SingleInstance.h"

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace hkt::sim {

class VMouseServer {
public:
    explicit VMouseServer(std::shared_ptr<VirtualMouse> mouse = std::make_shared<VirtualMouse>());
    ~VMouseServer();
    VMouseServer(const VMouseServer &) = delete;
    VMouseServer &operator=(const VMouseServer &) = delete;

    // Binds and listens at `socketPath`, holding for the server's life an
    // exclusive lock on `socketPath`.lock (close-on-exec, so a fork keeps it
    // and nothing exec'd does). A stale socket file (no daemon answers on
    // it) is replaced; a live one, or a lock another process holds (a
    // daemon running or being started), is left alone and Listen fails with
    // AnotherRuns() true.
    bool Listen(const QString &socketPath, QString *error = nullptr);
    bool AnotherRuns() const { return anotherRuns_; }
    // Serves until Stop() or a STOP request.
    void Run();
    void Stop();

    VirtualMouse &Mouse() { return *mouse_; }
    QString SocketPath() const { return path_; }
    // The interface paths this server reports ("<socket>/if0", "<socket>/if1").
    QString PathPrefix() const { return path_; }

private:
    struct Client;
    void Accept();
    void Serve(Client &c);
    void Handle(Client &c, const hkt::platform::simwire::Message &m);
    void OnMouseEvent(const MouseEvent &e);
    void Reply(Client &c, hkt::platform::simwire::Type type, std::uint32_t status, QByteArray body = {});

    void Broadcast();
    void CloseListener();

    hkt::platform::SingleInstance lock_; // first: released after everything else
    bool anotherRuns_ = false;
    std::shared_ptr<VirtualMouse> mouse_;
    int listener_ = -1;
    int wakeFd_ = -1; // eventfd: Stop() and mouse events from other threads
    int listenerId_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<std::uint64_t> unplugs_{0}; // a connection opened before the last unplug is stale
    std::mutex eventsM_;
    std::vector<MouseEvent> events_; // collected on any thread, sent by Run()
    QString path_;
    std::vector<hkt::platform::HidInterfaceInfo> interfaces_; // what this mouse enumerates as
    QByteArray encodedInterfaces_;
    std::vector<std::unique_ptr<Client>> clients_;
};

// Renders the mouse's report log as text, one report a line.
QString FormatLog(const std::vector<LogEntry> &log);

} // namespace hkt::sim
