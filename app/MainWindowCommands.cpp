// The main window's commands: the table of what exists, with each command's caption, icon, key,
// handler and guard, and every handler. Each command has one action, shared by its menu item and
// its tool button.

#include "app/AboutBox.h"
#include "app/BufferInfoBox.h"
#include "app/ChipEditorDialog.h"
#include "app/ChipSearchDialog.h"
#include "app/FillDialog.h"
#include "app/FlashEditorHost.h"
#include "app/MainWindow.h"

#include "app/GangWindow.h"
#include "app/MainWindowJobView.h"
#include "app/QtUserInterface.h"
#include "base/FileLocations.h"
#include "buffer/HexText.h"
#include "buffer/ImageFile.h"
#include "chipdb/NameTokens.h"
#include "hexview/ByteSearch.h"
#include "hexview/HexEditor.h"
#include "ops/ChipOperations.h"
#include "ops/ChipProgrammer.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyCombination>
#include <QMimeData>

#include <QLineEdit>
#include <algorithm>
#include <optional>

namespace kestrum {

/// What keeps a command from running at the wrong time.
enum class CommandGuard {
    /// Touches the buffer, the chip table or a dialog: refused while a chip job holds the
    /// programmer (a box opened from a job's event pump would hold the job).
    WaitsForJob,
    /// A chip command: it carries the busy guard of the chip commands itself.
    ChipJob,
    /// Runs at any time: Stop is for the time a job runs, Quit only asks the window to close.
    Always,
};

struct MainWindow::Command
{
    QAction* MainWindow::*action;
    /// The object name: the caption table's key of the menu text and of the tool-bar caption.
    const char* name;
    /// The icon's name in the resources; null for none.
    const char* icon;
    QKeyCombination key;
    void (MainWindow::*handler)();
    CommandGuard guard;
};

const std::vector<MainWindow::Command>& MainWindow::commandTable()
{
    using G = CommandGuard;
    using W = MainWindow;
    static const QKeyCombination none;
    static const std::vector<Command> table {
        {&W::openAction, "openAction", "open", Qt::CTRL | Qt::Key_O, &W::openFile, G::WaitsForJob},
        {&W::saveAction, "saveAction", "save", Qt::CTRL | Qt::Key_S, &W::saveFile, G::WaitsForJob},
        {&W::bufferInfoAction, "bufferInfoAction", nullptr, none, &W::showBufferInformation, G::WaitsForJob},
        {&W::quitAction, "quitAction", nullptr, Qt::CTRL | Qt::Key_Q, &W::quit, G::Always},
        {&W::fillAction, "fillAction", "fill", none, &W::fillBuffer, G::WaitsForJob},
        {&W::autoAction, "autoAction", "auto", QKeyCombination(Qt::Key_F4), &W::runAuto, G::ChipJob},
        {&W::eraseAction, "eraseAction", "erase", QKeyCombination(Qt::Key_F6), &W::eraseChip, G::ChipJob},
        {&W::writeAction, "writeAction", "write", QKeyCombination(Qt::Key_F7), &W::writeChip, G::ChipJob},
        {&W::readAction, "readAction", "read", QKeyCombination(Qt::Key_F5), &W::readChip, G::ChipJob},
        {&W::verifyAction, "verifyAction", "verify", QKeyCombination(Qt::Key_F8), &W::verifyChip, G::ChipJob},
        {&W::blankCheckAction, "blankCheckAction", "blank", QKeyCombination(Qt::Key_F9), &W::blankCheckChip,
            G::ChipJob},
        {&W::detectAction, "detectAction", nullptr, QKeyCombination(Qt::Key_F2), &W::detectChip, G::ChipJob},
        // The editor reloads and rewrites the chip table, which a running chip command reads.
        {&W::deviceAction, "deviceAction", "device", none, &W::editChipDatabase, G::WaitsForJob},
        {&W::aboutAction, "aboutAction", "about", QKeyCombination(Qt::Key_F1), &W::showAbout, G::WaitsForJob},
        {&W::stopAction, "stopAction", "stop", QKeyCombination(Qt::Key_Escape), &W::stopJob, G::Always},
        {&W::simplifiedChineseAction, "simplifiedChineseAction", nullptr, none, &W::useSimplifiedChinese,
            G::WaitsForJob},
        {&W::traditionalChineseAction, "traditionalChineseAction", nullptr, none, &W::useTraditionalChinese,
            G::WaitsForJob},
        {&W::englishAction, "englishAction", nullptr, none, &W::useEnglish, G::WaitsForJob},
        {&W::undoAction, "undoAction", nullptr, Qt::CTRL | Qt::Key_Z, &W::undoEdit, G::WaitsForJob},
        {&W::redoAction, "redoAction", nullptr, Qt::CTRL | Qt::Key_Y, &W::redoEdit, G::WaitsForJob},
        {&W::cutAction, "cutAction", nullptr, Qt::CTRL | Qt::Key_X, &W::cutSelection, G::WaitsForJob},
        {&W::copyAction, "copyAction", nullptr, Qt::CTRL | Qt::Key_C, &W::copySelection, G::WaitsForJob},
        {&W::pasteAction, "pasteAction", nullptr, Qt::CTRL | Qt::Key_V, &W::pasteClipboard, G::WaitsForJob},
        {&W::selectAllAction, "selectAllAction", nullptr, Qt::CTRL | Qt::Key_A, &W::selectAll, G::WaitsForJob},
        {&W::copyAsHexAction, "copyAsHexAction", nullptr, Qt::CTRL | Qt::SHIFT | Qt::Key_C, &W::copyAsHexText,
            G::WaitsForJob},
        {&W::pasteHexAction, "pasteHexAction", nullptr, Qt::CTRL | Qt::SHIFT | Qt::Key_V, &W::pasteHexText,
            G::WaitsForJob},
        {&W::insertModeAction, "insertModeAction", nullptr, QKeyCombination(Qt::Key_Insert), &W::toggleInsertMode,
            G::WaitsForJob},
        {&W::findAction, "findAction", nullptr, Qt::CTRL | Qt::Key_F, &W::startFind, G::WaitsForJob},
        {&W::replaceAction, "replaceAction", nullptr, Qt::CTRL | Qt::Key_H, &W::startReplace, G::WaitsForJob},
        {&W::findNextAction, "findNextAction", nullptr, QKeyCombination(Qt::Key_F3), &W::findNext, G::WaitsForJob},
        {&W::findPreviousAction, "findPreviousAction", nullptr, Qt::SHIFT | Qt::Key_F3, &W::findPrevious,
            G::WaitsForJob},
        {&W::goToAction, "goToAction", nullptr, Qt::CTRL | Qt::Key_G, &W::goToAddress, G::WaitsForJob},
        {&W::selectRangeAction, "selectRangeAction", nullptr, Qt::CTRL | Qt::SHIFT | Qt::Key_R, &W::selectRange,
            G::WaitsForJob},
        {&W::bookmarksAction, "bookmarksAction", nullptr, Qt::CTRL | Qt::Key_B, &W::showBookmarks, G::WaitsForJob},
        {&W::compareAction, "compareAction", "compare", Qt::CTRL | Qt::Key_M, &W::compareChip, G::ChipJob},
        {&W::compareFileAction, "compareFileAction", nullptr, none, &W::compareWithFile, G::WaitsForJob},
        // The two options take effect at the next command; they may change at any time.
        {&W::readTwiceAction, "readTwiceAction", nullptr, none, &W::toggleReadTwice, G::Always},
        {&W::backUpAction, "backUpAction", nullptr, none, &W::toggleBackUp, G::Always},
        {&W::backupsAction, "backupsAction", nullptr, none, &W::openBackups, G::Always},
        {&W::logFileAction, "logFileAction", nullptr, none, &W::openLogFile, G::Always},
        // The gang window is modal and holds the busy guard while it is open.
        {&W::gangAction, "gangAction", nullptr, none, &W::programAllProgrammers, G::WaitsForJob},
    };
    return table;
}

void MainWindow::buildCommands()
{
    for (const Command& c : commandTable()) {
        auto* action = new QAction(this);
        this->*c.action = action;
        action->setObjectName(QString::fromLatin1(c.name));
        // The English captions until the first show applies the language in force.
        action->setText(captionText(CaptionWindow::Main, c.name, 2));
        const QString iconText = captionText(CaptionWindow::ToolBar, c.name, 2);
        if (!iconText.isEmpty()) {
            action->setIconText(iconText);
            action->setToolTip(iconText);
        }
        if (c.icon)
            action->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(QString::fromLatin1(c.icon))));
        if (c.key.key() != Qt::Key_unknown && c.key.toCombined() != 0)
            action->setShortcut(QKeySequence(c.key));
        const auto handler = c.handler;
        switch (c.guard) {
        case CommandGuard::WaitsForJob:
            connect(action, &QAction::triggered, this, [this, handler] {
                runCommand([this, handler] { (this->*handler)(); });
                // A switch refused while a job runs keeps the marks of the language in force.
                showLanguageChecks();
            });
            break;
        case CommandGuard::ChipJob:
            connect(action, &QAction::triggered, this,
                [this, handler] { runGuarded([this, handler] { (this->*handler)(); }); });
            break;
        case CommandGuard::Always:
            connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
            break;
        }
    }
    for (QAction* a : {simplifiedChineseAction, traditionalChineseAction, englishAction})
        a->setCheckable(true);
    // Keys of commands without a menu item work whatever the window shows: Test (F2) and Stop
    // (Esc, also with its bar out of sight).
    addAction(detectAction);
    addAction(stopAction);
    stopAction->setEnabled(false);
    redoAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    insertModeAction->setCheckable(true);
}

