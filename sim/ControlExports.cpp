// The ksim_* control interface (see ksim.h).
#include "sim/SimWorld.h"
#include "sim/ksim.h"

#include <cerrno>
#include <string>

using kestrum::sim::SimDevice;
using kestrum::sim::World;

namespace {

// Every control call takes the lock and marks the world as configured by the caller, so the
// default world of the environment is never built behind a test's back.
std::unique_lock<std::mutex> control()
{
    World& world = World::instance();
    std::unique_lock<std::mutex> lock(world.mutex());
    world.markConfigured();
    return lock;
}

/// Runs f on the firmware of that programmer under the device's lock alone: the world's lock is
/// let go first, so a control call never holds it while a transfer of the device sleeps.
/// UnknownDevice when there is no such programmer.
template <typename F> int withFirmware(int device, F f)
{
    SimDevice* d = nullptr;
    {
        auto lock = control();
        d = World::instance().device(device);
        if (!d || !d->firmware)
            return -1;
    }
    std::lock_guard<std::mutex> deviceLock(d->lock);
    d->applyPowerLoss();
    return f(*d->firmware);
}

constexpr int UnknownDevice = -1;
constexpr int BadArgument = -2;

} // namespace

extern "C" {

void ksim_reset(void)
{
    auto lock = control();
    World::instance().reset();
    // The buses it pointed to are gone; the next usb_find_busses lists the new world.
    usb_busses = nullptr;
}

int ksim_add_bus(void)
{
    auto lock = control();
    return World::instance().addBus();
}

int ksim_add_device(
    int bus, int vendor_id, int product_id, const char* manufacturer, const char* product, int interface_number)
{
    auto lock = control();
    SimDevice* device = World::instance().addDevice(
        bus, vendor_id, product_id, manufacturer ? manufacturer : "", product ? product : "", interface_number);
    return device ? device->id : UnknownDevice;
}

int ksim_add_programmer(int bus, const char* product)
{
    auto lock = control();
    SimDevice* device = World::instance().addProgrammer(bus, product ? product : "WinUSBComm");
    return device ? device->id : UnknownDevice;
}

int ksim_set_ids(int device, int vendor_id, int product_id)
{
    auto lock = control();
    SimDevice* d = World::instance().device(device);
    if (!d)
        return UnknownDevice;
    d->device.descriptor.idVendor = static_cast<std::uint16_t>(vendor_id);
    d->device.descriptor.idProduct = static_cast<std::uint16_t>(product_id);
    return 0;
}

int ksim_set_string_indexes(int device, int manufacturer_index, int product_index)
{
    auto lock = control();
    SimDevice* d = World::instance().device(device);
    if (!d)
        return UnknownDevice;
    d->device.descriptor.iManufacturer = static_cast<std::uint8_t>(manufacturer_index);
    d->device.descriptor.iProduct = static_cast<std::uint8_t>(product_index);
    return 0;
}

int ksim_set_string(int device, int index, const uint16_t* units, int count)
{
    auto lock = control();
    SimDevice* d = World::instance().device(device);
    if (!d)
        return UnknownDevice;
    if (count < 0 || (count > 0 && !units))
        return BadArgument;
    World::instance().setString(*d, index, std::u16string(units, units + count));
    return 0;
}

int ksim_set_descriptor(int device, int index, const uint8_t* bytes, int length)
{
    auto lock = control();
    SimDevice* d = World::instance().device(device);
    if (!d)
        return UnknownDevice;
    if (length < 0 || (length > 0 && !bytes))
        return BadArgument;
    d->descriptors[index].assign(bytes, bytes + length);
    return 0;
}

int ksim_set_device_fault(int device, int fault, int arg)
{
    auto lock = control();
    SimDevice* d = World::instance().device(device);
    if (!d)
        return UnknownDevice;
    switch (fault) {
    case KSIM_OPEN_FAILS:
        if (arg < 0)
            return BadArgument;
        d->openError = arg == 1 ? EACCES : arg;
        return 0;
    case KSIM_STRING_FAILS:
        d->failingStrings.insert(arg);
        return 0;
    case KSIM_CLAIM_FAILS:
        if (arg < 0)
            return BadArgument;
        d->claimError = arg == 1 ? EBUSY : arg;
        return 0;
    case KSIM_READ_ONLY:
        d->readOnly = arg != 0;
        return 0;
    case KSIM_NO_CONFIG:
        d->noConfig = arg != 0;
        d->device.config = d->noConfig ? nullptr : &d->config;
        d->device.descriptor.bNumConfigurations = d->noConfig ? 0 : 1;
        return 0;
    default:
        return BadArgument;
    }
}

int ksim_unplug(int device)
{
    auto lock = control();
    SimDevice* d = World::instance().device(device);
    if (!d)
        return UnknownDevice;
    World::instance().setPlugged(*d, false);
    return 0;
}

int ksim_plug(int device)
{
    auto lock = control();
    SimDevice* d = World::instance().device(device);
    if (!d)
        return UnknownDevice;
    World::instance().setPlugged(*d, true);
    return 0;
}

int ksim_open_handles(void)
{
    auto lock = control();
    return World::instance().openHandles();
}

void ksim_set_timing(int realistic)
{
    auto lock = control();
    World::instance().setRealistic(realistic != 0);
}

int ksim_arm_fault(int device, int fault, int at_transfer)
{
    auto lock = control();
    SimDevice* d = World::instance().device(device);
    if (!d)
        return UnknownDevice;
    if (fault < KSIM_FAULT_UNPLUG || fault > KSIM_FAULT_NOISE || at_transfer < 1)
        return BadArgument;
    World::instance().armFault(*d, fault, at_transfer);
    return 0;
}

int ksim_insert_chip(int device, int kind, uint32_t size, uint32_t jedec_id)
{
    if (kind < KSIM_CHIP_NONE || kind > KSIM_CHIP_SPI_EEPROM || (kind != KSIM_CHIP_NONE && size == 0))
        return withFirmware(device, [](kestrum::sim::Firmware&) { return BadArgument; });
    return withFirmware(device, [&](kestrum::sim::Firmware& firmware) {
        firmware.insertChip(kind, size, jedec_id);
        return 0;
    });
}

int ksim_set_identify_kind(int device, int kind)
{
    return withFirmware(device, [&](kestrum::sim::Firmware& firmware) {
        if (kind < -1 || kind > 255)
            return BadArgument;
        firmware.chip().identifyKind = kind;
        return 0;
    });
}

uint8_t* ksim_chip_bytes(int device, uint32_t* size)
{
    uint8_t* cells = nullptr;
    if (size)
        *size = 0;
    withFirmware(device, [&](kestrum::sim::Firmware& firmware) {
        if (firmware.chip().cells.empty())
            return 0;
        if (size)
            *size = static_cast<uint32_t>(firmware.chip().cells.size());
        cells = firmware.chip().cells.data();
        return 0;
    });
    return cells;
}

int ksim_set_chip_file(int device, const char* path)
{
    return withFirmware(device, [&](kestrum::sim::Firmware& firmware) {
        firmware.setChipFile(path ? path : "");
        return 0;
    });
}

int ksim_set_erase_polls(int device, int polls)
{
    return withFirmware(device, [&](kestrum::sim::Firmware& firmware) {
        if (polls < -1)
            return BadArgument;
        firmware.setErasePolls(polls);
        return 0;
    });
}

int ksim_get_state(int device, struct ksim_state* out)
{
    return withFirmware(device, [&](kestrum::sim::Firmware& firmware) {
        if (!out)
            return BadArgument;
        *out = firmware.state();
        return 0;
    });
}

void ksim_set_recording(int level)
{
    auto lock = control();
    World::instance().setRecording(level);
}

int ksim_call_count(void)
{
    auto lock = control();
    return World::instance().callCount();
}

int ksim_get_call(int i, struct ksim_call* out)
{
    auto lock = control();
    if (!out)
        return BadArgument;
    return World::instance().call(i, out) ? 0 : BadArgument;
}

void ksim_clear_calls(void)
{
    auto lock = control();
    World::instance().clearCalls();
}

} // extern "C"
