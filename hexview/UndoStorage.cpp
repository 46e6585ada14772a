#include "hexview/UndoStorage.h"

#include "hexview/UndoRecordAccess.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kestrum {

namespace {

/// The UTF-8 bytes of a text, cut to at most `limit` bytes at a character boundary.
QByteArray utf8Within(const QString& text, qsizetype limit)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.size() <= limit)
        return bytes;
    qsizetype cut = limit;
    // A continuation byte (10xxxxxx) at the cut belongs to a character that started before it.
    while (cut > 0 && (static_cast<quint8>(bytes[cut]) & 0xC0) == 0x80)
        --cut;
    bytes.truncate(cut);
    return bytes;
}

} // namespace

UndoStorage::UndoStorage(UndoTarget& target)
    : m_target(target)
{
}

UndoStorage::~UndoStorage() = default;

void UndoStorage::setSize(qint64 newSize)
{
    if (newSize <= 0) {
        clear();
        m_count = 0;
        m_snapshots.clear();
        m_firstSerial = 0;
        return;
    }
    MemoryStream::setSize(newSize);
}

QString UndoStorage::kindDescription(UndoFlag kind)
{
    switch (kind) {
    case UndoFlag::KindBytesChanged:
        return QStringLiteral("Change byte(s)");
    case UndoFlag::KindByteRemoved:
        return QStringLiteral("Remove data");
    case UndoFlag::KindInsertBuffer:
        return QStringLiteral("Insert buffer");
    case UndoFlag::KindReplace:
        return QStringLiteral("Replace");
    case UndoFlag::KindAppendBuffer:
        return QStringLiteral("Append buffer");
    case UndoFlag::KindNibbleInsert:
        return QStringLiteral("Insert nibble");
    case UndoFlag::KindNibbleDelete:
        return QStringLiteral("Delete nibble");
    case UndoFlag::KindConvert:
        return QStringLiteral("Convert");
    case UndoFlag::KindSelection:
        return QStringLiteral("Cursor movement");
    case UndoFlag::KindCombined:
        return QStringLiteral("Multiple modification");
    case UndoFlag::KindAllData:
        return QStringLiteral("All data saved");
    default:
        break;
    }
    return {};
}

UndoFlag UndoStorage::kindOf(UndoFlags flags)
{
    for (int bit = 0; bit < UndoKindCount; ++bit) {
        if (flags & (UndoFlags(1) << bit))
            return static_cast<UndoFlag>(bit);
    }
    return UndoFlag::KindBytesChanged;
}

UndoFlags UndoStorage::stateFlags(
    qint64 position, qint64 count, const UndoTarget::Modes& modes, const UndoTarget::Place& place) const
{
    UndoFlags flags = 0;
    if (m_target.changedMark(position))
        flags |= undoFlagBit(UndoFlag::Byte1Changed);
    if (count >= 2 && m_target.changedMark(position + 1))
        flags |= undoFlagBit(UndoFlag::Byte2Changed);
    if (modes.modified)
        flags |= undoFlagBit(UndoFlag::Modified);
    if (place.secondColumn)
        flags |= undoFlagBit(UndoFlag::SecondColumn);
    if (place.inCharField)
        flags |= undoFlagBit(UndoFlag::InCharField);
    if (place.hasSelection)
        flags |= undoFlagBit(UndoFlag::HasSelection);
    if (modes.insertMode)
        flags |= undoFlagBit(UndoFlag::InsertMode);
    if (modes.unicodeChars)
        flags |= undoFlagBit(UndoFlag::Unicode);
    if (modes.unicodeBigEndian)
        flags |= undoFlagBit(UndoFlag::UnicodeBigEndian);
    return flags;
}

void UndoStorage::trimToLimit(qint64 maxUndo)
{
    if (maxUndo <= 0 || m_count == 0 || size() <= maxUndo)
        return;
    // Find every record that must go first, then move what stays once: moving the rest once per
    // dropped record would cost the storage size times the number of records.
    const qint64 total = size();
    qint64 cut = 0;
    int dropped = 0;
    while (dropped < m_count && total - cut > maxUndo) {
        if (total - cut < 4) {
            setSize(0);
            return;
        }
        const auto recordSize = static_cast<qint64>(readAt<quint32>(memory() + cut));
        if (recordSize < UndoMinRecord || recordSize > total - cut) {
            setSize(0); // a damaged record: nothing behind it can be trusted
            return;
        }
        cut += recordSize;
        ++dropped;
    }
    const qint64 rest = total - cut;
    if (rest == 0) {
        setSize(0);
        return;
    }
    std::memmove(memory(), memory() + cut, static_cast<size_t>(rest));
    setSize(rest);
    m_count -= dropped;
    m_firstSerial += quint64(dropped);
    std::erase_if(m_snapshots, [this](const BookmarkSnapshot& s) { return s.serial < m_firstSerial; });
    // A large record that was dropped leaves its memory behind; give most of it back.
    if (capacity() > 4 * std::max(rest, maxUndo))
        reallocate(rest + std::min(rest / 2, maxUndo));
}