void MainWindow::updateEditActions()
{
    const HexEditor& editor = hexView->editor();
    // Read-only while a chip job holds the programmer; the editing commands themselves pass the
    // busy guard as every command does.
    const bool free = !m_programmer || !m_programmer->isJobOpen();
    undoAction->setEnabled(free && editor.canUndo());
    redoAction->setEnabled(free && editor.canRedo());
    cutAction->setEnabled(free && editor.hasSelection());
    copyAction->setEnabled(free && editor.hasSelection());
    copyAsHexAction->setEnabled(free && editor.hasSelection());
    pasteHexAction->setEnabled(free);
    pasteAction->setEnabled(free);
    selectAllAction->setEnabled(free && editor.dataSize() > 0);
    insertModeAction->setEnabled(free);
    insertModeAction->setChecked(editor.insertMode());
}

void MainWindow::undoEdit()
{
    hexView->editor().undo();
}

void MainWindow::redoEdit()
{
    hexView->editor().redo();
}

void MainWindow::cutSelection()
{
    hexView->editor().cutToClipboard();
}

void MainWindow::copySelection()
{
    hexView->editor().copyToClipboard();
}

void MainWindow::pasteClipboard()
{
    hexView->editor().pasteFromClipboard();
}

void MainWindow::selectAll()
{
    hexView->editor().selectAll();
}

