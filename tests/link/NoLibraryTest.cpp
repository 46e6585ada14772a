// The transport without the simulated programmer: no library at all, and the system's own libusb
// 0.1 on a machine where no programmer is plugged in.
#include "link/UsbBinding.h"
#include "link/UsbLink.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include <dlfcn.h>

using namespace kestrum;

namespace {

constexpr const char* AbsentLibrary = "libkestrum-absent-usb.so.0";

struct SleepLog
{
    std::vector<int> pauses;
    UsbLink::SleepFunction function()
    {
        return [this](int ms) { pauses.push_back(ms); };
    }
};

} // namespace

TEST(UsbBindingWithoutLibrary, EveryForwardingFunctionReturnsItsFixedValue)
{
    UsbBinding usb(AbsentLibrary);
    EXPECT_FALSE(usb.bind());
    EXPECT_EQ(usb.boundCount(), 0);

    char buffer[16] = {};
    void* context = nullptr;
    auto* handle = reinterpret_cast<usb_dev_handle*>(buffer); // never dereferenced: nothing is bound

    EXPECT_EQ(usb.usb_open(nullptr), nullptr);
    EXPECT_EQ(usb.usb_strerror(), nullptr);
    EXPECT_EQ(usb.usb_device(handle), nullptr);
    EXPECT_EQ(usb.usb_get_busses(), nullptr);
    EXPECT_EQ(usb.usb_get_version(), nullptr);
    usb.usb_init();
    usb.usb_set_debug(255);

    const std::vector<int> statuses = {
        usb.usb_close(handle),
        usb.usb_get_string(handle, 1, 0x409, buffer, sizeof buffer),
        usb.usb_get_string_simple(handle, 1, buffer, sizeof buffer),
        usb.usb_get_descriptor_by_endpoint(handle, 0, 3, 1, buffer, sizeof buffer),
        usb.usb_get_descriptor(handle, 3, 1, buffer, sizeof buffer),
        usb.usb_bulk_write(handle, 1, buffer, sizeof buffer, 5000),
        usb.usb_bulk_read(handle, 0x82, buffer, sizeof buffer, 5000),
        usb.usb_interrupt_write(handle, 1, buffer, sizeof buffer, 5000),
        usb.usb_interrupt_read(handle, 0x81, buffer, sizeof buffer, 5000),
        usb.usb_control_msg(handle, 0x80, 6, 0x301, 0x409, buffer, sizeof buffer, 1000),
        usb.usb_set_configuration(handle, 1),
        usb.usb_claim_interface(handle, 0),
        usb.usb_release_interface(handle, 0),
        usb.usb_set_altinterface(handle, 0),
        usb.usb_resetep(handle, 1),
        usb.usb_clear_halt(handle, 1),
        usb.usb_reset(handle),
        usb.usb_reset_ex(handle, 0),
        usb.usb_find_busses(),
        usb.usb_find_devices(),
        usb.usb_install_service_np(),
        usb.usb_uninstall_service_np(),
        usb.usb_install_driver_np("x.inf"),
        usb.usb_isochronous_setup_async(handle, &context, 0x81, 64),
        usb.usb_bulk_setup_async(handle, &context, 0x81),
        usb.usb_interrupt_setup_async(handle, &context, 0x81),
        usb.usb_submit_async(context, buffer, sizeof buffer),
        usb.usb_reap_async(context, 100),
        usb.usb_free_async(&context),
    };
    // 29 status calls, 5 null calls, usb_get_version and the two calls without a result: the
    // whole table.
    EXPECT_EQ(statuses.size() + 5 + 2, static_cast<size_t>(UsbBinding::EntryPointCount));
    for (size_t i = 0; i < statuses.size(); ++i)
        EXPECT_EQ(statuses[i], UsbBinding::MissingEntryPoint) << "status call " << i;
    EXPECT_EQ(context, nullptr);
}

