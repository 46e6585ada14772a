// The demo's world from environment variables. They are set here before the first libusb call,
// which is when the simulator reads them; hence an executable of its own.
#include "link/CommandBlock.h"
#include "link/UsbLink.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>
#include <vector>

using namespace kestrum;

TEST(EnvironmentWorld, ChipProductContentAndFileComeFromTheEnvironment)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath(QStringLiteral("eeprom.bin")).toStdString();
    {
        std::ofstream seed(path, std::ios::binary);
        seed.write("\x10\x20", 2);
    }
    setenv("KESTRUM_SIM_CHIP", "i2c24:1K", 1);
    setenv("KESTRUM_SIM_PRODUCT", "WinUSBComm Device", 1);
    setenv("KESTRUM_SIM_CONTENT", "pattern", 1);
    setenv("KESTRUM_SIM_CHIP_FILE", path.c_str(), 1);

    UsbLink usb;
    usb.setSleepFunction([](int) {});
    ASSERT_EQ(usb.open(0x1FC8, 0x310B), 1);
    EXPECT_EQ(usb.readEndpoint(), 0x85);

    ChipRecord r {};
    r.chipClass = I2cEeprom24;
    r.flashSize = 1024;
    r.flashPage = 16;
    CommandBlock identify = CommandBlock::identify(r, 0, ByteOrder::Little);
    ASSERT_EQ(usb.sendCommand(identify.data(), 64, 1), 64);
    EXPECT_EQ(identify[0], ReplyI2cEeprom);

    CommandBlock setup = CommandBlock::setup(r, 0, ByteOrder::Little);
    usb.sendCommand(setup.data(), 64, 1);
    CommandBlock start = CommandBlock::transfer(0, ByteOrder::Little);
    usb.sendCommand(start.data(), 64, 1);
    std::vector<quint8> data(1024);
    ASSERT_EQ(usb.readData(data.data(), 1024), 1024);
    // The file's two bytes over the sample image ("Kestrum simulated ...", then counting bytes).
    EXPECT_EQ(data[0], 0x10);
    EXPECT_EQ(data[1], 0x20);
    EXPECT_EQ(data[2], 's');
    EXPECT_EQ(data[1023], 1023 & 0xFF);
}
