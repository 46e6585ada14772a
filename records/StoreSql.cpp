#include "records/StoreSql.h"

#include "records/RecordStore.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QUrl>
#include <QUrlQuery>

namespace kestrum::records {

namespace {

QAtomicInt connections;

bool isPostgresLocation(const QString& location)
{
    return location.startsWith(QLatin1String("postgresql://")) || location.startsWith(QLatin1String("postgres://"));
}

/// How long a writer waits for another process's transaction before the store counts as locked.
constexpr int LockWaitMs = 10000;

} // namespace

StoreSql::StoreSql(const QString& location)
    : location_(isPostgresLocation(location) ? QUrl(location).toString(QUrl::RemovePassword) : location)
    , connection_(QStringLiteral("kestrum-records-%1").arg(connections.fetchAndAddRelaxed(1)))
    , postgres_(isPostgresLocation(location))
{
    const QString driver = postgres_ ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
    if (!QSqlDatabase::isDriverAvailable(driver))
        throw StoreFault(StoreFault::Kind::Unreachable, MsgStoreUnreachable, {location_}, MsgStoreNoDriver, {driver});
    db_ = QSqlDatabase::addDatabase(driver, connection_);
    if (postgres_) {
        const QUrl url(location);
        const QUrlQuery query(url);
        db_.setHostName(
            query.hasQueryItem(QStringLiteral("host")) ? query.queryItemValue(QStringLiteral("host")) : url.host());
        if (url.port() > 0)
            db_.setPort(url.port());
        db_.setUserName(url.userName());
        db_.setPassword(url.password());
        db_.setDatabaseName(url.path().mid(1));
        db_.setConnectOptions(QStringLiteral("connect_timeout=5"));
    } else {
        QDir().mkpath(QFileInfo(location).absolutePath());
        db_.setDatabaseName(location);
        db_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(LockWaitMs));
    }
    if (!db_.open())
        throw StoreFault(StoreFault::Kind::Unreachable, MsgStoreUnreachable, {location_, db_.lastError().text()});
    if (postgres_) {
        plain(QStringLiteral("SET lock_timeout = %1").arg(LockWaitMs));
    } else {
        // The write-ahead log lets readers go on while one process writes; each commit still
        // reaches the disk before a number counts as taken.
        plain(QStringLiteral("PRAGMA journal_mode = WAL"));
        plain(QStringLiteral("PRAGMA synchronous = FULL"));
    }
}

StoreSql::~StoreSql()
{
    prepared_.clear();
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection_);
}

QSqlQuery& StoreSql::run(const QString& sql, const QVariantList& values)
{
    auto found = prepared_.find(sql);
    if (found == prepared_.end()) {
        QSqlQuery query(db_);
        query.setForwardOnly(true);
        if (!query.prepare(sql))
            fail(query.lastError());
        found = prepared_.insert(sql, query);
    }
    QSqlQuery& query = *found;
    for (qsizetype i = 0; i < values.size(); ++i)
        query.bindValue(static_cast<int>(i), values[i]);
    if (!query.exec())
        fail(query.lastError());
    return query;
}

QList<QVariantList> StoreSql::rows(const QString& sql, const QVariantList& values)
{
    QSqlQuery& query = run(sql, values);
    QList<QVariantList> out;
    const int columns = query.record().count();
    while (query.next()) {
        QVariantList row;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c)
            row << query.value(c);
        out << row;
    }
    query.finish();
    return out;
}

int StoreSql::change(const QString& sql, const QVariantList& values)
{
    QSqlQuery& query = run(sql, values);
    const int changed = query.numRowsAffected();
    query.finish();
    return changed;
}

void StoreSql::plain(const QString& sql)
{
    QSqlQuery query(db_);
    if (!query.exec(sql))
        fail(query.lastError());
}

void StoreSql::begin(Durability durability)
{
    if (!postgres_ && durability != sqliteSync_) {
        plain(durability == Durability::OnDisk ? QStringLiteral("PRAGMA synchronous = FULL")
                                               : QStringLiteral("PRAGMA synchronous = NORMAL"));
        sqliteSync_ = durability;
    }
    // SQLite: the write lock at the start, so that two takers never both read the same state.
    plain(postgres_ ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
    if (postgres_ && durability == Durability::Lazy)
        plain(QStringLiteral("SET LOCAL synchronous_commit = off"));
}

void StoreSql::commit()
{
    plain(QStringLiteral("COMMIT"));
}

void StoreSql::rollback()
{
    QSqlQuery query(db_);
    query.exec(QStringLiteral("ROLLBACK"));
}

void StoreSql::fail(const QSqlError& error) const
{
    const QString code = error.nativeErrorCode();
    const QString reason = error.text();
    // SQLite's SQLITE_BUSY and SQLITE_LOCKED; PostgreSQL's lock_not_available.
    if ((!postgres_ && (code == QLatin1String("5") || code == QLatin1String("6"))) || code == QLatin1String("55P03"))
        throw StoreFault(StoreFault::Kind::Locked, MsgStoreLocked, {location_, reason});
    // Qt reports every failed SQLite step as a connection error: only SQLITE_CANTOPEN is one.
    const bool lost = postgres_ ? error.type() == QSqlError::ConnectionError || code.startsWith(QLatin1String("08"))
                                : code == QLatin1String("14");
    if (lost || !db_.isOpen())
        throw StoreFault(StoreFault::Kind::Unreachable, MsgStoreUnreachable, {location_, reason});
    throw StoreFault(StoreFault::Kind::Refused, MsgStoreRefused, {location_, reason});
}

} // namespace kestrum::records
