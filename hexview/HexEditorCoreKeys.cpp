#include "hexview/HexEditorCore.h"

#include "hexview/Translation.h"

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

bool HexEditorCore::keyDown(int key, Qt::KeyboardModifiers modifiers)
{
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool alt = modifiers & Qt::AltModifier;
    if (!ctrl && !shift && !alt && key != Qt::Key_Shift && !m_insertMode)
        resetSelection();

    switch (key) {
    case Qt::Key_Insert:
        if (ctrl || shift || alt)
            return false;
        setInsertMode(!m_insertMode);
        return true;
    case Qt::Key_Delete:
        if (m_readOnlyView || alt)
            return true;
        if (m_insertMode || ctrl) {
            if (hasSelection())
                deleteSelection();
            else
                eraseUnit(false);
        }
        return true;
    case Qt::Key_Backspace:
        if (m_insertMode && !m_readOnlyView) {
            if (hasSelection())
                deleteSelection();
            else if (isCursorOnSecondColumn())
                eraseHalfTypedUnit();
            else
                eraseUnit(true);
            return true;
        }
        moveLeft(shift);
        return true;
    default:
        break;
    }

    if (ctrl && !alt && key >= Qt::Key_0 && key <= Qt::Key_9) {
        const int index = key - Qt::Key_0;
        if (shift)
            toggleBookmark(index, cursorPosition(), cursorInCharField());
        else
            gotoBookmark(index);
        return true;
    }
    // Ctrl+Z undoes; Ctrl+Shift+Z and Ctrl+Y redo.
    if (ctrl && !alt && (key == Qt::Key_Z || (key == Qt::Key_Y && !shift))) {
        if (shift || key == Qt::Key_Y) {
            if (canRedo())
                redo();
        } else if (canUndo()) {
            undo();
        }
        return true;
    }
    if (ctrl && !alt && !shift && key == Qt::Key_A) {
        selectAll();
        return true;
    }
    return navigationKey(key, modifiers);
}

void HexEditorCore::eraseHalfTypedUnit()
{
    // The caret stands inside the unit that the first digit inserted: that unit goes, and the
    // caret returns to its first column.
    const qint64 position = cursorPosition();
    if (position >= m_data.size())
        return;
    eraseUnit(false);
    placeCursor(position - position % m_bytesPerUnit, false);
    clampCursor();
    ensureCursorVisible();
    notifySelectionChanged();
}

void HexEditorCore::moveRight(bool selecting)
{
    const qint64 position = cursorPosition();
    const qint64 maxPos = maxCursorPos();
    GridCell target = m_cursor;
    if (!cursorInCharField()) {
        if (!isCursorOnSecondColumn()) {
            if (position < m_data.size())
                ++target.col;
        } else if (position + 1 <= maxPos) {
            target = cellAtPosition(position + 1, false);
        }
    } else {
        const qint64 step = (m_unicodeChars || selecting) ? m_bytesPerUnit : 1;
        const qint64 next = position - position % step + step;
        if (next <= maxPos)
            target = cellAtPosition(next, true);
    }
    applyCursorMove(target, selecting);
}

void HexEditorCore::moveLeft(bool selecting)
{
    const qint64 position = cursorPosition();
    GridCell target = m_cursor;
    if (!cursorInCharField()) {
        if (isCursorOnSecondColumn())
            --target.col;
        else if (position > 0) {
            target = cellAtPosition(position - 1, false);
            ++target.col;
        }
    } else {
        const qint64 step = (m_unicodeChars || selecting) ? m_bytesPerUnit : 1;
        const qint64 aligned = position - position % step;
        const qint64 previous = aligned < position ? aligned : aligned - step;
        if (previous >= 0)
            target = cellAtPosition(previous, true);
    }
    applyCursorMove(target, selecting);
}

