#include "records/RecordStore.h"

#include "records/StoreSql.h"

#include <QDir>

#include <array>

namespace kestrum::records {

namespace {

/// The schema, one step per version: step i brings version i to i + 1. %ID% is the column type
/// of a row number that counts up by itself.
const std::array<QStringList, 1> SchemaSteps {{
    {
        QStringLiteral("CREATE TABLE series (name TEXT PRIMARY KEY, address BIGINT NOT NULL, "
                       "width INTEGER NOT NULL, format TEXT NOT NULL, step BIGINT NOT NULL, "
                       "first_number BIGINT NOT NULL, last_number BIGINT NOT NULL, next_number BIGINT NOT NULL)"),
        // Numbers handed out and not yet used: 'taken' (a chip in hand, or a station that died
        // with it: reserved) or 'back' (given back; the next chip takes it first).
        QStringLiteral("CREATE TABLE outstanding_numbers (series TEXT NOT NULL REFERENCES series (name), "
                       "serial BIGINT NOT NULL, state TEXT NOT NULL, station TEXT NOT NULL, holder TEXT NOT NULL, "
                       "taken_ms BIGINT NOT NULL, PRIMARY KEY (series, serial))"),
        QStringLiteral("CREATE TABLE chip_records (id %ID%, time_ms BIGINT NOT NULL, station TEXT NOT NULL, "
                       "location TEXT NOT NULL, chip_id TEXT NOT NULL, series TEXT, serial BIGINT, "
                       "image_sha256 TEXT NOT NULL, passed INTEGER NOT NULL, seconds DOUBLE PRECISION NOT NULL, "
                       "reason TEXT NOT NULL)"),
        QStringLiteral("CREATE INDEX chip_records_serial ON chip_records (serial)"),
        QStringLiteral("CREATE INDEX chip_records_time ON chip_records (time_ms)"),
    },
}};
constexpr int SchemaVersion = static_cast<int>(SchemaSteps.size());

const QString SeriesColumns
    = QStringLiteral("name, address, width, format, step, first_number, last_number, next_number");
const QString RecordColumns
    = QStringLiteral("time_ms, station, location, chip_id, series, serial, image_sha256, passed, seconds, reason");

Series seriesOf(const QVariantList& row)
{
    Series s;
    s.name = row[0].toString();
    s.address = row[1].toUInt();
    s.width = row[2].toInt();
    s.format = formatOf(row[3].toString()).value_or(NumberFormat::Le);
    s.step = row[4].toULongLong();
    s.first = row[5].toULongLong();
    s.last = row[6].toULongLong();
    s.next = row[7].toULongLong();
    return s;
}

QVariant nullable(const QString& text)
{
    return text.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(text);
}

/// A text column that is never NULL: Qt binds a null QString as NULL.
QVariant notNull(const QString& text)
{
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

StoreFault::StoreFault(Kind kind, MessageKey key, QStringList arguments)
    : kind_(kind)
    , key_(key)
    , arguments_(std::move(arguments))
    , english_(text(EnglishLanguage).toUtf8())
{
}

StoreFault::StoreFault(Kind kind, MessageKey key, QStringList arguments, MessageKey reason, QStringList reasonArguments)
    : kind_(kind)
    , key_(key)
    , arguments_(std::move(arguments))
    , reason_(reason)
    , reasonArguments_(std::move(reasonArguments))
    , english_(text(EnglishLanguage).toUtf8())
{
}

namespace {

QString filled(MessageKey key, const QStringList& arguments, int language)
{
    QString t = messageText(key, language);
    for (const QString& a : arguments)
        t = t.arg(a);
    return t;
}

} // namespace

QString StoreFault::text(int language) const
{
    QStringList arguments = arguments_;
    if (reason_ != MessageCount)
        arguments << filled(reason_, reasonArguments_, language);
    return filled(key_, arguments, language);
}

RecordStore::RecordStore(const QString& location)
    : sql_(std::make_unique<StoreSql>(location))
{
    sql_->transaction([this] {
        // One migrating process at a time; the others find the schema done.
        if (sql_->postgres())
            sql_->rows(QStringLiteral("SELECT pg_advisory_xact_lock(4242001)"));
        sql_->plain(QStringLiteral("CREATE TABLE IF NOT EXISTS kestrum_schema (version INTEGER NOT NULL)"));
        const auto found = sql_->rows(QStringLiteral("SELECT version FROM kestrum_schema"));
        const int version = found.isEmpty() ? 0 : found.front().front().toInt();
        if (version > SchemaVersion)
            throw StoreFault(StoreFault::Kind::Refused, MsgStoreRefused, {sql_->location()}, MsgStoreSchemaNewer,
                {QString::number(version), QString::number(SchemaVersion)});
        const QString id
            = sql_->postgres() ? QStringLiteral("BIGSERIAL PRIMARY KEY") : QStringLiteral("INTEGER PRIMARY KEY");
        for (int step = version; step < SchemaVersion; ++step)
            for (const QString& statement : SchemaSteps[static_cast<size_t>(step)])
                sql_->plain(QString(statement).replace(QLatin1String("%ID%"), id));
        if (found.isEmpty())
            sql_->change(QStringLiteral("INSERT INTO kestrum_schema (version) VALUES (?)"), {SchemaVersion});
        else if (version != SchemaVersion)
            sql_->change(QStringLiteral("UPDATE kestrum_schema SET version = ?"), {SchemaVersion});
    });
}

RecordStore::~RecordStore() = default;

QString RecordStore::location() const
{
    return sql_->location();
}

void RecordStore::createSeries(const Series& s)
{
    sql_->transaction([&] {
        if (!sql_->rows(QStringLiteral("SELECT name FROM series WHERE name = ?"), {s.name}).isEmpty())
            throw StoreFault(StoreFault::Kind::SeriesExists, MsgSeriesExists, {s.name});
        sql_->change(QStringLiteral("INSERT INTO series (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?)").arg(SeriesColumns),
            {s.name, qint64 {s.address}, s.width, formatName(s.format), qint64(s.step), qint64(s.first), qint64(s.last),
                qint64(s.first)});
    });
}

Series RecordStore::series(const QString& name)
{
    const auto found = sql_->rows(QStringLiteral("SELECT %1 FROM series WHERE name = ?").arg(SeriesColumns), {name});
    if (found.isEmpty())
        throw StoreFault(StoreFault::Kind::UnknownSeries, MsgSeriesUnknown, {name});
    return seriesOf(found.front());
}

QList<Series> RecordStore::allSeries()
{
    QList<Series> out;
    for (const QVariantList& row : sql_->rows(QStringLiteral("SELECT %1 FROM series ORDER BY name").arg(SeriesColumns)))
        out << seriesOf(row);
    return out;
}

// A number taken is on the disk before its chip is written, so that not even a power loss hands it
// out again. Using it or giving it back and writing the record is lazily durable: a power loss may
// take back the last of these, and their numbers then show as reserved, never handed out by
// themselves.
TakenNumber RecordStore::take(const QString& name, const QString& station, const QString& holder)
{
    return sql_->transaction([&] {
        // A number given back goes to the next chip. PostgreSQL locks the row it takes and
        // passes over rows that another station is taking; SQLite's transaction holds the file.
        const QString lock = sql_->postgres() ? QStringLiteral(" FOR UPDATE SKIP LOCKED") : QString();
        const auto back
            = sql_->rows(QStringLiteral("SELECT serial FROM outstanding_numbers WHERE series = ? AND state = 'back' "
                                        "ORDER BY serial LIMIT 1")
                    + lock,
                {name});
        quint64 serial = 0;
        if (!back.isEmpty()) {
            serial = back.front().front().toULongLong();
            sql_->change(QStringLiteral("UPDATE outstanding_numbers SET state = 'taken', station = ?, holder = ?, "
                                        "taken_ms = ? WHERE series = ? AND serial = ?"),
                {station, holder, nowMs(), name, qint64(serial)});
        } else {
            // One statement reads and moves the counter under the row's lock.
            const auto fresh = sql_->rows(QStringLiteral("UPDATE series SET next_number = next_number + step "
                                                         "WHERE name = ? AND next_number <= last_number "
                                                         "RETURNING next_number - step"),
                {name});
            if (fresh.isEmpty()) {
                const Series s = series(name);
                throw StoreFault(StoreFault::Kind::RanOut, MsgSeriesRanOut, {name, numberText(s.format, s.last)});
            }
            serial = fresh.front().front().toULongLong();
            sql_->change(QStringLiteral("INSERT INTO outstanding_numbers (series, serial, state, station, holder, "
                                        "taken_ms) VALUES (?, ?, 'taken', ?, ?, ?)"),
                {name, qint64(serial), station, holder, nowMs()});
        }
        return TakenNumber {name, serial, series(name).bytes(serial)};
    });
}

void RecordStore::finish(const TakenNumber& number, const ChipRecord& record)
{
    sql_->transaction(
        [&] {
            if (record.passed)
                sql_->change(QStringLiteral("DELETE FROM outstanding_numbers WHERE series = ? AND serial = ?"),
                    {number.series, qint64(number.serial)});
            else
                sql_->change(
                    QStringLiteral("UPDATE outstanding_numbers SET state = 'back' WHERE series = ? AND serial = ?"),
                    {number.series, qint64(number.serial)});
            ChipRecord r = record;
            r.series = number.series;
            r.serial = number.serial;
            insert(r);
        },
        Durability::Lazy);
}

void RecordStore::write(const ChipRecord& record)
{
    sql_->transaction([&] { insert(record); }, Durability::Lazy);
}

void RecordStore::insert(const ChipRecord& r)
{
    sql_->change(
        QStringLiteral("INSERT INTO chip_records (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)").arg(RecordColumns),
        {(r.time.isValid() ? r.time : QDateTime::currentDateTimeUtc()).toMSecsSinceEpoch(), notNull(r.station),
            notNull(r.location), notNull(r.chipId), nullable(r.series),
            r.serial ? QVariant(qint64(*r.serial)) : QVariant(QMetaType(QMetaType::LongLong)), notNull(r.imageSha256),
            r.passed ? 1 : 0, r.seconds, notNull(r.reason)});
}

void RecordStore::write(const QList<ChipRecord>& records)
{
    sql_->transaction(
        [&] {
            for (const ChipRecord& r : records)
                insert(r);
        },
        Durability::Lazy);
}

QList<ReservedNumber> RecordStore::reserved(const QString& name)
{
    QList<ReservedNumber> out;
    for (const QVariantList& row : sql_->rows(QStringLiteral("SELECT serial, station, holder, taken_ms FROM "
                                                             "outstanding_numbers WHERE series = ? AND state = 'taken' "
                                                             "ORDER BY serial"),
             {name}))
        out << ReservedNumber {row[0].toULongLong(), row[1].toString(), row[2].toString(),
            QDateTime::fromMSecsSinceEpoch(row[3].toLongLong(), Qt::UTC)};
    return out;
}

int RecordStore::release(const QString& name, const QList<quint64>& numbers)
{
    return sql_->transaction([&] {
        (void)series(name);
        const QString sql = QStringLiteral("UPDATE outstanding_numbers SET state = 'back' WHERE series = ? AND "
                                           "state = 'taken'");
        if (numbers.isEmpty())
            return sql_->change(sql, {name});
        int released = 0;
        for (const quint64 n : numbers)
            released += sql_->change(sql + QStringLiteral(" AND serial = ?"), {name, qint64(n)});
        return released;
    });
}

QList<ChipRecord> RecordStore::records(const RecordQuery& q)
{
    QString sql = QStringLiteral("SELECT %1 FROM chip_records WHERE 1 = 1").arg(RecordColumns);
    QVariantList values;
    if (!q.series.isEmpty()) {
        sql += QStringLiteral(" AND series = ?");
        values << q.series;
    }
    if (q.serial) {
        sql += QStringLiteral(" AND serial = ?");
        values << qint64(*q.serial);
    }
    if (q.since.isValid()) {
        sql += QStringLiteral(" AND time_ms >= ?");
        values << q.since.toMSecsSinceEpoch();
    }
    sql += QStringLiteral(" ORDER BY time_ms, id");
    QList<ChipRecord> out;
    for (const QVariantList& row : sql_->rows(sql, values)) {
        ChipRecord r;
        r.time = QDateTime::fromMSecsSinceEpoch(row[0].toLongLong(), Qt::UTC);
        r.station = row[1].toString();
        r.location = row[2].toString();
        r.chipId = row[3].toString();
        r.series = row[4].toString();
        if (!row[5].isNull())
            r.serial = row[5].toULongLong();
        r.imageSha256 = row[6].toString();
        r.passed = row[7].toInt() != 0;
        r.seconds = row[8].toDouble();
        r.reason = row[9].toString();
        out << r;
    }
    return out;
}

QString defaultStoreLocation()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty())
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/kestrum/records.sqlite");
}

} // namespace kestrum::records
