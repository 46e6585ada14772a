#include "hexview/Radix.h"

#include "hexview/HexEditorError.h"

#include "base/IntegerText.h"

#include <algorithm>
#include <limits>

namespace kestrum {

namespace {

constexpr char digitChars[] = "0123456789ABCDEF";

void checkRadix(int radix)
{
    if (radix < 2 || radix > 16)
        throw HexEditorError(QString::fromLatin1(ErrInvalidRadix).arg(QString::number(radix, 16).toUpper()));
}

[[noreturn]] void raise(const char* text)
{
    throw HexEditorError(QString::fromLatin1(text));
}

} // namespace

QString intToRadix64(quint64 value, int radix)
{
    return intToRadixLen64(value, radix, 1);
}

QString intToRadixLen64(quint64 value, int radix, int minLength)
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

QString intToRadix(qint32 value, int radix)
{
    return intToRadixLen64(static_cast<quint32>(value), radix, 1);
}

QString intToRadixLen(qint32 value, int radix, int minLength)
{
    return intToRadixLen64(static_cast<quint32>(value), radix, minLength);
}

QString intToOctal(qint32 value)
{
    return intToRadix(value, 8);
}

namespace {

/// Reads text in a notation of the editor; a character that is no digit of the radix raises.
quint64 readOrRaise(const QString& text, const IntegerNotation& notation)
{
    const IntegerReading reading = readInteger(text, notation);
    if (reading.badIndex >= 0)
        throw HexEditorError(
            QString::fromLatin1(ErrInvalidChar)
                .arg(QString(text[reading.badIndex].toUpper()), QString::number(reading.radix, 16).toUpper()));
    return quint64(reading.value.value_or(0));
}

} // namespace

quint64 radixToInt64(const QString& text, int radix)
{
    checkRadix(radix);
    return readOrRaise(text, IntegerNotation::digitsOf(radix));
}

qint32 radixToInt(const QString& text, int radix)
{
    return static_cast<qint32>(static_cast<quint32>(radixToInt64(text, radix)));
}

qint32 octalToInt(const QString& text)
{
    return radixToInt(text, 8);
}

qint64 checkRadixToInt64(const QString& text)
{
    return static_cast<qint64>(readOrRaise(text, IntegerNotation::radixMarks()));
}

qint32 checkRadixToInt(const QString& text)
{
    return static_cast<qint32>(static_cast<quint32>(checkRadixToInt64(text)));
}

bool tryAddU64(quint64 a, quint64 b, quint64& result)
{
    if (a > std::numeric_limits<quint64>::max() - b)
        return false;
    result = a + b;
    return true;
}

bool trySubtractU64(quint64 a, quint64 b, quint64& result)
{
    if (b > a)
        return false;
    result = a - b;
    return true;
}

bool tryMultiplyU64(quint64 a, quint64 b, quint64& result)
{
    if (a != 0 && b > std::numeric_limits<quint64>::max() / a)
        return false;
    result = a * b;
    return true;
}

bool tryDivideU64(quint64 a, quint64 b, quint64& result)
{
    if (b == 0)
        return false;
    result = a / b;
    return true;
}

bool tryModuloU64(quint64 a, quint64 b, quint64& result)
{
    if (b == 0)
        return false;
    result = a % b;
    return true;
}

quint64 addU64(quint64 a, quint64 b)
{
    quint64 result = 0;
    if (!tryAddU64(a, b, result))
        raise(ErrIntegerOverflow);
    return result;
}

quint64 subtractU64(quint64 a, quint64 b)
{
    quint64 result = 0;
    if (!trySubtractU64(a, b, result))
        raise(ErrIntegerOverflow);
    return result;
}

quint64 multiplyU64(quint64 a, quint64 b)
{
    quint64 result = 0;
    if (!tryMultiplyU64(a, b, result))
        raise(ErrIntegerOverflow);
    return result;
}

quint64 divideU64(quint64 a, quint64 b)
{
    quint64 result = 0;
    if (!tryDivideU64(a, b, result))
        raise(ErrDivisionByZero);
    return result;
}

quint64 moduloU64(quint64 a, quint64 b)
{
    quint64 result = 0;
    if (!tryModuloU64(a, b, result))
        raise(ErrDivisionByZero);
    return result;
}

quint32 fadeToGray(quint32 rgb)
{
    const quint32 red = (rgb >> 16) & 0xFF;
    const quint32 green = (rgb >> 8) & 0xFF;
    const quint32 blue = rgb & 0xFF;
    const quint32 level = (74 * red + 146 * green + 36 * blue) / 256;
    return (level << 16) | (level << 8) | level;
}

} // namespace kestrum
