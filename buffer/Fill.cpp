#include "buffer/Fill.h"

#include "base/IntegerText.h"

#include <algorithm>
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

std::optional<FillPlan> planFill(const FillRequest& request, const QString& rangeError, QString* error)
{
    // All four fields are read, whichever kind is chosen.
    const auto value8 = parseFillField(request.byteText, error);
    if (!value8)
        return std::nullopt;
    const auto value16 = parseFillField(request.wordText, error);
    if (!value16)
        return std::nullopt;
    const auto start = parseFillField(request.startText, error);
    if (!start)
        return std::nullopt;
    const auto end = parseFillField(request.endText, error);
    if (!end)
        return std::nullopt;

    // The fill never writes outside the buffer: a reversed range or one past its end is refused.
    if (*start < 0 || *end < *start || static_cast<std::uint32_t>(*end) >= BufferCapacity) {
        if (error)
            *error = rangeError;
        return std::nullopt;
    }
    FillPlan plan;
    plan.kind = request.kind;
    plan.value8 = static_cast<std::uint8_t>(*value8);
    plan.value16 = static_cast<std::uint16_t>(*value16);
    plan.start = static_cast<std::uint32_t>(*start);
    plan.end = static_cast<std::uint32_t>(*end);
    return plan;
}

qint32 applyFill(DataBuffer& buffer, const FillPlan& plan, std::uint32_t seedSeconds)
{
    const std::uint32_t from = plan.start;
    const std::uint32_t to = plan.end;
    std::uint8_t* bytes = buffer.data();

    switch (plan.kind) {
    case FillKind::Byte:
        std::fill(bytes + from, bytes + to + 1, plan.value8);
        break;
    case FillKind::Word: {
        // Words start on an even address; with an odd count the last byte of the range stays.
        const std::uint32_t p = from & ~1u;
        const std::uint32_t n = (to - from + 1) / 2;
        for (std::uint32_t i = 0; i < n; ++i) {
            bytes[p + 2 * i] = static_cast<std::uint8_t>(plan.value16);
            bytes[p + 2 * i + 1] = static_cast<std::uint8_t>(plan.value16 >> 8);
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
    buffer.usedLength = std::max(buffer.usedLength, static_cast<qint32>(to + 1));
    return buffer.usedLength;
}

FillResult fillBuffer(
    DataBuffer& buffer, const FillRequest& request, std::uint32_t seedSeconds, const QString& rangeError)
{
    FillResult result;
    const std::optional<FillPlan> plan = planFill(request, rangeError, &result.error);
    if (!plan)
        return result;
    result.ok = true;
    result.usedLength = applyFill(buffer, *plan, seedSeconds);
    return result;
}

QString fillLogLine(const Reporter& reporter, const FillPlan& plan)
{
    const auto hex = [](std::uint32_t value, int digits) {
        return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
    };
    const QString start = QStringLiteral("0x") + hex(plan.start, 8);
    const QString end = QStringLiteral("0x") + hex(plan.end, 8);
    switch (plan.kind) {
    case FillKind::Byte:
        return reporter.message(MsgFillByteLog).arg(hex(plan.value8, 2), start, end);
    case FillKind::Word:
        return reporter.message(MsgFillWordLog).arg(hex(plan.value16, 4), start, end);
    case FillKind::Random:
        break;
    }
    return reporter.message(MsgFillRandomLog).arg(start, end);
}

} // namespace kestrum
