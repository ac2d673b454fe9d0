// hkt75-vmouse: the simulated mouse as a daemon, and its command line.
//
//   hkt75-vmouse [--socket PATH] start [--foreground] [--strict]
//   hkt75-vmouse [--socket PATH] stop | unplug | plug | log | violations
//   hkt75-vmouse [--socket PATH] press N | profile P | dpi L | rate CODE
//   hkt75-vmouse [--socket PATH] dump ADDR LEN | fail-after N [COUNT] | strict on|off
//
// Without --socket the socket is the one HKT75_HID=sim:<socket> names, else
// vmouse.sock in the per-user runtime folder: the one both programs use with
// HKT75_HID=sim.
//
// One daemon per socket: it holds a lock on <socket>.lock for its life.
// "start" ends with 0 once a daemon answers at the socket, whether it started
// it or another "start" (or an earlier one) did.

#include "sim/VMouseControl.h"
#include "sim/VMouseServer.h"
#include "platform/Paths.h"

#include <QDeadlineTimer>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

namespace wire = hkt::platform::simwire;
using wire::Message;
using wire::Type;

int Usage()
{
    std::fprintf(stderr,
                 "usage: hkt75-vmouse [--socket PATH] COMMAND\n"
                 "  start [--foreground] [--strict]  run the simulated mouse\n"
                 "  stop                             end it\n"
                 "  press N                          press and release key N (0-23)\n"
                 "  profile P | dpi L | rate CODE    change profile (0-4), DPI level (0-4), rate code (1,2,4,8) on the mouse\n"
                 "  dump ADDR LEN                    show mouse memory\n"
                 "  unplug | plug                    pull out or put back the mouse\n"
                 "  fail-after N [COUNT]             let N transfers work, then fail COUNT (default 1)\n"
                 "  log | violations                 show the report log / host mistakes (strict mode)\n"
                 "  strict on|off                    record host mistakes\n");
    return 2;
}

bool ParseNumber(const char *s, std::uint32_t &out)
{
    if (!s || !*s)
        return false;
    char *end = nullptr;
    const unsigned long v = std::strtoul(s, &end, 0);
    if (*end != '\0' || v > 0xFFFFFFFFul || s[0] == '-')
        return false;
    out = std::uint32_t(v);
    return true;
}

// Whether a daemon answers at `socket` (a stale socket file refuses).
bool Answers(const QString &socket)
{
    const int probe = hkt::platform::simwire::Connect(socket);
    if (probe < 0)
        return false;
    ::close(probe);
    return true;
}

int AlreadyRunning(const QString &socket)
{
    std::fprintf(stderr, "hkt75-vmouse: already running at %s\n", qUtf8Printable(socket));
    std::printf("%s\n", qUtf8Printable(socket));
    return 0;
}

int Start(const QString &socket, bool foreground, bool strict)
{
    // Starting a mouse that already runs is no error: a run script can
    // always "start" before it launches the programs. Of starters that race,
    // the one that takes the daemon's lock goes on; the others wait until
    // its socket answers (or, should it fail, until one of them takes the
    // lock in turn).
    std::unique_ptr<hkt::sim::VMouseServer> server;
    QDeadlineTimer patience(30000);
    for (;;) {
        if (Answers(socket))
            return AlreadyRunning(socket);
        server = std::make_unique<hkt::sim::VMouseServer>();
        QString error;
        if (server->Listen(socket, &error))
            break;
        if (!server->AnotherRuns()) {
            std::fprintf(stderr, "hkt75-vmouse: %s\n", qUtf8Printable(error));
            return 1;
        }
        if (patience.hasExpired()) {
            std::fprintf(stderr, "hkt75-vmouse: a simulated mouse holds %s.lock but does not answer at %s\n",
                         qUtf8Printable(socket), qUtf8Printable(socket));
            return 1;
        }
        ::usleep(5000);
    }
    server->Mouse().SetStrict(strict);
    if (!foreground) {
        // The socket listens before the parent returns, so a caller can use
        // the mouse as soon as "start" has exited.
        const pid_t pid = ::fork();
        if (pid < 0) {
            std::perror("hkt75-vmouse: fork");
            return 1;
        }
        if (pid > 0) {
            std::printf("%s\n", qUtf8Printable(socket));
            std::fflush(stdout);
            ::_exit(0); // the child owns the socket now; no destructor may remove it
        }
        ::setsid();
        const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::close(null);
        }
    }
    server->Run();
    return 0;
}

