#include "sim/SimWorld.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kestrum::sim {

namespace {

constexpr int ProgrammerVendorId = 0x1FC8;
constexpr int ProgrammerProductId = 0x310B;
constexpr const char* ProgrammerManufacturer = "VAZEziz";

std::vector<std::uint8_t> stringDescriptor(const std::u16string& text)
{
    // A descriptor is at most 255 bytes long: the header and 126 characters.
    const size_t units = std::min<size_t>(text.size(), 126);
    std::vector<std::uint8_t> bytes(2 + 2 * units);
    bytes[0] = static_cast<std::uint8_t>(bytes.size());
    bytes[1] = 3;
    for (size_t i = 0; i < units; ++i) {
        bytes[2 + 2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
        bytes[3 + 2 * i] = static_cast<std::uint8_t>(text[i] >> 8);
    }
    return bytes;
}

std::u16string widen(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

} // namespace

World& World::instance()
{
    static World world;
    return world;
}

void World::ensureConfigured()
{
    if (m_configured)
        return;
    m_configured = true;
    configureFromEnvironment();
}

void World::reset()
{
    m_configured = true;
    m_realistic = false;
    m_recording = KSIM_RECORD_CALLS;
    // Handles the program still holds stay valid memory, but no longer belong to the world.
    m_handles.clear();
    m_faults.clear();
    m_stalled.clear();
    m_calls.clear();
    m_devices.clear();
    m_buses.clear();
    m_busHead = nullptr;
    m_lastError.clear();
}

int World::addBus()
{
    auto bus = std::make_unique<SimBus>();
    bus->number = static_cast<int>(m_buses.size()) + 1;
    std::snprintf(bus->bus.dirname, sizeof bus->bus.dirname, "%03d", bus->number);
    bus->bus.location = static_cast<std::uint32_t>(bus->number);
    m_buses.push_back(std::move(bus));
    relink();
    return m_buses.back()->number;
}

SimDevice* World::addDevice(int bus, int vendorId, int productId, const std::string& manufacturer,
    const std::string& product, int interfaceNumber)
{
    if (bus < 1 || bus > static_cast<int>(m_buses.size()))
        return nullptr;
    auto device = std::make_unique<SimDevice>();
    device->id = static_cast<int>(m_devices.size()) + 1;
    device->bus = bus;

    struct usb_device& d = device->device;
    std::snprintf(d.filename, sizeof d.filename, "%03d", device->id);
    d.bus = &m_buses[static_cast<size_t>(bus - 1)]->bus;
    d.devnum = static_cast<std::uint8_t>(device->id);
    d.descriptor.bLength = 18;
    d.descriptor.bDescriptorType = 1;
    d.descriptor.bcdUSB = 0x0200;
    d.descriptor.bMaxPacketSize0 = 64;
    d.descriptor.idVendor = static_cast<std::uint16_t>(vendorId);
    d.descriptor.idProduct = static_cast<std::uint16_t>(productId);
    d.descriptor.iManufacturer = 1;
    d.descriptor.iProduct = 2;
    d.descriptor.bNumConfigurations = 1;

    device->altsetting.bLength = 9;
    device->altsetting.bDescriptorType = 4;
    device->altsetting.bInterfaceNumber = static_cast<std::uint8_t>(interfaceNumber);
    device->altsetting.bInterfaceClass = 0xFF;
    device->interface.altsetting = &device->altsetting;
    device->interface.num_altsetting = 1;
    device->config.bLength = 9;
    device->config.bDescriptorType = 2;
    device->config.bNumInterfaces = 1;
    device->config.bConfigurationValue = 1;
    device->config.interface = &device->interface;
    d.config = &device->config;

    // Index 0 lists the languages: US English only.
    device->descriptors[0] = {4, 3, 0x09, 0x04};
    setString(*device, 1, widen(manufacturer));
    setString(*device, 2, widen(product));

    m_devices.push_back(std::move(device));
    return m_devices.back().get();
}

SimDevice* World::addProgrammer(int bus, const std::string& product)
{
    SimDevice* device = addDevice(bus, ProgrammerVendorId, ProgrammerProductId, ProgrammerManufacturer, product, 0);
    if (device) {
        device->firmware = std::make_unique<Firmware>(product == "WinUSBComm Device");
        device->firmware->setRealistic(m_realistic);
    }
    return device;
}

SimDevice* World::device(int id)
{
    if (id < 1 || id > static_cast<int>(m_devices.size()))
        return nullptr;
    return m_devices[static_cast<size_t>(id - 1)].get();
}

void World::setString(SimDevice& device, int index, const std::u16string& text)
{
    device.descriptors[index] = stringDescriptor(text);
}

void World::relink()
{
    m_busHead = nullptr;
    usb_bus* previousBus = nullptr;
    for (auto& simBus : m_buses) {
        usb_bus& bus = simBus->bus;
        bus.prev = previousBus;
        bus.next = nullptr;
        bus.devices = nullptr;
        if (previousBus)
            previousBus->next = &bus;
        else
            m_busHead = &bus;
        previousBus = &bus;

        struct usb_device* previousDevice = nullptr;
        for (auto& device : m_devices) {
            device->listed = device->plugged && device->bus == simBus->number;
            if (!device->listed)
                continue;
            struct usb_device& d = device->device;
            d.prev = previousDevice;
            d.next = nullptr;
            if (previousDevice)
                previousDevice->next = &d;
            else
                bus.devices = &d;
            previousDevice = &d;
        }
    }
}

usb_dev_handle* World::open(SimDevice& device, int* error)
{
    if (!device.plugged) {
        *error = -ErrNoDevice;
        fail(ErrNoDevice, "No such device");
        return nullptr;
    }
    if (device.openError != 0) {
        *error = device.openError;
        fail(-device.openError, std::strerror(device.openError));
        return nullptr;
    }
    auto* handle = new usb_dev_handle;
    handle->device = device.id;
    handle->readOnly = device.readOnly;
    m_handles.insert(handle);
    return handle;
}

bool World::claimedElsewhere(const usb_dev_handle* handle, int interfaceNumber) const
{
    for (const usb_dev_handle* other : m_handles) {
        if (other != handle && other->device == handle->device && other->claimed
            && other->claimedInterface == interfaceNumber)
            return true;
    }
    return false;
}

void World::close(usb_dev_handle* handle)
{
    m_handles.erase(handle);
    delete handle;
}

int World::fail(int error, const char* text)
{
    m_lastError = text;
    return error;
}

int World::checkTransfer(usb_dev_handle* handle, SimDevice** device)
{
    if (!isHandle(handle))
        return fail(ErrInvalid, "Invalid argument");
    SimDevice* d = this->device(handle->device);
    if (!d || !d->plugged)
        return fail(ErrNoDevice, "No such device");
    if (handle->readOnly)
        return fail(ErrNotPermitted, "Operation not permitted");
    if (!handle->claimed)
        return fail(ErrBusy, "Device or resource busy");
    if (!d->firmware)
        return fail(ErrPipe, "Broken pipe");
    *device = d;
    return 0;
}

int World::nextTransferFault(SimDevice& device, int endpoint)
{
    int fault = 0;
    for (auto it = m_faults.begin(); it != m_faults.end();) {
        if (it->device != device.id) {
            ++it;
            continue;
        }
        if (++it->counted == it->atTransfer) {
            fault = it->kind;
            it = m_faults.erase(it);
            break;
        }
        ++it;
    }
    switch (fault) {
    case KSIM_FAULT_UNPLUG:
        setPlugged(device, false);
        break;
    case KSIM_FAULT_STALL:
        m_stalled.insert({device.id, endpoint});
        break;
    default:
        break;
    }
    return fault;
}

int World::blockedTransfer(SimDevice& device, int endpoint, bool knownEndpoint, int* fault)
{
    *fault = nextTransferFault(device, endpoint);
    if (*fault == KSIM_FAULT_UNPLUG)
        return fail(ErrNoDevice, "No such device");
    if (m_stalled.count({device.id, endpoint}))
        return fail(ErrPipe, "Broken pipe");
    if (*fault == KSIM_FAULT_TIMEOUT)
        return fail(ErrTimedOut, "Connection timed out");
    if (!knownEndpoint)
        return fail(ErrInvalid, "Invalid argument");
    return 0;
}

int World::bulkWrite(std::unique_lock<std::mutex>& lock, usb_dev_handle* handle, int endpoint,
    const std::uint8_t* bytes, int size, int timeout)
{
    SimDevice* device = nullptr;
    const int deviceId = handle && isHandle(handle) ? handle->device : 0;
    int result = checkTransfer(handle, &device);
    bool isCommand = false;
    if (result == 0) {
        int fault = 0;
        const bool knownEndpoint
            = endpoint == device->firmware->writeEndpoint() || endpoint == device->firmware->commandEndpoint();
        result = blockedTransfer(*device, endpoint, knownEndpoint, &fault);
        if (result == 0) {
            const int offered = fault == KSIM_FAULT_SHORT ? size / 2 : size;
            lock.unlock();
            {
                std::lock_guard<std::mutex> deviceLock(device->lock);
                device->applyPowerLoss();
                result = device->firmware->write(endpoint, bytes, offered, &isCommand);
            }
            lock.lock();
            if (result < 0)
                fail(result, "Input/output error");
        }
    }
    if (m_recording != KSIM_RECORD_OFF) {
        CallRecord* r = record(KSIM_CALL_BULK_WRITE, deviceId, endpoint, size, timeout, result);
        if (isCommand || m_recording == KSIM_RECORD_ALL)
            recordBytes(r, bytes, size);
    }
    return result;
}

int World::bulkRead(std::unique_lock<std::mutex>& lock, usb_dev_handle* handle, int endpoint, std::uint8_t* bytes,
    int size, int timeout)
{
    SimDevice* device = nullptr;
    const int deviceId = handle && isHandle(handle) ? handle->device : 0;
    int result = checkTransfer(handle, &device);
    bool isReply = false;
    if (result == 0) {
        int fault = 0;
        result = blockedTransfer(*device, endpoint, endpoint == device->firmware->readEndpoint(), &fault);
        if (result == 0) {
            const int wanted = fault == KSIM_FAULT_SHORT ? size / 2 : size;
            lock.unlock();
            {
                std::lock_guard<std::mutex> deviceLock(device->lock);
                device->applyPowerLoss();
                result = device->firmware->read(endpoint, bytes, wanted, &isReply);
            }
            lock.lock();
            if (fault == KSIM_FAULT_NOISE && result > 0)
                bytes[0] ^= 0x10;
            if (result == ErrTimedOut)
                fail(result, "Connection timed out");
            else if (result < 0)
                fail(result, "Input/output error");
        }
    }
    if (m_recording != KSIM_RECORD_OFF) {
        CallRecord* r = record(KSIM_CALL_BULK_READ, deviceId, endpoint, size, timeout, result);
        if (result > 0 && (isReply || m_recording == KSIM_RECORD_ALL))
            recordBytes(r, bytes, result);
    }
    return result;
}

int World::controlRead(
    usb_dev_handle* handle, int requestType, int request, int value, int index, std::uint8_t* bytes, int size)
{
    if (!isHandle(handle))
        return fail(ErrInvalid, "Invalid argument");
    SimDevice* d = device(handle->device);
    if (!d || !d->plugged)
        return fail(ErrNoDevice, "No such device");
    if (handle->readOnly)
        return fail(ErrNotPermitted, "Operation not permitted");
    // Only GET_DESCRIPTOR for strings is answered; every other request stalls.
    if (requestType != 0x80 || request != 6 || (value >> 8) != 3)
        return fail(ErrPipe, "Broken pipe");
    const int descriptorIndex = value & 0xFF;
    (void)index; // every language gets the same strings
    if (d->failingStrings.count(descriptorIndex))
        return fail(ErrTimedOut, "Connection timed out");
    const auto it = d->descriptors.find(descriptorIndex);
    if (it == d->descriptors.end())
        return fail(ErrPipe, "Broken pipe");
    const int n = std::min(size, static_cast<int>(it->second.size()));
    std::memcpy(bytes, it->second.data(), static_cast<size_t>(n));
    return n;
}

int World::clearHalt(usb_dev_handle* handle, int endpoint)
{
    if (!isHandle(handle))
        return fail(ErrInvalid, "Invalid argument");
    m_stalled.erase({handle->device, endpoint});
    return 0;
}

void World::armFault(SimDevice& device, int fault, int atTransfer)
{
    m_faults.push_back({device.id, fault, atTransfer});
}

void World::setRealistic(bool realistic)
{
    m_realistic = realistic;
    for (auto& device : m_devices) {
        if (device->firmware)
            device->firmware->setRealistic(realistic);
    }
}

void World::setPlugged(SimDevice& device, bool plugged)
{
    if (device.plugged == plugged)
        return;
    device.plugged = plugged;
    // A transfer of another thread may be inside the firmware now: the firmware forgets its job
    // when it is next used, under its own lock.
    device.powerLost = true;
}

CallRecord* World::record(int kind, int device, int endpoint, int length, int timeout, int result)
{
    if (m_recording == KSIM_RECORD_OFF)
        return nullptr;
    CallRecord& r = m_calls.emplace_back();
    r.call.kind = kind;
    r.call.device = device;
    r.call.endpoint = endpoint;
    r.call.length = length;
    r.call.timeout = timeout;
    r.call.result = result;
    return &r;
}

void World::recordBytes(CallRecord* record, const std::uint8_t* bytes, int count)
{
    if (!record || count <= 0)
        return;
    record->bytes.assign(bytes, bytes + count);
    record->call.byte_count = count;
}

bool World::call(int i, ksim_call* out) const
{
    if (i < 0 || i >= static_cast<int>(m_calls.size()))
        return false;
    const CallRecord& r = m_calls[static_cast<size_t>(i)];
    *out = r.call;
    out->bytes = r.bytes.empty() ? nullptr : r.bytes.data();
    return true;
}

namespace {

struct SocketChip
{
    int kind = KSIM_CHIP_SPI_FLASH;
    std::uint32_t size = 8u << 20;
    std::uint32_t jedecId = 0xEF4017;
};

bool parseSize(const std::string& text, std::uint32_t* size)
{
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    std::uint64_t bytes = value;
    if (end && (*end == 'K' || *end == 'k'))
        bytes <<= 10, ++end;
    else if (end && (*end == 'M' || *end == 'm'))
        bytes <<= 20, ++end;
    if (!end || *end != 0 || end == text.c_str() || bytes == 0 || bytes > (64u << 20))
        return false;
    *size = static_cast<std::uint32_t>(bytes);
    return true;
}

/// none | spi25:<size>[:<jedec hex>] | spi25eeprom:<size> | i2c24:<size> | mw93:<size>
bool parseChip(const std::string& text, SocketChip* chip)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t colon; (colon = text.find(':', start)) != std::string::npos; start = colon + 1)
        parts.push_back(text.substr(start, colon - start));
    parts.push_back(text.substr(start));

    const std::string& kind = parts[0];
    if (kind == "none") {
        chip->kind = KSIM_CHIP_NONE;
        return parts.size() == 1;
    }
    if (kind == "spi25")
        chip->kind = KSIM_CHIP_SPI_FLASH;
    else if (kind == "spi25eeprom")
        chip->kind = KSIM_CHIP_SPI_EEPROM;
    else if (kind == "i2c24")
        chip->kind = KSIM_CHIP_I2C_EEPROM;
    else if (kind == "mw93")
        chip->kind = KSIM_CHIP_MW_EEPROM;
    else
        return false;
    if (parts.size() < 2 || !parseSize(parts[1], &chip->size))
        return false;
    chip->jedecId = 0;
    if (parts.size() == 3 && chip->kind == KSIM_CHIP_SPI_FLASH)
        chip->jedecId = static_cast<std::uint32_t>(std::strtoul(parts[2].c_str(), nullptr, 16));
    return parts.size() <= (chip->kind == KSIM_CHIP_SPI_FLASH ? 3u : 2u);
}

} // namespace

