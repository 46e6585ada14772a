#include "buffer/IntelHex.h"
#include "tests/buffer/FileTestSupport.h"
#include "tests/support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

using namespace kestrum;
using kestrum::test::ScriptedUserInterface;

namespace {

using test::ReadResult;

ReadResult readHex(const QByteArray& text, std::uint32_t maxSize = 0x20000)
{
    return test::readRecords(readIntelHex, "in.hex", text, maxSize);
}

QByteArray writeHex(const std::vector<std::uint8_t>& bytes)
{
    return test::writeRecords(writeIntelHex, "out.hex", bytes);
}

const QByteArray Eof = ":00000001FF\r\n";

} // namespace

// ---- Reading: successful files ----

TEST(IntelHexReader, ReadsDataAndReturnsTheExtentAlsoWithoutAFinalLineFeed)
{
    const ReadResult r = readHex(":10000000000102030405060708090A0B0C0D0E0F78\r\n:00000001FF");
    EXPECT_EQ(r.extent, 16);
    EXPECT_TRUE(r.errors.isEmpty());
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(r.buffer[i], i);
    EXPECT_EQ(r.buffer[16], 0xCC) << "bytes no record covers keep their value";
}

TEST(IntelHexReader, AcceptsLowerCaseDigitsInEveryField)
{
    const ReadResult ok = readHex(":02fffe00abcd89\n:020000040001f9\n:01001000559A\n:00000001ff\n");
    EXPECT_EQ(ok.errors, QStringList());
    EXPECT_EQ(ok.buffer[0xFFFE], 0xAB);
    EXPECT_EQ(ok.buffer[0xFFFF], 0xCD);
    EXPECT_EQ(ok.buffer[0x10010], 0x55);
    EXPECT_EQ(ok.extent, 0x10011);
}

TEST(IntelHexReader, SegmentAndLinearBasesAddToTheOffset)
{
    // The published example: segment 0x1000 puts offset 0 at 0x10000.
    const ReadResult seg = readHex(":020000021000EC\n:0100000055AA\n" + Eof);
    EXPECT_EQ(seg.errors, QStringList());
    EXPECT_EQ(seg.extent, 0x10001);
    EXPECT_EQ(seg.buffer[0x10000], 0x55);
    EXPECT_EQ(seg.buffer[0], 0xCC);

    const ReadResult lin = readHex(":020000040001F9\n:02000000A55AFF\n" + Eof);
    EXPECT_EQ(lin.errors, QStringList());
    EXPECT_EQ(lin.extent, 0x10002);
    EXPECT_EQ(lin.buffer[0x10000], 0xA5);
    EXPECT_EQ(lin.buffer[0x10001], 0x5A);

    // Both at once: linear 0x10000 + segment 0x100 * 16 + offset 0x0010.
    const ReadResult both = readHex(":020000040001F9\n:020000020100FB\n:01001000EE01\n" + Eof, 0x20000);
    EXPECT_EQ(both.errors, QStringList());
    EXPECT_EQ(both.extent, 0x11011);
    EXPECT_EQ(both.buffer[0x11010], 0xEE);
}

TEST(IntelHexReader, StartAddressRecordsAreSkippedUnread)
{
    const ReadResult r = readHex(":04000003not hex at all\n:04000005!!\n:0100000011EE\n" + Eof);
    EXPECT_EQ(r.errors, QStringList());
    EXPECT_EQ(r.extent, 1);
    EXPECT_EQ(r.buffer[0], 0x11);
}

TEST(IntelHexReader, ExtentIsTheLargestEndInAnyOrderAndLaterRecordsOverwrite)
{
    const QByteArray high = ":0100100022CD\n";
    const QByteArray low = ":020000001111DC\n";
    const QByteArray overlap = ":0100010033CB\n";
    const ReadResult a = readHex(high + low + overlap + Eof);
    const ReadResult b = readHex(overlap + low + high + Eof);
    EXPECT_EQ(a.extent, 0x11);
    EXPECT_EQ(b.extent, 0x11);
    EXPECT_EQ(a.buffer[1], 0x33) << "the later record wins";
    EXPECT_EQ(b.buffer[1], 0x11) << "the later record wins";
    EXPECT_TRUE(a.errors.isEmpty());
}

TEST(IntelHexReader, AnEmptyDataRecordRaisesTheExtentToItsAddress)
{
    const ReadResult r = readHex(":00001000F0\n" + Eof);
    EXPECT_EQ(r.extent, 0x10);
    EXPECT_TRUE(r.errors.isEmpty());
    EXPECT_EQ(readHex(Eof).extent, 0) << "a file without data returns 0";
    EXPECT_TRUE(readHex(Eof).errors.isEmpty());
}

