#include "hexview/TCustomMPHexEditor.h"

#include "hexview/EMPHexEditor.h"
#include "hexview/MPHRadix.h"
#include "hexview/MPHTranslation.h"
#include "hexview/TMPHUndoStorage.h"

#include <QFileDevice>
#include <QFileInfo>
#include <QIODevice>
#include <QMetaObject>
#include <QTemporaryFile>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace kestrum {

namespace {

[[noreturn]] void raise(const char* text)
{
    throw EMPHexEditor(QString::fromLatin1(text));
}

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

// Streams the bytes produced by `next` (count of them) through a temporary file, 512 bytes at a
// time, and writes them back over the data from `position` on. `next` may read the data: nothing
// is written back before the whole tail is in the file.
template<typename Next>
void streamTailThroughFile(TMPHMemoryStream& data, qint64 position, qint64 count, qint64 newSize, Next next)
{
    QTemporaryFile file;
    if (!file.open())
        throw EMPHexEditor(file.errorString());
    std::array<char, MPH_NIBBLE_BLOCK> block {};
    for (qint64 done = 0; done < count;) {
        const qint64 n = std::min<qint64>(MPH_NIBBLE_BLOCK, count - done);
        for (qint64 i = 0; i < n; ++i)
            block[i] = static_cast<char>(next(position + done + i));
        if (file.write(block.data(), n) != n)
            throw EMPHexEditor(file.errorString());
        done += n;
    }
    if (!file.flush() || !file.seek(0))
        throw EMPHexEditor(file.errorString());
    data.SetSize(newSize);
    for (qint64 done = 0; done < count;) {
        const qint64 n = std::min<qint64>(MPH_NIBBLE_BLOCK, count - done);
        if (file.read(block.data(), n) != n)
            throw EMPHexEditor(file.errorString());
        std::memcpy(data.Memory() + position + done, block.data(), static_cast<size_t>(n));
        done += n;
    }
}

} // namespace

TCustomMPHexEditor::TCustomMPHexEditor(QObject* parent)
    : QObject(parent)
    , m_undo(std::make_unique<TMPHUndoStorage>(*this))
{
    GenerateOffsetFormat(m_offsetFormatText);
    UpdateDisplayState();
}

TCustomMPHexEditor::~TCustomMPHexEditor()
{
    m_undo->Reset();
}

// ---------------------------------------------------------------------------------------------
// Data access

void TCustomMPHexEditor::LoadFromStream(QIODevice& stream)
{
    try {
        const bool sized = !stream.isSequential();
        qint64 total = 0;
        if (sized) {
            if (!stream.seek(0))
                throw EMPHexEditor(QString::fromLatin1(MPH_ERR_STREAM_READ));
            total = stream.size();
        }
        m_data.ClearForRefill(total);
        const auto* file = qobject_cast<const QFileDevice*>(&stream);
        const QString name = file && !file->fileName().isEmpty() ? file->fileName() : m_fileName;
        int lastPercent = -1;
        for (;;) {
            const qint64 have = m_data.GetSize();
            const qint64 want = sized ? std::min(MPH_LOAD_SLICE, total - have) : MPH_LOAD_SLICE;
            if (want <= 0)
                break;
            m_data.SetSize(have + want);
            const qint64 got = stream.read(m_data.Memory() + have, want);
            if (got < 0)
                throw EMPHexEditor(QString::fromLatin1(MPH_ERR_STREAM_READ));
            m_data.SetSize(have + got);
            if (got == 0)
                break;
            if (sized && OnProgress) {
                const int percent = static_cast<int>((have + got) * 100 / total);
                if (percent != lastPercent) {
                    lastPercent = percent;
                    bool cancel = false;
                    OnProgress(*this, pkLoad, name, static_cast<quint8>(percent), cancel);
                    if (cancel)
                        raise(MPH_ERR_CANCELLED);
                }
            }
        }
    } catch (...) {
        m_data.Clear();
        m_undo->Reset();
        m_changedMarks.ClearAll();
        ClearSelectionState();
        m_cursor = TMPHGridCell {};
        m_topRow = 0;
        Changed();
        throw;
    }
    if (m_undo->UpdateCount() == 0)
        m_undo->Reset();
    m_changedMarks.ClearAll();
    m_modified = false;
    ClearSelectionState();
    m_cursor = TMPHGridCell {};
    m_topRow = 0;
    ClearBookmarksBeyondData();
    Changed();
    SelectionChanged();
}

bool TCustomMPHexEditor::GetModified() const
{
    if (!m_modified)
        return false;
    return m_data.GetSize() > 0 || (!m_fileName.isEmpty() && QFileInfo::exists(m_fileName));
}

void TCustomMPHexEditor::SetModified(bool modified)
{
    m_modified = modified;
    if (!modified) {
        m_undo->Reset();
        m_changedMarks.ClearAll();
    }
    Repaint();
}

void TCustomMPHexEditor::ReadBuffer(void* destination, qint64 position, qint64 count) const
{
    m_data.ReadBufferAt(destination, position, count);
}

quint8 TCustomMPHexEditor::GetDataAt(qint64 position) const
{
    return static_cast<quint8>(*m_data.GetAddress(position, 1));
}

void TCustomMPHexEditor::SetDataAt(qint64 position, quint8 value)
{
    *m_data.GetAddress(position, 1) = static_cast<char>(value);
    Changed();
}

void TCustomMPHexEditor::WriteBuffer(const void* source, qint64 position, qint64 count)
{
    m_data.WriteBufferAt(source, position, count);
    Changed();
}

