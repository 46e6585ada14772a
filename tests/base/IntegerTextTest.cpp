#include "base/IntegerText.h"
#include "base/IniFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

using namespace kestrum;

namespace {

std::optional<qint64> read(const char* text, const IntegerNotation& notation)
{
    return readInteger(QString::fromUtf8(text), notation).value;
}

} // namespace

TEST(IntegerText, DecimalOrHexNotationTakesBlanksSignsAndThreeHexMarks)
{
    const IntegerNotation n = IntegerNotation::decimalOrHex();
    EXPECT_EQ(read("  -12", n), -12);
    EXPECT_EQ(read("+7", n), 7);
    EXPECT_EQ(read("$1F", n), 31);
    EXPECT_EQ(read("0x1f", n), 31);
    EXPECT_EQ(read("X1F", n), 31);
    EXPECT_EQ(read("-0x10", n), -16);
    EXPECT_EQ(read("0xFFFFFFFF", n), -1) << "eight hexadecimal digits reach the sign bit";
    EXPECT_EQ(read("-2147483648", n), std::numeric_limits<qint32>::min());
    EXPECT_EQ(read("2147483647", n), std::numeric_limits<qint32>::max());
    for (const char* bad : {"", " ", "-", "0x", "2147483648", "0x100000000", "12 ", "1F", "0x1G", "--1", "1h", "٣"})
        EXPECT_FALSE(read(bad, n).has_value()) << bad;
}

TEST(IntegerText, HexDigitsTakeNoMarksButAnyLeadingZeros)
{
    const IntegerNotation n = IntegerNotation::hexDigits();
    EXPECT_EQ(read("000000001F", n), 0x1F);
    EXPECT_EQ(read("ff", n), 0xFF);
    EXPECT_EQ(read("FFFFFFFF", n), -1);
    for (const char* bad : {"", "100000000", "+1", "-1", "0x1", "$1", " 1", "1 "})
        EXPECT_FALSE(read(bad, n).has_value()) << bad;
}

TEST(IntegerText, RadixMarksChooseTheRadixAndReportTheFirstStrayCharacter)
{
    const IntegerNotation n = IntegerNotation::radixMarks();
    const struct
    {
        const char* text;
        qint64 value;
    } good[] = {{"0x1F", 31}, {"$1F", 31}, {"1Fh", 31}, {"17o", 15}, {"O17", 15}, {"101%", 5}, {"%101", 5},
        {"-12", -12}, {"", 0}, {"0x", 0}, {"0x100000000", 0x100000000LL}};
    for (const auto& g : good)
        EXPECT_EQ(read(g.text, n), g.value) << g.text;

    IntegerReading r = readInteger(u"18o", n);
    EXPECT_FALSE(r.value);
    EXPECT_EQ(r.radix, 8);
    EXPECT_EQ(r.badIndex, 1);
    r = readInteger(u"-5h", n);
    EXPECT_EQ(r.radix, 16) << "a mark is recognised before a minus";
    EXPECT_EQ(r.badIndex, 0);
    r = readInteger(u"1F", n);
    EXPECT_EQ(r.radix, 10);
    EXPECT_EQ(r.badIndex, 1);

    // A fixed radix wraps like an unsigned 64-bit number.
    EXPECT_EQ(readInteger(u"FFFFFFFFFFFFFFFF", IntegerNotation::digitsOf(16)).value, -1);
    EXPECT_EQ(readInteger(u"10000000000000000", IntegerNotation::digitsOf(16)).value, 0);
}

TEST(IntegerText, SettingsKeysReadLikeEditorCells)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("k.ini"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[DEVICE]\nA=x1F\nB=0xFFFFFFFF\nC=$10\nD= 12\nE=1F\nF=99999999999\n");
    }
    IniFile ini(path);
    ini.load();
    const QString device = QStringLiteral("DEVICE");
    EXPECT_EQ(ini.readInteger(device, QStringLiteral("A"), -7), 31);
    EXPECT_EQ(ini.readInteger(device, QStringLiteral("B"), -7), -1);
    EXPECT_EQ(ini.readInteger(device, QStringLiteral("C"), -7), 16);
    EXPECT_EQ(ini.readInteger(device, QStringLiteral("D"), -7), 12);
    EXPECT_EQ(ini.readInteger(device, QStringLiteral("E"), -7), -7);
    EXPECT_EQ(ini.readInteger(device, QStringLiteral("F"), -7), -7);
}
