#include "buffer/Fill.h"

#include "base/IntegerText.h"

#include <random>

namespace kestrum {

std::optional<qint32> parseFillField(const QString& text, QString* error)
{
    const std::optional<qint32> value = readInt32(text, IntegerNotation::hexDigits());
    if (!value && error)
        *error = QStringLiteral("'0x%1' is not a valid integer value").arg(text);
    return value;
}

QString proposedFillEnd(std::uint32_t chipSize)
{
    return QString::number(chipSize - 1u, 16).toUpper();
}

FillResult fillBuffer(
    DataBuffer& buffer, const FillRequest& request, std::uint32_t seedSeconds, const QString& rangeError)
{
    FillResult result;
    // All four fields are read, whichever kind is chosen.
    const auto value8 = parseFillField(request.byteText, &result.error);
    if (!value8)
        return result;
    const auto value16 = parseFillField(request.wordText, &result.error);
    if (!value16)
        return result;
    const auto start = parseFillField(request.startText, &result.error);
    if (!start)
        return result;
    const auto end = parseFillField(request.endText, &result.error);
    if (!end)
        return result;

    // The fill never writes outside the buffer: a reversed range or one past its end is refused.
    if (*start < 0 || *end < *start || static_cast<std::uint32_t>(*end) >= BufferCapacity) {
        result.error = rangeError;
        return result;
    }
    const std::uint32_t from = static_cast<std::uint32_t>(*start);
    const std::uint32_t to = static_cast<std::uint32_t>(*end);
    std::uint8_t* bytes = buffer.data();

    switch (request.kind) {
    case FillKind::Byte:
        std::fill(bytes + from, bytes + to + 1, static_cast<std::uint8_t>(*value8));
        break;
    case FillKind::Word: {
        // Words start on an even address; with an odd count the last byte of the range stays.
        const std::uint32_t p = from & ~1u;
        const std::uint32_t n = (to - from + 1) / 2;
        for (std::uint32_t i = 0; i < n; ++i) {
            bytes[p + 2 * i] = static_cast<std::uint8_t>(*value16);
            bytes[p + 2 * i + 1] = static_cast<std::uint8_t>(*value16 >> 8);
        }
        break;
    }
    case FillKind::Random: {
        std::minstd_rand generator(seedSeconds);
        for (std::uint64_t a = from; a <= to; ++a)
            bytes[a] = static_cast<std::uint8_t>(generator());
        break;
    }
    }
    result.ok = true;
    result.usedLength = static_cast<qint32>(to + 1);
    buffer.usedLength = result.usedLength;
    return result;
}

} // namespace kestrum