bool HexEditorCore::navigationKey(int key, Qt::KeyboardModifiers modifiers)
{
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool inChar = cursorInCharField();
    const qint64 position = cursorPosition();
    const qint64 rowStart = position - position % m_bytesPerRow;
    const qint64 maxPos = std::max<qint64>(maxCursorPos(), 0);
    const qint64 b = m_bytesPerRow;
    auto moveTo = [&](qint64 target, bool charField) {
        GridCell cell = cellAtPosition(std::clamp<qint64>(target, 0, maxPos), charField);
        applyCursorMove(cell, shift);
    };
    // Keeps the column: a row up or down moves the position by whole rows.
    auto moveRows = [&](qint64 rows) {
        GridCell cell = m_cursor;
        const qint64 lastRow = maxPos / b + 2;
        cell.row = static_cast<int>(std::clamp<qint64>(cell.row + rows, 2, lastRow));
        if (positionAtCell(cell) > maxPos)
            cell = cellAtPosition(maxPos, inChar);
        applyCursorMove(cell, shift);
    };

    switch (key) {
    case Qt::Key_Right:
        if (ctrl)
            moveTo(std::min(rowStart + b - 1, maxPos), true);
        else
            moveRight(shift);
        return true;
    case Qt::Key_Left:
        if (ctrl)
            moveTo(rowStart, false);
        else
            moveLeft(shift);
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
            const qint64 dataRows = rowCount() - 2;
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
        applyCursorMove(cellAtPosition(position, !inChar), false);
        return true;
    case Qt::Key_T:
        if (!ctrl || shift)
            return false;
        applyCursorMove(cellAtPosition(position, !inChar), false);
        return true;
    default:
        break;
    }
    return false;
}

bool HexEditorCore::keyPress(QChar key)
{
    if (m_readOnlyView || isMaskedChar(key.unicode()))
        return false;
    if (!m_insertMode && cursorPosition() >= m_data.size())
        return false;
    return cursorInCharField() ? typeCharacter(key) : typeHexDigit(key);
}

bool HexEditorCore::typeHexDigit(QChar key)
{
    const int digit = hexDigitValue(key);
    if (digit < 0) {
        Q_EMIT invalidKey();
        return false;
    }
    if (!m_insertMode)
        clearSelectionState();
    const bool selection = hasSelection();
    const qint64 position = selection ? m_selLow : cursorPosition();
    const bool firstColumn = !isCursorOnSecondColumn();
    const bool intoHigh = (firstColumn != m_swapNibbles) || selection;
    const qint64 unit = m_bytesPerUnit;
    const bool insert = m_insertMode && (selection || (firstColumn && position % unit == 0));

    if (!insert) {
        if (position >= m_data.size())
            return false;
        const quint8 old = dataAt(position);
        const quint8 value = intoHigh ? quint8((digit << 4) | (old & 0x0F)) : quint8((old & 0xF0) | digit);
        changeByte(old, value, position);
    } else {
        std::vector<char> bytes(static_cast<size_t>(unit), 0);
        bytes[0] = static_cast<char>(m_swapNibbles ? digit : digit << 4);
        if (m_data.size() == 0)
            appendBuffer(bytes.data(), unit, {}, false);
        else if (selection)
            replaceSelection(bytes.data(), unit, {}, false);
        else
            insertBuffer(bytes.data(), unit, position, {}, false);
        placeCursor(position, false);
    }
    moveRight(false);
    return true;
}

bool HexEditorCore::typeCharacter(QChar key)
{
    const char16_t code = key.unicode();
    quint16 value = code;
    if (!m_unicodeChars) {
        // The key in the system code page, the one the character field shows.
        const int systemCode = charToSystemCode(code);
        if (systemCode < 0) {
            Q_EMIT invalidKey();
            return false;
        }
        value = translateTypedChar(m_translation, static_cast<quint8>(systemCode));
    }
    if (value < 256 && isMaskedChar(value)) {
        Q_EMIT invalidKey();
        return false;
    }
    if (m_unicodeChars && m_unicodeBigEndian)
        value = quint16((value >> 8) | (value << 8));

    const qint64 unit = m_unicodeChars ? 2 : m_bytesPerUnit;
    const qint64 position = cursorPosition();
    std::vector<char> bytes(static_cast<size_t>(unit), 0);
    std::memcpy(bytes.data(), &value, m_unicodeChars ? 2 : 1);

    if (!m_insertMode) {
        clearSelectionState();
        if (m_unicodeChars) {
            if (position + 2 > m_data.size())
                return false;
            quint16 old = 0;
            m_data.readBufferAt(&old, position, 2);
            changeWideChar(old, value, position);
        } else {
            changeByte(dataAt(position), static_cast<quint8>(value), position);
        }
    } else if (hasSelection()) {
        const qint64 start = m_selLow;
        replaceSelection(bytes.data(), unit, {}, false);
        placeCursor(start, true);
    } else if (position >= m_data.size()) {
        appendBuffer(bytes.data(), unit, {}, false);
        placeCursor(position, true);
    } else if (position % unit != 0) {
        changeByte(dataAt(position), static_cast<quint8>(value), position);
    } else {
        insertBuffer(bytes.data(), unit, position, {}, false);
        placeCursor(position, true);
    }
    moveRight(false);
    return true;
}

} // namespace kestrum