namespace {

/// "4B 45 53 …", 16 bytes a line: three bytes of text a byte.
QByteArray hexTextOf(const QByteArray& bytes)
{
    QByteArray text(bytes.size() * 3 - (bytes.isEmpty() ? 0 : 1), Qt::Uninitialized);
    char* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            *out++ = i % 16 == 0 ? '\n' : ' ';
        hextext::putByte(out, static_cast<unsigned char>(bytes[i]));
        out += 2;
    }
    return text;
}

} // namespace

void MainWindow::copyAsHexText()
{
    const HexEditor& editor = hexView->editor();
    if (!editor.hasSelection())
        return;
    QByteArray bytes(editor.selCount(), Qt::Uninitialized);
    editor.readBuffer(bytes.data(), editor.selectionLow(), bytes.size());
    // Plain text as bytes: a large selection costs its text once, not twice as UTF-16.
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("text/plain"), hexTextOf(bytes));
    QGuiApplication::clipboard()->setMimeData(mime);
}

void MainWindow::pasteHexText()
{
    const std::optional<QByteArray> bytes = SearchPattern::bytesOfHexText(QGuiApplication::clipboard()->text());
    if (!bytes) {
        m_reporter.showError(m_reporter.message(MsgPasteHexRefused));
        return;
    }
    // Pasted as this program's own hexadecimal text, so that Paste's rules for the size hold.
    HexEditor& editor = hexView->editor();
    const bool asHex = editor.clipboardAsHexText();
    editor.setClipboardAsHexText(true);
    QMimeData mime;
    mime.setText(QString::fromLatin1(bytes->toHex()));
    editor.pasteFromMimeData(mime);
    editor.setClipboardAsHexText(asHex);
}

