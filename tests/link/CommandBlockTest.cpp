// The 64-byte command blocks, byte for byte, in both byte orders.
#include "link/CommandBlock.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <utility>

using namespace kestrum;

namespace {

using Bytes = std::array<quint8, 64>;

/// A block of zeros with the given bytes placed at their offsets.
Bytes blockWith(std::initializer_list<std::pair<int, std::initializer_list<int>>> runs)
{
    Bytes b {};
    for (const auto& [offset, values] : runs) {
        int i = offset;
        for (int v : values)
            b[static_cast<size_t>(i++)] = static_cast<quint8>(v);
    }
    return b;
}

ChipRecord chip(quint8 chipClass, quint32 size, quint16 page, quint32 id)
{
    ChipRecord r {};
    r.chipClass = chipClass;
    r.flashSize = size;
    r.flashPage = page;
    r.chipId = id;
    return r;
}

} // namespace

TEST(CommandBlock, SetupCarriesTheChipParametersInTheEndpointsByteOrder)
{
    ChipRecord r = chip(SpiFlash25, 0x200000, 256, 0x00EF4015);
    r.subtype = 1;
    r.delay = 0x1234;
    r.voltage = 2;

    const CommandBlock big = CommandBlock::setup(r, 0x05, byteOrderForReadEndpoint(0x82));
    EXPECT_EQ(big.bytes,
        blockWith({{0, {0x00, OP_SETUP, SpiFlash25, 1}}, {4, {0x01, 0x00}}, {6, {0x12, 0x34}},
            {8, {0x00, 0x20, 0x00, 0x00}}, {12, {0x00, 0xEF, 0x40, 0x15}}, {16, {0x05}}, {28, {0x02}}}));

    const CommandBlock little = CommandBlock::setup(r, 0x05, byteOrderForReadEndpoint(0x85));
    EXPECT_EQ(little.bytes,
        blockWith({{0, {0x00, OP_SETUP, SpiFlash25, 1}}, {4, {0x00, 0x01}}, {6, {0x34, 0x12}},
            {8, {0x00, 0x00, 0x20, 0x00}}, {12, {0x15, 0x40, 0xEF, 0x00}}, {16, {0x05}}, {28, {0x02}}}));
}

TEST(CommandBlock, IdentifyIsLaidOutAsTheSetupWithItsOwnOpcode)
{
    ChipRecord r = chip(I2cEeprom24, 0x8000, 64, 0);
    r.delay = 100;
    CommandBlock setup = CommandBlock::setup(r, 3, ByteOrder::Big);
    const CommandBlock identify = CommandBlock::identify(r, 3, ByteOrder::Big);
    EXPECT_EQ(identify[1], OP_IDENTIFY);
    setup[1] = OP_IDENTIFY;
    EXPECT_EQ(identify.bytes, setup.bytes);
}

TEST(CommandBlock, FixedCommands)
{
    EXPECT_EQ(CommandBlock::end().bytes, blockWith({{0, {0x01, 0x08}}}));
    EXPECT_EQ(CommandBlock::raw(0xB7).bytes, blockWith({{0, {0x00, 0x0B, 0x03, 0x01, 0xB7}}}));
    EXPECT_EQ(CommandBlock::raw(0x9F).bytes, blockWith({{0, {0x00, 0x0B, 0x03, 0x04, 0x9F, 0xFF, 0xFF, 0xFF}}}));
    // Any other instruction goes out with only the group and the opcode.
    EXPECT_EQ(CommandBlock::raw(0x06).bytes, blockWith({{0, {0x00, 0x0B}}}));
    EXPECT_EQ(CommandBlock::transfer(0, ByteOrder::Big).bytes, blockWith({{0, {0x00, 0x05}}}));
    EXPECT_EQ(CommandBlock::transfer(0, ByteOrder::Little).bytes, blockWith({{0, {0x00, 0x05}}}));
}

TEST(CommandBlock, TransferAddressAndEraseArgumentFollowTheByteOrder)
{
    EXPECT_EQ(CommandBlock::transfer(0x01020304, ByteOrder::Big).bytes,
        blockWith({{0, {0x00, 0x05}}, {8, {0x01, 0x02, 0x03, 0x04}}}));
    EXPECT_EQ(CommandBlock::transfer(0x01020304, ByteOrder::Little).bytes,
        blockWith({{0, {0x00, 0x05}}, {8, {0x04, 0x03, 0x02, 0x01}}}));
    EXPECT_EQ(CommandBlock::erase(CommandBlock::WholeChipErase, byteOrderForReadEndpoint(0x82)).bytes,
        blockWith({{0, {0x01, 0x02}}, {26, {0x80, 0x00}}}));
    EXPECT_EQ(CommandBlock::erase(CommandBlock::WholeChipErase, byteOrderForReadEndpoint(0x85)).bytes,
        blockWith({{0, {0x01, 0x02}}, {26, {0x00, 0x80}}}));
    EXPECT_EQ(CommandBlock::erase(0x0140, ByteOrder::Little).bytes, blockWith({{0, {0x01, 0x02}}, {26, {0x40, 0x01}}}));
}

TEST(CommandBlock, StatusKeepsEverythingButGroupAndOpcode)
{
    CommandBlock block = CommandBlock::erase(CommandBlock::WholeChipErase, ByteOrder::Big);
    block.makeStatus();
    EXPECT_EQ(block.bytes, blockWith({{0, {0x00, 0x0A}}, {26, {0x80, 0x00}}}));

    Bytes reply {};
    reply.fill(0x77);
    reply[0] = 0x01;
    block.bytes = reply;
    block.makeStatus();
    reply[0] = 0x00;
    reply[1] = 0x0A;
    EXPECT_EQ(block.bytes, reply);
}

TEST(ClockByteChoice, BySetupClassAndForIdentify)
{
    ChipRecord spiEeprom = chip(SpiEeprom25, 512, 16, 0);
    spiEeprom.voltage = 1;
    EXPECT_EQ(clockByte(spiEeprom, 2, false), 0x21);
    // Only the low 8 bits of speed × 16 + voltage.
    EXPECT_EQ(clockByte(spiEeprom, 0x13, false), 0x31);

    ChipRecord i2c = chip(I2cEeprom24, 256, 8, 0);
    i2c.voltage = 2;
    EXPECT_EQ(clockByte(i2c, 4, false), 0x02);

    ChipRecord microwire = chip(MicrowireEeprom93, 128, 1, 0);
    microwire.voltage = 1;
    EXPECT_EQ(clockByte(microwire, 3, false), 0x01);

    ChipRecord flash = chip(SpiFlash25, 0x100000, 256, 0xEF4014);
    flash.voltage = 2;
    EXPECT_EQ(clockByte(flash, 3, false), 0x03);

    // Identify takes the bare speed index whatever the class; no selection gives 0xFF.
    for (const ChipRecord& r : {spiEeprom, i2c, microwire, flash}) {
        EXPECT_EQ(clockByte(r, 5, true), 0x05);
        EXPECT_EQ(clockByte(r, -1, true), 0xFF);
    }
    EXPECT_EQ(clockByte(flash, -1, false), 0xFF);
}