bool TCustomMPHexEditor::HasChanged(qint64 position) const
{
    return !m_insertMode && m_changedMarks.Get(position);
}

void TCustomMPHexEditor::SetChanged(qint64 position, bool changed)
{
    if (m_insertMode)
        m_changedMarks.ClearAll();
    m_changedMarks.Set(position, changed);
}

// ---------------------------------------------------------------------------------------------
// Primitives without undo

void TCustomMPHexEditor::InternalInsert(qint64 position, const void* buffer, qint64 count)
{
    if (count <= 0)
        return;
    const qint64 oldSize = m_data.GetSize();
    if (position < 0 || position > oldSize)
        raise(MPH_ERR_DATA_BOUNDS);
    m_data.SetSize(oldSize + count);
    char* bytes = m_data.Memory();
    std::memmove(bytes + position + count, bytes + position, static_cast<size_t>(oldSize - position));
    std::memcpy(bytes + position, buffer, static_cast<size_t>(count));
}

void TCustomMPHexEditor::InternalDelete(qint64 position, qint64 count)
{
    if (count <= 0)
        return;
    m_data.CheckBounds(position, count);
    const qint64 oldSize = m_data.GetSize();
    char* bytes = m_data.Memory();
    std::memmove(bytes + position, bytes + position + count, static_cast<size_t>(oldSize - position - count));
    m_data.SetSize(oldSize - count);
}

void TCustomMPHexEditor::InternalReplaceAll(const void* buffer, qint64 count)
{
    m_data.SetSize(0);
    m_data.SetSize(count);
    if (count > 0)
        std::memcpy(m_data.Memory(), buffer, static_cast<size_t>(count));
}

void TCustomMPHexEditor::InternalInsertNibble(qint64 position, bool highNibble)
{
    const qint64 oldSize = m_data.GetSize();
    const auto* bytes = reinterpret_cast<const quint8*>(m_data.Memory());
    // Output byte i (i >= position) of the data shifted by one nibble towards the end.
    auto next = [bytes, position, oldSize, highNibble](qint64 i) -> quint8 {
        const quint8 current = i < oldSize ? bytes[i] : 0;
        if (i == position)
            return highNibble ? quint8(current >> 4) : quint8(current & 0xF0);
        const quint8 previous = bytes[i - 1];
        return quint8(((previous & 0x0F) << 4) | (current >> 4));
    };
    streamTailThroughFile(m_data, position, oldSize + 1 - position, oldSize + 1, next);
}

void TCustomMPHexEditor::InternalDeleteNibble(qint64 position, bool highNibble)
{
    const qint64 size = m_data.GetSize();
    const auto* bytes = reinterpret_cast<const quint8*>(m_data.Memory());
    // Output byte i (i >= position) of the data shifted by one nibble towards the start.
    auto next = [bytes, position, size, highNibble](qint64 i) -> quint8 {
        const quint8 following = i + 1 < size ? quint8(bytes[i + 1] >> 4) : 0;
        if (i == position && !highNibble)
            return quint8((bytes[i] & 0xF0) | following);
        return quint8(((bytes[i] & 0x0F) << 4) | following);
    };
    streamTailThroughFile(m_data, position, size - position, size, next);
}

void TCustomMPHexEditor::InternalSetInsertMode(bool insertMode)
{
    m_insertMode = insertMode && CanInsert();
}

// ---------------------------------------------------------------------------------------------
// Editing

void TCustomMPHexEditor::IntChangeByte(quint8 oldValue, quint8 newValue, qint64 position, const QString& description)
{
    if (oldValue == newValue)
        return;
    m_data.CheckBounds(position, 1);
    CreateUndo(ufKindBytesChanged, position, 1, 0, description);
    m_data.Memory()[position] = static_cast<char>(newValue);
    if (!m_insertMode)
        SetChanged(position, true);
    Changed();
}

void TCustomMPHexEditor::IntChangeWideChar(
    quint16 oldValue, quint16 newValue, qint64 position, const QString& description)
{
    if (oldValue == newValue)
        return;
    m_data.CheckBounds(position, 2);
    CreateUndo(ufKindBytesChanged, position, 2, 0, description);
    std::memcpy(m_data.Memory() + position, &newValue, 2);
    if (!m_insertMode) {
        if ((oldValue & 0xFF) != (newValue & 0xFF))
            SetChanged(position, true);
        if ((oldValue >> 8) != (newValue >> 8))
            SetChanged(position + 1, true);
    }
    Changed();
}

void TCustomMPHexEditor::InsertBuffer(
    const void* buffer, qint64 count, qint64 position, const QString& description, bool moveCursor)
{
    if (!buffer || count <= 0)
        return;
    if (position < 0 || position > m_data.GetSize())
        raise(MPH_ERR_DATA_BOUNDS);
    CreateUndo(ufKindInsertBuffer, position, count, 0, description);
    InternalInsert(position, buffer, count);
    m_changedMarks.Truncate(position);
    ClearBookmarksBeyondData();
    SetSelection(position, position + count - 1);
    if (moveCursor)
        MoveCursor(position + count - 1, GetInCharField());
    EnsureCursorVisible();
    Changed();
    SelectionChanged();
}

