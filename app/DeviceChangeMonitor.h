#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;
struct udev;
struct udev_monitor;

namespace kestrum {

/// Tells the main window when USB devices arrive or leave, from the kernel's udev events,
/// watched by the Qt event loop. Where udev is not available the program runs on without it.
class DeviceChangeMonitor : public QObject
{
    Q_OBJECT
public:
    explicit DeviceChangeMonitor(QObject* parent = nullptr);
    ~DeviceChangeMonitor() override;

    /// Starts watching; false when udev is not available here.
    bool start();
    [[nodiscard]] bool isActive() const { return m_notifier != nullptr; }

Q_SIGNALS:
    /// A USB device was added or removed (any kind of event counts).
    void deviceChanged();

private:
    void readEvents();

    struct udev* m_udev = nullptr;
    struct udev_monitor* m_monitor = nullptr;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace kestrum
