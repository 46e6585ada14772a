#include "buffer/ImageFile.h"
#include "buffer/DataBuffer.h"
#include "tests/buffer/FailingReads.h"
#include "tests/buffer/FileTestSupport.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/ScriptedUserInterface.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace kestrum;
using kestrum::test::FileSizeLimit;
using kestrum::test::ScriptedUserInterface;

namespace {

const QByteArray HexImage = ":020000001122CB\r\n:00000001FF\r\n";
const QByteArray SrecImage = "S00600004844521B\r\nS10500001122C7\r\nS9030000FC\r\n";

struct Loaded
{
    qint32 count = -1;
    QStringList errors;
    std::vector<std::uint8_t> buffer;
};

Loaded load(const QString& path, std::uint32_t capacity = 4096)
{
    ScriptedUserInterface ui;
    Loaded r;
    r.buffer.assign(capacity, 0xCC);
    r.count = loadImageFile(path, r.buffer.data(), capacity, ui);
    r.errors = ui.errors;
    return r;
}

/// A file of `size` bytes without writing them (a hole reads as zeros).
void makeSparseFile(const QString& path, qint64 size)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(f.resize(size));
}

} // namespace

TEST(FileKinds, ExtensionIsTheNameFromItsLastDotOn)
{
    EXPECT_EQ(fileExtension("/a/b/image.tar.HEX"), ".HEX");
    EXPECT_EQ(fileExtension("/a/b.hex/image"), "");
    EXPECT_EQ(fileExtension("image."), ".");
    EXPECT_EQ(fileExtension("noext"), "");
}

TEST(FileKinds, LoadAndSaveKindsFollowTheExtensionIgnoringCase)
{
    EXPECT_EQ(loadKindForName("IMAGE.BIN"), FileKind::RawBinary);
    EXPECT_EQ(loadKindForName("image.Hex"), FileKind::IntelHex);
    EXPECT_EQ(loadKindForName("bios.CAP"), FileKind::Capsule);
    EXPECT_EQ(loadKindForName("bios.rom"), FileKind::RawBinary);
    EXPECT_EQ(loadKindForName("data.dat"), FileKind::RawBinary);
    // What Save writes as S-record, Open reads as S-record.
    for (const char* srec : {"x.src", "x.S19", "x.s28", "x.s37", "x.SREC", "x.mot", "x.mhx", "x.s1", "x.s2", "x.S3"}) {
        EXPECT_EQ(loadKindForName(srec), FileKind::SRecord) << srec;
        EXPECT_EQ(saveKindForName(srec), FileKind::SRecord) << srec;
    }
    for (const char* hex : {"x.ihx", "x.IHEX"}) {
        EXPECT_EQ(loadKindForName(hex), FileKind::IntelHex) << hex;
        EXPECT_EQ(saveKindForName(hex), FileKind::IntelHex) << hex;
    }
    EXPECT_EQ(saveKindForName("out.HEX"), FileKind::IntelHex);
    EXPECT_EQ(saveKindForName("o.Cap"), FileKind::Capsule) << "saved with the header of a capsule opened before";
    for (const char* raw : {"o.bin", "o.rom", "o.eep", "o", "o.dat", "o.s4", "o.srecord"})
        EXPECT_EQ(saveKindForName(raw), FileKind::RawBinary) << raw;
}

TEST(ImageFileLoading, PicksTheReaderByExtensionInAnyCase)
{
    test::TempFolder folder;
    test::writeFile(folder.path("IMAGE.HEX"), HexImage);
    const Loaded hex = load(folder.path("IMAGE.HEX"));
    EXPECT_EQ(hex.count, 2);
    EXPECT_EQ(hex.buffer[0], 0x11);
    EXPECT_EQ(hex.buffer[1], 0x22);

    // The same text under a raw name is loaded byte for byte.
    test::writeFile(folder.path("image.Bin"), HexImage);
    const Loaded raw = load(folder.path("image.Bin"));
    EXPECT_EQ(raw.count, HexImage.size());
    EXPECT_EQ(raw.buffer[0], ':');
    EXPECT_EQ(raw.buffer[HexImage.size()], 0xCC);
    EXPECT_TRUE(hex.errors.isEmpty() && raw.errors.isEmpty());
}