void MainWindow::toggleInsertMode()
{
    hexView->editor().keyDown(Qt::Key_Insert, Qt::NoModifier);
}

std::vector<QAction*> MainWindow::commandActions() const
{
    std::vector<QAction*> actions;
    for (const Command& c : commandTable())
        actions.push_back(this->*c.action);
    return actions;
}

bool MainWindow::confirmDiscard()
{
    return !hasUnsavedChanges() || m_reporter.ui().askYesNo(m_reporter.message(MsgDiscardChanges));
}

bool MainWindow::ranToItsEnd(const std::function<void()>& command)
{
    // A command refused by the busy guard would leave the outcome of the one before.
    if (m_operations->holdsProgrammer())
        return false;
    command();
    return m_operations->lastOutcome() == CommandOutcome::Done;
}

void MainWindow::prepareFileDialog(UserInterface& ui) const
{
    if (auto* qt = dynamic_cast<QtUserInterface*>(&ui))
        qt->setStartFolder(m_settings.lastFolder);
}

QString MainWindow::rememberFolder(const QString& chosen)
{
    if (!chosen.isEmpty())
        m_settings.lastFolder = QFileInfo(chosen).absolutePath();
    return chosen;
}

QString MainWindow::saveSuffix() const
{
    if (m_lastOpened.isEmpty() || saveKindForName(m_lastOpened) == FileKind::RawBinary)
        return QStringLiteral("bin");
    return fileExtension(m_lastOpened).mid(1).toLower();
}

QString MainWindow::chipName() const
{
    if (m_selection.shownChip() < 0)
        return QStringLiteral("kestrum");
    // A name is a file name: no folder separators in it.
    return NameTokens(currentRecord().namesText()).trimmedAt(2).replace(QLatin1Char('/'), QLatin1Char('_'));
}

void MainWindow::openFile()
{
    if (confirmDiscard())
        m_files->open(chipSize());
}

void MainWindow::saveFile()
{
    // A save that fails is logged as well, with the path and the reason.
    const Reporter::ErrorLogging logging(m_reporter, true);
    // Without a chip shown the chip size is unknown: the used length is saved.
    m_files->save(m_selection.shownChip() < 0 ? 0 : chipSize());
}

void MainWindow::showBufferInformation()
{
    takeViewEdits();
    BufferInfoBox box(m_reporter, bufferInformationText(m_reporter, m_buffer, chipSize()), this);
    box.exec();
}

void MainWindow::quit()
{
    close();
}

void MainWindow::fillBuffer()
{
    fillDialog->prepare(chipSize());
    fillDialog->exec();
}

void MainWindow::readChip()
{
    // A read refused by a running job asks nothing; one that ran to its end matches the chip.
    if (!m_operations->isBusy() && !confirmDiscard())
        return;
    if (ranToItsEnd([this] { m_operations->read(); }))
        m_buffer.markSaved();
}

void MainWindow::eraseChip()
{
    m_operations->erase();
}

void MainWindow::writeChip()
{
    if (ranToItsEnd([this] { m_operations->write(); }))
        m_buffer.markSaved();
}

void MainWindow::verifyChip()
{
    m_operations->verify();
}

void MainWindow::blankCheckChip()
{
    m_operations->blankCheck();
}

void MainWindow::runAuto()
{
    // A run that programmed and verified the chip leaves nothing unwritten.
    const bool programs = autoProgramCheck->isChecked() && autoVerifyCheck->isChecked();
    if (ranToItsEnd([this] { m_operations->autoRun(); }) && programs)
        m_buffer.markSaved();
}

ProductionJob MainWindow::gangJob()
{
    ProductionJob job = productionJob(m_jobView->chipTable(), m_jobView->currentRecord(), m_jobView->speedIndex(),
        autoEraseCheck->isChecked(), autoProgramCheck->isChecked(), autoVerifyCheck->isChecked(), m_buffer);
    // The safeguards of the window's Auto hold on every socket.
    job.backupFolder = m_operations->backupFolder();
    job.readTwice = m_operations->readsTwice();
    job.language = m_reporter.language();
    return job;
}

