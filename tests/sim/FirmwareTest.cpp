// The simulated programmer's firmware, spoken to directly with command blocks over the transport:
// what a real programmer does that the chip routines never show on their own.
#include "link/CommandBlock.h"
#include "link/UsbLink.h"
#include "tests/sim/SimControl.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <array>
#include <cstring>
#include <fstream>
#include <vector>

using namespace kestrum;
using kestrum::test::SimControl;

namespace {

class FirmwareTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.ok()) << sim.why();
        sim.reset();
        programmerId = sim.addProgrammer(sim.addBus(), "WinUSBComm");
        usb.setSleepFunction([](int) {});
    }

    void TearDown() override { usb.close(); }

    void open() { ASSERT_EQ(usb.open(UsbLink::ProgrammerVendorId, UsbLink::ProgrammerProductId), 1); }

    CommandBlock send(CommandBlock block, bool reply)
    {
        usb.sendCommand(block.data(), CommandBlock::Size, reply ? 1 : 0);
        return block;
    }

    void setup(quint8 chipClass, quint32 size, quint16 page = 256)
    {
        ChipRecord r {};
        r.chipClass = chipClass;
        r.flashSize = size;
        r.flashPage = page;
        send(CommandBlock::setup(r, 0, ByteOrder::Big), true);
    }

    void startTransfer(quint32 address, bool read) { send(CommandBlock::transfer(address, ByteOrder::Big), read); }

    std::vector<quint8> readBlock(int size)
    {
        std::vector<quint8> data(static_cast<size_t>(size));
        EXPECT_EQ(usb.readData(data.data(), size), size);
        return data;
    }

    void writeBlock(const std::vector<quint8>& data)
    {
        EXPECT_EQ(usb.writeData(data.data(), static_cast<int>(data.size())), static_cast<int>(data.size()));
    }

    quint8* cells() { return sim.chipBytes(programmerId, nullptr); }
    int protocolErrors() { return sim.state(programmerId).protocol_errors; }

    SimControl& sim = SimControl::get();
    int programmerId = 0;
    UsbLink usb;
};

TEST_F(FirmwareTest, LargeFlashWrapsAtSixteenMebibytesUntilFourByteAddressing)
{
    constexpr quint32 Size = 32u << 20;
    ASSERT_EQ(sim.insertChip(programmerId, KSIM_CHIP_SPI_FLASH, Size, 0xEF4019), 0);
    cells()[0] = 0x11;
    cells()[0x1000000] = 0x22;
    open();

    setup(SpiFlash25, Size);
    startTransfer(0x1000000, true);
    EXPECT_EQ(readBlock(64)[0], 0x11) << "3-byte addresses drop the top byte";

    setup(SpiFlash25, Size);
    send(CommandBlock::raw(0xB7), true);
    EXPECT_TRUE(sim.state(programmerId).four_byte_mode);
    startTransfer(0x1000000, true);
    EXPECT_EQ(readBlock(64)[0], 0x22);

    // The mode lasts for one job.
    send(CommandBlock::end(), false);
    EXPECT_FALSE(sim.state(programmerId).four_byte_mode);
    EXPECT_EQ(protocolErrors(), 0);
}

TEST_F(FirmwareTest, SequentialStreamsRunOnAcrossBlocksAndWrapAtTheChipEnd)
{
    ASSERT_EQ(sim.insertChip(programmerId, KSIM_CHIP_I2C_EEPROM, 256, 0), 0);
    for (int i = 0; i < 256; ++i)
        cells()[i] = static_cast<quint8>(i);
    open();
    // The set-up claims a larger chip than the socket holds: the chip's own addresses wrap.
    setup(I2cEeprom24, 512, 16);
    startTransfer(192, true);
    const std::vector<quint8> a = readBlock(64);
    const std::vector<quint8> b = readBlock(64);
    EXPECT_EQ(a[0], 192);
    EXPECT_EQ(a[63], 255);
    EXPECT_EQ(b[0], 0);
    EXPECT_EQ(b[63], 63);
    EXPECT_EQ(sim.state(programmerId).cursor, 320u);
}

