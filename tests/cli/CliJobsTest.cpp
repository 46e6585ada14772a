// kestrum-cli's chip commands, run in-process against the simulated programmer.
#include "app/cli/CliJobs.h"
#include "app/cli/Convert.h"
#include "base/RegularFile.h"
#include "buffer/Checksum.h"
#include "tests/buffer/FileTestSupport.h"
#include "tests/sim/SimControl.h"
#include "tests/support/FileSizeLimit.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/stat.h>

using namespace kestrum;
using namespace kestrum::cli;

namespace {

constexpr quint32 ChipSize = 512 * 1024; // W25X40CL
const QString Chip = QStringLiteral("W25X40CL");

struct CliRun
{
    int status = -1;
    QString out;
    QString err;
};

class CliJobsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.ok()) << sim.why();
        sim.reset();
        programmer = sim.addProgrammer(sim.addBus(), "WinUSBComm");
        ASSERT_GT(programmer, 0);
    }

    void insertChip() { ASSERT_EQ(sim.insertChip(programmer, KSIM_CHIP_SPI_FLASH, ChipSize, 0xEF3013), 0); }

    QByteArray chipContent()
    {
        quint32 size = 0;
        const quint8* cells = sim.chipBytes(programmer, &size);
        return QByteArray(reinterpret_cast<const char*>(cells), static_cast<qsizetype>(size));
    }

    CliRun run(QStringList arguments)
    {
        arguments << QStringLiteral("--database") << QStringLiteral(KESTRUM_DATABASE_PATH) << QStringLiteral("--lang")
                  << QStringLiteral("en");
        CliRun r;
        QTextStream out(&r.out);
        QTextStream err(&r.err);
        r.status = runCli(arguments, out, err, control);
        return r;
    }

    QString file(const char* name, const QByteArray& bytes)
    {
        const QString path = folder.path(QString::fromLatin1(name));
        test::writeFile(path, bytes);
        return path;
    }

    static QByteArray image(qsizetype size)
    {
        QByteArray bytes(size, '\0');
        for (qsizetype i = 0; i < size; ++i)
            bytes[i] = static_cast<char>((i * 7 + i / 251) % 253 + 1);
        return bytes;
    }

    test::SimControl& sim = test::SimControl::get();
    CliControl control;
    test::TempFolder folder;
    int programmer = 0;
};

TEST_F(CliJobsTest, CompareListsTheRangesAndAWriteOntoDataStopsUnlessToldToErase)
{
    insertChip();
    const QByteArray data = image(ChipSize);
    std::memcpy(sim.chipBytes(programmer, nullptr), data.constData(), ChipSize);
    EXPECT_EQ(run({"compare", file("same.bin", data), "--chip", Chip}).status, ExitOk);
    QByteArray other = data;
    other[0x1000] = char(other[0x1000] ^ 1);
    other[0x20010] = char(other[0x20010] ^ 1);
    const CliRun compare = run({"compare", file("other.bin", other), "--chip", Chip});
    EXPECT_EQ(compare.status, ExitDifferent);
    EXPECT_EQ(compare.out, QStringLiteral("0x001000-0x001000 1 bytes\n0x020010-0x020010 1 bytes\n"));
    // Bytes past the chip's end are nowhere on the chip.
    const CliRun longer = run({"compare", file("longer.bin", data + QByteArray(16, '\0')), "--chip", Chip});
    EXPECT_EQ(longer.status, ExitDifferent);
    EXPECT_EQ(longer.out, QStringLiteral("0x080000-0x08000F 16 bytes\n"));

    const QByteArray next(8192, '\x33');
    const QString in = file("next.bin", next);
    const CliRun refused = run({"write", in, "--chip", Chip});
    EXPECT_EQ(refused.status, ExitDifferent);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("The chip is not blank"))) << refused.err.toStdString();
    EXPECT_EQ(chipContent(), data) << "nothing was written";
    const CliRun erased = run({"write", in, "--chip", Chip, "--erase", "--backup", folder.path("kept")});
    EXPECT_EQ(erased.status, ExitOk) << erased.err.toStdString();
    EXPECT_EQ(chipContent(), next + QByteArray(ChipSize - next.size(), '\xFF'));
    const QStringList kept = QDir(folder.path("kept")).entryList(QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    QFile backup(QDir(folder.path("kept")).filePath(kept[0]));
    ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
    EXPECT_EQ(backup.readAll(), data) << "the backup holds the chip as it was";
}

