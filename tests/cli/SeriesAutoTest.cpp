// auto --series against the simulated programmer: each chip takes its number from the record
// store and leaves its record there; a store that fails stops the run before a chip is written.
#include "app/cli/Convert.h"
#include "app/cli/SeriesCommands.h"
#include "records/RecordStore.h"
#include "tests/sim/SimControl.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

class SeriesAutoTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.ok()) << sim.why();
        sim.reset();
        programmer = sim.addProgrammer(sim.addBus(), "WinUSBComm");
        ASSERT_EQ(sim.insertChip(programmer, KSIM_CHIP_SPI_FLASH, 512 * 1024, 0xEF3013), 0);
        QFile f(imageFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, '\x5A'));
    }

    int autoRun(const QString& location, QString* err = nullptr)
    {
        QString o, e;
        QTextStream out(&o), errors(&e);
        const int status = cli::runCli({"auto", imageFile, "--chip", "W25X40CL", "--series", "mac", "--store", location,
                                           "--database", KESTRUM_DATABASE_PATH, "--lang", "en", "--yes"},
            out, errors);
        if (err)
            *err = e;
        return status;
    }

    QByteArray chipBytes(quint32 at, int count)
    {
        quint32 size = 0;
        const quint8* cells = sim.chipBytes(programmer, &size);
        return QByteArray(reinterpret_cast<const char*>(cells + at), count);
    }

    test::SimControl& sim = test::SimControl::get();
    int programmer = 0;
    QTemporaryDir folder;
    QString imageFile = folder.filePath(QStringLiteral("image.bin"));
    QString store = folder.filePath(QStringLiteral("records.sqlite"));
};

TEST_F(SeriesAutoTest, EachChipTakesTheNextNumberAndTheSeriesStopsAtItsLast)
{
    records::RecordStore(store).createSeries(
        *records::parseSeries("mac", "0x100:0x001122334455:mac", 0x001122334456, 0x4000000));
    for (const char* mac : {"001122334455", "001122334456"}) {
        QString err;
        ASSERT_EQ(autoRun(store, &err), 0) << qPrintable(err);
        EXPECT_EQ(chipBytes(0x100, 6).toHex(), QByteArray(mac));
    }
    QString err;
    EXPECT_EQ(autoRun(store, &err), cli::ExitStore);
    EXPECT_TRUE(err.contains(QStringLiteral("Series mac has run out: its last number 00:11:22:33:44:56")))
        << qPrintable(err);
    const auto found = records::RecordStore(store).records({"mac", 0x001122334456, {}});
    ASSERT_EQ(found.size(), 1);
    EXPECT_TRUE(found.front().passed);
    EXPECT_EQ(found.front().chipId, QStringLiteral("EF3013"));
    EXPECT_EQ(found.front().imageSha256.size(), 64);
}

TEST_F(SeriesAutoTest, AStoreThatCannotBeReachedStopsTheRunBeforeTheChipIsWritten)
{
    QString err;
    EXPECT_EQ(autoRun(QStringLiteral("postgresql://kestrum@/postgres?host=/nonexistent-socket-folder"), &err),
        cli::ExitStore);
    EXPECT_TRUE(err.contains(QStringLiteral("cannot be reached"))) << qPrintable(err);
    EXPECT_EQ(chipBytes(0, 16), QByteArray(16, '\xFF'));
}

} // namespace
