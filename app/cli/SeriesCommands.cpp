#include "app/cli/SeriesCommands.h"

#include "app/cli/Convert.h"
#include "base/IntegerText.h"
#include "base/Messages.h"
#include "buffer/DataBuffer.h"
#include "records/RecordStore.h"

#include <QHash>

#include <optional>

namespace kestrum::cli {

using records::ChipRecord;
using records::RecordStore;
using records::Series;
using records::StoreFault;

namespace {

const char* const StoreUsage
    = "usage:\n"
      "  kestrum-cli series create NAME --serial ADDR:START[:STEP][:WIDTH][:le|be|ascii|hex|mac] [--last N]\n"
      "      a series of serial numbers: written at ADDR, WIDTH (4; mac: 6) bytes, from START on,\n"
      "      STEP (1) apart, up to N (default: the largest number WIDTH holds); mac writes a MAC\n"
      "      address as 6 bytes, most significant first\n"
      "  kestrum-cli series list\n"
      "      every series: the next number, the numbers left and the numbers reserved\n"
      "  kestrum-cli series show NAME\n"
      "      one series and its reserved numbers (taken by a chip in hand or a station that died)\n"
      "  kestrum-cli series release NAME [SERIAL...]\n"
      "      gives the reserved numbers named (default: all of the series) back, so that the\n"
      "      next chips take them; release only the numbers of stations that no longer run\n"
      "  kestrum-cli records [--series NAME] [--serial N] [--since TIME] [--csv]\n"
      "      the record of every chip: time, station, programmer, chip ID, series, serial,\n"
      "      result, seconds, reason, SHA-256 of the image; TIME as 2026-01-31 or\n"
      "      2026-01-31T08:00 (local time); --csv prints comma-separated values\n"
      "options:\n"
      "  --store LOCATION     a SQLite file, or postgresql://[USER[:PASSWORD]@]HOST[:PORT]/DATABASE\n"
      "                       (a ?host=FOLDER picks a Unix socket's folder) for a store shared by\n"
      "                       several stations; default: records.sqlite in the user's data\n"
      "                       folder (~/.local/share/kestrum/)\n"
      "exit status: 0 success; 2 usage; 7 the record store failed or refused\n";

struct StoreOptions
{
    QString store = records::defaultStoreLocation();
    QStringList operands;
    QString serial;
    QString series;
    QString since;
    std::optional<quint64> last;
    std::optional<quint64> number;
    bool csv = false;
};

/// A number: decimal, hexadecimal after 0x, or a MAC address as 00:11:22:33:44:55.
std::optional<quint64> numberOf(const QString& text)
{
    const QStringList octets = text.split(QLatin1Char(':'));
    if (octets.size() == 6) {
        quint64 mac = 0;
        for (const QString& octet : octets) {
            const auto byte = readInteger(octet, IntegerNotation::hexDigits()).value;
            if (octet.size() != 2 || !byte)
                return std::nullopt;
            mac = (mac << 8) | static_cast<quint64>(*byte);
        }
        return mac;
    }
    IntegerNotation n;
    n.zeroXHex = true;
    n.range = IntegerRange::Wrap64;
    const auto value = readInteger(text, n).value;
    if (!value || *value < 0 || text.size() > 19)
        return std::nullopt;
    return static_cast<quint64>(*value);
}

int usage(QTextStream& err, const QString& problem)
{
    err << "kestrum-cli: " << problem << '\n';
    printStoreUsage(err);
    err.flush();
    return ExitUsage;
}

class StoreCommand
{
public:
    StoreCommand(const StoreOptions& o, int language, QTextStream& out)
        : o_(o)
        , language_(language)
        , out_(out)
    {
    }

    int create()
    {
        if (o_.operands.size() != 2 || o_.serial.isEmpty())
            return ExitUsage;
        const auto s = records::parseSeries(o_.operands[1], o_.serial, o_.last, BufferCapacity);
        if (!s)
            return ExitUsage;
        store().createSeries(*s);
        out_ << text(MsgSeriesCreated)
                    .arg(s->name, numberText(*s, s->first), numberText(*s, s->last), QString::number(s->numbersLeft()))
             << '\n';
        return ExitOk;
    }

    int list()
    {
        const QList<Series> all
            = o_.operands.size() == 2 ? QList<Series> {store().series(o_.operands[1])} : store().allSeries();
        if (all.isEmpty())
            out_ << text(MsgSeriesNone) << '\n';
        for (const Series& s : all) {
            const auto reserved = store().reserved(s.name);
            out_ << text(MsgSeriesLine)
                        .arg(s.name, QStringLiteral("0x%1").arg(s.address, 0, 16), QString::number(s.width),
                            records::formatName(s.format), QString::number(s.step),
                            s.next > s.last ? QStringLiteral("-") : numberText(s, s.next),
                            QString::number(s.numbersLeft()), numberText(s, s.last), QString::number(reserved.size()))
                 << '\n';
            if (o_.operands.size() == 2)
                for (const records::ReservedNumber& r : reserved)
                    out_ << text(MsgSeriesReservedLine)
                                .arg(numberText(s, r.serial), r.station, r.holder,
                                    r.taken.toLocalTime().toString(Qt::ISODate))
                         << '\n';
        }
        return ExitOk;
    }

    int release()
    {
        if (o_.operands.size() < 2)
            return ExitUsage;
        QList<quint64> numbers;
        for (qsizetype i = 2; i < o_.operands.size(); ++i) {
            const auto n = numberOf(o_.operands[i]);
            if (!n)
                return ExitUsage;
            numbers << *n;
        }
        const int released = store().release(o_.operands[1], numbers);
        out_ << text(MsgSeriesReleased).arg(released).arg(o_.operands[1]) << '\n';
        return ExitOk;
    }

