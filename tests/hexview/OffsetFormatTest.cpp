#include "HexEditorTestSupport.h"

#include "hexview/OffsetFormat.h"

#include <vector>

namespace kestrum::test {

namespace {

/// Rows of 16 bytes, columns of 2 bytes, a ruler unit of 1 byte: the editor's defaults.
constexpr OffsetFormat::UnitSizes defaultSizes {};

OffsetFormat parse(const char* text, const OffsetFormat::UnitSizes& sizes = defaultSizes)
{
    return OffsetFormat::parse(QString::fromLatin1(text), sizes);
}

QString parseError(const char* text, const OffsetFormat::UnitSizes& sizes = defaultSizes)
{
    return raisedText([&] { parse(text, sizes); });
}

} // namespace

TEST(OffsetFormatParse, AnEmptyTextIsNoFormatAndWritesPlainUpperCaseHexadecimal)
{
    for (const OffsetFormat& format : {OffsetFormat {}, parse("")}) {
        EXPECT_TRUE(format.isEmpty());
        EXPECT_EQ(format.flags, 0);
        EXPECT_EQ(format.format(0xABC, false), QStringLiteral("ABC"));
        EXPECT_EQ(format.format(0xABC, true), QStringLiteral("ABC")); // lower case needs a format
        EXPECT_EQ(format.format(0, false), QStringLiteral("0"));
    }
}

TEST(OffsetFormatParse, TheDefaultTextIsComputedWidthHexadecimalAfter0x)
{
    const OffsetFormat format = parse(DefaultOffsetFormat, {.bytesPerRow = 16, .bytesPerColumn = 2, .rulerUnit = 4});
    EXPECT_FALSE(format.isEmpty());
    EXPECT_EQ(format.text, QStringLiteral("-!10:0x|"));
    EXPECT_EQ(format.flags, offsetFlagBit(OffsetFlag::CalcWidth) | offsetFlagBit(OffsetFlag::BytesPerUnit));
    EXPECT_EQ(format.bytesPerUnit, 4); // the ruler's
    EXPECT_EQ(format.minWidth, 1);
    EXPECT_EQ(format.radix, 16);
    EXPECT_EQ(format.prefix, QStringLiteral("0x"));
    EXPECT_EQ(format.suffix, QString());
}

TEST(OffsetFormatParse, TheUnitComesFromRowsColumnsTheTextOrTheRuler)
{
    const OffsetFormat::UnitSizes sizes {.bytesPerRow = 8, .bytesPerColumn = 4, .rulerUnit = 2};
    struct Case
    {
        const char* text;
        int unit;
        OffsetFlags flags;
    };
    const std::vector<Case> cases = {
        {"R%10:|", 8, offsetFlagBit(OffsetFlag::CalcRow)},
        {"r%10:|", 8, offsetFlagBit(OffsetFlag::CalcRow)},
        {"C%10:|", 4, offsetFlagBit(OffsetFlag::CalcColumn)},
        {"c%10:|", 4, offsetFlagBit(OffsetFlag::CalcColumn)},
        {"1%10:|", 1, 0},
        {"08%10:|", 8, 0},
        {"%10:|", 2, offsetFlagBit(OffsetFlag::BytesPerUnit)},
        {"10:|", 2, offsetFlagBit(OffsetFlag::BytesPerUnit)},
    };
    for (const Case& c : cases) {
        const OffsetFormat format = parse(c.text, sizes);
        EXPECT_EQ(format.bytesPerUnit, c.unit) << c.text;
        EXPECT_EQ(format.flags, c.flags) << c.text;
        EXPECT_EQ(format.radix, 16) << c.text;
    }
}

TEST(OffsetFormatParse, AUnitOtherThan1248IsRefusedBeforeTheRestIsRead)
{
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"3%10:|", "3"}, // not a power of two
        {"0%10:|", "0"}, // no bytes
        {"10%10:|", "16"}, // the number is hexadecimal
        {"R%10:|", "16"}, // rows of 16 bytes
        {"3%11", "3"}, // the later errors are not reached
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(parseError(text), QStringLiteral("Invalid bytes per unit value %1, allowed: 1,2,4,8").arg(value))
            << text;
    }
    EXPECT_EQ(parseError("C%10:|", {.bytesPerRow = 16, .bytesPerColumn = 3, .rulerUnit = 1}),
        QStringLiteral("Invalid bytes per unit value 3, allowed: 1,2,4,8"));
}

