#pragma once

#include "sim/ksim.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrum::sim {

/// The chip in the programmer's socket.
struct Chip
{
    int kind = KSIM_CHIP_NONE;
    std::uint32_t jedecId = 0;
    int identifyKind = -1; ///< the identify reply's byte 0 when not -1

    std::vector<std::uint8_t> cells;
    std::string file; ///< where the content is kept between runs; empty for none
    bool dirty = false; ///< changed since it was last saved
};

/// The programmer's firmware behind its bulk endpoints.
///
/// It takes the 64-byte command blocks on the command endpoint and the data streams on the data
/// endpoints, as the real programmer does: OP_SETUP keeps the chip parameters, OP_IDENTIFY answers
/// with what sits in the socket, OP_ERASE erases (whole chip with a busy time, EEPROMs page by
/// page, 93-series at once), OP_TRANSFER starts a sequential read or write at its address (the
/// direction is that of the first data block), OP_RAW 0xB7 switches a large SPI flash to 4-byte
/// addresses, OP_END ends the job. Multi-byte fields are big-endian on the "WinUSBComm" endpoint
/// set and little-endian on "WinUSBComm Device".
///
/// The chip behaves as a real one: NOR flash programming only clears bits, erasing sets 0xFF,
/// EEPROMs take bytes as written. Addresses wrap at the chip size; a flash above 16 MiB still in
/// 3-byte address mode wraps at 16 MiB. Bytes past the chip size of the set-up read as 0xFF and
/// are dropped on write. A chip whose bus differs from the set-up's class does not answer: it reads
/// as 0xFF and ignores writes and erases.
class Firmware
{
public:
    /// The product string chooses the endpoint set: "WinUSBComm Device" answers on 0x85 and takes
    /// data on 0x05 and commands on 0x04; "WinUSBComm" uses 0x82 / 0x01 / 0x02.
    explicit Firmware(bool deviceProduct);

    [[nodiscard]] int readEndpoint() const { return m_readEndpoint; }
    [[nodiscard]] int writeEndpoint() const { return m_writeEndpoint; }
    [[nodiscard]] int commandEndpoint() const { return m_commandEndpoint; }

    /// Takes a block written to an OUT endpoint: the bytes taken, or a negative error. isCommand
    /// tells whether it was a command block.
    int write(int endpoint, const std::uint8_t* data, int size, bool* isCommand);
    /// Fills a block read from the IN endpoint: the bytes sent, or a negative error. isReply tells
    /// whether it was the answer to a command.
    int read(int endpoint, std::uint8_t* data, int size, bool* isReply);

    // Socket.
    void insertChip(int kind, std::uint32_t size, std::uint32_t jedecId);
    [[nodiscard]] Chip& chip() { return m_chip; }
    /// Keeps the chip's content in that file: loaded now when it exists, saved at the end of every
    /// job that changed it.
    void setChipFile(const std::string& path);
    /// Fills the chip with a recognisable image (text, counting bytes), the rest erased.
    void fillPattern();
    void saveChip();
    /// The programmer loses power (unplugged) or gets it back: the job, its set-up and any
    /// running erase are gone; the chip keeps its content.
    void powerCycle();

    // Behaviour.
    void setRealistic(bool realistic) { m_realistic = realistic; }
    /// Status polls that report busy after a whole-chip erase in instant timing; -1 never ends.
    void setErasePolls(int polls) { m_erasePolls = polls; }
    [[nodiscard]] ksim_state state() const;

private:
    enum class Stream { None, Started, Reading, Writing };

    void command(const std::uint8_t* block);
    [[nodiscard]] std::uint16_t get16(const std::uint8_t* block, int offset) const;
    [[nodiscard]] std::uint32_t get32(const std::uint8_t* block, int offset) const;
    void setup(const std::uint8_t* block);
    void erase(std::uint16_t argument);
    [[nodiscard]] bool eraseBusy() const;
    void reply(std::array<std::uint8_t, 64> bytes) { m_reply = bytes; }
    void acknowledge(std::uint8_t opcode);
    void endJob();
    /// True when the chip in the socket answers on the bus of the set-up's class.
    [[nodiscard]] bool chipAnswers() const;
    /// Cell index of a chip address, with the chip's address wrap.
    [[nodiscard]] std::uint64_t cellOf(std::uint64_t address) const;
    /// Bytes from address that map to consecutive cells.
    [[nodiscard]] std::uint64_t runFrom(std::uint64_t address) const;
    void readData(std::uint8_t* data, int size);
    void writeData(const std::uint8_t* data, int size);
    void pause(std::chrono::microseconds time) const;
    void protocolError(const char* what);

    int m_readEndpoint;
    int m_writeEndpoint;
    int m_commandEndpoint;
    bool m_bigEndian;
    std::atomic<bool> m_realistic {false}; ///< set by the world while a transfer may run

    Chip m_chip;

    // Chip parameters of the job.
    bool m_setupValid = false;
    int m_class = 0;
    int m_subtype = 0;
    int m_page = 0;
    int m_delay = 0;
    std::uint32_t m_size = 0;
    std::uint32_t m_chipId = 0;
    int m_clock = 0;
    int m_voltage = 0;

    bool m_fourByte = false;
    Stream m_stream = Stream::None;
    std::uint64_t m_cursor = 0;
    std::optional<std::array<std::uint8_t, 64>> m_reply;

    // Erase.
    int m_erasePolls = 1;
    int m_busyPolls = 0; ///< instant timing: polls still answered busy; -1 forever
    std::chrono::steady_clock::time_point m_busyUntil {};
    int m_lastEraseArgument = -1;
    std::uint32_t m_eraseBank = 0; ///< 64 KiB banks passed by the 16-bit page offsets

    // Counters.
    int m_jobsEnded = 0;
    int m_protocolErrors = 0;
    int m_eraseCommands = 0;
    int m_statusPolls = 0;
    std::uint32_t m_bytesRead = 0;
    std::uint32_t m_bytesWritten = 0;
};

} // namespace kestrum::sim
