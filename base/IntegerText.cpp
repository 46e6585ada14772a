#include "base/IntegerText.h"

#include <limits>

namespace kestrum {

namespace {

int digitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'Z')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'z')
        return u - u'a' + 10;
    return 99;
}

bool isChar(QStringView text, qsizetype i, char16_t lower)
{
    return i >= 0 && i < text.size() && text[i].toLower().unicode() == lower;
}

} // namespace

IntegerReading readInteger(QStringView text, const IntegerNotation& notation)
{
    IntegerReading reading;
    qsizetype i = 0;
    qsizetype end = text.size();
    if (notation.blanksBefore) {
        while (i < end && text[i] == QLatin1Char(' '))
            ++i;
    }
    bool negative = false;
    if (notation.signs && i < end && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }

    // The radix marks, in the order in which they are recognised.
    int radix = notation.radix;
    bool marked = true;
    if (notation.zeroXHex && isChar(text, i, u'0') && isChar(text, i + 1, u'x') && i + 1 < end) {
        radix = 16;
        i += 2;
    } else if (notation.zeroBBinary && isChar(text, i, u'0') && isChar(text, i + 1, u'b') && i + 1 < end) {
        radix = 2;
        i += 2;
    } else if (notation.zeroOctal && isChar(text, i, u'0') && i + 1 < end) {
        radix = 8;
        ++i;
    } else if (notation.hashDecimal && isChar(text, i, u'#')) {
        radix = 10;
        ++i;
    } else if (notation.dollarHex && isChar(text, i, u'$')) {
        radix = 16;
        ++i;
    } else if (notation.xHex && isChar(text, i, u'x')) {
        radix = 16;
        ++i;
    } else if (notation.radixSuffixes && end > i && isChar(text, end - 1, u'h')) {
        radix = 16;
        --end;
    } else if (notation.radixSuffixes && end > i && isChar(text, end - 1, u'o')) {
        radix = 8;
        --end;
    } else if (notation.radixSuffixes && isChar(text, i, u'o')) {
        radix = 8;
        ++i;
    } else if (notation.radixSuffixes && end > i && isChar(text, end - 1, u'%')) {
        radix = 2;
        --end;
    } else if (notation.radixSuffixes && isChar(text, i, u'%')) {
        radix = 2;
        ++i;
    } else {
        marked = false;
    }
    if (!marked && notation.minusDecimal && !negative && isChar(text, i, u'-')) {
        negative = true;
        ++i;
    }
    reading.radix = radix;

    if (i >= end) {
        if (notation.emptyIsZero)
            reading.value = 0;
        return reading;
    }

    const bool int32 = notation.range == IntegerRange::Int32;
    const bool checked = notation.range != IntegerRange::Wrap64;
    const quint64 limit = !int32 ? std::numeric_limits<quint64>::max()
        : radix == 10            ? quint64(std::numeric_limits<qint32>::max()) + 1
                                 : quint64(std::numeric_limits<quint32>::max());
    quint64 value = 0;
    bool tooLarge = false;
    for (; i < end; ++i) {
        const int digit = digitValue(text[i]);
        if (digit >= radix) {
            reading.badIndex = i;
            return reading;
        }
        if (checked && !tooLarge && (value > (limit - quint64(digit)) / quint64(radix)))
            tooLarge = true;
        value = value * quint64(radix) + quint64(digit);
    }
    if (tooLarge)
        return reading;

    if (!int32) {
        reading.value = qint64(negative ? 0 - value : value);
    } else if (radix == 10) {
        const qint64 signedValue = negative ? -qint64(value) : qint64(value);
        if (signedValue <= std::numeric_limits<qint32>::max())
            reading.value = signedValue;
    } else {
        const quint32 bits = quint32(value);
        reading.value = qint32(negative ? 0u - bits : bits);
    }
    return reading;
}

std::optional<qint32> readInt32(QStringView text, const IntegerNotation& notation)
{
    const std::optional<qint64> value = readInteger(text, notation).value;
    if (!value)
        return std::nullopt;
    return qint32(*value);
}

} // namespace kestrum
