#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace kestrum {

/// CRC-32 as zip, PNG and Ethernet use it (reflected polynomial 0xEDB88320, start and final
/// inversion). `previous` continues a checksum over data that comes in pieces.
std::uint32_t crc32(const std::uint8_t* data, std::size_t length, std::uint32_t previous = 0);

/// Eight upper-case hex digits.
QString crc32Text(std::uint32_t crc);

/// SHA-256 of the bytes as 64 upper-case hex digits.
QString sha256Text(const std::uint8_t* data, std::size_t length);

} // namespace kestrum
