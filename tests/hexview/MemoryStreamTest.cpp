#include "HexEditorTestSupport.h"

#include "hexview/MPHBitArray.h"
#include "hexview/MPHTranslation.h"
#include "hexview/TMPHMemoryStream.h"

#include <set>

namespace kestrum::test {

TEST(TMPHMemoryStream, RangesOutsideTheDataRaiseTheBoundsError)
{
    TMPHMemoryStream stream;
    const QByteArray bytes = patternBytes(16);
    stream.Write(bytes.constData(), bytes.size());
    const QString bounds = QString::fromLatin1(MPH_ERR_DATA_BOUNDS);

    EXPECT_EQ(raisedText([&] { stream.GetAddress(0, 16); }), QString());
    EXPECT_EQ(raisedText([&] { stream.GetAddress(16, 0); }), QString());
    EXPECT_EQ(raisedText([&] { stream.GetAddress(0, 17); }), bounds);
    EXPECT_EQ(raisedText([&] { stream.GetAddress(-1, 1); }), bounds);
    EXPECT_EQ(raisedText([&] { stream.PointerAt(15, 2); }), bounds);
    char out[4] {};
    EXPECT_EQ(raisedText([&] { stream.ReadBufferAt(out, 13, 4); }), bounds);
    EXPECT_EQ(raisedText([&] { stream.WriteBufferAt(out, 13, 4); }), bounds);
    EXPECT_EQ(raisedText([&] { stream.Move(0, 13, 4); }), bounds);
    // A refused write leaves the data alone.
    EXPECT_EQ(QByteArray(stream.Memory(), stream.GetSize()), bytes);
}

TEST(TMPHMemoryStream, ReadsWritesAndMovesOverlappingRanges)
{
    TMPHMemoryStream stream;
    const QByteArray bytes("0123456789");
    stream.Write(bytes.constData(), bytes.size());

    stream.WriteBufferAt("ab", 4, 2);
    char out[3] {};
    stream.ReadBufferAt(out, 3, 3);
    EXPECT_EQ(QByteArray(out, 3), QByteArray("3ab"));

    stream.Move(0, 2, 6); // forwards over itself
    EXPECT_EQ(QByteArray(stream.Memory(), stream.GetSize()), QByteArray("010123ab89"));
    stream.Move(4, 0, 6); // backwards over itself
    EXPECT_EQ(QByteArray(stream.Memory(), stream.GetSize()), QByteArray("23ab89ab89"));
}

TEST(TMPHMemoryStream, GetAsHexGivesTwoDigitsPerByteAndSwapsNibblesOnRequest)
{
    const QByteArray bytes = QByteArray::fromHex("1fa0005c");
    TMPHMemoryStream stream;
    stream.Write(bytes.constData(), bytes.size());
    EXPECT_EQ(stream.GetAsHex(0, 4, false), QStringLiteral("1FA0005C"));
    EXPECT_EQ(stream.GetAsHex(1, 2, true), QStringLiteral("0A00"));
    EXPECT_EQ(stream.GetAsHex(0, 1, true), QStringLiteral("F1"));
}

TEST(TMPHMemoryStream, StreamReadAndWriteFollowThePosition)
{
    TMPHMemoryStream stream;
    stream.Write("abcdef", 6);
    EXPECT_EQ(stream.GetPosition(), 6);
    stream.SetPosition(4);
    stream.Write("XYZ", 3); // grows past the end
    EXPECT_EQ(QByteArray(stream.Memory(), stream.GetSize()), QByteArray("abcdXYZ"));
    stream.SetPosition(5);
    char out[8] {};
    EXPECT_EQ(stream.Read(out, 8), 2);
    EXPECT_EQ(QByteArray(out, 2), QByteArray("YZ"));
    stream.Clear();
    EXPECT_EQ(stream.GetSize(), 0);
    EXPECT_EQ(stream.Capacity(), 0);
}

TEST(MPHTranslation, EveryTableIsABijectionWithItsInverse)
{
    const TMPHCharConvTable* tables[] = {&MPH_CCONV_OEM, &MPH_CCONV_MAC, &MPH_CCONV_BCD38, &MPHCustomCharConv};
    for (const TMPHCharConvTable* table : tables) {
        std::set<int> images;
        for (int code = 0; code < 256; ++code) {
            images.insert(table->fromSystem[code]);
            EXPECT_EQ(table->toSystem[table->fromSystem[code]], code);
        }
        EXPECT_EQ(images.size(), 256U);
    }
}

TEST(MPHTranslation, EbcdicKeepsTheLettersDigitsAndBlankOfCodePage38)
{
    EXPECT_EQ(MPH_CCONV_BCD38.fromSystem['A'], 0xC1);
    EXPECT_EQ(MPH_CCONV_BCD38.fromSystem['I'], 0xC9);
    EXPECT_EQ(MPH_CCONV_BCD38.fromSystem['0'], 0xF0);
    EXPECT_EQ(MPH_CCONV_BCD38.fromSystem['9'], 0xF9);
    EXPECT_EQ(MPH_CCONV_BCD38.fromSystem[' '], 0x40);
    // DOS code page: 0x81 is u-umlaut, 0xFC in Windows-1252.
    EXPECT_EQ(MPH_CCONV_OEM.toSystem[0x81], 0xFC);
}

TEST(MPHTranslation, TypedCharactersFollowTheDosAndAsciiRules)
{
    EXPECT_EQ(TranslateTypedChar(tkAsIs, 0x07), 0x07);
    EXPECT_EQ(TranslateTypedChar(tkDos8, 0x07), 0x00);
    EXPECT_EQ(TranslateTypedChar(tkDos8, 0xFC), 0x81);
    EXPECT_EQ(TranslateTypedChar(tkASCII, 'A'), 'A');
    EXPECT_EQ(TranslateTypedChar(tkASCII, 0xFC), 0x00);
    EXPECT_EQ(MPHTranslationDesc(tkBCD), QStringLiteral("EBCDIC codepage 38"));
    EXPECT_EQ(MPHTranslationDescShort(tkCustom), QStringLiteral("Cust"));
}

TEST(TMPHMemoryStream, TranslatesARangeInPlace)
{
    TMPHMemoryStream stream;
    stream.Write("xAB0 y", 6);
    stream.TranslateFromAnsi(tkBCD, 1, 4);
    EXPECT_EQ(QByteArray(stream.Memory(), 6), QByteArray("x\xC1\xC2\xF0\x40y"));
    stream.TranslateToAnsi(tkBCD, 1, 4);
    EXPECT_EQ(QByteArray(stream.Memory(), 6), QByteArray("xAB0 y"));
}

TEST(MPHBitArray, BitsBeyondTheLengthReadClearAndSettingGrowsTheArray)
{
    MPHBitArray bits;
    EXPECT_FALSE(bits.Get(0));
    EXPECT_FALSE(bits.Get(1'000'000));
    bits.Set(70, false); // clearing beyond the length does not grow it
    EXPECT_EQ(bits.Length(), 0);
    bits.Set(3, true);
    bits.Set(64 * 1024 * 1024 - 1, true);
    EXPECT_TRUE(bits.Get(3));
    EXPECT_TRUE(bits.Get(64 * 1024 * 1024 - 1));
    EXPECT_FALSE(bits.Get(4));
    EXPECT_EQ(bits.Length(), 64 * 1024 * 1024);
}

TEST(MPHBitArray, TruncateClearsFromTheIndexOnAndClearAllEmpties)
{
    MPHBitArray bits;
    for (int i : {1, 63, 64, 65, 130, 200})
        bits.Set(i, true);
    bits.Truncate(65);
    EXPECT_TRUE(bits.Get(1));
    EXPECT_TRUE(bits.Get(63));
    EXPECT_TRUE(bits.Get(64));
    EXPECT_FALSE(bits.Get(65));
    EXPECT_FALSE(bits.Get(130));
    // Growing again does not bring the truncated bits back.
    bits.Set(300, true);
    EXPECT_FALSE(bits.Get(130));
    EXPECT_FALSE(bits.Get(200));
    EXPECT_TRUE(bits.AnySet());
    bits.ClearAll();
    EXPECT_FALSE(bits.AnySet());
    EXPECT_FALSE(bits.Get(1));
    EXPECT_FALSE(bits.Get(300));
    bits.Set(5, true);
    EXPECT_TRUE(bits.Get(5));
    EXPECT_FALSE(bits.Get(64));
}

} // namespace kestrum::test
