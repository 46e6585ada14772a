#pragma once

// Several programmers on one computer: what names each of them, and the list of them.

#include "link/CommandBlock.h"

#include <QByteArray>
#include <QString>

struct usb_bus;
struct usb_device;

namespace kestrum {

/// One attached programmer as the list shows it.
struct ProgrammerInfo
{
    enum class State {
        Free, ///< it can be opened and its interface claimed now
        InUse, ///< another program (or another part of this one) holds its interface
        NoAccess, ///< the device node may not be opened (no udev rule), or it does not answer
    };
    /// Where it is plugged in: the USB bus and port path ("1-1.4") from sysfs, which stays the same
    /// when it is plugged out and in again on that port; else "<bus>:<device>" as libusb 0.1 names
    /// them ("001:007"), which changes with every plug.
    QByteArray location;
    QByteArray product; ///< its product string; empty when it could not be read
    ByteOrder byteOrder = ByteOrder::Big; ///< of the command fields, chosen by the product string
    State state = State::Free;

    bool operator==(const ProgrammerInfo&) const = default;
};

/// "free", "in use" or "no access".
const char* stateName(ProgrammerInfo::State state);

/// The sysfs root the locations are read from: $KESTRUM_SYSFS_ROOT when set (tests put a made-up
/// device tree there), else /sys.
QString sysfsRoot();

/// The location of a device that libusb 0.1 lists on that bus. libusb 0.1 names a device by its
/// bus folder ("001") and file name ("007") only; the device folder under <root>/bus/usb/devices
/// whose busnum and devnum are those numbers, and whose vendor and product ids are the device's,
/// gives the port path. Root hubs ("usb1") and interfaces ("1-1:1.0") are never taken.
QByteArray programmerLocation(const struct usb_bus* bus, const struct usb_device* device, const QString& root);

} // namespace kestrum
