// The record store against a real SQLite file and a real PostgreSQL cluster (started by the
// tests' fixture), with several processes taking numbers of one series at once.
#include "records/RecordStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <set>

using namespace kestrum::records;

namespace {

enum class Back { Sqlite, Postgres };

void PrintTo(Back back, std::ostream* out)
{
    *out << (back == Back::Sqlite ? "SQLite" : "PostgreSQL");
}

class RecordStoreTest : public ::testing::TestWithParam<Back>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.isValid());
        if (GetParam() == Back::Sqlite) {
            location_ = folder_.filePath(QStringLiteral("records.sqlite"));
            return;
        }
        QFile state(QStringLiteral(KESTRUM_POSTGRES_STATE));
        ASSERT_TRUE(state.open(QIODevice::ReadOnly)) << "the PostgreSQL fixture did not start";
        location_ = QString::fromUtf8(state.readAll()).trimmed();
    }

    /// A series of its own for each test and run, so that runs against one cluster never meet.
    Series createSeries(const QString& serialText, std::optional<quint64> last = {})
    {
        static int made = 0;
        const QString name = QStringLiteral("s%1-%2").arg(QCoreApplication::applicationPid()).arg(++made);
        auto s = parseSeries(name, serialText, last, 0x4000000);
        EXPECT_TRUE(s.has_value()) << qPrintable(serialText);
        RecordStore(location_).createSeries(*s);
        return *s;
    }

    QProcess* takeNumbers(const QString& series, const QStringList& more)
    {
        auto* p = new QProcess;
        p->setProgram(QStringLiteral(KESTRUM_TAKE_TOOL));
        p->setArguments(QStringList {location_, series} + more);
        p->start();
        EXPECT_TRUE(p->waitForStarted());
        return p;
    }

    QTemporaryDir folder_;
    QString location_;
};

