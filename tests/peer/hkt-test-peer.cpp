// A scriptable stand-in for the other program in message-layer and monitor
// tests. It registers a window class, prints every message it handles and
// carries out commands read from standard input.
//
//   hkt-test-peer CLASS [--on MSG=ACTION[,ACTION...]] [--lock]
//   ACTION: send:CLASS:MSG:W:L | post:CLASS:MSG:W:L | sleep:MS | result:VALUE
//           (W or L given as "w" or "l" repeat the incoming message's value)
//   stdin:  send CLASS MSG W L | post CLASS MSG W L | find CLASS | quit
//           take MS (a run of device transfers, waiting up to MS, kept
//           until release) | release
//   stdout: "ready", "recv MSG W L", "result N" / "result lost",
//           "posted 1|0", "found 1|0", "sending", "locked" / "busy",
//           "held" / "not held", "released"
// The handler's result is the last send's result, a "result:" value, or
// w * 10 + l. The window root is $XDG_RUNTIME_DIR, as for the programs.
#include "platform/DeviceTransferLock.h"
#include "platform/SingleInstance.h"
#include "platform/WindowMessages.h"

#include <QCoreApplication>
#include <QHash>
#include <QSocketNotifier>
#include <QStringList>
#include <QThread>

#include <cstdio>
#include <optional>
#include <unistd.h>

using namespace hkt::platform;

namespace {

void Say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

std::int64_t Arg(const QString &text, std::int64_t w, std::int64_t l)
{
    if (text == QLatin1String("w"))
        return w;
    if (text == QLatin1String("l"))
        return l;
    return text.toLongLong();
}

std::optional<DeviceTransferRun> g_run;

void RunCommand(const QStringList &parts)
{
    if (parts.size() == 2 && parts[0] == QLatin1String("take")) {
        g_run.reset();
        g_run.emplace(std::chrono::milliseconds(parts[1].toLongLong()));
        Say(g_run->Held() ? QStringLiteral("held") : QStringLiteral("not held"));
        return;
    }
    if (parts.size() == 1 && parts[0] == QLatin1String("release")) {
        g_run.reset();
        Say(QStringLiteral("released"));
        return;
    }
    if (parts.size() == 5 && (parts[0] == QLatin1String("send") || parts[0] == QLatin1String("post"))) {
        const WindowHandle target = FindWindowByClass(parts[1]);
        const auto msg = parts[2].toUInt();
        const auto w = parts[3].toLongLong();
        const auto l = parts[4].toLongLong();
        if (parts[0] == QLatin1String("post")) {
            Say(QStringLiteral("posted %1").arg(PostWindowMessage(target, msg, w, l) ? 1 : 0));
            return;
        }
        Say(QStringLiteral("sending"));
        const auto r = SendWindowMessage(target, msg, w, l);
        Say(r ? QStringLiteral("result %1").arg(*r) : QStringLiteral("result lost"));
    } else if (parts.size() == 2 && parts[0] == QLatin1String("find")) {
        Say(QStringLiteral("found %1").arg(FindWindowByClass(parts[1]) ? 1 : 0));
    } else if (parts.size() == 1 && parts[0] == QLatin1String("quit")) {
        QCoreApplication::exit(0);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return 2;
    const QString className = args.takeFirst();
    QHash<std::uint32_t, QStringList> reactions;
    bool lockOnly = false;
    while (!args.isEmpty()) {
        const QString opt = args.takeFirst();
        if (opt == QLatin1String("--lock")) {
            lockOnly = true;
        } else if (opt == QLatin1String("--on") && !args.isEmpty()) {
            const QString spec = args.takeFirst();
            const int eq = spec.indexOf(QLatin1Char('='));
            reactions.insert(spec.left(eq).toUInt(), spec.mid(eq + 1).split(QLatin1Char(',')));
        }
    }

    SingleInstance instance;
    if (!instance.Acquire(className)) {
        Say(QStringLiteral("busy"));
        return 1;
    }
    if (lockOnly)
        Say(QStringLiteral("locked"));

    MessageWindow window(className);
    if (!lockOnly) {
        window.SetHandler([&](std::uint32_t msg, std::int64_t w, std::int64_t l) -> std::int64_t {
            Say(QStringLiteral("recv %1 %2 %3").arg(msg).arg(w).arg(l));
            std::int64_t result = w * 10 + l;
            for (const QString &action : reactions.value(msg)) {
                const QStringList a = action.split(QLatin1Char(':'));
                if (a.size() == 5 && a[0] == QLatin1String("send")) {
                    result = SendWindowMessage(FindWindowByClass(a[1]), a[2].toUInt(), Arg(a[3], w, l),
                                               Arg(a[4], w, l))
                                 .value_or(-1);
                } else if (a.size() == 5 && a[0] == QLatin1String("post")) {
                    PostWindowMessage(FindWindowByClass(a[1]), a[2].toUInt(), Arg(a[3], w, l), Arg(a[4], w, l));
                } else if (a.size() == 2 && a[0] == QLatin1String("sleep")) {
                    QThread::msleep(a[1].toULong());
                } else if (a.size() == 2 && a[0] == QLatin1String("result")) {
                    result = a[1].toLongLong();
                }
            }
            return result;
        });
        if (!window.Register()) {
            Say(QStringLiteral("register failed"));
            return 1;
        }
        Say(QStringLiteral("ready"));
    }

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buf[512];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            input.setEnabled(false);
            QCoreApplication::exit(0);
            return;
        }
        pending.append(buf, n);
        int nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pending.left(nl)).trimmed();
            pending.remove(0, nl + 1);
            RunCommand(line.split(QLatin1Char(' '), Qt::SkipEmptyParts));
        }
    });
    return app.exec();
}
