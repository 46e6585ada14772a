// The production loop through the job engine with a scripted observer: no window, no command line.
#include "jobs/ProductionRun.h"
#include "base/Reporter.h"
#include "chipdb/ChipDatabase.h"
#include "jobs/JobLog.h"
#include "jobs/RunStatus.h"
#include "tests/buffer/FileTestSupport.h"
#include "tests/sim/SimControl.h"
#include "tests/support/ScriptedUserInterface.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

namespace kestrum::test {
namespace {

constexpr quint32 ChipSize = 512 * 1024; // W25X40CL
constexpr int Sockets = 4;

/// Records what the sockets tell; every question is answered No.
class ScriptedObserver : public ProductionObserver
{
public:
    void message(std::size_t, const QString& text, Kind kind) override
    {
        const std::lock_guard<std::mutex> lock(mutex);
        (kind == Kind::Error ? errors : lines) << text;
    }
    bool askYesNo(std::size_t, const QString& text) override
    {
        const std::lock_guard<std::mutex> lock(mutex);
        questions << text;
        return false;
    }
    int askButtons(std::size_t socket, const QString& text, const QStringList& captions) override
    {
        return askYesNo(socket, text) ? 0 : int(captions.size()) - 1;
    }
    void progress(
        std::size_t, const QString&, quint32, quint32, const std::optional<ProgressEstimate::Estimate>&) override
    {
    }
    void chipStarted(std::size_t, const QString&) override { }
    void chipEnded(std::size_t, const ProducedChip&) override { }
    void waitingForChip(std::size_t socket) override
    {
        if (beforeLook)
            beforeLook(socket);
    }

    std::mutex mutex;
    QStringList errors, lines, questions;
    std::function<void(std::size_t)> beforeLook;
};

class ProductionRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.ok()) << sim.why();
        sim.reset();
        qputenv("KESTRUM_SYSFS_ROOT", folder.path(QStringLiteral("no-sysfs")).toLocal8Bit());
        const int bus = sim.addBus();
        for (int i = 0; i < Sockets; ++i) {
            devices[i] = sim.addProgrammer(bus, "WinUSBComm");
            ProgrammerInfo programmer;
            programmer.location = QByteArray("001:00") + char('1' + i);
            programmers.push_back(programmer);
            insertChip(i);
        }
        ASSERT_EQ(loadChipDatabaseFile(QStringLiteral(KESTRUM_DATABASE_PATH), table, reporter), LoadResult::Loaded);
        for (qint32 i = 0; i < 8192; ++i)
            image.data()[i] = static_cast<quint8>(i * 7 + 1);
        image.usedLength = 8192;
        int w25x40 = -1;
        for (int i = 0; i < table.listedCount(); ++i)
            if (table[i].namesText().contains(QStringLiteral("W25X40CL")))
                w25x40 = i;
        ASSERT_GE(w25x40, 0);
        job = productionJob(table, table[w25x40], 0, true, true, true, image);
        job.logProgrammer = true;
    }
    void TearDown() override { qunsetenv("KESTRUM_SYSFS_ROOT"); }

    void insertChip(int socket)
    {
        ASSERT_EQ(sim.insertChip(devices[socket], KSIM_CHIP_SPI_FLASH, ChipSize, 0xEF3013), 0);
    }
    QByteArray chip(int socket)
    {
        quint32 size = 0;
        const quint8* cells = sim.chipBytes(devices[socket], &size);
        return QByteArray(reinterpret_cast<const char*>(cells), static_cast<qsizetype>(size));
    }
    /// The job log's chips without their time, seconds and programmer: ID, result, serial, SHA-256.
    std::multiset<QByteArray> loggedChips(const QString& path)
    {
        QFile csv(path);
        EXPECT_TRUE(csv.open(QIODevice::ReadOnly));
        std::multiset<QByteArray> chips;
        const QList<QByteArray> lines = csv.readAll().trimmed().split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i)
            chips.insert(lines[i].split(',').mid(1, 4).join(','));
        return chips;
    }

    SimControl& sim = SimControl::get();
    TempFolder folder;
    ScriptedUserInterface ui;
    Reporter reporter {ui};
    ChipTable table;
    DataBuffer image;
    ProductionJob job;
    int devices[Sockets] = {};
    std::vector<ProgrammerInfo> programmers;
    ScriptedObserver observer;
    StopToken stop;
};