TEST_F(CliJobsTest, EveryChipCommandWorksOnTheChipInTheSocket)
{
    insertChip();
    const QByteArray data = image(100000);
    const QString in = file("in.bin", data);

    EXPECT_EQ(run({"blank", "--chip", Chip}).status, ExitOk);
    const CliRun write = run({"write", in, "--chip", Chip});
    EXPECT_EQ(write.status, ExitOk) << write.err.toStdString();
    EXPECT_EQ(chipContent().left(data.size()), data);
    EXPECT_EQ(run({"verify", in, "--chip", Chip}).status, ExitOk);

    const QString out = folder.path("out.hex");
    EXPECT_EQ(run({"read", out, "--chip", Chip}).status, ExitOk);
    const CliRun info = run({"info", out});
    EXPECT_EQ(info.status, ExitOk);
    const QByteArray expected = QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex().toUpper();
    EXPECT_TRUE(info.out.contains("kind: Intel HEX")) << info.out.toStdString();
    EXPECT_TRUE(info.out.contains("used: 100000")) << info.out.toStdString();
    // The HEX file of the read holds the written data; its hashes are those of the written file.
    EXPECT_TRUE(info.out.contains("SHA-256: " + expected)) << info.out.toStdString();
    EXPECT_TRUE(run({"info", in}).out.contains("SHA-256: " + expected));
    // The window's spelling of a checksum.
    const auto bytes = reinterpret_cast<const std::uint8_t*>(data.constData());
    EXPECT_TRUE(info.out.contains("CRC-32: " + crc32Text(crc32(bytes, std::size_t(data.size()))) + "\n"))
        << info.out.toStdString();

    // The read does not replace a file unless --yes answers the question.
    const CliRun again = run({"read", out, "--chip", Chip});
    EXPECT_EQ(again.status, ExitFile);
    EXPECT_TRUE(again.err.contains(out));
    EXPECT_EQ(run({"read", out, "--chip", Chip, "--yes"}).status, ExitOk);

    EXPECT_EQ(run({"blank", "--chip", Chip}).status, ExitDifferent);
    EXPECT_EQ(run({"erase", "--chip", Chip}).status, ExitOk);
    EXPECT_EQ(chipContent(), QByteArray(ChipSize, '\xFF'));

    const CliRun autoRun = run({"auto", in, "--detect", "--chip", Chip, "--speed", "3MHz"});
    EXPECT_EQ(autoRun.status, ExitOk) << autoRun.err.toStdString();
    EXPECT_EQ(chipContent().left(data.size()), data);

    const CliRun detect = run({"detect"});
    EXPECT_EQ(detect.status, ExitOk);
    EXPECT_TRUE(detect.out.contains("W25X40BV") && detect.out.contains("W25X40CL")) << detect.out.toStdString();
    // Two chips answer EF3013: --detect alone lists them and stops; --chip must name one of them.
    const CliRun ambiguous = run({"erase", "--detect"});
    EXPECT_EQ(ambiguous.status, ExitUsage);
    EXPECT_TRUE(ambiguous.err.contains("W25X40BV") && ambiguous.err.contains("W25X40CL"));
    EXPECT_EQ(run({"erase", "--detect", "--chip", "W25Q64FV"}).status, ExitUsage);

    const CliRun list = run({"list", "w25x40"});
    EXPECT_EQ(list.status, ExitOk);
    EXPECT_TRUE(list.out.contains("W25X40CL  ID ef3013  524288 bytes  page 256  3.3V")) << list.out.toStdString();
}

TEST_F(CliJobsTest, ChipsOfDifferentSuppliesAreListedAndOnlyChipPicksOne)
{
    ASSERT_EQ(sim.insertChip(programmer, KSIM_CHIP_SPI_FLASH, 16 << 20, 0x012018), 0);
    for (const CliRun& r : {run({"detect"}), run({"erase", "--detect"})})
        EXPECT_TRUE(r.status == ExitUsage && r.err.contains("1.8V  Cypress  S25FS128S")) << r.err.toStdString();
    EXPECT_EQ(run({"detect", "--chip", "S25FS128S"}).status, ExitOk);
}

