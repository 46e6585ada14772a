#include "hexview/TCustomMPHexEditor.h"

#include "hexview/EMPHexEditor.h"

#include <algorithm>

namespace kestrum {

// ---------------------------------------------------------------------------------------------
// Cursor

bool TCustomMPHexEditor::IsCursorOnSecondColumn() const
{
    return !GetInCharField() && (m_cursor.col - 2) % 2 == 1;
}

void TCustomMPHexEditor::MoveCursor(qint64 position, bool inCharField, bool secondColumn)
{
    m_cursor = GetCursorAtPos(position, inCharField);
    if (secondColumn && !inCharField)
        ++m_cursor.col;
}

void TCustomMPHexEditor::ClampCursor()
{
    const qint64 maxPos = MaxCursorPos();
    if (maxPos < 0) {
        m_cursor = GetCursorAtPos(0, GetInCharField());
        return;
    }
    if (GetCursorPos() > maxPos)
        MoveCursor(maxPos, GetInCharField());
}

void TCustomMPHexEditor::SetCursorCell(TMPHGridCell cell, bool selecting)
{
    cell.row = std::clamp(cell.row, 2, RowCount() - 1);
    cell.col = std::clamp(cell.col, 2, ColCount() - 1);
    if (cell.col == CharFirstColumn() - 1) // the spacer between the fields
        cell.col = CharFirstColumn() - 2;
    ApplyCursorMove(cell, selecting);
}

void TCustomMPHexEditor::ApplyCursorMove(TMPHGridCell cell, bool selecting)
{
    const qint64 oldPos = GetCursorPos();
    const TMPHGridCell oldCell = m_cursor;
    if (selecting && m_selBegin == -1)
        m_selBegin = HasSelection() ? m_selAnchor : oldPos;
    m_cursor = cell;
    const qint64 maxPos = MaxCursorPos();
    if (maxPos >= 0 && GetCursorPos() > maxPos)
        MoveCursor(maxPos, GetInCharField());
    else if (maxPos < 0)
        MoveCursor(0, GetInCharField());
    const bool hadSelection = HasSelection();
    if (selecting)
        SelectUnits(m_selBegin, GetCursorPos());
    else
        ClearSelectionState();
    EnsureCursorVisible();
    if (m_cursor != oldCell || hadSelection || selecting)
        SelectionChanged();
}

// ---------------------------------------------------------------------------------------------
// Mouse

void TCustomMPHexEditor::MouseDown(TMPHGridCell cell, bool shift)
{
    cell.row = std::clamp(cell.row, 2, RowCount() - 1);
    cell.col = std::clamp(cell.col, 2, ColCount() - 1);
    m_mouseDownCell = m_mouseLastCell = cell;
    m_mouseSelecting = true;
    m_mouseDownInSelection = false;
    if (shift) {
        SetCursorCell(cell, true);
        return;
    }
    const qint64 position = GetPosAtCursor(cell);
    if (IsSelected(position)) {
        // Kept for dragging; a release without a move clears it.
        m_mouseDownInSelection = true;
        return;
    }
    SetCursorCell(cell, false);
    m_selBegin = GetCursorPos();
}

void TCustomMPHexEditor::MouseMove(TMPHGridCell cell)
{
    if (!m_mouseSelecting)
        return;
    cell.row = std::clamp(cell.row, 2, RowCount() - 1);
    cell.col = std::clamp(cell.col, 2, ColCount() - 1);
    if (cell == m_mouseLastCell)
        return;
    m_mouseLastCell = cell;
    if (m_mouseDownInSelection) {
        // No dragging of data: a move turns the press into a new selection from where it began.
        m_mouseDownInSelection = false;
        ClearSelectionState();
        MoveCursor(GetPosAtCursor(m_mouseDownCell), IsCharColumn(m_mouseDownCell.col));
        ClampCursor();
        m_selBegin = GetCursorPos();
    }
    if (m_selBegin == -1)
        m_selBegin = GetCursorPos();
    SetCursorCell(cell, true);
    const qint64 position = GetCursorPos();
    const qint64 unit = m_bytesPerUnit;
    const qint64 beginUnit = m_selBegin - m_selBegin % unit;
    if (m_insertMode && position < beginUnit && HasSelection()) {
        // Backwards in insert mode the unit where the drag began is not part of the selection.
        const qint64 begin = m_selBegin;
        SetSelection(beginUnit - 1, m_selLow);
        m_selBegin = begin;
    }
}

void TCustomMPHexEditor::MouseUp(TMPHGridCell cell)
{
    if (!m_mouseSelecting)
        return;
    m_mouseSelecting = false;
    if (m_mouseDownInSelection) {
        m_mouseDownInSelection = false;
        cell.row = std::clamp(cell.row, 2, RowCount() - 1);
        cell.col = std::clamp(cell.col, 2, ColCount() - 1);
        if (cell == m_mouseDownCell)
            SetCursorCell(cell, false);
    }
}

// ---------------------------------------------------------------------------------------------
// Selection

void TCustomMPHexEditor::SetSelection(qint64 anchor, qint64 other)
{
    m_selAnchor = anchor;
    m_selLow = std::min(anchor, other);
    m_selHigh = std::max(anchor, other);
}

void TCustomMPHexEditor::ClearSelectionState()
{
    m_selAnchor = m_selLow = m_selHigh = -1;
    m_selBegin = -1;
}

void TCustomMPHexEditor::SelectUnits(qint64 from, qint64 to)
{
    const qint64 size = m_data.GetSize();
    const qint64 unit = m_bytesPerUnit;
    if (size == 0 || from < 0) {
        ClearSelectionState();
        return;
    }
    const qint64 a = std::min(from, to);
    const qint64 b = std::max(from, to);
    const qint64 low = std::min(a - a % unit, size - 1);
    const qint64 high = std::min(b - b % unit + unit - 1, size - 1);
    const qint64 begin = m_selBegin;
    if (to >= from)
        SetSelection(low, high);
    else
        SetSelection(high, low);
    m_selBegin = begin;
}

void TCustomMPHexEditor::SetSelStart(qint64 position)
{
    if (position < 0 || position >= m_data.GetSize())
        RaiseMPHexEditor(MPH_ERR_SEL_START);
    ClearSelectionState();
    MoveCursor(position, GetInCharField());
    EnsureCursorVisible();
    SelectionChanged();
}

void TCustomMPHexEditor::SetSelEnd(qint64 position)
{
    if (position < -1 || position >= m_data.GetSize())
        RaiseMPHexEditor(MPH_ERR_SEL_END);
    if (position == -1) {
        ResetSelection();
        return;
    }
    const qint64 start = HasSelection() ? m_selAnchor : GetCursorPos();
    SetSelection(std::min(start, m_data.GetSize() - 1), position);
    SelectionChanged();
}

void TCustomMPHexEditor::SetSelCount(qint64 count)
{
    if (count == 0 || m_data.GetSize() == 0) {
        ResetSelection();
        return;
    }
    const qint64 start = GetSelStart();
    const qint64 end = count > 0 ? start + count - 1 : start + count + 1;
    SetSelEnd(std::clamp<qint64>(end, 0, m_data.GetSize() - 1));
}

qint64 TCustomMPHexEditor::GetSelStart() const
{
    return HasSelection() ? m_selAnchor : GetCursorPos();
}

qint64 TCustomMPHexEditor::GetSelEnd() const
{
    if (!HasSelection())
        return GetCursorPos();
    return m_selAnchor == m_selLow ? m_selHigh : m_selLow;
}

qint64 TCustomMPHexEditor::GetSelCount() const
{
    return HasSelection() ? m_selHigh - m_selLow + 1 : 0;
}

void TCustomMPHexEditor::SelectAll()
{
    const qint64 size = m_data.GetSize();
    if (size == 0)
        return;
    SetSelection(0, size - 1);
    MoveCursor(m_insertMode ? size : size - 1, GetInCharField());
    EnsureCursorVisible();
    SelectionChanged();
}

void TCustomMPHexEditor::ResetSelection()
{
    const bool had = HasSelection();
    ClearSelectionState();
    if (had)
        SelectionChanged();
}

qint64 TCustomMPHexEditor::Seek(qint64 offset, int origin)
{
    const qint64 size = m_data.GetSize();
    if (size == 0)
        return -1;
    qint64 position = offset;
    if (origin == 1)
        position = GetCursorPos() + offset;
    else if (origin == 2)
        position = size + offset;
    position = std::clamp<qint64>(position, 0, size - 1);
    ClearSelectionState();
    MoveCursor(position, GetInCharField());
    EnsureCursorVisible();
    SelectionChanged();
    return position;
}

qint64 TCustomMPHexEditor::SeekToEOF()
{
    return Seek(0, 2);
}

} // namespace kestrum
