#include "buffer/FileCommands.h"
#include "tests/buffer/FileTestSupport.h"
#include "tests/support/ScriptedUserInterface.h"

#include "buffer/ImageFile.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace kestrum;
using kestrum::test::ScriptedUserInterface;

namespace {

constexpr std::uint32_t OneMiB = 0x100000;

/// The commands with a recorded hex view: the counts it was refreshed with and the number of
/// times its edits were taken back (each taking writes 0xEE at index 0, as an edit would).
class FileCommandsTest : public testing::Test
{
protected:
    FileCommandsTest() { reporter.setLanguage(2); }

    ScriptedUserInterface ui;
    Reporter reporter {ui};
    DataBuffer buffer;
    std::vector<std::uint32_t> refreshes;
    int takes = 0;
    FileCommands commands {reporter, buffer, [this](std::uint32_t count) { refreshes.push_back(count); },
        [this] {
            ++takes;
            buffer.bytes[0] = 0xEE;
        }};
    test::TempFolder folder;
};

} // namespace

TEST_F(FileCommandsTest, OpenOffersTheFiltersAndACancelChangesNothing)
{
    buffer.bytes[5] = 0x12;
    buffer.usedLength = 9;
    commands.open(OneMiB);
    EXPECT_EQ(ui.openFilters,
        QStringList {"All supported files (*.bin *.hex *.ihx *.ihex *.rom *.cap *.eep *.s19 *.srec *.src *.s28 *.s37 "
                     "*.mot *.mhx *.s1 *.s2 *.s3)|*.bin;*.hex;*.ihx;*.ihex;*.rom;*.cap;*.eep;*.s19;*.srec;*.src;*.s28;"
                     "*.s37;*.mot;*.mhx;*.s1;*.s2;*.s3|"
                     "Binary (*.bin)|*.bin|Intel Hex(*.hex)|*.hex|Bios Rom (*.rom)|*.rom|Asus Rom (*.cap)|*.cap|"
                     "Motorola S-record (*.s19 *.srec *.src *.s28 *.s37 *.mot *.mhx *.s1 *.s2 *.s3)|"
                     "*.s19;*.srec;*.src;*.s28;*.s37;*.mot;*.mhx;*.s1;*.s2;*.s3|All files (*.*)|*.*"});
    EXPECT_EQ(buffer.bytes[5], 0x12);
    EXPECT_EQ(buffer.usedLength, 9);
    EXPECT_TRUE(refreshes.empty());
    EXPECT_TRUE(ui.log.isEmpty());
}

TEST_F(FileCommandsTest, OpenErasesTheBufferLoadsShowsTheChipAndLogsTheFullPath)
{
    buffer.bytes[300] = 0x00; // left from before: Open erases it
    const QString path = folder.path("fw.bin");
    test::writeFile(path, QByteArray(256, '\x5A'));
    ui.openFiles = {path};
    commands.open(OneMiB);
    EXPECT_EQ(buffer.usedLength, 256);
    EXPECT_EQ(buffer.bytes[255], 0x5A);
    EXPECT_EQ(buffer.bytes[256], 0xFF);
    EXPECT_EQ(buffer.bytes[300], 0xFF);
    EXPECT_EQ(refreshes, std::vector<std::uint32_t> {OneMiB});
    EXPECT_EQ(ui.log, QStringList {"001:Open" + QFileInfo(path).absoluteFilePath()});
    EXPECT_EQ(takes, 0);
}

TEST_F(FileCommandsTest, AFileLargerThanTheChipCountsWholeButTheViewSpansTheChip)
{
    const QString path = folder.path("big.rom");
    test::writeFile(path, QByteArray(2 * OneMiB, '\x01'));
    ui.openFiles = {path};
    commands.open(OneMiB);
    EXPECT_EQ(buffer.usedLength, static_cast<qint32>(2 * OneMiB));
    EXPECT_EQ(refreshes, std::vector<std::uint32_t> {OneMiB});
}

TEST_F(FileCommandsTest, AFailedOpenChangesNothingAndNamesTheFileAndTheLine)
{
    const QString path = folder.path("broken.hex");
    test::writeFile(path, ":0100000011EE\r\n:01000100GG00\r\n");
    const QString second = folder.path("missing.bin");
    ui.openFiles = {path, second};
    buffer.bytes[0] = 0x5A;
    buffer.usedLength = 7;
    commands.open(OneMiB);
    EXPECT_EQ(buffer.usedLength, 7);
    EXPECT_EQ(buffer.bytes[0], 0x5A);
    EXPECT_EQ(ui.errors, QStringList {"Illegal Char in File\n" + path + ", line 2"});
    // A file that cannot be opened is refused before the buffer is touched: nothing changes.
    commands.open(OneMiB);
    EXPECT_EQ(buffer.bytes[0], 0x5A);
    EXPECT_EQ(ui.errors.last(), "Can't open File");
    EXPECT_TRUE(refreshes.empty());
    EXPECT_TRUE(ui.log.isEmpty());
}

TEST_F(FileCommandsTest, OpenLogsInTheCurrentLanguage)
{
    reporter.setLanguage(0);
    const QString path = folder.path("a.bin");
    test::writeFile(path, "a");
    ui.openFiles = {path};
    commands.open(OneMiB);
    EXPECT_EQ(ui.log, QStringList {QString::fromUtf16(u"001:打开") + QFileInfo(path).absoluteFilePath()});
}

