#pragma once
// Tells its owner when a HID device node arrives or goes away, and gives one
// arrival signal shortly after start so that a mouse that was plugged in
// before the program started is treated like one that has just arrived.

#include "platform/HidBackend.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QTimer;

// A notify event: called with the component as the sender.
using TkwHIDNotifyEvent = std::function<void(QObject *Sender)>;

class TkwHIDEvent : public QObject {
    Q_OBJECT
public:
    // Watches the device changes of `backend` (null: the process's current
    // backend). The start-up signals need the owner's event loop to run.
    explicit TkwHIDEvent(QObject *AOwner = nullptr, std::shared_ptr<hkt::platform::HidBackend> backend = nullptr);
    // Stops watching: no event is raised after destruction.
    ~TkwHIDEvent() override;

    // Once per node that arrives, and once about 1500 ms after construction.
    TkwHIDNotifyEvent OnDeviceArrival;
    // Once per node that goes away.
    TkwHIDNotifyEvent OnDeviceRemove;
    // Once when the event loop first runs, and after every arrival or removal
    // (the device tree changed).
    TkwHIDNotifyEvent OnDeviceChange;

    static constexpr int kStartupArrivalDelayMs = 1500;

private:
    void RegisterHIDNotification();
    void TimerToStartMonitorTimer();
    void DeviceChange(const hkt::platform::DeviceChangeEvent &event);
    void Raise(const TkwHIDNotifyEvent &event, const char *name);

    std::unique_ptr<QTimer> FTimerToStartMonitor;
    QString FUsbGuid;
    std::shared_ptr<hkt::platform::HidBackend> m_backend;
    std::unique_ptr<hkt::platform::DeviceChangeSource> m_source;
};