TEST_F(ProductionRunTest, OneSocketWithRepeatAndFourAtOnceLogTheSameChipsAndSerials)
{
    job.serial = parseSerial(QStringLiteral("0x20:1"));
    JobLog gangLog;
    ASSERT_EQ(gangLog.open(folder.path(QStringLiteral("gang.csv"))), 0);
    ASSERT_EQ(gangLog.writeHeader(jobLogHeader(true)), 0);
    const auto gang = runProduction(job, programmers, &gangLog, observer, stop);
    EXPECT_EQ(productionStatus(gang, stop), ExitOk) << observer.errors.join('\n').toStdString();

    // One socket, chip after chip: the operator takes each chip out and puts a fresh one in, and
    // stops once four passed.
    for (int i = 0; i < Sockets; ++i)
        insertChip(i);
    job.repeat = true;
    job.stopAfterChip = true;
    JobLog repeatLog;
    ASSERT_EQ(repeatLog.open(folder.path(QStringLiteral("repeat.csv"))), 0);
    ASSERT_EQ(repeatLog.writeHeader(jobLogHeader(true)), 0);
    int looks = 0;
    observer.beforeLook = [&](std::size_t) {
        if (looks++ % 2 == 1) {
            insertChip(0);
        } else if (looks / 2 == Sockets - 1) {
            stop.request();
        } else {
            ASSERT_EQ(sim.insertChip(devices[0], KSIM_CHIP_NONE, 0, 0), 0);
        }
    };
    const auto single = runProduction(job, {programmers[0]}, &repeatLog, observer, stop);
    EXPECT_EQ(single[0].passed, Sockets);
    EXPECT_EQ(productionStatus(single, stop), ExitStopped);
    const auto chips = loggedChips(folder.path(QStringLiteral("gang.csv")));
    EXPECT_EQ(chips.size(), std::size_t(Sockets));
    EXPECT_EQ(loggedChips(folder.path(QStringLiteral("repeat.csv"))), chips);
}

TEST_F(ProductionRunTest, AStopEndsEverySocketAtItsNextBlockWithTheEndCommandSent)
{
    sim.setTiming(1);
    int endedBefore[Sockets];
    for (int i = 0; i < Sockets; ++i)
        endedBefore[i] = sim.state(devices[i]).jobs_ended;
    std::atomic<bool> done {false};
    std::thread operatorHand([&] {
        while (!done) {
            bool writing = true;
            for (const int device : devices)
                writing = writing && sim.state(device).bytes_written > 0;
            if (writing) {
                stop.request(SIGTERM);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const auto tallies = runProduction(job, programmers, nullptr, observer, stop);
    done = true;
    operatorHand.join();
    sim.setTiming(0);
    EXPECT_EQ(productionStatus(tallies, stop), 128 + SIGTERM);
    for (int i = 0; i < Sockets; ++i) {
        const ksim_state s = sim.state(devices[i]);
        EXPECT_EQ(tallies[i].status, 128 + SIGTERM) << i;
        EXPECT_EQ(s.jobs_ended, endedBefore[i] + 3) << "the socket's look, the chip check and the stopped auto, " << i;
        EXPECT_EQ(s.setup_valid, 0) << i;
        EXPECT_LT(s.bytes_written, ChipSize) << "stopped in the middle, socket " << i;
    }
    EXPECT_EQ(sim.openHandles(), 0);
}

TEST_F(ProductionRunTest, EverySocketKeepsABackupNamingItsProgrammerAndOneWhoseBackupFailsIsNotErased)
{
    test::writeFile(folder.path(QStringLiteral("file")), "x");
    struct Row
    {
        QString backups;
        int files; ///< backups kept
        bool programmed;
    };
    const Row rows[] = {
        {folder.path(QStringLiteral("backups")), Sockets, true},
        {folder.path(QStringLiteral("file/backups")), 0, false}, // a folder that cannot be made
    };
    for (const Row& row : rows) {
        QByteArray held[Sockets];
        for (int i = 0; i < Sockets; ++i) {
            insertChip(i);
            quint32 size = 0;
            quint8* cells = sim.chipBytes(devices[i], &size);
            std::memset(cells + 0x1000 * i, 0x5A - i, 0x1000);
            held[i] = chip(i);
        }
        job.backupFolder = row.backups;
        const auto tallies = runProduction(job, programmers, nullptr, observer, stop);
        const QStringList files = QDir(row.backups).entryList(QDir::Files);
        EXPECT_EQ(files.size(), row.files) << row.backups.toStdString();
        for (int i = 0; i < Sockets; ++i) {
            EXPECT_EQ(tallies[i].passed, row.programmed ? 1 : 0) << i;
            EXPECT_EQ(chip(i).left(image.usedLength)
                    == QByteArray(reinterpret_cast<const char*>(image.data()), image.usedLength),
                row.programmed)
                << i;
            if (!row.programmed) {
                EXPECT_EQ(chip(i), held[i]) << "nothing erased, socket " << i;
            }
            if (row.files > 0) {
                EXPECT_EQ(files.filter(QStringLiteral("-W25X40CL_001_00%1-").arg(i + 1)).size(), 1)
                    << files.join(' ').toStdString();
            }
        }
    }
}

} // namespace
} // namespace kestrum::test