TEST(OffsetFormatParse, TheMinimumWidthIsComputedGivenInHexadecimalOrOne)
{
    const std::vector<std::tuple<const char*, int, bool>> cases = {
        {"-!10:|", 1, true},
        {"8!10:|", 8, false},
        {"A!10:|", 10, false},
        {"!10:|", 1, false},
        {"0!10:|", 0, false},
        {"10:|", 1, false},
        {"2%-!10:|", 1, true},
    };
    for (const auto& [text, width, computed] : cases) {
        const OffsetFormat format = parse(text);
        EXPECT_EQ(format.minWidth, width) << text;
        EXPECT_EQ(format.has(OffsetFlag::CalcWidth), computed) << text;
    }
}

TEST(OffsetFormatParse, EveryRadixFrom2To16WritesItsDigits)
{
    for (int radix = 2; radix <= 16; ++radix) {
        const QString text = QString::number(radix, 16) + QStringLiteral(":|");
        const OffsetFormat format = OffsetFormat::parse(text, defaultSizes);
        EXPECT_EQ(format.radix, radix) << text.toStdString();
        EXPECT_EQ(format.format(1000, false), QString::number(1000, radix).toUpper()) << text.toStdString();
        EXPECT_EQ(format.format(1000, true), QString::number(1000, radix)) << text.toStdString();
    }
    EXPECT_EQ(parse("0010:|").radix, 16);
}

TEST(OffsetFormatParse, AMissingPartOrARadixOutside2To16IsRefused)
{
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"1:|", "Invalid radix in offset format (1h), allowed: 02h..10h"},
        {"0:|", "Invalid radix in offset format (0h), allowed: 02h..10h"},
        {"11:|", "Invalid radix in offset format (11h), allowed: 02h..10h"},
        {"100:|", "Invalid radix in offset format (100h), allowed: 02h..10h"},
        {"-!", "Missing char in offset format: number radix"}, // nothing after the width
        {"-!:|", "Missing char in offset format: number radix"}, // no radix digits
        {"x10:|", "Missing char in offset format: number radix"}, // no digit first
        {"-!10", "Missing char in offset format: :"}, // the text ends after the radix
        {"10;|", "Missing char in offset format: :"}, // another character after the radix
        {"-!10:0x", "Missing char in offset format: |"}, // no bar
        {"11:0x", "Invalid radix in offset format (11h), allowed: 02h..10h"}, // the radix comes first
    };
    for (const auto& [text, error] : cases)
        EXPECT_EQ(parseError(text), QString::fromLatin1(error)) << text;
}

TEST(OffsetFormatParse, TheFirstBarSeparatesPrefixAndSuffix)
{
    const OffsetFormat format = parse("10:a:b|c|d");
    EXPECT_EQ(format.prefix, QStringLiteral("a:b"));
    EXPECT_EQ(format.suffix, QStringLiteral("c|d"));
    EXPECT_EQ(format.format(0x1F, false), QStringLiteral("a:b1Fc|d"));

    const OffsetFormat bare = parse("10:|");
    EXPECT_EQ(bare.prefix, QString());
    EXPECT_EQ(bare.suffix, QString());
}

TEST(OffsetFormatText, IsPrefixThePositionInUnitsPaddedToTheWidthAndSuffix)
{
    EXPECT_EQ(parse("4!2:[|]").format(5, false), QStringLiteral("[0101]"));
    EXPECT_EQ(parse("2!10:|").format(0x1234, false), QStringLiteral("1234")); // never cut
    EXPECT_EQ(parse("2%4!10:|").format(0x21, false), QStringLiteral("0010")); // units of 2 bytes, rounded down
    EXPECT_EQ(parse("-!10:0X|H").format(0xF0, true), QStringLiteral("0Xf0H")); // lower case: digits only

    // Width 0 writes position 0 as no digits; any other position as at least one.
    const OffsetFormat zeroWidth = parse("2%0!10:<|>");
    EXPECT_EQ(zeroWidth.format(0, false), QStringLiteral("<>"));
    EXPECT_EQ(zeroWidth.format(1, false), QStringLiteral("<0>"));
    EXPECT_EQ(zeroWidth.format(0x20, false), QStringLiteral("<10>"));
}

