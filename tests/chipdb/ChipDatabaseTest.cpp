#include "chipdb/ChipDatabase.h"
#include "base/Reporter.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/ScriptedUserInterface.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include <sys/stat.h>
#include <unistd.h>

using namespace kestrum;

namespace {

ChipRecord makeRecord(const char* names, std::uint32_t id, std::uint32_t size)
{
    ChipRecord r {};
    std::strncpy(r.names, names, NamesSize - 1);
    r.chipId = id;
    r.flashSize = size;
    r.flashPage = 256;
    return r;
}

QByteArray recordsBytes(const std::vector<ChipRecord>& records)
{
    return QByteArray(reinterpret_cast<const char*>(records.data()), qsizetype(records.size() * sizeof(ChipRecord)));
}

struct DatabaseFixture : ::testing::Test
{
    QTemporaryDir dir;
    test::ScriptedUserInterface ui;
    Reporter reporter {ui};
    ChipTable table;

    QString path() const { return dir.filePath(QStringLiteral("kestrum.Dat")); }
    void writeFile(const QByteArray& bytes) const
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

} // namespace

TEST(ChipRecordLayout, FieldsAreLittleEndianAtTheirOffsets)
{
    ChipRecord r = makeRecord("25-SPI-Flash,Winbond,W25Q16", 0xEF4015, 0x200000);
    r.delay = 0x1234;
    r.voltage = 1;
    const auto* b = reinterpret_cast<const unsigned char*>(&r);
    EXPECT_EQ(b[48], 0x15);
    EXPECT_EQ(b[49], 0x40);
    EXPECT_EQ(b[50], 0xEF);
    EXPECT_EQ(b[51], 0x00);
    EXPECT_EQ(b[54], 0x20);
    EXPECT_EQ(b[56], 0x00);
    EXPECT_EQ(b[57], 0x01);
    EXPECT_EQ(b[60], 0x34);
    EXPECT_EQ(b[61], 0x12);
    EXPECT_EQ(b[67], 1);
}

TEST(ChipRecordLayout, NamesAreGbkAndNeverOverflow)
{
    ChipRecord r {};
    r.chipId = 0xAABBCCDD;
    EXPECT_TRUE(r.setNamesText(QString::fromUtf16(u"24 EEPROM,爱特梅尔,AT24C02")));
    EXPECT_EQ(r.namesText(), QString::fromUtf16(u"24 EEPROM,爱特梅尔,AT24C02"));
    EXPECT_FALSE(r.setNamesText(QString(48, QLatin1Char('x'))));
    EXPECT_TRUE(r.setNamesText(QString(47, QLatin1Char('x'))));
    EXPECT_EQ(r.chipId, 0xAABBCCDDu) << "the names text must not spill into the next field";
    // A names field with no terminator is read up to its 48 bytes only.
    std::memset(r.names, 'y', NamesSize);
    EXPECT_EQ(r.namesText().size(), NamesSize);
}

TEST(ChipDatabasePath, ReplacesTheExtensionWithDat)
{
    EXPECT_EQ(databasePathFor(QStringLiteral("/opt/k/kestrum")), QStringLiteral("/opt/k/kestrum.Dat"));
    EXPECT_EQ(databasePathFor(QStringLiteral("/opt/k/kestrum.exe")), QStringLiteral("/opt/k/kestrum.Dat"));
}

TEST_F(DatabaseFixture, MissingFileChangesNothingAndShowsNothing)
{
    table[0] = makeRecord("a,b,c", 1, 64);
    EXPECT_EQ(loadChipDatabaseFile(path(), table, reporter), LoadResult::NoFile);
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_EQ(table.listedCount(), 1);
}

TEST_F(DatabaseFixture, EmptyFileLoadsNoRecord)
{
    writeFile({});
    EXPECT_EQ(loadChipDatabaseFile(path(), table, reporter), LoadResult::Loaded);
    EXPECT_EQ(table.listedCount(), 0);
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(DatabaseFixture, LengthNotAMultipleOf68IsDestroyedAndLoadsNothing)
{
    reporter.setLanguage(2);
    // The whole file's length counts, also past the records the table takes.
    for (const std::size_t records : {std::size_t(1), std::size_t(1005)}) {
        ui.clearRecords();
        writeFile(recordsBytes(std::vector<ChipRecord>(records, makeRecord("a,b,c", 1, 64))) + QByteArray(1, '\0'));
        EXPECT_EQ(loadChipDatabaseFile(path(), table, reporter), LoadResult::Destroyed) << records;
        ASSERT_EQ(ui.errors.size(), 1);
        EXPECT_EQ(ui.errors[0], QStringLiteral("The configuration file was destroyed."));
        EXPECT_EQ(table.listedCount(), 0);
    }

    EXPECT_EQ(loadChipDatabaseFile(path(), table, reporter, IntegrityMessage::EditorFixedText), LoadResult::Destroyed);
    EXPECT_EQ(ui.errors.last(), QString::fromUtf16(u"配置文件被破坏！"));
}

TEST_F(DatabaseFixture, ThousandRecordsWithoutTerminatorGiveThousandChips)
{
    std::vector<ChipRecord> records;
    for (int i = 0; i < 1000; ++i)
        records.push_back(makeRecord(qPrintable(QStringLiteral("t,m,n%1").arg(i)), std::uint32_t(i), 64));
    writeFile(recordsBytes(records));
    EXPECT_EQ(loadChipDatabaseFile(path(), table, reporter), LoadResult::Loaded);
    EXPECT_EQ(table.listedCount(), 1000);
    EXPECT_EQ(table[999].chipId, 999u);
}

TEST_F(DatabaseFixture, LongerFileLoadsItsFirstThousandRecordsOnly)
{
    std::vector<ChipRecord> records;
    for (int i = 0; i < 1005; ++i)
        records.push_back(makeRecord("t,m,n", std::uint32_t(i), 64));
    writeFile(recordsBytes(records));
    EXPECT_EQ(loadChipDatabaseFile(path(), table, reporter), LoadResult::Loaded);
    EXPECT_EQ(table.listedCount(), 1000);
    EXPECT_EQ(table[999].chipId, 999u);
}

TEST_F(DatabaseFixture, ShorterReloadLeavesOldRecordsPastTheMarker)
{
    writeFile(recordsBytes({makeRecord("a,b,c", 1, 64), makeRecord("a,b,d", 2, 64), makeRecord("a,b,e", 3, 64)}));
    ASSERT_EQ(loadChipDatabaseFile(path(), table, reporter), LoadResult::Loaded);
    ChipRecord terminator {};
    writeFile(recordsBytes({makeRecord("x,y,z", 9, 64), terminator}));
    ASSERT_EQ(loadChipDatabaseFile(path(), table, reporter), LoadResult::Loaded);
    EXPECT_EQ(table.listedCount(), 1);
    EXPECT_EQ(table[2].chipId, 3u) << "slot past the marker keeps the earlier record";
}

TEST_F(DatabaseFixture, ADamagedRecordIsLeftOutAndLoggedWithItsSlotAndTheRestLoads)
{
    ChipRecord noTerminator = makeRecord("", 2, 64);
    std::memset(noTerminator.names, 'x', NamesSize);
    noTerminator.names[3] = ',';
    noTerminator.names[9] = ',';
    ChipRecord randomBytes {};
    std::mt19937 random(25);
    for (std::size_t i = 0; i < sizeof randomBytes; ++i)
        reinterpret_cast<char*>(&randomBytes)[i] = static_cast<char>(random() % 255 + 1);
    const ChipRecord rows[] = {
        makeRecord("SPI,Maker", 2, 64),
        makeRecord("SPI", 2, 64),
        makeRecord("\x81\x20,maker,name", 2, 64),
        noTerminator,
        randomBytes,
    };
    for (const ChipRecord& damaged : rows) {
        test::ScriptedUserInterface rowUi;
        Reporter rowReporter {rowUi};
        rowReporter.setLanguage(EnglishLanguage);
        ChipTable rowTable;
        writeFile(recordsBytes({makeRecord("a,b,c", 1, 64), damaged, makeRecord("a,b,d", 3, 64)}));
        EXPECT_EQ(loadChipDatabaseFile(path(), rowTable, rowReporter), LoadResult::Loaded);
        EXPECT_EQ(rowTable.listedCount(), 2) << damaged.namesText().toStdString();
        EXPECT_EQ(rowTable[1].chipId, 3u);
        EXPECT_EQ(rowUi.errors, QStringList());
        EXPECT_EQ(rowUi.log, QStringList {"001:Damaged records of the chip database were left out: 1"});
    }
}

TEST_F(DatabaseFixture, UnreadableFileNamesFileAndReasonAndKeepsTable)
{
    table[0] = makeRecord("a,b,c", 1, 64);
    QDir().mkpath(path()); // a folder where the file should be: exists, but cannot be read as a file
    reporter.setLanguage(2);
    EXPECT_EQ(loadChipDatabaseFile(path(), table, reporter), LoadResult::NoFile);
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].contains(path()));
    EXPECT_EQ(table.listedCount(), 1);
}

