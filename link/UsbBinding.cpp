#include "link/UsbBinding.h"

#include "link/LinkLog.h"

#include <cstring>
#include <utility>

#include <dlfcn.h>

namespace kestrum {

// Every entry point of the libusb 0.1 API, Windows additions included.
#define KESTRUM_USB_ENTRY_POINTS(X)                                                                                    \
    X(usb_open)                                                                                                        \
    X(usb_close)                                                                                                       \
    X(usb_get_string)                                                                                                  \
    X(usb_get_string_simple)                                                                                           \
    X(usb_get_descriptor_by_endpoint)                                                                                  \
    X(usb_get_descriptor)                                                                                              \
    X(usb_bulk_write)                                                                                                  \
    X(usb_bulk_read)                                                                                                   \
    X(usb_interrupt_write)                                                                                             \
    X(usb_interrupt_read)                                                                                              \
    X(usb_control_msg)                                                                                                 \
    X(usb_set_configuration)                                                                                           \
    X(usb_claim_interface)                                                                                             \
    X(usb_release_interface)                                                                                           \
    X(usb_set_altinterface)                                                                                            \
    X(usb_resetep)                                                                                                     \
    X(usb_clear_halt)                                                                                                  \
    X(usb_reset)                                                                                                       \
    X(usb_reset_ex)                                                                                                    \
    X(usb_strerror)                                                                                                    \
    X(usb_init)                                                                                                        \
    X(usb_set_debug)                                                                                                   \
    X(usb_find_busses)                                                                                                 \
    X(usb_find_devices)                                                                                                \
    X(usb_device)                                                                                                      \
    X(usb_get_busses)                                                                                                  \
    X(usb_install_service_np)                                                                                          \
    X(usb_uninstall_service_np)                                                                                        \
    X(usb_install_driver_np)                                                                                           \
    X(usb_get_version)                                                                                                 \
    X(usb_isochronous_setup_async)                                                                                     \
    X(usb_bulk_setup_async)                                                                                            \
    X(usb_interrupt_setup_async)                                                                                       \
    X(usb_submit_async)                                                                                                \
    X(usb_reap_async)                                                                                                  \
    X(usb_free_async)

namespace {

template <typename Function> void lookUp(void* library, const char* name, Function& slot)
{
    // POSIX guarantees that a data pointer from dlsym converts to a function pointer.
    slot = reinterpret_cast<Function>(dlsym(library, name));
}

#define KESTRUM_COUNT_ENTRY(name) +1
static_assert(0 KESTRUM_USB_ENTRY_POINTS(KESTRUM_COUNT_ENTRY) == UsbBinding::EntryPointCount);
#undef KESTRUM_COUNT_ENTRY

} // namespace

UsbBinding::UsbBinding(QByteArray libraryName)
    : m_libraryName(std::move(libraryName))
{
}

bool UsbBinding::bind()
{
    void* library = dlopen(m_libraryName.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        qCDebug(lcLink) << "cannot load" << m_libraryName << (why ? why : "");
        return false;
    }
#define KESTRUM_LOOK_UP(name) lookUp(library, #name, m_table.name);
    KESTRUM_USB_ENTRY_POINTS(KESTRUM_LOOK_UP)
#undef KESTRUM_LOOK_UP
    qCDebug(lcLink) << "bound" << m_libraryName << "with" << boundCount() << "of" << EntryPointCount << "entry points";
    if (m_table.usb_init)
        m_table.usb_init();
    return true;
}

bool UsbBinding::hasEntryPoint(const char* name) const
{
#define KESTRUM_HAS(entry)                                                                                             \
    if (std::strcmp(name, #entry) == 0)                                                                                \
        return m_table.entry != nullptr;
    KESTRUM_USB_ENTRY_POINTS(KESTRUM_HAS)
#undef KESTRUM_HAS
    return false;
}

int UsbBinding::boundCount() const
{
    int count = 0;
#define KESTRUM_COUNT_BOUND(entry)                                                                                     \
    if (m_table.entry)                                                                                                 \
        ++count;
    KESTRUM_USB_ENTRY_POINTS(KESTRUM_COUNT_BOUND)
#undef KESTRUM_COUNT_BOUND
    return count;
}

// Forwarding functions. A missing entry point gives the fixed value and does nothing.

usb_dev_handle* UsbBinding::usb_open(struct usb_device* dev) const
{
    return m_table.usb_open ? m_table.usb_open(dev) : nullptr;
}

int UsbBinding::usb_close(usb_dev_handle* dev) const
{
    return m_table.usb_close ? m_table.usb_close(dev) : MissingEntryPoint;
}

int UsbBinding::usb_get_string(usb_dev_handle* dev, int index, int langid, char* buf, size_t buflen) const
{
    return m_table.usb_get_string ? m_table.usb_get_string(dev, index, langid, buf, buflen) : MissingEntryPoint;
}

int UsbBinding::usb_get_string_simple(usb_dev_handle* dev, int index, char* buf, size_t buflen) const
{
    return m_table.usb_get_string_simple ? m_table.usb_get_string_simple(dev, index, buf, buflen) : MissingEntryPoint;
}

int UsbBinding::usb_get_descriptor_by_endpoint(
    usb_dev_handle* udev, int ep, unsigned char type, unsigned char index, void* buf, int size) const
{
    return m_table.usb_get_descriptor_by_endpoint
        ? m_table.usb_get_descriptor_by_endpoint(udev, ep, type, index, buf, size)
        : MissingEntryPoint;
}

int UsbBinding::usb_get_descriptor(
    usb_dev_handle* udev, unsigned char type, unsigned char index, void* buf, int size) const
{
    return m_table.usb_get_descriptor ? m_table.usb_get_descriptor(udev, type, index, buf, size) : MissingEntryPoint;
}

int UsbBinding::usb_bulk_write(usb_dev_handle* dev, int ep, const char* bytes, int size, int timeout) const
{
    return m_table.usb_bulk_write ? m_table.usb_bulk_write(dev, ep, bytes, size, timeout) : MissingEntryPoint;
}

int UsbBinding::usb_bulk_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) const
{
    return m_table.usb_bulk_read ? m_table.usb_bulk_read(dev, ep, bytes, size, timeout) : MissingEntryPoint;
}

int UsbBinding::usb_interrupt_write(usb_dev_handle* dev, int ep, const char* bytes, int size, int timeout) const
{
    return m_table.usb_interrupt_write ? m_table.usb_interrupt_write(dev, ep, bytes, size, timeout) : MissingEntryPoint;
}

int UsbBinding::usb_interrupt_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) const
{
    return m_table.usb_interrupt_read ? m_table.usb_interrupt_read(dev, ep, bytes, size, timeout) : MissingEntryPoint;
}

int UsbBinding::usb_control_msg(
    usb_dev_handle* dev, int requesttype, int request, int value, int index, char* bytes, int size, int timeout) const
{
    return m_table.usb_control_msg
        ? m_table.usb_control_msg(dev, requesttype, request, value, index, bytes, size, timeout)
        : MissingEntryPoint;
}

int UsbBinding::usb_set_configuration(usb_dev_handle* dev, int configuration) const
{
    return m_table.usb_set_configuration ? m_table.usb_set_configuration(dev, configuration) : MissingEntryPoint;
}

int UsbBinding::usb_claim_interface(usb_dev_handle* dev, int interface) const
{
    return m_table.usb_claim_interface ? m_table.usb_claim_interface(dev, interface) : MissingEntryPoint;
}

int UsbBinding::usb_release_interface(usb_dev_handle* dev, int interface) const
{
    return m_table.usb_release_interface ? m_table.usb_release_interface(dev, interface) : MissingEntryPoint;
}

int UsbBinding::usb_set_altinterface(usb_dev_handle* dev, int alternate) const
{
    return m_table.usb_set_altinterface ? m_table.usb_set_altinterface(dev, alternate) : MissingEntryPoint;
}

int UsbBinding::usb_resetep(usb_dev_handle* dev, unsigned int ep) const
{
    return m_table.usb_resetep ? m_table.usb_resetep(dev, ep) : MissingEntryPoint;
}

int UsbBinding::usb_clear_halt(usb_dev_handle* dev, unsigned int ep) const
{
    return m_table.usb_clear_halt ? m_table.usb_clear_halt(dev, ep) : MissingEntryPoint;
}

int UsbBinding::usb_reset(usb_dev_handle* dev) const
{
    return m_table.usb_reset ? m_table.usb_reset(dev) : MissingEntryPoint;
}

int UsbBinding::usb_reset_ex(usb_dev_handle* dev, unsigned int resetType) const
{
    return m_table.usb_reset_ex ? m_table.usb_reset_ex(dev, resetType) : MissingEntryPoint;
}

char* UsbBinding::usb_strerror() const
{
    return m_table.usb_strerror ? m_table.usb_strerror() : nullptr;
}

void UsbBinding::usb_init() const
{
    if (m_table.usb_init)
        m_table.usb_init();
}

void UsbBinding::usb_set_debug(int level) const
{
    if (m_table.usb_set_debug)
        m_table.usb_set_debug(level);
}

int UsbBinding::usb_find_busses() const
{
    return m_table.usb_find_busses ? m_table.usb_find_busses() : MissingEntryPoint;
}

int UsbBinding::usb_find_devices() const
{
    return m_table.usb_find_devices ? m_table.usb_find_devices() : MissingEntryPoint;
}

struct usb_device* UsbBinding::usb_device(usb_dev_handle* dev) const
{
    return m_table.usb_device ? m_table.usb_device(dev) : nullptr;
}

struct usb_bus* UsbBinding::usb_get_busses() const
{
    return m_table.usb_get_busses ? m_table.usb_get_busses() : nullptr;
}

int UsbBinding::usb_install_service_np() const
{
    return m_table.usb_install_service_np ? m_table.usb_install_service_np() : MissingEntryPoint;
}

int UsbBinding::usb_uninstall_service_np() const
{
    return m_table.usb_uninstall_service_np ? m_table.usb_uninstall_service_np() : MissingEntryPoint;
}

int UsbBinding::usb_install_driver_np(const char* infFile) const
{
    return m_table.usb_install_driver_np ? m_table.usb_install_driver_np(infFile) : MissingEntryPoint;
}

const usb_version* UsbBinding::usb_get_version() const
{
    return m_table.usb_get_version ? m_table.usb_get_version() : nullptr;
}

int UsbBinding::usb_isochronous_setup_async(usb_dev_handle* dev, void** context, unsigned char ep, int pktsize) const
{
    return m_table.usb_isochronous_setup_async ? m_table.usb_isochronous_setup_async(dev, context, ep, pktsize)
                                               : MissingEntryPoint;
}

int UsbBinding::usb_bulk_setup_async(usb_dev_handle* dev, void** context, unsigned char ep) const
{
    return m_table.usb_bulk_setup_async ? m_table.usb_bulk_setup_async(dev, context, ep) : MissingEntryPoint;
}

int UsbBinding::usb_interrupt_setup_async(usb_dev_handle* dev, void** context, unsigned char ep) const
{
    return m_table.usb_interrupt_setup_async ? m_table.usb_interrupt_setup_async(dev, context, ep) : MissingEntryPoint;
}

int UsbBinding::usb_submit_async(void* context, char* bytes, int size) const
{
    return m_table.usb_submit_async ? m_table.usb_submit_async(context, bytes, size) : MissingEntryPoint;
}

int UsbBinding::usb_reap_async(void* context, int timeout) const
{
    return m_table.usb_reap_async ? m_table.usb_reap_async(context, timeout) : MissingEntryPoint;
}

int UsbBinding::usb_free_async(void** context) const
{
    return m_table.usb_free_async ? m_table.usb_free_async(context) : MissingEntryPoint;
}

} // namespace kestrum
