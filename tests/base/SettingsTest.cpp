#include "base/Settings.h"
#include "base/IniFile.h"
#include "base/Reporter.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/ScriptedUserInterface.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <tuple>

#include <sys/stat.h>
#include <unistd.h>

using namespace kestrum;

namespace {

QString readAll(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return QString::fromUtf8(f.readAll());
}

void writeText(const QString& path, const char* text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

} // namespace

TEST(SettingsFile, PathReplacesTheExtension)
{
    EXPECT_EQ(settingsPathFor(QStringLiteral("/a/b/kestrum")), QStringLiteral("/a/b/kestrum.ini"));
    EXPECT_EQ(settingsPathFor(QStringLiteral("/a/b.c/kestrum.exe")), QStringLiteral("/a/b.c/kestrum.ini"));
}

TEST(SettingsFile, MissingFileGivesDefaults)
{
    QTemporaryDir dir;
    IniFile ini(dir.filePath(QStringLiteral("k.ini")));
    ini.load();
    const Settings s = readSettings(ini);
    EXPECT_FALSE(s.formMax);
    EXPECT_EQ(s.formWidth, 700);
    EXPECT_EQ(s.formHeight, 500);
    EXPECT_EQ(s.formTop, 10);
    EXPECT_EQ(s.formLeft, 10);
    EXPECT_EQ(s.typeIndex, 0);
    EXPECT_EQ(s.speed, 0);
    EXPECT_EQ(s.language, 0);
    EXPECT_EQ(s.chip, 0);
    EXPECT_FALSE(s.readTwice);
    EXPECT_TRUE(s.backUp) << "backups are on until turned off";
}

TEST(SettingsFile, RoundTripWritesOneAndZeroAndKeepsTheChipKey)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("k.ini"));
    writeText(path, "; kept comment\n[DEVICE]\nchip=1\nSPEED=5\n[Other]\nkeep=me\n");
    IniFile ini(path);
    ini.load();
    Settings s = readSettings(ini);
    EXPECT_EQ(s.chip, 1);
    EXPECT_EQ(s.speed, 5);
    s.formMax = true;
    s.formWidth = 1024;
    s.typeIndex = 2;
    s.makerIndex = 3;
    s.nameIndex = 4;
    s.language = 2;
    s.readTwice = true;
    s.backUp = false;
    s.chip = 0; // never written: the file keeps its own value
    writeSettings(ini, s);
    ASSERT_TRUE(ini.save());

    const QString text = readAll(path);
    EXPECT_TRUE(text.contains(QStringLiteral("FormMax=1\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("chip=1\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("keep=me\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("; kept comment\n")));
    EXPECT_LT(text.indexOf(QStringLiteral("FormHeight")), text.indexOf(QStringLiteral("FormMax")));

    IniFile again(path);
    again.load();
    const Settings r = readSettings(again);
    EXPECT_TRUE(r.formMax);
    EXPECT_EQ(r.formWidth, 700) << "a maximised window does not read the geometry keys";
    EXPECT_EQ(r.typeIndex, 2);
    EXPECT_EQ(r.makerIndex, 3);
    EXPECT_EQ(r.nameIndex, 4);
    EXPECT_EQ(r.language, 2);
    EXPECT_EQ(r.chip, 1);
    EXPECT_TRUE(r.readTwice);
    EXPECT_FALSE(r.backUp);

    s.formMax = false;
    writeSettings(again, s);
    ASSERT_TRUE(again.save());
    EXPECT_TRUE(readAll(path).contains(QStringLiteral("FormMax=0\n")));
}

TEST(SettingsFile, KeysMatchIgnoringCaseAndBadNumbersFallBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("k.ini"));
    writeText(path, "[environment]\nformwidth=$400\nFormHeight=abc\nFormMax=true\n[chip]\nindex1=-3\n");
    IniFile ini(path);
    ini.load();
    const Settings s = readSettings(ini);
    EXPECT_FALSE(s.formMax) << "a text that is no number reads as the default";
    EXPECT_EQ(s.formWidth, 0x400);
    EXPECT_EQ(s.formHeight, 500);
    EXPECT_EQ(s.typeIndex, -3);
}

TEST(SettingsFile, LinesWithoutAKeyAreWrittenBackUnchanged)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("k.ini"));
    writeText(path, "[Other]\n=starts with equals\n  = blank key\n;x=comment\nkeep=me\n");
    IniFile ini(path);
    ini.load();
    writeSettings(ini, Settings {});
    ASSERT_TRUE(ini.save());
    const QString text = readAll(path);
    EXPECT_TRUE(text.contains(QStringLiteral("\n=starts with equals\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\n  = blank key\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\n;x=comment\nkeep=me\n"))) << text.toStdString();
}

