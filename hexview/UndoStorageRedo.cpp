#include "hexview/UndoRecordAccess.h"
#include "hexview/UndoStorage.h"

#include <cstring>

namespace kestrum {

// The redo record: made when a record is undone, carried out by redo.

void UndoStorage::makeRedo(const Parsed& record)
{
    const MemoryStream& data = m_target.undoData();
    const qint64 position = record.head.position;
    const char* saved = nullptr;
    qint64 savedCount = 0;
    switch (record.kind) {
    case UndoFlag::KindBytesChanged:
    case UndoFlag::KindInsertBuffer:
    case UndoFlag::KindReplace:
    case UndoFlag::KindConvert:
        savedCount = record.head.count;
        break;
    case UndoFlag::KindAppendBuffer:
        savedCount = data.size() - position;
        break;
    case UndoFlag::KindNibbleInsert:
    case UndoFlag::KindNibbleDelete:
    case UndoFlag::KindAllData:
        saved = data.memory();
        savedCount = data.size();
        break;
    default:
        break;
    }
    if (savedCount > 0 && !saved)
        saved = data.address(position, savedCount);

    const UndoTarget::Modes modes = m_target.undoModes();
    const UndoTarget::Place place = m_target.undoPlace();
    UndoRecordHead head = record.head;
    if (record.kind == UndoFlag::KindAllData || record.kind == UndoFlag::KindAppendBuffer)
        head.count = static_cast<qint32>(savedCount); // the size of the copy, which may be 0
    head.flags = undoFlagBit(record.kind) | stateFlags(position, record.head.count, modes, place);
    head.cursorPos = static_cast<qint32>(place.cursor);
    head.translation = static_cast<quint8>(modes.translation);
    head.bytesPerUnit = modes.bytesPerUnit;
    const qint64 total = UndoHeaderSize + std::max<qint64>(1, savedCount) + RedoBookmarksSize + UndoSelectionSize;
    head.dataLen = static_cast<quint32>(total);

    QByteArray redo;
    redo.reserve(total);
    redo.append(reinterpret_cast<const char*>(&head), UndoHeaderSize);
    if (savedCount > 0)
        redo.append(saved, savedCount);
    else
        redo.append('\0');
    for (const Bookmark& bookmark : m_target.undoBookmarks()) {
        append<qint32>(redo, bookmark.position);
        append<quint8>(redo, bookmark.inCharField ? 1 : 0);
        redo.append(3, '\0');
    }
    append<qint32>(redo, static_cast<qint32>(place.selLow));
    append<qint32>(redo, static_cast<qint32>(place.selHigh));
    append<qint32>(redo, static_cast<qint32>(place.selAnchor));
    m_redo = redo;
}

bool UndoStorage::redo()
{
    if (m_redo.isEmpty() || m_updateCount > 0)
        return false;
    const QByteArray redo = m_redo;
    UndoRecordHead head {};
    std::memcpy(&head, redo.constData(), UndoHeaderSize);
    const UndoFlag kind = kindOf(head.flags);
    const char* tail = redo.constData() + redo.size() - RedoBookmarksSize - UndoSelectionSize;
    const char* saved = redo.constData() + UndoHeaderSize;
    // Whole-data copies of nibble records are never empty; every other kind says its count.
    const bool wholeData = kind == UndoFlag::KindNibbleInsert || kind == UndoFlag::KindNibbleDelete;
    const qint64 savedCount = wholeData ? tail - saved : qint64(head.count);
    const qint64 position = head.position;
    const qint64 count = head.count;

    switch (kind) {
    case UndoFlag::KindBytesChanged:
        m_target.writeUndoBytes(position, saved, count);
        break;
    case UndoFlag::KindByteRemoved:
        m_target.internalDelete(position, count);
        m_target.truncateChangedMarks(position);
        break;
    case UndoFlag::KindInsertBuffer:
        m_target.internalInsert(position, saved, count);
        m_target.truncateChangedMarks(position);
        break;
    case UndoFlag::KindReplace:
        m_target.internalDelete(position, head.replCount);
        m_target.internalInsert(position, saved, count);
        m_target.truncateChangedMarks(position);
        break;
    case UndoFlag::KindConvert:
        m_target.internalDelete(position, count);
        m_target.internalInsert(position, saved, count);
        m_target.truncateChangedMarks(position);
        break;
    case UndoFlag::KindAppendBuffer:
        m_target.internalInsert(m_target.undoData().size(), saved, savedCount);
        break;
    case UndoFlag::KindNibbleInsert:
    case UndoFlag::KindNibbleDelete:
    case UndoFlag::KindAllData:
        m_target.internalReplaceAll(saved, savedCount);
        m_target.truncateChangedMarks(position);
        break;
    default:
        break;
    }

    Bookmarks bookmarks;
    for (int i = 0; i < BookmarkCount; ++i) {
        bookmarks[i].position = readAt<qint32>(tail + 8 * i);
        bookmarks[i].inCharField = tail[8 * i + 4] != 0;
    }
    m_target.restoreBookmarks(bookmarks);
    Parsed state;
    state.head = head;
    state.kind = kind;
    state.hasSelection = true;
    state.selLow = readAt<qint32>(tail + RedoBookmarksSize);
    state.selHigh = readAt<qint32>(tail + RedoBookmarksSize + 4);
    state.selAnchor = readAt<qint32>(tail + RedoBookmarksSize + 8);
    if (state.selAnchor == -1) {
        state.hasSelection = false;
    }
    restoreState(state);
    if (position < m_target.undoData().size()) {
        m_target.setChangedMark(position, hasFlag(head.flags, UndoFlag::Byte1Changed));
        if (count >= 2 && position + 1 < m_target.undoData().size())
            m_target.setChangedMark(position + 1, hasFlag(head.flags, UndoFlag::Byte2Changed));
    }

    // The undone record becomes undoable again.
    const qint64 end = size();
    setSize(end + m_lastUndo.size());
    std::memcpy(memory() + end, m_lastUndo.constData(), static_cast<size_t>(m_lastUndo.size()));
    ++m_count;
    if (m_lastUndoSnapshot)
        m_snapshots.push_back(BookmarkSnapshot {newestSerial(), *m_lastUndoSnapshot});
    m_description = m_lastUndoDescription;
    m_redo.clear();
    m_lastUndo.clear();
    m_lastUndoDescription.clear();
    m_lastUndoSnapshot.reset();
    m_target.notifyBookmarkChanged();
    m_target.notifyChanged();
    m_target.notifySelectionChanged();
    return true;
}

} // namespace kestrum
