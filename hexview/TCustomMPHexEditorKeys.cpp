#include "hexview/TCustomMPHexEditor.h"

#include "hexview/MPHTranslation.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace kestrum {

namespace {

int hexDigitValue(QChar key)
{
    static constexpr char digits[] = "0123456789abcdef0123456789ABCDEF";
    const char16_t c = key.unicode();
    for (int i = 0; i < 32; ++i) {
        if (c == static_cast<char16_t>(digits[i]))
            return i % 16;
    }
    return -1;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Keys

bool TCustomMPHexEditor::KeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool alt = modifiers & Qt::AltModifier;
    if (!ctrl && !shift && !alt && key != Qt::Key_Shift && !m_insertMode)
        ResetSelection();

    switch (key) {
    case Qt::Key_Insert:
        if (ctrl || shift || alt)
            return false;
        SetInsertMode(!m_insertMode);
        return true;
    case Qt::Key_Delete:
        if (m_readOnlyView || alt)
            return true;
        if (m_insertMode || ctrl) {
            if (HasSelection())
                DeleteSelection();
            else
                InternalErase(false);
        }
        return true;
    case Qt::Key_Backspace:
        if (m_insertMode && !m_readOnlyView) {
            if (HasSelection())
                DeleteSelection();
            else if (IsCursorOnSecondColumn())
                EraseHalfTypedUnit();
            else
                InternalErase(true);
            return true;
        }
        MoveLeft(shift);
        return true;
    default:
        break;
    }

    if (ctrl && !alt && key >= Qt::Key_0 && key <= Qt::Key_9) {
        const int index = key - Qt::Key_0;
        if (shift)
            SetBookmarkVals(index, GetCursorPos(), GetInCharField());
        else
            GotoBookmark(index);
        return true;
    }
    if (ctrl && !alt && key == Qt::Key_Z) {
        if (shift) {
            if (GetCanRedo())
                Redo();
        } else if (GetCanUndo()) {
            Undo();
        }
        return true;
    }
    if (ctrl && !alt && !shift && key == Qt::Key_A) {
        SelectAll();
        return true;
    }
    return NavigationKey(key, modifiers);
}

void TCustomMPHexEditor::EraseHalfTypedUnit()
{
    // The caret stands inside the unit that the first digit inserted: that unit goes, and the
    // caret returns to its first column.
    const qint64 position = GetCursorPos();
    if (position >= m_data.GetSize())
        return;
    InternalErase(false);
    MoveCursor(position - position % m_bytesPerUnit, false);
    ClampCursor();
    EnsureCursorVisible();
    SelectionChanged();
}

void TCustomMPHexEditor::MoveRight(bool selecting)
{
    const qint64 position = GetCursorPos();
    const qint64 maxPos = MaxCursorPos();
    TMPHGridCell target = m_cursor;
    if (!GetInCharField()) {
        if (!IsCursorOnSecondColumn()) {
            if (position < m_data.GetSize())
                ++target.col;
        } else if (position + 1 <= maxPos) {
            target = GetCursorAtPos(position + 1, false);
        }
    } else {
        const qint64 step = (m_unicodeChars || selecting) ? m_bytesPerUnit : 1;
        const qint64 next = position - position % step + step;
        if (next <= maxPos)
            target = GetCursorAtPos(next, true);
    }
    ApplyCursorMove(target, selecting);
}

void TCustomMPHexEditor::MoveLeft(bool selecting)
{
    const qint64 position = GetCursorPos();
    TMPHGridCell target = m_cursor;
    if (!GetInCharField()) {
        if (IsCursorOnSecondColumn())
            --target.col;
        else if (position > 0) {
            target = GetCursorAtPos(position - 1, false);
            ++target.col;
        }
    } else {
        const qint64 step = (m_unicodeChars || selecting) ? m_bytesPerUnit : 1;
        const qint64 aligned = position - position % step;
        const qint64 previous = aligned < position ? aligned : aligned - step;
        if (previous >= 0)
            target = GetCursorAtPos(previous, true);
    }
    ApplyCursorMove(target, selecting);
}

bool TCustomMPHexEditor::NavigationKey(int key, Qt::KeyboardModifiers modifiers)
{
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool inChar = GetInCharField();
    const qint64 position = GetCursorPos();
    const qint64 rowStart = position - position % m_bytesPerRow;
    const qint64 maxPos = std::max<qint64>(MaxCursorPos(), 0);
    const qint64 b = m_bytesPerRow;
    auto moveTo = [&](qint64 target, bool charField) {
        TMPHGridCell cell = GetCursorAtPos(std::clamp<qint64>(target, 0, maxPos), charField);
        ApplyCursorMove(cell, shift);
    };
    // Keeps the column: a row up or down moves the position by whole rows.
    auto moveRows = [&](qint64 rows) {
        TMPHGridCell cell = m_cursor;
        const qint64 lastRow = maxPos / b + 2;
        cell.row = static_cast<int>(std::clamp<qint64>(cell.row + rows, 2, lastRow));
        if (GetPosAtCursor(cell) > maxPos)
            cell = GetCursorAtPos(maxPos, inChar);
        ApplyCursorMove(cell, shift);
    };

    switch (key) {
    case Qt::Key_Right:
        if (ctrl)
            moveTo(std::min(rowStart + b - 1, maxPos), true);
        else
            MoveRight(shift);
        return true;
    case Qt::Key_Left:
        if (ctrl)
            moveTo(rowStart, false);
        else
            MoveLeft(shift);
        return true;
    case Qt::Key_Up:
        moveRows(-1);
        return true;
    case Qt::Key_Down:
        moveRows(1);
        return true;
    case Qt::Key_PageUp:
        if (ctrl) {
            moveRows(m_topRow + 2 - m_cursor.row);
        } else {
            m_topRow = std::max<qint64>(m_topRow - m_visibleRows, 0);
            moveRows(-m_visibleRows);
        }
        return true;
    case Qt::Key_PageDown:
        if (ctrl) {
            moveRows(m_topRow + m_visibleRows - 1 + 2 - m_cursor.row);
        } else {
            const qint64 dataRows = RowCount() - 2;
            m_topRow = std::clamp<qint64>(m_topRow + m_visibleRows, 0, std::max<qint64>(dataRows - m_visibleRows, 0));
            moveRows(m_visibleRows);
        }
        return true;
    case Qt::Key_Home:
        moveTo(ctrl ? 0 : rowStart, inChar);
        return true;
    case Qt::Key_End:
        moveTo(ctrl ? maxPos : std::min(rowStart + b - 1, maxPos), inChar);
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (ctrl)
            return false;
        ApplyCursorMove(GetCursorAtPos(position, !inChar), false);
        return true;
    case Qt::Key_T:
        if (!ctrl || shift)
            return false;
        ApplyCursorMove(GetCursorAtPos(position, !inChar), false);
        return true;
    default:
        break;
    }
    return false;
}

bool TCustomMPHexEditor::KeyPress(QChar key)
{
    if (m_readOnlyView || IsMaskedChar(key.unicode()))
        return false;
    if (!m_insertMode && GetCursorPos() >= m_data.GetSize())
        return false;
    return GetInCharField() ? TypeCharacter(key) : TypeHexDigit(key);
}

bool TCustomMPHexEditor::TypeHexDigit(QChar key)
{
    const int digit = hexDigitValue(key);
    if (digit < 0) {
        if (OnInvalidKey)
            OnInvalidKey(*this);
        return false;
    }
    if (!m_insertMode)
        ClearSelectionState();
    const bool selection = HasSelection();
    const qint64 position = selection ? m_selLow : GetCursorPos();
    const bool firstColumn = !IsCursorOnSecondColumn();
    const bool intoHigh = (firstColumn != m_swapNibbles) || selection;
    const qint64 unit = m_bytesPerUnit;
    const bool insert = m_insertMode && (selection || (firstColumn && position % unit == 0));

    if (!insert) {
        if (position >= m_data.GetSize())
            return false;
        const quint8 old = GetDataAt(position);
        const quint8 value = intoHigh ? quint8((digit << 4) | (old & 0x0F)) : quint8((old & 0xF0) | digit);
        IntChangeByte(old, value, position);
    } else {
        std::vector<char> bytes(static_cast<size_t>(unit), 0);
        bytes[0] = static_cast<char>(m_swapNibbles ? digit : digit << 4);
        if (m_data.GetSize() == 0)
            AppendBuffer(bytes.data(), unit, {}, false);
        else if (selection)
            ReplaceSelection(bytes.data(), unit, {}, false);
        else
            InsertBuffer(bytes.data(), unit, position, {}, false);
        MoveCursor(position, false);
    }
    MoveRight(false);
    return true;
}

bool TCustomMPHexEditor::TypeCharacter(QChar key)
{
    const char16_t code = key.unicode();
    quint16 value = code;
    if (!m_unicodeChars) {
        // The key in the system code page, the one the character field shows.
        const int systemCode = CharToSystemCode(code);
        if (systemCode < 0) {
            if (OnInvalidKey)
                OnInvalidKey(*this);
            return false;
        }
        value = TranslateTypedChar(m_translation, static_cast<quint8>(systemCode));
    }
    if (value < 256 && IsMaskedChar(value)) {
        if (OnInvalidKey)
            OnInvalidKey(*this);
        return false;
    }
    if (m_unicodeChars && m_unicodeBigEndian)
        value = quint16((value >> 8) | (value << 8));

    const qint64 unit = m_unicodeChars ? 2 : m_bytesPerUnit;
    const qint64 position = GetCursorPos();
    std::vector<char> bytes(static_cast<size_t>(unit), 0);
    std::memcpy(bytes.data(), &value, m_unicodeChars ? 2 : 1);

    if (!m_insertMode) {
        ClearSelectionState();
        if (m_unicodeChars) {
            if (position + 2 > m_data.GetSize())
                return false;
            quint16 old = 0;
            m_data.ReadBufferAt(&old, position, 2);
            IntChangeWideChar(old, value, position);
        } else {
            IntChangeByte(GetDataAt(position), static_cast<quint8>(value), position);
        }
    } else if (HasSelection()) {
        const qint64 start = m_selLow;
        ReplaceSelection(bytes.data(), unit, {}, false);
        MoveCursor(start, true);
    } else if (position >= m_data.GetSize()) {
        AppendBuffer(bytes.data(), unit, {}, false);
        MoveCursor(position, true);
    } else if (position % unit != 0) {
        IntChangeByte(GetDataAt(position), static_cast<quint8>(value), position);
    } else {
        InsertBuffer(bytes.data(), unit, position, {}, false);
        MoveCursor(position, true);
    }
    MoveRight(false);
    return true;
}

} // namespace kestrum
