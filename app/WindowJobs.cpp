#include "app/WindowJobs.h"

#include "app/MainWindow.h"
#include "app/StatusBar.h"

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

void WindowJobs::setStatusText(const QString& text)
{
    m_controls.statusBar->setPanelText(1, text);
}

void WindowJobs::setControlsLocked(bool locked)
{
    // The window's focus widget is the one that has the focus, or gets it when the window is
    // activated again.
    if (locked && !m_locked)
        m_focus = m_window.focusWidget();
    m_controls.toolBar->setEnabled(!locked);
    m_controls.mainPanel->setEnabled(!locked);
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

void WindowJobs::showProgress(quint32 maximum)
{
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
}

void WindowJobs::hideProgress()
{
    QProgressBar* bar = m_controls.statusBar->progress();
    bar->setValue(0);
    bar->hide();
}

void WindowJobs::processPendingEvents()
{
    QCoreApplication::processEvents();
}

void WindowJobs::RefreshView(quint32 count)
{
    m_window.RefreshView(count);
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

void WindowJobs::TakeViewEdits()
{
    m_window.TakeViewEdits();
}

void WindowJobs::setElapsedText(const QString& text)
{
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

int WindowJobs::FillChipSelection(int t, int m, int n)
{
    return m_window.FillChipSelection(t, m, n);
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
