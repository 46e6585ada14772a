#include "HexEditorTestSupport.h"

#include "hexview/BitArray.h"
#include "hexview/MemoryStream.h"
#include "hexview/Translation.h"

#include <functional>
#include <random>
#include <set>

namespace kestrum::test {

TEST(MemoryStream, RangesOutsideTheDataRaiseTheBoundsError)
{
    MemoryStream stream;
    const QByteArray bytes = patternBytes(16);
    stream.write(bytes.constData(), bytes.size());
    const QString bounds = QString::fromLatin1(ErrDataBounds);

    EXPECT_EQ(raisedText([&] { stream.address(0, 16); }), QString());
    EXPECT_EQ(raisedText([&] { stream.address(16, 0); }), QString());
    EXPECT_EQ(raisedText([&] { stream.address(0, 17); }), bounds);
    EXPECT_EQ(raisedText([&] { stream.address(-1, 1); }), bounds);
    EXPECT_EQ(raisedText([&] { stream.pointerAt(15, 2); }), bounds);
    char out[4] {};
    EXPECT_EQ(raisedText([&] { stream.readBufferAt(out, 13, 4); }), bounds);
    EXPECT_EQ(raisedText([&] { stream.writeBufferAt(out, 13, 4); }), bounds);
    EXPECT_EQ(raisedText([&] { stream.moveBytes(0, 13, 4); }), bounds);
    // A refused write leaves the data alone.
    EXPECT_EQ(QByteArray(stream.memory(), stream.size()), bytes);
}

TEST(MemoryStream, ReadsWritesAndMovesOverlappingRanges)
{
    MemoryStream stream;
    const QByteArray bytes("0123456789");
    stream.write(bytes.constData(), bytes.size());

    stream.writeBufferAt("ab", 4, 2);
    char out[3] {};
    stream.readBufferAt(out, 3, 3);
    EXPECT_EQ(QByteArray(out, 3), QByteArray("3ab"));

    stream.moveBytes(0, 2, 6); // forwards over itself
    EXPECT_EQ(QByteArray(stream.memory(), stream.size()), QByteArray("010123ab89"));
    stream.moveBytes(4, 0, 6); // backwards over itself
    EXPECT_EQ(QByteArray(stream.memory(), stream.size()), QByteArray("23ab89ab89"));
}

TEST(MemoryStream, ToHexGivesTwoDigitsPerByteAndSwapsNibblesOnRequest)
{
    const QByteArray bytes = QByteArray::fromHex("1fa0005c");
    MemoryStream stream;
    stream.write(bytes.constData(), bytes.size());
    EXPECT_EQ(stream.toHex(0, 4, false), QStringLiteral("1FA0005C"));
    EXPECT_EQ(stream.toHex(1, 2, true), QStringLiteral("0A00"));
    EXPECT_EQ(stream.toHex(0, 1, true), QStringLiteral("F1"));
}

TEST(MemoryStream, StreamReadAndWriteFollowThePosition)
{
    MemoryStream stream;
    stream.write("abcdef", 6);
    EXPECT_EQ(stream.position(), 6);
    stream.setPosition(4);
    stream.write("XYZ", 3); // grows past the end
    EXPECT_EQ(QByteArray(stream.memory(), stream.size()), QByteArray("abcdXYZ"));
    stream.setPosition(5);
    char out[8] {};
    EXPECT_EQ(stream.read(out, 8), 2);
    EXPECT_EQ(QByteArray(out, 2), QByteArray("YZ"));
    stream.clear();
    EXPECT_EQ(stream.size(), 0);
    EXPECT_EQ(stream.capacity(), 0);
}

// Insertions and removals at both ends, in the middle and larger than the room kept beside the
// bytes, on a loaded, an adopted and an appended stream, against a plain byte array.
TEST(MemoryStream, GapsAndRemovalsMatchAPlainByteArray)
{
    constexpr qint64 MiB = 1024 * 1024;
    const std::pair<const char*, std::function<void(MemoryStream&, const QByteArray&)>> starts[] = {
        {"loaded",
            [](MemoryStream& stream, const QByteArray& bytes) {
                stream.clearForRefill(bytes.size());
                stream.write(bytes.constData(), bytes.size());
            }},
        {"adopted", [](MemoryStream& stream, const QByteArray& bytes) { stream.adopt(QByteArray(bytes)); }},
        {"appended",
            [](MemoryStream& stream, const QByteArray& bytes) { stream.write(bytes.constData(), bytes.size()); }},
    };
    for (const auto& [name, start] : starts) {
        SCOPED_TRACE(name);
        std::mt19937 random(7);
        QByteArray model = patternBytes(4096);
        MemoryStream stream;
        start(stream, model);
        for (int step = 0; step < 300; ++step) {
            const qint64 size = model.size();
            const qint64 where[] = {0, size, qint64(random() % quint64(size + 1))};
            const qint64 position = where[step % 3];
            const qint64 count = step % 50 == 7 ? 3 * MiB / 2 : qint64(1 + random() % 300);
            if (step % 2 == 0 || size < count + position) {
                const QByteArray bytes = patternBytes(static_cast<int>(count), step);
                stream.insertGap(position, count);
                std::memcpy(stream.memory() + position, bytes.constData(), static_cast<size_t>(count));
                model.insert(position, bytes);
            } else {
                stream.removeRange(position, count);
                model.remove(position, count);
            }
            ASSERT_EQ(QByteArray(stream.memory(), stream.size()), model) << "step " << step;
        }
    }
}

TEST(Translation, EveryTableIsABijectionWithItsInverse)
{
    const CharConvTable* tables[] = {&OemCharConv, &MacCharConv, &EbcdicCharConv, &customCharConv};
    for (const CharConvTable* table : tables) {
        std::set<int> images;
        for (int code = 0; code < 256; ++code) {
            images.insert(table->fromSystem[code]);
            EXPECT_EQ(table->toSystem[table->fromSystem[code]], code);
        }
        EXPECT_EQ(images.size(), 256U);
    }
}

TEST(Translation, EbcdicKeepsTheLettersDigitsAndBlankOfCodePage38)
{
    EXPECT_EQ(EbcdicCharConv.fromSystem['A'], 0xC1);
    EXPECT_EQ(EbcdicCharConv.fromSystem['I'], 0xC9);
    EXPECT_EQ(EbcdicCharConv.fromSystem['0'], 0xF0);
    EXPECT_EQ(EbcdicCharConv.fromSystem['9'], 0xF9);
    EXPECT_EQ(EbcdicCharConv.fromSystem[' '], 0x40);
    // DOS code page: 0x81 is u-umlaut, 0xFC in Windows-1252.
    EXPECT_EQ(OemCharConv.toSystem[0x81], 0xFC);
}

TEST(Translation, TypedCharactersFollowTheDosAndAsciiRules)
{
    EXPECT_EQ(translateTypedChar(TranslationKind::AsIs, 0x07), 0x07);
    EXPECT_EQ(translateTypedChar(TranslationKind::Dos8, 0x07), 0x00);
    EXPECT_EQ(translateTypedChar(TranslationKind::Dos8, 0xFC), 0x81);
    EXPECT_EQ(translateTypedChar(TranslationKind::Ascii, 'A'), 'A');
    EXPECT_EQ(translateTypedChar(TranslationKind::Ascii, 0xFC), 0x00);
    EXPECT_EQ(translationDescription(TranslationKind::Ebcdic), QStringLiteral("EBCDIC codepage 38"));
    EXPECT_EQ(translationShortDescription(TranslationKind::Custom), QStringLiteral("Cust"));
}

TEST(MemoryStream, TranslatesARangeInPlace)
{
    MemoryStream stream;
    stream.write("xAB0 y", 6);
    stream.translateFromAnsi(TranslationKind::Ebcdic, 1, 4);
    EXPECT_EQ(QByteArray(stream.memory(), 6), QByteArray("x\xC1\xC2\xF0\x40y"));
    stream.translateToAnsi(TranslationKind::Ebcdic, 1, 4);
    EXPECT_EQ(QByteArray(stream.memory(), 6), QByteArray("xAB0 y"));
}

TEST(BitArray, BitsBeyondTheLengthReadClearAndSettingGrowsTheArray)
{
    BitArray bits;
    EXPECT_FALSE(bits.testBit(0));
    EXPECT_FALSE(bits.testBit(1'000'000));
    bits.setBit(70, false); // clearing beyond the length does not grow it
    EXPECT_EQ(bits.length(), 0);
    bits.setBit(3, true);
    bits.setBit(64 * 1024 * 1024 - 1, true);
    EXPECT_TRUE(bits.testBit(3));
    EXPECT_TRUE(bits.testBit(64 * 1024 * 1024 - 1));
    EXPECT_FALSE(bits.testBit(4));
    EXPECT_EQ(bits.length(), 64 * 1024 * 1024);
}

TEST(BitArray, TruncateClearsFromTheIndexOnAndClearAllEmpties)
{
    BitArray bits;
    for (int i : {1, 63, 64, 65, 130, 200})
        bits.setBit(i, true);
    bits.truncate(65);
    EXPECT_TRUE(bits.testBit(1));
    EXPECT_TRUE(bits.testBit(63));
    EXPECT_TRUE(bits.testBit(64));
    EXPECT_FALSE(bits.testBit(65));
    EXPECT_FALSE(bits.testBit(130));
    // Growing again does not bring the truncated bits back.
    bits.setBit(300, true);
    EXPECT_FALSE(bits.testBit(130));
    EXPECT_FALSE(bits.testBit(200));
    EXPECT_TRUE(bits.anySet());
    bits.clearAll();
    EXPECT_FALSE(bits.anySet());
    EXPECT_FALSE(bits.testBit(1));
    EXPECT_FALSE(bits.testBit(300));
    bits.setBit(5, true);
    EXPECT_TRUE(bits.testBit(5));
    EXPECT_FALSE(bits.testBit(64));
}

} // namespace kestrum::test