std::optional<Bookmarks> UndoStorage::takeNewestSnapshot()
{
    if (m_count == 0 || m_snapshots.empty() || m_snapshots.back().serial != newestSerial())
        return std::nullopt;
    const Bookmarks before = m_snapshots.back().before;
    m_snapshots.pop_back();
    return before;
}

void UndoStorage::restoreBookmarksAfterUndo(
    const std::optional<Bookmarks>& before, qint64 shiftFrom, qint64 delta, qint64 sizeAfterChange)
{
    if (!before) {
        m_target.shiftBookmarks(shiftFrom, delta);
        return;
    }
    // A bookmark still where the change left it (on its old position, or cleared because that
    // position fell beyond the data) goes back to its byte; one the user set since follows the data.
    const Bookmarks now = m_target.undoBookmarks();
    std::array<bool, BookmarkCount> back {};
    for (int i = 0; i < BookmarkCount; ++i) {
        const Bookmark& was = (*before)[i];
        const Bookmark& is = now[i];
        back[i] = was.position >= 0 && (is == was || (is.position == -1 && was.position >= sizeAfterChange));
    }
    m_target.shiftBookmarks(shiftFrom, delta);
    Bookmarks result = m_target.undoBookmarks();
    for (int i = 0; i < BookmarkCount; ++i) {
        if (back[i])
            result[i] = (*before)[i];
    }
    if (result != m_target.undoBookmarks()) {
        m_target.restoreBookmarks(result);
        m_target.notifyBookmarkChanged();
    }
}

