#include "sim/VMouseControl.h"

#include <QtGlobal>

#include <unistd.h>

namespace hkt::sim {

namespace wire = hkt::platform::simwire;

std::optional<wire::Message> ControlRequest(const QString &socketPath, const wire::Message &request, int timeoutMs)
{
    const int fd = wire::Connect(socketPath);
    if (fd < 0)
        return std::nullopt;
    std::optional<wire::Message> reply;
    if (wire::Send(fd, request)) {
        // Only replies come to a connection that neither opened nor watches.
        reply = wire::Receive(fd, timeoutMs);
    }
    ::close(fd);
    return reply;
}

QString ResolveSocketPath(const QString &given)
{
    if (!given.isEmpty())
        return given;
    const QString hid = qEnvironmentVariable("HKT75_HID").trimmed();
    if (hid.startsWith(QLatin1String("sim:")) && hid.size() > 4)
        return hid.mid(4);
    return wire::DefaultSocketPath();
}

} // namespace hkt::sim
