// The record store's costs per chip: take a number and write the chip's record (two
// transactions, each on the disk before it returns), and find a chip by serial among 100,000
// records. On a temporary SQLite file, or with --store LOCATION on that store.
#include "records/RecordStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

using namespace kestrum::records;

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    // --store LOCATION, or --folder FOLDER for a temporary SQLite file there (default /tmp).
    QTemporaryDir folder((a.size() > 2 && a[1] == QLatin1String("--folder") ? a[2] : QDir::tempPath())
        + QStringLiteral("/bench_records-XXXXXX"));
    QString location = folder.filePath(QStringLiteral("records.sqlite"));
    if (a.size() > 2 && a[1] == QLatin1String("--store"))
        location = a[2];
    try {
        RecordStore store(location);
        const QString name = QUuid::createUuid().toString(QUuid::WithoutBraces);
        store.createSeries(*parseSeries(name, QStringLiteral("0x100:1"), {}, 0x4000000));
        ChipRecord r;
        r.station = QStringLiteral("bench");
        r.location = QStringLiteral("1-1.4");
        r.chipId = QStringLiteral("EF4017");
        r.imageSha256 = QString(64, QLatin1Char('0'));
        r.passed = true;
        r.seconds = 12.5;

        constexpr int Chips = 1000;
        std::vector<double> perChip;
        for (int i = 0; i < Chips; ++i) {
            QElapsedTimer t;
            t.start();
            const TakenNumber n = store.take(name, r.station, r.location);
            r.time = QDateTime::currentDateTimeUtc();
            store.finish(n, r);
            perChip.push_back(t.nsecsElapsed() / 1e6);
        }
        std::printf("%s\n  take a number and write its record: median %.3f ms, mean %.3f ms (%d chips)\n",
            qPrintable(location), median(perChip), std::accumulate(perChip.begin(), perChip.end(), 0.0) / Chips, Chips);

        // 100,000 records of another series, serials 1..100000 in random order of writing.
        constexpr int Records = 100000;
        const QString other = name + QStringLiteral("-many");
        std::vector<quint64> serials(Records);
        std::iota(serials.begin(), serials.end(), 1);
        std::shuffle(serials.begin(), serials.end(), *QRandomGenerator::global());
        QList<ChipRecord> batch;
        for (int i = 0; i < Records; ++i) {
            ChipRecord m = r;
            m.series = other;
            m.serial = serials[static_cast<size_t>(i)];
            m.time = QDateTime::currentDateTimeUtc().addSecs(i);
            batch << m;
            if (batch.size() == 10000) {
                store.write(batch);
                batch.clear();
            }
        }
        std::vector<double> lookups;
        for (int i = 0; i < 200; ++i) {
            const quint64 serial = 1 + QRandomGenerator::global()->bounded(Records);
            QElapsedTimer t;
            t.start();
            const auto found = store.records({{}, serial, {}});
            lookups.push_back(t.nsecsElapsed() / 1e6);
            if (found.isEmpty())
                return 1;
        }
        std::printf("  records --serial N over %d records: median %.3f ms, worst %.3f ms\n", Records + Chips,
            median(lookups), *std::max_element(lookups.begin(), lookups.end()));
    } catch (const StoreFault& fault) {
        std::fprintf(stderr, "%s\n", fault.what());
        return 1;
    }
    return 0;
}