TEST(OffsetFormatText, AComputedWidthFitsTheLargestOffsetInUnits)
{
    OffsetFormat format = parse("-!10:|");
    format.fitWidthTo(0x1FFF0);
    EXPECT_EQ(format.minWidth, 5);
    EXPECT_EQ(format.format(0x10, false), QStringLiteral("00010"));
    format.fitWidthTo(0);
    EXPECT_EQ(format.minWidth, 1);

    OffsetFormat inUnits = parse("4%-!A:|");
    inUnits.fitWidthTo(4000); // unit 1000
    EXPECT_EQ(inUnits.minWidth, 4);

    OffsetFormat given = parse("3!10:|");
    given.fitWidthTo(0x1FFF0);
    EXPECT_EQ(given.minWidth, 3);

    OffsetFormat none;
    none.fitWidthTo(0x1FFF0);
    EXPECT_EQ(none.minWidth, 1);
}

TEST(OffsetFormatText, OnlyTheRulerUnitFollowsTheRuler)
{
    OffsetFormat ruler = parse("%10:|");
    ruler.followRulerUnit(4);
    EXPECT_EQ(ruler.bytesPerUnit, 4);
    EXPECT_EQ(ruler.format(0x40, false), QStringLiteral("10"));

    for (const char* text : {"2%10:|", "R%10:|", "C%10:|"}) {
        OffsetFormat fixed = parse(text, {.bytesPerRow = 2, .bytesPerColumn = 2, .rulerUnit = 1});
        fixed.followRulerUnit(4);
        EXPECT_EQ(fixed.bytesPerUnit, 2) << text;
    }
}

TEST(OffsetFormatUnit, OnlyOneTwoFourAndEightBytes)
{
    std::vector<int> valid;
    for (int bytes = -1; bytes <= 16; ++bytes) {
        if (OffsetFormat::isValidUnit(bytes))
            valid.push_back(bytes);
    }
    EXPECT_EQ(valid, (std::vector<int> {1, 2, 4, 8}));
}

TEST(RulerStringsBuild, NumbersEveryUnitOfARowInTheBase)
{
    RulerStrings ruler = RulerStrings::build(16, 1, 16, false, false);
    EXPECT_EQ(ruler.hex, QStringLiteral("000102030405060708090A0B0C0D0E0F"));
    EXPECT_EQ(ruler.chars, QStringLiteral("0123456789ABCDEF"));

    ruler = RulerStrings::build(8, 2, 16, false, false); // hex digits pad with "0", characters with spaces
    EXPECT_EQ(ruler.hex, QStringLiteral("0000000100020003"));
    EXPECT_EQ(ruler.chars, QStringLiteral(" 0 1 2 3"));

    ruler = RulerStrings::build(8, 8, 16, false, false);
    EXPECT_EQ(ruler.hex, QStringLiteral("0000000000000000"));
    EXPECT_EQ(ruler.chars, QStringLiteral("       0"));

    ruler = RulerStrings::build(12, 1, 10, false, false);
    EXPECT_EQ(ruler.hex, QStringLiteral("000102030405060708091011"));
    EXPECT_EQ(ruler.chars, QStringLiteral("012345678901")); // cut to the last digit

    ruler = RulerStrings::build(6, 1, 2, false, false);
    EXPECT_EQ(ruler.hex, QStringLiteral("000110110001")); // 4 and 5 cut to their last two digits
    EXPECT_EQ(ruler.chars, QStringLiteral("010101"));

    ruler = RulerStrings::build(5, 2, 16, false, false); // a partial unit at the end is left out
    EXPECT_EQ(ruler.hex, QStringLiteral("00000001"));
    EXPECT_EQ(ruler.chars, QStringLiteral(" 0 1"));
}

TEST(RulerStringsBuild, LowerCaseAndUnicodeCharacters)
{
    const RulerStrings lower = RulerStrings::build(16, 1, 16, false, true);
    EXPECT_EQ(lower.hex, QStringLiteral("000102030405060708090a0b0c0d0e0f"));
    EXPECT_EQ(lower.chars, QStringLiteral("0123456789abcdef"));

    // One character column per two bytes.
    const RulerStrings unicode = RulerStrings::build(8, 2, 16, true, false);
    EXPECT_EQ(unicode.hex, QStringLiteral("0000000100020003"));
    EXPECT_EQ(unicode.chars, QStringLiteral("0123"));
    const RulerStrings wide = RulerStrings::build(8, 4, 16, true, false);
    EXPECT_EQ(wide.chars, QStringLiteral(" 0 1"));
}

} // namespace kestrum::test