TEST(ImageFileLoading, EepFilesAreProbedByTheirFirstCharacter)
{
    test::TempFolder folder;
    test::writeFile(folder.path("a.eep"), HexImage);
    test::writeFile(folder.path("b.EEP"), SrecImage);
    test::writeFile(folder.path("c.eep"), QByteArray("\x00\x01S:", 4));
    test::writeFile(folder.path("d.eep"), {});
    const Loaded hex = load(folder.path("a.eep"));
    const Loaded srec = load(folder.path("b.EEP"));
    const Loaded dump = load(folder.path("c.eep"));
    const Loaded empty = load(folder.path("d.eep"));
    EXPECT_EQ(hex.count, 2);
    EXPECT_EQ(hex.buffer[1], 0x22);
    EXPECT_EQ(srec.count, 2);
    EXPECT_EQ(srec.buffer[1], 0x22);
    EXPECT_EQ(dump.count, 4);
    EXPECT_EQ(dump.buffer[2], 'S');
    EXPECT_EQ(empty.count, 0);
    for (const Loaded* l : {&hex, &srec, &dump, &empty})
        EXPECT_TRUE(l->errors.isEmpty());

    // An .eep file that is not there cannot be probed.
    const Loaded missing = load(folder.path("missing.eep"));
    EXPECT_EQ(missing.count, 0);
    EXPECT_EQ(missing.errors, QStringList {"Can't open File"});
}

TEST(ImageFileLoading, ReportsFilesThatCannotBeOpenedByKind)
{
    test::TempFolder folder;
    EXPECT_EQ(load(folder.path("none.bin")).errors, QStringList {"Can't open File"});
    EXPECT_EQ(load(folder.path("none.cap")).errors, QStringList {"Can't open File"});
    EXPECT_EQ(load(folder.path("none.hex")).errors, QStringList {"Cannot open file " + folder.path("none.hex")});
    // A folder is no file.
    QDir().mkpath(folder.path("dir.bin"));
    EXPECT_EQ(load(folder.path("dir.bin")).errors, QStringList {"Can't open File"});
}

TEST(ImageFileLoading, RawFilesUpToTheCapacityLoadWholeAndLargerOnesNotAtAll)
{
    test::TempFolder folder;
    DataBuffer buffer;
    makeSparseFile(folder.path("exact.rom"), BufferCapacity);
    makeSparseFile(folder.path("over.rom"), BufferCapacity + 1);

    ScriptedUserInterface ui;
    EXPECT_EQ(loadImageFile(folder.path("exact.rom"), buffer.data(), BufferCapacity, ui),
        static_cast<qint32>(BufferCapacity));
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_EQ(buffer.bytes[0], 0x00);
    EXPECT_EQ(buffer.bytes[BufferCapacity - 1], 0x00);

    buffer.fillErased();
    EXPECT_EQ(loadImageFile(folder.path("over.rom"), buffer.data(), BufferCapacity, ui), 0);
    EXPECT_EQ(ui.errors, QStringList {"File is too big for Buffer"});
    EXPECT_EQ(buffer.bytes[0], 0xFF) << "nothing is read from a file that is too big";
}

TEST(ImageFileLoading, CapsulesSkipTheirHeaderAndCountItInTheSizeTest)
{
    test::TempFolder folder;
    QByteArray capsule(CapsuleHeaderSize, 'h');
    capsule += "\x01\x02\x03";
    test::writeFile(folder.path("bios.cap"), capsule);
    const Loaded l = load(folder.path("bios.cap"));
    EXPECT_EQ(l.count, 3);
    EXPECT_EQ(l.buffer[0], 0x01);
    EXPECT_EQ(l.buffer[2], 0x03);
    EXPECT_EQ(l.buffer[3], 0xCC);

    // A header alone, or less, loads nothing and reads nothing of it.
    for (int size : {0, 1, 2047, 2048}) {
        test::writeFile(folder.path("short.cap"), QByteArray(size, 'h'));
        const Loaded s = load(folder.path("short.cap"));
        EXPECT_EQ(s.count, 0) << size;
        EXPECT_TRUE(s.errors.isEmpty()) << size;
        EXPECT_EQ(s.buffer[0], 0xCC) << size;
    }

    // The whole file counts: 2048 + capacity bytes are too many for a buffer of the capacity.
    test::writeFile(folder.path("big.cap"), QByteArray(CapsuleHeaderSize + 4096, 'x'));
    EXPECT_EQ(load(folder.path("big.cap"), 4096).errors, QStringList {"File is too big for Buffer"});
    test::writeFile(folder.path("fits.cap"), QByteArray(4096, 'x'));
    EXPECT_EQ(load(folder.path("fits.cap"), 4096).count, 4096 - 2048);
}

