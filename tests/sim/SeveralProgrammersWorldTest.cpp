// The demo's world of several programmers from environment variables: each one with its own chip.
// The simulator reads them at the first libusb call; hence an executable of its own.
#include "link/CommandBlock.h"
#include "link/UsbLink.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace kestrum;

TEST(SeveralProgrammersWorld, EveryProgrammerHasItsOwnPortProductAndChip)
{
    setenv("KESTRUM_SYSFS_ROOT", "/nonexistent", 1);
    setenv("KESTRUM_SIM_PROGRAMMERS", "3", 1);
    setenv("KESTRUM_SIM_CHIP", "spi25:1M:EF4014", 1);
    setenv("KESTRUM_SIM_CHIP_2", "spi25:2M:C84015", 1);
    setenv("KESTRUM_SIM_PRODUCT_3", "WinUSBComm Device", 1);

    UsbLink usb;
    usb.setSleepFunction([](int) {});
    const auto list = usb.listProgrammers();
    ASSERT_EQ(list.size(), 3u);
    const struct
    {
        const char* location;
        const char* product;
        quint32 id;
    } rows[] = {{"001:001", "WinUSBComm", 0xEF4014}, {"001:002", "WinUSBComm", 0xC84015},
        {"001:003", "WinUSBComm Device", 0xEF4014}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list[i].location, rows[i].location);
        EXPECT_EQ(list[i].product, rows[i].product);
        usb.setLocation(rows[i].location);
        ASSERT_EQ(usb.open(UsbLink::ProgrammerVendorId, UsbLink::ProgrammerProductId), 1);
        ChipRecord r {};
        r.flashSize = 1u << 20;
        r.flashPage = 256;
        const ByteOrder order = byteOrderForReadEndpoint(usb.readEndpoint());
        CommandBlock identify = CommandBlock::identify(r, 0, order);
        ASSERT_EQ(usb.sendCommand(identify.data(), 64, true), 64);
        EXPECT_EQ(quint32(identify[1] << 16 | identify[2] << 8 | identify[3]), rows[i].id) << rows[i].location;
        usb.close();
    }
}