void TCustomMPHexEditor::AppendBuffer(const void* buffer, qint64 count, const QString& description, bool moveCursor)
{
    if (!buffer || count <= 0)
        return;
    const qint64 position = m_data.GetSize();
    CreateUndo(ufKindAppendBuffer, position, count, 0, description);
    InternalInsert(position, buffer, count);
    SetSelection(position, position + count - 1);
    if (moveCursor)
        MoveCursor(position + count - 1, GetInCharField());
    EnsureCursorVisible();
    Changed();
    SelectionChanged();
}

void TCustomMPHexEditor::ReplaceSelection(
    const void* buffer, qint64 count, const QString& description, bool moveCursor)
{
    if (!HasSelection()) {
        InsertBuffer(buffer, count, GetCursorPos(), description, moveCursor);
        return;
    }
    if (!buffer)
        count = 0;
    count = std::max<qint64>(count, 0);
    if (IsFileSizeFixed()) {
        if (count == 0)
            return;
        if (count > GetSelCount())
            count = GetSelCount();
        else if (count < GetSelCount())
            m_selHigh = m_selLow + count - 1;
    }
    const qint64 position = m_selLow;
    const qint64 selected = GetSelCount();
    CreateUndo(ufKindReplace, position, count, selected, description);
    InternalDelete(position, selected);
    InternalInsert(position, buffer, count);
    m_changedMarks.Truncate(position);
    ClearBookmarksBeyondData();
    if (count > 0) {
        SetSelection(position, position + count - 1);
        if (moveCursor)
            MoveCursor(position + count - 1, GetInCharField());
    } else {
        ClearSelectionState();
    }
    ClampCursor();
    EnsureCursorVisible();
    Changed();
    SelectionChanged();
}

void TCustomMPHexEditor::DeleteSelection(const QString& description)
{
    qint64 position = GetCursorPos();
    qint64 count = 1;
    if (HasSelection()) {
        position = m_selLow;
        count = GetSelCount();
    }
    if (position >= m_data.GetSize())
        return; // nothing under the cursor (one past the end in insert mode)
    CreateUndo(ufKindByteRemoved, position, count, 0, description);
    InternalDelete(position, count);
    m_changedMarks.Truncate(position);
    ClearBookmarksBeyondData();
    ClearSelectionState();
    ClampCursor();
    EnsureCursorVisible();
    Changed();
    SelectionChanged();
}

void TCustomMPHexEditor::InternalErase(bool backwards, const QString& description)
{
    const qint64 unit = m_bytesPerUnit;
    const qint64 cursor = GetCursorPos();
    qint64 start = 0;
    if (backwards) {
        if (cursor <= 0)
            return;
        start = (cursor - 1) - (cursor - 1) % unit;
    } else {
        start = cursor - cursor % unit;
    }
    const qint64 count = std::min(unit, m_data.GetSize() - start);
    if (count <= 0)
        return;
    CreateUndo(ufKindByteRemoved, start, count, 0, description);
    InternalDelete(start, count);
    m_changedMarks.Truncate(start);
    ClearBookmarksBeyondData();
    ClearSelectionState();
    if (backwards)
        MoveCursor(start, GetInCharField());
    ClampCursor();
    EnsureCursorVisible();
    Changed();
    SelectionChanged();
}

bool TCustomMPHexEditor::InsertNibble(qint64 position, bool highNibble, const QString& description)
{
    if (m_data.GetSize() == 0) {
        const char zero = 0;
        AppendBuffer(&zero, 1, description, false);
        return true;
    }
    if (position < 0 || position >= m_data.GetSize())
        return false;
    CreateUndo(ufKindNibbleInsert, position, 1, 0, description);
    InternalInsertNibble(position, highNibble);
    m_changedMarks.Truncate(position);
    ClearBookmarksBeyondData();
    Changed();
    return true;
}

bool TCustomMPHexEditor::DeleteNibble(qint64 position, bool highNibble, const QString& description)
{
    if (position < 0 || position >= m_data.GetSize())
        return false;
    CreateUndo(ufKindNibbleDelete, position, 1, 0, description);
    InternalDeleteNibble(position, highNibble);
    m_changedMarks.Truncate(position);
    Changed();
    return true;
}

void TCustomMPHexEditor::ConvertRange(
    qint64 from, qint64 to, TMPHTranslationKind target, TMPHTranslationKind source, const QString& description)
{
    if (target == source || from < 0 || to < from || to >= m_data.GetSize())
        return;
    const qint64 count = to - from + 1;
    CreateUndo(ufKindConvert, from, count, 0, description);
    m_data.TranslateToAnsi(source, from, count);
    m_data.TranslateFromAnsi(target, from, count);
    Changed();
}

void TCustomMPHexEditor::SetDataSize(qint64 size)
{
    size = std::max<qint64>(size, 0);
    const qint64 oldSize = m_data.GetSize();
    if (oldSize > 0 && size > 0 && IsFileSizeFixed())
        raise(MPH_ERR_FIXED_SIZE);
    if (size == oldSize)
        return;
    const bool wasOverridden = m_fixedSizeOverride;
    m_fixedSizeOverride = true;
    try {
        if (size < oldSize) {
            CreateUndo(ufKindByteRemoved, size, oldSize - size, 0, {});
            m_data.SetSize(size);
            m_changedMarks.Truncate(size);
        } else {
            CreateUndo(ufKindAppendBuffer, oldSize, size - oldSize, 0, {});
            m_data.SetSize(size);
            std::memset(m_data.Memory() + oldSize, m_fillByte, static_cast<size_t>(size - oldSize));
        }
    } catch (...) {
        m_fixedSizeOverride = wasOverridden;
        throw;
    }
    m_fixedSizeOverride = wasOverridden;
    m_modified = true;
    ClearBookmarksBeyondData();
    if (HasSelection() && m_selHigh >= size)
        ClearSelectionState();
    ClampCursor();
    EnsureCursorVisible();
    Changed();
}