    int records()
    {
        records::RecordQuery query {o_.series, o_.number, {}};
        if (!o_.since.isEmpty()) {
            query.since = QDateTime::fromString(o_.since, Qt::ISODate);
            if (!query.since.isValid())
                return ExitUsage;
        }
        QHash<QString, Series> series;
        for (const Series& s : store().allSeries())
            series.insert(s.name, s);
        const QList<ChipRecord> found = store().records(query);
        if (o_.csv)
            out_ << "time,station,location,chip_id,series,serial,result,seconds,reason,image_sha256\n";
        else if (found.isEmpty())
            out_ << text(MsgRecordsNone) << '\n';
        for (const ChipRecord& r : found) {
            const QString serial = !r.serial ? QString()
                : series.contains(r.series)  ? numberText(series.value(r.series), *r.serial)
                                             : QString::number(*r.serial);
            const QStringList fields {o_.csv ? r.time.toUTC().toString(Qt::ISODateWithMs)
                                             : r.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                r.station, r.location, r.chipId, r.series, serial,
                o_.csv ? QString::fromLatin1(r.passed ? "pass" : "fail") : text(r.passed ? MsgGangPass : MsgGangFail),
                QString::number(r.seconds, 'f', 1), r.reason, r.imageSha256};
            out_ << (o_.csv ? csvLine(fields) : fields.join(QStringLiteral("  "))) << '\n';
        }
        return ExitOk;
    }

private:
    QString text(MessageKey key) const { return messageText(key, language_); }

    static QString numberText(const Series& s, quint64 value) { return records::numberText(s.format, value); }

    static QString csvLine(const QStringList& fields)
    {
        QStringList quoted;
        for (QString f : fields) {
            if (f.contains(QLatin1Char(',')) || f.contains(QLatin1Char('"')) || f.contains(QLatin1Char('\n')))
                f = QLatin1Char('"') + f.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
            quoted << f;
        }
        return quoted.join(QLatin1Char(','));
    }

    /// The store, opened at the first use: a command with malformed arguments never creates it.
    RecordStore& store()
    {
        if (!store_)
            store_.emplace(o_.store);
        return *store_;
    }

    const StoreOptions& o_;
    int language_;
    QTextStream& out_;
    std::optional<RecordStore> store_;
};

} // namespace

bool isStoreCommand(const QString& command)
{
    return command == QLatin1String("series") || command == QLatin1String("records");
}

void printStoreUsage(QTextStream& out)
{
    out << StoreUsage;
    out.flush();
}

int runStoreCommand(const QStringList& arguments, int language, QTextStream& out, QTextStream& err)
{
    StoreOptions o;
    const bool seriesCommand = arguments.value(0) == QLatin1String("series");
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        auto takesValue = [&](QString& into) {
            if (i + 1 >= arguments.size())
                return false;
            into = arguments[++i];
            return true;
        };
        QString text;
        if (a == QLatin1String("--store")) {
            if (!takesValue(o.store))
                return usage(err, QStringLiteral("--store needs a file or a postgresql:// address"));
        } else if (a == QLatin1String("--serial")) {
            if (!takesValue(text))
                return usage(err, QStringLiteral("--serial needs a value"));
            if (seriesCommand)
                o.serial = text;
            else if (!(o.number = numberOf(text)))
                return usage(err, QStringLiteral("--serial needs a number"));
        } else if (a == QLatin1String("--last") && seriesCommand) {
            if (!takesValue(text) || !(o.last = numberOf(text)))
                return usage(err, QStringLiteral("--last needs a number"));
        } else if (a == QLatin1String("--series") && !seriesCommand) {
            if (!takesValue(o.series))
                return usage(err, QStringLiteral("--series needs a name"));
        } else if (a == QLatin1String("--since") && !seriesCommand) {
            if (!takesValue(o.since))
                return usage(err, QStringLiteral("--since needs a time"));
        } else if (a == QLatin1String("--csv") && !seriesCommand) {
            o.csv = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return usage(err, QStringLiteral("unknown option %1").arg(a));
        } else {
            o.operands << a;
        }
    }
    const QString sub = o.operands.value(0);
    if (seriesCommand
        && !(sub == QLatin1String("create") || sub == QLatin1String("list") || sub == QLatin1String("show")
            || sub == QLatin1String("release")))
        return usage(err, QStringLiteral("series takes create, list, show or release"));
    if ((sub == QLatin1String("show") && o.operands.size() != 2)
        || (sub == QLatin1String("list") && o.operands.size() != 1) || (!seriesCommand && !o.operands.isEmpty()))
        return usage(err, QStringLiteral("unexpected or missing arguments"));
    try {
        StoreCommand command(o, language, out);
        const int status = !seriesCommand     ? command.records()
            : sub == QLatin1String("create")  ? command.create()
            : sub == QLatin1String("release") ? command.release()
                                              : command.list();
        out.flush();
        if (status == ExitUsage)
            return usage(err,
                seriesCommand && sub == QLatin1String("create")
                    ? QStringLiteral("series create NAME --serial ADDR:START...: the serial text is malformed, "
                                     "its width does not hold its last number, or it ends past the buffer")
                    : QStringLiteral("malformed number or time"));
        return status;
    } catch (const StoreFault& fault) {
        out.flush();
        err << "kestrum-cli: " << fault.text(language) << '\n';
        err.flush();
        return ExitStore;
    }
}

} // namespace kestrum::cli