void UndoStorage::createUndo(UndoFlag kind, qint64 position, qint64 count, qint64 replCount, const QString& description)
{
    if (m_updateCount > 0)
        return;
    const QString newDescription = description.isEmpty() ? kindDescription(kind) : description;
    const MemoryStream& data = m_target.undoData();
    QByteArray combinedText;
    const char* saved = nullptr;
    qint64 savedCount = 0;
    switch (kind) {
    case UndoFlag::KindBytesChanged:
    case UndoFlag::KindByteRemoved:
    case UndoFlag::KindConvert:
        savedCount = count;
        break;
    case UndoFlag::KindReplace:
        savedCount = replCount;
        break;
    case UndoFlag::KindNibbleInsert:
    case UndoFlag::KindNibbleDelete:
        savedCount = 1;
        break;
    case UndoFlag::KindAllData:
        position = 0;
        savedCount = count = data.size();
        break;
    case UndoFlag::KindCombined:
        combinedText = utf8Within(newDescription, 255);
        combinedText.prepend(static_cast<char>(combinedText.size()));
        saved = combinedText.constData();
        savedCount = combinedText.size();
        break;
    default:
        break;
    }
    if (savedCount > 0 && !saved)
        saved = data.address(position, savedCount); // checks the range before anything changes

    m_redo.clear();
    m_lastUndo.clear();
    m_lastUndoDescription.clear();
    m_lastUndoSnapshot.reset();
    m_description = newDescription;
    trimToLimit(m_target.undoLimit());

    const bool ownDescription = !description.isEmpty() && kind != UndoFlag::KindCombined;
    const QByteArray descriptionBytes = ownDescription ? description.toUtf8() : QByteArray();
    const UndoTarget::Modes modes = m_target.undoModes();
    const UndoTarget::Place place = m_target.undoPlace();
    const bool withSelection = place.hasSelection;

    UndoRecordHead head {};
    head.flags = undoFlagBit(kind) | stateFlags(position, count, modes, place);
    if (ownDescription)
        head.flags |= undoFlagBit(UndoFlag::HasDescription);
    head.cursorPos = static_cast<qint32>(place.cursor);
    head.position = static_cast<qint32>(position);
    head.count = static_cast<qint32>(count);
    head.replCount = static_cast<qint32>(replCount);
    head.translation = static_cast<quint8>(modes.translation);
    head.bytesPerUnit = modes.bytesPerUnit;
    const qint64 total = UndoHeaderSize + std::max<qint64>(1, savedCount)
        + (ownDescription ? descriptionBytes.size() + 4 : 0) + (withSelection ? UndoSelectionSize : 0) + 4;
    head.dataLen = static_cast<quint32>(total);

    const qint64 start = size();
    setSize(start + total);
    char* out = memory() + start;
    std::memcpy(out, &head, UndoHeaderSize);
    out += UndoHeaderSize;
    if (savedCount > 0)
        std::memcpy(out, saved, static_cast<size_t>(savedCount));
    else
        *out = 0;
    out += std::max<qint64>(1, savedCount);
    if (ownDescription) {
        std::memcpy(out, descriptionBytes.constData(), static_cast<size_t>(descriptionBytes.size()));
        out += descriptionBytes.size();
        writeAt<qint32>(out, static_cast<qint32>(descriptionBytes.size()));
        out += 4;
    }
    if (withSelection) {
        writeAt<qint32>(out, static_cast<qint32>(place.selLow));
        writeAt<qint32>(out + 4, static_cast<qint32>(place.selHigh));
        writeAt<qint32>(out + 8, static_cast<qint32>(place.selAnchor));
        out += UndoSelectionSize;
    }
    writeAt<quint32>(out, static_cast<quint32>(total));
    setPosition(size());
    ++m_count;

    // A removal or replacement leaves the bookmarks inside its range without their bytes: keep
    // them as they are now, so that an undo can put them back.
    const qint64 removed = kind == UndoFlag::KindByteRemoved ? count : kind == UndoFlag::KindReplace ? replCount : 0;
    if (removed > 0) {
        const Bookmarks& bookmarks = m_target.undoBookmarks();
        const bool inside = std::any_of(bookmarks.begin(), bookmarks.end(),
            [&](const Bookmark& b) { return b.position >= position && b.position < position + removed; });
        if (inside)
            m_snapshots.push_back(BookmarkSnapshot {newestSerial(), bookmarks});
    }

    // Bookmarks behind the change move with the data. Inside an undo range nothing gets here: the
    // range is undone by putting the whole data back, which leaves the bookmarks where they are.
    switch (kind) {
    case UndoFlag::KindByteRemoved:
        m_target.shiftBookmarks(position + count, -count);
        break;
    case UndoFlag::KindInsertBuffer:
        m_target.shiftBookmarks(position, count);
        break;
    case UndoFlag::KindReplace:
        m_target.shiftBookmarks(position + replCount, count - replCount);
        break;
    default:
        break;
    }

    if (kind == UndoFlag::KindSelection)
        addSelection(position, count);
}

void UndoStorage::addSelection(qint64 position, qint64 count)
{
    if (m_count == 0 || size() < UndoMinRecord)
        return;
    const auto recordSize = static_cast<qint64>(readAt<quint32>(memory() + size() - 4));
    if (recordSize < UndoMinRecord || recordSize > size())
        return;
    const qint64 start = size() - recordSize;
    auto flags = readAt<quint32>(memory() + start + 4);
    qint64 end = size();
    if (!(flags & undoFlagBit(UndoFlag::HasSelection))) {
        // Grow the record by the block and move its trailer behind it.
        setSize(end + UndoSelectionSize);
        end = size();
        flags |= undoFlagBit(UndoFlag::HasSelection);
        writeAt<quint32>(memory() + start, static_cast<quint32>(recordSize + UndoSelectionSize));
        writeAt<quint32>(memory() + start + 4, flags);
        writeAt<quint32>(memory() + end - 4, static_cast<quint32>(recordSize + UndoSelectionSize));
    }
    char* block = memory() + end - 4 - UndoSelectionSize;
    writeAt<qint32>(block, static_cast<qint32>(position));
    writeAt<qint32>(block + 4, static_cast<qint32>(count > 0 ? position + count - 1 : -1));
    writeAt<qint32>(block + 8, static_cast<qint32>(position));
}