TEST(SettingsFile, StoringReadsTheFileAgainAndAFailedWriteKeepsItAndSaysSo)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("k.ini"));
    writeText(path, "[DEVICE]\nLANGU=1\n");
    IniFile ini(path);
    ini.load();
    Settings s = readSettings(ini);
    s.language = 2;
    test::ScriptedUserInterface ui;
    Reporter reporter(ui);
    reporter.setLanguage(EnglishLanguage);
    writeText(path, "[DEVICE]\nLANGU=1\nchip=1\n"); // added by hand while the program runs
    {
        test::FileSizeLimit disk(10);
        EXPECT_FALSE(storeSettings(ini, s, reporter));
    }
    EXPECT_EQ(readAll(path), QStringLiteral("[DEVICE]\nLANGU=1\nchip=1\n"));
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].startsWith(QStringLiteral("Cannot write the settings file ") + path));

    EXPECT_TRUE(storeSettings(ini, s, reporter));
    EXPECT_TRUE(readAll(path).contains(QStringLiteral("LANGU=2\nchip=1\n")));
}

TEST(SettingsFile, AFifoOfThatNameIsNeitherWaitedOnNorReplaced)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("k.ini"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    alarm(60); // reading a FIFO would wait for a writer for ever
    IniFile ini(path);
    EXPECT_EQ(ini.load(), IniFile::LoadResult::Failed);
    test::ScriptedUserInterface ui;
    Reporter reporter(ui);
    EXPECT_FALSE(storeSettings(ini, Settings {}, reporter));
    alarm(0);
    struct stat info
    {
    };
    ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_EQ(ui.errors.size(), 1);
}

TEST(WindowSize, EachSideIsClampedByTheSameSideOfTheScreen)
{
    // Screens that are not square: a width never takes the screen's height, nor a height its width.
    const std::tuple<QSize, QSize, QSize> cases[] = {
        {{1200, 900}, {1000, 700}, {1000, 700}},
        {{900, 800}, {1920, 600}, {900, 600}},
        {{2000, 300}, {1280, 1024}, {1280, 300}},
        {{700, 1000}, {800, 600}, {700, 600}},
        {{0, -5}, {800, 600}, {1, 1}},
    };
    for (const auto& [wanted, screen, expected] : cases)
        EXPECT_EQ(clampWindowSize(wanted, screen), expected) << wanted.width() << "x" << wanted.height();
}

TEST(SettingsFile, ForeignBytesSurviveAndOutOfRangeValuesFallBackWithALogLine)
{
    struct Row
    {
        QByteArray file;
        int speed;
        int language;
        bool languageStored;
        QStringList log;
    };
    const QByteArray foreign = "[Other]\r\nName=caf\xE9 \xFF\xFE\r\n; \x80\x81 comment\n";
    const Row rows[] = {
        {foreign + "[DEVICE]\nSPEED=3\nLANGU=2\n", 3, 2, true, {}},
        {foreign + "[DEVICE]\nSPEED=77\nLANGU=1\n", 0, 1, true,
            {"001:The setting SPEED=77 in %1 is out of range; the default is used."}},
        {foreign + "[DEVICE]\nSPEED=-1\nLANGU=9\n", 0, 0, false,
            {"002:The setting LANGU=9 in %1 is out of range; the default is used.",
                "001:The setting SPEED=-1 in %1 is out of range; the default is used."}},
    };
    for (const Row& row : rows) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("k.ini"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(row.file);
        f.close();
        test::ScriptedUserInterface ui;
        Reporter reporter(ui);
        reporter.setLanguage(EnglishLanguage);
        IniFile ini(path);
        ini.load();
        const Settings s = readSettings(ini, &reporter);
        EXPECT_EQ(s.speed, row.speed) << row.file.toStdString();
        EXPECT_EQ(s.language, row.language) << row.file.toStdString();
        EXPECT_EQ(s.languageStored, row.languageStored) << row.file.toStdString();
        QStringList expected;
        for (const QString& line : row.log)
            expected << line.arg(path);
        EXPECT_EQ(ui.log, expected);
        ASSERT_TRUE(storeSettings(ini, s, reporter));
        QFile back(path);
        ASSERT_TRUE(back.open(QIODevice::ReadOnly));
        EXPECT_TRUE(back.readAll().startsWith(foreign)) << "the lines the program does not own, byte for byte";
    }
}