TEST_F(CliJobsTest, EachFailureHasItsExitStatus)
{
    const QString in = file("in.bin", image(4096));
    EXPECT_EQ(run({"verify", in, "--chip", Chip}).status, ExitNoChip) << "empty socket";
    insertChip();

    EXPECT_EQ(run({"write", in, "--chip", Chip}).status, ExitOk);
    chipContent(); // the cells are the simulator's own: change one
    sim.chipBytes(programmer, nullptr)[0x123] ^= 0x01;
    const CliRun different = run({"verify", in, "--chip", Chip});
    EXPECT_EQ(different.status, ExitDifferent);
    EXPECT_TRUE(different.err.contains("123")) << different.err.toStdString();

    const QString bad = file("bad.hex", ":0400000001020304F0\r\n");
    const CliRun damaged = run({"write", bad, "--chip", Chip});
    EXPECT_EQ(damaged.status, ExitFile);
    EXPECT_TRUE(damaged.err.contains(bad)) << "the message names the file: " << damaged.err.toStdString();

    const QString tooLong = file("long.bin", image(ChipSize + 256));
    const CliRun declined = run({"write", tooLong, "--chip", Chip});
    EXPECT_EQ(declined.status, ExitFile);
    EXPECT_FALSE(declined.err.isEmpty());
    EXPECT_EQ(run({"write", tooLong, "--chip", Chip, "--yes"}).status, ExitOk);

    EXPECT_EQ(run({"erase", "--chip", "W25X40"}).status, ExitUsage) << "two chips match";
    EXPECT_EQ(run({"erase", "--chip", "NoSuchChip"}).status, ExitUsage);
    EXPECT_EQ(run({"erase"}).status, ExitUsage);
    EXPECT_EQ(run({"erase", "--chip", Chip, "--speed", "7MHz"}).status, ExitUsage);

    EXPECT_EQ(run({"erase", "--chip", Chip}).status, ExitOk);
    ASSERT_EQ(sim.armFault(programmer, KSIM_FAULT_TIMEOUT, 10), 0); // a data block of the stream
    EXPECT_EQ(run({"blank", "--chip", Chip}).status, ExitCommunication);

    ASSERT_EQ(sim.unplug(programmer), 0);
    const CliRun absent = run({"blank", "--chip", Chip});
    EXPECT_EQ(absent.status, ExitNoProgrammer);
    EXPECT_EQ(absent.err.count("Not connected"), 1) << "said once: " << absent.err.toStdString();
}

TEST_F(CliJobsTest, NothingIsReportedDoneThatWasNot)
{
    insertChip();
    const QString tooLong = file("long.bin", image(ChipSize + 256));
    const QString in = file("in.bin", image(4096));
    ASSERT_EQ(run({"write", tooLong, "--chip", Chip, "--yes"}).status, ExitOk);
    // The bulk transfers of a write; the last one is the end command.
    sim.setRecording(KSIM_RECORD_CALLS);
    sim.clearCalls();
    // The chip holds the same data now: each write goes over it.
    ASSERT_EQ(run({"write", in, "--chip", Chip, "--yes"}).status, ExitOk);
    const int lastTransfer = static_cast<int>(sim.transfers().size());
    sim.clearCalls();
    ASSERT_EQ(run({"erase", "--chip", Chip}).status, ExitOk);
    const int lastEraseTransfer = static_cast<int>(sim.transfers().size());
    ASSERT_EQ(run({"write", tooLong, "--chip", Chip, "--yes"}).status, ExitOk);
    const QString notAFolder = file("not-a-folder", "x");
    struct Row
    {
        const char* name;
        QStringList arguments;
        int fault; ///< armed at the last transfer of its command, 0 for none
        int status;
        const char* said;
        const char* notSaid;
    };
    const Row rows[] = {
        {"verify of a longer file", {"verify", tooLong, "--chip", Chip}, 0, ExitDifferent, "256 bytes longer",
            "Verify Complete!"},
        {"verify of a longer file with --yes", {"verify", tooLong, "--chip", Chip, "--yes"}, 0, ExitOk,
            "256 bytes longer", nullptr},
        {"write whose end command times out", {"write", in, "--chip", Chip, "--yes"}, KSIM_FAULT_TIMEOUT,
            ExitCommunication, "Programmer communication failed.", "Write Complete!"},
        {"write whose programmer goes at the end", {"write", in, "--chip", Chip, "--yes"}, KSIM_FAULT_UNPLUG,
            ExitCommunication, "Programmer communication failed.", "Write Complete!"},
        {"erase whose backups folder is a file", {"erase", "--chip", Chip, "--backup", notAFolder}, 0, ExitFile,
            "Not a directory", "Erase Complete!"},
        {"erase whose end command times out", {"erase", "--chip", Chip}, KSIM_FAULT_TIMEOUT, ExitCommunication,
            "Programmer communication failed.", "Erase Complete!"},
    };
    for (const Row& row : rows) {
        if (row.fault != 0) {
            const bool erase = row.arguments.front() == QLatin1String("erase");
            ASSERT_EQ(sim.armFault(programmer, row.fault, erase ? lastEraseTransfer : lastTransfer), 0);
        }
        const CliRun r = run(row.arguments);
        EXPECT_EQ(r.status, row.status) << row.name << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(row.said))) << row.name << ": " << r.err.toStdString();
        if (row.notSaid) {
            EXPECT_FALSE(r.err.contains(QLatin1String(row.notSaid))) << row.name << ": " << r.err.toStdString();
        }
        if (row.fault == KSIM_FAULT_UNPLUG) {
            ASSERT_EQ(sim.plug(programmer), 0);
        }
    }
}