TEST_F(FirmwareTest, BytesPastTheSetupSizeReadAsErasedAndAreNotWritten)
{
    ASSERT_EQ(sim.insertChip(programmerId, KSIM_CHIP_SPI_EEPROM, 64, 0), 0);
    std::memset(cells(), 0x5A, 64);
    open();
    setup(SpiEeprom25, 16, 16);
    startTransfer(0, true);
    const std::vector<quint8> data = readBlock(64);
    EXPECT_EQ(data[15], 0x5A);
    EXPECT_EQ(data[16], 0xFF);

    startTransfer(0, false);
    writeBlock(std::vector<quint8>(64, 0x01));
    EXPECT_EQ(cells()[15], 0x01);
    EXPECT_EQ(cells()[16], 0x5A);
}

TEST_F(FirmwareTest, FlashProgrammingClearsBitsAndEraseSetsThemAgain)
{
    ASSERT_EQ(sim.insertChip(programmerId, KSIM_CHIP_SPI_FLASH, 4096, 0xEF4012), 0);
    open();
    setup(SpiFlash25, 4096);
    startTransfer(0, false);
    writeBlock(std::vector<quint8>(256, 0xF0));
    startTransfer(0, false);
    writeBlock(std::vector<quint8>(256, 0x3C));
    EXPECT_EQ(cells()[0], 0x30);
    EXPECT_EQ(cells()[255], 0x30);
    EXPECT_EQ(cells()[256], 0xFF);

    sim.setErasePolls(programmerId, 2);
    send(CommandBlock::erase(CommandBlock::WholeChipErase, ByteOrder::Big), false);
    CommandBlock status;
    status.makeStatus();
    EXPECT_EQ(send(status, true)[0], 1);
    EXPECT_EQ(send(status, true)[0], 1);
    EXPECT_EQ(send(status, true)[0], 0);
    EXPECT_EQ(cells()[0], 0xFF);
    EXPECT_EQ(sim.state(programmerId).status_polls, 3);
    EXPECT_EQ(protocolErrors(), 0);
}

TEST_F(FirmwareTest, ChipOnAnotherBusThanTheSetupDoesNotAnswer)
{
    ASSERT_EQ(sim.insertChip(programmerId, KSIM_CHIP_I2C_EEPROM, 256, 0), 0);
    std::memset(cells(), 0x42, 256);
    open();
    setup(SpiFlash25, 256);
    startTransfer(0, true);
    EXPECT_EQ(readBlock(64)[0], 0xFF);
    send(CommandBlock::erase(CommandBlock::WholeChipErase, ByteOrder::Big), false);
    EXPECT_EQ(cells()[0], 0x42);
}

TEST_F(FirmwareTest, IdentifyAndRawReadIdentificationCarryTheJedecBytes)
{
    ASSERT_EQ(sim.insertChip(programmerId, KSIM_CHIP_SPI_FLASH, 4096, 0xC22016), 0);
    open();
    ChipRecord r {};
    const CommandBlock identify = send(CommandBlock::identify(r, 0, ByteOrder::Big), true);
    EXPECT_EQ((std::array<quint8, 4> {identify[0], identify[1], identify[2], identify[3]}),
        (std::array<quint8, 4> {1, 0xC2, 0x20, 0x16}));
    const CommandBlock raw = send(CommandBlock::raw(0x9F), true);
    EXPECT_EQ((std::array<quint8, 3> {raw[1], raw[2], raw[3]}), (std::array<quint8, 3> {0xC2, 0x20, 0x16}));
}

TEST_F(FirmwareTest, CountsWhatItCannotMakeSenseOf)
{
    ASSERT_EQ(sim.insertChip(programmerId, KSIM_CHIP_SPI_FLASH, 4096, 0xEF4012), 0);
    open();
    CommandBlock unknown;
    unknown[1] = 0x33;
    send(unknown, false);
    EXPECT_EQ(protocolErrors(), 1);

    CommandBlock wrongGroup = CommandBlock::end();
    wrongGroup[0] = 0;
    send(wrongGroup, false);
    EXPECT_EQ(protocolErrors(), 2);

    // Data before any transfer start, and a read with nothing to send (which times out).
    std::vector<quint8> data(64, 0);
    usb.writeData(data.data(), 64);
    EXPECT_EQ(protocolErrors(), 3);
    EXPECT_EQ(usb.readData(data.data(), 64), -110);
    EXPECT_EQ(protocolErrors(), 4);

    // An erase or a transfer before the set-up.
    send(CommandBlock::erase(CommandBlock::WholeChipErase, ByteOrder::Big), false);
    send(CommandBlock::transfer(0, ByteOrder::Big), false);
    EXPECT_EQ(protocolErrors(), 6);

    // A command block that is not 64 bytes.
    quint8 shortBlock[32] = {0, OP_STATUS};
    usb.sendCommand(shortBlock, 32, 0);
    EXPECT_EQ(protocolErrors(), 7);
}