TEST(IntelHexReader, NothingAfterTheEndOfFileRecordIsRead)
{
    const ReadResult r = readHex(":0100000011EE\n:00000001FF trailing text\r\ngarbage\n:0100000022DD\n");
    EXPECT_EQ(r.errors, QStringList());
    EXPECT_EQ(r.extent, 1);
    EXPECT_EQ(r.buffer[0], 0x11);
}

TEST(IntelHexReader, TakesEveryRecordLengthWithEveryLineEnd)
{
    // One row per record length and line end: the record is stored whole, nothing is left out.
    for (int count : {1, 16, 249, 250, 251, 255}) {
        for (const char* end : {"\n", "\r\n", "\r"}) {
            const QByteArray text = test::intelHexRecord(count, 0) + end + ":00000001FF" + end;
            const ReadResult r = readHex(text);
            EXPECT_EQ(r.errors, QStringList()) << count << ' ' << QByteArray(end).toHex().toStdString();
            EXPECT_EQ(r.extent, count) << count << ' ' << QByteArray(end).toHex().toStdString();
            EXPECT_EQ(r.buffer[std::size_t(count - 1)], (0x10 + count - 1) & 0xFF) << count;
        }
    }
}

TEST(IntelHexReader, CharactersAfterTheChecksumAreIgnoredHoweverLongTheLine)
{
    const QByteArray first = ":0100000011EE" + QByteArray(600, 'x');
    const ReadResult r = readHex(first + "\r\n" + Eof);
    EXPECT_EQ(r.errors, QStringList());
    EXPECT_EQ(r.extent, 1);

    // A data field that runs past the end of its line fails as a bad character.
    const ReadResult runs = readHex(":FF000000" + QByteArray(400, '0') + "\r\n" + Eof);
    EXPECT_EQ(runs.errors, QStringList {"Illegal Char in File"});
}

// ---- Reading: every message, in the order shown ----

TEST(IntelHexReader, MissingEndRecordShowsTwoMessagesAndKeepsTheData)
{
    const ReadResult r = readHex(":0100000011EE\n");
    EXPECT_EQ(r.errors, QStringList({"File Read Operation Failed", "Error reading File"}));
    EXPECT_EQ(r.extent, 0);
    EXPECT_EQ(r.buffer[0], 0x11);

    const ReadResult empty = readHex("");
    EXPECT_EQ(empty.errors, QStringList({"File Read Operation Failed", "Error reading File"}));
}

TEST(IntelHexReader, ALineNotStartingWithAColonIsIllegal)
{
    for (const QByteArray& bad :
        {QByteArray("\n"), QByteArray("\r\n"), QByteArray(" :00000001FF\n"), QByteArray("S9030000FC\n")}) {
        const ReadResult r = readHex(":0100000011EE\n" + bad + Eof);
        EXPECT_EQ(r.errors, QStringList {"Illegal Line found"}) << bad.toStdString();
        EXPECT_EQ(r.extent, 0);
        EXPECT_EQ(r.buffer[0], 0x11);
    }
}

TEST(IntelHexReader, ABadCharacterInAnyHeaderFieldIsIllegal)
{
    for (const QByteArray& bad : {QByteArray(":G100000011EE\n"), QByteArray(":010X000011EE\n"),
             QByteArray(":0100000Z11EE\n"), QByteArray(":01\n"), QByteArray(":0100000"), QByteArray(":01000000\n")}) {
        const ReadResult r = readHex(bad + Eof);
        EXPECT_EQ(r.errors, QStringList {"Illegal Char in File"}) << bad.toStdString();
        EXPECT_EQ(r.extent, 0);
    }
}

TEST(IntelHexReader, ABadDataCharacterKeepsTheBytesBeforeItAndStoresNothingFromIt)
{
    // 32 data bytes 0x00..0x1F, with byte `bad` spoiled; the bytes before it are stored.
    for (int bad : {0, 5, 15, 16, 20, 31}) {
        QByteArray line = ":20000000";
        for (int i = 0; i < 32; ++i)
            line += i == bad ? QByteArray("0g") : QByteArray::number(0x100 + i, 16).mid(1).toUpper();
        line += "00\n";
        const ReadResult r = readHex(line + Eof);
        EXPECT_EQ(r.errors, QStringList {"Illegal Char in File"}) << bad;
        for (int i = 0; i < 32; ++i)
            EXPECT_EQ(r.buffer[i], i < bad ? i : 0xCC) << "bad " << bad << " byte " << i;
    }
    // A record shorter than its count: the missing byte is a bad character at the end of the line.
    const ReadResult shortRecord = readHex(":0300000011\r\n" + Eof);
    EXPECT_EQ(shortRecord.errors, QStringList {"Illegal Char in File"});
    EXPECT_EQ(shortRecord.buffer[0], 0x11);
    EXPECT_EQ(shortRecord.buffer[1], 0xCC);
    // All data there, the checksum missing.
    const ReadResult noChecksum = readHex(":020000001122\n" + Eof);
    EXPECT_EQ(noChecksum.errors, QStringList {"Illegal Char in File"});
    EXPECT_EQ(noChecksum.buffer[1], 0x22);
}

