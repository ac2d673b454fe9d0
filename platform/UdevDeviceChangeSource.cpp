#include "platform/UdevDeviceChangeSource.h"

#include <QSocketNotifier>

#include <libudev.h>

#include <cstring>

namespace hkt::platform {

namespace {

struct UdevDeleter {
    void operator()(udev *u) const { udev_unref(u); }
    void operator()(udev_monitor *m) const { udev_monitor_unref(m); }
    void operator()(udev_device *d) const { udev_device_unref(d); }
};

class UdevDeviceChangeSource final : public RetryingChangeSource {
public:
    ~UdevDeviceChangeSource() override
    {
        // The notifier goes before the monitor whose fd it watches.
        m_notifier.reset();
    }

private:
    // Nodes that came while udev could not be watched are found by the
    // owner's own start-up signal or its next arrival; nothing to announce.
    bool Watch(bool) override
    {
        if (m_notifier)
            return true;
        m_monitor.reset();
        m_udev.reset(udev_new());
        if (!m_udev)
            return false;
        m_monitor.reset(udev_monitor_new_from_netlink(m_udev.get(), "udev"));
        if (!m_monitor)
            return false;
        if (udev_monitor_filter_add_match_subsystem_devtype(m_monitor.get(), "hidraw", nullptr) < 0
            || udev_monitor_enable_receiving(m_monitor.get()) < 0)
            return false;
        const int fd = udev_monitor_get_fd(m_monitor.get());
        if (fd < 0)
            return false;
        m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                         [this] { drain(); });
        return true;
    }

    void drain()
    {
        // The monitor's socket is non-blocking: take every queued event.
        while (true) {
            std::unique_ptr<udev_device, UdevDeleter> dev(udev_monitor_receive_device(m_monitor.get()));
            if (!dev)
                return;
            const char *action = udev_device_get_action(dev.get());
            if (!action)
                continue;
            DeviceChangeEvent event;
            if (std::strcmp(action, "add") == 0)
                event.kind = DeviceChangeEvent::Kind::Arrival;
            else if (std::strcmp(action, "remove") == 0)
                event.kind = DeviceChangeEvent::Kind::Removal;
            else
                continue;  // change/bind events don't add or take away a node
            const char *node = udev_device_get_devnode(dev.get());
            event.path = QString::fromLocal8Bit(node ? node : udev_device_get_syspath(dev.get()));
            Deliver(event);
        }
    }

    std::unique_ptr<udev, UdevDeleter> m_udev;
    std::unique_ptr<udev_monitor, UdevDeleter> m_monitor;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace

std::unique_ptr<DeviceChangeSource> MakeUdevDeviceChangeSource()
{
    return std::make_unique<UdevDeviceChangeSource>();
}

} // namespace hkt::platform
