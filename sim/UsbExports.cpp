// The libusb 0.1 C API of the simulated programmer.
//
// The entry points of the Linux library are all here. The Windows additions (usb_reset_ex, the
// *_np service calls, usb_get_version and the asynchronous calls) and the interrupt transfers are
// left out on purpose: the programmer has no interrupt endpoints, and the program must cope with
// entry points that a library does not export.
#include "sim/SimWorld.h"

#include <usb.h>

#include <cerrno>
#include <cstring>

using kestrum::sim::World;

namespace {

std::unique_lock<std::mutex> enter()
{
    World& world = World::instance();
    std::unique_lock<std::mutex> lock(world.mutex());
    world.ensureConfigured();
    return lock;
}

int deviceOf(usb_dev_handle* handle)
{
    return handle && World::instance().isHandle(handle) ? handle->device : 0;
}

} // namespace

// usb.h declares the bus list head outside its extern "C" block; a variable's name is not mangled
// either way.
struct usb_bus* usb_busses = nullptr;

extern "C" {

void usb_init(void)
{
    auto lock = enter();
    World::instance().record(KSIM_CALL_INIT, 0, 0, 0, 0, 0);
}

void usb_set_debug(int level)
{
    (void)level;
}

int usb_find_busses(void)
{
    auto lock = enter();
    World& world = World::instance();
    world.relink();
    usb_busses = world.busList();
    world.record(KSIM_CALL_FIND_BUSSES, 0, 0, 0, 0, 0);
    return 0;
}

int usb_find_devices(void)
{
    auto lock = enter();
    World& world = World::instance();
    world.relink();
    usb_busses = world.busList();
    world.record(KSIM_CALL_FIND_DEVICES, 0, 0, 0, 0, 0);
    return 0;
}

struct usb_bus* usb_get_busses(void)
{
    auto lock = enter();
    World& world = World::instance();
    world.record(KSIM_CALL_GET_BUSSES, 0, 0, 0, 0, 0);
    return usb_busses;
}

usb_dev_handle* usb_open(struct usb_device* dev)
{
    auto lock = enter();
    World& world = World::instance();
    // Find the simulated device behind the descriptor the program holds.
    kestrum::sim::SimDevice* device = nullptr;
    for (int id = 1; world.device(id); ++id) {
        if (&world.device(id)->device == dev) {
            device = world.device(id);
            break;
        }
    }
    int error = ENODEV;
    usb_dev_handle* handle = device ? world.open(*device, &error) : nullptr;
    if (!device)
        world.fail(kestrum::sim::ErrNoDevice, "No such device");
    world.record(KSIM_CALL_OPEN, device ? device->id : 0, 0, 0, 0, handle ? 1 : 0);
    // A failed open says why in errno only.
    if (!handle)
        errno = error;
    return handle;
}

int usb_close(usb_dev_handle* dev)
{
    auto lock = enter();
    World& world = World::instance();
    const int device = deviceOf(dev);
    int result = 0;
    if (world.isHandle(dev))
        world.close(dev);
    else
        result = world.fail(kestrum::sim::ErrInvalid, "Invalid argument");
    world.record(KSIM_CALL_CLOSE, device, 0, 0, 0, result);
    return result;
}

struct usb_device* usb_device(usb_dev_handle* dev)
{
    auto lock = enter();
    World& world = World::instance();
    kestrum::sim::SimDevice* device = world.device(deviceOf(dev));
    return device ? &device->device : nullptr;
}

int usb_control_msg(
    usb_dev_handle* dev, int requesttype, int request, int value, int index, char* bytes, int size, int timeout)
{
    auto lock = enter();
    World& world = World::instance();
    const int result
        = world.controlRead(dev, requesttype, request, value, index, reinterpret_cast<std::uint8_t*>(bytes), size);
    kestrum::sim::CallRecord* r = world.record(KSIM_CALL_CONTROL, deviceOf(dev), requesttype, size, timeout, result);
    if (r) {
        r->call.request = request;
        r->call.value = value;
        r->call.index = index;
        if (result > 0)
            world.recordBytes(r, reinterpret_cast<const std::uint8_t*>(bytes), result);
    }
    return result;
}

int usb_get_string(usb_dev_handle* dev, int index, int langid, char* buf, size_t buflen)
{
    return usb_control_msg(dev, 0x80, 6, (3 << 8) + index, langid, buf, static_cast<int>(buflen), 1000);
}

int usb_get_string_simple(usb_dev_handle* dev, int index, char* buf, size_t buflen)
{
    if (buflen == 0)
        return kestrum::sim::ErrInvalid;
    char reply[256];
    const int received = usb_get_string(dev, index, 0x0409, reply, sizeof reply);
    if (received < 0)
        return received;
    if (received < 2 || reply[1] != 3 || static_cast<unsigned char>(reply[0]) > received)
        return kestrum::sim::ErrIo;
    size_t stored = 0;
    for (int i = 2; i + 1 < static_cast<unsigned char>(reply[0]) && stored < buflen - 1; i += 2)
        buf[stored++] = reply[i + 1] ? '?' : reply[i];
    buf[stored] = 0;
    return static_cast<int>(stored);
}

int usb_get_descriptor(usb_dev_handle* dev, unsigned char type, unsigned char index, void* buf, int size)
{
    if (type != 3)
        return kestrum::sim::ErrPipe;
    return usb_control_msg(dev, 0x80, 6, (type << 8) + index, 0, static_cast<char*>(buf), size, 1000);
}

int usb_get_descriptor_by_endpoint(
    usb_dev_handle* dev, int ep, unsigned char type, unsigned char index, void* buf, int size)
{
    (void)ep;
    return usb_get_descriptor(dev, type, index, buf, size);
}

int usb_bulk_write(usb_dev_handle* dev, int ep, const char* bytes, int size, int timeout)
{
    auto lock = enter();
    return World::instance().bulkWrite(lock, dev, ep, reinterpret_cast<const std::uint8_t*>(bytes), size, timeout);
}

int usb_bulk_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout)
{
    auto lock = enter();
    return World::instance().bulkRead(lock, dev, ep, reinterpret_cast<std::uint8_t*>(bytes), size, timeout);
}

