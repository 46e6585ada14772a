#include "app/WindowJobs.h"

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

WindowJobs::WindowJobs(TForm1& window, const Controls& controls)
    : m_window(window)
    , m_controls(controls)
{
}

namespace {

/// How often panel 4's rate and time left change: readable, not flickering.
constexpr qint64 RateRefreshMs = 250;

} // namespace

void WindowJobs::setClock(ProgressEstimate::Clock clock)
{
    m_estimate = ProgressEstimate(std::move(clock));
}

void WindowJobs::setPositionText(const QString& text)
{
    m_positionText = text;
    if (!m_locked)
        m_controls.statusBar->setPanelText(4, text);
}

void WindowJobs::showRunningJob()
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

void WindowJobs::setStatusText(const QString& text)
{
    m_controls.statusBar->setPanelText(1, text);
}

void WindowJobs::setControlsLocked(bool locked)
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
    m_controls.mainPanel->setEnabled(!locked);
    if (m_controls.stop)
        m_controls.stop->setEnabled(locked);
    if (!locked && m_locked && m_focus && m_focus->isEnabled())
        m_focus->setFocus(Qt::OtherFocusReason);
    if (!locked)
        m_focus = nullptr;
    m_locked = locked;
}

int WindowJobs::scaled(quint32 value) const
{
    return static_cast<int>(value >> m_shift);
}

void WindowJobs::showProgress(quint32 maximum, ProgressUnit unit)
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

void WindowJobs::setProgressPosition(quint32 position)
{
    m_controls.statusBar->progress()->setValue(scaled(std::min(position, m_maximum)));
    m_estimate.update(std::min(position, m_maximum));
    showRunningJob();
}

void WindowJobs::hideProgress()
{
    QProgressBar* bar = m_controls.statusBar->progress();
    bar->setValue(0);
    bar->hide();
    if (m_locked)
        m_controls.statusBar->setPanelText(4, QString());
}

void WindowJobs::processPendingEvents()
{
    showRunningJob();
    // What the window's events show meanwhile is not the command's: its boxes are not logged.
    const Reporter::ErrorLogging notTheCommands(m_window.reporter(), false);
    QCoreApplication::processEvents();
}

void WindowJobs::reloadView(quint32 count)
{
    m_window.reloadView(count);
}

const ChipRecord& WindowJobs::currentRecord() const
{
    return m_window.currentRecord();
}

int WindowJobs::speedIndex() const
{
    return m_window.speedByte();
}

bool WindowJobs::autoErase() const
{
    return m_controls.autoErase->isChecked();
}

bool WindowJobs::autoProgram() const
{
    return m_controls.autoProgram->isChecked();
}

bool WindowJobs::autoVerify() const
{
    return m_controls.autoVerify->isChecked();
}

void WindowJobs::takeViewEdits()
{
    m_window.takeViewEdits();
}

void WindowJobs::setElapsedText(const QString& text)
{
    m_finalTimeSet = true;
    m_controls.statusBar->setPanelText(3, text);
}

const ChipTable& WindowJobs::chipTable() const
{
    return m_window.chipTable();
}

const ChipSelection& WindowJobs::selection() const
{
    return m_window.selection();
}

int WindowJobs::selectByIndices(int t, int m, int n)
{
    return m_window.selectByIndices(t, m, n);
}

void WindowJobs::setSelectionIndices(int t, int m, int n)
{
    m_window.setSelectionIndices(t, m, n);
}

int WindowJobs::typeIndex() const
{
    return m_window.typeIndex();
}

int WindowJobs::makerIndex() const
{
    return m_window.makerIndex();
}

int WindowJobs::nameIndex() const
{
    return m_window.nameIndex();
}

} // namespace kestrum
