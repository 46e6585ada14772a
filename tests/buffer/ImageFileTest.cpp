#include "buffer/ImageFile.h"
#include "buffer/DataBuffer.h"
#include "tests/buffer/FileTestSupport.h"
#include "tests/support/ScriptedUserInterface.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace kestrum;
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
    r.count = LoadImageFile(path, r.buffer.data(), capacity, ui);
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

/// Lets writes fail with "file too large" beyond `bytes`, for the lifetime of the object.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old {};
    void (*m_oldHandler)(int);
};

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
    EXPECT_EQ(loadKindForName("x.src"), FileKind::RawBinary) << "S-record is loaded only through .eep";
    EXPECT_EQ(saveKindForName("out.SRC"), FileKind::SRecord);
    EXPECT_EQ(saveKindForName("out.HEX"), FileKind::IntelHex);
    for (const char* raw : {"o.bin", "o.rom", "o.cap", "o.eep", "o", "o.dat"})
        EXPECT_EQ(saveKindForName(raw), FileKind::RawBinary) << raw;
}

TEST(LoadImageFile, PicksTheReaderByExtensionInAnyCase)
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

TEST(LoadImageFile, EepFilesAreProbedByTheirFirstCharacter)
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

TEST(LoadImageFile, ReportsFilesThatCannotBeOpenedByKind)
{
    test::TempFolder folder;
    EXPECT_EQ(load(folder.path("none.bin")).errors, QStringList {"Can't open File"});
    EXPECT_EQ(load(folder.path("none.cap")).errors, QStringList {"Can't open File"});
    EXPECT_EQ(load(folder.path("none.hex")).errors, QStringList {"Cannot open file " + folder.path("none.hex")});
    // A folder is no file.
    QDir().mkpath(folder.path("dir.bin"));
    EXPECT_EQ(load(folder.path("dir.bin")).errors, QStringList {"Can't open File"});
}

TEST(LoadImageFile, RawFilesUpToTheCapacityLoadWholeAndLargerOnesNotAtAll)
{
    test::TempFolder folder;
    DataBuffer buffer;
    makeSparseFile(folder.path("exact.rom"), BufferCapacity);
    makeSparseFile(folder.path("over.rom"), BufferCapacity + 1);

    ScriptedUserInterface ui;
    EXPECT_EQ(LoadImageFile(folder.path("exact.rom"), buffer.data(), BufferCapacity, ui),
        static_cast<qint32>(BufferCapacity));
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_EQ(buffer.bytes[0], 0x00);
    EXPECT_EQ(buffer.bytes[BufferCapacity - 1], 0x00);

    buffer.fillErased();
    EXPECT_EQ(LoadImageFile(folder.path("over.rom"), buffer.data(), BufferCapacity, ui), 0);
    EXPECT_EQ(ui.errors, QStringList {"File is too big for Buffer"});
    EXPECT_EQ(buffer.bytes[0], 0xFF) << "nothing is read from a file that is too big";
}

TEST(LoadImageFile, CapsulesSkipTheirHeaderAndCountItInTheSizeTest)
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

TEST(LoadImageFile, AFailingReaderKeepsWhatItStored)
{
    test::TempFolder folder;
    test::writeFile(folder.path("broken.hex"), ":0100000011EE\r\n:0100010022DC\r\n");
    const Loaded l = load(folder.path("broken.hex"));
    EXPECT_EQ(l.count, 0);
    EXPECT_EQ(l.errors, QStringList({"File Read Operation Failed", "Error reading File"}));
    EXPECT_EQ(l.buffer[0], 0x11);
    EXPECT_EQ(l.buffer[1], 0x22);
}

// ---- Saving ----

class SaveImageFileTest : public testing::Test
{
protected:
    SaveImageFileTest() { reporter.setLanguage(2); }

    ScriptedUserInterface ui;
    Reporter reporter {ui};
    test::TempFolder folder;
    const std::vector<std::uint8_t> image = {0x11, 0x22, 0xFF, 0x33};
};

TEST_F(SaveImageFileTest, WritesEachKindByExtension)
{
    ASSERT_TRUE(SaveImageFile(reporter, folder.path("a.bin"), image.data(), 4));
    ASSERT_TRUE(SaveImageFile(reporter, folder.path("a.HEX"), image.data(), 4));
    ASSERT_TRUE(SaveImageFile(reporter, folder.path("a.src"), image.data(), 4));
    ASSERT_TRUE(SaveImageFile(reporter, folder.path("a.cap"), image.data(), 4));
    ASSERT_TRUE(SaveImageFile(reporter, folder.path("noext"), image.data(), 4));
    EXPECT_EQ(test::readFile(folder.path("a.bin")), QByteArray("\x11\x22\xFF\x33", 4));
    EXPECT_EQ(test::readFile(folder.path("a.HEX")), QByteArray(":040000001122FF3397\r\n:00000001FF\r\n"));
    EXPECT_EQ(
        test::readFile(folder.path("a.src")), QByteArray("S00600004844521B\r\nS10700001122FF3393\r\nS9030000FC\r\n"));
    EXPECT_EQ(test::readFile(folder.path("a.cap")), QByteArray("\x11\x22\xFF\x33", 4)) << "no header is written";
    EXPECT_EQ(test::readFile(folder.path("noext")), QByteArray("\x11\x22\xFF\x33", 4));
    EXPECT_TRUE(ui.boxes.isEmpty());
}

