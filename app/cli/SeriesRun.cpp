#include "app/cli/SeriesRun.h"

#include "app/cli/SeriesCommands.h"

#include "base/Reporter.h"
#include "buffer/DataBuffer.h"

#include <QCoreApplication>
#include <QSysInfo>
#include <QThread>

#include <cstring>

namespace kestrum::cli {

namespace {

constexpr int FinishAttempts = 5;
constexpr unsigned long FinishPauseMs = 1000;

} // namespace

QString seriesOptionsProblem(const Options& o)
{
    if (o.series.isEmpty())
        return o.store.isEmpty() || isStoreCommand(o.command) ? QString()
                                                              : QStringLiteral("--store goes with --series");
    if (o.command != QLatin1String("auto"))
        return QStringLiteral("--series runs auto only");
    if (!o.serial.isEmpty())
        return QStringLiteral("--series and --serial exclude each other");
    if (o.allProgrammers)
        return QStringLiteral("--series runs on one programmer; start one auto --series per programmer");
    return {};
}

std::unique_ptr<SeriesRun> SeriesRun::open(const Options& o, Reporter& reporter)
{
    try {
        return std::make_unique<SeriesRun>(o.store.isEmpty() ? records::defaultStoreLocation() : o.store, o.series);
    } catch (const records::StoreFault& fault) {
        reporter.showError(fault.text(reporter.language()));
        return nullptr;
    }
}

bool SeriesRun::fits(quint32 chipSize) const
{
    return quint64 {series_.address} + quint64(series_.bytes(series_.first).size()) <= chipSize;
}

bool SeriesRun::takeInto(DataBuffer& buffer, const QString& location, Reporter& reporter, QString& serialText)
{
    try {
        taken_ = take(location);
    } catch (const records::StoreFault& fault) {
        reporter.showError(fault.text(reporter.language()));
        return false;
    }
    std::memcpy(buffer.data() + series_.address, taken_->bytes.constData(), static_cast<size_t>(taken_->bytes.size()));
    buffer.usedLength = std::max(buffer.usedLength, static_cast<qint32>(series_.address + taken_->bytes.size()));
    serialText = records::numberText(series_.format, taken_->serial);
    return true;
}

bool SeriesRun::record(records::ChipRecord record, Reporter& reporter)
{
    try {
        finish(*taken_, std::move(record));
        return true;
    } catch (const records::StoreFault& fault) {
        reporter.showError(fault.text(reporter.language()));
        return false;
    }
}

SeriesRun::SeriesRun(const QString& store, const QString& series)
    : location_(store)
    , store_(std::make_unique<records::RecordStore>(store))
    , series_(store_->series(series))
    , station_(QSysInfo::machineHostName())
{
}

records::RecordStore& SeriesRun::store()
{
    if (!store_)
        store_ = std::make_unique<records::RecordStore>(location_);
    return *store_;
}

records::TakenNumber SeriesRun::take(const QString& location)
{
    return store().take(series_.name, station_,
        QStringLiteral("%1 (process %2)").arg(location).arg(QCoreApplication::applicationPid()));
}

void SeriesRun::finish(const records::TakenNumber& number, records::ChipRecord record)
{
    record.station = station_;
    for (int attempt = 1;; ++attempt) {
        try {
            store().finish(number, record);
            return;
        } catch (const records::StoreFault& fault) {
            if (attempt == FinishAttempts || fault.kind() == records::StoreFault::Kind::Refused)
                throw;
            if (fault.kind() == records::StoreFault::Kind::Unreachable)
                store_.reset();
            QThread::msleep(FinishPauseMs);
        }
    }
}

} // namespace kestrum::cli
