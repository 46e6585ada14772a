#pragma once

#include "hexview/HexEditorTypes.h"
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
struct UndoRecordHead
{
    quint32 dataLen; ///< total size of the record
    quint32 flags; ///< UndoFlags
    qint32 cursorPos; ///< cursor position when the record was made
    qint32 position; ///< position of the change
    qint32 count; ///< bytes concerned
    qint32 replCount; ///< bytes replaced (UndoFlag::KindReplace)
    quint8 translation; ///< TranslationKind in force
    qint32 bytesPerUnit; ///< BytesPerUnit in force
};
#pragma pack(pop)

inline constexpr qint64 UndoHeaderSize = 29;
static_assert(sizeof(UndoRecordHead) == UndoHeaderSize);
/// Size of the selection block (lowest, highest, anchor).
inline constexpr qint64 UndoSelectionSize = 12;
/// Size of the bookmark copy in a redo record: 10 times position and flag in 8 bytes.
inline constexpr qint64 RedoBookmarksSize = 80;
/// A stored record shorter than this is damaged.
inline constexpr qint64 UndoMinRecord = 30;

/// The undo records of a hex editor, appended one after the other in one memory stream, with the
/// single redo record and the last removed undo record kept beside it. It reads and changes the
/// editor only through UndoTarget.
class UndoStorage : public MemoryStream
{
public:
    explicit UndoStorage(UndoTarget& target);
    ~UndoStorage() override;

    /// An emptied storage gives its memory back and holds no records.
    void setSize(qint64 newSize) override;

    /// Appends a record for a change about to be made and moves the bookmarks behind it (nothing
    /// at all while an update is open).
    void createUndo(UndoFlag kind, qint64 position, qint64 count, qint64 replCount, const QString& description);
    /// Gives the newest record a selection block (lowest = position, highest = position + count - 1
    /// or -1 for count 0, anchor = position), or overwrites the block it has.
    void addSelection(qint64 position, qint64 count);
    bool undo();
    bool redo();
    /// Empties the storage; `withRedo` also drops the redo record and the last removed record.
    void reset(bool withRedo = true);
    /// Drops the newest record without reversing it.
    void removeLastUndo();

    int beginUpdate() { return ++m_updateCount; }
    int endUpdate();
    int updateCount() const { return m_updateCount; }

    int count() const { return m_count; }
    /// Description of the newest record; empty when there is none.
    QString description() const { return m_description; }
    bool canUndo() const { return m_count > 0 && m_updateCount == 0 && size() > 0; }
    bool canRedo() const { return !m_redo.isEmpty(); }
    /// The redo record: head, saved bytes, bookmarks, selection.
    const QByteArray& redoRecord() const { return m_redo; }
    /// Bytes of the newest record; empty when there is none.
    QByteArray newestRecord() const;

    /// The default description of a record kind.
    static QString kindDescription(UndoFlag kind);
    /// The kind of a flag word: its lowest set bit below UndoFlag::Byte1Changed.
    static UndoFlag kindOf(UndoFlags flags);

private:
    struct Parsed;
    /// The bookmarks as they were before the change of one record, kept only for a record whose
    /// change left a bookmark without its byte (inside a removed or replaced range).
    struct BookmarkSnapshot
    {
        quint64 serial = 0; ///< the record's number, counted from the oldest record ever kept
        Bookmarks before;
    };

    Parsed parse(const char* record, qint64 size) const;
    UndoFlags stateFlags(
        qint64 position, qint64 count, const UndoTarget::Modes& modes, const UndoTarget::Place& place) const;
    /// Drops the oldest records until the storage fits `maxUndo`, moving what stays once.
    void trimToLimit(qint64 maxUndo);
    quint64 newestSerial() const { return m_firstSerial + quint64(m_count) - 1; }
    /// Takes the snapshot of the newest record out of the list, if it has one.
    std::optional<Bookmarks> takeNewestSnapshot();
    /// After the reversal of a removal or replacement: bookmarks the change left inside the range
    /// return to their bytes; the others follow the data as the shift rule moves them.
    void restoreBookmarksAfterUndo(
        const std::optional<Bookmarks>& before, qint64 shiftFrom, qint64 delta, qint64 sizeAfterChange);
    void makeRedo(const Parsed& record);
    void restoreState(const Parsed& record);
    bool undoNewest();
    QString descriptionOfNewest() const;

    UndoTarget& m_target;
    int m_count = 0;
    int m_updateCount = 0;
    QString m_description;
    QByteArray m_redo;
    QByteArray m_lastUndo;
    QString m_lastUndoDescription;
    std::optional<Bookmarks> m_lastUndoSnapshot;
    std::vector<BookmarkSnapshot> m_snapshots; // ascending serials
    quint64 m_firstSerial = 0;
};

} // namespace kestrum
