#include "HexEditorTestSupport.h"

#include "hexview/Radix.h"

#include <limits>

namespace kestrum::test {

TEST(Radix, IntToRadixWritesUnsignedDigitsPaddedToTheMinimumLength)
{
    EXPECT_EQ(intToRadix(0, 16), QStringLiteral("0"));
    EXPECT_EQ(intToRadix(0x1FFF0, 16), QStringLiteral("1FFF0"));
    EXPECT_EQ(intToRadix(10, 2), QStringLiteral("1010"));
    EXPECT_EQ(intToRadix(-1, 16), QStringLiteral("FFFFFFFF")); // unsigned
    EXPECT_EQ(intToRadixLen(0xF0, 16, 5), QStringLiteral("000F0"));
    EXPECT_EQ(intToRadixLen(0x12345, 16, 2), QStringLiteral("12345")); // never cut
    EXPECT_EQ(intToRadixLen(0, 10, 0), QStringLiteral("0")); // at least one digit
    EXPECT_EQ(intToOctal(8), QStringLiteral("10"));
    EXPECT_EQ(intToRadix64(std::numeric_limits<quint64>::max(), 16), QStringLiteral("FFFFFFFFFFFFFFFF"));
    EXPECT_EQ(intToRadixLen64(0x100000000ULL, 16, 12), QStringLiteral("000100000000"));
    EXPECT_EQ(intToRadix(35, 13), QStringLiteral("29"));
}

TEST(Radix, RadixToIntAcceptsOnlyTheDigitsOfTheRadix)
{
    EXPECT_EQ(radixToInt(QStringLiteral("1fff0"), 16), 0x1FFF0);
    EXPECT_EQ(radixToInt(QStringLiteral("1010"), 2), 10);
    EXPECT_EQ(radixToInt(QString(), 16), 0);
    EXPECT_EQ(octalToInt(QStringLiteral("777")), 511);
    EXPECT_EQ(radixToInt64(QStringLiteral("FFFFFFFFFFFFFFFF"), 16), std::numeric_limits<quint64>::max());
    EXPECT_EQ(raisedText([] { radixToInt(QStringLiteral("12"), 2); }),
        QStringLiteral("Invalid character 2, cannot convert using radix 2h"));
    EXPECT_EQ(raisedText([] { radixToInt(QStringLiteral("1A"), 10); }),
        QStringLiteral("Invalid character A, cannot convert using radix Ah"));
    EXPECT_EQ(raisedText([] { radixToInt64(QStringLiteral("0x10"), 16); }),
        QStringLiteral("Invalid character X, cannot convert using radix 10h"));
    EXPECT_EQ(raisedText([] { intToRadix(5, 17); }),
        QStringLiteral("Invalid radix in offset format (11h), allowed: 02h..10h"));
}

TEST(Radix, CheckRadixToIntTakesTheRadixFromTheNotation)
{
    EXPECT_EQ(checkRadixToInt(QStringLiteral("0x1F")), 31);
    EXPECT_EQ(checkRadixToInt(QStringLiteral("0X1f")), 31);
    EXPECT_EQ(checkRadixToInt(QStringLiteral("$1F")), 31);
    EXPECT_EQ(checkRadixToInt(QStringLiteral("1Fh")), 31);
    EXPECT_EQ(checkRadixToInt(QStringLiteral("1FH")), 31);
    EXPECT_EQ(checkRadixToInt(QStringLiteral("17o")), 15);
    EXPECT_EQ(checkRadixToInt(QStringLiteral("O17")), 15);
    EXPECT_EQ(checkRadixToInt(QStringLiteral("101%")), 5);
    EXPECT_EQ(checkRadixToInt(QStringLiteral("%101")), 5);
    EXPECT_EQ(checkRadixToInt(QStringLiteral("101")), 101);
    EXPECT_EQ(checkRadixToInt(QStringLiteral("-12")), -12);
    EXPECT_EQ(checkRadixToInt64(QStringLiteral("0x100000000")), 0x100000000LL);
    EXPECT_FALSE(raisedText([] { checkRadixToInt(QStringLiteral("1F")); }).isEmpty()); // decimal without a mark
    EXPECT_FALSE(raisedText([] { checkRadixToInt(QStringLiteral("18o")); }).isEmpty());
}

TEST(Radix, U64ArithmeticReportsOverflowAndDivisionByZero)
{
    constexpr quint64 max = std::numeric_limits<quint64>::max();
    quint64 result = 7;
    EXPECT_TRUE(tryAddU64(max - 1, 1, result));
    EXPECT_EQ(result, max);
    EXPECT_FALSE(tryAddU64(max, 1, result));
    EXPECT_EQ(result, max); // untouched on failure
    EXPECT_TRUE(trySubtractU64(5, 5, result));
    EXPECT_EQ(result, 0U);
    EXPECT_FALSE(trySubtractU64(4, 5, result));
    EXPECT_TRUE(tryMultiplyU64(0x100000000ULL, 0xFFFFFFFFULL, result));
    EXPECT_EQ(result, 0xFFFFFFFF00000000ULL);
    EXPECT_FALSE(tryMultiplyU64(0x100000000ULL, 0x100000000ULL, result));
    EXPECT_TRUE(tryMultiplyU64(0, max, result));
    EXPECT_EQ(result, 0U);
    EXPECT_TRUE(tryDivideU64(max, 16, result));
    EXPECT_EQ(result, max >> 4);
    EXPECT_FALSE(tryDivideU64(1, 0, result));
    EXPECT_TRUE(tryModuloU64(35, 16, result));
    EXPECT_EQ(result, 3U);
    EXPECT_FALSE(tryModuloU64(1, 0, result));

    EXPECT_EQ(addU64(1, 2), 3U);
    EXPECT_EQ(subtractU64(9, 2), 7U);
    EXPECT_EQ(multiplyU64(6, 7), 42U);
    EXPECT_EQ(divideU64(42, 5), 8U);
    EXPECT_EQ(moduloU64(42, 5), 2U);
    const QString overflow = QStringLiteral("Integer overflow");
    const QString byZero = QStringLiteral("Division by zero");
    EXPECT_EQ(raisedText([] { addU64(max, 1); }), overflow);
    EXPECT_EQ(raisedText([] { subtractU64(0, 1); }), overflow);
    EXPECT_EQ(raisedText([] { multiplyU64(max, 2); }), overflow);
    EXPECT_EQ(raisedText([] { divideU64(1, 0); }), byZero);
    EXPECT_EQ(raisedText([] { moduloU64(1, 0); }), byZero);
}

TEST(Radix, FadeToGrayWeighsTheChannels)
{
    EXPECT_EQ(fadeToGray(0xFFFFFF), 0xFFFFFFU); // the weights add up to 256
    EXPECT_EQ(fadeToGray(0x808080), 0x808080U);
    EXPECT_EQ(fadeToGray(0x000000), 0x000000U);
    EXPECT_EQ(fadeToGray(0xFF0000), 0x494949U); // 74 * 255 / 256 = 73
    EXPECT_EQ(fadeToGray(0x00FF00), 0x919191U); // 146 * 255 / 256 = 145
    EXPECT_EQ(fadeToGray(0x0000FF), 0x232323U); // 36 * 255 / 256 = 35
}

} // namespace kestrum::test