namespace {

/// The variable with the suffix _<number>, else the plain one; null when neither is set.
const char* environment(const char* name, int number)
{
    const std::string numbered = std::string(name) + "_" + std::to_string(number);
    if (const char* value = std::getenv(numbered.c_str()); value && *value)
        return value;
    return std::getenv(name);
}

} // namespace

void World::configureFromEnvironment()
{
    const char* timing = std::getenv("KESTRUM_SIM_TIMING");
    m_realistic = timing && std::strcmp(timing, "realistic") == 0;
    // Every programmer on a port of its own of the one bus, numbered from 1.
    int count = 1;
    if (const char* programmers = std::getenv("KESTRUM_SIM_PROGRAMMERS"); programmers && *programmers) {
        char* end = nullptr;
        const long n = std::strtol(programmers, &end, 10);
        if (*end != 0 || n < 1 || n > 64)
            std::fprintf(stderr, "ksim: KESTRUM_SIM_PROGRAMMERS=%s not understood; using 1\n", programmers);
        else
            count = static_cast<int>(n);
    }
    const int bus = addBus();
    for (int number = 1; number <= count; ++number)
        addProgrammerFromEnvironment(bus, number);
}

void World::addProgrammerFromEnvironment(int bus, int number)
{
    const char* product = environment("KESTRUM_SIM_PRODUCT", number);
    const char* chip = environment("KESTRUM_SIM_CHIP", number);
    const char* file = environment("KESTRUM_SIM_CHIP_FILE", number);
    const char* content = environment("KESTRUM_SIM_CONTENT", number);

    SocketChip socketChip;
    if (chip && *chip && !parseChip(chip, &socketChip)) {
        std::fprintf(stderr, "ksim: KESTRUM_SIM_CHIP=%s not understood; using spi25:8M:EF4017\n", chip);
        socketChip = SocketChip {};
    }
    SimDevice* programmer = addProgrammer(bus, product && *product ? product : "WinUSBComm");
    programmer->firmware->insertChip(socketChip.kind, socketChip.size, socketChip.jedecId);
    if (content && std::strcmp(content, "pattern") == 0)
        programmer->firmware->fillPattern();
    if (file && *file)
        programmer->firmware->setChipFile(file);
}

} // namespace kestrum::sim
