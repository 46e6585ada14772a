// Takes numbers of one series in a loop, as a production station does, for the tests that run
// several of it at once:
//   take_numbers STORE SERIES COUNT THREADS GIVE-BACK-EVERY   prints "used N" / "back N" per chip
//   take_numbers STORE SERIES hold                           prints "taken N" and waits to be killed
//   take_numbers FILE - lock                                  holds a SQLite file's write lock
#include "records/RecordStore.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSysInfo>

#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

using namespace kestrum::records;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 4)
        return 2;
    const QString location = a[1];
    const QString series = a[2];
    const QString station = QSysInfo::machineHostName();
    std::mutex out;
    try {
        if (a[3] == QLatin1String("lock")) {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
            db.setDatabaseName(location);
            if (!db.open() || !QSqlQuery(db).exec(QStringLiteral("BEGIN IMMEDIATE")))
                return 1;
            std::printf("locked\n");
            std::fflush(stdout);
            for (;;)
                std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        if (a[3] == QLatin1String("hold")) {
            RecordStore store(location);
            const TakenNumber n = store.take(series, station, QStringLiteral("hold"));
            std::printf("taken %llu\n", static_cast<unsigned long long>(n.serial));
            std::fflush(stdout);
            for (;;)
                std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        const int count = a[3].toInt();
        const int threads = a.size() > 4 ? a[4].toInt() : 1;
        const int giveBackEvery = a.size() > 5 ? a[5].toInt() : 0;
        std::vector<std::thread> workers;
        bool failed = false;
        for (int t = 0; t < threads; ++t)
            workers.emplace_back([&, t] {
                try {
                    RecordStore store(location);
                    const QString holder
                        = QStringLiteral("socket %1 (%2)").arg(t).arg(QCoreApplication::applicationPid());
                    for (int i = 0; i < count; ++i) {
                        const TakenNumber n = store.take(series, station, holder);
                        ChipRecord r;
                        r.station = station;
                        r.location = holder;
                        r.chipId = QStringLiteral("EF4017");
                        r.imageSha256 = QString(64, QLatin1Char('a'));
                        r.passed = giveBackEvery == 0 || i % giveBackEvery != giveBackEvery - 1;
                        r.reason = r.passed ? QString() : QStringLiteral("verify");
                        store.finish(n, r);
                        const std::lock_guard lock(out);
                        std::printf("%s %llu\n", r.passed ? "used" : "back", static_cast<unsigned long long>(n.serial));
                    }
                } catch (const StoreFault& fault) {
                    const std::lock_guard lock(out);
                    std::fprintf(stderr, "%s\n", qPrintable(fault.text(2)));
                    failed = true;
                }
            });
        for (auto& w : workers)
            w.join();
        return failed ? 1 : 0;
    } catch (const StoreFault& fault) {
        std::fprintf(stderr, "%s\n", qPrintable(fault.text(2)));
        return 1;
    }
}
