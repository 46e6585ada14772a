// kestrum-cli's series and records commands on a SQLite store in a temporary folder.
#include "app/cli/Convert.h"
#include "jobs/RunStatus.h"
#include "records/RecordStore.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

class StoreCommandsTest : public ::testing::Test
{
protected:
    int run(QStringList arguments)
    {
        out.clear();
        err.clear();
        arguments << QStringLiteral("--store") << store << QStringLiteral("--lang") << QStringLiteral("en");
        QTextStream o(&out), e(&err);
        return cli::runCli(arguments, o, e);
    }

    QTemporaryDir folder;
    QString store = folder.filePath(QStringLiteral("records.sqlite"));
    QString out, err;
};

TEST_F(StoreCommandsTest, ASeriesIsCreatedShownWithItsReservedNumbersAndReleased)
{
    ASSERT_EQ(run({"series", "create", "board", "--serial", "0x100:1000:2", "--last", "1010"}), 0) << qPrintable(err);
    EXPECT_EQ(run({"series", "create", "board", "--serial", "0x100:1"}), 7);
    EXPECT_TRUE(err.contains(QStringLiteral("Series board exists already"))) << qPrintable(err);
    EXPECT_EQ(run({"series", "create", "wide", "--serial", "0x100:1:1:1", "--last", "256"}), ExitUsage);

    const records::TakenNumber held = records::RecordStore(store).take("board", "station-7", "1-1.4");
    ASSERT_EQ(run({"series", "show", "board"}), 0);
    EXPECT_TRUE(out.contains(QStringLiteral("next 1002, 5 left up to 1010; 1 reserved"))) << qPrintable(out);
    EXPECT_TRUE(out.contains(QStringLiteral("1000 reserved by station-7 (1-1.4)"))) << qPrintable(out);
    ASSERT_EQ(run({"series", "release", "board", "1000"}), 0);
    EXPECT_EQ(records::RecordStore(store).take("board", "here", "x").serial, held.serial);
}

TEST_F(StoreCommandsTest, RecordsFindAChipBySerialSeriesAndTime)
{
    ASSERT_EQ(run({"series", "create", "mac", "--serial", "0:0x001122334455:mac"}), 0) << qPrintable(err);
    records::RecordStore s(store);
    for (const bool passed : {false, true, true}) {
        records::ChipRecord r;
        r.station = QStringLiteral("st");
        r.location = QStringLiteral("1-1.4");
        r.chipId = QStringLiteral("EF4017");
        r.passed = passed;
        r.reason = passed ? QString() : QStringLiteral("verify, twice");
        s.finish(s.take("mac", r.station, r.location), r);
    }
    ASSERT_EQ(run({"records", "--serial", "00:11:22:33:44:56", "--csv"}), 0) << qPrintable(err);
    const QStringList lines = out.trimmed().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2) << qPrintable(out);
    EXPECT_TRUE(lines[1].contains(QStringLiteral(",st,1-1.4,EF4017,mac,00:11:22:33:44:56,pass,"))) << qPrintable(out);
    ASSERT_EQ(run({"records", "--serial", "0x001122334455"}), 0);
    EXPECT_EQ(out.count(QStringLiteral("00:11:22:33:44:55")), 2) << qPrintable(out); // failed, then passed
    ASSERT_EQ(run({"records", "--series", "mac", "--csv"}), 0);
    EXPECT_TRUE(out.contains(QStringLiteral(",fail,0.0,\"verify, twice\",")));
    ASSERT_EQ(run({"records", "--since", QDateTime::currentDateTime().addDays(1).toString(Qt::ISODate)}), 0);
    EXPECT_EQ(out.trimmed(), QStringLiteral("No record matches"));
}

} // namespace