// ---------------------------------------------------------------------------------------------
// Grid geometry and cursor

int TCustomMPHexEditor::ColCount() const
{
    const int b = m_bytesPerRow;
    return m_unicodeChars ? 2 * b + b / 2 + 3 : 3 * b + 3;
}

int TCustomMPHexEditor::RowCount() const
{
    const qint64 size = m_data.GetSize();
    if (size == 0)
        return 3;
    qint64 rows = (size + m_bytesPerRow - 1) / m_bytesPerRow + 2;
    if (m_insertMode && size % m_bytesPerRow == 0)
        ++rows;
    return static_cast<int>(rows);
}

qint64 TCustomMPHexEditor::GetPosAtCursor(TMPHGridCell cell) const
{
    const qint64 rowStart = qint64(cell.row - 2) * m_bytesPerRow;
    qint64 position = 0;
    if (IsCharColumn(cell.col))
        position = qint64(cell.col - CharFirstColumn()) * (m_unicodeChars ? 2 : 1) + rowStart;
    else
        position = (cell.col - 2) / 2 + rowStart;
    return std::max<qint64>(position, 0);
}

TMPHGridCell TCustomMPHexEditor::GetCursorAtPos(qint64 position, bool inCharField) const
{
    position = std::max<qint64>(position, 0);
    const int inRow = static_cast<int>(position % m_bytesPerRow);
    TMPHGridCell cell;
    cell.row = static_cast<int>(position / m_bytesPerRow + 2);
    if (inCharField)
        cell.col = (m_unicodeChars ? inRow / 2 : inRow) + CharFirstColumn();
    else
        cell.col = inRow * 2 + 2;
    return cell;
}

qint64 TCustomMPHexEditor::MaxCursorPos() const
{
    return m_insertMode ? m_data.GetSize() : m_data.GetSize() - 1;
}

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

void TCustomMPHexEditor::SetTopRow(qint64 row)
{
    const qint64 dataRows = RowCount() - 2;
    row = std::clamp<qint64>(row, 0, std::max<qint64>(0, dataRows - m_visibleRows));
    if (row != m_topRow) {
        m_topRow = row;
        Repaint();
    }
}

void TCustomMPHexEditor::SetVisibleRowCount(int rows)
{
    m_visibleRows = std::max(rows, 1);
    EnsureCursorVisible();
}

void TCustomMPHexEditor::EnsureCursorVisible()
{
    const qint64 row = m_cursor.row - 2;
    if (row < m_topRow)
        m_topRow = row;
    else if (row >= m_topRow + m_visibleRows)
        m_topRow = row - m_visibleRows + 1;
    m_topRow = std::max<qint64>(m_topRow, 0);
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
        raise(MPH_ERR_SEL_START);
    ClearSelectionState();
    MoveCursor(position, GetInCharField());
    EnsureCursorVisible();
    SelectionChanged();
}

