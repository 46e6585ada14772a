#include "app/MainWindowJobView.h"

#include "app/MainWindow.h"
#include "app/StatusBar.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QProgressBar>
#include <QWidget>

#include <algorithm>
#include <limits>

namespace kestrum {

MainWindowJobView::MainWindowJobView(MainWindow& window, const Controls& controls)
    : m_window(window)
    , m_controls(controls)
{
}

namespace {

/// How often panel 4's rate and time left change: readable, not flickering.
constexpr qint64 RateRefreshMs = 250;

} // namespace

void MainWindowJobView::setClock(ProgressEstimate::Clock clock)
{
    m_estimate = ProgressEstimate(std::move(clock));
}

void MainWindowJobView::setPositionText(const QString& text)
{
    m_positionText = text;
    if (!m_locked)
        m_controls.statusBar->setPanelText(4, text);
}

void MainWindowJobView::showRunningJob()
{
    if (!m_locked)
        return;
    const qint64 now = m_estimate.now();
    const qint64 seconds = (now - m_lockedAt) / 1000;
    if (seconds >= 1 && seconds != m_secondShown) {
        m_secondShown = seconds;
        m_controls.statusBar->setPanelText(3, formatElapsed(now - m_lockedAt));
    }
    const bool streaming = !m_controls.statusBar->progress()->isHidden();
    if (streaming && m_unit == ProgressUnit::Bytes && (m_rateShownAt < 0 || now - m_rateShownAt >= RateRefreshMs)) {
        const auto estimate = m_estimate.estimate();
        m_controls.statusBar->setPanelText(4, estimate ? progressText(m_window.reporter(), *estimate) : QString());
        if (estimate)
            m_rateShownAt = now;
    }
}

void MainWindowJobView::setStatusText(const QString& text)
{
    m_controls.statusBar->setPanelText(1, text);
}

void MainWindowJobView::lockPanel(bool locked)
{
    if (!m_controls.log) {
        m_controls.mainPanel->setEnabled(!locked);
        return;
    }
    // Everything beside the log's way up to the panel is locked; the log itself takes no input.
    for (QWidget* inner = m_controls.log; inner != m_controls.mainPanel; inner = inner->parentWidget()) {
        for (QWidget* beside : inner->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (beside != inner)
                beside->setEnabled(!locked);
        }
    }
}

void MainWindowJobView::setControlsLocked(bool locked)
{
    // The window's focus widget is the one that has the focus, or gets it when the window is
    // activated again.
    if (locked && !m_locked) {
        m_focus = m_window.focusWidget();
        m_lockedAt = m_estimate.now();
        m_secondShown = 0;
        m_finalTimeSet = false;
        m_elapsedBefore = m_controls.statusBar->panelText(3);
        m_controls.statusBar->setPanelText(4, QString());
    }
    if (!locked && m_locked) {
        if (m_secondShown != 0 && !m_finalTimeSet)
            m_controls.statusBar->setPanelText(3, m_elapsedBefore);
        m_controls.statusBar->setPanelText(4, m_positionText);
    }
    m_controls.toolBar->setEnabled(!locked);
    lockPanel(locked);
    if (m_controls.stop)
        m_controls.stop->setEnabled(locked);
    if (!locked && m_locked && m_focus && m_focus->isEnabled())
        m_focus->setFocus(Qt::OtherFocusReason);
    if (!locked)
        m_focus = nullptr;
    m_locked = locked;
}

int MainWindowJobView::scaled(quint32 value) const
{
    return static_cast<int>(value >> m_shift);
}

void MainWindowJobView::showProgress(quint32 maximum, ProgressUnit unit)
{
    m_unit = unit;
    // The polls of a whole-chip erase count towards a limit, not towards an end: no percentage.
    m_controls.statusBar->progress()->setTextVisible(unit == ProgressUnit::Bytes);
    m_rateShownAt = -1;
    m_estimate.start(maximum);
    m_maximum = maximum;
    m_shift = 0;
    while ((maximum >> m_shift) > static_cast<quint32>(std::numeric_limits<int>::max()))
        ++m_shift;
    QProgressBar* bar = m_controls.statusBar->progress();
    bar->setRange(0, scaled(maximum));
    bar->setValue(0);
    bar->show();
}

void MainWindowJobView::setProgressPosition(quint32 position)
{
    m_controls.statusBar->progress()->setValue(scaled(std::min(position, m_maximum)));
    m_estimate.update(std::min(position, m_maximum));
    showRunningJob();
}

void MainWindowJobView::hideProgress()
{
    QProgressBar* bar = m_controls.statusBar->progress();
    bar->setValue(0);
    bar->hide();
    if (m_locked)
        m_controls.statusBar->setPanelText(4, QString());
}

void MainWindowJobView::processPendingEvents()
{
    showRunningJob();
    // What the window's events show meanwhile is not the command's: its boxes are not logged.
    const Reporter::ErrorLogging notTheCommands(m_window.reporter(), false);
    QCoreApplication::processEvents();
}

void MainWindowJobView::reloadView(quint32 count)
{
    m_window.reloadView(count);
}

const ChipRecord& MainWindowJobView::currentRecord() const
{
    return m_window.currentRecord();
}

int MainWindowJobView::speedIndex() const
{
    return m_window.speedByte();
}

bool MainWindowJobView::autoErase() const
{
    return m_controls.autoErase->isChecked();
}

bool MainWindowJobView::autoProgram() const
{
    return m_controls.autoProgram->isChecked();
}

bool MainWindowJobView::autoVerify() const
{
    return m_controls.autoVerify->isChecked();
}

void MainWindowJobView::takeViewEdits()
{
    // An image that outgrew the chip reaches the routines whole: Write asks about it.
    m_window.takeWholeViewEdits();
}

void MainWindowJobView::setElapsedText(const QString& text)
{
    m_finalTimeSet = true;
    m_controls.statusBar->setPanelText(3, text);
}

const ChipTable& MainWindowJobView::chipTable() const
{
    return m_window.chipTable();
}

const ChipSelection& MainWindowJobView::selection() const
{
    return m_window.selection();
}

int MainWindowJobView::selectByIndices(int t, int m, int n)
{
    return m_window.selectByIndices(t, m, n);
}

void MainWindowJobView::setSelectionIndices(int t, int m, int n)
{
    m_window.setSelectionIndices(t, m, n);
}

int MainWindowJobView::typeIndex() const
{
    return m_window.typeIndex();
}

int MainWindowJobView::makerIndex() const
{
    return m_window.makerIndex();
}

int MainWindowJobView::nameIndex() const
{
    return m_window.nameIndex();
}

} // namespace kestrum
