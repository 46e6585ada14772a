#pragma once

#include "chipdb/ChipRecord.h"
#include "chipdb/ChipSelection.h"
#include "ops/ChipOperations.h"
#include "ops/JobView.h"
#include "ops/ProgressEstimate.h"

#include <QElapsedTimer>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <functional>

namespace kestrum::cli {

/// Thrown between two blocks of a job once Ctrl+C was pressed: the job frame ends the job (end
/// command, link closed) on its way out, as it does for every error that escapes a routine.
struct JobStopped
{
};

/// Asks the running job to stop at its next block (the handler of SIGINT, SIGTERM and SIGHUP;
/// async-signal-safe); a whole-chip erase stops once the chip is done. The first signal counts.
void requestStop(int signal = SIGINT);
/// True once requestStop was called and until clearStop.
[[nodiscard]] bool stopRequested();
/// The exit status of a command that a signal ended: 128 + the signal (130 for Ctrl+C).
[[nodiscard]] int stoppedStatus();
void clearStop();

/// Called before every look at the socket while production mode waits for the next chip (tests
/// take the chip out and put the next one in here).
void setSocketPollHook(std::function<void()> hook);
void pollSocketHook();

/// The chip jobs without a window: the chip selection over the loaded table, the speed and the
/// auto options from the command line, and a progress line on standard error when it is a
/// terminal.
class CliJobs : public JobView, public OperationsHost
{
public:
    /// progress: where the progress line goes, or null for none (not a terminal, or --quiet).
    CliJobs(const ChipTable& table, std::FILE* progress);

    void setSpeedIndex(int index) { m_speed = index; }
    void setAutoOptions(bool erase, bool program, bool verify)
    {
        m_erase = erase;
        m_program = program;
        m_verify = verify;
    }
    [[nodiscard]] ChipSelection& chips() { return m_selection; }
    /// Production mode: Ctrl+C ends the run after the current chip, not in its middle.
    void setStopAfterChip(bool after) { m_stopAfterChip = after; }
    /// Asks the running routine to stop where it can (the chip routines' own stop request); used
    /// where a job must not be left in its middle, a whole-chip erase that the chip is running.
    std::function<void()> stopRoutine;
    [[nodiscard]] const QString& elapsedText() const { return m_elapsed; }

    // JobView
    void setStatusText(const QString& text) override { m_status = text; }
    void setControlsLocked(bool) override { }
    void showProgress(quint32 maximum, ProgressUnit unit) override;
    void setProgressPosition(quint32 position) override;
    void hideProgress() override;
    void processPendingEvents() override;
    void reloadView(quint32) override { }

    // OperationsHost
    const ChipRecord& currentRecord() const override { return m_selection.currentRecord(); }
    int speedIndex() const override { return m_speed; }
    bool autoErase() const override { return m_erase; }
    bool autoProgram() const override { return m_program; }
    bool autoVerify() const override { return m_verify; }
    void takeViewEdits() override { }
    void setElapsedText(const QString& text) override { m_elapsed = text; }
    const ChipTable& chipTable() const override { return m_table; }
    const ChipSelection& selection() const override { return m_selection; }
    int selectByIndices(int typeIndex, int makerIndex, int nameIndex) override;
    void setSelectionIndices(int typeIndex, int makerIndex, int nameIndex) override;
    int typeIndex() const override { return m_indices[0]; }
    int makerIndex() const override { return m_indices[1]; }
    int nameIndex() const override { return m_indices[2]; }

private:
    const ChipTable& m_table;
    ChipSelection m_selection;
    std::FILE* m_progress;
    QString m_status;
    QString m_elapsed;
    int m_speed = 0;
    bool m_erase = true;
    bool m_program = true;
    bool m_verify = true;
    int m_indices[3] = {0, 0, 0};
    quint32 m_maximum = 0;
    bool m_showing = false;
    bool m_stopAfterChip = false;
    ProgressUnit m_unit = ProgressUnit::Bytes;
    ProgressEstimate m_estimate;
    qint64 m_lastDraw = -1;
};

/// Progress text: the status, a bar, the percentage, then the rate and the time left when known.
QString progressLine(const QString& status, quint32 position, quint32 maximum,
    const std::optional<ProgressEstimate::Estimate>& estimate);

} // namespace kestrum::cli
