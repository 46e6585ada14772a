#pragma once

#include <QString>

namespace kestrum {

// Number-to-text conversions of the hex editor in any radix from 2 to 16, with the digits
// "0123456789ABCDEF". A radix outside 2 to 16 raises HexEditorError with the radix error text of
// the offset format.

/// `value` as an unsigned number in `radix`, at least one digit.
QString intToRadix(qint32 value, int radix);
/// As intToRadix, left-padded with "0" to at least `minLength` digits.
QString intToRadixLen(qint32 value, int radix, int minLength);
QString intToRadix64(quint64 value, int radix);
QString intToRadixLen64(quint64 value, int radix, int minLength);
/// `value` in radix 8.
QString intToOctal(qint32 value);

/// Reads `text` in `radix` (upper or lower case); an empty text gives 0. Any character that is
/// not one of the first `radix` digits raises "Invalid character %s, cannot convert using radix
/// %xh". The value wraps around like an unsigned number of its width.
qint32 radixToInt(const QString& text, int radix);
quint64 radixToInt64(const QString& text, int radix);
qint32 octalToInt(const QString& text);

/// Reads a number whose radix follows from its notation: "0x", "0X" or "$" before it or "h"/"H"
/// after it is hexadecimal; "o"/"O" before or after it octal; "%" before or after it binary;
/// anything else decimal (with an optional leading "-").
qint32 checkRadixToInt(const QString& text);
qint64 checkRadixToInt64(const QString& text);

// Unsigned 64-bit arithmetic. The plain forms raise HexEditorError "Integer overflow" or
// "Division by zero"; the Try forms return false instead and leave `result` alone.
quint64 addU64(quint64 a, quint64 b);
quint64 subtractU64(quint64 a, quint64 b);
quint64 multiplyU64(quint64 a, quint64 b);
quint64 divideU64(quint64 a, quint64 b);
quint64 moduloU64(quint64 a, quint64 b);
[[nodiscard]] bool tryAddU64(quint64 a, quint64 b, quint64& result);
[[nodiscard]] bool trySubtractU64(quint64 a, quint64 b, quint64& result);
[[nodiscard]] bool tryMultiplyU64(quint64 a, quint64 b, quint64& result);
[[nodiscard]] bool tryDivideU64(quint64 a, quint64 b, quint64& result);
[[nodiscard]] bool tryModuloU64(quint64 a, quint64 b, quint64& result);

/// The grey of the same brightness as `rgb` (0xRRGGBB): level (74 R + 146 G + 36 B) div 256.
quint32 fadeToGray(quint32 rgb);

} // namespace kestrum
