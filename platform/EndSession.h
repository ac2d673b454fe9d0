#pragma once
// The session's end as a log-off delivers it: SIGTERM, SIGINT and SIGHUP
// become one call on the main thread (through a close-on-exec self-pipe), so
// a program ends in order, from its event loop, instead of dying mid-write.

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace hkt::platform {

class EndSessionWatch : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; OnEnd runs on the thread of the event loop
    // each time one of the signals arrives.
    explicit EndSessionWatch(std::function<void()> OnEnd, QObject *parent = nullptr);
    ~EndSessionWatch() override;

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void()> m_onEnd;
};

} // namespace hkt::platform