TEST(IntelHexReader, RecordTypesAboveFiveAreInvalid)
{
    for (const QByteArray& type : {QByteArray("06"), QByteArray("FF"), QByteArray("10")}) {
        const ReadResult r = readHex(":000000" + type + "00\n" + Eof);
        EXPECT_EQ(r.errors, QStringList {"Invalid Record type"}) << type.toStdString();
        EXPECT_EQ(r.extent, 0);
    }
}

TEST(IntelHexReader, DataBeyondTheMaximumFailsBeforeAnyByteIsStored)
{
    // Ends exactly at the maximum: accepted.
    const ReadResult atEnd = readHex(":02000E001122BD\n" + Eof, 16);
    EXPECT_EQ(atEnd.errors, QStringList());
    EXPECT_EQ(atEnd.extent, 16);
    // One byte further: refused, and nothing of the record is stored.
    const ReadResult over = readHex(":02000F001122BC\n" + Eof, 16);
    EXPECT_EQ(over.errors, QStringList {"File exceeds Maximum Size"});
    EXPECT_EQ(over.extent, 0);
    EXPECT_EQ(over.buffer[15], 0xCC);
    // An empty record beyond the maximum also fails.
    EXPECT_EQ(readHex(":00001100EF\n" + Eof, 16).errors, QStringList {"File exceeds Maximum Size"});
}

TEST(IntelHexReader, LargeBasesCannotWrapPastTheSizeTest)
{
    // Linear base 0x0400 (64 MiB) with a 64 MiB maximum.
    std::vector<std::uint8_t> big(0x4000000, 0xFF);
    test::TempFolder folder;
    const QString path = folder.path("high.hex");
    test::writeFile(path, ":020000040400F6\n:0100000011EE\n" + Eof);
    ScriptedUserInterface ui;
    EXPECT_EQ(readIntelHex(path, big.data(), 0x4000000, ui), 0);
    EXPECT_EQ(ui.errors, QStringList {"File exceeds Maximum Size"});
    EXPECT_EQ(big[0], 0xFF);

    // The largest bases and offset with 255 bytes: no 32-bit sum wraps back into the buffer.
    QByteArray top = ":02000004FFFFFC\n:02000002FFFFFE\n:FFFFFF00";
    top += QByteArray(510, '0') + "03\n";
    const ReadResult r = readHex(top + Eof);
    EXPECT_EQ(r.errors, QStringList {"File exceeds Maximum Size"});
    EXPECT_EQ(r.buffer[0], 0xCC);
}

TEST(IntelHexReader, DataChecksumErrorKeepsTheRecordsBytes)
{
    const ReadResult r = readHex(":0100000011EE\n:02001000AABB00\n" + Eof);
    EXPECT_EQ(r.errors, QStringList {"Checksum Error type 0"});
    EXPECT_EQ(r.extent, 0);
    EXPECT_EQ(r.buffer[0x10], 0xAA);
    EXPECT_EQ(r.buffer[0x11], 0xBB);
}

TEST(IntelHexReader, EndRecordMustBeExactlyTheStandardOne)
{
    for (const QByteArray& bad : {QByteArray(":00000001FE\n"), QByteArray(":00000101FE\n"),
             QByteArray(":0100000100FE\n"), QByteArray(":01000001FF\n")}) {
        const ReadResult r = readHex(":0100000011EE\n" + bad);
        EXPECT_EQ(r.errors, QStringList {"Invalid EOF Record"}) << bad.toStdString();
        EXPECT_EQ(r.extent, 0);
    }
    EXPECT_EQ(readHex(":00000001\n").errors, QStringList {"Illegal Char in File"});
}

