#include "buffer/RecordLine.h"
#include "tests/buffer/FileTestSupport.h"
#include "tests/support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

using namespace kestrum;
using kestrum::test::ScriptedUserInterface;

namespace {

/// Reads every line of text from memory with the given block size, so that lines and their ends
/// straddle block refills.
QStringList linesOf(const QByteArray& text, std::size_t blockSize, ScriptedUserInterface& ui)
{
    RecordFile file;
    file.openMemory(text.constData(), static_cast<std::size_t>(text.size()), blockSize);
    QStringList lines;
    RecordLine line;
    while (readRecordLine(file, line, ui))
        lines << QString::fromLatin1(line.text, line.length);
    return lines;
}

} // namespace

TEST(RecordLineReading, EveryLineEndInAnyMixEndsOneLine)
{
    struct Row
    {
        QByteArray text;
        QStringList lines;
    };
    const QString pad(1021, QLatin1Char('p')); // puts the next line end at a block's last byte
    const Row rows[] = {
        {"ab\ncd\n", {"ab", "cd"}},
        {"ab\r\ncd\r\n", {"ab", "cd"}},
        {"ab\rcd\r", {"ab", "cd"}},
        {"ab\r\n\ncd\rlast", {"ab", "", "cd", "last"}},
        {"ab\n\rcd\r\r\nef", {"ab", "", "cd", "", "ef"}},
        {pad.toLatin1() + "xy\r\nz", {pad + "xy", "z"}},
        {pad.toLatin1() + "x\r\nz\r", {pad + "x", "z"}},
    };
    for (const Row& row : rows) {
        for (std::size_t block : {std::size_t {1024}, std::size_t {1025}, RecordFile::DefaultBlockSize}) {
            ScriptedUserInterface ui;
            EXPECT_EQ(linesOf(row.text, block, ui), row.lines) << row.text.toHex().toStdString() << ' ' << block;
            // The call after the last line finds nothing and says so.
            EXPECT_EQ(ui.errors, QStringList {"File Read Operation Failed"});
        }
    }
}

TEST(RecordLineReading, LinesOfEveryLengthComeOutWholeAcrossBlockRefills)
{
    QByteArray text;
    QStringList expected;
    for (int n = 0; n <= 1000; n += 7) {
        const QByteArray line(n, static_cast<char>('a' + n % 26));
        text += line + (n % 3 == 0 ? "\n" : n % 3 == 1 ? "\r\n" : "\r");
        expected << QString::fromLatin1(line);
    }
    for (std::size_t block : {std::size_t {1024}, std::size_t {1500}, std::size_t {4099}}) {
        ScriptedUserInterface ui;
        EXPECT_EQ(linesOf(text, block, ui), expected) << block;
    }
    // Only a line longer than a block is handed out a block at a time.
    ScriptedUserInterface ui;
    EXPECT_EQ(linesOf(QByteArray(1500, 'x') + "\n", 1024, ui), QStringList({QString(1024, 'x'), QString(476, 'x')}));
}

TEST(RecordLineReading, EmptyFileFailsAtOnceWithTheReadMessage)
{
    ScriptedUserInterface ui;
    test::TempFolder folder;
    test::writeFile(folder.path("empty.hex"), {});
    RecordFile file;
    ASSERT_TRUE(file.open(folder.path("empty.hex")));
    RecordLine line;
    EXPECT_FALSE(readRecordLine(file, line, ui));
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
