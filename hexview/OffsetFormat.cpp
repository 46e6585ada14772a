#include "hexview/OffsetFormat.h"

#include "hexview/HexEditorError.h"
#include "hexview/Radix.h"

namespace kestrum {

namespace {

bool isHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        || (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
}

qsizetype firstNonHexDigit(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && isHexDigit(text[i]))
        ++i;
    return i;
}

[[noreturn]] void raiseMissingChar(const char* what)
{
    throw HexEditorError(QString::fromLatin1(ErrMissingChar).arg(QLatin1String(what)));
}

} // namespace

bool OffsetFormat::isValidUnit(int bytes)
{
    return bytes == 1 || bytes == 2 || bytes == 4 || bytes == 8;
}

OffsetFormat OffsetFormat::parse(const QString& text, const UnitSizes& sizes)
{
    OffsetFormat parsed;
    parsed.text = text;
    if (text.isEmpty())
        return parsed;
    QString rest = text;

    // Unit: "R%" rows, "C%" columns, "<hex>%" explicit, else the ruler's bytes per unit.
    const QString head = rest.left(2).toUpper();
    int unit = 0;
    if (head == QLatin1String("R%")) {
        parsed.flags |= offsetFlagBit(OffsetFlag::CalcRow);
        unit = sizes.bytesPerRow;
        rest.remove(0, 2);
    } else if (head == QLatin1String("C%")) {
        parsed.flags |= offsetFlagBit(OffsetFlag::CalcColumn);
        unit = sizes.bytesPerColumn;
        rest.remove(0, 2);
    } else {
        const qsizetype at = firstNonHexDigit(rest);
        if (at < rest.size() && rest[at] == QLatin1Char('%') && at > 0) {
            unit = radixToInt(rest.left(at), 16);
            rest.remove(0, at + 1);
        } else {
            parsed.flags |= offsetFlagBit(OffsetFlag::BytesPerUnit);
            unit = sizes.rulerUnit;
            if (at == 0 && !rest.isEmpty() && rest[0] == QLatin1Char('%'))
                rest.remove(0, 1);
        }
    }
    if (!isValidUnit(unit))
        throw HexEditorError(QString::fromLatin1(ErrBytesPerUnit).arg(unit));
    parsed.bytesPerUnit = unit;

    // Minimum width: "-!" computed, "<hex>!" given, else 1.
    if (rest.startsWith(QLatin1String("-!"))) {
        parsed.flags |= offsetFlagBit(OffsetFlag::CalcWidth);
        parsed.minWidth = 1;
        rest.remove(0, 2);
    } else {
        const qsizetype at = firstNonHexDigit(rest);
        if (at < rest.size() && rest[at] == QLatin1Char('!')) {
            parsed.minWidth = at > 0 ? radixToInt(rest.left(at), 16) : 1;
            rest.remove(0, at + 1);
        } else {
            parsed.minWidth = 1;
        }
    }

    // Radix: hexadecimal digits and ":".
    const qsizetype radixEnd = firstNonHexDigit(rest);
    if (radixEnd == 0)
        raiseMissingChar("number radix");
    if (radixEnd >= rest.size() || rest[radixEnd] != QLatin1Char(':'))
        raiseMissingChar(":");
    const quint64 radix = radixToInt64(rest.left(radixEnd), 16);
    if (radix < 2 || radix > 16)
        throw HexEditorError(QString::fromLatin1(ErrInvalidRadix).arg(QString::number(radix, 16).toUpper()));
    parsed.radix = static_cast<int>(radix);
    rest.remove(0, radixEnd + 1);

    // Prefix "|" suffix.
    const qsizetype bar = rest.indexOf(QLatin1Char('|'));
    if (bar < 0)
        raiseMissingChar("|");
    parsed.prefix = rest.left(bar);
    parsed.suffix = rest.mid(bar + 1);
    return parsed;
}

QString OffsetFormat::format(qint64 position, bool lowerCaseDigits) const
{
    if (isEmpty())
        return intToRadix64(static_cast<quint64>(position), 16);
    QString digits;
    if (minWidth != 0 || position != 0)
        digits = intToRadixLen64(static_cast<quint64>(position / bytesPerUnit), radix, minWidth);
    if (lowerCaseDigits)
        digits = digits.toLower();
    return prefix + digits + suffix;
}

void OffsetFormat::fitWidthTo(qint64 largestPosition)
{
    if (!isEmpty() && has(OffsetFlag::CalcWidth))
        minWidth = static_cast<int>(intToRadix64(static_cast<quint64>(largestPosition / bytesPerUnit), radix).size());
}

void OffsetFormat::followRulerUnit(int rulerUnit)
{
    if (has(OffsetFlag::BytesPerUnit))
        bytesPerUnit = rulerUnit;
}

RulerStrings RulerStrings::build(int bytesPerRow, int unit, int base, bool unicodeChars, bool lowerCase)
{
    RulerStrings ruler;
    const int units = bytesPerRow / unit;
    const int charDigits = unicodeChars ? unit / 2 : unit;
    for (int n = 0; n < units; ++n) {
        ruler.hex += intToRadixLen(n, base, 2 * unit).right(2 * unit);
        if (charDigits > 0) {
            const QString digits = intToRadix(n, base);
            ruler.chars += digits.size() > charDigits ? digits.right(charDigits)
                                                      : digits.rightJustified(charDigits, QLatin1Char(' '));
        }
    }
    if (lowerCase) {
        ruler.hex = ruler.hex.toLower();
        ruler.chars = ruler.chars.toLower();
    }
    return ruler;
}

} // namespace kestrum
