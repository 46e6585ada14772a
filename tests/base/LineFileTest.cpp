// Whole lines appended to a regular file: a line that cannot be written whole is cut back, and
// what is not a regular file is refused before anything waits on it.
#include "base/LineFile.h"
#include "tests/support/FileSizeLimit.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

#include <sys/stat.h>

namespace kestrum::test {
namespace {

TEST(LineFile, ALineThatDoesNotFitIsCutBackSoTheNextStartsClean)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("jobs.csv"));
    LineFile file;
    ASSERT_EQ(file.open(path), 0);
    ASSERT_EQ(file.append(QByteArray(1000, 'x') + '\n', true), 0);
    {
        FileSizeLimit full(1010);
        EXPECT_EQ(file.append(QByteArray(20, 'y') + '\n', true), EFBIG);
        EXPECT_EQ(file.size(), 1001) << "no half line is left";
        EXPECT_EQ(file.append("short\n", false), 0);
    }
    file.close();
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray(1000, 'x') + "\nshort\n");

    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(file.open(fifo), LineFile::NotRegular);
    EXPECT_FALSE(file.isOpen());
}

} // namespace
} // namespace kestrum::test
