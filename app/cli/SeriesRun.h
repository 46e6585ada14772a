#pragma once

// A production run's serial numbers from a series of the record store (auto --series).

#include "app/cli/CliOptions.h"
#include "records/RecordStore.h"

#include <QString>

#include <memory>

namespace kestrum {
class DataBuffer;
class Reporter;
} // namespace kestrum

namespace kestrum::cli {

/// What is wrong with --series and --store among the options; empty when nothing.
QString seriesOptionsProblem(const Options& o);

/// Takes each chip's number from the store and writes each chip's record. Every call throws
/// records::StoreFault when the store cannot do it; the run then stops before the next chip.
class SeriesRun
{
public:
    SeriesRun(const QString& store, const QString& series);

    [[nodiscard]] const records::Series& series() const { return series_; }

    /// The next chip's number, taken for the programmer at `location`.
    records::TakenNumber take(const QString& location);
    /// Records the chip whose number `number` is: used when it passed, given back when it failed.
    /// A store that fails is tried again for a few seconds; when it stays away the number stays
    /// reserved, never handed out again by itself.
    void finish(const records::TakenNumber& number, records::ChipRecord record);

    /// Opens the series of --series in the store of --store; none, with the fault shown, when the
    /// store cannot.
    static std::unique_ptr<SeriesRun> open(const Options& o, Reporter& reporter);
    /// Whether the series' numbers fit a chip of that size.
    [[nodiscard]] bool fits(quint32 chipSize) const;
    /// Takes the next chip's number and writes it into the image; false, with the fault shown,
    /// when the store cannot hand one out.
    bool takeInto(DataBuffer& buffer, const QString& location, Reporter& reporter, QString& serialText);
    /// Records the chip whose number the last takeInto took; false, with the fault shown, when the
    /// store cannot.
    bool record(records::ChipRecord record, Reporter& reporter);

private:
    records::RecordStore& store();

    QString location_;
    std::unique_ptr<records::RecordStore> store_; ///< none after a lost connection, until opened again
    records::Series series_;
    QString station_;
    std::optional<records::TakenNumber> taken_;
};

} // namespace kestrum::cli
