#include "app/DeviceChangeMonitor.h"

#include <QLoggingCategory>
#include <QSocketNotifier>

#include <libudev.h>

Q_LOGGING_CATEGORY(lcHotplug, "kestrum.hotplug")

namespace kestrum {

DeviceChangeMonitor::DeviceChangeMonitor(QObject* parent)
    : QObject(parent)
{
}

DeviceChangeMonitor::~DeviceChangeMonitor()
{
    delete m_notifier;
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
}

bool DeviceChangeMonitor::start()
{
    if (m_notifier)
        return true;
    m_udev = udev_new();
    if (!m_udev) {
        qCDebug(lcHotplug) << "udev is not available; device changes are not followed";
        return false;
    }
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (!m_monitor || udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "usb", "usb_device") < 0
        || udev_monitor_enable_receiving(m_monitor) < 0) {
        qCDebug(lcHotplug) << "cannot listen to udev events; device changes are not followed";
        if (m_monitor)
            udev_monitor_unref(m_monitor);
        m_monitor = nullptr;
        udev_unref(m_udev);
        m_udev = nullptr;
        return false;
    }
    m_notifier = new QSocketNotifier(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &DeviceChangeMonitor::readEvents);
    return true;
}

void DeviceChangeMonitor::readEvents()
{
    // Drain every queued event; each one is a device change, whatever its kind.
    while (udev_device* device = udev_monitor_receive_device(m_monitor)) {
        qCDebug(lcHotplug) << "usb" << udev_device_get_action(device) << udev_device_get_syspath(device);
        udev_device_unref(device);
        Q_EMIT deviceChanged();
    }
}

} // namespace kestrum
