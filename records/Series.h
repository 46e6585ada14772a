#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace kestrum::records {

/// How a number becomes the bytes written into the image.
enum class NumberFormat {
    Le, ///< binary, least significant byte first
    Be, ///< binary, most significant byte first
    Ascii, ///< decimal digits
    Hex, ///< upper-case hexadecimal digits
    Mac, ///< a MAC address: 6 bytes, most significant first
};

/// The largest number a series may hold: the store counts in signed 64 bits, and the next number
/// after the last must still fit.
inline constexpr quint64 LargestSeriesNumber = (quint64 {1} << 62) - 1;
inline constexpr quint64 LargestMacAddress = (quint64 {1} << 48) - 1;

/// A named serial series: where and how its numbers are written, and which numbers it hands out.
struct Series
{
    QString name;
    quint32 address = 0;
    int width = 4;
    NumberFormat format = NumberFormat::Le;
    quint64 step = 1;
    quint64 first = 0;
    quint64 last = LargestSeriesNumber;
    quint64 next = 0; ///< the next number never handed out; past `last` when the series ran out

    /// The bytes of a number of this series (width bytes; a MAC address is always 6).
    [[nodiscard]] QByteArray bytes(quint64 value) const;
    /// The numbers never handed out yet.
    [[nodiscard]] quint64 numbersLeft() const;
};

/// A number shown as the series writes it: a MAC address as 00:11:22:33:44:55, others in decimal.
QString numberText(NumberFormat format, quint64 value);

QString formatName(NumberFormat format);
std::optional<NumberFormat> formatOf(const QString& name);

/// Reads ADDR:START[:STEP][:WIDTH][:le|be|ascii|hex|mac] and the optional last number (none: the
/// largest the format holds) into a series; none when the text is malformed, the width does not
/// hold the numbers' bytes, the bytes end past `bufferSize`, or START lies past the last number.
std::optional<Series> parseSeries(
    const QString& name, const QString& serialText, const std::optional<quint64>& last, quint64 bufferSize);

} // namespace kestrum::records
