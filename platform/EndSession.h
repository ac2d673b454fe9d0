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
    // each time one of the signals arrives (also for one that arrived after
    // Catch() and before the watch existed).
    explicit EndSessionWatch(std::function<void()> OnEnd, QObject *parent = nullptr);
    ~EndSessionWatch() override;

    // Takes the signals over from their default action (ending the process
    // at once) before there is an event loop: a program calls it first, so
    // a session ending during its start-up is held until the loop can act on
    // it. The first call installs; later calls do nothing.
    static void Catch();
    // True once one of the signals has arrived since Catch().
    static bool Requested();
    // Keeps the signals caught until the process ends, also once the last
    // watch is gone: a program ending by itself (its event loop has already
    // returned, its objects are going) then still ends with its own exit
    // code instead of the signal's. Call after Catch().
    static void HoldUntilExit();

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void()> m_onEnd;
};

} // namespace hkt::platform