TEST_F(CliJobsTest, EverySignalEndsTheJobWithTheEndCommandAndItsStatus)
{
    insertChip();
    struct Row
    {
        int signal;
        QStringList arguments;
        int erasePolls; ///< busy polls of a chip erase
        int status;
        const char* said;
    };
    const Row rows[] = {
        {SIGINT, {"read", folder.path("a.bin"), "--chip", Chip}, 0, 130, "Ctrl+C"},
        {SIGTERM, {"read", folder.path("b.bin"), "--chip", Chip}, 0, 143, "SIGTERM"},
        {SIGHUP, {"blank", "--chip", Chip}, 0, 129, "SIGHUP"},
        {SIGINT, {"erase", "--chip", Chip}, 5, 130, "Ctrl+C"},
        {SIGTERM, {"auto", file("in.bin", image(4096)), "--chip", Chip}, 5, 143, "SIGTERM"},
    };
    for (const Row& row : rows) {
        sim.setErasePolls(programmer, row.erasePolls);
        const ksim_state before = sim.state(programmer);
        control.stop.request(row.signal);
        const CliRun r = run(row.arguments);
        const ksim_state after = sim.state(programmer);
        EXPECT_EQ(r.status, row.status) << row.said << ' ' << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(row.said))) << r.err.toStdString();
        EXPECT_EQ(after.jobs_ended, before.jobs_ended + 2) << "the identify job and the stopped one ended";
        EXPECT_EQ(after.erase_busy, 0) << "no end command while the chip erases";
        if (row.erasePolls > 0) {
            EXPECT_EQ(after.status_polls - before.status_polls, row.erasePolls + 1) << row.said;
        }
        EXPECT_EQ(sim.openHandles(), 0);
    }
}

TEST_F(CliJobsTest, ProductionRunsThatCannotKeepTheirWordAreRefusedOrEnded)
{
    insertChip();
    const QString in = file("in.bin", image(2048));
    const QString fifo = folder.path("fifo.csv");
    ASSERT_EQ(::mkfifo(encodeFileName(fifo).constData(), 0600), 0);
    struct Row
    {
        QStringList arguments;
        int status;
        const char* said;
    };
    const Row rows[] = {
        {{"auto", in, "--chip", Chip, "--repeat", "--serial", "0x7FFFE:1:1:4"}, ExitUsage, "does not fit the chip"},
        {{"auto", in, "--chip", Chip, "--repeat", "--serial", "0x90000:1"}, ExitUsage, "does not fit the chip"},
        {{"auto", in, "--chip", Chip, "--no-erase", "--no-program", "--no-verify"}, ExitUsage, "nothing to do"},
        {{"auto", in, "--chip", Chip, "--repeat", "--job-log", fifo}, ExitFile, "not a regular file"},
    };
    // A run that starts in spite of all ends at the first wait for the next chip.
    control.beforeSocketLook = [this] { control.stop.request(); };
    for (const Row& row : rows) {
        const CliRun r = run(row.arguments);
        EXPECT_EQ(r.status, row.status) << row.said << ' ' << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(row.said))) << r.err.toStdString();
        EXPECT_EQ(chipContent(), QByteArray(ChipSize, '\xFF')) << "no chip was touched: " << row.said;
    }

    control.beforeSocketLook = {};
    // A job log line that cannot be written ends the run after its chip, whose result is printed.
    const QString log = file("full.csv", QByteArray(1000, 'x'));
    test::FileSizeLimit full(1010);
    const CliRun r = run({"auto", in, "--chip", Chip, "--repeat", "--job-log", log});
    EXPECT_EQ(r.status, ExitFile) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Chip 1: passed")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Passed: 1, failed: 0")) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains("Cannot write the job log")) << r.err.toStdString();
}

TEST_F(CliJobsTest, AChipWithAnotherIdIsWrittenOnlyWithYes)
{
    // W25X40CL answers EF 30 13; this chip answers EF 30 14.
    ASSERT_EQ(sim.insertChip(programmer, KSIM_CHIP_SPI_FLASH, ChipSize, 0xEF3014), 0);
    const QByteArray data = image(4096);
    const QString in = file("in.bin", data);

    const CliRun declined = run({"write", in, "--chip", Chip});
    EXPECT_EQ(declined.status, ExitNoChip);
    EXPECT_TRUE(declined.err.contains(
        "The chip in the socket answers ID EF 30 14, but W25X40CL (EF 30 13) is selected. Continue anyway?"))
        << declined.err.toStdString();
    EXPECT_EQ(chipContent(), QByteArray(ChipSize, '\xFF')) << "nothing was written";

    const CliRun confirmed = run({"write", in, "--chip", Chip, "--yes"});
    EXPECT_EQ(confirmed.status, ExitOk) << confirmed.err.toStdString();
    EXPECT_EQ(chipContent().left(data.size()), data);
}

