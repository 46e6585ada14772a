#pragma once

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

namespace kestrum::records {

/// When a transaction's commit returns.
enum class Durability {
    OnDisk, ///< once the commit is on the disk: it survives a power loss
    /// once the commit is in the store: it survives the end of any process, and reaches the disk
    /// with the next OnDisk commit or within a moment (a power loss may take it back)
    Lazy,
};

/// One connection to a SQLite file or a PostgreSQL database: statements with positional values,
/// transactions that take the write lock at their start, and every failure turned into a
/// StoreFault with the driver's reason.
class StoreSql
{
public:
    explicit StoreSql(const QString& location);
    ~StoreSql();

    [[nodiscard]] bool postgres() const { return postgres_; }
    /// The location as messages show it: without a password.
    [[nodiscard]] const QString& location() const { return location_; }

    /// Runs `sql` with `values` and returns every row it gives.
    QList<QVariantList> rows(const QString& sql, const QVariantList& values = {});
    /// Runs `sql` with `values` and returns the rows it changed.
    int change(const QString& sql, const QVariantList& values = {});

    /// Runs a statement that takes no values and is not prepared (schema, transactions, settings).
    void plain(const QString& sql);

    /// Runs `work` as one transaction: committed when it returns, rolled back when it throws.
    template <typename Work> auto transaction(Work&& work, Durability durability = Durability::OnDisk)
    {
        begin(durability);
        try {
            if constexpr (std::is_void_v<decltype(work())>) {
                work();
                commit();
            } else {
                auto result = work();
                commit();
                return result;
            }
        } catch (...) {
            rollback();
            throw;
        }
    }

private:
    QSqlQuery& run(const QString& sql, const QVariantList& values);
    void begin(Durability durability);
    void commit();
    void rollback();
    [[noreturn]] void fail(const QSqlError& error) const;

    QString location_;
    QString connection_;
    bool postgres_ = false;
    Durability sqliteSync_ = Durability::OnDisk;
    QSqlDatabase db_;
    QHash<QString, QSqlQuery> prepared_;
};

} // namespace kestrum::records