TEST(ImageFileLoading, AFailingReaderKeepsWhatItStored)
{
    test::TempFolder folder;
    test::writeFile(folder.path("broken.hex"), ":0100000011EE\r\n:0100010022DC\r\n");
    const Loaded l = load(folder.path("broken.hex"));
    EXPECT_EQ(l.count, 0);
    EXPECT_EQ(l.errors,
        QStringList({"File Read Operation Failed\n" + folder.path("broken.hex") + ", line 3", "Error reading File"}));
    EXPECT_EQ(l.buffer[0], 0x11);
    EXPECT_EQ(l.buffer[1], 0x22);
}

TEST(ImageFileLoading, AReadThatFailsPartwayIsAnErrorInEveryKind)
{
    // Files of 12 KiB whose reads fail from 4 KiB on: no kind takes the failure for the end.
    QByteArray hex;
    QByteArray srec;
    for (std::uint32_t at = 0; hex.size() < 12288; at += 16)
        hex += test::intelHexRecord(16, at) + "\r\n";
    for (std::uint32_t at = 0; srec.size() < 12288; at += 16)
        srec += test::sRecord('1', 2, 16, at) + "\n";
    struct Row
    {
        const char* name;
        QByteArray content;
        QStringList errors;
    };
    const QString cannot = QStringLiteral("Cannot read the file: ") + QString::fromLocal8Bit(std::strerror(EIO));
    test::TempFolder folder;
    // A text file names the line the failing read cut: the one that holds byte 4096.
    const auto cut = [&](const char* name, qsizetype lineLength) {
        return cannot + QStringLiteral("\n%1, line %2").arg(folder.path(name)).arg(4096 / lineLength + 1);
    };
    const qsizetype hexLine = test::intelHexRecord(16, 0).size() + 2;
    const qsizetype srecLine = test::sRecord('1', 2, 16, 0).size() + 1;
    const Row rows[] = {
        {"unreadable-raw.bin", QByteArray(12288, 'r'), {cannot}},
        {"unreadable-capsule.cap", QByteArray(12288, 'c'), {cannot}},
        {"unreadable-text.hex", hex + ":00000001FF\r\n", {cut("unreadable-text.hex", hexLine), "Error reading File"}},
        {"unreadable-text.eep", hex + ":00000001FF\r\n", {cut("unreadable-text.eep", hexLine), "Error reading File"}},
        {"unreadable-text.srec", srec + "S9030000FC\n", {cut("unreadable-text.srec", srecLine)}},
    };
    for (const Row& row : rows) {
        test::writeFile(folder.path(row.name), row.content);
        const Loaded l = load(folder.path(row.name), 0x10000);
        EXPECT_EQ(l.count, 0) << row.name;
        EXPECT_EQ(l.errors, row.errors) << row.name;
    }
}

// ---- Saving ----

class ImageFileSavingTest : public testing::Test
{
protected:
    ImageFileSavingTest() { reporter.setLanguage(2); }

    ScriptedUserInterface ui;
    Reporter reporter {ui};
    test::TempFolder folder;
    const std::vector<std::uint8_t> image = {0x11, 0x22, 0xFF, 0x33};
};

TEST_F(ImageFileSavingTest, WritesEachKindByExtension)
{
    ASSERT_TRUE(saveImageFile(reporter, folder.path("a.bin"), image.data(), 4));
    ASSERT_TRUE(saveImageFile(reporter, folder.path("a.HEX"), image.data(), 4));
    ASSERT_TRUE(saveImageFile(reporter, folder.path("a.src"), image.data(), 4));
    const QByteArray header(CapsuleHeaderSize, 'h');
    ASSERT_TRUE(saveImageFile(reporter, folder.path("a.cap"), image.data(), 4, ExistingFile::Ask, header));
    ASSERT_TRUE(saveImageFile(reporter, folder.path("noext"), image.data(), 4));
    EXPECT_EQ(test::readFile(folder.path("a.bin")), QByteArray("\x11\x22\xFF\x33", 4));
    EXPECT_EQ(test::readFile(folder.path("a.HEX")), QByteArray(":040000001122FF3397\r\n:00000001FF\r\n"));
    EXPECT_EQ(
        test::readFile(folder.path("a.src")), QByteArray("S00600004844521B\r\nS10700001122FF3393\r\nS9030000FC\r\n"));
    EXPECT_EQ(test::readFile(folder.path("a.cap")), header + QByteArray("\x11\x22\xFF\x33", 4)) << "the header first";
    EXPECT_EQ(test::readFile(folder.path("noext")), QByteArray("\x11\x22\xFF\x33", 4));
    EXPECT_TRUE(ui.boxes.isEmpty());
}

