// The main window's commands about what is on the chip: Compare and its result window, the buffer
// against a file, the confirmed read and backup options, the backups folder and the log file.

#include "app/CompareDialog.h"
#include "app/FlashEditorHost.h"
#include "app/MainWindow.h"
#include "app/RegionsView.h"
#include "base/FileLocations.h"
#include "base/LogFile.h"
#include "buffer/ByteCompare.h"
#include "hexview/HexEditor.h"
#include "ops/ChipOperations.h"

#include <QAction>
#include <QDir>

#include <algorithm>
#include <memory>

namespace kestrum {

void MainWindow::setUpSafeguards()
{
    m_backupFolder = locateFiles(m_executablePath).backupFolder;
    readTwiceAction->setCheckable(true);
    backUpAction->setCheckable(true);
    readTwiceAction->setChecked(m_settings.readTwice);
    backUpAction->setChecked(m_settings.backUp);
    m_operations->setReadTwice(m_settings.readTwice);
    m_operations->setBackupFolder(m_settings.backUp ? m_backupFolder : QString());
    m_operations->onComparison = [this](const Comparison& comparison) { showComparison(comparison); };
    compareDialog = new CompareDialog(this, m_reporter, [this](qint64 start, qint64 end) {
        // The range as far as the hex view shows it.
        HexEditor& editor = hexView->editor();
        if (start >= editor.dataSize())
            return;
        editor.setSelStart(start);
        editor.setSelEnd(std::min(end, editor.dataSize() - 1));
    });
}

void MainWindow::keepLogLine(const QString& line)
{
    m_logFile->append(line);
    // During a job the lines wait: the disk never holds a job up.
    if (!m_operations || !m_operations->holdsProgrammer())
        flushLogFile();
}

void MainWindow::flushLogFile()
{
    QString why;
    if (m_logFile->flush(&why) || m_logFileFailureTold)
        return;
    // Told once, in the log box only; the window goes on without its file.
    m_logFileFailureTold = true;
    m_reporter.addLogLine(m_reporter.message(MsgLogFileUnwritable).arg(m_logFile->path(), why));
    m_logFile->flush();
}

void MainWindow::showComparison(const Comparison& comparison)
{
    compareDialog->showComparison(comparison);
    regionsView->showDifferences(comparison);
}

void MainWindow::compareChip()
{
    m_operations->compare();
    // Differences have been shown already; an equal chip is shown too, as the answer asked for.
    if (m_operations->lastOutcome() == CommandOutcome::Done)
        showComparison(m_operations->lastComparison());
}

void MainWindow::compareWithFile()
{
    auto file = std::make_unique<DataBuffer>();
    bool loaded = false;
    FileCommands files(
        m_reporter, *file, [&loaded](std::uint32_t) { loaded = true; }, [] {});
    files.open(chipSize());
    if (!loaded)
        return;
    takeViewEdits();
    const std::uint64_t length = std::min<std::uint64_t>(BufferCapacity,
        std::max<std::uint64_t>({chipSize(), std::uint64_t(std::max(file->usedLength, 0)),
            std::uint64_t(std::max(m_buffer.usedLength, 0))}));
    const Comparison comparison = compareBytes(m_buffer.data(), file->data(), length);
    m_reporter.addLogLine(comparison.equal()
            ? m_reporter.message(MsgCompareEqual).arg(comparison.compared)
            : m_reporter.message(MsgCompareDifferent).arg(comparison.differingBytes).arg(comparison.ranges.size()));
    showComparison(comparison);
}

void MainWindow::toggleReadTwice()
{
    m_settings.readTwice = readTwiceAction->isChecked();
    m_operations->setReadTwice(m_settings.readTwice);
}

void MainWindow::toggleBackUp()
{
    m_settings.backUp = backUpAction->isChecked();
    m_operations->setBackupFolder(m_settings.backUp ? m_backupFolder : QString());
}

void MainWindow::openBackups()
{
    QDir().mkpath(m_backupFolder);
    m_reporter.ui().openLocation(m_backupFolder);
}

void MainWindow::openLogFile()
{
    flushLogFile();
    m_reporter.ui().openLocation(m_logFile->path());
}

} // namespace kestrum
