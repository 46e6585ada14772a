#pragma once

#include <QString>
#include <QtGlobal>

namespace kestrum {

/// Flags of an offset format: width from the largest offset, unit from the bytes per row, per
/// column or per ruler unit.
enum class OffsetFlag : quint8 {
    CalcWidth = 0,
    CalcRow = 1,
    CalcColumn = 2,
    BytesPerUnit = 3,
};

/// A set of OffsetFlag (bit n = element n).
using OffsetFlags = quint8;

constexpr OffsetFlags offsetFlagBit(OffsetFlag flag)
{
    return OffsetFlags(1U << static_cast<unsigned>(flag));
}

/// The default offset format: hexadecimal after "0x", as wide as the largest offset.
inline constexpr const char* DefaultOffsetFormat = "-!10:0x|";

/// How the offset column writes a position, parsed from a text such as "-!10:0x|":
///
///     [unit "%"] [width "!"] radix ":" prefix "|" suffix
///
/// - unit: "R%" the bytes per row, "C%" the bytes per column (either letter case), hexadecimal
///   digits and "%" a given number; "%" alone or nothing the ruler's bytes per unit. It must be
///   1, 2, 4 or 8.
/// - width: "-!" as many digits as the largest offset needs, hexadecimal digits and "!" at least
///   that many digits ("!" alone: 1), nothing: 1. Width 0 writes offset 0 as no digits at all.
/// - radix: hexadecimal digits, 2 to 10h.
/// - prefix and suffix: any text; the first "|" separates them.
///
/// An offset is the prefix, the position divided by the unit in the radix, and the suffix. An
/// empty text is no format: offsets are then plain upper-case hexadecimal bytes.
struct OffsetFormat
{
    /// The sizes the unit of a format can follow.
    struct UnitSizes
    {
        int bytesPerRow = 16;
        int bytesPerColumn = 2;
        int rulerUnit = 1;
    };

    QString text; ///< the text the format was parsed from; empty for no format
    QString prefix;
    QString suffix;
    int minWidth = 1;
    OffsetFlags flags = 0;
    int radix = 16;
    int bytesPerUnit = 1;

    /// Parses `text`; raises HexEditorError with the text of the first error found.
    static OffsetFormat parse(const QString& text, const UnitSizes& sizes);
    /// 1, 2, 4 or 8.
    static bool isValidUnit(int bytes);

    bool isEmpty() const { return text.isEmpty(); }
    bool has(OffsetFlag flag) const { return flags & offsetFlagBit(flag); }

    /// The text of `position`; `lowerCaseDigits` turns the digits (not prefix and suffix) into
    /// lower case. Without a format: upper-case hexadecimal in any case.
    QString format(qint64 position, bool lowerCaseDigits) const;
    /// With OffsetFlag::CalcWidth: the width becomes the number of digits of the largest offset.
    void fitWidthTo(qint64 largestPosition);
    /// With OffsetFlag::BytesPerUnit: the unit becomes the ruler's.
    void followRulerUnit(int rulerUnit);
};

/// The ruler over the data fields: the number of every unit within a row, in the ruler's base.
struct RulerStrings
{
    QString hex; ///< over the hexadecimal field, one character per nibble column
    QString chars; ///< over the character field, one character per character column

    /// Each unit gets 2 * `unit` hexadecimal columns, cut to its last digits or padded with "0";
    /// and `unit` character columns (half of that with Unicode characters), cut to its last
    /// digits or padded with spaces on the left.
    static RulerStrings build(int bytesPerRow, int unit, int base, bool unicodeChars, bool lowerCase);
};

} // namespace kestrum