TEST_F(ImageFileSavingTest, AsksBeforeReplacingAndNoKeepsTheFile)
{
    const QString path = folder.path("old.bin");
    test::writeFile(path, "old contents");
    ui.answers = {false, true};
    EXPECT_FALSE(saveImageFile(reporter, path, image.data(), 4));
    EXPECT_EQ(test::readFile(path), "old contents");
    EXPECT_TRUE(saveImageFile(reporter, path, image.data(), 4));
    EXPECT_EQ(test::readFile(path), QByteArray("\x11\x22\xFF\x33", 4));
    EXPECT_EQ(ui.questions, QStringList(2, "File already exists. Is it covered? "));

    // Replace asks nothing.
    EXPECT_TRUE(saveImageFile(reporter, path, image.data(), 2, ExistingFile::Replace));
    EXPECT_EQ(ui.questions.size(), 2);
    EXPECT_EQ(test::readFile(path), QByteArray("\x11\x22", 2));
}

TEST_F(ImageFileSavingTest, TheQuestionFollowsTheLanguage)
{
    reporter.setLanguage(0);
    test::writeFile(folder.path("x.bin"), "x");
    ui.answers = {false};
    EXPECT_FALSE(saveImageFile(reporter, folder.path("x.bin"), image.data(), 4));
    EXPECT_EQ(ui.questions, QStringList {QString::fromUtf16(u"文件已存在,是否覆盖?")});
}

TEST_F(ImageFileSavingTest, FilesThatCannotBeCreatedAreReportedPerKind)
{
    EXPECT_FALSE(saveImageFile(reporter, folder.path("no/dir.bin"), image.data(), 4));
    EXPECT_FALSE(saveImageFile(reporter, folder.path("no/dir.hex"), image.data(), 4));
    EXPECT_FALSE(saveImageFile(reporter, folder.path("no/dir.src"), image.data(), 4));
    EXPECT_EQ(ui.errors,
        QStringList({QString::fromUtf16(u"创建文件失败\n") + folder.path("no/dir.bin") + ": No such file or directory",
            "Cannot create file " + folder.path("no/dir.hex") + ": No such file or directory",
            "Cannot create file " + folder.path("no/dir.src") + ": No such file or directory"}));

    // A folder under the name, or a file that may not be written, is not replaced.
    ui.clearRecords();
    QDir().mkpath(folder.path("taken.bin"));
    ui.answers = {true};
    EXPECT_FALSE(saveImageFile(reporter, folder.path("taken.bin"), image.data(), 4));
    EXPECT_EQ(
        ui.errors, QStringList {QString::fromUtf16(u"创建文件失败\n") + folder.path("taken.bin") + ": Is a directory"});
    EXPECT_TRUE(QFileInfo(folder.path("taken.bin")).isDir());
}

TEST_F(ImageFileSavingTest, AFailedWriteLeavesTheOldFileAsItWas)
{
    std::vector<std::uint8_t> big(1 << 20, 0x5A);
    for (const char* name : {"keep.bin", "keep.hex", "keep.src"}) {
        const QString path = folder.path(name);
        test::writeFile(path, "the old file");
        ui.clearRecords();
        {
            FileSizeLimit limit(4096);
            EXPECT_FALSE(saveImageFile(
                reporter, path, big.data(), static_cast<std::uint32_t>(big.size()), ExistingFile::Replace))
                << name;
        }
        ASSERT_EQ(ui.errors.size(), 1) << name;
        EXPECT_EQ(ui.errors[0], "Error writing file.\n" + path + ": " + QString::fromLocal8Bit(std::strerror(EFBIG)))
            << name;
        EXPECT_EQ(test::readFile(path), "the old file") << name;
        // No temporary file is left behind.
        EXPECT_EQ(QDir(folder.path(".")).entryList(QDir::Files | QDir::Hidden), QStringList {name});
        QFile::remove(path);
    }
}

TEST_F(ImageFileSavingTest, ReplacingKeepsPermissionsAndFollowsSymbolicLinks)
{
    const QString target = folder.path("real.bin");
    test::writeFile(target, "old");
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    ASSERT_TRUE(QFile::link(target, folder.path("link.bin")));
    EXPECT_TRUE(saveImageFile(reporter, folder.path("link.bin"), image.data(), 4, ExistingFile::Replace));
    EXPECT_TRUE(QFileInfo(folder.path("link.bin")).isSymLink());
    EXPECT_EQ(test::readFile(target), QByteArray("\x11\x22\xFF\x33", 4));
    EXPECT_EQ(QFile::permissions(target) & 0x0FFF, QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup);
}