TEST_F(SaveImageFileTest, AsksBeforeReplacingAndNoKeepsTheFile)
{
    const QString path = folder.path("old.bin");
    test::writeFile(path, "old contents");
    ui.answers = {false, true};
    EXPECT_FALSE(SaveImageFile(reporter, path, image.data(), 4));
    EXPECT_EQ(test::readFile(path), "old contents");
    EXPECT_TRUE(SaveImageFile(reporter, path, image.data(), 4));
    EXPECT_EQ(test::readFile(path), QByteArray("\x11\x22\xFF\x33", 4));
    EXPECT_EQ(ui.questions, QStringList(2, "File already exists. Is it covered? "));

    // Replace asks nothing.
    EXPECT_TRUE(SaveImageFile(reporter, path, image.data(), 2, ExistingFile::Replace));
    EXPECT_EQ(ui.questions.size(), 2);
    EXPECT_EQ(test::readFile(path), QByteArray("\x11\x22", 2));
}

TEST_F(SaveImageFileTest, TheQuestionFollowsTheLanguage)
{
    reporter.setLanguage(0);
    test::writeFile(folder.path("x.bin"), "x");
    ui.answers = {false};
    EXPECT_FALSE(SaveImageFile(reporter, folder.path("x.bin"), image.data(), 4));
    EXPECT_EQ(ui.questions, QStringList {QString::fromUtf16(u"文件已存在,是否覆盖?")});
}

TEST_F(SaveImageFileTest, FilesThatCannotBeCreatedAreReportedPerKind)
{
    EXPECT_FALSE(SaveImageFile(reporter, folder.path("no/dir.bin"), image.data(), 4));
    EXPECT_FALSE(SaveImageFile(reporter, folder.path("no/dir.hex"), image.data(), 4));
    EXPECT_FALSE(SaveImageFile(reporter, folder.path("no/dir.src"), image.data(), 4));
    EXPECT_EQ(ui.errors,
        QStringList({QString::fromUtf16(u"创建文件失败"), "Cannot create file " + folder.path("no/dir.hex"),
            "Cannot create file " + folder.path("no/dir.src")}));

    // A folder under the name, or a file that may not be written, is not replaced.
    ui.clearRecords();
    QDir().mkpath(folder.path("taken.bin"));
    ui.answers = {true};
    EXPECT_FALSE(SaveImageFile(reporter, folder.path("taken.bin"), image.data(), 4));
    EXPECT_EQ(ui.errors, QStringList {QString::fromUtf16(u"创建文件失败")});
    EXPECT_TRUE(QFileInfo(folder.path("taken.bin")).isDir());
}

TEST_F(SaveImageFileTest, AFailedWriteLeavesTheOldFileAsItWas)
{
    std::vector<std::uint8_t> big(1 << 20, 0x5A);
    for (const char* name : {"keep.bin", "keep.hex", "keep.src"}) {
        const QString path = folder.path(name);
        test::writeFile(path, "the old file");
        ui.clearRecords();
        {
            FileSizeLimit limit(4096);
            EXPECT_FALSE(SaveImageFile(
                reporter, path, big.data(), static_cast<std::uint32_t>(big.size()), ExistingFile::Replace))
                << name;
        }
        EXPECT_EQ(ui.errors, QStringList {"Error writing file."}) << name;
        EXPECT_EQ(test::readFile(path), "the old file") << name;
        // No temporary file is left behind.
        EXPECT_EQ(QDir(folder.path(".")).entryList(QDir::Files | QDir::Hidden), QStringList {name});
        QFile::remove(path);
    }
}

TEST_F(SaveImageFileTest, ReplacingKeepsPermissionsAndFollowsSymbolicLinks)
{
    const QString target = folder.path("real.bin");
    test::writeFile(target, "old");
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    ASSERT_TRUE(QFile::link(target, folder.path("link.bin")));
    EXPECT_TRUE(SaveImageFile(reporter, folder.path("link.bin"), image.data(), 4, ExistingFile::Replace));
    EXPECT_TRUE(QFileInfo(folder.path("link.bin")).isSymLink());
    EXPECT_EQ(test::readFile(target), QByteArray("\x11\x22\xFF\x33", 4));
    EXPECT_EQ(QFile::permissions(target) & 0x0FFF, QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup);
}
