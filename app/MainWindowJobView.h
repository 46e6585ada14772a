#pragma once

#include "ops/ChipOperations.h"
#include "ops/JobView.h"
#include "ops/ProgressEstimate.h"

#include <QPointer>

class QAction;
class QCheckBox;
class QWidget;

namespace kestrum {

class MainWindow;
class StatusBar;

/// The main window as the chip jobs see it: status panel 1, the lock of the tool bar and the main
/// panel, the progress bar, the event loop and the hex view; the selected chip, the speed, the
/// auto options and the selection lists.
class MainWindowJobView : public JobView, public OperationsHost
{
public:
    /// The controls a chip job shows itself in and reads its options from; the window hands them
    /// over when it builds the jobs.
    struct Controls
    {
        StatusBar* statusBar = nullptr;
        /// Locked while a job runs: the tool bar and the main panel but its log (everything but the menu).
        QWidget* toolBar = nullptr;
        QWidget* mainPanel = nullptr;
        /// Stays readable (scrolling, selecting) while the rest of the main panel is locked.
        QWidget* log = nullptr;
        QCheckBox* autoErase = nullptr;
        QCheckBox* autoProgram = nullptr;
        QCheckBox* autoVerify = nullptr;
        /// Stop: enabled only while a job holds the programmer.
        QAction* stop = nullptr;
    };

    MainWindowJobView(MainWindow& window, const Controls& controls);

    /// The clock of the rate, the time left and the running time (tests drive their own).
    void setClock(ProgressEstimate::Clock clock);
    /// The hex view's cursor information: status panel 4 shows it except while a job runs, when
    /// the panel shows the rate and the time left of the stream.
    void setPositionText(const QString& text);

    // JobView
    void setStatusText(const QString& text) override;
    /// Locking takes the keyboard focus from the control that had it (disabled controls keep no
    /// focus); unlocking gives it back, so typing goes on where it was before the job. Stop is
    /// enabled exactly while the controls are locked.
    void setControlsLocked(bool locked) override;
    /// The bar shows its percentage; a stream of bytes also shows its rate and time left.
    void showProgress(quint32 maximum, ProgressUnit unit) override;
    void setProgressPosition(quint32 position) override;
    void hideProgress() override;
    void processPendingEvents() override;
    void reloadView(quint32 count) override;

    // OperationsHost
    const ChipRecord& currentRecord() const override;
    int speedIndex() const override;
    bool autoErase() const override;
    bool autoProgram() const override;
    bool autoVerify() const override;
    void takeViewEdits() override;
    /// The final running time of a job. Meanwhile panel 3 counts the seconds since the controls
    /// were locked; a job that ends without a final time gets back the panel's text from before.
    void setElapsedText(const QString& text) override;
    const ChipTable& chipTable() const override;
    const ChipSelection& selection() const override;
    int selectByIndices(int typeIndex, int makerIndex, int nameIndex) override;
    void setSelectionIndices(int typeIndex, int makerIndex, int nameIndex) override;
    int typeIndex() const override;
    int makerIndex() const override;
    int nameIndex() const override;

private:
    /// Locks the main panel but the log, or unlocks it.
    void lockPanel(bool locked);
    /// The bar counts in ints; a range above INT_MAX (a blank check or an EEPROM erase of a record
    /// that claims gigabytes) is shifted down until it fits.
    int scaled(quint32 value) const;
    /// The running time in panel 3 and the rate in panel 4, each at most as often as it changes.
    void showRunningJob();

    MainWindow& m_window;
    Controls m_controls;
    quint32 m_maximum = 0;
    int m_shift = 0;
    bool m_locked = false;
    /// The control that had the keyboard focus when the controls were locked.
    QPointer<QWidget> m_focus;
    ProgressEstimate m_estimate;
    ProgressUnit m_unit = ProgressUnit::Bytes;
    QString m_positionText;
    qint64 m_lockedAt = 0;
    qint64 m_secondShown = 0; ///< the whole seconds panel 3 shows, 0 while it shows the old text
    QString m_elapsedBefore;
    bool m_finalTimeSet = false;
    qint64 m_rateShownAt = -1;
};

} // namespace kestrum
