// Several programmers on one computer: choosing one on the command line, and gang mode, run
// in-process against several simulated programmers.
#include "app/cli/CliJobs.h"
#include "app/cli/Convert.h"
#include "jobs/ProductionRun.h"
#include "tests/buffer/FileTestSupport.h"
#include "tests/sim/SimControl.h"

#include <QCryptographicHash>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

using namespace kestrum;
using namespace kestrum::cli;

namespace {

constexpr quint32 ChipSize = 512 * 1024; // W25X40CL
const QString Chip = QStringLiteral("W25X40CL");

class GangTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.ok()) << sim.why();
        sim.reset();
        qputenv("KESTRUM_SYSFS_ROOT", folder.path(QStringLiteral("no-sysfs")).toLocal8Bit());
        const int bus = sim.addBus();
        for (int i = 0; i < 3; ++i) {
            programmers[i] = sim.addProgrammer(bus, "WinUSBComm");
            ASSERT_EQ(sim.insertChip(programmers[i], KSIM_CHIP_SPI_FLASH, ChipSize, 0xEF3013), 0);
        }
    }
    void TearDown() override { qunsetenv("KESTRUM_SYSFS_ROOT"); }

    struct Run
    {
        int status = -1;
        QString out;
        QString err;
    };
    Run run(QStringList arguments)
    {
        arguments << QStringLiteral("--database") << QStringLiteral(KESTRUM_DATABASE_PATH) << QStringLiteral("--lang")
                  << QStringLiteral("en");
        Run r;
        QTextStream out(&r.out);
        QTextStream err(&r.err);
        r.status = runCli(arguments, out, err, control);
        return r;
    }

    QByteArray chip(int device)
    {
        quint32 size = 0;
        const quint8* cells = sim.chipBytes(device, &size);
        return QByteArray(reinterpret_cast<const char*>(cells), static_cast<qsizetype>(size));
    }

    QString imageFile(qsizetype size)
    {
        data = QByteArray(size, '\0');
        for (qsizetype i = 0; i < size; ++i)
            data[i] = static_cast<char>((i * 13 + i / 509) % 251 + 2);
        const QString path = folder.path(QStringLiteral("image.bin"));
        test::writeFile(path, data);
        return path;
    }

    test::SimControl& sim = test::SimControl::get();
    CliControl control;
    test::TempFolder folder;
    int programmers[3] = {};
    QByteArray data;
};

TEST_F(GangTest, ACommandReachesOnlyTheChosenProgrammerAndNoneChosenOfSeveralListsThem)
{
    ASSERT_EQ(sim.insertChip(programmers[1], KSIM_CHIP_SPI_FLASH, 2u << 20, 0xEF4015), 0);
    sim.unplug(programmers[2]);

    const Run listed = run({"programmers"});
    EXPECT_EQ(listed.status, ExitOk);
    EXPECT_EQ(listed.out, "001:001  WinUSBComm  free\n001:002  WinUSBComm  free\n");

    sim.clearCalls();
    const Run unchosen = run({"erase", "--chip", Chip});
    EXPECT_EQ(unchosen.status, ExitUsage);
    EXPECT_TRUE(unchosen.err.contains("choose one with --programmer LOCATION:\n  001:001  WinUSBComm  free\n"
                                      "  001:002  WinUSBComm  free\n"))
        << unchosen.err.toStdString();
    EXPECT_TRUE(sim.transfers().empty()) << "no programmer was spoken to";

    const struct
    {
        const char* location;
        int device;
        const char* found;
    } rows[] = {{"001:001", programmers[0], "W25X40CL"}, {"001:002", programmers[1], "W25Q16JV"}};
    for (const auto& row : rows) {
        sim.clearCalls();
        const Run detect = run({"detect", "--programmer", row.location});
        EXPECT_EQ(detect.status, ExitOk) << detect.err.toStdString();
        EXPECT_TRUE(detect.out.contains(row.found)) << detect.out.toStdString();
        for (const auto& c : sim.transfers())
            EXPECT_EQ(c.call.device, row.device) << row.location;
    }
    EXPECT_EQ(run({"erase", "--chip", Chip, "--programmer", "001:003"}).status, ExitNoProgrammer);
}

