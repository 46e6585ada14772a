#include "link/ProgrammerList.h"

#include <usb.h>

#include <QDir>
#include <QFile>

#include <cstdlib>

namespace kestrum {

namespace {

/// The first line of a sysfs attribute file, trimmed; empty when it cannot be read.
QByteArray attribute(const QString& folder, const char* name)
{
    QFile file(folder + QLatin1Char('/') + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readLine(64).trimmed();
}

} // namespace

const char* stateName(ProgrammerInfo::State state)
{
    switch (state) {
    case ProgrammerInfo::State::Free:
        return "free";
    case ProgrammerInfo::State::InUse:
        return "in use";
    case ProgrammerInfo::State::NoAccess:
        break;
    }
    return "no access";
}

QString sysfsRoot()
{
    const QByteArray root = qgetenv("KESTRUM_SYSFS_ROOT");
    return root.isEmpty() ? QStringLiteral("/sys") : QString::fromLocal8Bit(root);
}

QByteArray programmerLocation(const struct usb_bus* bus, const struct usb_device* device, const QString& root)
{
    const QByteArray busName(bus->dirname);
    const QByteArray deviceName(device->filename);
    bool busNumeric = false;
    bool deviceNumeric = false;
    const int busNumber = busName.toInt(&busNumeric);
    const int deviceNumber = deviceName.toInt(&deviceNumeric);
    if (busNumeric && deviceNumeric) {
        const QDir devices(root + QStringLiteral("/bus/usb/devices"));
        const QStringList names = devices.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
        for (const QString& name : names) {
            // Device folders are "<bus>-<port>[.<port>...]"; root hubs and interfaces are not.
            if (!name.front().isDigit() || name.contains(QLatin1Char(':')))
                continue;
            const QString folder = devices.filePath(name);
            if (attribute(folder, "busnum").toInt() != busNumber || attribute(folder, "devnum").toInt() != deviceNumber)
                continue;
            bool ok = false;
            const int vendor = attribute(folder, "idVendor").toInt(&ok, 16);
            const int product = attribute(folder, "idProduct").toInt(&ok, 16);
            if (vendor == device->descriptor.idVendor && product == device->descriptor.idProduct)
                return name.toLatin1();
        }
    }
    return busName + ':' + deviceName;
}

} // namespace kestrum
