#include "link/CommandBlock.h"

namespace kestrum {

namespace {

// Command groups (byte 0): erase and end travel in group 1, everything else in group 0.
constexpr quint8 GroupData = 0;
constexpr quint8 GroupControl = 1;

CommandBlock chipParameters(quint8 opcode, const ChipRecord& record, quint8 clockByte, ByteOrder order)
{
    CommandBlock block;
    block[0] = GroupData;
    block[1] = opcode;
    block[2] = record.chipClass;
    block[3] = record.subtype;
    block.put16(4, record.flashPage, order);
    block.put16(6, record.delay, order);
    block.put32(8, record.flashSize, order);
    block.put32(12, record.chipId, order);
    block[16] = clockByte;
    block[28] = record.voltage;
    return block;
}

} // namespace

quint8 clockByte(const ChipRecord& record, int speedIndex, bool forIdentify)
{
    // The speed selector's index is taken as one byte, so no selection (-1) gives 0xFF.
    const auto speed = static_cast<quint8>(speedIndex);
    if (forIdentify)
        return speed;
    switch (record.chipClass) {
    case SpiEeprom25:
        return static_cast<quint8>(speed * 16 + record.voltage);
    case I2cEeprom24:
    case MicrowireEeprom93:
        return record.voltage;
    case SpiFlash25:
    default:
        return speed;
    }
}

void CommandBlock::put16(int offset, quint16 value, ByteOrder order)
{
    const auto high = static_cast<quint8>(value >> 8);
    const auto low = static_cast<quint8>(value);
    (*this)[offset] = order == ByteOrder::Big ? high : low;
    (*this)[offset + 1] = order == ByteOrder::Big ? low : high;
}

void CommandBlock::put32(int offset, quint32 value, ByteOrder order)
{
    for (int i = 0; i < 4; ++i) {
        const int shift = order == ByteOrder::Big ? 24 - 8 * i : 8 * i;
        (*this)[offset + i] = static_cast<quint8>(value >> shift);
    }
}

CommandBlock CommandBlock::setup(const ChipRecord& record, quint8 clockByte, ByteOrder order)
{
    return chipParameters(OP_SETUP, record, clockByte, order);
}

CommandBlock CommandBlock::identify(const ChipRecord& record, quint8 clockByte, ByteOrder order)
{
    return chipParameters(OP_IDENTIFY, record, clockByte, order);
}

CommandBlock CommandBlock::erase(quint16 argument, ByteOrder order)
{
    CommandBlock block;
    block[0] = GroupControl;
    block[1] = OP_ERASE;
    block.put16(26, argument, order);
    return block;
}

CommandBlock CommandBlock::transfer(quint32 address, ByteOrder order)
{
    CommandBlock block;
    block[0] = GroupData;
    block[1] = OP_TRANSFER;
    block.put32(8, address, order);
    return block;
}

CommandBlock CommandBlock::end()
{
    CommandBlock block;
    block[0] = GroupControl;
    block[1] = OP_END;
    return block;
}

CommandBlock CommandBlock::raw(quint8 instruction)
{
    CommandBlock block;
    block[0] = GroupData;
    block[1] = OP_RAW;
    if (instruction == ReadIdentification) {
        block[2] = 3;
        block[3] = 4;
        block[4] = ReadIdentification;
        block[5] = 0xFF;
        block[6] = 0xFF;
        block[7] = 0xFF;
    } else if (instruction == Enter4ByteAddressMode) {
        block[2] = 3;
        block[3] = 1;
        block[4] = Enter4ByteAddressMode;
    }
    return block;
}

void CommandBlock::makeStatus()
{
    (*this)[0] = GroupData;
    (*this)[1] = OP_STATUS;
}

} // namespace kestrum