TEST(IntelHexReader, AddressRecordsNeedTwoBytesAndAGoodChecksum)
{
    struct Case
    {
        QByteArray line;
        QString message;
    };
    const Case cases[] = {
        {":0100000210ED\n", "Invalid Record Length for type 2"},
        {":03000002100000EB\n", "Invalid Record Length for type 2"},
        {":020000021000ED\n", "Checksum Error type 2"},
        {":0200000210G0EC\n", "Illegal Char in File"},
        {":0200000210\n", "Illegal Char in File"},
        {":0100000400FB\n", "Invalid Record Length for type 4"},
        {":020000040001F8\n", "Checksum Error type 4"},
        {":020000040001\n", "Illegal Char in File"},
    };
    for (const Case& c : cases) {
        const ReadResult r = readHex(c.line + ":0100000011EE\n" + Eof);
        EXPECT_EQ(r.errors, QStringList {c.message}) << c.line.toStdString();
        EXPECT_EQ(r.extent, 0);
        EXPECT_EQ(r.buffer[0], 0xCC);
    }
}

TEST(IntelHexReader, AFileThatCannotBeOpenedIsReportedWithItsName)
{
    test::TempFolder folder;
    const QString path = folder.path("missing.hex");
    ScriptedUserInterface ui;
    std::uint8_t buffer[4] = {1, 2, 3, 4};
    EXPECT_EQ(readIntelHex(path, buffer, 4, ui), 0);
    EXPECT_EQ(ui.errors, QStringList {"Cannot open file " + path});
    EXPECT_EQ(buffer[0], 1);
}

// ---- Writing ----

TEST(IntelHexWriter, ZeroBytesGiveOnlyTheEndRecord)
{
    EXPECT_EQ(writeHex({}), Eof);
}

TEST(IntelHexWriter, WritesThePublishedExampleLine)
{
    std::vector<std::uint8_t> bytes(16);
    for (int i = 0; i < 16; ++i)
        bytes[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(writeHex(bytes), ":10000000000102030405060708090A0B0C0D0E0F78\r\n" + Eof);
}

TEST(IntelHexWriter, SplitsIntoRecordsOf32AndLeavesOutAllErasedRecords)
{
    std::vector<std::uint8_t> bytes(33, 0xAB);
    const QByteArray full = ":20000000" + QByteArray("AB").repeated(32) + "80\r\n";
    EXPECT_EQ(writeHex(bytes), full + ":01002000AB34\r\n" + Eof);

    std::fill(bytes.begin(), bytes.begin() + 32, 0xFF);
    EXPECT_EQ(writeHex(bytes), ":01002000AB34\r\n" + Eof);
    bytes[32] = 0xFF;
    EXPECT_EQ(writeHex(bytes), Eof);
    // One byte other than 0xFF is enough to keep a record.
    bytes[31] = 0xFE;
    EXPECT_EQ(writeHex(bytes), ":20000000" + QByteArray("FF").repeated(31) + "FE01\r\n" + Eof);
}

TEST(IntelHexWriter, WritesALinearAddressRecordAtEvery64KiBBoundaryEvenOverErasedStretches)
{
    EXPECT_EQ(writeHex(std::vector<std::uint8_t>(0x10000, 0xFF)), Eof) << "64 KiB need no address record";
    EXPECT_EQ(writeHex(std::vector<std::uint8_t>(0x10001, 0xFF)), ":020000040001F9\r\n" + Eof);
    EXPECT_EQ(writeHex(std::vector<std::uint8_t>(0x30000, 0xFF)), ":020000040001F9\r\n:020000040002F8\r\n" + Eof);

    std::vector<std::uint8_t> bytes(0x10002, 0xFF);
    bytes[0xFFFF] = 0x01;
    bytes[0x10001] = 0x02;
    const QByteArray text = writeHex(bytes);
    EXPECT_EQ(text,
        ":20FFE000" + QByteArray("FF").repeated(31) + "011F\r\n" + ":020000040001F9\r\n" + ":02000000FF02FD\r\n" + Eof);
}

TEST(IntelHexWriter, ReplacesAnExistingFileAndReportsAFolderItCannotCreateIn)
{
    test::TempFolder folder;
    const QString path = folder.path("old.hex");
    test::writeFile(path, QByteArray(1000, 'z'));
    ScriptedUserInterface ui;
    const std::uint8_t one = 0x42;
    EXPECT_EQ(writeIntelHex(path, &one, 1, ui), WriteResult::Written);
    EXPECT_EQ(test::readFile(path), ":0100000042BD\r\n" + Eof);

    const QString nowhere = folder.path("no/such/folder.hex");
    EXPECT_EQ(writeIntelHex(nowhere, &one, 1, ui), WriteResult::NotCreated);
    EXPECT_EQ(ui.errors, QStringList {"Cannot create file " + nowhere + ": No such file or directory"});
}
