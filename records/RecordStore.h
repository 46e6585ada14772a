#pragma once

#include "records/Series.h"

#include "base/Messages.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <exception>
#include <memory>
#include <optional>

namespace kestrum::records {

class StoreSql;

/// A store that cannot do what was asked: the reason, in the message table's words.
class StoreFault : public std::exception
{
public:
    enum class Kind {
        Unreachable, ///< no connection, no driver, a file that cannot be opened
        Locked, ///< another process held the store past the wait
        Refused, ///< the store refused a read or a write
        UnknownSeries,
        SeriesExists,
        RanOut, ///< the series handed out its last number
    };
    StoreFault(Kind kind, MessageKey key, QStringList arguments);
    /// A fault whose last argument is a reason of the message table.
    StoreFault(Kind kind, MessageKey key, QStringList arguments, MessageKey reason, QStringList reasonArguments);
    [[nodiscard]] Kind kind() const { return kind_; }
    [[nodiscard]] QString text(int language) const;
    [[nodiscard]] const char* what() const noexcept override { return english_.constData(); }

private:
    Kind kind_;
    MessageKey key_;
    QStringList arguments_;
    MessageKey reason_ = MessageCount;
    QStringList reasonArguments_;
    QByteArray english_;
};

/// A number handed to one chip: given back when the chip fails, used when it passes.
struct TakenNumber
{
    QString series;
    quint64 serial = 0;
    QByteArray bytes; ///< what the series writes for it
};

/// A number taken and neither used nor given back: the chip is in hand, or its station died.
struct ReservedNumber
{
    quint64 serial = 0;
    QString station;
    QString holder;
    QDateTime taken;
};

/// What the store keeps of every chip a production run handled.
struct ChipRecord
{
    QDateTime time;
    QString station; ///< the host name
    QString location; ///< the programmer's location
    QString chipId;
    QString series; ///< empty without a series
    std::optional<quint64> serial;
    QString imageSha256;
    bool passed = false;
    double seconds = 0;
    QString reason; ///< why the chip failed
};

struct RecordQuery
{
    QString series;
    std::optional<quint64> serial;
    QDateTime since;
};

/// The production record store: serial series and a record per chip, in one SQLite file or a
/// PostgreSQL database shared by several stations. The program creates and migrates the schema;
/// every change is one transaction, and taking a number is atomic across processes and stations.
/// Every call throws StoreFault when the store cannot do it. One store serves one thread.
class RecordStore
{
public:
    /// Opens `location` (a file, or postgresql://[user[:password]@][host][:port]/database with
    /// an optional ?host=SOCKET-FOLDER) and brings its schema up to date.
    explicit RecordStore(const QString& location);
    ~RecordStore();
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    [[nodiscard]] QString location() const;

    void createSeries(const Series& series);
    [[nodiscard]] Series series(const QString& name);
    [[nodiscard]] QList<Series> allSeries();

    /// Hands a number of the series to one chip: a number given back first, else the next new
    /// one. `holder` names the taker (its programmer location and process).
    TakenNumber take(const QString& series, const QString& station, const QString& holder);
    /// Writes the chip's record; in the same transaction its number is used (the chip passed) or
    /// given back for the next chip (it failed).
    void finish(const TakenNumber& number, const ChipRecord& record);
    /// Writes the record of a chip without a series number.
    void write(const ChipRecord& record);
    /// Writes records kept while the store could not be reached, all in one transaction.
    void write(const QList<ChipRecord>& records);

    [[nodiscard]] QList<ReservedNumber> reserved(const QString& series);
    /// Gives reserved numbers back so that the next chips take them: the numbers named, or every
    /// reserved number of the series. Returns how many were released.
    int release(const QString& series, const QList<quint64>& numbers = {});

    [[nodiscard]] QList<ChipRecord> records(const RecordQuery& query);

private:
    void insert(const ChipRecord& record);

    std::unique_ptr<StoreSql> sql_;
};

/// The station's store when none is chosen: records.sqlite in $XDG_DATA_HOME/kestrum/ (default
/// ~/.local/share/kestrum/).
QString defaultStoreLocation();

} // namespace kestrum::records