TEST_F(FileCommandsTest, SaveOffersTheFiltersWithHexAsDefaultAndACancelWritesNothing)
{
    commands.save(OneMiB);
    EXPECT_EQ(ui.saveFilters,
        QStringList {"Binary (*.bin)|*.bin|Intel Hex(*.hex)|*.hex|Bios Rom (*.rom)|*.rom|"
                     "Motorola S-record (*.s19 *.srec *.src *.s28 *.s37 *.mot *.mhx *.s1 *.s2 *.s3)|"
                     "*.s19;*.srec;*.src;*.s28;*.s37;*.mot;*.mhx;*.s1;*.s2;*.s3|All files (*.*)|*.*"});
    EXPECT_EQ(ui.saveSuffixes, QStringList {"hex"});
    EXPECT_EQ(takes, 0);
}

TEST_F(FileCommandsTest, SaveTakesTheViewsEditsAndWritesChipSizeBytes)
{
    buffer.usedLength = 4;
    buffer.bytes[1] = 0x22;
    ui.saveFiles = {folder.path("out.bin")};
    commands.save(4096);
    EXPECT_EQ(takes, 1);
    const QByteArray saved = test::readFile(folder.path("out.bin"));
    ASSERT_EQ(saved.size(), 4096) << "the chip size, not the used length";
    EXPECT_EQ(static_cast<std::uint8_t>(saved[0]), 0xEE) << "the view's edit is saved";
    EXPECT_EQ(static_cast<std::uint8_t>(saved[1]), 0x22);
    EXPECT_EQ(static_cast<std::uint8_t>(saved[4095]), 0xFF);
    EXPECT_TRUE(ui.boxes.isEmpty());
}

TEST_F(FileCommandsTest, SaveOverAnExistingFileAsksFirst)
{
    const QString path = folder.path("out.hex");
    test::writeFile(path, "keep");
    ui.saveFiles = {path};
    ui.answers = {false};
    commands.save(16);
    EXPECT_EQ(ui.questions, QStringList {"File already exists. Is it covered? "});
    EXPECT_EQ(test::readFile(path), "keep");
}

TEST_F(FileCommandsTest, ASaveNeverReadsPastTheBuffer)
{
    ui.saveFiles = {folder.path("huge.hex")};
    commands.save(0xFFFFFFFF);
    EXPECT_TRUE(ui.errors.isEmpty());
    const QByteArray text = test::readFile(folder.path("huge.hex"));
    EXPECT_TRUE(text.startsWith(":20000000EEFFFF")) << "index 0 holds the taken edit";
    EXPECT_TRUE(text.endsWith(":0200000403FFF8\r\n:00000001FF\r\n")) << "the last stretch is the buffer's last";
}

TEST_F(FileCommandsTest, TwoOpensLogTwoLinesNewestOnTop)
{
    const QString first = folder.path("a.bin");
    const QString second = folder.path("b.hex");
    test::writeFile(first, "a");
    test::writeFile(second, ":00000001FF\r\n");
    ui.openFiles = {first, second};
    commands.open(OneMiB);
    commands.open(OneMiB);
    EXPECT_EQ(ui.log,
        QStringList(
            {"002:Open" + QFileInfo(second).absoluteFilePath(), "001:Open" + QFileInfo(first).absoluteFilePath()}));
}

TEST_F(FileCommandsTest, ARefusedFileLeavesBufferUsedLengthViewAndLogAsTheyWere)
{
    // A FIFO opened for reading would wait for a writer for ever: the alarm ends a hanging test.
    alarm(60);
    QDir().mkpath(folder.path("dir.bin"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.path("fifo.bin")).constData(), 0600), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.path("fifo.eep")).constData(), 0600), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.path("fifo.hex")).constData(), 0600), 0);
    {
        QFile big(folder.path("big.rom"));
        ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(qint64(BufferCapacity) + 1));
    }
    buffer.bytes[7] = 0x42;
    buffer.usedLength = 3980;
    ui.openFiles = {folder.path("missing.bin"), folder.path("dir.bin"), folder.path("fifo.bin"),
        folder.path("fifo.eep"), folder.path("fifo.hex"), QStringLiteral("/dev/null"), folder.path("big.rom")};
    const auto files = ui.openFiles.size();
    for (std::size_t i = 0; i < files; ++i)
        commands.open(OneMiB);
    alarm(0);
    EXPECT_EQ(ui.errors, QStringList(6, "Can't open File") << "File is too big for Buffer");
    EXPECT_EQ(buffer.bytes[7], 0x42);
    EXPECT_EQ(buffer.usedLength, 3980);
    EXPECT_TRUE(refreshes.empty()) << "the view keeps its content and its edits";
    EXPECT_TRUE(ui.log.isEmpty());
}

TEST_F(FileCommandsTest, ACapsuleSavedAfterOpeningOneKeepsItsHeader)
{
    QByteArray capsule(CapsuleHeaderSize, '\0');
    for (int i = 0; i < capsule.size(); ++i)
        capsule[i] = char(i * 7);
    capsule += QByteArray(16, '\xEE'); // the fixture's view edit writes 0xEE at index 0
    test::writeFile(folder.path("bios.cap"), capsule);
    ui.openFiles = {folder.path("bios.cap")};
    ui.saveFiles = {folder.path("copy.CAP")};
    commands.open(16);
    commands.save(16);
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_EQ(test::readFile(folder.path("copy.CAP")), capsule);
    EXPECT_EQ(commands.capsuleHeader(), capsule.left(CapsuleHeaderSize));
}

TEST_F(FileCommandsTest, ACompletedSaveLogsTheFullPathAndACancelledOneNothing)
{
    ui.saveFiles = {QString()};
    commands.save(4096);
    EXPECT_TRUE(ui.log.isEmpty());
    ui.saveFiles = {folder.path("out.bin")};
    commands.save(4096);
    EXPECT_EQ(ui.log, QStringList {"001:Save: " + QFileInfo(folder.path("out.bin")).absoluteFilePath()});
}
