#include "sim/Firmware.h"

#include <algorithm>
#include <cstring>

namespace kestrum::sim {

Firmware::Firmware(bool deviceProduct)
    : m_readEndpoint(deviceProduct ? 0x85 : 0x82)
    , m_writeEndpoint(deviceProduct ? 0x05 : 0x01)
    , m_commandEndpoint(deviceProduct ? 0x04 : 0x02)
{
}

int Firmware::write(int endpoint, const std::uint8_t* data, int size, bool* isCommand)
{
    *isCommand = endpoint == m_commandEndpoint;
    if (*isCommand) {
        // Every command is acknowledged with its own block, marked in byte 0, until the command
        // set is in.
        std::array<std::uint8_t, 64> reply{};
        std::memcpy(reply.data(), data, static_cast<size_t>(std::min(size, 64)));
        reply[0] |= 0x80;
        m_reply = reply;
    }
    return size;
}

int Firmware::read(int endpoint, std::uint8_t* data, int size, bool* isReply)
{
    (void)endpoint;
    *isReply = m_reply.has_value();
    if (!m_reply)
        return -110;
    const int n = std::min(size, 64);
    std::memcpy(data, m_reply->data(), static_cast<size_t>(n));
    m_reply.reset();
    return n;
}

} // namespace kestrum::sim
