#include "hexview/MPHRadix.h"

#include "hexview/EMPHexEditor.h"

#include "base/IntegerText.h"

#include <algorithm>
#include <limits>

namespace kestrum {

namespace {

constexpr char digitChars[] = "0123456789ABCDEF";

void checkRadix(int radix)
{
    if (radix < 2 || radix > 16)
        throw EMPHexEditor(QString::fromLatin1(MPH_ERR_INVALID_RADIX).arg(QString::number(radix, 16).toUpper()));
}

[[noreturn]] void raise(const char* text)
{
    throw EMPHexEditor(QString::fromLatin1(text));
}

} // namespace

QString IntToRadix64(quint64 value, int radix)
{
    return IntToRadixLen64(value, radix, 1);
}

QString IntToRadixLen64(quint64 value, int radix, int minLength)
{
    checkRadix(radix);
    char digits[64];
    int count = 0;
    do {
        digits[count++] = digitChars[value % unsigned(radix)];
        value /= unsigned(radix);
    } while (value != 0);
    QString text;
    text.reserve(std::max(count, minLength));
    for (int pad = count; pad < minLength; ++pad)
        text.append(QLatin1Char('0'));
    while (count > 0)
        text.append(QLatin1Char(digits[--count]));
    return text;
}

QString IntToRadix(qint32 value, int radix)
{
    return IntToRadixLen64(static_cast<quint32>(value), radix, 1);
}

QString IntToRadixLen(qint32 value, int radix, int minLength)
{
    return IntToRadixLen64(static_cast<quint32>(value), radix, minLength);
}

QString IntToOctal(qint32 value)
{
    return IntToRadix(value, 8);
}

namespace {

/// Reads text in a notation of the editor; a character that is no digit of the radix raises.
quint64 readOrRaise(const QString& text, const IntegerNotation& notation)
{
    const IntegerReading reading = readInteger(text, notation);
    if (reading.badIndex >= 0)
        throw EMPHexEditor(
            QString::fromLatin1(MPH_ERR_INVALID_CHAR)
                .arg(QString(text[reading.badIndex].toUpper()), QString::number(reading.radix, 16).toUpper()));
    return quint64(reading.value.value_or(0));
}

} // namespace

quint64 RadixToInt64(const QString& text, int radix)
{
    checkRadix(radix);
    return readOrRaise(text, IntegerNotation::digitsOf(radix));
}

qint32 RadixToInt(const QString& text, int radix)
{
    return static_cast<qint32>(static_cast<quint32>(RadixToInt64(text, radix)));
}

qint32 OctalToInt(const QString& text)
{
    return RadixToInt(text, 8);
}

qint64 CheckRadixToInt64(const QString& text)
{
    return static_cast<qint64>(readOrRaise(text, IntegerNotation::radixMarks()));
}

qint32 CheckRadixToInt(const QString& text)
{
    return static_cast<qint32>(static_cast<quint32>(CheckRadixToInt64(text)));
}

bool TryAddU64(quint64 a, quint64 b, quint64& result)
{
    if (a > std::numeric_limits<quint64>::max() - b)
        return false;
    result = a + b;
    return true;
}

bool TrySubtractU64(quint64 a, quint64 b, quint64& result)
{
    if (b > a)
        return false;
    result = a - b;
    return true;
}

bool TryMultiplyU64(quint64 a, quint64 b, quint64& result)
{
    if (a != 0 && b > std::numeric_limits<quint64>::max() / a)
        return false;
    result = a * b;
    return true;
}

bool TryDivideU64(quint64 a, quint64 b, quint64& result)
{
    if (b == 0)
        return false;
    result = a / b;
    return true;
}

bool TryModuloU64(quint64 a, quint64 b, quint64& result)
{
    if (b == 0)
        return false;
    result = a % b;
    return true;
}

quint64 AddU64(quint64 a, quint64 b)
{
    quint64 result = 0;
    if (!TryAddU64(a, b, result))
        raise(MPH_ERR_INTEGER_OVERFLOW);
    return result;
}

quint64 SubtractU64(quint64 a, quint64 b)
{
    quint64 result = 0;
    if (!TrySubtractU64(a, b, result))
        raise(MPH_ERR_INTEGER_OVERFLOW);
    return result;
}

quint64 MultiplyU64(quint64 a, quint64 b)
{
    quint64 result = 0;
    if (!TryMultiplyU64(a, b, result))
        raise(MPH_ERR_INTEGER_OVERFLOW);
    return result;
}

quint64 DivideU64(quint64 a, quint64 b)
{
    quint64 result = 0;
    if (!TryDivideU64(a, b, result))
        raise(MPH_ERR_DIVISION_BY_ZERO);
    return result;
}

quint64 ModuloU64(quint64 a, quint64 b)
{
    quint64 result = 0;
    if (!TryModuloU64(a, b, result))
        raise(MPH_ERR_DIVISION_BY_ZERO);
    return result;
}

quint32 FadeToGray(quint32 rgb)
{
    const quint32 red = (rgb >> 16) & 0xFF;
    const quint32 green = (rgb >> 8) & 0xFF;
    const quint32 blue = rgb & 0xFF;
    const quint32 level = (74 * red + 146 * green + 36 * blue) / 256;
    return (level << 16) | (level << 8) | level;
}

} // namespace kestrum
