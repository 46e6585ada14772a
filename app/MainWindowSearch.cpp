// The main window's tools for finding and moving about in the hex view: the find bar, Go to
// address, Select range and the bookmarks.

#include "app/AddressDialogs.h"
#include "app/BookmarksDialog.h"
#include "app/FindBar.h"
#include "app/FlashEditorHost.h"
#include "app/MainWindow.h"
#include "hexview/AddressText.h"
#include "hexview/HexEditor.h"

#include <algorithm>

namespace kestrum {

void MainWindow::startFind()
{
    findBar->start(false);
}

void MainWindow::startReplace()
{
    findBar->start(true);
}

void MainWindow::findNext()
{
    findBar->findNext();
}

void MainWindow::findPrevious()
{
    findBar->findPrevious();
}

void MainWindow::goToAddress()
{
    goToDialog->start();
}

void MainWindow::selectRange()
{
    selectRangeDialog->start();
}

void MainWindow::showBookmarks()
{
    bookmarksDialog->start();
}

bool MainWindow::goTo(const QString& entry)
{
    HexEditor& editor = hexView->editor();
    const std::optional<qint64> address = parseAddressText(entry, editor.cursorPosition());
    if (!address) {
        m_reporter.showError(m_reporter.message(MsgAddressInvalid).arg(entry.trimmed()));
        return false;
    }
    const qint64 last = std::max<qint64>(editor.dataSize() - 1, 0);
    const qint64 target = std::clamp<qint64>(*address, 0, last);
    editor.setSelStart(target);
    if (target != *address) {
        const QString asked = *address < 0 ? QStringLiteral("-") + addressText(-*address) : addressText(*address);
        m_reporter.ui().showInformation(
            m_reporter.message(MsgGoToClamped).arg(asked, addressText(last), addressText(target)));
    }
    hexView->setFocus();
    return true;
}

bool MainWindow::selectRangeOf(const QString& startText, const QString& extentText, bool isLength)
{
    HexEditor& editor = hexView->editor();
    const std::optional<qint64> start = parseAddressText(startText, editor.cursorPosition());
    const std::optional<qint64> extent = start ? parseAddressText(extentText, *start) : std::nullopt;
    if (!start || !extent) {
        m_reporter.showError(m_reporter.message(MsgAddressInvalid).arg((start ? extentText : startText).trimmed()));
        return false;
    }
    // A length counts from the start; an end is the last byte of the range.
    const qint64 end = isLength ? *start + *extent - 1 : *extent;
    const qint64 last = editor.dataSize() - 1;
    if (*start < 0 || end < *start || end > last) {
        m_reporter.showError(
            m_reporter.message(MsgRangeOutside).arg(addressText(*start), addressText(end), addressText(last)));
        return false;
    }
    editor.setSelStart(*start);
    editor.setSelEnd(end);
    hexView->setFocus();
    return true;
}

} // namespace kestrum
