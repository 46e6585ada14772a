#include "hexview/HexEditorCore.h"

#include "hexview/HexEditorError.h"

#include <algorithm>

namespace kestrum {

// ---------------------------------------------------------------------------------------------
// Cursor

bool HexEditorCore::isCursorOnSecondColumn() const
{
    return !cursorInCharField() && (m_cursor.col - 2) % 2 == 1;
}

void HexEditorCore::placeCursor(qint64 position, bool inCharField, bool secondColumn)
{
    m_cursor = cellAtPosition(position, inCharField);
    if (secondColumn && !inCharField)
        ++m_cursor.col;
}

void HexEditorCore::clampCursor()
{
    const qint64 maxPos = maxCursorPos();
    if (maxPos < 0) {
        m_cursor = cellAtPosition(0, cursorInCharField());
        return;
    }
    if (cursorPosition() > maxPos)
        placeCursor(maxPos, cursorInCharField());
}

void HexEditorCore::setCursorCell(GridCell cell, bool selecting)
{
    cell.row = std::clamp(cell.row, 2, rowCount() - 1);
    cell.col = std::clamp(cell.col, 2, colCount() - 1);
    if (cell.col == charFirstColumn() - 1) // the spacer between the fields
        cell.col = charFirstColumn() - 2;
    applyCursorMove(cell, selecting);
}

void HexEditorCore::applyCursorMove(GridCell cell, bool selecting)
{
    const qint64 oldPos = cursorPosition();
    const GridCell oldCell = m_cursor;
    if (selecting && m_selBegin == -1)
        m_selBegin = hasSelection() ? m_selAnchor : oldPos;
    m_cursor = cell;
    const qint64 maxPos = maxCursorPos();
    if (maxPos >= 0 && cursorPosition() > maxPos)
        placeCursor(maxPos, cursorInCharField());
    else if (maxPos < 0)
        placeCursor(0, cursorInCharField());
    const bool hadSelection = hasSelection();
    if (selecting)
        selectUnits(m_selBegin, cursorPosition());
    else
        clearSelectionState();
    ensureCursorVisible();
    if (m_cursor != oldCell || hadSelection || selecting)
        notifySelectionChanged();
}

// ---------------------------------------------------------------------------------------------
// Mouse

void HexEditorCore::mouseDown(GridCell cell, bool shift)
{
    cell.row = std::clamp(cell.row, 2, rowCount() - 1);
    cell.col = std::clamp(cell.col, 2, colCount() - 1);
    m_mouseDownCell = m_mouseLastCell = cell;
    m_mouseSelecting = true;
    m_mouseDownInSelection = false;
    if (shift) {
        setCursorCell(cell, true);
        return;
    }
    const qint64 position = positionAtCell(cell);
    if (isSelected(position)) {
        // Kept for dragging; a release without a move clears it.
        m_mouseDownInSelection = true;
        return;
    }
    setCursorCell(cell, false);
    m_selBegin = cursorPosition();
}

void HexEditorCore::mouseMove(GridCell cell)
{
    if (!m_mouseSelecting)
        return;
    cell.row = std::clamp(cell.row, 2, rowCount() - 1);
    cell.col = std::clamp(cell.col, 2, colCount() - 1);
    if (cell == m_mouseLastCell)
        return;
    m_mouseLastCell = cell;
    if (m_mouseDownInSelection) {
        // No dragging of data: a move turns the press into a new selection from where it began.
        m_mouseDownInSelection = false;
        clearSelectionState();
        placeCursor(positionAtCell(m_mouseDownCell), isCharColumn(m_mouseDownCell.col));
        clampCursor();
        m_selBegin = cursorPosition();
    }
    if (m_selBegin == -1)
        m_selBegin = cursorPosition();
    setCursorCell(cell, true);
    const qint64 position = cursorPosition();
    const qint64 unit = m_bytesPerUnit;
    const qint64 beginUnit = m_selBegin - m_selBegin % unit;
    if (m_insertMode && position < beginUnit && hasSelection()) {
        // Backwards in insert mode the unit where the drag began is not part of the selection.
        const qint64 begin = m_selBegin;
        setSelection(beginUnit - 1, m_selLow);
        m_selBegin = begin;
    }
}

void HexEditorCore::mouseUp(GridCell cell)
{
    if (!m_mouseSelecting)
        return;
    m_mouseSelecting = false;
    if (m_mouseDownInSelection) {
        m_mouseDownInSelection = false;
        cell.row = std::clamp(cell.row, 2, rowCount() - 1);
        cell.col = std::clamp(cell.col, 2, colCount() - 1);
        if (cell == m_mouseDownCell)
            setCursorCell(cell, false);
    }
}

// ---------------------------------------------------------------------------------------------
// Selection

void HexEditorCore::setSelection(qint64 anchor, qint64 other)
{
    m_selAnchor = anchor;
    m_selLow = std::min(anchor, other);
    m_selHigh = std::max(anchor, other);
}

void HexEditorCore::clearSelectionState()
{
    m_selAnchor = m_selLow = m_selHigh = -1;
    m_selBegin = -1;
}

void HexEditorCore::selectUnits(qint64 from, qint64 to)
{
    const qint64 size = m_data.size();
    const qint64 unit = m_bytesPerUnit;
    if (size == 0 || from < 0) {
        clearSelectionState();
        return;
    }
    const qint64 a = std::min(from, to);
    const qint64 b = std::max(from, to);
    const qint64 low = std::min(a - a % unit, size - 1);
    const qint64 high = std::min(b - b % unit + unit - 1, size - 1);
    const qint64 begin = m_selBegin;
    if (to >= from)
        setSelection(low, high);
    else
        setSelection(high, low);
    m_selBegin = begin;
}

void HexEditorCore::setSelStart(qint64 position)
{
    if (position < 0 || position >= m_data.size())
        raiseHexEditorError(ErrSelStart);
    clearSelectionState();
    placeCursor(position, cursorInCharField());
    ensureCursorVisible();
    notifySelectionChanged();
}

void HexEditorCore::setSelEnd(qint64 position)
{
    if (position < -1 || position >= m_data.size())
        raiseHexEditorError(ErrSelEnd);
    if (position == -1) {
        resetSelection();
        return;
    }
    const qint64 start = hasSelection() ? m_selAnchor : cursorPosition();
    setSelection(std::min(start, m_data.size() - 1), position);
    notifySelectionChanged();
}

void HexEditorCore::setSelCount(qint64 count)
{
    if (count == 0 || m_data.size() == 0) {
        resetSelection();
        return;
    }
    const qint64 start = selStart();
    const qint64 end = count > 0 ? start + count - 1 : start + count + 1;
    setSelEnd(std::clamp<qint64>(end, 0, m_data.size() - 1));
}

qint64 HexEditorCore::selStart() const
{
    return hasSelection() ? m_selAnchor : cursorPosition();
}

qint64 HexEditorCore::selEnd() const
{
    if (!hasSelection())
        return cursorPosition();
    return m_selAnchor == m_selLow ? m_selHigh : m_selLow;
}

qint64 HexEditorCore::selCount() const
{
    return hasSelection() ? m_selHigh - m_selLow + 1 : 0;
}

void HexEditorCore::selectAll()
{
    const qint64 size = m_data.size();
    if (size == 0)
        return;
    setSelection(0, size - 1);
    placeCursor(m_insertMode ? size : size - 1, cursorInCharField());
    ensureCursorVisible();
    notifySelectionChanged();
}

void HexEditorCore::resetSelection()
{
    const bool had = hasSelection();
    clearSelectionState();
    if (had)
        notifySelectionChanged();
}

qint64 HexEditorCore::seek(qint64 offset, int origin)
{
    const qint64 size = m_data.size();
    if (size == 0)
        return -1;
    qint64 position = offset;
    if (origin == 1)
        position = cursorPosition() + offset;
    else if (origin == 2)
        position = size + offset;
    position = std::clamp<qint64>(position, 0, size - 1);
    clearSelectionState();
    placeCursor(position, cursorInCharField());
    ensureCursorVisible();
    notifySelectionChanged();
    return position;
}

qint64 HexEditorCore::seekToEnd()
{
    return seek(0, 2);
}

} // namespace kestrum
