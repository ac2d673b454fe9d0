#include "core/kwHIDEvent.h"

#include <QMetaObject>
#include <QTimer>

#include <exception>

using namespace hkt::platform;

TkwHIDEvent::TkwHIDEvent(QObject *AOwner, std::shared_ptr<HidBackend> backend)
    : QObject(AOwner), m_backend(backend ? std::move(backend) : CurrentHidBackend())
{
    if (FUsbGuid.isEmpty())
        FUsbGuid = QStringLiteral("{4d1e55b2-f16f-11cf-88cb-001111000030}");
    RegisterHIDNotification();
    FTimerToStartMonitor = std::make_unique<QTimer>();
    FTimerToStartMonitor->setInterval(kStartupArrivalDelayMs);
    connect(FTimerToStartMonitor.get(), &QTimer::timeout, this, [this] { TimerToStartMonitorTimer(); });
    FTimerToStartMonitor->start();
}

TkwHIDEvent::~TkwHIDEvent()
{
    m_source.reset();
    FTimerToStartMonitor.reset();
}

void TkwHIDEvent::RegisterHIDNotification()
{
    // A source that can't watch yet (the simulated mouse's daemon not
    // started, udev not reachable) is kept: it keeps trying on its own and
    // reports the devices it finds later as arrivals. Until then only the
    // start-up signals come.
    m_source = m_backend->createChangeSource();
    if (m_source)
        m_source->start([this](const DeviceChangeEvent &e) { DeviceChange(e); });
    // The first run of the owner's event loop sees one device-tree change.
    QMetaObject::invokeMethod(this, [this] { Raise(OnDeviceChange, "OnDeviceChange"); }, Qt::QueuedConnection);
}

void TkwHIDEvent::TimerToStartMonitorTimer()
{
    FTimerToStartMonitor->stop();
    Raise(OnDeviceArrival, "OnDeviceArrival");
}

void TkwHIDEvent::DeviceChange(const DeviceChangeEvent &event)
{
    switch (event.kind) {
    case DeviceChangeEvent::Kind::Arrival: Raise(OnDeviceArrival, "OnDeviceArrival"); break;
    case DeviceChangeEvent::Kind::Removal: Raise(OnDeviceRemove, "OnDeviceRemove"); break;
    }
    Raise(OnDeviceChange, "OnDeviceChange");
}

// A handler's exception is reported and ends there: the change counts as
// handled and later changes still arrive.
void TkwHIDEvent::Raise(const TkwHIDNotifyEvent &event, const char *name)
{
    if (!event)
        return;
    try {
        event(this);
    } catch (const std::exception &e) {
        qWarning("hkt75: %s handler failed: %s", name, e.what());
    } catch (...) {
        qWarning("hkt75: %s handler failed", name);
    }
}
