#include "records/Series.h"

#include "base/IntegerText.h"

#include <QStringList>

#include <array>

namespace kestrum::records {

namespace {

constexpr std::array<const char*, 5> FormatNames {"le", "be", "ascii", "hex", "mac"};

/// A number of a serial text: decimal, or hexadecimal after 0x; none past 2^62.
std::optional<quint64> numberOf(const QString& text)
{
    IntegerNotation n;
    n.zeroXHex = true;
    n.range = IntegerRange::Wrap64;
    const IntegerReading r = readInteger(text, n);
    const qsizetype digits = text.size() - (r.radix == 16 ? 2 : 0);
    if (!r.value || digits > (r.radix == 16 ? 16 : 19) || *r.value < 0
        || static_cast<quint64>(*r.value) > LargestSeriesNumber)
        return std::nullopt;
    return static_cast<quint64>(*r.value);
}

/// The largest number `width` bytes of a format hold (at most LargestSeriesNumber).
quint64 largestNumber(NumberFormat format, int width)
{
    if (format == NumberFormat::Mac)
        return LargestMacAddress;
    const int bitsPerByte = format == NumberFormat::Hex ? 4 : 8;
    if (format == NumberFormat::Ascii) {
        quint64 top = 0;
        for (int i = 0; i < width && top <= LargestSeriesNumber / 10; ++i)
            top = top * 10 + 9;
        return std::min(top, LargestSeriesNumber);
    }
    return width * bitsPerByte >= 62 ? LargestSeriesNumber : (quint64 {1} << (width * bitsPerByte)) - 1;
}

} // namespace

QByteArray Series::bytes(quint64 value) const
{
    if (format == NumberFormat::Ascii || format == NumberFormat::Hex)
        return numberText(format, value).rightJustified(width, QLatin1Char('0')).toLatin1();
    const int count = format == NumberFormat::Mac ? 6 : width;
    QByteArray out(count, '\0');
    for (int i = 0; i < count && i < 8; ++i) {
        const char byte = static_cast<char>((value >> (8 * i)) & 0xFF);
        out[format == NumberFormat::Le ? i : count - 1 - i] = byte;
    }
    return out;
}

quint64 Series::numbersLeft() const
{
    return next > last ? 0 : (last - next) / step + 1;
}

QString numberText(NumberFormat format, quint64 value)
{
    if (format == NumberFormat::Hex)
        return QString::number(value, 16).toUpper();
    if (format != NumberFormat::Mac)
        return QString::number(value);
    QStringList octets;
    for (int shift = 40; shift >= 0; shift -= 8)
        octets << QStringLiteral("%1").arg((value >> shift) & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
    return octets.join(QLatin1Char(':'));
}

QString formatName(NumberFormat format)
{
    return QString::fromLatin1(FormatNames[static_cast<size_t>(format)]);
}

std::optional<NumberFormat> formatOf(const QString& name)
{
    for (size_t i = 0; i < FormatNames.size(); ++i)
        if (name.compare(QLatin1String(FormatNames[i]), Qt::CaseInsensitive) == 0)
            return static_cast<NumberFormat>(i);
    return std::nullopt;
}

std::optional<Series> parseSeries(
    const QString& name, const QString& serialText, const std::optional<quint64>& last, quint64 bufferSize)
{
    const QStringList parts = serialText.split(QLatin1Char(':'));
    if (name.isEmpty() || parts.size() < 2 || parts.size() > 5)
        return std::nullopt;
    Series s;
    s.name = name;
    const auto address = numberOf(parts[0]);
    const auto first = numberOf(parts[1]);
    if (!address || !first)
        return std::nullopt;
    qsizetype i = 2;
    std::optional<quint64> step = 1;
    std::optional<quint64> width;
    if (i < parts.size() && !formatOf(parts[i]))
        step = numberOf(parts[i++]);
    if (i < parts.size() && !formatOf(parts[i]))
        width = numberOf(parts[i++]);
    if (i < parts.size())
        s.format = formatOf(parts[i++]).value_or(NumberFormat::Le);
    if (i != parts.size() || !step || *step == 0 || (i > 2 && width && *width == 0))
        return std::nullopt;
    s.step = *step;
    s.first = s.next = *first;
    if (s.format == NumberFormat::Mac && width && *width != 6)
        return std::nullopt;
    s.width = static_cast<int>(std::min<quint64>(width.value_or(s.format == NumberFormat::Mac ? 6 : 4), 65));
    // The last number defaults to the largest the width holds; a number wider than the field
    // would be cut and repeat, so the last number must fit it.
    s.last = last.value_or(largestNumber(s.format, s.width));
    if (s.width > 64 || s.first > s.last || s.last > largestNumber(s.format, s.width))
        return std::nullopt;
    if (*address + static_cast<quint64>(s.width) > bufferSize)
        return std::nullopt;
    s.address = static_cast<quint32>(*address);
    return s;
}

} // namespace kestrum::records
