#include "app/cli/Convert.h"
#include "base/Messages.h"
#include "buffer/DataBuffer.h"
#include "buffer/ImageFile.h"
#include "tests/buffer/FileTestSupport.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrum;
using namespace kestrum::cli;

namespace {

struct CliRun
{
    int status = -1;
    QString err;
};

CliRun runInProcess(const QStringList& arguments)
{
    CliRun r;
    QTextStream err(&r.err);
    QTextStream out(stdout);
    r.status = runCli(arguments, out, err);
    return r;
}

CliRun runProgram(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(KESTRUM_CLI_PATH), arguments);
    EXPECT_TRUE(process.waitForFinished(60000));
    CliRun r;
    r.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
    return r;
}

QByteArray bytesOf(const std::vector<std::uint8_t>& v)
{
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

} // namespace

TEST(KestrumCli, ConvertsThroughEveryKindAndBack)
{
    test::TempFolder folder;
    const std::vector<std::uint8_t> image = test::firmwareLikeImage(0x12345, 5);
    test::writeFile(folder.path("in.bin"), bytesOf(image));

    EXPECT_EQ(runInProcess({"convert", folder.path("in.bin"), folder.path("a.hex")}).status, ExitOk);
    EXPECT_EQ(runInProcess({"convert", folder.path("a.hex"), folder.path("b.src")}).status, ExitOk);
    // S-record files are loaded through the .eep probe.
    QFile::rename(folder.path("b.src"), folder.path("b.eep"));
    const CliRun last = runInProcess({"convert", folder.path("b.eep"), folder.path("out.bin"), "--size", "0x12345"});
    EXPECT_EQ(last.status, ExitOk);
    EXPECT_TRUE(last.err.isEmpty());
    EXPECT_EQ(test::readFile(folder.path("out.bin")), bytesOf(image));
}

TEST(KestrumCli, WritesTheLoadedExtentOrTheGivenSize)
{
    test::TempFolder folder;
    test::writeFile(folder.path("in.hex"), ":020010001122BB\r\n:00000001FF\r\n");
    EXPECT_EQ(runInProcess({"convert", folder.path("in.hex"), folder.path("a.bin")}).status, ExitOk);
    EXPECT_EQ(test::readFile(folder.path("a.bin")), QByteArray(16, '\xFF') + "\x11\x22");
    EXPECT_EQ(runInProcess({"convert", "--size", "20", folder.path("in.hex"), folder.path("b.bin")}).status, ExitOk);
    EXPECT_EQ(test::readFile(folder.path("b.bin")), QByteArray(16, '\xFF') + "\x11\x22\xFF\xFF");
    EXPECT_EQ(runInProcess({"convert", folder.path("in.hex"), folder.path("c.bin"), "--size", "0X0"}).status, ExitOk);
    EXPECT_EQ(test::readFile(folder.path("c.bin")), QByteArray());
    // It replaces the output without asking.
    EXPECT_EQ(runInProcess({"convert", folder.path("in.hex"), folder.path("a.bin"), "--size", "1"}).status, ExitOk);
    EXPECT_EQ(test::readFile(folder.path("a.bin")), QByteArray(1, '\xFF'));
}

TEST(KestrumCli, ASizeBeyondARawOrCapsuleImageIsErased)
{
    test::TempFolder folder;
    test::writeFile(folder.path("in.bin"), "abc");
    EXPECT_EQ(runInProcess({"convert", folder.path("in.bin"), folder.path("a.bin"), "--size", "5"}).status, ExitOk);
    EXPECT_EQ(test::readFile(folder.path("a.bin")), "abc\xFF\xFF");
    test::writeFile(folder.path("in.cap"), QByteArray(2048, 'h') + "z");
    EXPECT_EQ(runInProcess({"convert", folder.path("in.cap"), folder.path("c.hex"), "--size", "0x22"}).status, ExitOk);
    EXPECT_EQ(test::readFile(folder.path("c.hex")),
        ":200000007AFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF85\r\n:00000001FF\r\n");
}

TEST(KestrumCli, AValidFileWithoutDataConvertsToAnEmptyOutput)
{
    test::TempFolder folder;
    test::writeFile(folder.path("empty.hex"), ":00000001FF\r\n");
    const CliRun r = runInProcess({"convert", folder.path("empty.hex"), folder.path("out.src")});
    EXPECT_EQ(r.status, ExitOk);
    EXPECT_TRUE(r.err.isEmpty());
    EXPECT_EQ(test::readFile(folder.path("out.src")), "S00600004844521B\r\nS9030000FC\r\n");
}

TEST(KestrumCli, PrintsTheReadersMessagesInOrderAndFails)
{
    test::TempFolder folder;
    test::writeFile(folder.path("cut.hex"), ":0100000011EE\r\n");
    const CliRun r = runInProcess({"convert", folder.path("cut.hex"), folder.path("out.bin")});
    EXPECT_EQ(r.status, ExitFailed);
    const QString cut = folder.path("cut.hex");
    EXPECT_EQ(r.err, "File Read Operation Failed\n" + cut + ", line 2\nError reading File " + cut + "\n");
    EXPECT_FALSE(QFile::exists(folder.path("out.bin"))) << "nothing is saved after a failed load";

    const CliRun missing = runInProcess({"convert", folder.path("none.bin"), folder.path("out.bin")});
    EXPECT_EQ(missing.status, ExitFailed);
    EXPECT_EQ(missing.err, "Can't open File " + folder.path("none.bin") + "\n");
}

