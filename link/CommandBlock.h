#pragma once

#include "chipdb/ChipRecord.h"

#include <QtGlobal>

#include <array>

namespace kestrum {

/// Opcodes of the programmer's commands (byte 1 of a command block).
enum Opcode : quint8 {
    OP_ERASE = 2,
    OP_TRANSFER = 5,
    OP_SETUP = 7,
    OP_END = 8,
    OP_IDENTIFY = 9,
    OP_STATUS = 10,
    OP_RAW = 11,
};

/// What answered in the socket: byte 0 of the reply to OP_IDENTIFY. Other values mean nothing.
enum ReplyKind : quint8 {
    ReplyNothing = 0,
    ReplySpiFlash = 1, ///< bytes 1..3 carry the JEDEC identification
    ReplyI2cEeprom = 2,
    ReplyMicrowireEeprom = 3,
};

/// Multi-byte fields of a command block go big-endian to the programmer that reports the product
/// "WinUSBComm" (read endpoint 0x82) and little-endian to the one that reports "WinUSBComm Device".
enum class ByteOrder { Big, Little };

[[nodiscard]] constexpr ByteOrder byteOrderForReadEndpoint(int readEndpoint)
{
    return readEndpoint == 0x82 ? ByteOrder::Big : ByteOrder::Little;
}

/// Byte 16 of the set-up and identify commands: the clock-speed index (0..5 for 12 MHz down to
/// 375 kHz; -1, no selection, goes out as 0xFF) and, by chip class, the voltage index.
[[nodiscard]] quint8 clockByte(const ChipRecord& record, int speedIndex, bool forIdentify);

/// The 64-byte command sent to the programmer, built fresh (all zero) for every command.
struct CommandBlock
{
    static constexpr int Size = 64;
    /// The erase argument of a whole-chip erase of a 25-series flash.
    static constexpr quint16 WholeChipErase = 0x8000;
    /// Raw SPI instruction: enter 4-byte address mode.
    static constexpr quint8 Enter4ByteAddressMode = 0xB7;
    static constexpr quint8 ReadIdentification = 0x9F;

    std::array<quint8, Size> bytes {};

    [[nodiscard]] quint8* data() { return bytes.data(); }
    [[nodiscard]] const quint8* data() const { return bytes.data(); }
    quint8& operator[](int i) { return bytes[static_cast<size_t>(i)]; }
    quint8 operator[](int i) const { return bytes[static_cast<size_t>(i)]; }

    /// OP_SETUP: the chip parameters (bytes 2..16 and 28).
    static CommandBlock setup(const ChipRecord& record, quint8 clockByte, ByteOrder order);
    /// OP_IDENTIFY: laid out as the set-up.
    static CommandBlock identify(const ChipRecord& record, quint8 clockByte, ByteOrder order);
    /// OP_ERASE with its 16-bit argument at byte 26.
    static CommandBlock erase(quint16 argument, ByteOrder order);
    /// OP_TRANSFER with the 32-bit start address at byte 8.
    static CommandBlock transfer(quint32 address, ByteOrder order);
    /// OP_END.
    static CommandBlock end();
    /// OP_RAW: 0x9F and 0xB7 carry their instruction bytes; any other instruction goes out with
    /// only bytes 0 and 1 set.
    static CommandBlock raw(quint8 instruction);
    /// OP_STATUS is written over the block last used: only bytes 0 and 1 change, so the first poll
    /// still carries the erase block and later polls the previous reply.
    void makeStatus();

    void put16(int offset, quint16 value, ByteOrder order);
    void put32(int offset, quint32 value, ByteOrder order);
};

} // namespace kestrum
