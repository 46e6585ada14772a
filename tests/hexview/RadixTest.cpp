#include "HexEditorTestSupport.h"

#include "hexview/MPHRadix.h"

#include <limits>

namespace kestrum::test {

TEST(Radix, IntToRadixWritesUnsignedDigitsPaddedToTheMinimumLength)
{
    EXPECT_EQ(IntToRadix(0, 16), QStringLiteral("0"));
    EXPECT_EQ(IntToRadix(0x1FFF0, 16), QStringLiteral("1FFF0"));
    EXPECT_EQ(IntToRadix(10, 2), QStringLiteral("1010"));
    EXPECT_EQ(IntToRadix(-1, 16), QStringLiteral("FFFFFFFF")); // unsigned
    EXPECT_EQ(IntToRadixLen(0xF0, 16, 5), QStringLiteral("000F0"));
    EXPECT_EQ(IntToRadixLen(0x12345, 16, 2), QStringLiteral("12345")); // never cut
    EXPECT_EQ(IntToRadixLen(0, 10, 0), QStringLiteral("0")); // at least one digit
    EXPECT_EQ(IntToOctal(8), QStringLiteral("10"));
    EXPECT_EQ(IntToRadix64(std::numeric_limits<quint64>::max(), 16), QStringLiteral("FFFFFFFFFFFFFFFF"));
    EXPECT_EQ(IntToRadixLen64(0x100000000ULL, 16, 12), QStringLiteral("000100000000"));
    EXPECT_EQ(IntToRadix(35, 13), QStringLiteral("29"));
}

TEST(Radix, RadixToIntAcceptsOnlyTheDigitsOfTheRadix)
{
    EXPECT_EQ(RadixToInt(QStringLiteral("1fff0"), 16), 0x1FFF0);
    EXPECT_EQ(RadixToInt(QStringLiteral("1010"), 2), 10);
    EXPECT_EQ(RadixToInt(QString(), 16), 0);
    EXPECT_EQ(OctalToInt(QStringLiteral("777")), 511);
    EXPECT_EQ(RadixToInt64(QStringLiteral("FFFFFFFFFFFFFFFF"), 16), std::numeric_limits<quint64>::max());
    EXPECT_EQ(raisedText([] { RadixToInt(QStringLiteral("12"), 2); }),
        QStringLiteral("Invalid character 2, cannot convert using radix 2h"));
    EXPECT_EQ(raisedText([] { RadixToInt(QStringLiteral("1A"), 10); }),
        QStringLiteral("Invalid character A, cannot convert using radix Ah"));
    EXPECT_EQ(raisedText([] { RadixToInt64(QStringLiteral("0x10"), 16); }),
        QStringLiteral("Invalid character X, cannot convert using radix 10h"));
    EXPECT_EQ(raisedText([] { IntToRadix(5, 17); }),
        QStringLiteral("Invalid radix in offset format (11h), allowed: 02h..10h"));
}

TEST(Radix, CheckRadixToIntTakesTheRadixFromTheNotation)
{
    EXPECT_EQ(CheckRadixToInt(QStringLiteral("0x1F")), 31);
    EXPECT_EQ(CheckRadixToInt(QStringLiteral("0X1f")), 31);
    EXPECT_EQ(CheckRadixToInt(QStringLiteral("$1F")), 31);
    EXPECT_EQ(CheckRadixToInt(QStringLiteral("1Fh")), 31);
    EXPECT_EQ(CheckRadixToInt(QStringLiteral("1FH")), 31);
    EXPECT_EQ(CheckRadixToInt(QStringLiteral("17o")), 15);
    EXPECT_EQ(CheckRadixToInt(QStringLiteral("O17")), 15);
    EXPECT_EQ(CheckRadixToInt(QStringLiteral("101%")), 5);
    EXPECT_EQ(CheckRadixToInt(QStringLiteral("%101")), 5);
    EXPECT_EQ(CheckRadixToInt(QStringLiteral("101")), 101);
    EXPECT_EQ(CheckRadixToInt(QStringLiteral("-12")), -12);
    EXPECT_EQ(CheckRadixToInt64(QStringLiteral("0x100000000")), 0x100000000LL);
    EXPECT_FALSE(raisedText([] { CheckRadixToInt(QStringLiteral("1F")); }).isEmpty()); // decimal without a mark
    EXPECT_FALSE(raisedText([] { CheckRadixToInt(QStringLiteral("18o")); }).isEmpty());
}

TEST(Radix, U64ArithmeticReportsOverflowAndDivisionByZero)
{
    constexpr quint64 max = std::numeric_limits<quint64>::max();
    quint64 result = 7;
    EXPECT_TRUE(TryAddU64(max - 1, 1, result));
    EXPECT_EQ(result, max);
    EXPECT_FALSE(TryAddU64(max, 1, result));
    EXPECT_EQ(result, max); // untouched on failure
    EXPECT_TRUE(TrySubtractU64(5, 5, result));
    EXPECT_EQ(result, 0U);
    EXPECT_FALSE(TrySubtractU64(4, 5, result));
    EXPECT_TRUE(TryMultiplyU64(0x100000000ULL, 0xFFFFFFFFULL, result));
    EXPECT_EQ(result, 0xFFFFFFFF00000000ULL);
    EXPECT_FALSE(TryMultiplyU64(0x100000000ULL, 0x100000000ULL, result));
    EXPECT_TRUE(TryMultiplyU64(0, max, result));
    EXPECT_EQ(result, 0U);
    EXPECT_TRUE(TryDivideU64(max, 16, result));
    EXPECT_EQ(result, max >> 4);
    EXPECT_FALSE(TryDivideU64(1, 0, result));
    EXPECT_TRUE(TryModuloU64(35, 16, result));
    EXPECT_EQ(result, 3U);
    EXPECT_FALSE(TryModuloU64(1, 0, result));

    EXPECT_EQ(AddU64(1, 2), 3U);
    EXPECT_EQ(SubtractU64(9, 2), 7U);
    EXPECT_EQ(MultiplyU64(6, 7), 42U);
    EXPECT_EQ(DivideU64(42, 5), 8U);
    EXPECT_EQ(ModuloU64(42, 5), 2U);
    const QString overflow = QStringLiteral("Integer overflow");
    const QString byZero = QStringLiteral("Division by zero");
    EXPECT_EQ(raisedText([] { AddU64(max, 1); }), overflow);
    EXPECT_EQ(raisedText([] { SubtractU64(0, 1); }), overflow);
    EXPECT_EQ(raisedText([] { MultiplyU64(max, 2); }), overflow);
    EXPECT_EQ(raisedText([] { DivideU64(1, 0); }), byZero);
    EXPECT_EQ(raisedText([] { ModuloU64(1, 0); }), byZero);
}

TEST(Radix, FadeToGrayWeighsTheChannels)
{
    EXPECT_EQ(FadeToGray(0xFFFFFF), 0xFFFFFFU); // the weights add up to 256
    EXPECT_EQ(FadeToGray(0x808080), 0x808080U);
    EXPECT_EQ(FadeToGray(0x000000), 0x000000U);
    EXPECT_EQ(FadeToGray(0xFF0000), 0x494949U); // 74 * 255 / 256 = 73
    EXPECT_EQ(FadeToGray(0x00FF00), 0x919191U); // 146 * 255 / 256 = 145
    EXPECT_EQ(FadeToGray(0x0000FF), 0x232323U); // 36 * 255 / 256 = 35
}

} // namespace kestrum::test