TEST(KestrumCli, AFailedSaveFails)
{
    test::TempFolder folder;
    test::writeFile(folder.path("in.bin"), "abc");
    const CliRun raw = runInProcess({"convert", folder.path("in.bin"), folder.path("no/out.bin")});
    EXPECT_EQ(raw.status, ExitFailed);
    EXPECT_EQ(
        raw.err, QString::fromUtf16(u"创建文件失败\n") + folder.path("no/out.bin") + ": No such file or directory\n");
    const CliRun hex = runInProcess({"convert", folder.path("in.bin"), folder.path("no/out.hex")});
    EXPECT_EQ(hex.status, ExitFailed);
    EXPECT_EQ(hex.err, "Cannot create file " + folder.path("no/out.hex") + ": No such file or directory\n");
}

TEST(KestrumCli, BadArgumentsPrintTheUsage)
{
    const QStringList bad[] = {
        {"convert"},
        {"convert", "a.bin"},
        {"convert", "a.bin", "b.bin", "c.bin"},
        {"convert", "a.bin", "b.bin", "--size"},
        {"convert", "a.bin", "b.bin", "--size", "12k"},
        {"convert", "a.bin", "b.bin", "--size", "-1"},
        {"convert", "a.bin", "b.bin", "--size", "+1"},
        {"convert", "a.bin", "b.bin", "--size", " 1"},
        {"convert", "a.bin", "b.bin", "--size", "0x"},
        {"convert", "a.bin", "b.bin", "--size", "0x0x10"},
        {"convert", "a.bin", "b.bin", "--size", "0x-1"},
        {"convert", "a.bin", "b.bin", "--size", "1F"},
        {"convert", "a.bin", "b.bin", "--size", "0x4000001"},
        {"convert", "a.bin", "b.bin", "--size", "1", "--size", "2"},
        {"convert", "a.bin", "b.bin", "--fast"},
    };
    for (const QStringList& arguments : bad) {
        const CliRun r = runInProcess(arguments);
        EXPECT_EQ(r.status, ExitUsage) << arguments.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("usage: kestrum-cli convert IN OUT [--size N]"))
            << arguments.join(' ').toStdString();
    }
    EXPECT_EQ(runInProcess({"convert", "a.bin", "b.bin", "--size", "67108864"}).status, ExitFailed)
        << "64 MiB is a valid size; only the missing input fails";
}

TEST(KestrumCli, TheBuiltProgramReportsOnStandardErrorWithItsExitStatus)
{
    test::TempFolder folder;
    test::writeFile(folder.path("bad.eep"), "S1040000117A\r\n");
    const CliRun bad = runProgram({"convert", folder.path("bad.eep"), folder.path("out.bin")});
    EXPECT_EQ(bad.status, ExitFailed);
    EXPECT_EQ(bad.err, "Checksum Error\n" + folder.path("bad.eep") + ", line 1\n");

    test::writeFile(folder.path("good.bin"), "\x01\x02");
    const CliRun good = runProgram({"convert", folder.path("good.bin"), folder.path("out.src")});
    EXPECT_EQ(good.status, ExitOk);
    EXPECT_TRUE(good.err.isEmpty());
    EXPECT_EQ(test::readFile(folder.path("out.src")), "S00600004844521B\r\nS10500000102F7\r\nS9030000FC\r\n");

    const CliRun usage = runProgram({});
    EXPECT_EQ(usage.status, ExitUsage);
    EXPECT_EQ(usage.err, "kestrum-cli: no command (kestrum-cli --help)\n");
}

TEST(KestrumCli, FollowsTheRulesOfOpenAndSaveForCapsulesAndSRecords)
{
    test::TempFolder folder;
    const std::vector<std::uint8_t> image = test::firmwareLikeImage(3000, 9);
    const QByteArray capsule = QByteArray(CapsuleHeaderSize, '\x3C') + bytesOf(image);
    test::writeFile(folder.path("in.cap"), capsule);
    EXPECT_EQ(runInProcess({"convert", folder.path("in.cap"), folder.path("out.cap")}).status, ExitOk);
    EXPECT_EQ(test::readFile(folder.path("out.cap")), capsule) << "the header goes along";
    EXPECT_EQ(runInProcess({"convert", folder.path("in.cap"), folder.path("a.s19")}).status, ExitOk);
    EXPECT_EQ(runInProcess({"convert", folder.path("a.s19"), folder.path("b.bin")}).status, ExitOk);
    EXPECT_EQ(test::readFile(folder.path("b.bin")), bytesOf(image));

    const CliRun headerless = runInProcess({"convert", folder.path("b.bin"), folder.path("c.cap")});
    EXPECT_EQ(headerless.status, ExitFailed);
    EXPECT_EQ(headerless.err, messageText(MsgCapsuleNoHeader, EnglishLanguage) + " " + folder.path("c.cap") + "\n");
    EXPECT_FALSE(QFile::exists(folder.path("c.cap")));
}

TEST(KestrumCli, TheBuiltProgramTakesFileNamesThatAreNoUtf8)
{
    test::TempFolder folder;
    const QByteArray in = QFile::encodeName(folder.path("in")) + "\xFF\xE9.bin";
    const QByteArray out = QFile::encodeName(folder.path("out")) + "\xC3(.hex";
    {
        const int fd = ::open(in.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "\x01\x02", 2), 2);
        ::close(fd);
    }
    const QByteArray program(KESTRUM_CLI_PATH);
    const char* argv[] = {program.constData(), "convert", in.constData(), out.constData(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char* const*>(argv), environ), 0);
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == ExitOk) << status;
    const int fd = ::open(out.constData(), O_RDONLY);
    ASSERT_GE(fd, 0) << "the output carries the name's bytes";
    char text[64] = {};
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    EXPECT_EQ(QByteArray(text, int(std::max<ssize_t>(n, 0))), ":020000000102FB\r\n:00000001FF\r\n");
}
