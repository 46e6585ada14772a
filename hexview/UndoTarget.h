#pragma once

#include "hexview/Bookmarks.h"
#include "hexview/HexEditorTypes.h"
#include "hexview/MemoryStream.h"

#include <QtGlobal>

namespace kestrum {

/// What the undo storage needs from the editor whose changes it records: the state a record
/// keeps, the data changes without undo that reverse a record, putting the modes, the cursor, the
/// selection and the bookmarks back, and the notifications after an undo or a redo. The editor
/// implements it; the storage knows the editor only through it.
class UndoTarget
{
public:
    /// The modes a record keeps.
    struct Modes
    {
        bool modified = false;
        bool insertMode = false;
        bool unicodeChars = false;
        bool unicodeBigEndian = false;
        TranslationKind translation = TranslationKind::AsIs;
        int bytesPerUnit = 1;
    };

    /// The cursor and the selection a record keeps.
    struct Place
    {
        qint64 cursor = 0;
        bool inCharField = false;
        bool secondColumn = false; ///< the cursor is on the low nibble of its byte
        bool hasSelection = false;
        qint64 selLow = -1;
        qint64 selHigh = -1;
        qint64 selAnchor = -1;
    };

    // The state a record keeps.
    virtual const MemoryStream& undoData() const = 0;
    /// The changed-byte mark as stored, also in insert mode.
    virtual bool changedMark(qint64 position) const = 0;
    virtual Modes undoModes() const = 0;
    virtual Place undoPlace() const = 0;
    virtual const Bookmarks& undoBookmarks() const = 0;
    /// The size in bytes beyond which the oldest records are dropped; 0 or less: no limit.
    virtual qint64 undoLimit() const = 0;

    // Data changes without undo and without notification.
    virtual void writeUndoBytes(qint64 position, const void* source, qint64 count) = 0;
    virtual void internalInsert(qint64 position, const void* buffer, qint64 count) = 0;
    virtual void internalDelete(qint64 position, qint64 count) = 0;
    virtual void internalReplaceAll(const void* buffer, qint64 count) = 0;
    virtual void internalInsertNibble(qint64 position, bool highNibble) = 0;
    virtual void internalDeleteNibble(qint64 position, bool highNibble) = 0;
    virtual void setChangedMark(qint64 position, bool changed) = 0;
    /// Clears the changed-byte marks from `position` on.
    virtual void truncateChangedMarks(qint64 position) = 0;

    // Putting the state back, without notification.
    virtual void restoreModes(const Modes& modes) = 0;
    /// Moves the cursor, sets or clears the selection, then keeps the cursor inside the data and
    /// in view.
    virtual void restorePlace(const Place& place) = 0;
    virtual void restoreBookmarks(const Bookmarks& bookmarks) = 0;

    // Bookmarks that follow a change; these notify when a bookmark moves or is cleared.
    /// Moves the bookmarks at or after `from` by `delta`.
    virtual void shiftBookmarks(qint64 from, qint64 delta) = 0;
    /// Clears the bookmarks beyond the highest cursor position.
    virtual void clearBookmarksBeyondData() = 0;

    // Notifications.
    virtual void notifyChanged() = 0;
    virtual void notifySelectionChanged() = 0;
    virtual void notifyBookmarkChanged() = 0;

protected:
    ~UndoTarget() = default;
};

} // namespace kestrum
