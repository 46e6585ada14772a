#include "buffer/Checksum.h"

#include <QCryptographicHash>

#include <array>

namespace kestrum {

namespace {

constexpr std::array<std::uint32_t, 256> makeTable()
{
    std::array<std::uint32_t, 256> table {};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1U) ? (0xEDB88320U ^ (c >> 1)) : (c >> 1);
        table[i] = c;
    }
    return table;
}

constexpr auto CrcTable = makeTable();

} // namespace

std::uint32_t crc32(const std::uint8_t* data, std::size_t length, std::uint32_t previous)
{
    std::uint32_t c = ~previous;
    for (std::size_t i = 0; i < length; ++i)
        c = CrcTable[(c ^ data[i]) & 0xFFU] ^ (c >> 8);
    return ~c;
}

QString crc32Text(std::uint32_t crc)
{
    return QStringLiteral("%1").arg(crc, 8, 16, QLatin1Char('0')).toUpper();
}

QString sha256Text(const std::uint8_t* data, std::size_t length)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    // QByteArrayView takes a signed size; 64 MiB fits, the loop keeps any length right.
    constexpr std::size_t piece = std::size_t {1} << 30;
    for (std::size_t done = 0; done < length; done += piece) {
        const std::size_t n = std::min(piece, length - done);
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(data + done), static_cast<qsizetype>(n)));
    }
    return QString::fromLatin1(hash.result().toHex().toUpper());
}

} // namespace kestrum