TEST(UsbLinkWithoutLibrary, BehavesLikeAnAbsentProgrammer)
{
    UsbLink usb(nullptr, AbsentLibrary);
    SleepLog sleeps;
    usb.setSleepFunction(sleeps.function());

    EXPECT_EQ(usb.open(UsbLink::ProgrammerVendorId, UsbLink::ProgrammerProductId), 0);
    EXPECT_EQ(usb.deviceHandle(), nullptr);
    // The endpoint set of "WinUSBComm" is the one chosen at construction.
    EXPECT_EQ(usb.readEndpoint(), 0x82);
    EXPECT_EQ(usb.writeEndpoint(), 0x01);
    EXPECT_EQ(usb.commandEndpoint(), 0x02);

    std::array<quint8, 64> block {};
    block.fill(0x5A);
    const std::array<quint8, 64> before = block;
    int written = 0;
    EXPECT_EQ(usb.sendCommand(block.data(), 64, 0, &written), UsbLink::NotOpen);
    EXPECT_EQ(written, UsbLink::NotOpen);
    EXPECT_TRUE(sleeps.pauses.empty());
    EXPECT_EQ(usb.sendCommand(block.data(), 64, 1), UsbLink::NotOpen);
    // A command that asks for a reply still pauses, but nothing is read into the block.
    EXPECT_EQ(sleeps.pauses, std::vector<int> {50});
    EXPECT_EQ(usb.writeData(block.data(), 64), UsbLink::NotOpen);
    EXPECT_EQ(usb.readData(block.data(), 64), UsbLink::NotOpen);
    EXPECT_EQ(block, before);
    const quint8 setup[4] = {1, 2, 3, 4};
    EXPECT_EQ(usb.controlTransfer(1, 0x10, setup, block.data(), 8), -1);
    usb.close();
    EXPECT_EQ(usb.deviceHandle(), nullptr);
}

TEST(SystemLibusb, FindsNoProgrammerOnAMachineWithoutOne)
{
    // This executable runs without the simulator on the loader path, so the name resolves to the
    // system's libusb 0.1 when it is installed.
    void* probe = dlopen(UsbBinding::DefaultLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!probe)
        GTEST_SKIP() << "the system has no libusb 0.1";
    ASSERT_EQ(dlsym(probe, "ksim_reset"), nullptr) << "the simulator is on the loader path of this test";

    UsbLink usb;
    usb.setSleepFunction([](int) {});
    EXPECT_EQ(usb.open(UsbLink::ProgrammerVendorId, UsbLink::ProgrammerProductId), 0);
    EXPECT_EQ(usb.deviceHandle(), nullptr);
    // The real library has every entry point of the Linux API; only the Windows additions miss.
    const UsbBinding& binding = usb.binding();
    for (const char* name :
        {"usb_open", "usb_close", "usb_control_msg", "usb_claim_interface", "usb_release_interface", "usb_bulk_write",
            "usb_bulk_read", "usb_get_busses", "usb_find_busses", "usb_find_devices", "usb_strerror", "usb_init"})
        EXPECT_TRUE(binding.hasEntryPoint(name)) << name;
    for (const char* name : {"usb_reset_ex", "usb_get_version", "usb_install_service_np", "usb_reap_async"})
        EXPECT_FALSE(binding.hasEntryPoint(name)) << name;

    quint8 block[64] = {};
    EXPECT_EQ(usb.sendCommand(block, 64, 1), UsbLink::NotOpen);
}

TEST(SystemLibusb, AFailedLoadLeavesTheTableAsItWas)
{
    void* probe = dlopen(UsbBinding::DefaultLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!probe)
        GTEST_SKIP() << "the system has no libusb 0.1";

    UsbBinding usb;
    ASSERT_TRUE(usb.bind());
    const int bound = usb.boundCount();
    EXPECT_GT(bound, 0);

    usb.setLibraryName(AbsentLibrary);
    EXPECT_FALSE(usb.bind());
    EXPECT_EQ(usb.boundCount(), bound);
    // Still forwarding to the library loaded before: its error text, not the fixed null.
    EXPECT_NE(usb.usb_strerror(), nullptr);
}