TEST_F(FirmwareTest, BlocksOnTheWrongEndpointsAreRejected)
{
    // A "WinUSBComm Device" programmer listens on 0x04/0x05 only; its reply comes on 0x85.
    sim.reset();
    const int device = sim.addProgrammer(sim.addBus(), "WinUSBComm Device");
    open();
    ASSERT_EQ(usb.readEndpoint(), 0x85);
    const UsbBinding& binding = usb.binding();
    char block[64] = {};
    EXPECT_EQ(binding.usb_bulk_write(usb.deviceHandle(), 0x02, block, 64, 5000), -22);
    EXPECT_EQ(binding.usb_bulk_read(usb.deviceHandle(), 0x82, block, 64, 5000), -22);
    EXPECT_EQ(sim.state(device).protocol_errors, 0);
}

TEST_F(FirmwareTest, StalledEndpointStaysHaltedUntilCleared)
{
    ASSERT_EQ(sim.insertChip(programmerId, KSIM_CHIP_SPI_FLASH, 4096, 0xEF4012), 0);
    open();
    setup(SpiFlash25, 4096);
    startTransfer(0, false);
    sim.armFault(programmerId, KSIM_FAULT_STALL, 1);
    std::vector<quint8> data(256, 0);
    EXPECT_EQ(usb.writeData(data.data(), 256), -32);
    EXPECT_EQ(usb.writeData(data.data(), 256), -32);
    usb.binding().usb_clear_halt(usb.deviceHandle(), 0x01);
    EXPECT_EQ(usb.writeData(data.data(), 256), 256);
}

TEST_F(FirmwareTest, UnplugEndsTheJobAndTheDeviceLeavesTheBus)
{
    ASSERT_EQ(sim.insertChip(programmerId, KSIM_CHIP_SPI_FLASH, 4096, 0xEF4012), 0);
    open();
    setup(SpiFlash25, 4096);
    sim.armFault(programmerId, KSIM_FAULT_UNPLUG, 2);
    startTransfer(0, true); // the write goes out, the reply read is the second transfer
    std::vector<quint8> data(256);
    EXPECT_EQ(usb.readData(data.data(), 256), -19);
    EXPECT_FALSE(sim.state(programmerId).setup_valid);
    usb.close();
    EXPECT_EQ(usb.open(UsbLink::ProgrammerVendorId, UsbLink::ProgrammerProductId), 0);
    sim.plug(programmerId);
    EXPECT_EQ(usb.open(UsbLink::ProgrammerVendorId, UsbLink::ProgrammerProductId), 1);
}

TEST_F(FirmwareTest, ChipFileKeepsTheContentBetweenRuns)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath(QStringLiteral("chip.bin")).toStdString();
    {
        std::ofstream seed(path, std::ios::binary);
        const char bytes[4] = {1, 2, 3, 4};
        seed.write(bytes, 4);
    }
    ASSERT_EQ(sim.insertChip(programmerId, KSIM_CHIP_I2C_EEPROM, 256, 0), 0);
    ASSERT_EQ(sim.setChipFile(programmerId, path.c_str()), 0);
    EXPECT_EQ(cells()[3], 4);
    EXPECT_EQ(cells()[4], 0xFF);

    open();
    setup(I2cEeprom24, 256, 16);
    startTransfer(0, false);
    writeBlock(std::vector<quint8>(64, 0x77));
    send(CommandBlock::end(), false);

    std::ifstream in(path, std::ios::binary);
    std::vector<char> saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(saved.size(), 256u);
    EXPECT_EQ(static_cast<quint8>(saved[0]), 0x77);
    EXPECT_EQ(static_cast<quint8>(saved[63]), 0x77);
    EXPECT_EQ(static_cast<quint8>(saved[64]), 0xFF);
}

} // namespace