void TCustomMPHexEditor::SetSelEnd(qint64 position)
{
    if (position < -1 || position >= m_data.GetSize())
        raise(MPH_ERR_SEL_END);
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

// ---------------------------------------------------------------------------------------------
// Bookmarks

void TCustomMPHexEditor::CheckBookmarkIndex(int index) const
{
    if (index < 0 || index >= MPH_BOOKMARK_COUNT)
        raise(MPH_ERR_BOOKMARK_INDEX);
}

TMPHBookmark TCustomMPHexEditor::GetBookmark(int index) const
{
    CheckBookmarkIndex(index);
    return m_bookmarks[index];
}

void TCustomMPHexEditor::SetBookmark(int index, const TMPHBookmark& bookmark)
{
    SetBookmarkVals(index, bookmark.mPosition, bookmark.mInCharField);
}

void TCustomMPHexEditor::SetBookmarkVals(int index, qint64 position, bool inCharField)
{
    CheckBookmarkIndex(index);
    TMPHBookmark& bookmark = m_bookmarks[index];
    if (bookmark.mPosition == position && bookmark.mInCharField == inCharField) {
        bookmark.mPosition = -1;
    } else {
        bookmark.mPosition = static_cast<qint32>(position);
        bookmark.mInCharField = inCharField;
    }
    BookmarkChanged();
}

void TCustomMPHexEditor::GotoBookmark(int index)
{
    CheckBookmarkIndex(index);
    TMPHBookmark& bookmark = m_bookmarks[index];
    if (bookmark.mPosition < 0)
        return;
    if (bookmark.mPosition > MaxCursorPos()) {
        bookmark.mPosition = -1;
        BookmarkChanged();
        return;
    }
    ClearSelectionState();
    MoveCursor(bookmark.mPosition, bookmark.mInCharField);
    EnsureCursorVisible();
    SelectionChanged();
}

void TCustomMPHexEditor::ShiftBookmarks(qint64 from, qint64 delta)
{
    if (delta == 0)
        return;
    bool moved = false;
    for (TMPHBookmark& bookmark : m_bookmarks) {
        if (bookmark.mPosition >= 0 && bookmark.mPosition >= from) {
            bookmark.mPosition = static_cast<qint32>(std::max<qint64>(bookmark.mPosition + delta, -1));
            moved = true;
        }
    }
    if (moved)
        BookmarkChanged();
}

void TCustomMPHexEditor::ClearBookmarksBeyondData()
{
    bool cleared = false;
    const qint64 maxPos = MaxCursorPos();
    for (TMPHBookmark& bookmark : m_bookmarks) {
        if (bookmark.mPosition >= 0 && bookmark.mPosition > maxPos) {
            bookmark.mPosition = -1;
            cleared = true;
        }
    }
    if (cleared)
        BookmarkChanged();
}

void TCustomMPHexEditor::AdjustBookmarks(qint64 from, qint64 delta)
{
    ShiftBookmarks(from, delta);
    ClearBookmarksBeyondData();
}

// ---------------------------------------------------------------------------------------------
// Undo

bool TCustomMPHexEditor::CanCreateUndo(TMPHUndoFlag kind, qint64 count, qint64 replCount)
{
    if (m_data.GetSize() == 0) {
        if (kind == ufKindCombined)
            return m_undo->Count() >= count;
        if (kind != ufKindInsertBuffer && kind != ufKindAppendBuffer && kind != ufKindAllData)
            return false;
    }
    if (IsFileSizeFixed()) {
        switch (kind) {
        case ufKindByteRemoved:
        case ufKindInsertBuffer:
        case ufKindAppendBuffer:
        case ufKindNibbleInsert:
        case ufKindNibbleDelete:
            return false;
        case ufKindReplace:
            return count == replCount;
        default:
            break;
        }
    }
    return true;
}

void TCustomMPHexEditor::CreateUndo(
    TMPHUndoFlag kind, qint64 position, qint64 count, qint64 replCount, const QString& description)
{
    if (!CanCreateUndo(kind, count, replCount))
        raise(MPH_ERR_UNDO);
    m_undo->CreateUndo(kind, position, count, replCount, description);
    m_modified = true;
}

bool TCustomMPHexEditor::Undo()
{
    if (!GetCanUndo())
        return false;
    return m_undo->Undo();
}

bool TCustomMPHexEditor::Redo()
{
    if (!GetCanRedo())
        return false;
    return m_undo->Redo();
}

bool TCustomMPHexEditor::GetCanUndo() const
{
    return !m_readOnlyView && m_undo->CanUndo();
}

bool TCustomMPHexEditor::GetCanRedo() const
{
    return !m_readOnlyView && m_undo->CanRedo();
}

QString TCustomMPHexEditor::GetUndoDescription() const
{
    if (!GetCanUndo())
        return QStringLiteral("No undo");
    return m_undo->Description();
}

void TCustomMPHexEditor::ResetUndo()
{
    m_undo->Reset();
}

void TCustomMPHexEditor::CombineUndo(int count, const QString& description)
{
    if (count < 1)
        return;
    CreateUndo(ufKindCombined, GetCursorPos(), count, 0, description);
}

void TCustomMPHexEditor::AddSelectionUndo(qint64 position, qint64 count)
{
    CreateUndo(ufKindSelection, position, count, 0, {});
}

int TCustomMPHexEditor::UndoBeginUpdate()
{
    return m_undo->BeginUpdate();
}

int TCustomMPHexEditor::UndoEndUpdate()
{
    return m_undo->EndUpdate();
}

// ---------------------------------------------------------------------------------------------
// Notifications

void TCustomMPHexEditor::Repaint()
{
    UpdateDisplayState();
    Q_EMIT invalidated();
}

void TCustomMPHexEditor::Changed()
{
    if (OnChange)
        OnChange(*this);
    Q_EMIT changed();
    Repaint();
}

void TCustomMPHexEditor::BookmarkChanged()
{
    if (OnBookmarkChanged)
        OnBookmarkChanged(*this);
    Repaint();
}

void TCustomMPHexEditor::SelectionChanged()
{
    Repaint();
    // Many selection changes in one burst (a held Shift+Right) make one notification.
    if (m_selectionChangedCount++ == 0)
        QMetaObject::invokeMethod(this, &TCustomMPHexEditor::PostSelectionChanged, Qt::QueuedConnection);
}

void TCustomMPHexEditor::PostSelectionChanged()
{
    m_selectionChangedCount = 0;
    if (OnSelectionChanged)
        OnSelectionChanged(*this);
}

// ---------------------------------------------------------------------------------------------
// Modes and settings

void TCustomMPHexEditor::SetReadOnlyView(bool readOnly)
{
    m_readOnlyView = readOnly;
    if (readOnly)
        SetInsertMode(false);
    Repaint();
}

void TCustomMPHexEditor::SetInsertMode(bool insertMode)
{
    const bool effective = insertMode && CanInsert();
    if (effective == m_insertMode)
        return;
    m_changedMarks.ClearAll();
    m_insertMode = effective;
    if (!effective && m_data.GetSize() > 0 && GetCursorPos() >= m_data.GetSize())
        MoveCursor(m_data.GetSize() - 1, GetInCharField());
    ClampCursor();
    Repaint();
}

void TCustomMPHexEditor::SetAllowInsertMode(bool allow)
{
    m_allowInsertMode = allow;
    if (!allow)
        SetInsertMode(false);
}

void TCustomMPHexEditor::SetNoSizeChange(bool fixed)
{
    m_noSizeChange = fixed;
    if (fixed)
        SetInsertMode(false);
}

void TCustomMPHexEditor::SetBytesPerUnit(int bytes)
{
    if (bytes != 1 && bytes != 2 && bytes != 4 && bytes != 8)
        throw EMPHexEditor(QString::fromLatin1(MPH_ERR_BYTES_PER_UNIT).arg(bytes));
    if (m_unicodeChars && bytes != 2)
        raise(MPH_ERR_UNICODE_UNIT);
    m_bytesPerUnit = bytes;
    Repaint();
}

void TCustomMPHexEditor::SetUnicodeChars(bool unicode)
{
    if (unicode == m_unicodeChars)
        return;
    if (unicode) {
        if (m_bytesPerRow % 2)
            raise(MPH_ERR_BYTES_PER_LINE);
        if (m_bytesPerColumn % 2)
            raise(MPH_ERR_BYTES_PER_COLUMN);
        if (m_data.GetSize() % 2)
            raise(MPH_ERR_UNICODE_ODD_SIZE);
    }
    const qint64 position = GetCursorPos();
    const bool inCharField = GetInCharField();
    m_unicodeChars = unicode;
    if (unicode) {
        m_translation = tkAsIs;
        m_bytesPerUnit = 2;
    }
    MoveCursor(unicode && inCharField ? position - position % 2 : position, inCharField);
    Repaint();
}

void TCustomMPHexEditor::SetUnicodeBigEndian(bool bigEndian)
{
    m_unicodeBigEndian = bigEndian;
    Repaint();
}

void TCustomMPHexEditor::SetSwapNibbles(bool swap)
{
    m_swapNibbles = swap;
    Repaint();
}

void TCustomMPHexEditor::SetTranslation(TMPHTranslationKind kind)
{
    if (m_unicodeChars && kind != tkAsIs)
        raise(MPH_ERR_UNICODE_TRANSLATION);
    m_translation = kind;
    Repaint();
}

void TCustomMPHexEditor::SetMaskChar(QChar maskChar)
{
    m_maskChar = maskChar;
    Repaint();
}

void TCustomMPHexEditor::SetBytesPerRow(int bytes)
{
    if (bytes < 1 || bytes > 256 || (m_unicodeChars && bytes % 2))
        raise(MPH_ERR_BYTES_PER_LINE);
    if (!m_autoBytesPerRow)
        InternalSetBytesPerRow(bytes);
}

void TCustomMPHexEditor::InternalSetBytesPerRow(int bytes)
{
    if (bytes == m_bytesPerRow)
        return;
    const qint64 position = GetCursorPos();
    const bool inCharField = GetInCharField();
    const bool second = IsCursorOnSecondColumn();
    const int old = m_bytesPerRow;
    m_bytesPerRow = bytes;
    if (m_offsetFormat.Has(offCalcRow))
        RegenerateOffsetFormat([&] { m_bytesPerRow = old; });
    MoveCursor(position, inCharField, second);
    EnsureCursorVisible();
    Repaint();
}

void TCustomMPHexEditor::SetBytesPerColumn(int bytes)
{
    if (bytes < 1 || bytes > 256 || (m_unicodeChars && bytes % 2))
        raise(MPH_ERR_BYTES_PER_COLUMN);
    const int old = m_bytesPerColumn;
    m_bytesPerColumn = bytes;
    if (m_offsetFormat.Has(offCalcColumn))
        RegenerateOffsetFormat([&] { m_bytesPerColumn = old; });
    Repaint();
}

void TCustomMPHexEditor::ApplyAutoBytesPerRow(int clientWidth, int charWidth)
{
    if (!m_autoBytesPerRow)
        return;
    int bytes = BytesPerRowForWidth(clientWidth, charWidth);
    if (m_unicodeChars && bytes % 2)
        --bytes;
    InternalSetBytesPerRow(std::max(bytes, m_unicodeChars ? 2 : 1));
}

void TCustomMPHexEditor::SetColors(const TMPHColors& colors)
{
    m_colors = colors;
    Repaint();
}

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
        if (code > 0xFF) {
            if (OnInvalidKey)
                OnInvalidKey(*this);
            return false;
        }
        value = TranslateTypedChar(m_translation, static_cast<quint8>(code));
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

// ---------------------------------------------------------------------------------------------
// Display: offset format, ruler, column widths

namespace {

bool isHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        || (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
}

qsizetype firstNonHexDigit(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && isHexDigit(text[i]))
        ++i;
    return i;
}

bool isValidUnit(int unit)
{
    return unit == 1 || unit == 2 || unit == 4 || unit == 8;
}

[[noreturn]] void raiseMissingChar(const char* what)
{
    throw EMPHexEditor(QString::fromLatin1(MPH_ERR_MISSING_CHAR).arg(QLatin1String(what)));
}

} // namespace