TEST_F(DatabaseFixture, WriteReplacesTheFileAndAFailedWriteKeepsTheOldOne)
{
    writeFile(recordsBytes({makeRecord("old,old,old", 1, 64)}));
    table[0] = makeRecord("new,new,new", 2, 128);
    EXPECT_TRUE(writeDatabaseFile(path(), table.bytes(), 2 * ChipRecordSize, reporter));
    QFile f(path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.size(), 2 * ChipRecordSize);
    EXPECT_TRUE(f.readAll().startsWith("new,new,new"));
    f.close();

    // A target inside a folder that does not exist cannot be written: the box names it.
    const QString bad = dir.filePath(QStringLiteral("missing/kestrum.Dat"));
    EXPECT_FALSE(writeDatabaseFile(bad, table.bytes(), ChipRecordSize, reporter));
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].contains(bad));

    // Make the folder read-only: the write fails and the existing database stays intact.
    if (geteuid() != 0) {
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        EXPECT_FALSE(writeDatabaseFile(path(), table.bytes(), ChipRecordSize, reporter));
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QFile again(path());
        ASSERT_TRUE(again.open(QIODevice::ReadOnly));
        EXPECT_EQ(again.size(), 2 * ChipRecordSize);
    }
}

TEST_F(DatabaseFixture, AFifoNamedLikeTheDatabaseIsRefusedWithoutWaiting)
{
    alarm(60); // reading a FIFO would wait for a writer for ever
    ASSERT_EQ(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
    table[0] = makeRecord("a,b,c", 1, 64);
    reporter.setLanguage(EnglishLanguage);
    EXPECT_EQ(loadChipDatabaseFile(path(), table, reporter), LoadResult::NoFile);
    alarm(0);
    EXPECT_EQ(ui.errors,
        QStringList {messageText(MsgDatabaseUnreadable, EnglishLanguage)
                         .arg(path(), messageText(MsgNotRegularFile, EnglishLanguage))});
    EXPECT_EQ(table.listedCount(), 1);
}

TEST_F(DatabaseFixture, AWriteCutShortByAFullDiskKeepsTheOldFileAndSaysSo)
{
    std::vector<ChipRecord> records;
    for (int i = 0; i < 40; ++i)
        records.push_back(makeRecord("t,m,n", std::uint32_t(i), 64));
    writeFile(recordsBytes(records));
    for (int i = 0; i < 40; ++i)
        table[i] = makeRecord("new,new,new", std::uint32_t(i), 128);
    {
        test::FileSizeLimit disk(100);
        EXPECT_FALSE(writeDatabaseFile(path(), table.bytes(), 41 * ChipRecordSize, reporter));
    }
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].contains(path()));
    QFile f(path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), recordsBytes(records));
}
