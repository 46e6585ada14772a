#include "hexview/TCustomMPHexEditor.h"

#include "hexview/EMPHexEditor.h"
#include "hexview/TMPHUndoStorage.h"

#include <QFileDevice>
#include <QFileInfo>
#include <QIODevice>
#include <QMetaObject>
#include <QTemporaryFile>

#include <algorithm>
#include <array>
#include <cstring>

namespace kestrum {

// Construction, the data, editing, undo and notifications. The rest of the class is in
// TCustomMPHexEditorSelection.cpp (cursor, selection, mouse), TCustomMPHexEditorBookmarks.cpp,
// TCustomMPHexEditorKeys.cpp, TCustomMPHexEditorGeometry.cpp (grid, offsets, ruler, column
// widths) and TCustomMPHexEditorSettings.cpp (modes and display settings).

namespace {

// Streams the bytes produced by `next` (count of them) through a temporary file, 512 bytes at a
// time, and writes them back over the data from `position` on. `next` may read the data: nothing
// is written back before the whole tail is in the file.
template <typename Next>
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
    , m_undo(std::make_unique<TMPHUndoStorage>(static_cast<UndoTarget&>(*this)))
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
                        RaiseMPHexEditor(MPH_ERR_CANCELLED);
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
        RaiseMPHexEditor(MPH_ERR_DATA_BOUNDS);
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

void TCustomMPHexEditor::SelectChangedBytes(qint64 position, qint64 count, bool moveCursor)
{
    SetSelection(position, position + count - 1);
    if (moveCursor)
        MoveCursor(position + count - 1, GetInCharField());
    EnsureCursorVisible();
    Changed();
    SelectionChanged();
}

void TCustomMPHexEditor::InsertBuffer(
    const void* buffer, qint64 count, qint64 position, const QString& description, bool moveCursor)
{
    if (!buffer || count <= 0)
        return;
    if (position < 0 || position > m_data.GetSize())
        RaiseMPHexEditor(MPH_ERR_DATA_BOUNDS);
    CreateUndo(ufKindInsertBuffer, position, count, 0, description);
    InternalInsert(position, buffer, count);
    m_changedMarks.Truncate(position);
    ClearBookmarksBeyondData();
    SelectChangedBytes(position, count, moveCursor);
}

void TCustomMPHexEditor::AppendBuffer(const void* buffer, qint64 count, const QString& description, bool moveCursor)
{
    if (!buffer || count <= 0)
        return;
    const qint64 position = m_data.GetSize();
    CreateUndo(ufKindAppendBuffer, position, count, 0, description);
    InternalInsert(position, buffer, count);
    SelectChangedBytes(position, count, moveCursor);
}

void TCustomMPHexEditor::ReplaceSelection(const void* buffer, qint64 count, const QString& description, bool moveCursor)
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

qint64 TCustomMPHexEditor::OverwriteBuffer(
    const void* buffer, qint64 count, qint64 position, const QString& description, bool moveCursor)
{
    if (!buffer || position < 0)
        return 0;
    count = std::min(count, m_data.GetSize() - position);
    if (count <= 0)
        return 0;
    // A replacement of equal counts: permitted with a fixed size, and undone byte for byte.
    CreateUndo(ufKindReplace, position, count, count, description);
    std::memcpy(m_data.Memory() + position, buffer, static_cast<size_t>(count));
    m_changedMarks.Truncate(position);
    SelectChangedBytes(position, count, moveCursor);
    return count;
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
        RaiseMPHexEditor(MPH_ERR_FIXED_SIZE);
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
        RaiseMPHexEditor(MPH_ERR_UNDO);
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
// What the undo storage reads and puts back

bool TCustomMPHexEditor::ChangedMark(qint64 position) const
{
    return m_changedMarks.Get(position);
}

UndoTarget::Modes TCustomMPHexEditor::UndoModes() const
{
    Modes modes;
    modes.modified = m_modified;
    modes.insertMode = m_insertMode;
    modes.unicodeChars = m_unicodeChars;
    modes.unicodeBigEndian = m_unicodeBigEndian;
    modes.translation = m_translation;
    modes.bytesPerUnit = m_bytesPerUnit;
    return modes;
}

UndoTarget::Place TCustomMPHexEditor::UndoPlace() const
{
    Place place;
    place.cursor = GetCursorPos();
    place.inCharField = GetInCharField();
    place.secondColumn = IsCursorOnSecondColumn();
    place.hasSelection = HasSelection();
    place.selLow = m_selLow;
    place.selHigh = m_selHigh;
    place.selAnchor = m_selAnchor;
    return place;
}

void TCustomMPHexEditor::WriteUndoBytes(qint64 position, const void* source, qint64 count)
{
    m_data.WriteBufferAt(source, position, count);
}

void TCustomMPHexEditor::SetChangedMark(qint64 position, bool changed)
{
    m_changedMarks.Set(position, changed);
}

void TCustomMPHexEditor::TruncateChangedMarks(qint64 position)
{
    m_changedMarks.Truncate(position);
}

void TCustomMPHexEditor::RestoreModes(const Modes& modes)
{
    // Put back as recorded: none of the checks and side effects of the setters apply.
    m_unicodeChars = modes.unicodeChars;
    m_unicodeBigEndian = modes.unicodeBigEndian;
    m_translation = modes.translation;
    m_bytesPerUnit = modes.bytesPerUnit;
    InternalSetInsertMode(modes.insertMode);
    m_modified = modes.modified;
}

void TCustomMPHexEditor::RestorePlace(const Place& place)
{
    MoveCursor(place.cursor, place.inCharField, place.secondColumn);
    ClearSelectionState();
    if (place.hasSelection)
        SetSelection(place.selAnchor, place.selAnchor == place.selLow ? place.selHigh : place.selLow);
    ClampCursor();
    EnsureCursorVisible();
}

void TCustomMPHexEditor::RestoreBookmarks(const TMPHBookmarks& bookmarks)
{
    m_bookmarks = bookmarks;
}

} // namespace kestrum