void TCustomMPHexEditor::GenerateOffsetFormat(const QString& format)
{
    TMPHOffsetFormat parsed;
    parsed.Format = format;
    if (format.isEmpty()) {
        m_offsetFormat = parsed;
        return;
    }
    QString rest = format;

    // Unit: "R%" rows, "C%" columns, "<hex>%" explicit, else the ruler's bytes per unit.
    const QString head = rest.left(2).toUpper();
    int unit = 0;
    if (head == QLatin1String("R%")) {
        parsed.Flags |= MPHOffsetFlagBit(offCalcRow);
        unit = m_bytesPerRow;
        rest.remove(0, 2);
    } else if (head == QLatin1String("C%")) {
        parsed.Flags |= MPHOffsetFlagBit(offCalcColumn);
        unit = m_bytesPerColumn;
        rest.remove(0, 2);
    } else {
        const qsizetype at = firstNonHexDigit(rest);
        if (at < rest.size() && rest[at] == QLatin1Char('%') && at > 0) {
            unit = RadixToInt(rest.left(at), 16);
            rest.remove(0, at + 1);
        } else {
            parsed.Flags |= MPHOffsetFlagBit(offBytesPerUnit);
            unit = RulerUnit();
            if (at == 0 && !rest.isEmpty() && rest[0] == QLatin1Char('%'))
                rest.remove(0, 1);
        }
    }
    if (!isValidUnit(unit))
        throw EMPHexEditor(QString::fromLatin1(MPH_ERR_BYTES_PER_UNIT).arg(unit));
    parsed.BytesPerUnit = unit;

    // Minimum width: "-!" computed, "<hex>!" given, else 1.
    if (rest.startsWith(QLatin1String("-!"))) {
        parsed.Flags |= MPHOffsetFlagBit(offCalcWidth);
        parsed.MinWidth = 1;
        rest.remove(0, 2);
    } else {
        const qsizetype at = firstNonHexDigit(rest);
        if (at < rest.size() && rest[at] == QLatin1Char('!')) {
            parsed.MinWidth = at > 0 ? RadixToInt(rest.left(at), 16) : 1;
            rest.remove(0, at + 1);
        } else {
            parsed.MinWidth = 1;
        }
    }

    // Radix: hexadecimal digits and ":".
    const qsizetype radixEnd = firstNonHexDigit(rest);
    if (radixEnd == 0)
        raiseMissingChar("number radix");
    if (radixEnd >= rest.size() || rest[radixEnd] != QLatin1Char(':'))
        raiseMissingChar(":");
    const quint64 radix = RadixToInt64(rest.left(radixEnd), 16);
    if (radix < 2 || radix > 16)
        throw EMPHexEditor(QString::fromLatin1(MPH_ERR_INVALID_RADIX).arg(QString::number(radix, 16).toUpper()));
    parsed.Radix = static_cast<int>(radix);
    rest.remove(0, radixEnd + 1);

    // Prefix "|" suffix.
    const qsizetype bar = rest.indexOf(QLatin1Char('|'));
    if (bar < 0)
        raiseMissingChar("|");
    parsed.Prefix = rest.left(bar);
    parsed.Suffix = rest.mid(bar + 1);
    m_offsetFormat = parsed;
}