TEST_F(GangTest, EverySocketGetsTheImageAndASerialOfItsOwnWithOneJobLogLineEach)
{
    const QString in = imageFile(20480);
    const QString log = folder.path(QStringLiteral("jobs.csv"));
    const Run r
        = run({"auto", in, "--chip", Chip, "--all-programmers", "--serial", "0x10:500:1:2:be", "--job-log", log});
    EXPECT_EQ(r.status, ExitOk) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("3 programmers: 3 chips passed, 0 failed")) << r.out.toStdString();

    QFile csv(log);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    ASSERT_EQ(lines.size(), 5) << "the header, three lines and the end";
    EXPECT_EQ(lines[0], "time,chip ID,result,serial,SHA-256,seconds,reason,programmer");
    std::set<QByteArray> serials;
    std::set<QByteArray> locations;
    for (int i = 1; i <= 3; ++i) {
        const QList<QByteArray> f = lines[i].split(',');
        ASSERT_EQ(f.size(), 8) << lines[i].toStdString();
        // The location names the programmer whose chip holds that serial and that hash.
        const int device = f[7].mid(4).toInt();
        ASSERT_TRUE(device >= 1 && device <= 3) << f[7].toStdString();
        const QByteArray written = chip(device).left(data.size());
        const quint16 serial = static_cast<quint16>(f[3].toUInt());
        EXPECT_EQ(written.mid(0x10, 2), QByteArray::fromHex(QByteArray::number(serial, 16).rightJustified(4, '0')));
        EXPECT_EQ(written.left(0x10), data.left(0x10));
        EXPECT_EQ(written.mid(0x12), data.mid(0x12));
        EXPECT_EQ(f[4], QCryptographicHash::hash(written, QCryptographicHash::Sha256).toHex().toUpper());
        EXPECT_EQ(f[1] + f[2], "EF3013passed");
        EXPECT_TRUE(r.out.contains(QString::fromLatin1(f[7] + ": chip 1 (ID EF3013) passed, serial " + f[3])));
        serials.insert(f[3]);
        locations.insert(f[7]);
    }
    EXPECT_EQ(serials, (std::set<QByteArray> {"500", "501", "502"}));
    EXPECT_EQ(locations.size(), 3u);
}

TEST_F(GangTest, AProgrammerUnpluggedMidWriteFailsItsSocketOnly)
{
    const QString in = imageFile(64 * 1024);
    // The second programmer goes away in the middle of its write, well past its erase.
    ASSERT_EQ(sim.armFault(programmers[1], KSIM_FAULT_UNPLUG, 60), 0);
    const Run r = run({"auto", in, "--chip", Chip, "--all-programmers", "--serial", "0x0:1"});
    EXPECT_EQ(r.status, ExitCommunication) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("3 programmers: 2 chips passed, 1 failed")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("001:002: chip 1 (ID EF3013) failed")) << r.out.toStdString();
    for (const int device : {programmers[0], programmers[2]})
        EXPECT_EQ(chip(device).mid(4, data.size() - 4), data.mid(4)) << device;
    EXPECT_NE(chip(programmers[1]).left(data.size()).mid(4), data.mid(4));
    EXPECT_EQ(sim.openHandles(), 0);
}