TEST_F(CliJobsTest, CtrlCEndsAReadCleanly)
{
    insertChip();
    control.stop.request(); // as the SIGINT handler does; the read looks at it after its first block
    const CliRun stopped = run({"read", folder.path("out.bin"), "--chip", Chip});
    EXPECT_EQ(stopped.status, ExitStopped);
    EXPECT_TRUE(stopped.err.contains("Ctrl+C"));
    EXPECT_FALSE(QFile::exists(folder.path("out.bin")));
    EXPECT_EQ(sim.openHandles(), 0) << "the job closed the link";
    // The programmer took the end command: the next job runs as usual.
    EXPECT_EQ(run({"blank", "--chip", Chip}).status, ExitOk);
}

TEST_F(CliJobsTest, ReadTwiceReadsTheChipTwiceByItsOwnFlag)
{
    insertChip();
    for (const auto& [flag, reads] : {std::pair {"--twice", 2u}, std::pair {"--erase", 1u}}) {
        const quint64 before = sim.state(programmer).bytes_read;
        QFile::remove(folder.path("r.bin"));
        const CliRun r = run({"read", folder.path("r.bin"), "--chip", Chip, flag});
        EXPECT_EQ(r.status, ExitOk) << flag << ' ' << r.err.toStdString();
        EXPECT_EQ(sim.state(programmer).bytes_read - before, reads * ChipSize) << flag;
    }
}

TEST_F(CliJobsTest, SigtermToTheProgramEndsItsJobAsAStop)
{
    // The program itself, with a simulated programmer of its own that reads 8 MB at a real pace.
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("KESTRUM_SIM_CHIP", "spi25:8M:EF4017");
    environment.insert("KESTRUM_SIM_TIMING", "realistic");
    cli.setProcessEnvironment(environment);
    cli.setProcessChannelMode(QProcess::MergedChannels);
    cli.start(QStringLiteral(KESTRUM_CLI_PATH),
        {"read", folder.path("t.bin"), "--chip", "W25Q64FV", "--database", QStringLiteral(KESTRUM_DATABASE_PATH),
            "--lang", "en"});
    ASSERT_TRUE(cli.waitForStarted());
    ASSERT_FALSE(cli.waitForFinished(500)) << "the read is under way";
    ASSERT_GT(cli.processId(), 0);
    ::kill(static_cast<pid_t>(cli.processId()), SIGTERM);
    ASSERT_TRUE(cli.waitForFinished());
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 143);
    const QByteArray said = cli.readAll();
    EXPECT_TRUE(said.contains("Read ended after")) << "the job ended as a stop: " << said.toStdString();
    EXPECT_TRUE(said.contains("Stopped by SIGTERM.")) << said.toStdString();
}

TEST_F(CliJobsTest, ProductionModeProgramsOneChipAfterAnotherWithSerialNumbers)
{
    insertChip();
    const QByteArray data = image(2048);
    const QString in = file("in.bin", data);
    const QString log = folder.path("jobs.csv");
    // The operator: takes each programmed chip out, puts a fresh one in, and presses Ctrl+C
    // after the third.
    QList<QByteArray> programmed;
    int polls = 0;
    control.beforeSocketLook = [&] {
        if (polls++ % 2 == 1) {
            insertChip();
            return;
        }
        programmed << chipContent();
        if (programmed.size() == 3)
            control.stop.request();
        else
            ASSERT_EQ(sim.insertChip(programmer, KSIM_CHIP_NONE, 0, 0), 0);
    };
    const CliRun r = run({"auto", in, "--chip", Chip, "--repeat", "--serial", "0x100:1000:5:4:be", "--job-log", log});
    control.beforeSocketLook = {};
    EXPECT_EQ(r.status, ExitStopped) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Passed: 3, failed: 0")) << r.out.toStdString();
    ASSERT_EQ(programmed.size(), 3);

    QFile csv(log);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    ASSERT_EQ(lines.size(), 5) << "the header, three lines and the end";
    EXPECT_EQ(lines[0], "time,chip ID,result,serial,SHA-256,seconds,reason");
    for (int chip = 0; chip < 3; ++chip) {
        const quint32 serial = 1000 + 5 * chip;
        QByteArray expected = data;
        const char be[4] = {char(serial >> 24), char(serial >> 16), char(serial >> 8), char(serial)};
        expected.replace(0x100, 4, be, 4);
        EXPECT_EQ(programmed[chip].left(data.size()), expected) << "chip " << chip;
        const QList<QByteArray> fields = lines[chip + 1].split(',');
        ASSERT_EQ(fields.size(), 7) << lines[chip + 1].toStdString();
        EXPECT_EQ(fields[1], "EF3013");
        EXPECT_EQ(fields[2], "passed");
        EXPECT_EQ(fields[3], QByteArray::number(serial));
        EXPECT_EQ(fields[4], QCryptographicHash::hash(expected, QCryptographicHash::Sha256).toHex().toUpper());
    }
}