TEST_P(RecordStoreTest, FourProcessesTakeDistinctNumbersAndOnlyGivenBackOnesAgain)
{
    const Series s = createSeries(QStringLiteral("0x100:1000:3"));
    std::vector<std::unique_ptr<QProcess>> takers;
    for (int i = 0; i < 4; ++i)
        takers.emplace_back(takeNumbers(s.name, {QStringLiteral("40"), QStringLiteral("4"), QStringLiteral("5")}));
    std::multiset<quint64> used;
    std::set<quint64> givenBack;
    for (auto& p : takers) {
        ASSERT_TRUE(p->waitForFinished(180000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
        for (const QByteArray& line : p->readAllStandardOutput().split('\n')) {
            if (line.startsWith("used "))
                used.insert(line.mid(5).toULongLong());
            else if (line.startsWith("back "))
                givenBack.insert(line.mid(5).toULongLong());
        }
    }
    ASSERT_EQ(used.size(), 4u * 4 * 32);
    EXPECT_EQ(std::set<quint64>(used.begin(), used.end()).size(), used.size()) << "a number was used twice";
    // Every number from the first to the last handed out is used, or given back and not taken again.
    RecordStore store(location_);
    const Series now = store.series(s.name);
    quint64 unused = 0;
    for (quint64 n = s.first; n < now.next; n += s.step)
        if (used.count(n) == 0) {
            EXPECT_TRUE(givenBack.count(n)) << n << " is a gap that was never given back";
            ++unused;
        }
    EXPECT_LE(unused, 16u) << "given-back numbers were not taken again";
    EXPECT_TRUE(store.reserved(s.name).isEmpty());
    // The store finds a chip by its serial: the one passed record, after any failed ones.
    const quint64 serial = *std::next(used.begin(), static_cast<long>(used.size() / 2));
    const auto found = store.records({s.name, serial, {}});
    ASSERT_FALSE(found.isEmpty());
    EXPECT_TRUE(found.back().passed);
    EXPECT_EQ(found.back().serial, serial);
    EXPECT_EQ(found.back().chipId, QStringLiteral("EF4017"));
    EXPECT_EQ(std::count_if(found.begin(), found.end(), [](const ChipRecord& r) { return r.passed; }), 1);
}

TEST_P(RecordStoreTest, ANumberOfAKilledTakerStaysReservedUntilReleased)
{
    const Series s = createSeries(QStringLiteral("0:500"));
    std::unique_ptr<QProcess> holder(takeNumbers(s.name, {QStringLiteral("hold")}));
    ASSERT_TRUE(holder->waitForReadyRead(60000)) << holder->readAllStandardError().toStdString();
    const QByteArray line = holder->readLine().trimmed();
    ASSERT_TRUE(line.startsWith("taken ")) << line.toStdString();
    const quint64 held = line.mid(6).toULongLong();
    ::kill(static_cast<pid_t>(holder->processId()), SIGKILL);
    holder->waitForFinished();

    std::unique_ptr<QProcess> after(
        takeNumbers(s.name, {QStringLiteral("10"), QStringLiteral("1"), QStringLiteral("2")}));
    ASSERT_TRUE(after->waitForFinished(60000));
    EXPECT_FALSE(after->readAllStandardOutput().contains(" " + QByteArray::number(held) + "\n"));
    RecordStore store(location_);
    const auto reserved = store.reserved(s.name);
    ASSERT_EQ(reserved.size(), 1);
    EXPECT_EQ(reserved.front().serial, held);
    EXPECT_EQ(store.release(s.name), 1);
    EXPECT_EQ(store.take(s.name, QStringLiteral("here"), QStringLiteral("x")).serial, held);
}

TEST_P(RecordStoreTest, AMacSeriesWritesBigEndianAndStopsAtItsLast)
{
    const Series s = createSeries(QStringLiteral("0x20:0x001122334455:mac"), 0x001122334456);
    RecordStore store(location_);
    const TakenNumber first = store.take(s.name, QStringLiteral("here"), QStringLiteral("x"));
    EXPECT_EQ(first.bytes, QByteArray::fromHex("001122334455"));
    store.finish(first, ChipRecord {{}, {}, {}, {}, {}, {}, {}, true, 0, {}});
    EXPECT_EQ(
        store.take(s.name, QStringLiteral("here"), QStringLiteral("x")).bytes, QByteArray::fromHex("001122334456"));
    try {
        (void)store.take(s.name, QStringLiteral("here"), QStringLiteral("x"));
        FAIL() << "a MAC series went past its last number";
    } catch (const StoreFault& fault) {
        EXPECT_EQ(fault.kind(), StoreFault::Kind::RanOut);
        EXPECT_TRUE(fault.text(2).contains(s.name));
        EXPECT_TRUE(fault.text(2).contains(QStringLiteral("00:11:22:33:44:56"))) << qPrintable(fault.text(2));
    }
}

INSTANTIATE_TEST_SUITE_P(Stores, RecordStoreTest, ::testing::Values(Back::Sqlite, Back::Postgres),
    [](const ::testing::TestParamInfo<Back>& p) { return p.param == Back::Sqlite ? "Sqlite" : "Postgres"; });

TEST(RecordStoreFaults, AStoreThatCannotBeReachedSaysWhy)
{
    const struct
    {
        QString location;
        StoreFault::Kind kind;
    } cases[] = {
        {QStringLiteral("/proc/no-such-folder/records.sqlite"), StoreFault::Kind::Unreachable},
        {QStringLiteral("postgresql://kestrum@/postgres?host=/nonexistent-socket-folder"),
            StoreFault::Kind::Unreachable},
    };
    for (const auto& c : cases) {
        try {
            RecordStore store(c.location);
            ADD_FAILURE() << "opened " << qPrintable(c.location);
        } catch (const StoreFault& fault) {
            EXPECT_EQ(fault.kind(), c.kind) << qPrintable(fault.text(2));
            EXPECT_TRUE(fault.text(2).contains(c.location)) << qPrintable(fault.text(2));
        }
    }
}

TEST(RecordStoreFaults, ALockedSqliteFileIsReportedAsLocked)
{
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("records.sqlite"));
    RecordStore(file).createSeries(*parseSeries(QStringLiteral("a"), QStringLiteral("0:1"), {}, 16));
    QProcess sqlite;
    // Another process holds the write lock past the wait.
    sqlite.start(QStringLiteral(KESTRUM_TAKE_TOOL), {file, QStringLiteral("-"), QStringLiteral("lock")});
    ASSERT_TRUE(sqlite.waitForReadyRead(20000));
    try {
        RecordStore store(file);
        (void)store.take(QStringLiteral("a"), QStringLiteral("here"), QStringLiteral("x"));
        ADD_FAILURE() << "took a number from a locked store";
    } catch (const StoreFault& fault) {
        EXPECT_EQ(fault.kind(), StoreFault::Kind::Locked) << qPrintable(fault.text(2));
    }
    sqlite.kill();
    sqlite.waitForFinished();
}

TEST(SeriesText, SpecificationsAndTheirBytes)
{
    const struct
    {
        const char* serialText;
        std::optional<quint64> last;
        quint64 value;
        const char* bytes; ///< hexadecimal, or null when the serial text is refused
    } cases[] = {
        {"0x10:1", {}, 0x01020304, "04030201"},
        {"0x10:1:1:2:be", {}, 0x0102, "0102"},
        {"0:7:ascii", {}, 42, "30303432"},
        {"0:7:1:6:hex", {}, 0xABC, "303030414243"},
        {"0:0x001122334455:mac", {}, 0x001122334455, "001122334455"},
        {"0:1:1:2:be", 0x10000, 0, nullptr}, // the last number does not fit two bytes
        {"0:5:mac", 0x1000000000000, 0, nullptr}, // past the largest MAC address
        {"0:1:1:4:mac", {}, 0, nullptr}, // a MAC address is 6 bytes
        {"0:9", 8, 0, nullptr}, // the first number past the last
        {"0:1:0", {}, 0, nullptr}, // no step
        {"0x3FFFFFD:1", {}, 0, nullptr}, // the bytes end past the buffer
        {"0:1:xx", {}, 0, nullptr},
    };
    for (const auto& c : cases) {
        const auto s = parseSeries(QStringLiteral("n"), QString::fromLatin1(c.serialText), c.last, 0x4000000);
        ASSERT_EQ(s.has_value(), c.bytes != nullptr) << c.serialText;
        if (s) {
            EXPECT_EQ(s->bytes(c.value).toHex(), QByteArray(c.bytes)) << c.serialText;
        }
    }
}

} // namespace
