#include "base/ReplacementFile.h"
#include "base/RegularFile.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrum;

namespace {

QSet<QString> hiddenFiles(const QTemporaryDir& dir)
{
    const QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    QSet<QString> hidden;
    for (const QString& name : names) {
        if (name.startsWith(QLatin1Char('.')))
            hidden.insert(name);
    }
    return hidden;
}

/// A save in another process killed after its first bytes, as by kill -9: its temporary file
/// stays. Returns its name.
QString killedSave(const QTemporaryDir& dir, const QString& target)
{
    const QSet<QString> before = hiddenFiles(dir);
    const pid_t child = ::fork();
    if (child == 0) {
        const QByteArray path = dir.filePath(target).toLocal8Bit();
        ::execl(KESTRUM_KILLED_SAVE, KESTRUM_KILLED_SAVE, path.constData(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    const QSet<QString> created = hiddenFiles(dir) - before;
    return created.size() == 1 ? *created.begin() : QString();
}

void makeOld(const QTemporaryDir& dir, const QString& name)
{
    const timeval old[2] = {{::time(nullptr) - 120, 0}, {::time(nullptr) - 120, 0}};
    ASSERT_EQ(::utimes(encodeFileName(dir.filePath(name)).constData(), old), 0) << name.toStdString();
}

} // namespace

TEST(ReplacementFile, ASaveRemovesOnlyTheStaleTemporaryFilesOfKilledSavesToItsTarget)
{
    QTemporaryDir dir;
    struct Row
    {
        QString name;
        bool old;
        bool kept;
    };
    const QString foreign = QStringLiteral(".image.bin.notes.tmp");
    ASSERT_TRUE(QFile(dir.filePath(foreign)).open(QIODevice::WriteOnly));
    const Row rows[] = {
        {killedSave(dir, QStringLiteral("image.bin")), true, false},
        {killedSave(dir, QStringLiteral("image.bin")), false, true}, // may be a save still running
        {killedSave(dir, QStringLiteral("image.bin.old")), true, true}, // another target's
        {killedSave(dir, QStringLiteral("image")), true, true}, {foreign, true, true}, // not a save's
    };
    for (const Row& row : rows) {
        ASSERT_FALSE(row.name.isEmpty());
        if (row.old)
            makeOld(dir, row.name);
    }
    ReplacementFile file(dir.filePath(QStringLiteral("image.bin")));
    ASSERT_TRUE(file.create());
    file.append("whole", 5);
    ASSERT_TRUE(file.commit());
    for (const Row& row : rows)
        EXPECT_EQ(QFile::exists(dir.filePath(row.name)), row.kept) << row.name.toStdString();
}