TEST_F(CliJobsTest, ASerialNumberThatOutgrowsItsWidthIsNeverCut)
{
    insertChip();
    const QString in = file("in.bin", image(2048));
    // A START wider than WIDTH is refused before the run; one that starts in spite of it ends at
    // the first wait for the next chip.
    control.beforeSocketLook = [this] { control.stop.request(); };
    for (const char* serial : {"0x100:10000:1:4:ascii", "0x100:256:1:1", "0x100:0x10000:1:4:hex"}) {
        const CliRun r = run({"auto", in, "--chip", Chip, "--repeat", "--serial", serial});
        EXPECT_EQ(r.status, ExitUsage) << serial;
        EXPECT_EQ(chipContent(), QByteArray(ChipSize, '\xFF')) << serial;
    }
    // A run whose next number would not fit ends before that chip.
    QList<QByteArray> programmed;
    int polls = 0;
    control.beforeSocketLook = [&] {
        if (polls++ % 2 == 1) {
            insertChip();
            return;
        }
        programmed << chipContent().mid(0x100, 4);
        if (programmed.size() == 4)
            control.stop.request();
        else
            ASSERT_EQ(sim.insertChip(programmer, KSIM_CHIP_NONE, 0, 0), 0);
    };
    const CliRun r = run({"auto", in, "--chip", Chip, "--repeat", "--serial", "0x100:9998:1:4:ascii"});
    control.beforeSocketLook = {};
    EXPECT_EQ(r.status, ExitUsage) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("The serial number 10000 does not fit its width of 4")) << r.err.toStdString();
    EXPECT_EQ(programmed, (QList<QByteArray> {"9998", "9999"}));
    EXPECT_EQ(chipContent(), QByteArray(ChipSize, '\xFF')) << "the third chip was not touched";
    EXPECT_TRUE(r.out.contains("Passed: 2, failed: 1")) << r.out.toStdString();
}

TEST_F(CliJobsTest, AChipThatFailsLeavesItsSerialNumberToTheNextChip)
{
    insertChip();
    const QString in = file("in.bin", image(2048));
    const QString log = folder.path("jobs.csv");
    // The second chip put in answers another ID and fails; the third passes.
    QList<QByteArray> programmed;
    int polls = 0;
    control.beforeSocketLook = [&] {
        if (polls++ % 2 == 1) {
            ASSERT_EQ(sim.insertChip(programmer, KSIM_CHIP_SPI_FLASH, ChipSize, polls == 2 ? 0xEF3014 : 0xEF3013), 0);
            return;
        }
        programmed << chipContent().mid(0x100, 2);
        if (programmed.size() == 3)
            control.stop.request();
        else
            ASSERT_EQ(sim.insertChip(programmer, KSIM_CHIP_NONE, 0, 0), 0);
    };
    const CliRun r = run({"auto", in, "--chip", Chip, "--repeat", "--serial", "0x100:7:1:2:be", "--job-log", log});
    control.beforeSocketLook = {};
    EXPECT_TRUE(r.out.contains("Passed: 2, failed: 1")) << r.out.toStdString();
    ASSERT_EQ(programmed.size(), 3);
    EXPECT_EQ(programmed[0], QByteArray::fromHex("0007"));
    EXPECT_EQ(programmed[2], QByteArray::fromHex("0008")) << "the number of the chip that failed";
    QFile csv(log);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines[2].contains(",failed,8,")) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].endsWith(",another chip ID")) << lines[2].toStdString();
    EXPECT_TRUE(lines[3].contains(",passed,8,")) << lines[3].toStdString();
}

TEST_F(CliJobsTest, ASerialWithoutRepeatGoesIntoTheOneChipAndAMalformedOneIsRefused)
{
    insertChip();
    const QString in = file("in.bin", image(2048));
    const CliRun bad = run({"auto", in, "--chip", Chip, "--serial", "0x100:"});
    EXPECT_EQ(bad.status, ExitUsage);
    EXPECT_EQ(chipContent(), QByteArray(ChipSize, '\xFF')) << "nothing ran";
    const CliRun once = run({"auto", in, "--chip", Chip, "--serial", "0x100:0x4D:1:4:be"});
    EXPECT_EQ(once.status, ExitOk) << once.err.toStdString();
    EXPECT_EQ(chipContent().mid(0x100, 4), QByteArray::fromHex("0000004D"));
}

