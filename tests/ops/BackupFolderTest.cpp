// The backups folder on its own: what counts as a backup, and the trim rule.
#include "ops/Backups.h"

#include "buffer/Checksum.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

QByteArray image(int size, int flipAt = -1)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + 1);
    if (flipAt >= 0)
        bytes[flipAt] = char(bytes[flipAt] ^ 0x01);
    return bytes;
}

const std::uint8_t* bytesOf(const QByteArray& b)
{
    return reinterpret_cast<const std::uint8_t*>(b.constData());
}

void writeFile(const QString& path, const QByteArray& bytes, qint64 secondsAgo)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    ASSERT_TRUE(f.flush()); // a later flush would set the time again
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-secondsAgo), QFileDevice::FileModificationTime));
}

TEST(BackupFolder, TrimRemovesTheOldestBackupsUntilTheFolderFitsItsLimit)
{
    QTemporaryDir dir;
    const QStringList names {QStringLiteral("20260101-090000-W25Q64-00000001.bin"),
        QStringLiteral("20251231-235959-W25Q64-00000002.bin"), QStringLiteral("20260102-080000-AT24C02-00000003.bin"),
        QStringLiteral("20260103-000000-W25Q64-00000004.bin"), QStringLiteral("notes.bin")};
    // Written in another order than the times in their names say (the clock was set back): the
    // file's time decides.
    const qint64 ages[] {300, 100, 200, 400, 500};
    for (int i = 0; i < names.size(); ++i)
        writeFile(dir.filePath(names[i]), QByteArray(100, 'x'), ages[i]);
    BackupFolder folder(dir.path());
    // 400 bytes of backups: the two oldest go to fit 250; the file that is no backup stays.
    EXPECT_EQ(folder.trim(250), (QStringList {dir.filePath(names[3]), dir.filePath(names[0])}));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList {names[1], names[2], names[4]}));
    EXPECT_TRUE(folder.trim(200).isEmpty()) << "the folder fits its limit exactly";
}

TEST(BackupFolder, AFileCountsAsTheBackupOnlyWhenItHoldsTheImageOnDisk)
{
    QTemporaryDir dir;
    const QByteArray chip = image(4096);
    const QString name = BackupFolder::fileName(QDateTime(QDate(2026, 1, 1), QTime(9, 0)), QStringLiteral("W25Q64"),
        0); // the CRC does not matter to holds()
    struct Row
    {
        const char* what;
        QByteArray content; // empty with link: a symbolic link to /dev/null
        bool link;
        bool holds;
    };
    const Row rows[] = {
        {"the image", chip, false, true},
        {"0 bytes", QByteArray(), false, false},
        {"a link to /dev/null", QByteArray(), true, false},
        {"one byte flipped", image(4096, 4000), false, false},
        {"one byte short", chip.left(4095), false, false},
        {"one byte more", chip + 'x', false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const QString path = dir.filePath(name);
        QFile::remove(path);
        if (row.link)
            ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), path));
        else
            writeFile(path, row.content, 0);
        EXPECT_EQ(BackupFolder::holds(path, bytesOf(chip), 4096), row.holds);
    }
}

TEST(BackupFolder, AFakeKeptFileOfTheExpectedNameIsNoBackup)
{
    const QByteArray chip = image(4096);
    const QDateTime then(QDate(2026, 1, 1), QTime(9, 0));
    const QDateTime now(QDate(2026, 2, 1), QTime(9, 0));
    for (const bool real : {false, true}) {
        SCOPED_TRACE(real);
        QTemporaryDir dir;
        BackupFolder folder(dir.path());
        const QString old
            = dir.filePath(BackupFolder::fileName(then, QStringLiteral("W25Q64"), crc32(bytesOf(chip), 4096)));
        writeFile(old, real ? chip : QByteArray(), 0);
        const BackupResult kept = folder.keep(bytesOf(chip), 4096, QStringLiteral("W25Q64"), now);
        EXPECT_EQ(kept.kind, real ? BackupResult::Kind::Exists : BackupResult::Kind::Written);
        EXPECT_EQ(kept.file,
            real ? old
                 : dir.filePath(BackupFolder::fileName(now, QStringLiteral("W25Q64"), crc32(bytesOf(chip), 4096))));
        EXPECT_TRUE(BackupFolder::holds(kept.file, bytesOf(chip), 4096));
    }
}

TEST(BackupFolder, TrimKeepsTheBackupJustWrittenWhenTheClockWasSetBack)
{
    QTemporaryDir dir;
    // Backups written earlier whose names carry later times than the clock now gives.
    const QStringList older {QStringLiteral("20300101-000000-W25Q64-00000001.bin"),
        QStringLiteral("20300102-000000-W25Q64-00000002.bin"), QStringLiteral("20300103-000000-W25Q64-00000003.bin")};
    for (int i = 0; i < older.size(); ++i)
        writeFile(dir.filePath(older[i]), QByteArray(4096, 'x'), 3600 - i); // the first written longest ago
    BackupFolder folder(dir.path());
    const QByteArray chip = image(4096);
    const BackupResult kept = folder.keep(bytesOf(chip), 4096, QStringLiteral("W25Q64"), QDateTime::currentDateTime());
    ASSERT_EQ(kept.kind, BackupResult::Kind::Written);
    // Two files fit: the new one stays and the one written longest ago goes, then the next.
    EXPECT_EQ(folder.trim(2 * 4096), (QStringList {dir.filePath(older[0]), dir.filePath(older[1])}));
    EXPECT_TRUE(QFile::exists(kept.file));
    EXPECT_TRUE(folder.trim(0).contains(dir.filePath(older[2])));
    EXPECT_TRUE(QFile::exists(kept.file)) << "a backup this process relies on is never trimmed";
}

} // namespace
