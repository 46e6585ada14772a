#include "link/UsbLink.h"

#include "link/LinkLog.h"

#include <QThread>

#include <mutex>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace kestrum {

namespace {

// Standard GET_DESCRIPTOR request for a string descriptor.
constexpr int RequestTypeDeviceToHost = 0x80;
constexpr int RequestGetDescriptor = 6;
constexpr int StringDescriptorType = 3;

/// libusb 0.1's bus list is one for the process: usb_find_busses and usb_find_devices rebuild it.
std::mutex& busListMutex()
{
    static std::mutex mutex;
    return mutex;
}

void realSleep(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

} // namespace

UsbLink::UsbLink(QObject* owner, QByteArray libraryName)
    : QObject(owner)
    , m_usb(std::move(libraryName))
    , m_sleep(realSleep)
{
    selectEndpoints(0x82, 0x01, 0x02);
}

void UsbLink::setSleepFunction(SleepFunction sleep)
{
    m_sleep = sleep ? std::move(sleep) : SleepFunction(realSleep);
}

void UsbLink::sleepMs(int milliseconds) const
{
    m_sleep(milliseconds);
}

void UsbLink::selectEndpoints(int readEndpoint, int writeEndpoint, int commandEndpoint)
{
    m_readEndpoint = readEndpoint;
    m_writeEndpoint = writeEndpoint;
    m_commandEndpoint = commandEndpoint;
}

QByteArray UsbLink::lastError() const
{
    const char* text = m_usb.usb_strerror();
    return text ? QByteArray(text) : QByteArray("(no error text)");
}

int UsbLink::noteTransfer(int result, int length)
{
    if (result < 0)
        qCWarning(lcLink, "error writing:\n%s", lastError().constData());
    if (result != length)
        m_linkFaulted = true;
    if (result == -ENODEV)
        m_deviceVanished = true;
    return result;
}

UsbLink::OpenFailure UsbLink::failureOf(int error)
{
    switch (std::abs(error)) {
    case EACCES:
    case EPERM:
        return OpenFailure::NoAccess;
    case EBUSY:
        return OpenFailure::Busy;
    case ENODEV:
        return OpenFailure::Absent;
    default:
        return OpenFailure::Other;
    }
}

int UsbLink::open(int vendorId, int productId)
{
    // A handle still open here would otherwise be lost with its claimed interface.
    if (m_deviceHandle)
        close();
    m_linkFaulted = false;
    m_deviceVanished = false;
    m_openProblem = {OpenFailure::Absent, {}};

    const bool found = visitDevices(vendorId, productId, [this](struct usb_device* device, const QByteArray& location) {
        if (!m_location.isEmpty() && location != m_location)
            return true;
        if (!tryDevice(device))
            return true;
        m_openProblem = {};
        m_openedLocation = location;
        return false;
    });
    if (found)
        return 1;
    qCDebug(lcLink, "Could not find USB device \"%s\" with vid=0x%x pid=0x%x", ManufacturerString,
        static_cast<unsigned>(vendorId), static_cast<unsigned>(productId));
    return 0;
}

std::vector<ProgrammerInfo> UsbLink::listProgrammers()
{
    if (m_deviceHandle)
        close();
    std::vector<ProgrammerInfo> programmers;
    visitDevices(ProgrammerVendorId, ProgrammerProductId, [&](struct usb_device* device, const QByteArray& location) {
        m_openProblem = {OpenFailure::Absent, {}};
        ProgrammerInfo info;
        info.location = location;
        if (tryDevice(device)) {
            close();
        } else {
            switch (m_openProblem.failure) {
            case OpenFailure::WrongStrings:
                return true; // another maker's device with the same ids
            case OpenFailure::Busy:
                info.state = ProgrammerInfo::State::InUse;
                break;
            default:
                info.state = ProgrammerInfo::State::NoAccess;
                break;
            }
        }
        info.product = m_triedProduct;
        info.byteOrder = m_triedProduct == ProductWithDevice ? ByteOrder::Little : ByteOrder::Big;
        programmers.push_back(info);
        return true;
    });
    m_openProblem = {};
    return programmers;
}

std::vector<QByteArray> UsbLink::programmerLocations()
{
    std::vector<QByteArray> locations;
    visitDevices(ProgrammerVendorId, ProgrammerProductId, [&](struct usb_device*, const QByteArray& location) {
        locations.push_back(location);
        return true;
    });
    return locations;
}

bool UsbLink::visitDevices(
    int vendorId, int productId, const std::function<bool(struct usb_device*, const QByteArray&)>& visit)
{
    // libusb 0.1 keeps one bus list a process: it is rebuilt and walked under one lock.
    const std::lock_guard<std::mutex> lock(busListMutex());
    m_usb.bind();
    m_usb.usb_find_busses();
    m_usb.usb_find_devices();
    const QString root = sysfsRoot();
    for (struct usb_bus* bus = m_usb.usb_get_busses(); bus; bus = bus->next) {
        for (struct usb_device* device = bus->devices; device; device = device->next) {
            if (device->descriptor.idVendor != vendorId || device->descriptor.idProduct != productId)
                continue;
            if (!visit(device, programmerLocation(bus, device, root)))
                return true;
        }
    }
    return false;
}

bool UsbLink::tryDevice(struct usb_device* device)
{
    m_triedProduct.clear();
    // usb_open reports why it failed in errno only (a device node without write access: EACCES).
    errno = 0;
    m_deviceHandle = m_usb.usb_open(device);
    if (!m_deviceHandle) {
        const int error = errno;
        qCWarning(lcLink, "Warning: cannot open USB device: %s", lastError().constData());
        rejectDevice(error != 0 ? failureOf(error) : OpenFailure::Other, lastError());
        return false;
    }

    // Every other call reports its error as a negated errno; a node opened read-only answers EPERM.
    char text[StringBufferSize];
    int length = readStringAscii(m_deviceHandle, device->descriptor.iManufacturer, StringLanguageId, text, sizeof text);
    if (length < 0) {
        qCWarning(lcLink, "warning: cannot query manufacturer for device: %s", lastError().constData());
        rejectDevice(failureOf(length), lastError());
        return false;
    }
    if (std::strcmp(text, ManufacturerString) != 0) {
        rejectDevice(OpenFailure::WrongStrings, text);
        return false;
    }

    length = readStringAscii(m_deviceHandle, device->descriptor.iProduct, StringLanguageId, text, sizeof text);
    if (length < 0) {
        qCWarning(lcLink, "warning: cannot query product for device: %s", lastError().constData());
        rejectDevice(failureOf(length), lastError());
        return false;
    }

    m_triedProduct = text;
    int readEndpoint = 0;
    int writeEndpoint = 0;
    int commandEndpoint = 0;
    if (std::strcmp(text, ProductWithDevice) == 0) {
        readEndpoint = 0x85;
        writeEndpoint = 0x05;
        commandEndpoint = 0x04;
    } else if (std::strcmp(text, ProductPlain) == 0) {
        readEndpoint = 0x82;
        writeEndpoint = 0x01;
        commandEndpoint = 0x02;
    } else {
        qCDebug(lcLink) << "skipping a device with the product string" << text;
        rejectDevice(OpenFailure::WrongStrings, text);
        return false;
    }

    int interfaceNumber = 0;
    if (!firstInterfaceNumber(device, &interfaceNumber)) {
        qCWarning(lcLink, "warning: the device describes no interface");
        rejectDevice(OpenFailure::Other, "the device describes no interface");
        return false;
    }
    m_interfaceNumber = interfaceNumber;
    if (const int claimed = m_usb.usb_claim_interface(m_deviceHandle, m_interfaceNumber); claimed != 0) {
        qCWarning(lcLink, "error writing:\n%s", lastError().constData());
        rejectDevice(claimed < 0 ? failureOf(claimed) : OpenFailure::Other, lastError());
        return false;
    }
    selectEndpoints(readEndpoint, writeEndpoint, commandEndpoint);
    return true;
}

bool UsbLink::firstInterfaceNumber(const struct usb_device* device, int* number)
{
    if (device->descriptor.bNumConfigurations == 0 || !device->config)
        return false;
    const usb_config_descriptor& config = device->config[0];
    if (config.bNumInterfaces == 0 || !config.interface)
        return false;
    const usb_interface& interface = config.interface[0];
    if (interface.num_altsetting <= 0 || !interface.altsetting)
        return false;
    *number = interface.altsetting[0].bInterfaceNumber;
    return true;
}

void UsbLink::rejectDevice()
{
    if (m_deviceHandle)
        m_usb.usb_close(m_deviceHandle);
    m_deviceHandle = nullptr;
}

void UsbLink::rejectDevice(OpenFailure failure, const QByteArray& detail)
{
    rejectDevice();
    if (m_openProblem.failure == OpenFailure::Absent && failure != OpenFailure::Absent)
        m_openProblem = {failure, detail};
}

int UsbLink::readStringAscii(usb_dev_handle* handle, int index, int languageId, char* destination, int destinationSize)
{
    unsigned char reply[StringBufferSize] = {};
    const int received = m_usb.usb_control_msg(handle, RequestTypeDeviceToHost, RequestGetDescriptor,
        (StringDescriptorType << 8) + index, languageId, reinterpret_cast<char*>(reply), sizeof reply, StringTimeoutMs);
    if (received < 0)
        return received;
    if (destinationSize <= 0)
        return 0;
    // Bytes not received stay zero, so a reply shorter than the header is no string descriptor.
    if (reply[1] != StringDescriptorType) {
        destination[0] = 0;
        return 0;
    }
    int n = received;
    if (reply[0] < n)
        n = reply[0];
    const int units = n / 2; // the first unit is the header

    int stored = 0;
    for (int i = 1; i < units && stored < destinationSize - 1; ++i) {
        const unsigned char low = reply[2 * i];
        const unsigned char high = reply[2 * i + 1];
        destination[stored++] = high != 0 ? '?' : static_cast<char>(low);
    }
    destination[stored] = 0;
    return stored;
}

int UsbLink::sendCommand(quint8* block, int length, bool readReply, int* commandWritten, int timeoutMs)
{
    if (!m_deviceHandle) {
        if (commandWritten)
            *commandWritten = NotOpen;
        if (readReply)
            m_sleep(ReplyPauseMs);
        return NotOpen;
    }
    const int written = noteTransfer(m_usb.usb_bulk_write(m_deviceHandle, m_commandEndpoint,
                                         reinterpret_cast<const char*>(block), length, timeoutMs),
        length);
    if (commandWritten)
        *commandWritten = written;
    // A command that did not go out whole gets no answer: reading one would only wait out the
    // time-out a second time.
    if (!readReply || written != length)
        return written;

    // The programmer needs a moment to prepare its answer.
    m_sleep(ReplyPauseMs);
    if (!m_deviceHandle)
        return NotOpen;
    return noteTransfer(
        m_usb.usb_bulk_read(m_deviceHandle, m_readEndpoint, reinterpret_cast<char*>(block), length, timeoutMs), length);
}

int UsbLink::writeData(const quint8* data, int length)
{
    if (!m_deviceHandle)
        return NotOpen;
    return noteTransfer(m_usb.usb_bulk_write(m_deviceHandle, m_writeEndpoint, reinterpret_cast<const char*>(data),
                            length, BulkTimeoutMs),
        length);
}

int UsbLink::readData(quint8* data, int length)
{
    if (!m_deviceHandle)
        return NotOpen;
    return noteTransfer(
        m_usb.usb_bulk_read(m_deviceHandle, m_readEndpoint, reinterpret_cast<char*>(data), length, BulkTimeoutMs),
        length);
}

void UsbLink::close()
{
    if (!m_deviceHandle)
        return;
    if (m_usb.usb_release_interface(m_deviceHandle, m_interfaceNumber) != 0)
        qCWarning(lcLink, "error writing:\n%s", lastError().constData());
    m_usb.usb_close(m_deviceHandle);
    m_deviceHandle = nullptr;
    m_linkFaulted = false;
}

int UsbLink::controlTransfer(quint8 direction, quint8 request, const quint8* setup, quint8* data, int size)
{
    if (!m_deviceHandle)
        return -1;
    const int requestType = (direction << 7) | 0x40;
    const int value = setup[0] + 256 * setup[1];
    const int index = setup[2] + 256 * setup[3];
    const int result = m_usb.usb_control_msg(
        m_deviceHandle, requestType, request, value, index, reinterpret_cast<char*>(data), size, ControlTimeoutMs);
    return result < 0 ? -1 : result;
}

} // namespace kestrum
