// The backups folder on its own: the trim rule.
#include "ops/Backups.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

TEST(BackupFolder, TrimRemovesTheOldestBackupsUntilTheFolderFitsItsLimit)
{
    QTemporaryDir dir;
    const QStringList names {QStringLiteral("20260101-090000-W25Q64-00000001.bin"),
        QStringLiteral("20251231-235959-W25Q64-00000002.bin"), QStringLiteral("20260102-080000-AT24C02-00000003.bin"),
        QStringLiteral("20260103-000000-W25Q64-00000004.bin"), QStringLiteral("notes.bin")};
    for (const QString& name : names) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(100, 'x'));
    }
    BackupFolder folder(dir.path());
    // 400 bytes of backups: the two oldest go to fit 250; the file that is no backup stays.
    EXPECT_EQ(folder.trim(250), (QStringList {dir.filePath(names[1]), dir.filePath(names[0])}));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList {names[2], names[3], names[4]}));
    EXPECT_TRUE(folder.trim(200).isEmpty()) << "the folder fits its limit exactly";
}

} // namespace
