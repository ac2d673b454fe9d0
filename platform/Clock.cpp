#include "platform/Clock.h"

namespace hkt::platform {

namespace {
std::optional<QDateTime> &Pinned()
{
    static std::optional<QDateTime> value;
    return value;
}
} // namespace

QDateTime CurrentLocalDateTime()
{
    if (Pinned())
        return *Pinned();
    return QDateTime::currentDateTime();
}

void SetFixedLocalTime(std::optional<QDateTime> pinned)
{
    Pinned() = std::move(pinned);
}

} // namespace hkt::platform