int Request(const QString &socket, const Message &m)
{
    auto r = hkt::sim::ControlRequest(socket, m);
    if (!r) {
        std::fprintf(stderr, "hkt75-vmouse: no simulated mouse answers at %s\n", qUtf8Printable(socket));
        return 1;
    }
    switch (r->type) {
    case Type::Text:
        std::fwrite(r->body.constData(), 1, std::size_t(r->body.size()), stdout);
        break;
    case Type::Data:
        for (qsizetype i = 0; i < r->body.size(); i += 16) {
            std::printf("%04X:", unsigned(m.arg + std::uint32_t(i)));
            for (qsizetype j = i; j < std::min(i + 16, r->body.size()); ++j)
                std::printf(" %02X", unsigned(std::uint8_t(r->body[j])));
            std::printf("\n");
        }
        break;
    default:
        break;
    }
    if (r->status != 0) {
        std::fprintf(stderr, "hkt75-vmouse: refused (code %u)\n", r->status);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    QString socket;
    if (args.size() >= 2 && args[0] == "--socket") {
        socket = QString::fromLocal8Bit(args[1].c_str());
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty())
        return Usage();
    socket = hkt::sim::ResolveSocketPath(socket);
    if (socket.isEmpty()) {
        // The default socket's folder was refused (see MakePrivateFolder).
        std::fprintf(stderr, "hkt75-vmouse: %s; give another socket with --socket\n",
                     qUtf8Printable(hkt::platform::OpenRuntimeFolder().problem));
        return 1;
    }
    const std::string cmd = args[0];
    auto num = [&args](std::size_t i, std::uint32_t &v) { return i < args.size() && ParseNumber(args[i].c_str(), v); };

    if (cmd == "start") {
        bool fg = false, strict = false;
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "--foreground")
                fg = true;
            else if (args[i] == "--strict")
                strict = true;
            else
                return Usage();
        }
        return Start(socket, fg, strict);
    }
    struct Simple { const char *name; Type type; };
    static const Simple kNoArg[] = {{"stop", Type::Stop},   {"unplug", Type::Unplug},
                                    {"plug", Type::Plug},   {"log", Type::Log},
                                    {"violations", Type::Violations}};
    for (const Simple &s : kNoArg)
        if (cmd == s.name)
            return args.size() == 1 ? Request(socket, Message{s.type, 0, 0, {}}) : Usage();
    static const Simple kOneArg[] = {{"press", Type::Press}, {"profile", Type::Profile}, {"dpi", Type::Dpi},
                                     {"rate", Type::Rate}};
    for (const Simple &s : kOneArg) {
        std::uint32_t v = 0;
        if (cmd == s.name)
            return args.size() == 2 && num(1, v) ? Request(socket, Message{s.type, 0, v, {}}) : Usage();
    }
    if (cmd == "dump") {
        std::uint32_t addr = 0, len = 0;
        if (args.size() != 3 || !num(1, addr) || !num(2, len))
            return Usage();
        QByteArray body;
        wire::PutU32(body, len);
        return Request(socket, Message{Type::Dump, 0, addr, body});
    }
    if (cmd == "fail-after") {
        std::uint32_t n = 0, count = 1;
        if (args.size() < 2 || args.size() > 3 || !num(1, n) || (args.size() == 3 && !num(2, count)))
            return Usage();
        QByteArray body;
        wire::PutU32(body, count);
        return Request(socket, Message{Type::FailAfter, 0, n, body});
    }
    if (cmd == "strict") {
        if (args.size() != 2 || (args[1] != "on" && args[1] != "off"))
            return Usage();
        return Request(socket, Message{Type::Strict, 0, args[1] == "on" ? 1u : 0u, {}});
    }
    return Usage();
}
