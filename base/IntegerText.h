#pragma once

#include <QStringView>
#include <QtGlobal>

#include <optional>

namespace kestrum {

/// What a value read from text must fit.
enum class IntegerRange {
    /// A signed 32-bit number: decimal -2147483648..2147483647; in another radix at most 32 bits,
    /// read as a signed number ("FFFFFFFF" is -1).
    Int32,
    /// Any number of digits; the value wraps around like an unsigned 64-bit number.
    Wrap64,
    /// An unsigned 64-bit number: 0..18446744073709551615; its bits are the reading's value.
    UInt64,
};

/// How one kind of field writes integers: the radix of a bare number, the marks that choose
/// another radix, and what may lead the digits. readInteger reads an integer of a field with the
/// notation of that field.
struct IntegerNotation
{
    int radix = 10; ///< the radix of a number without a radix mark (2..36)
    bool blanksBefore = false; ///< blanks before the sign and the number are skipped
    bool signs = false; ///< '+' or '-' may lead the number, before any radix mark
    bool minusDecimal = false; ///< '-' may lead a number that carries no radix mark
    bool zeroXHex = false; ///< "0x" or "0X" before the digits: hexadecimal
    bool dollarHex = false; ///< "$" before the digits: hexadecimal
    bool xHex = false; ///< "x" or "X" before the digits: hexadecimal
    bool hashDecimal = false; ///< "#" before the digits: decimal
    bool zeroBBinary = false; ///< "0b" or "0B" before the digits: binary
    bool zeroOctal = false; ///< "0" before more digits: octal
    /// "h"/"H" after the digits: hexadecimal; "o"/"O" before or after: octal; "%" before or
    /// after: binary.
    bool radixSuffixes = false;
    bool emptyIsZero = false; ///< no digits at all read as 0
    IntegerRange range = IntegerRange::Int32;

    /// Settings keys and chip-editor cells: optional blanks and sign, then decimal digits or
    /// hexadecimal digits after "$", "0x" or "x" (either case).
    static constexpr IntegerNotation decimalOrHex()
    {
        IntegerNotation n;
        n.blanksBefore = n.signs = n.zeroXHex = n.dollarHex = n.xHex = true;
        return n;
    }
    /// Fill fields: hexadecimal digits only, as many leading zeros as typed.
    static constexpr IntegerNotation hexDigits()
    {
        IntegerNotation n;
        n.radix = 16;
        return n;
    }
    /// Addresses typed in the window: hexadecimal with or without "0x", decimal after "#".
    static constexpr IntegerNotation address()
    {
        IntegerNotation n;
        n.radix = 16;
        n.zeroXHex = n.hashDecimal = true;
        n.range = IntegerRange::UInt64;
        return n;
    }
    /// Sizes on the command line: decimal, or hexadecimal after "0x".
    static constexpr IntegerNotation decimalOrZeroXHex()
    {
        IntegerNotation n;
        n.zeroXHex = true;
        n.range = IntegerRange::UInt64;
        return n;
    }
    /// The fields of a serial number as C writes integers: decimal, hexadecimal after "0x",
    /// binary after "0b", octal after a leading "0".
    static constexpr IntegerNotation cLiteral()
    {
        IntegerNotation n;
        n.zeroXHex = n.zeroBBinary = n.zeroOctal = true;
        n.range = IntegerRange::UInt64;
        return n;
    }
    /// The hex editor's numbers in a fixed radix: its digits only, none at all being 0.
    static constexpr IntegerNotation digitsOf(int radix)
    {
        IntegerNotation n;
        n.radix = radix;
        n.emptyIsZero = true;
        n.range = IntegerRange::Wrap64;
        return n;
    }
    /// The hex editor's numbers whose radix follows from their marks ("0x", "$", "h", "o", "%"),
    /// else decimal with an optional '-'.
    static constexpr IntegerNotation radixMarks()
    {
        IntegerNotation n = digitsOf(10);
        n.zeroXHex = n.dollarHex = n.radixSuffixes = n.minusDecimal = true;
        return n;
    }
};

/// The outcome of reading one integer.
struct IntegerReading
{
    std::optional<qint64> value; ///< empty when the text is no number of the notation
    int radix = 10; ///< the radix the digits were read in
    /// The position of the first character that is no digit of that radix; -1 when every
    /// character was one (the failure was then no digits, or a value out of range).
    qsizetype badIndex = -1;
};

/// Reads the whole text as one integer of the notation. Nothing may follow the digits.
IntegerReading readInteger(QStringView text, const IntegerNotation& notation);

/// readInteger's value as a 32-bit number (for the Int32 range).
std::optional<qint32> readInt32(QStringView text, const IntegerNotation& notation);

} // namespace kestrum
