#include "buffer/SRecord.h"
#include "tests/buffer/FileTestSupport.h"
#include "tests/support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

using namespace kestrum;
using kestrum::test::ScriptedUserInterface;

namespace {

using test::ReadResult;

ReadResult readSrec(const QByteArray& text, std::uint32_t maxSize = 0x20000)
{
    return test::readRecords(readSRecord, "in.src", text, maxSize);
}

QByteArray writeSrec(const std::vector<std::uint8_t>& bytes)
{
    return test::writeRecords(writeSRecord, "out.src", bytes);
}

const QByteArray Header = "S00600004844521B\r\n";
const QByteArray S9 = "S9030000FC\r\n";
const QByteArray S8 = "S804000000FB\r\n";
const QByteArray S7 = "S70500000000FA\r\n";

} // namespace

// ---- Reading ----

TEST(SRecordReader, ReadsTheExampleRecord)
{
    const ReadResult r = readSrec(Header + "S1130000000102030405060708090A0B0C0D0E0F74\r\n" + S9);
    EXPECT_TRUE(r.errors.isEmpty());
    EXPECT_EQ(r.extent, 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(r.buffer[i], i);
    EXPECT_EQ(r.buffer[16], 0xCC);
}

TEST(SRecordReader, FilesWithoutDataReturnZeroSilently)
{
    for (const QByteArray& text : {Header + S9, Header + "S5030001FB\r\n" + S8, QByteArray("S9"),
             QByteArray("S7 anything at all\n"), QByteArray("S4\nS6xyz\nSX\nS\nS8\n")}) {
        const ReadResult r = readSrec(text);
        EXPECT_EQ(r.extent, 0) << text.toStdString();
        EXPECT_TRUE(r.errors.isEmpty()) << text.toStdString();
    }
}

TEST(SRecordReader, MixesAddressWidthsAndAcceptsLowerCase)
{
    const ReadResult r = readSrec("S1040010aa41\nS20500100011D9\nS3060000002022B7\nS9\n");
    EXPECT_EQ(r.errors, QStringList());
    EXPECT_EQ(r.buffer[0x10], 0xAA);
    EXPECT_EQ(r.buffer[0x1000], 0x11);
    EXPECT_EQ(r.buffer[0x20], 0x22);
    EXPECT_EQ(r.extent, 0x1001);
}

TEST(SRecordReader, NothingOfTheTerminatorLineIsReadAndNothingAfterIt)
{
    const ReadResult r = readSrec("S104000011EA\nS9zz not a record\nS104000122D8\n");
    EXPECT_EQ(r.errors, QStringList());
    EXPECT_EQ(r.extent, 1);
    EXPECT_EQ(r.buffer[1], 0xCC);
}

TEST(SRecordReader, MissingTerminatorShowsOnlyTheReadMessageAndKeepsTheData)
{
    const ReadResult r = readSrec(Header + "S104000011EA\r\n");
    EXPECT_EQ(r.errors, QStringList {"File Read Operation Failed"});
    EXPECT_EQ(r.extent, 0);
    EXPECT_EQ(r.buffer[0], 0x11);
    EXPECT_EQ(readSrec("").errors, QStringList {"File Read Operation Failed"});
}

TEST(SRecordReader, ALineNotStartingWithSIsIllegal)
{
    for (const QByteArray& bad : {QByteArray("\n"), QByteArray("s9030000FC\n"), QByteArray(":00000001FF\n")}) {
        const ReadResult r = readSrec("S104000011EA\n" + bad + S9);
        EXPECT_EQ(r.errors, QStringList {"Illegal Line found"}) << bad.toStdString();
        EXPECT_EQ(r.extent, 0);
        EXPECT_EQ(r.buffer[0], 0x11);
    }
}

TEST(SRecordReader, BadCharactersInDataRecordFieldsAreIllegal)
{
    for (const QByteArray& bad : {QByteArray("S1G40000117A\n"), QByteArray("S10400X0117A\n"),
             QByteArray("S104000011\n"), QByteArray("S1\n"), QByteArray("S20500000\n")}) {
        const ReadResult r = readSrec(bad + S9);
        EXPECT_EQ(r.errors, QStringList {"Illegal Char in File"}) << bad.toStdString();
        EXPECT_EQ(r.extent, 0);
    }
    // Data bytes before the bad one are stored; from it on nothing is.
    for (int bad : {0, 7, 15}) {
        QByteArray line = "S1130000";
        for (int i = 0; i < 16; ++i)
            line += i == bad ? QByteArray("x0") : QByteArray::number(0x100 + i, 16).mid(1);
        line += "74\n";
        const ReadResult r = readSrec(line + S9);
        EXPECT_EQ(r.errors, QStringList {"Illegal Char in File"}) << bad;
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(r.buffer[i], i < bad ? i : 0xCC) << "bad " << bad << " byte " << i;
    }
}

TEST(SRecordReader, ACountTooSmallForItsAddressIsRefusedAndStoresNothing)
{
    // S1 needs at least 3 (two address bytes and the checksum), S2 4, S3 5.
    for (const QByteArray& bad : {QByteArray("S1020000FD\n"), QByteArray("S1000000FF\n"), QByteArray("S203000000FC\n"),
             QByteArray("S30400000000FB\n")}) {
        const ReadResult r = readSrec(bad + S9, 16);
        EXPECT_EQ(r.errors, QStringList {"Illegal Char in File"}) << bad.toStdString();
        EXPECT_EQ(r.extent, 0);
        EXPECT_EQ(r.buffer, std::vector<std::uint8_t>(16, 0xCC));
    }
    // The smallest count is a record without data; it raises the extent to its address.
    const ReadResult empty = readSrec("S1030010EC\n" + S9);
    EXPECT_EQ(empty.errors, QStringList());
    EXPECT_EQ(empty.extent, 0x10);
}

TEST(SRecordReader, DataBeyondTheMaximumFailsBeforeAnyByteIsStored)
{
    const ReadResult atEnd = readSrec("S105000E1122B9\n" + S9, 16);
    EXPECT_EQ(atEnd.errors, QStringList());
    EXPECT_EQ(atEnd.extent, 16);
    const ReadResult over = readSrec("S105000F1122B8\n" + S9, 16);
    EXPECT_EQ(over.errors, QStringList {"File exceeds Maximum Size"});
    EXPECT_EQ(over.buffer[15], 0xCC);
    // Addresses of 0x80000000 and above, and ones whose end passes 32 bits, are beyond too.
    for (const QByteArray& high : {QByteArray("S306800000001168\n"), QByteArray("S307FFFFFFFF1122C9\n")}) {
        const ReadResult r = readSrec(high + S9);
        EXPECT_EQ(r.errors, QStringList {"File exceeds Maximum Size"}) << high.toStdString();
        EXPECT_EQ(r.buffer[0], 0xCC);
    }
}

TEST(SRecordReader, ChecksumErrorKeepsTheRecordsBytes)
{
    const ReadResult r = readSrec("S1050010AABB00\n" + S9);
    EXPECT_EQ(r.errors, QStringList {"Checksum Error"});
    EXPECT_EQ(r.extent, 0);
    EXPECT_EQ(r.buffer[0x10], 0xAA);
    EXPECT_EQ(r.buffer[0x11], 0xBB);
}

TEST(SRecordReader, TakesEveryCountAndHeaderLengthWithEveryLineEnd)
{
    // One row per record and line end: a long S0 header before it, the data record stored whole.
    for (int count : {1, 44, 45, 64, 250, 252}) {
        for (const char* end : {"\n", "\r\n", "\r"}) {
            const QByteArray header = test::sRecord('0', 2, 252, 0);
            const QByteArray text = header + end + test::sRecord('1', 2, count, 0x100) + end + "S9030000FC" + end;
            const ReadResult r = readSrec(text);
            EXPECT_EQ(r.errors, QStringList()) << count << ' ' << QByteArray(end).toHex().toStdString();
            EXPECT_EQ(r.extent, 0x100 + count) << count;
            EXPECT_EQ(r.buffer[std::size_t(0x100 + count - 1)], (0x10 + count - 1) & 0xFF) << count;
        }
    }
}

TEST(SRecordReader, CharactersAfterTheChecksumAreIgnoredHoweverLongTheLine)
{
    const QByteArray padded = "S104000011EA" + QByteArray(300, ' ');
    EXPECT_EQ(readSrec(padded + "\nS9\n").errors, QStringList());
    // A checksum that runs past the end of its line fails as a bad character.
    const QByteArray runs = "S1320000" + QByteArray(94, '0') + "\r\n";
    EXPECT_EQ(readSrec(runs + S9).errors, QStringList {"Illegal Char in File"});
}

TEST(SRecordReader, AFileThatCannotBeOpenedIsReportedWithItsName)
{
    test::TempFolder folder;
    ScriptedUserInterface ui;
    std::uint8_t buffer[1] = {7};
    EXPECT_EQ(readSRecord(folder.path("gone.src"), buffer, 1, ui), 0);
    EXPECT_EQ(ui.errors, QStringList {"Cannot open file " + folder.path("gone.src")});
}

// ---- Writing ----

TEST(SRecordWriter, ZeroBytesGiveTheHeaderAndTheS9Terminator)
{
    EXPECT_EQ(writeSrec({}), Header + S9);
}

TEST(SRecordWriter, WritesTheExampleLineAndSplitsIntoRecordsOf16)
{
    std::vector<std::uint8_t> bytes(20);
    for (int i = 0; i < 20; ++i)
        bytes[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(
        writeSrec(bytes), Header + "S1130000000102030405060708090A0B0C0D0E0F74\r\n" + "S107001010111213A2\r\n" + S9);
    std::fill(bytes.begin(), bytes.begin() + 16, 0xFF);
    EXPECT_EQ(writeSrec(bytes), Header + "S107001010111213A2\r\n" + S9);
    std::fill(bytes.begin(), bytes.end(), 0xFF);
    EXPECT_EQ(writeSrec(bytes), Header + S9);
}

TEST(SRecordWriter, ChoosesTheRecordTypeByTheLength)
{
    std::vector<std::uint8_t> s1(0xFFFF, 0xFF);
    s1[0xFFFE] = 0x00;
    EXPECT_EQ(writeSrec(s1), Header + "S112FFF0" + QByteArray("FF").repeated(14) + "000C\r\n" + S9);

    std::vector<std::uint8_t> s2(0x10000, 0xFF);
    s2[0] = 0x5A;
    EXPECT_EQ(writeSrec(s2), Header + "S2140000005A" + QByteArray("FF").repeated(15) + "A0\r\n" + S8);

    std::vector<std::uint8_t> s3(0x1000000, 0xFF);
    s3[0xFFFFFF] = 0x00;
    EXPECT_EQ(writeSrec(s3), Header + "S31500FFFFF0" + QByteArray("FF").repeated(15) + "000B\r\n" + S7);
    EXPECT_EQ(writeSrec(std::vector<std::uint8_t>(0xFFFFFF, 0xFF)), Header + S8);
}

TEST(SRecordWriter, ReportsAFileItCannotCreate)
{
    test::TempFolder folder;
    ScriptedUserInterface ui;
    const std::uint8_t one = 1;
    const QString nowhere = folder.path("missing/out.src");
    EXPECT_EQ(writeSRecord(nowhere, &one, 1, ui), WriteResult::NotCreated);
    EXPECT_EQ(ui.errors, QStringList {"Cannot create file " + nowhere + ": No such file or directory"});
}
