#pragma once

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <optional>

namespace kestrum {

/// A serial number written into the image: once for a single chip, for every chip that passes in a
/// production run (a chip that fails leaves its number to the next one).
struct Serial
{
    enum class Format { Le, Be, Ascii, Hex };
    quint32 address = 0;
    quint64 start = 0;
    quint64 step = 1;
    int width = 4;
    Format format = Format::Le;

    /// The bytes of that serial number.
    [[nodiscard]] QByteArray bytes(quint64 value) const
    {
        QByteArray b;
        if (format == Format::Ascii || format == Format::Hex) {
            const QString digits = QString::number(value, format == Format::Hex ? 16 : 10).toUpper();
            return digits.right(width).rightJustified(width, QLatin1Char('0')).toLatin1();
        }
        for (int i = 0; i < width; ++i)
            b.append(static_cast<char>(i < 8 ? (value >> (8 * i)) & 0xFF : 0));
        if (format == Format::Be)
            std::reverse(b.begin(), b.end());
        return b;
    }
};

/// Parses ADDR:START[:STEP][:WIDTH][:le|be|ascii|hex]; none when the text is malformed or the
/// number would run past the data buffer.
std::optional<Serial> parseSerial(const QString& text);

} // namespace kestrum
