#pragma once

#include "chipdb/ChipRecord.h"
#include "chipdb/ChipSelection.h"
#include "jobs/StopToken.h"
#include "ops/ChipOperations.h"
#include "ops/JobView.h"
#include "ops/ProgressEstimate.h"

#include <optional>

namespace kestrum {

class ChipProgrammer;

/// The chip jobs without a window: the chip selection over the loaded table, the speed and the
/// auto options of the run, and a stop token that the job looks at after every block. Once the
/// token is set, the chip routines are asked to stop (a whole-chip erase ends once the chip is
/// done); with stopAfterChip the running chip is finished first. The progress is told, at most
/// every tenth of a second and at its end, to progressMoved.
class HeadlessHost : public JobView, public OperationsHost
{
public:
    HeadlessHost(const ChipTable& table, const StopToken& stop);

    void setSpeedIndex(int index) { m_speed = index; }
    void setAutoOptions(bool erase, bool program, bool verify)
    {
        m_erase = erase;
        m_program = program;
        m_verify = verify;
    }
    [[nodiscard]] ChipSelection& chips() { return m_selection; }
    /// The routines that a stop request reaches.
    void setProgrammer(ChipProgrammer* programmer) { m_programmer = programmer; }
    /// Production runs end after the current chip, not in its middle.
    void setStopAfterChip(bool after) { m_stopAfterChip = after; }
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

protected:
    /// The progress moved: the status text, position of maximum, and the rate and time left of a
    /// stream of bytes once known.
    virtual void progressMoved(const QString& status, quint32 position, quint32 maximum,
        const std::optional<ProgressEstimate::Estimate>& estimate)
    {
        (void)status, (void)position, (void)maximum, (void)estimate;
    }
    /// The progress was hidden after having been told at least once.
    virtual void progressHidden() { }

private:
    const ChipTable& m_table;
    const StopToken& m_stop;
    ChipSelection m_selection;
    ChipProgrammer* m_programmer = nullptr;
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
    qint64 m_lastTold = -1;
};

} // namespace kestrum