TEST(ImageFileLoading, EepFilesAreProbedByTheSyntaxOfTheirFirstRecordWhateverItsLength)
{
    struct Row
    {
        QByteArray content;
        qint32 count;
    };
    const QByteArray longHex = test::intelHexRecord(255, 0);
    const QByteArray longHeader = test::sRecord('0', 2, 252, 0);
    const QByteArray data = test::sRecord('1', 2, 64, 0);
    const Row rows[] = {
        {longHex + "\r\n:00000001FF\r\n", 255},
        {longHex + "\r:00000001FF\r", 255},
        {longHeader + "\r\n" + data + "\r\nS9030000FC\r\n", 64},
        {longHeader + "\r" + data + "\rS9030000FC\r", 64},
        {longHeader + "\n" + data + "\nS9030000FC\n", 64},
    };
    test::TempFolder folder;
    for (const Row& row : rows) {
        test::writeFile(folder.path("text.eep"), row.content);
        const Loaded l = load(folder.path("text.eep"));
        EXPECT_EQ(l.count, row.count) << row.content.left(20).toStdString();
        EXPECT_TRUE(l.errors.isEmpty()) << row.content.left(20).toStdString();
        EXPECT_EQ(l.buffer[1], 0x11) << row.content.left(20).toStdString();
    }
}

TEST(ImageFileLoading, EepFilesAreTextOnlyWhenTheirFirstLineIsARecord)
{
    test::TempFolder folder;
    // Dumps that only start with ':' or 'S' are dumps.
    for (const QByteArray& dump : {QByteArray("\x3A\x10\x00\xFF\x0A\x01", 6), QByteArray(":0G\r\n:00000001FF\r\n"),
             QByteArray("S\x01\x02:\n", 5), QByteArray("Serial 42\n")}) {
        test::writeFile(folder.path("dump.eep"), dump);
        const Loaded l = load(folder.path("dump.eep"));
        EXPECT_EQ(l.count, dump.size()) << dump.toHex().toStdString();
        EXPECT_TRUE(l.errors.isEmpty()) << dump.toHex().toStdString();
        EXPECT_EQ(l.buffer[0], std::uint8_t(dump[0]));
    }
    // Text after a UTF-8 byte-order mark is text, also where the extension decides.
    const QByteArray mark("\xEF\xBB\xBF");
    test::writeFile(folder.path("a.eep"), mark + HexImage);
    test::writeFile(folder.path("b.eep"), mark + SrecImage);
    test::writeFile(folder.path("c.hex"), mark + HexImage);
    for (const char* name : {"a.eep", "b.eep", "c.hex"}) {
        const Loaded l = load(folder.path(name));
        EXPECT_EQ(l.count, 2) << name;
        EXPECT_EQ(l.buffer[1], 0x22) << name;
        EXPECT_TRUE(l.errors.isEmpty()) << name;
    }
}

TEST_F(ImageFileSavingTest, SRecordFilesOpenAgainUnderEachOfTheirExtensions)
{
    for (const char* name : {"a.src", "a.S19", "a.srec", "a.mot", "a.s3"}) {
        ASSERT_TRUE(saveImageFile(reporter, folder.path(name), image.data(), 4));
        const Loaded l = load(folder.path(name));
        EXPECT_EQ(l.count, 4) << name;
        EXPECT_EQ(std::vector<std::uint8_t>(l.buffer.begin(), l.buffer.begin() + 4), image) << name;
    }
}

TEST_F(ImageFileSavingTest, ACapsuleWithoutAWholeHeaderIsRefusedAndNothingIsWritten)
{
    test::writeFile(folder.path("keep.cap"), "old");
    EXPECT_FALSE(saveImageFile(reporter, folder.path("new.cap"), image.data(), 4));
    EXPECT_FALSE(saveImageFile(reporter, folder.path("keep.cap"), image.data(), 4, ExistingFile::Ask, "short"));
    EXPECT_EQ(ui.errors, QStringList(2, messageText(MsgCapsuleNoHeader, EnglishLanguage)));
    EXPECT_TRUE(ui.questions.isEmpty());
    EXPECT_FALSE(QFile::exists(folder.path("new.cap")));
    EXPECT_EQ(test::readFile(folder.path("keep.cap")), "old");
}

