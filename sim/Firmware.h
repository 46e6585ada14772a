#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace kestrum::sim {

/// The programmer's firmware behind its bulk endpoints.
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

private:
    int m_readEndpoint;
    int m_writeEndpoint;
    int m_commandEndpoint;
    std::optional<std::array<std::uint8_t, 64>> m_reply;
};

} // namespace kestrum::sim