int usb_set_configuration(usb_dev_handle* dev, int configuration)
{
    auto lock = enter();
    World& world = World::instance();
    if (!world.isHandle(dev))
        return world.fail(kestrum::sim::ErrInvalid, "Invalid argument");
    return configuration == 1 ? 0 : world.fail(kestrum::sim::ErrInvalid, "Invalid argument");
}

int usb_claim_interface(usb_dev_handle* dev, int interface)
{
    auto lock = enter();
    World& world = World::instance();
    int result = 0;
    kestrum::sim::SimDevice* device = world.isHandle(dev) ? world.device(dev->device) : nullptr;
    if (!device)
        result = world.fail(kestrum::sim::ErrInvalid, "Invalid argument");
    else if (!device->plugged)
        result = world.fail(kestrum::sim::ErrNoDevice, "No such device");
    else if (dev->readOnly)
        result = world.fail(kestrum::sim::ErrNotPermitted, "Operation not permitted");
    else if (device->claimError != 0)
        result = world.fail(-device->claimError, std::strerror(device->claimError));
    else if (interface != device->altsetting.bInterfaceNumber)
        result = world.fail(kestrum::sim::ErrInvalid, "Invalid argument");
    else if (world.claimedElsewhere(dev, interface))
        result = world.fail(kestrum::sim::ErrBusy, "Device or resource busy");
    else {
        dev->claimed = true;
        dev->claimedInterface = interface;
    }
    world.record(KSIM_CALL_CLAIM, deviceOf(dev), interface, 0, 0, result);
    return result;
}

int usb_release_interface(usb_dev_handle* dev, int interface)
{
    auto lock = enter();
    World& world = World::instance();
    int result = 0;
    kestrum::sim::SimDevice* device = world.isHandle(dev) ? world.device(dev->device) : nullptr;
    if (!device || !dev->claimed || dev->claimedInterface != interface)
        result = world.fail(kestrum::sim::ErrInvalid, "Invalid argument");
    else if (!device->plugged)
        result = world.fail(kestrum::sim::ErrNoDevice, "No such device");
    if (device && dev->claimedInterface == interface)
        dev->claimed = false;
    world.record(KSIM_CALL_RELEASE, deviceOf(dev), interface, 0, 0, result);
    return result;
}

int usb_set_altinterface(usb_dev_handle* dev, int alternate)
{
    auto lock = enter();
    World& world = World::instance();
    if (!world.isHandle(dev))
        return world.fail(kestrum::sim::ErrInvalid, "Invalid argument");
    return alternate == 0 ? 0 : world.fail(kestrum::sim::ErrInvalid, "Invalid argument");
}

int usb_clear_halt(usb_dev_handle* dev, unsigned int ep)
{
    auto lock = enter();
    World& world = World::instance();
    const int result = world.clearHalt(dev, static_cast<int>(ep));
    world.record(KSIM_CALL_CLEAR_HALT, deviceOf(dev), static_cast<int>(ep), 0, 0, result);
    return result;
}

int usb_resetep(usb_dev_handle* dev, unsigned int ep)
{
    return usb_clear_halt(dev, ep);
}

int usb_reset(usb_dev_handle* dev)
{
    auto lock = enter();
    World& world = World::instance();
    if (!world.isHandle(dev))
        return world.fail(kestrum::sim::ErrInvalid, "Invalid argument");
    world.record(KSIM_CALL_OTHER, dev->device, 0, 0, 0, 0);
    return 0;
}

char* usb_strerror(void)
{
    auto lock = enter();
    // Each thread reads the text of the error it met, as errno is.
    static thread_local char text[128];
    std::strncpy(text, World::instance().lastError(), sizeof text - 1);
    return text;
}

} // extern "C"