TEST_F(CliJobsTest, ReadRefusesAnExistingFileBeforeTheChipAndYesReplacesIt)
{
    insertChip();
    const QString out = file("kept.bin", "mine");
    sim.clearCalls();
    const CliRun refused = run({"read", out, "--chip", Chip});
    EXPECT_EQ(refused.status, ExitFile);
    EXPECT_TRUE(refused.err.contains(out));
    EXPECT_EQ(test::readFile(out), "mine");
    EXPECT_TRUE(sim.calls(KSIM_CALL_OPEN).empty()) << "the programmer was not even opened";
    EXPECT_EQ(run({"read", out, "--chip", Chip, "--yes"}).status, ExitOk);
    EXPECT_EQ(test::readFile(out).size(), qsizetype(ChipSize));
}

TEST_F(CliJobsTest, UsageMistakesAreOneLineWithStatusTwo)
{
    const struct
    {
        QStringList arguments;
        const char* says;
    } cases[] = {
        {{}, "kestrum-cli: no command (kestrum-cli --help)\n"},
        {{"frobnicate"}, "kestrum-cli: unknown command frobnicate (kestrum-cli --help)\n"},
        {{"list", "NoSuchChipAtAll"}, "No chip in the database matches NoSuchChipAtAll"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        const CliRun r = run(c.arguments);
        EXPECT_EQ(r.status, ExitUsage);
        EXPECT_TRUE(r.err.startsWith(QLatin1String(c.says))) << r.err.toStdString();
        EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

TEST_F(CliJobsTest, HelpMatchesTheReadmeAndMessagesFollowTheLanguage)
{
    const CliRun help = run({"--help"});
    EXPECT_EQ(help.status, ExitOk);
    QFile readme(QStringLiteral(KESTRUM_README_PATH));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    // The README shows the text as a code block: every line indented by four blanks.
    QString shown;
    for (const QString& line : helpText().split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        shown += QStringLiteral("    ") + line + QLatin1Char('\n');
    EXPECT_EQ(help.out, helpText());
    EXPECT_TRUE(QString::fromUtf8(readme.readAll()).contains(shown)) << "README shows --help";
    EXPECT_EQ(run({"write", "--help"}).status, ExitOk);
    EXPECT_EQ(run({"--version"}).status, ExitOk);

    QStringList chinese = {"erase", "--chip", "NoSuchChip", "--database", KESTRUM_DATABASE_PATH, "--lang", "zh-TW"};
    QString err;
    QTextStream errStream(&err);
    QString out;
    QTextStream outStream(&out);
    EXPECT_EQ(runCli(chinese, outStream, errStream), ExitUsage);
    EXPECT_TRUE(err.contains(QString::fromUtf8("數據庫中沒有與 NoSuchChip 匹配的芯片"))) << err.toStdString();
}

} // namespace

TEST_F(CliJobsTest, EdgesOfTheLineAndOfTheRun)
{
    // An option that needs a value, given last on the line: a usage error, never a read past the end.
    for (const char* option : {"--chip", "--database", "--speed", "--serial", "--job-log", "--lang"}) {
        QString out;
        QString err;
        QTextStream o(&out);
        QTextStream e(&err);
        EXPECT_EQ(runCli({QStringLiteral("erase"), QString::fromLatin1(option)}, o, e), ExitUsage) << option;
        EXPECT_TRUE(err.startsWith(QStringLiteral("kestrum-cli: %1 ").arg(QLatin1String(option)))) << err.toStdString();
    }

    // A refused command: an image file without data is a file error, not a usage error.
    insertChip();
    EXPECT_EQ(run({"write", file("empty.bin", {}), "--chip", Chip}).status, ExitFile);

    // A production run appends to its job log and takes each chip only after the one before was
    // taken out: the operator leaves the first chip in for three polls.
    const QString log = file("jobs.csv", "an earlier run\n");
    bool present = true;
    int held = 0;
    int inserted = 1;
    control.beforeSocketLook = [&] {
        if (present) {
            if (++held < 3)
                return;
            ASSERT_EQ(sim.insertChip(programmer, KSIM_CHIP_NONE, 0, 0), 0);
            present = false;
            held = 0;
        } else if (inserted == 2) {
            control.stop.request();
        } else {
            insertChip();
            present = true;
            ++inserted;
        }
    };
    const quint32 erasesBefore = sim.state(programmer).erase_commands;
    const CliRun r = run({"auto", file("in.bin", image(512)), "--chip", Chip, "--repeat", "--job-log", log});
    control.beforeSocketLook = {};
    EXPECT_TRUE(r.out.contains("Passed: 2, failed: 0")) << r.out.toStdString();
    EXPECT_EQ(sim.state(programmer).erase_commands - erasesBefore, 2u) << "one erase a chip inserted";
    QFile csv(log);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    ASSERT_EQ(lines.size(), 4) << "the earlier line, two chips and the end";
    EXPECT_EQ(lines[0], "an earlier run");
}

TEST_F(CliJobsTest, IncludedRegionsAreWrittenKeepingTheRestAndReadIntoFilesOfTheirOwn)
{
    insertChip();
    const QByteArray old = image(ChipSize);
    std::memcpy(sim.chipBytes(programmer, nullptr), old.constData(), ChipSize);
    const QString layout = file("layout.txt", "00000000:00000fff fd\n00001000:00002fff gbe\n00003000:0007ffff bios\n");
    const QByteArray next(ChipSize, '\x5A');
    const QString in = file("next.bin", next);

    const CliRun unknown
        = run({"write", in, "--layout", layout, "--include", "bios", "--include", "rom", "--chip", Chip});
    EXPECT_EQ(unknown.status, ExitUsage);
    EXPECT_TRUE(unknown.err.contains("Unknown region: rom. The regions are: fd, gbe, bios"))
        << unknown.err.toStdString();

    const CliRun written
        = run({"write", in, "--layout", layout, "--include", "bios", "--chip", Chip, "--backup", folder.path("kept")});
    ASSERT_EQ(written.status, ExitOk) << written.err.toStdString();
    EXPECT_EQ(chipContent(), old.left(0x3000) + next.mid(0x3000));
    for (const char* line : {"Region bios (0x003000-0x07FFFF) written", "Region gbe (0x001000-0x002FFF) kept",
             "Region fd (0x000000-0x000FFF) kept"})
        EXPECT_TRUE(written.err.contains(line)) << line;
    EXPECT_EQ(QDir(folder.path("kept")).entryList(QDir::Files).size(), 1);

    EXPECT_EQ(run({"verify", in, "--layout", layout, "--include", "bios", "--chip", Chip}).status, ExitOk);
    EXPECT_EQ(run({"compare", in, "--layout", layout, "--include", "gbe", "--chip", Chip}).status, ExitDifferent);

    const CliRun read = run({"read", folder.path("whole.bin"), "--layout", layout, "--include",
        "gbe:" + folder.path("gbe.bin"), "--chip", Chip});
    ASSERT_EQ(read.status, ExitOk) << read.err.toStdString();
    QFile gbe(folder.path("gbe.bin"));
    ASSERT_TRUE(gbe.open(QIODevice::ReadOnly));
    EXPECT_EQ(gbe.readAll(), old.mid(0x1000, 0x2000));

    // A region file of the wrong size is refused before the chip is touched.
    EXPECT_EQ(
        run({"write", in, "--layout", layout, "--include", "gbe:" + file("short.bin", "abc"), "--chip", Chip}).status,
        ExitFile);
    EXPECT_EQ(run({"regions", layout, "--include", "gbe"}).status, ExitUsage);
    EXPECT_EQ(run({"erase", "--include", "gbe", "--chip", Chip}).status, ExitUsage);
}

TEST_F(CliJobsTest, RegionsListsWhatAnImageShowsOfItself)
{
    QByteArray bytes(0x40000, '\xFF');
    const auto put = [&](qsizetype at, quint32 value) { std::memcpy(bytes.data() + at, &value, 4); };
    put(0x10, 0x0FF0A55A);
    put(0x14, 0x00040003);
    put(0x18, 0x00100006);
    put(0x40, 0x00000000); // fd 0x0000-0x0FFF
    put(0x44, 0x003F0010); // bios 0x10000-0x3FFFF
    put(0x48, 0x000F0003); // me 0x3000-0xFFFF
    put(0x4C, 0x00020001); // gbe 0x1000-0x2FFF
    put(0x50, 0x00007FFF);
    std::memcpy(bytes.data() + 0x20000, "\x1F\x8B\x08", 3);
    const CliRun listed = run({"regions", file("bios.bin", bytes)});
    EXPECT_EQ(listed.status, ExitOk) << listed.err.toStdString();
    EXPECT_EQ(listed.out,
        "fd               0x000000 0x000FFF       4096  flash descriptor\n"
        "bios             0x010000 0x03FFFF     196608  flash descriptor\n"
        "me               0x003000 0x00FFFF      53248  flash descriptor\n"
        "gbe              0x001000 0x002FFF       8192  flash descriptor\n"
        "gzip             0x020000 ?                 ?  content\n");
    put(0x4C, 0x00020000); // gbe 0x0000-0x2FFF: over fd
    const CliRun refused = run({"regions", file("bad.bin", bytes), "--ifd"});
    EXPECT_EQ(refused.status, ExitFile);
    EXPECT_TRUE(refused.err.contains("flash descriptor refused at offset 0x000040: regions gbe and fd overlap"))
        << refused.err.toStdString();
}
