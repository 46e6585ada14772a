#include "hexview/HexEditorView.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QStyleHints>

#include <algorithm>

namespace kestrum {

// Keys, mouse, wheel, focus, the caret's blinking and drag and drop of the hex view. Geometry and
// painting are in HexEditorView.cpp.

namespace {

// With Shift held, the digit keys arrive as the symbols above them; bookmarks want the digit.
int digitKeyOf(const QKeyEvent& event)
{
    const int key = event.key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return key;
    static constexpr char16_t shifted[] = u")!@#$%^&*(";
    for (int digit = 0; digit < 10; ++digit) {
        if (key == shifted[digit])
            return Qt::Key_0 + digit;
    }
    return key;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Keys, mouse and wheel

void HexEditorView::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool ctrlOrAlt = modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const int key = (modifiers & Qt::ControlModifier) ? digitKeyOf(*event) : event->key();
    bool used = m_editor.keyDown(key, modifiers);
    if (!ctrlOrAlt) {
        for (const QChar c : event->text()) {
            if (c.isPrint())
                used = m_editor.keyPress(c) || used;
        }
    }
    if (used) {
        restartCaretBlink();
        event->accept();
    } else {
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void HexEditorView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPoint point = event->position().toPoint();
    m_lastMousePoint = point;
    m_pressPoint = point;
    GridCell cell;
    if (cellAt(point, cell))
        m_editor.mouseDown(cell, event->modifiers() & Qt::ShiftModifier);
    event->accept();
}

void HexEditorView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    m_lastMousePoint = point;
    updateMouseCursor(point);
    if (!m_editor.isMouseSelecting() || !(event->buttons() & Qt::LeftButton))
        return;
    if (m_editor.isMouseDownInSelection()
        && (point - m_pressPoint).manhattanLength() >= QApplication::startDragDistance()) {
        // The press landed in the selection and the mouse moved on: the selected data is dragged.
        m_editor.endMouseSelection();
        m_scrollTimer.stop();
        startDataDrag();
        event->accept();
        return;
    }
    const bool outside = point.y() < rulerHeight() || point.y() >= viewport()->height() || point.x() < dataLeft()
        || point.x() >= viewport()->width();
    if (outside && !m_scrollTimer.isActive())
        m_scrollTimer.start();
    else if (!outside)
        m_scrollTimer.stop();
    m_editor.mouseMove(nearestCell(point));
    event->accept();
}

void HexEditorView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    m_scrollTimer.stop();
    if (m_editor.isMouseSelecting())
        m_editor.mouseUp(nearestCell(event->position().toPoint()));
    event->accept();
}

void HexEditorView::autoScroll()
{
    if (!m_editor.isMouseSelecting() || !(QApplication::mouseButtons() & Qt::LeftButton)) {
        m_scrollTimer.stop();
        return;
    }
    const QPoint point = m_lastMousePoint;
    if (point.y() < rulerHeight())
        m_editor.setTopRow(m_editor.topRow() - 1);
    else if (point.y() >= viewport()->height())
        m_editor.setTopRow(m_editor.topRow() + 1);
    QScrollBar* bar = horizontalScrollBar();
    if (point.x() < dataLeft())
        bar->setValue(bar->value() - m_charWidth);
    else if (point.x() >= viewport()->width())
        bar->setValue(bar->value() + m_charWidth);
    m_editor.mouseMove(nearestCell(point));
}

void HexEditorView::updateMouseCursor(const QPoint& point)
{
    GridCell cell;
    const bool overData = cellAt(point, cell);
    const bool overSelection = overData && m_editor.isSelected(m_editor.positionAtCell(cell));
    viewport()->setCursor(overData && !overSelection ? Qt::IBeamCursor : Qt::ArrowCursor);
}

void HexEditorView::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (m_zoomOnWheel && (modifiers & Qt::ControlModifier)) {
        m_wheelRemainder += delta;
        const int steps = m_wheelRemainder / 120;
        m_wheelRemainder -= steps * 120;
        if (steps != 0) {
            if (modifiers & Qt::ShiftModifier) {
                QFont larger = font();
                const int size = larger.pixelSize() > 0 ? larger.pixelSize() : QFontInfo(larger).pixelSize();
                larger.setPixelSize(std::max(2, size + steps));
                setFont(larger);
            } else {
                // Unicode mode needs an even number of bytes per row.
                const int step = m_editor.unicodeChars() ? 2 : 1;
                const int low = m_editor.unicodeChars() ? 2 : 1;
                const int bytes = std::clamp(m_editor.bytesPerRow() + steps * step, low, 256);
                if (bytes != m_editor.bytesPerRow())
                    m_editor.setBytesPerRow(bytes);
            }
        }
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

void HexEditorView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    restartCaretBlink();
    viewport()->update();
}

void HexEditorView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    m_scrollTimer.stop();
    m_caretTimer.stop();
    m_editor.endMouseSelection();
    viewport()->update();
}

