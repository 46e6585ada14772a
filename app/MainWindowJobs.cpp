// The main window while a chip job runs: the Stop command and closing the window.

#include "app/MainWindow.h"
#include "app/WindowJobs.h"
#include "base/Settings.h"
#include "ops/ChipOperations.h"

#include <QAction>
#include <QCloseEvent>
#include <QIcon>
#include <QToolBar>
#include <QWidget>

namespace kestrum {

void TForm1::buildStopBar()
{
    // ToolBar1 is disabled while a job runs; Stop lives beside it in a bar of its own and is
    // enabled exactly then.
    ToolBarStop = addFixedToolBar(QStringLiteral("ToolBarStop"));
    ToolStop = new QAction(QIcon(QStringLiteral(":/icons/stop.svg")), QStringLiteral("Stop"), this);
    ToolStop->setObjectName(QStringLiteral("ToolStop"));
    ToolStop->setShortcut(QKeySequence(Qt::Key_Escape));
    ToolStop->setShortcutContext(Qt::WindowShortcut);
    ToolStop->setEnabled(false);
    addToolButton(ToolBarStop, ToolStop, QStringLiteral("ToolStopButton"));
    // Esc works whatever the tool bars show, and the Stop bar cannot be hidden.
    addAction(ToolStop);
    ToolBarStop->toggleViewAction()->setVisible(false);
    // Not through the busy guard: Stop is for the time a job holds the programmer.
    connect(ToolStop, &QAction::triggered, this, [this] { m_operations->stop(); });
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // A chip job in progress is stopped first when the user agrees (end command, link closed);
    // the window closes right after it.
    if (m_operations->holdsProgrammer()) {
        event->ignore();
        if (m_closeRequested || m_reporter.ui().askYesNo(m_reporter.message(MsgStopJobQuestion))) {
            m_closeRequested = true;
            m_operations->stop();
        }
        return;
    }
    // A close asked for during a job is carried out now, or not at all.
    m_closeRequested = false;
    if (!confirmDiscard()) {
        event->ignore();
        return;
    }
    collectSettings();
    storeSettings(m_ini, m_settings, m_reporter);
    event->accept();
}

} // namespace kestrum
