#pragma once

// Types only: the library itself is never linked, it is bound at run time below.
#include <usb.h>

#include <QByteArray>

namespace kestrum {

/// Version block of the Windows build of libusb 0.1 (libusb-win32). The Linux library has no such
/// call; it is part of the table so that the binding covers the whole 0.1 API on every platform.
struct usb_version
{
    struct
    {
        int major;
        int minor;
        int micro;
        int nano;
    } dll, driver;
};

/// The libusb 0.1 API bound at run time by entry-point name.
///
/// Every call goes through a forwarding function of the same name. When an entry point was not
/// found (or no library was ever loaded) the forwarding function does nothing and returns a fixed
/// value: -2 for calls that return a status or a count, null for usb_open, usb_strerror,
/// usb_device and usb_get_busses, 0 for usb_get_version; usb_init and usb_set_debug then do
/// nothing. A missing library therefore looks exactly like a bus without the programmer.
///
/// The library is loaded through the normal dynamic-loader search by its file name, so a library
/// of that name placed first on LD_LIBRARY_PATH (the simulated programmer) stands in for it.
/// It is never unloaded.
class UsbBinding
{
public:
    static constexpr const char* DefaultLibrary = "libusb-0.1.so.4";
    /// Result of a forwarding function whose status or count entry point is missing.
    static constexpr int MissingEntryPoint = -2;
    /// Number of entry points in the table.
    static constexpr int EntryPointCount = 36;

    explicit UsbBinding(QByteArray libraryName = DefaultLibrary);

    /// Loads the library, looks up every entry point and calls usb_init when it was found. A failed
    /// load leaves the table as it was. Returns true when the library was loaded.
    bool bind();

    [[nodiscard]] const QByteArray& libraryName() const { return m_libraryName; }
    /// The file name the next bind() loads.
    void setLibraryName(const QByteArray& name) { m_libraryName = name; }
    /// True when the named entry point is in the table (diagnostics and tests).
    [[nodiscard]] bool hasEntryPoint(const char* name) const;
    /// Number of entry points found by the last successful load.
    [[nodiscard]] int boundCount() const;

    // Forwarding functions, one per entry point of the 0.1 API.
    usb_dev_handle* usb_open(struct usb_device* dev) const;
    int usb_close(usb_dev_handle* dev) const;
    int usb_get_string(usb_dev_handle* dev, int index, int langid, char* buf, size_t buflen) const;
    int usb_get_string_simple(usb_dev_handle* dev, int index, char* buf, size_t buflen) const;
    int usb_get_descriptor_by_endpoint(
        usb_dev_handle* udev, int ep, unsigned char type, unsigned char index, void* buf, int size) const;
    int usb_get_descriptor(usb_dev_handle* udev, unsigned char type, unsigned char index, void* buf, int size) const;
    int usb_bulk_write(usb_dev_handle* dev, int ep, const char* bytes, int size, int timeout) const;
    int usb_bulk_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) const;
    int usb_interrupt_write(usb_dev_handle* dev, int ep, const char* bytes, int size, int timeout) const;
    int usb_interrupt_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) const;
    int usb_control_msg(usb_dev_handle* dev, int requesttype, int request, int value, int index, char* bytes, int size,
        int timeout) const;
    int usb_set_configuration(usb_dev_handle* dev, int configuration) const;
    int usb_claim_interface(usb_dev_handle* dev, int interface) const;
    int usb_release_interface(usb_dev_handle* dev, int interface) const;
    int usb_set_altinterface(usb_dev_handle* dev, int alternate) const;
    int usb_resetep(usb_dev_handle* dev, unsigned int ep) const;
    int usb_clear_halt(usb_dev_handle* dev, unsigned int ep) const;
    int usb_reset(usb_dev_handle* dev) const;
    int usb_reset_ex(usb_dev_handle* dev, unsigned int resetType) const;
    char* usb_strerror() const;
    void usb_init() const;
    void usb_set_debug(int level) const;
    int usb_find_busses() const;
    int usb_find_devices() const;
    struct usb_device* usb_device(usb_dev_handle* dev) const;
    struct usb_bus* usb_get_busses() const;
    int usb_install_service_np() const;
    int usb_uninstall_service_np() const;
    int usb_install_driver_np(const char* infFile) const;
    const usb_version* usb_get_version() const;
    int usb_isochronous_setup_async(usb_dev_handle* dev, void** context, unsigned char ep, int pktsize) const;
    int usb_bulk_setup_async(usb_dev_handle* dev, void** context, unsigned char ep) const;
    int usb_interrupt_setup_async(usb_dev_handle* dev, void** context, unsigned char ep) const;
    int usb_submit_async(void* context, char* bytes, int size) const;
    int usb_reap_async(void* context, int timeout) const;
    int usb_free_async(void** context) const;

private:
    struct Table
    {
        decltype(&::usb_open) usb_open = nullptr;
        decltype(&::usb_close) usb_close = nullptr;
        decltype(&::usb_get_string) usb_get_string = nullptr;
        decltype(&::usb_get_string_simple) usb_get_string_simple = nullptr;
        decltype(&::usb_get_descriptor_by_endpoint) usb_get_descriptor_by_endpoint = nullptr;
        decltype(&::usb_get_descriptor) usb_get_descriptor = nullptr;
        decltype(&::usb_bulk_write) usb_bulk_write = nullptr;
        decltype(&::usb_bulk_read) usb_bulk_read = nullptr;
        decltype(&::usb_interrupt_write) usb_interrupt_write = nullptr;
        decltype(&::usb_interrupt_read) usb_interrupt_read = nullptr;
        decltype(&::usb_control_msg) usb_control_msg = nullptr;
        decltype(&::usb_set_configuration) usb_set_configuration = nullptr;
        decltype(&::usb_claim_interface) usb_claim_interface = nullptr;
        decltype(&::usb_release_interface) usb_release_interface = nullptr;
        decltype(&::usb_set_altinterface) usb_set_altinterface = nullptr;
        decltype(&::usb_resetep) usb_resetep = nullptr;
        decltype(&::usb_clear_halt) usb_clear_halt = nullptr;
        decltype(&::usb_reset) usb_reset = nullptr;
        int (*usb_reset_ex)(usb_dev_handle*, unsigned int) = nullptr;
        decltype(&::usb_strerror) usb_strerror = nullptr;
        decltype(&::usb_init) usb_init = nullptr;
        decltype(&::usb_set_debug) usb_set_debug = nullptr;
        decltype(&::usb_find_busses) usb_find_busses = nullptr;
        decltype(&::usb_find_devices) usb_find_devices = nullptr;
        decltype(&::usb_device) usb_device = nullptr;
        decltype(&::usb_get_busses) usb_get_busses = nullptr;
        int (*usb_install_service_np)() = nullptr;
        int (*usb_uninstall_service_np)() = nullptr;
        int (*usb_install_driver_np)(const char*) = nullptr;
        const usb_version* (*usb_get_version)() = nullptr;
        int (*usb_isochronous_setup_async)(usb_dev_handle*, void**, unsigned char, int) = nullptr;
        int (*usb_bulk_setup_async)(usb_dev_handle*, void**, unsigned char) = nullptr;
        int (*usb_interrupt_setup_async)(usb_dev_handle*, void**, unsigned char) = nullptr;
        int (*usb_submit_async)(void*, char*, int) = nullptr;
        int (*usb_reap_async)(void*, int) = nullptr;
        int (*usb_free_async)(void**) = nullptr;
    };

    QByteArray m_libraryName;
    Table m_table;
};

} // namespace kestrum