UndoStorage::Parsed UndoStorage::parse(const char* record, qint64 recordSize) const
{
    Parsed p;
    std::memcpy(&p.head, record, UndoHeaderSize);
    const UndoFlags flags = p.head.flags;
    p.kind = kindOf(flags);
    p.data = record + UndoHeaderSize;
    const char* tail = record + recordSize - 4; // the trailer
    if (flags & undoFlagBit(UndoFlag::HasSelection)) {
        tail -= UndoSelectionSize;
        p.hasSelection = true;
        p.selLow = readAt<qint32>(tail);
        p.selHigh = readAt<qint32>(tail + 4);
        p.selAnchor = readAt<qint32>(tail + 8);
    }
    if (flags & undoFlagBit(UndoFlag::HasDescription)) {
        const qint32 length = readAt<qint32>(tail - 4);
        p.description = QString::fromUtf8(tail - 4 - length, length);
    }
    switch (p.kind) {
    case UndoFlag::KindBytesChanged:
    case UndoFlag::KindByteRemoved:
    case UndoFlag::KindConvert:
    case UndoFlag::KindAllData:
        p.dataCount = p.head.count;
        break;
    case UndoFlag::KindReplace:
        p.dataCount = p.head.replCount;
        break;
    case UndoFlag::KindNibbleInsert:
    case UndoFlag::KindNibbleDelete:
        p.dataCount = 1;
        break;
    case UndoFlag::KindCombined: {
        const auto length = static_cast<quint8>(p.data[0]);
        p.description = QString::fromUtf8(p.data + 1, length);
        p.dataCount = 1 + length;
        break;
    }
    default:
        p.dataCount = 0;
        break;
    }
    return p;
}

QString UndoStorage::descriptionOfNewest() const
{
    if (m_count == 0 || size() < UndoMinRecord)
        return {};
    const auto recordSize = static_cast<qint64>(readAt<quint32>(memory() + size() - 4));
    if (recordSize < UndoMinRecord || recordSize > size())
        return {};
    const Parsed p = parse(memory() + size() - recordSize, recordSize);
    return p.description.isEmpty() ? kindDescription(p.kind) : p.description;
}

QByteArray UndoStorage::newestRecord() const
{
    if (m_count == 0 || size() < UndoMinRecord)
        return {};
    const auto recordSize = static_cast<qint64>(readAt<quint32>(memory() + size() - 4));
    if (recordSize > size())
        return {};
    return QByteArray(memory() + size() - recordSize, recordSize);
}

void UndoStorage::restoreState(const Parsed& record)
{
    const UndoFlags flags = record.head.flags;
    // A translation or unit the record cannot hold leaves the one in force.
    UndoTarget::Modes modes = m_target.undoModes();
    modes.unicodeChars = hasFlag(flags, UndoFlag::Unicode);
    modes.unicodeBigEndian = hasFlag(flags, UndoFlag::UnicodeBigEndian);
    if (record.head.translation <= static_cast<quint8>(TranslationKind::Custom))
        modes.translation = static_cast<TranslationKind>(record.head.translation);
    if (record.head.bytesPerUnit == 1 || record.head.bytesPerUnit == 2 || record.head.bytesPerUnit == 4
        || record.head.bytesPerUnit == 8)
        modes.bytesPerUnit = record.head.bytesPerUnit;
    modes.insertMode = hasFlag(flags, UndoFlag::InsertMode);
    modes.modified = hasFlag(flags, UndoFlag::Modified);
    m_target.restoreModes(modes);

    UndoTarget::Place place;
    place.cursor = record.head.cursorPos;
    place.inCharField = hasFlag(flags, UndoFlag::InCharField);
    place.secondColumn = hasFlag(flags, UndoFlag::SecondColumn) && m_target.undoData().size() > 0;
    if (record.hasSelection) {
        if (record.selHigh == -1) {
            // A selection block without a highest position keeps a cursor position only.
            place.cursor = record.selLow;
            place.secondColumn = false;
        } else {
            place.hasSelection = true;
            place.selLow = record.selLow;
            place.selHigh = record.selHigh;
            place.selAnchor = record.selAnchor;
        }
    }
    m_target.restorePlace(place);
}