TEST_F(ImageFileSavingTest, OnlyRegularFilesAreReplaced)
{
    const QString fifo = folder.path("pipe.hex");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // A device node of its own where the machine lets us make one; /dev/null stands in otherwise.
    QString device = folder.path("null.bin");
    if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        device = QStringLiteral("/dev/null");
    for (const QString& path : {fifo, device})
        EXPECT_FALSE(saveImageFile(reporter, path, image.data(), 4, ExistingFile::Replace)) << path.toStdString();
    struct stat info
    {
    };
    ASSERT_EQ(::lstat(QFile::encodeName(fifo).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    ASSERT_EQ(::lstat(QFile::encodeName(device).constData(), &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    const QString why = messageText(MsgNotRegularFile, EnglishLanguage);
    EXPECT_EQ(ui.errors,
        QStringList({"Nothing was saved to " + fifo + ": " + why, "Nothing was saved to " + device + ": " + why}));
    EXPECT_EQ(QDir(folder.path(".")).entryList(QDir::Files | QDir::Hidden).filter(".tmp"), QStringList());
}

TEST_F(ImageFileSavingTest, LinksInASharedStickyFolderAreFollowedOnlyWhenTheUserOwnsThem)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can plant a link that another user owns";
    const QString shared = folder.path("shared");
    ASSERT_TRUE(QDir().mkpath(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    const QString target = folder.path("victim.bin");
    test::writeFile(target, "precious");
    ASSERT_TRUE(QFile::link(target, shared + "/own.bin"));
    ASSERT_TRUE(QFile::link(target, shared + "/planted.bin"));
    ASSERT_EQ(::lchown(QFile::encodeName(shared + "/planted.bin").constData(), 4242, 4242), 0);

    EXPECT_FALSE(saveImageFile(reporter, shared + "/planted.bin", image.data(), 4, ExistingFile::Replace));
    EXPECT_EQ(test::readFile(target), "precious");
    EXPECT_TRUE(QFileInfo(shared + "/planted.bin").isSymLink());
    EXPECT_EQ(ui.errors,
        QStringList {
            "Nothing was saved to " + shared + "/planted.bin: " + messageText(MsgSharedLink, EnglishLanguage)});
    EXPECT_TRUE(saveImageFile(reporter, shared + "/own.bin", image.data(), 4, ExistingFile::Replace));
    EXPECT_EQ(test::readFile(target), QByteArray("\x11\x22\xFF\x33", 4)) << "the user's own link is followed";

    // The folder's owner may plant links in it too: another user's folder, that user's link.
    ASSERT_EQ(::chown(QFile::encodeName(shared).constData(), 4343, 4343), 0);
    test::writeFile(target, "precious");
    ASSERT_TRUE(QFile::link(target, shared + "/owners.bin"));
    ASSERT_EQ(::lchown(QFile::encodeName(shared + "/owners.bin").constData(), 4343, 4343), 0);
    EXPECT_TRUE(saveImageFile(reporter, shared + "/owners.bin", image.data(), 4, ExistingFile::Replace));
    EXPECT_EQ(test::readFile(target), QByteArray("\x11\x22\xFF\x33", 4)) << "the folder owner's link is followed";
}

TEST_F(ImageFileSavingTest, RelativeLinkTargetsCountFromTheFolderOfEachLink)
{
    // link.bin -> sub/next.bin -> ../real.bin: each hop from the folder its link sits in, never
    // from the working folder.
    ASSERT_TRUE(QDir().mkpath(folder.path("sub")));
    test::writeFile(folder.path("real.bin"), "old");
    ASSERT_EQ(::symlink("sub/next.bin", QFile::encodeName(folder.path("link.bin")).constData()), 0);
    ASSERT_EQ(::symlink("../real.bin", QFile::encodeName(folder.path("sub/next.bin")).constData()), 0);
    ASSERT_NE(QDir::currentPath(), QDir(folder.path(".")).absolutePath());
    EXPECT_TRUE(saveImageFile(reporter, folder.path("link.bin"), image.data(), 4, ExistingFile::Replace));
    EXPECT_EQ(test::readFile(folder.path("real.bin")), QByteArray("\x11\x22\xFF\x33", 4));
    EXPECT_TRUE(QFileInfo(folder.path("link.bin")).isSymLink());
    EXPECT_TRUE(QFileInfo(folder.path("sub/next.bin")).isSymLink());
}
