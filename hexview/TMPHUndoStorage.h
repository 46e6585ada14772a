#pragma once

#include "hexview/MPHexEditorTypes.h"
#include "hexview/MemoryStream.h"
#include "hexview/UndoTarget.h"

#include <QByteArray>
#include <QString>

#include <bit>
#include <cstddef>
#include <optional>
#include <vector>

namespace kestrum {

static_assert(std::endian::native == std::endian::little, "undo records are stored little-endian");

#pragma pack(push, 1)
/// Fixed head of an undo record. The saved bytes follow (at least one byte is always reserved),
/// then optionally the description and its length, optionally the selection, and the trailer
/// (the total size again, so that the storage can be walked from its end).
struct TMPHUndoRec
{
    quint32 DataLen; ///< total size of the record
    quint32 Flags; ///< TMPHUndoFlags
    qint32 CurPos; ///< cursor position when the record was made
    qint32 Pos; ///< position of the change
    qint32 Count; ///< bytes concerned
    qint32 ReplCount; ///< bytes replaced (ufKindReplace)
    quint8 CurTranslation; ///< TMPHTranslationKind in force
    qint32 CurBPU; ///< BytesPerUnit in force
};
#pragma pack(pop)

inline constexpr qint64 MPH_UNDO_HEADER_SIZE = 29;
static_assert(sizeof(TMPHUndoRec) == MPH_UNDO_HEADER_SIZE);
/// Size of the selection block (lowest, highest, anchor).
inline constexpr qint64 MPH_UNDO_SELECTION_SIZE = 12;
/// Size of the bookmark copy in a redo record: 10 times position and flag in 8 bytes.
inline constexpr qint64 MPH_REDO_BOOKMARKS_SIZE = 80;
/// A stored record shorter than this is damaged.
inline constexpr qint64 MPH_UNDO_MIN_RECORD = 30;

/// The undo records of a hex editor, appended one after the other in one memory stream, with the
/// single redo record and the last removed undo record kept beside it. It reads and changes the
/// editor only through UndoTarget.
class TMPHUndoStorage : public MemoryStream
{
public:
    explicit TMPHUndoStorage(UndoTarget& target);
    ~TMPHUndoStorage() override;

    /// An emptied storage gives its memory back and holds no records.
    void SetSize(qint64 newSize) override;

    /// Appends a record for a change about to be made and moves the bookmarks behind it (nothing
    /// at all while an update is open).
    void CreateUndo(TMPHUndoFlag kind, qint64 position, qint64 count, qint64 replCount, const QString& description);
    /// Gives the newest record a selection block (lowest = position, highest = position + count - 1
    /// or -1 for count 0, anchor = position), or overwrites the block it has.
    void AddSelection(qint64 position, qint64 count);
    bool Undo();
    bool Redo();
    /// Empties the storage; `withRedo` also drops the redo record and the last removed record.
    void Reset(bool withRedo = true);
    /// Drops the newest record without reversing it.
    void RemoveLastUndo();

    int BeginUpdate() { return ++m_updateCount; }
    int EndUpdate();
    int UpdateCount() const { return m_updateCount; }

    int Count() const { return m_count; }
    /// Description of the newest record; empty when there is none.
    QString Description() const { return m_description; }
    bool CanUndo() const { return m_count > 0 && m_updateCount == 0 && GetSize() > 0; }
    bool CanRedo() const { return !m_redo.isEmpty(); }
    /// The redo record: head, saved bytes, bookmarks, selection.
    const QByteArray& RedoRecord() const { return m_redo; }
    /// Bytes of the newest record; empty when there is none.
    QByteArray NewestRecord() const;

    /// The default description of a record kind.
    static QString KindDescription(TMPHUndoFlag kind);
    /// The kind of a flag word: its lowest set bit below ufFlagByte1Changed.
    static TMPHUndoFlag KindOf(TMPHUndoFlags flags);

private:
    struct Parsed;
    /// The bookmarks as they were before the change of one record, kept only for a record whose
    /// change left a bookmark without its byte (inside a removed or replaced range).
    struct BookmarkSnapshot
    {
        quint64 serial = 0; ///< the record's number, counted from the oldest record ever kept
        TMPHBookmarks before;
    };

    Parsed Parse(const char* record, qint64 size) const;
    TMPHUndoFlags StateFlags(
        qint64 position, qint64 count, const UndoTarget::Modes& modes, const UndoTarget::Place& place) const;
    /// Drops the oldest records until the storage fits `maxUndo`, moving what stays once.
    void TrimToLimit(qint64 maxUndo);
    quint64 NewestSerial() const { return m_firstSerial + quint64(m_count) - 1; }
    /// Takes the snapshot of the newest record out of the list, if it has one.
    std::optional<TMPHBookmarks> TakeNewestSnapshot();
    /// After the reversal of a removal or replacement: bookmarks the change left inside the range
    /// return to their bytes; the others follow the data as the shift rule moves them.
    void RestoreBookmarksAfterUndo(
        const std::optional<TMPHBookmarks>& before, qint64 shiftFrom, qint64 delta, qint64 sizeAfterChange);
    void MakeRedo(const Parsed& record);
    void RestoreState(const Parsed& record);
    bool UndoNewest();
    QString DescriptionOfNewest() const;

    UndoTarget& m_target;
    int m_count = 0;
    int m_updateCount = 0;
    QString m_description;
    QByteArray m_redo;
    QByteArray m_lastUndo;
    QString m_lastUndoDescription;
    std::optional<TMPHBookmarks> m_lastUndoSnapshot;
    std::vector<BookmarkSnapshot> m_snapshots; // ascending serials
    quint64 m_firstSerial = 0;
};

} // namespace kestrum
