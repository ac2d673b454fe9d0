#pragma once
// Runs the Qt event loop until a condition holds. The deadline is a cap so a
// broken build fails instead of hanging, not an expectation about speed.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <functional>

namespace hkt::testfixtures {

inline bool WaitUntil(const std::function<bool()> &done, int capMs = 15000)
{
    QDeadlineTimer deadline(capMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

} // namespace hkt::testfixtures
