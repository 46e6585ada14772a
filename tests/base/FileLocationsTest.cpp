#include "base/FileLocations.h"
#include "base/Reporter.h"
#include "tests/support/ScriptedUserInterface.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace kestrum;
using kestrum::test::ScriptedUserInterface;

namespace {

void put(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray content(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// An installed program: <root>/usr/bin/kestrum (folder read-only) and
// <root>/usr/share/kestrum/kestrum.Dat; the XDG variables point into <root>/home.
struct Installed : ::testing::Test
{
    QTemporaryDir root;
    QString bin = root.filePath(QStringLiteral("usr/bin"));
    QString shipped = root.filePath(QStringLiteral("usr/share/kestrum/kestrum.Dat"));
    EnvironmentLookup env = [this](const char* name) {
        if (qstrcmp(name, "XDG_CONFIG_HOME") == 0)
            return root.filePath(QStringLiteral("home/config"));
        if (qstrcmp(name, "XDG_DATA_HOME") == 0)
            return root.filePath(QStringLiteral("home/data"));
        if (qstrcmp(name, "XDG_STATE_HOME") == 0)
            return root.filePath(QStringLiteral("home/state"));
        return root.filePath(QStringLiteral("home"));
    };
    ScriptedUserInterface ui;
    Reporter reporter {ui};
    QStringList asked; ///< the user files the question was asked about

    void SetUp() override
    {
        QDir().mkpath(bin);
        put(shipped, "version 1");
        ::chmod(bin.toLocal8Bit().constData(), 0555);
    }
    FileLocations files() { return locateFiles(bin + QStringLiteral("/kestrum"), env); }
    DatabaseUpdate prepare(bool answer)
    {
        return prepareUserDatabase(files(), reporter, [this, answer](const QString& file) {
            asked << file;
            return answer;
        });
    }
};

} // namespace

TEST(FileLocations, WritableFolderKeepsBothFilesBesideTheExecutable)
{
    QTemporaryDir dir;
    const FileLocations f = locateFiles(
        dir.filePath(QStringLiteral("kestrum")), [](const char*) { return QStringLiteral("/elsewhere"); });
    EXPECT_TRUE(f.portable);
    EXPECT_EQ(f.settingsFile, dir.filePath(QStringLiteral("kestrum.ini")));
    EXPECT_EQ(f.databaseFile, dir.filePath(QStringLiteral("kestrum.Dat")));
    EXPECT_EQ(f.logFile, dir.filePath(QStringLiteral("kestrum.log")));
    EXPECT_EQ(f.backupFolder, dir.filePath(QStringLiteral("backups")));
}

TEST_F(Installed, UsesTheXdgFoldersAndCopiesTheDatabaseAtTheFirstStart)
{
    const FileLocations f = files();
    EXPECT_FALSE(f.portable);
    EXPECT_EQ(f.settingsFile, root.filePath(QStringLiteral("home/config/kestrum/kestrum.ini")));
    EXPECT_EQ(f.databaseFile, root.filePath(QStringLiteral("home/data/kestrum/kestrum.Dat")));
    EXPECT_EQ(f.logFile, root.filePath(QStringLiteral("home/state/kestrum/kestrum.log")));
    EXPECT_EQ(f.backupFolder, root.filePath(QStringLiteral("home/data/kestrum/backups")));
    EXPECT_EQ(prepare(true), DatabaseUpdate::Copied);
    EXPECT_EQ(content(f.databaseFile), "version 1");
    EXPECT_EQ(prepare(true), DatabaseUpdate::Nothing);
    EXPECT_TRUE(asked.isEmpty());
}

TEST_F(Installed, UnsetXdgVariablesFallBackToTheHomeFolders)
{
    // Unset, empty or relative: each XDG variable is ignored and the home folder's default used.
    for (const char* xdg : {static_cast<const char*>(nullptr), "", "relative/folder", "./here"}) {
        env = [this, xdg](const char* name) {
            if (qstrcmp(name, "HOME") == 0)
                return root.filePath(QStringLiteral("home"));
            return xdg && qstrncmp(name, "XDG_", 4) == 0 ? QString::fromLatin1(xdg) : QString();
        };
        EXPECT_EQ(files().settingsFile, root.filePath(QStringLiteral("home/.config/kestrum/kestrum.ini"))) << xdg;
        EXPECT_EQ(files().databaseFile, root.filePath(QStringLiteral("home/.local/share/kestrum/kestrum.Dat"))) << xdg;
        EXPECT_EQ(files().logFile, root.filePath(QStringLiteral("home/.local/state/kestrum/kestrum.log"))) << xdg;
    }
}

TEST_F(Installed, ANewerDatabaseReplacesAnUntouchedCopyWithoutAsking)
{
    prepare(true);
    put(shipped, "version 2");
    EXPECT_EQ(prepare(false), DatabaseUpdate::Replaced);
    EXPECT_EQ(content(files().databaseFile), "version 2");
    EXPECT_TRUE(asked.isEmpty());
}

TEST_F(Installed, AnEditedCopyIsKeptUnlessTheUserAgrees)
{
    prepare(true);
    put(files().databaseFile, "edited");
    put(shipped, "version 2");
    EXPECT_EQ(prepare(false), DatabaseUpdate::KeptEdited);
    EXPECT_EQ(content(files().databaseFile), "edited");
    EXPECT_EQ(asked.size(), 1);
    // Asked once per shipped database; the next one is asked about again, and a yes replaces.
    EXPECT_EQ(prepare(false), DatabaseUpdate::Nothing);
    put(shipped, "version 3");
    EXPECT_EQ(prepare(true), DatabaseUpdate::Replaced);
    EXPECT_EQ(content(files().databaseFile), "version 3");
    EXPECT_EQ(asked.size(), 2);
}

TEST_F(Installed, TheFirstCopyWritesThroughNoPlantedLinkAndLeavesNoFileBeside)
{
    const FileLocations f = files();
    const QString victim = root.filePath(QStringLiteral("victim"));
    put(victim, "not yours");
    QDir().mkpath(QFileInfo(f.databaseFile).absolutePath());
    for (const QString& planted : {f.databaseFile + QStringLiteral(".new"), f.databaseFile + QStringLiteral(".tmp")})
        ASSERT_TRUE(QFile::link(victim, planted));
    EXPECT_EQ(prepare(true), DatabaseUpdate::Copied);
    EXPECT_EQ(content(f.databaseFile), "version 1");
    EXPECT_FALSE(QFileInfo(f.databaseFile).isSymLink());
    EXPECT_EQ(content(victim), "not yours");
    const QStringList hidden = QDir(QFileInfo(f.databaseFile).absolutePath())
                                   .entryList(QStringList {QStringLiteral(".*")}, QDir::Files | QDir::Hidden);
    EXPECT_TRUE(hidden.isEmpty()) << hidden.join(' ').toStdString();
}
