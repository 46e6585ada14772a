#include "buffer/RecordLine.h"
#include "tests/buffer/FileTestSupport.h"
#include "tests/support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

using namespace kestrum;
using kestrum::test::ScriptedUserInterface;

namespace {

/// Reads every line of text with the given limit, from memory with a small block so that lines
/// straddle block refills.
QStringList linesOf(const QByteArray& text, int limit, std::size_t blockSize, ScriptedUserInterface& ui)
{
    RecordFile file;
    file.openMemory(text.constData(), static_cast<std::size_t>(text.size()), blockSize);
    QStringList lines;
    RecordLine line;
    while (readRecordLine(file, line, limit, ui))
        lines << QString::fromLatin1(line.text, line.length);
    return lines;
}

} // namespace

TEST(RecordLineReading, SplitsAtLineFeedsAndKeepsThemWithTheLine)
{
    for (std::size_t block : {std::size_t {512}, std::size_t {513}, std::size_t {700}, RecordFile::DefaultBlockSize}) {
        ScriptedUserInterface ui;
        const QStringList lines = linesOf("ab\r\n\ncd\nlast", 512, block, ui);
        EXPECT_EQ(lines, QStringList({"ab\r\n", "\n", "cd\n", "last"})) << block;
        // The call after the last line finds nothing and says so.
        EXPECT_EQ(ui.errors, QStringList {"File Read Operation Failed"});
    }
}

TEST(RecordLineReading, ALineLongerThanTheLimitIsCutAndItsRestIsTheNextLine)
{
    ScriptedUserInterface ui;
    const QByteArray longLine = QByteArray(250, 'x') + "\n";
    EXPECT_EQ(
        linesOf(longLine, 100, 512, ui), QStringList({QString(100, 'x'), QString(100, 'x'), QString(50, 'x') + "\n"}));

    // Exactly the limit, line feed included, is one line.
    const QByteArray exact = QByteArray(99, 'y') + "\nz";
    EXPECT_EQ(linesOf(exact, 100, 512, ui), QStringList({QString(99, 'y') + "\n", "z"}));
    // One more and the line feed becomes a line of its own.
    const QByteArray over = QByteArray(100, 'y') + "\n";
    EXPECT_EQ(linesOf(over, 100, 512, ui), QStringList({QString(100, 'y'), "\n"}));
}

TEST(RecordLineReading, LinesCrossingBlockRefillsComeOutWhole)
{
    // Lines of every length from 1 to 600 with a 512-byte limit and blocks just above it.
    QByteArray text;
    QStringList expected;
    for (int n = 1; n <= 600; n += 7) {
        const QByteArray line = QByteArray(n - 1, static_cast<char>('a' + n % 26)) + "\n";
        text += line;
        if (n <= 512) {
            expected << QString::fromLatin1(line);
        } else {
            expected << QString::fromLatin1(line.left(512)) << QString::fromLatin1(line.mid(512));
        }
    }
    for (std::size_t block : {std::size_t {512}, std::size_t {600}, std::size_t {1024}, std::size_t {4099}}) {
        ScriptedUserInterface ui;
        EXPECT_EQ(linesOf(text, 512, block, ui), expected) << block;
    }
}

TEST(RecordLineReading, EmptyFileFailsAtOnceWithTheReadMessage)
{
    ScriptedUserInterface ui;
    test::TempFolder folder;
    test::writeFile(folder.path("empty.hex"), {});
    RecordFile file;
    ASSERT_TRUE(file.open(folder.path("empty.hex")));
    RecordLine line;
    EXPECT_FALSE(readRecordLine(file, line, 512, ui));
    EXPECT_EQ(ui.errors, QStringList {"File Read Operation Failed"});
}

TEST(RecordFile, RefusesMissingFilesAndFolders)
{
    test::TempFolder folder;
    RecordFile file;
    EXPECT_FALSE(file.open(folder.path("missing.hex")));
    EXPECT_FALSE(file.open(folder.path(".")));
}

TEST(HexFieldParsing, ReadsUpperAndLowerCaseDigitsMostSignificantFirst)
{
    ScriptedUserInterface ui;
    const QByteArray text = "0aF9cD";
    const RecordLine line {text.constData(), static_cast<int>(text.size())};
    std::uint32_t value = 0;
    ASSERT_TRUE(parseHexField(line, 0, 6, value, ui));
    EXPECT_EQ(value, 0x0AF9CDu);
    ASSERT_TRUE(parseHexField(line, 4, 2, value, ui));
    EXPECT_EQ(value, 0xCDu);
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST(HexFieldParsing, FailsOnTheFirstNonDigitAndAtTheEndOfTheLine)
{
    const QByteArray text = "1G\r\n";
    const RecordLine line {text.constData(), static_cast<int>(text.size())};
    for (int column : {0, 2, 3}) {
        ScriptedUserInterface ui;
        std::uint32_t value = 0x1234;
        EXPECT_FALSE(parseHexField(line, column, 2, value, ui)) << column;
        EXPECT_EQ(ui.errors, QStringList {"Illegal Char in File"});
        EXPECT_EQ(value, 0x1234u) << "a failed parse leaves the value alone";
    }
    // A field that runs past the end of the line fails there.
    ScriptedUserInterface ui;
    const RecordLine cut {text.constData(), 1};
    std::uint32_t value = 0;
    EXPECT_FALSE(parseHexField(cut, 0, 2, value, ui));
    EXPECT_EQ(ui.errors, QStringList {"Illegal Char in File"});
    // Characters next to the digit ranges are no digits.
    for (char c : {'/', ':', '@', 'G', '`', 'g', ' ', '\0'}) {
        ScriptedUserInterface each;
        const char one[2] = {c, '0'};
        EXPECT_FALSE(parseHexField(RecordLine {one, 2}, 0, 2, value, each)) << int(c);
    }
}

TEST(HexFieldFormatting, WritesTheLowDigitsInUpperCase)
{
    char out[9] = {};
    formatHexField(0xABCDEF12, 8, out);
    EXPECT_STREQ(out, "ABCDEF12");
    char two[3] = {};
    formatHexField(0x1FA, 2, two);
    EXPECT_STREQ(two, "FA");
    char four[5] = {};
    formatHexField(0x1, 4, four);
    EXPECT_STREQ(four, "0001");
}