TEST_F(GangTest, CtrlCEndsEverySocketAfterItsCurrentBlockWithTheEndCommand)
{
    const QString in = imageFile(ChipSize);
    sim.setTiming(1);
    int endedBefore[3];
    for (int i = 0; i < 3; ++i)
        endedBefore[i] = sim.state(programmers[i]).jobs_ended;
    // The operator presses Ctrl+C once every socket is writing.
    std::atomic<bool> done {false};
    std::thread operatorHand([&] {
        for (;;) {
            if (done)
                return;
            bool writing = true;
            for (const int device : programmers)
                writing = writing && sim.state(device).bytes_written > 0;
            if (writing) {
                control.stop.request();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const Run r = run({"auto", in, "--chip", Chip, "--all-programmers"});
    done = true;
    operatorHand.join();
    sim.setTiming(0);
    EXPECT_EQ(r.status, ExitStopped) << r.err.toStdString();
    for (int i = 0; i < 3; ++i) {
        const ksim_state s = sim.state(programmers[i]);
        EXPECT_EQ(s.jobs_ended, endedBefore[i] + 3)
            << "the socket's look, the chip check and the stopped auto, socket " << i;
        EXPECT_EQ(s.setup_valid, 0) << i;
        EXPECT_LT(s.bytes_written, ChipSize) << "stopped in the middle, socket " << i;
    }
    EXPECT_EQ(sim.openHandles(), 0);
}

} // namespace

namespace {

TEST(SerialCounter, NumbersGivenBackGoToTheNextChipsSmallestFirst)
{
    SerialCounter counter(10, 5);
    EXPECT_EQ(counter.take(), 10u);
    EXPECT_EQ(counter.take(), 15u);
    EXPECT_EQ(counter.take(), 20u);
    counter.giveBack(15);
    counter.giveBack(10);
    const quint64 expected[] = {10, 15, 25, 30};
    for (const quint64 value : expected)
        EXPECT_EQ(counter.take(), value);
}

} // namespace

namespace {

TEST_F(GangTest, WithRepeatEachSocketTakesItsNextChipWhenOneIsPutIntoItWhateverTheOthersDo)
{
    const QString in = imageFile(4096);
    const QString log = folder.path(QStringLiteral("jobs.csv"));
    // The operator serves the first socket only: once its chip is in the job log, takes it out,
    // puts a fresh one in when the socket has looked at it empty, and presses Ctrl+C after its
    // third chip. The other sockets keep their first chip and wait.
    std::mutex mutex;
    int served = 0;
    int lookedEmptyAfter = -1; ///< the first socket's job count when its chip was taken out
    control.beforeSocketLook = [&] {
        const std::lock_guard<std::mutex> lock(mutex);
        const int jobs = sim.state(programmers[0]).jobs_ended;
        if (lookedEmptyAfter >= 0) {
            if (jobs > lookedEmptyAfter) {
                lookedEmptyAfter = -1;
                ASSERT_EQ(sim.insertChip(programmers[0], KSIM_CHIP_SPI_FLASH, ChipSize, 0xEF3013), 0);
            }
            return;
        }
        QFile csv(log);
        const int logged = csv.open(QIODevice::ReadOnly) ? int(csv.readAll().count(",001:001\n")) : 0;
        if (logged == served)
            return;
        served = logged;
        if (served == 3) {
            control.stop.request();
            return;
        }
        ASSERT_EQ(sim.insertChip(programmers[0], KSIM_CHIP_NONE, 0, 0), 0);
        lookedEmptyAfter = jobs;
    };
    const Run r
        = run({"auto", in, "--chip", Chip, "--all-programmers", "--repeat", "--serial", "0x20:1", "--job-log", log});
    control.beforeSocketLook = {};
    EXPECT_EQ(r.status, ExitStopped) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("001:001: chip 3 (ID EF3013) passed")) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("001:002: chip 2")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("3 programmers: 5 chips passed, 0 failed")) << r.out.toStdString();

    QFile csv(log);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 6) << "the header and five chips";
    std::set<QByteArray> serials;
    for (int i = 1; i < lines.size(); ++i)
        serials.insert(lines[i].split(',')[3]);
    EXPECT_EQ(serials, (std::set<QByteArray> {"1", "2", "3", "4", "5"})) << "one counter for every socket";
}

} // namespace