void TCustomMPHexEditor::SetOffsetFormat(const QString& format)
{
    try {
        GenerateOffsetFormat(format);
    } catch (...) {
        GenerateOffsetFormat(m_offsetFormatText);
        throw;
    }
    m_offsetFormatText = format;
    Repaint();
}

void TCustomMPHexEditor::RegenerateOffsetFormat(const std::function<void()>& restore)
{
    try {
        GenerateOffsetFormat(m_offsetFormatText);
    } catch (...) {
        restore();
        GenerateOffsetFormat(m_offsetFormatText);
        throw;
    }
}

QString TCustomMPHexEditor::GetOffsetString(qint64 position)
{
    QString text;
    const TMPHOffsetFormat& format = m_offsetFormat;
    if (format.Format.isEmpty()) {
        text = IntToRadix64(static_cast<quint64>(position), 16);
    } else {
        if (format.MinWidth != 0 || position != 0)
            text = IntToRadixLen64(static_cast<quint64>(position / format.BytesPerUnit), format.Radix, format.MinWidth);
        if (m_hexLowerCase)
            text = text.toLower();
        text = format.Prefix + text + format.Suffix;
    }
    if (OnGetOffsetText && !m_inGetOffsetText) {
        m_inGetOffsetText = true;
        try {
            OnGetOffsetText(*this, position, text);
        } catch (...) {
            m_inGetOffsetText = false;
            throw;
        }
        m_inGetOffsetText = false;
    }
    return text;
}

QString TCustomMPHexEditor::GetAnyOffsetString(qint64 position)
{
    if (!m_offsetFormat.Format.isEmpty())
        return GetOffsetString(position);
    return IntToRadix64(static_cast<quint64>(position), 16);
}

void TCustomMPHexEditor::SetOffsetDisplayWidth()
{
    const qint64 largest = qint64(RowCount() - 3) * m_bytesPerRow;
    TMPHOffsetFormat& format = m_offsetFormat;
    if (!format.Format.isEmpty() && format.Has(offCalcWidth))
        format.MinWidth
            = static_cast<int>(IntToRadix64(static_cast<quint64>(largest / format.BytesPerUnit), format.Radix).size());
    m_offsetDisplayWidth = static_cast<int>(GetAnyOffsetString(largest).size()) + 1;
}

void TCustomMPHexEditor::UpdateDisplayState()
{
    const quint64 key = quint64(m_bytesPerRow) | quint64(RulerUnit()) << 16 | quint64(m_rulerNumberBase) << 24
        | quint64(m_hexLowerCase) << 32 | quint64(m_unicodeChars) << 33;
    if (key != m_rulerKey) {
        m_rulerKey = key;
        RebuildRulers();
    }
    if (m_offsetFormat.Has(offBytesPerUnit))
        m_offsetFormat.BytesPerUnit = RulerUnit();
    SetOffsetDisplayWidth();
}