void HexEditorView::restartCaretBlink()
{
    m_caretShown = true;
    // The flash time is one whole period, shown and hidden; 0 or less means a steady caret.
    const int flashTime = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flashTime > 0)
        m_caretTimer.start(std::max(1, flashTime / 2));
    else
        m_caretTimer.stop();
    viewport()->update(caretRect());
}

void HexEditorView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateMetrics();
}

void HexEditorView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateMetrics();
    else if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        viewport()->update(); // the system colours are taken from the palette at every paint
}

void HexEditorView::scrollContentsBy(int, int)
{
    if (!m_syncing)
        m_editor.setTopRow(verticalScrollBar()->value());
    viewport()->update();
}

bool HexEditorView::focusNextPrevChild(bool)
{
    // Tab switches between the fields instead of moving the focus.
    return false;
}

// ---------------------------------------------------------------------------------------------
// Drag and drop

void HexEditorView::startDataDrag()
{
    std::unique_ptr<QMimeData> selected = m_editor.createClipboardData();
    if (!selected)
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(selected.release());
    // A drop onto this control moves the data (copies with Ctrl); elsewhere it is a copy.
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
}

bool HexEditorView::canDrop(const QMimeData& dragged) const
{
    if (m_editor.isReadOnlyView())
        return false;
    return HexEditor::namesLocalFile(dragged) || dragged.hasFormat(QString::fromLatin1(OwnClipboardMime))
        || dragged.hasFormat(QString::fromLatin1(RegEditClipboardMime)) || dragged.hasText();
}

qint64 HexEditorView::trackDrop(const QPoint& point)
{
    const GridCell cell = nearestCell(point);
    const bool inChar = m_editor.isCharColumn(cell.col);
    const qint64 position
        = std::clamp<qint64>(m_editor.positionAtCell(cell), 0, std::max<qint64>(m_editor.maxCursorPos(), 0));
    const GridCell dropCell = m_editor.cellAtPosition(position, inChar);
    if (!m_dropMarkerShown || dropCell != m_dropCell) {
        m_dropMarkerShown = true;
        m_dropCell = dropCell;
        viewport()->update();
    }
    return position;
}

void HexEditorView::hideDropMarker()
{
    if (!m_dropMarkerShown)
        return;
    m_dropMarkerShown = false;
    viewport()->update();
}

void HexEditorView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!canDrop(*event->mimeData())) {
        event->ignore();
        return;
    }
    trackDrop(event->position().toPoint());
    event->acceptProposedAction();
}

void HexEditorView::dragMoveEvent(QDragMoveEvent* event)
{
    if (!canDrop(*event->mimeData())) {
        hideDropMarker();
        event->ignore();
        return;
    }
    trackDrop(event->position().toPoint());
    event->acceptProposedAction();
}

void HexEditorView::dragLeaveEvent(QDragLeaveEvent* event)
{
    hideDropMarker();
    event->accept();
}

void HexEditorView::dropEvent(QDropEvent* event)
{
    const qint64 position = trackDrop(event->position().toPoint());
    hideDropMarker();
    const bool ownData = event->source() == this;
    if (!canDrop(*event->mimeData())) {
        event->ignore();
        return;
    }
    const bool move = ownData && event->dropAction() == Qt::MoveAction;
    if (m_editor.dropMimeData(*event->mimeData(), position, move)) {
        event->acceptProposedAction();
        setFocus(Qt::OtherFocusReason);
    } else {
        event->ignore();
    }
}

} // namespace kestrum