void MainWindow::programAllProgrammers()
{
    takeViewEdits();
    if (m_buffer.usedLength <= 0 && autoProgramCheck->isChecked()) {
        m_reporter.showError(MsgBufferEmpty);
        return;
    }
    GangWindow gang(this, m_reporter, gangJob());
    gang.exec();
}

void MainWindow::detectChip()
{
    m_operations->detect();
}

void MainWindow::findChip()
{
    chipSearch->exec();
}

void MainWindow::editChipDatabase()
{
    chipEditor->exec();
}

void MainWindow::showAbout()
{
    aboutBox->exec();
}

void MainWindow::stopJob()
{
    // Not through the busy guard: Stop is for the time a job holds the programmer.
    m_operations->stop();
}

void MainWindow::useSimplifiedChinese()
{
    switchLanguage(0);
}

void MainWindow::useTraditionalChinese()
{
    switchLanguage(1);
}

void MainWindow::useEnglish()
{
    switchLanguage(2);
}

// The chip lists.

void MainWindow::setSelectionIndices(int t, int m, int n)
{
    m_settings.typeIndex = t;
    m_settings.makerIndex = m;
    m_settings.nameIndex = n;
}

void MainWindow::rememberSelection()
{
    setSelectionIndices(
        m_selection.types().selected(), m_selection.makers().selected(), m_selection.names().selected());
}

LoadResult MainWindow::loadChipDatabase()
{
    const LoadResult result = loadChipDatabaseFile(locateFiles(m_executablePath).databaseFile, m_table, m_reporter);
    // Saved indices that designate no chip select the first one, as a fresh start does.
    if (result == LoadResult::Loaded)
        showingSelection([this] {
            return m_selection.restoreSelection(m_settings.typeIndex, m_settings.makerIndex, m_settings.nameIndex);
        });
    return result;
}

int MainWindow::selectByIndices(int t, int m, int n)
{
    return showingSelection([&] { return m_selection.selectByIndices(t, m, n); });
}

int MainWindow::selectChipByNames(const QString& type, const QString& maker, const QString& name)
{
    return showingSelection([&] { return m_selection.selectByNames(type, maker, name); });
}

int MainWindow::showingSelection(const std::function<int()>& fill)
{
    // A fill that ends with an error has still rebuilt lists; they are shown before it goes on.
    int found = -1;
    try {
        found = fill();
    } catch (...) {
        showChipSelection();
        throw;
    }
    showChipSelection();
    return found;
}

void MainWindow::showChipSelection()
{
    auto show = [](QComboBox* box, const PickList& list) {
        const QSignalBlocker block(box);
        QStringList shown;
        for (int i = 0; i < box->count(); ++i)
            shown << box->itemText(i);
        if (shown != list.items()) {
            box->clear();
            box->addItems(list.items());
        }
        box->setCurrentIndex(list.selected());
    };
    show(typeCombo, m_selection.types());
    show(manufacturerCombo, m_selection.makers());
    show(nameCombo, m_selection.names());
    capacityEdit->setText(m_selection.sizeText());
    {
        const QSignalBlocker block(sizeCombo);
        sizeCombo->setCurrentIndex(m_selection.sizeIndex());
    }
    pageSizeEdit->setText(m_selection.pageText());
}

void MainWindow::typeChanged()
{
    manufacturerCombo->setCurrentIndex(0);
    nameCombo->setCurrentIndex(0);
    nameChanged();
}

void MainWindow::manufacturerChanged()
{
    nameCombo->setCurrentIndex(0);
    nameChanged();
}

void MainWindow::nameChanged()
{
    m_settings.typeIndex = typeCombo->currentIndex();
    m_settings.makerIndex = manufacturerCombo->currentIndex();
    m_settings.nameIndex = nameCombo->currentIndex();
    selectByIndices(m_settings.typeIndex, m_settings.makerIndex, m_settings.nameIndex);
    m_operations->chipChosen();
}

} // namespace kestrum