bool UndoStorage::undoNewest()
{
    if (m_count == 0 || m_updateCount > 0 || size() == 0)
        return false;
    if (size() < UndoMinRecord) {
        reset(false);
        return false;
    }
    const auto recordSize = static_cast<qint64>(readAt<quint32>(memory() + size() - 4));
    if (recordSize < UndoMinRecord || recordSize > size()) {
        reset(false);
        return false;
    }
    const qint64 start = size() - recordSize;
    const Parsed record = parse(memory() + start, recordSize);
    const qint64 position = record.head.position;
    const qint64 count = record.head.count;
    const qint64 replCount = record.head.replCount;

    if (record.kind == UndoFlag::KindCombined) {
        takeNewestSnapshot();
        setSize(start);
        --m_count;
        for (qint64 i = 0; i < count; ++i) {
            if (!undoNewest())
                break;
        }
        m_redo.clear();
        m_lastUndo.clear();
        m_lastUndoDescription.clear();
        m_lastUndoSnapshot.reset();
        m_description = descriptionOfNewest();
        if (size() == 0)
            reset(false);
        return true;
    }

    const std::optional<Bookmarks> snapshot = takeNewestSnapshot();
    const qint64 sizeAfterChange = m_target.undoData().size();
    makeRedo(record);
    switch (record.kind) {
    case UndoFlag::KindBytesChanged:
        m_target.writeUndoBytes(position, record.data, count);
        m_target.setChangedMark(position, hasFlag(record.head.flags, UndoFlag::Byte1Changed));
        if (count >= 2)
            m_target.setChangedMark(position + 1, hasFlag(record.head.flags, UndoFlag::Byte2Changed));
        break;
    case UndoFlag::KindByteRemoved:
        m_target.internalInsert(position, record.data, count);
        m_target.truncateChangedMarks(position);
        restoreBookmarksAfterUndo(snapshot, position, count, sizeAfterChange);
        break;
    case UndoFlag::KindInsertBuffer:
        m_target.internalDelete(position, count);
        m_target.truncateChangedMarks(position);
        m_target.shiftBookmarks(position, -count);
        break;
    case UndoFlag::KindReplace:
        m_target.internalDelete(position, count);
        m_target.internalInsert(position, record.data, replCount);
        m_target.truncateChangedMarks(position - 1);
        restoreBookmarksAfterUndo(snapshot, position + count, replCount - count, sizeAfterChange);
        break;
    case UndoFlag::KindAppendBuffer:
        m_target.internalDelete(position, m_target.undoData().size() - position);
        m_target.truncateChangedMarks(position);
        break;
    case UndoFlag::KindNibbleInsert:
        m_target.truncateChangedMarks(position);
        m_target.internalDeleteNibble(position, true);
        m_target.writeUndoBytes(position, record.data, 1);
        m_target.internalDelete(m_target.undoData().size() - 1, 1);
        m_target.setChangedMark(position, hasFlag(record.head.flags, UndoFlag::Byte1Changed));
        break;
    case UndoFlag::KindNibbleDelete:
        m_target.truncateChangedMarks(position);
        m_target.internalInsertNibble(position, true);
        m_target.writeUndoBytes(position, record.data, 1);
        m_target.internalDelete(m_target.undoData().size() - 1, 1);
        m_target.setChangedMark(position, hasFlag(record.head.flags, UndoFlag::Byte1Changed));
        break;
    case UndoFlag::KindConvert:
        m_target.writeUndoBytes(position, record.data, count);
        m_target.truncateChangedMarks(position);
        break;
    case UndoFlag::KindAllData:
        m_target.internalReplaceAll(record.data, record.dataCount);
        m_target.truncateChangedMarks(0);
        break;
    default:
        break;
    }
    restoreState(record);
    m_target.clearBookmarksBeyondData();

    // Keep the record for a redo; the storage shrinks without moving anything.
    m_lastUndo = QByteArray(memory() + start, recordSize);
    m_lastUndoDescription = m_description;
    m_lastUndoSnapshot = snapshot;
    setSize(start);
    --m_count;
    m_description = descriptionOfNewest();
    if (size() == 0)
        reset(false);
    return true;
}

bool UndoStorage::undo()
{
    if (!undoNewest())
        return false;
    m_target.notifyChanged();
    m_target.notifySelectionChanged();
    return true;
}

int UndoStorage::endUpdate()
{
    if (m_updateCount > 0)
        --m_updateCount;
    return m_updateCount;
}

void UndoStorage::reset(bool withRedo)
{
    setSize(0);
    m_count = 0;
    m_description.clear();
    if (withRedo) {
        m_redo.clear();
        m_lastUndo.clear();
        m_lastUndoDescription.clear();
        m_lastUndoSnapshot.reset();
    }
}

void UndoStorage::removeLastUndo()
{
    if (m_count == 0 || size() < UndoMinRecord)
        return;
    const auto recordSize = static_cast<qint64>(readAt<quint32>(memory() + size() - 4));
    if (recordSize < UndoMinRecord || recordSize > size()) {
        reset(false);
        return;
    }
    takeNewestSnapshot();
    setSize(size() - recordSize);
    if (size() > 0)
        --m_count;
    m_description = descriptionOfNewest();
}

} // namespace kestrum