void TCustomMPHexEditor::RebuildRulers()
{
    const int unit = RulerUnit();
    const int base = m_rulerNumberBase;
    const int units = m_bytesPerRow / unit;
    const int charDigits = m_unicodeChars ? unit / 2 : unit;
    m_rulerString.clear();
    m_rulerCharString.clear();
    for (int n = 0; n < units; ++n) {
        m_rulerString += IntToRadixLen(n, base, 2 * unit).right(2 * unit);
        if (charDigits > 0) {
            const QString digits = IntToRadix(n, base);
            m_rulerCharString += digits.size() > charDigits ? digits.right(charDigits)
                                                            : digits.rightJustified(charDigits, QLatin1Char(' '));
        }
    }
    if (m_hexLowerCase) {
        m_rulerString = m_rulerString.toLower();
        m_rulerCharString = m_rulerCharString.toLower();
    }
}

void TCustomMPHexEditor::SetHexLowerCase(bool lowerCase)
{
    m_hexLowerCase = lowerCase;
    Repaint();
}

void TCustomMPHexEditor::SetShowRuler(bool show)
{
    m_showRuler = show;
    Repaint();
}

void TCustomMPHexEditor::SetRulerBytesPerUnit(int bytes)
{
    if (bytes != -1 && !isValidUnit(bytes))
        throw EMPHexEditor(QString::fromLatin1(MPH_ERR_RULER_UNIT).arg(bytes));
    m_rulerBytesPerUnit = bytes;
    Repaint();
}

void TCustomMPHexEditor::SetRulerNumberBase(int base)
{
    m_rulerNumberBase = (base < 2 || base > 16) ? 16 : base;
    Repaint();
}

void TCustomMPHexEditor::SetBytesPerBlock(int bytes)
{
    m_bytesPerBlock = bytes;
    Repaint();
}

void TCustomMPHexEditor::SetSeparateBlocksInCharField(bool separate)
{
    m_separateBlocksInCharField = separate;
    Repaint();
}

void TCustomMPHexEditor::SetGutterWidth(int width)
{
    m_gutterWidth = width;
    Repaint();
}

void TCustomMPHexEditor::SetCaretKind(TMPHCaretKind kind)
{
    m_caretKind = kind;
    Repaint();
}

TMPHCaretKind TCustomMPHexEditor::EffectiveCaretKind() const
{
    if (m_caretKind != ckAuto)
        return m_caretKind;
    if (m_readOnlyView)
        return ckBottom;
    return m_insertMode ? ckLeft : ckFull;
}

void TCustomMPHexEditor::SetFocusFrame(bool focusFrame)
{
    m_focusFrame = focusFrame;
    Repaint();
}

void TCustomMPHexEditor::SetDrawGridLines(bool draw)
{
    m_drawGridLines = draw;
    Repaint();
}

void TCustomMPHexEditor::SetHideSelection(bool hide)
{
    m_hideSelection = hide;
    Repaint();
}

void TCustomMPHexEditor::SetGraySelectionIfNotFocused(bool gray)
{
    m_graySelectionIfNotFocused = gray;
    Repaint();
}

void TCustomMPHexEditor::SetDrawGutter3D(bool draw)
{
    m_drawGutter3D = draw;
    Repaint();
}

void TCustomMPHexEditor::SetShowPositionIfNotFocused(bool show)
{
    m_showPositionIfNotFocused = show;
    Repaint();
}

void TCustomMPHexEditor::SetAutoBytesPerRow(bool automatic)
{
    m_autoBytesPerRow = automatic;
    Repaint();
}

int TCustomMPHexEditor::GetColWidth(int col, int charWidth) const
{
    return ColWidthFor(col, m_bytesPerRow, charWidth);
}

int TCustomMPHexEditor::ColWidthFor(int col, int b, int charWidth) const
{
    if (col == 0)
        return m_gutterWidth != -1 ? m_gutterWidth : m_offsetDisplayWidth * charWidth + 21;
    if (col == 1)
        return 6;
    if (col <= 2 * b + 1) {
        const int nibble = col - 2;
        if (nibble == 2 * b - 1)
            return 2 * charWidth;
        int width = charWidth;
        if ((nibble + 2) % (2 * m_bytesPerColumn) == 1)
            width = 2 * charWidth;
        if (m_bytesPerBlock > 1 && (nibble + 2) % (2 * m_bytesPerBlock) == 1)
            width += charWidth;
        return width;
    }
    if (col == 2 * b + 2)
        return charWidth;
    const int index = col - (2 * b + 3);
    const int last = m_unicodeChars ? b / 2 - 1 : b - 1;
    if (index >= last)
        return 2 * charWidth + 1;
    int width = charWidth + 1;
    const int unit = RulerUnit();
    if (!m_unicodeChars && unit >= 2 && (index + 1) % unit == 0)
        width = charWidth + charWidth / 2 + 1;
    const int bytesUpTo = m_unicodeChars ? 2 * index + 2 : index + 1;
    if (m_bytesPerBlock > 1 && m_separateBlocksInCharField && bytesUpTo % m_bytesPerBlock == 0)
        width += charWidth;
    return width;
}

int TCustomMPHexEditor::BytesPerRowForWidth(int clientWidth, int charWidth) const
{
    const int available = clientWidth - GetColWidth(0, charWidth) - GetColWidth(1, charWidth) - 8;
    for (int n = 2; n <= 254; n += 2) {
        // Would a row of n + 2 bytes, laid out with the current column settings, still fit?
        const int bytes = n + 2;
        const int columns = m_unicodeChars ? 2 * bytes + bytes / 2 + 3 : 3 * bytes + 3;
        int width = 0;
        for (int col = 2; col < columns && width <= available; ++col)
            width += ColWidthFor(col, bytes, charWidth);
        if (width > available)
            return n;
    }
    return 256;
}

} // namespace kestrum
