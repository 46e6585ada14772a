// The log file on its own: rotation at its size, three files kept.
#include "base/LogFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

TEST(LogFile, RotatesBeforeTheFileWouldPassItsSizeAndKeepsThreeFiles)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kestrum.log"));
    // Each line is 20 + 10 + 1 = 31 bytes; three fit 100 bytes, a fourth does not.
    LogFile log(path, 100);
    const QDateTime when(QDate(2026, 12, 7), QTime(22, 5, 9));
    for (int i = 0; i < 10; ++i) {
        log.append(QStringLiteral("line %1 ...").arg(i).left(10), when);
        ASSERT_TRUE(log.flush());
    }
    const auto content = [&](const QString& name) {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("(none)");
    };
    EXPECT_EQ(content(path), QStringLiteral("2026-12-07 22:05:09 line 9 ...\n"));
    EXPECT_TRUE(content(path + QStringLiteral(".1")).startsWith(QStringLiteral("2026-12-07 22:05:09 line 6 ...\n")));
    EXPECT_TRUE(content(path + QStringLiteral(".2")).startsWith(QStringLiteral("2026-12-07 22:05:09 line 3 ...\n")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), LogFile::KeptFiles);
}

} // namespace
