#include "hexview/TMPHUndoStorage.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kestrum {

namespace {

template <typename T> T readAt(const char* bytes)
{
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

template <typename T> void writeAt(char* bytes, T value)
{
    std::memcpy(bytes, &value, sizeof(T));
}

template <typename T> void append(QByteArray& out, T value)
{
    out.append(reinterpret_cast<const char*>(&value), sizeof(T));
}

bool hasFlag(TMPHUndoFlags flags, TMPHUndoFlag flag)
{
    return flags & MPHUndoFlagBit(flag);
}

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

/// A record read back from the storage (or the redo record); `data` points into its bytes.
struct TMPHUndoStorage::Parsed
{
    TMPHUndoRec head {};
    TMPHUndoFlag kind = ufKindBytesChanged;
    const char* data = nullptr;
    qint64 dataCount = 0; // saved bytes that count for the kind
    QString description; // own description, or the text of a combined record
    bool hasSelection = false;
    qint32 selLow = -1;
    qint32 selHigh = -1;
    qint32 selAnchor = -1;
};

TMPHUndoStorage::TMPHUndoStorage(UndoTarget& target)
    : m_target(target)
{
}

TMPHUndoStorage::~TMPHUndoStorage() = default;

void TMPHUndoStorage::SetSize(qint64 newSize)
{
    if (newSize <= 0) {
        Clear();
        m_count = 0;
        m_snapshots.clear();
        m_firstSerial = 0;
        return;
    }
    MemoryStream::SetSize(newSize);
}

QString TMPHUndoStorage::KindDescription(TMPHUndoFlag kind)
{
    switch (kind) {
    case ufKindBytesChanged:
        return QStringLiteral("Change byte(s)");
    case ufKindByteRemoved:
        return QStringLiteral("Remove data");
    case ufKindInsertBuffer:
        return QStringLiteral("Insert buffer");
    case ufKindReplace:
        return QStringLiteral("Replace");
    case ufKindAppendBuffer:
        return QStringLiteral("Append buffer");
    case ufKindNibbleInsert:
        return QStringLiteral("Insert nibble");
    case ufKindNibbleDelete:
        return QStringLiteral("Delete nibble");
    case ufKindConvert:
        return QStringLiteral("Convert");
    case ufKindSelection:
        return QStringLiteral("Cursor movement");
    case ufKindCombined:
        return QStringLiteral("Multiple modification");
    case ufKindAllData:
        return QStringLiteral("All data saved");
    default:
        break;
    }
    return {};
}

TMPHUndoFlag TMPHUndoStorage::KindOf(TMPHUndoFlags flags)
{
    for (int bit = 0; bit < MPH_UNDO_KIND_COUNT; ++bit) {
        if (flags & (TMPHUndoFlags(1) << bit))
            return static_cast<TMPHUndoFlag>(bit);
    }
    return ufKindBytesChanged;
}

TMPHUndoFlags TMPHUndoStorage::StateFlags(
    qint64 position, qint64 count, const UndoTarget::Modes& modes, const UndoTarget::Place& place) const
{
    TMPHUndoFlags flags = 0;
    if (m_target.ChangedMark(position))
        flags |= MPHUndoFlagBit(ufFlagByte1Changed);
    if (count >= 2 && m_target.ChangedMark(position + 1))
        flags |= MPHUndoFlagBit(ufFlagByte2Changed);
    if (modes.modified)
        flags |= MPHUndoFlagBit(ufFlagModified);
    if (place.secondColumn)
        flags |= MPHUndoFlagBit(ufFlag2ndByteCol);
    if (place.inCharField)
        flags |= MPHUndoFlagBit(ufFlagInCharField);
    if (place.hasSelection)
        flags |= MPHUndoFlagBit(ufFlagHasSelection);
    if (modes.insertMode)
        flags |= MPHUndoFlagBit(ufFlagInsertMode);
    if (modes.unicodeChars)
        flags |= MPHUndoFlagBit(ufFlagIsUnicode);
    if (modes.unicodeBigEndian)
        flags |= MPHUndoFlagBit(ufFlagIsUnicodeBigEndian);
    return flags;
}

void TMPHUndoStorage::TrimToLimit(qint64 maxUndo)
{
    if (maxUndo <= 0 || m_count == 0 || GetSize() <= maxUndo)
        return;
    // Find every record that must go first, then move what stays once: moving the rest once per
    // dropped record would cost the storage size times the number of records.
    const qint64 size = GetSize();
    qint64 cut = 0;
    int dropped = 0;
    while (dropped < m_count && size - cut > maxUndo) {
        if (size - cut < 4) {
            SetSize(0);
            return;
        }
        const auto recordSize = static_cast<qint64>(readAt<quint32>(Memory() + cut));
        if (recordSize < MPH_UNDO_MIN_RECORD || recordSize > size - cut) {
            SetSize(0); // a damaged record: nothing behind it can be trusted
            return;
        }
        cut += recordSize;
        ++dropped;
    }
    const qint64 rest = size - cut;
    if (rest == 0) {
        SetSize(0);
        return;
    }
    std::memmove(Memory(), Memory() + cut, static_cast<size_t>(rest));
    SetSize(rest);
    m_count -= dropped;
    m_firstSerial += quint64(dropped);
    std::erase_if(m_snapshots, [this](const BookmarkSnapshot& s) { return s.serial < m_firstSerial; });
    // A large record that was dropped leaves its memory behind; give most of it back.
    if (Capacity() > 4 * std::max(rest, maxUndo))
        Reallocate(rest + std::min(rest / 2, maxUndo));
}

std::optional<TMPHBookmarks> TMPHUndoStorage::TakeNewestSnapshot()
{
    if (m_count == 0 || m_snapshots.empty() || m_snapshots.back().serial != NewestSerial())
        return std::nullopt;
    const TMPHBookmarks before = m_snapshots.back().before;
    m_snapshots.pop_back();
    return before;
}

void TMPHUndoStorage::RestoreBookmarksAfterUndo(
    const std::optional<TMPHBookmarks>& before, qint64 shiftFrom, qint64 delta, qint64 sizeAfterChange)
{
    if (!before) {
        m_target.ShiftBookmarks(shiftFrom, delta);
        return;
    }
    // A bookmark still where the change left it (on its old position, or cleared because that
    // position fell beyond the data) goes back to its byte; one the user set since follows the data.
    const TMPHBookmarks now = m_target.UndoBookmarks();
    std::array<bool, MPH_BOOKMARK_COUNT> back {};
    for (int i = 0; i < MPH_BOOKMARK_COUNT; ++i) {
        const TMPHBookmark& was = (*before)[i];
        const TMPHBookmark& is = now[i];
        back[i] = was.mPosition >= 0 && (is == was || (is.mPosition == -1 && was.mPosition >= sizeAfterChange));
    }
    m_target.ShiftBookmarks(shiftFrom, delta);
    TMPHBookmarks result = m_target.UndoBookmarks();
    for (int i = 0; i < MPH_BOOKMARK_COUNT; ++i) {
        if (back[i])
            result[i] = (*before)[i];
    }
    if (result != m_target.UndoBookmarks()) {
        m_target.RestoreBookmarks(result);
        m_target.BookmarkChanged();
    }
}

void TMPHUndoStorage::CreateUndo(
    TMPHUndoFlag kind, qint64 position, qint64 count, qint64 replCount, const QString& description)
{
    if (m_updateCount > 0)
        return;
    const QString newDescription = description.isEmpty() ? KindDescription(kind) : description;
    const TMPHMemoryStream& data = m_target.UndoData();
    QByteArray combinedText;
    const char* saved = nullptr;
    qint64 savedCount = 0;
    switch (kind) {
    case ufKindBytesChanged:
    case ufKindByteRemoved:
    case ufKindConvert:
        savedCount = count;
        break;
    case ufKindReplace:
        savedCount = replCount;
        break;
    case ufKindNibbleInsert:
    case ufKindNibbleDelete:
        savedCount = 1;
        break;
    case ufKindAllData:
        position = 0;
        savedCount = count = data.GetSize();
        break;
    case ufKindCombined:
        combinedText = utf8Within(newDescription, 255);
        combinedText.prepend(static_cast<char>(combinedText.size()));
        saved = combinedText.constData();
        savedCount = combinedText.size();
        break;
    default:
        break;
    }
    if (savedCount > 0 && !saved)
        saved = data.GetAddress(position, savedCount); // checks the range before anything changes

    m_redo.clear();
    m_lastUndo.clear();
    m_lastUndoDescription.clear();
    m_lastUndoSnapshot.reset();
    m_description = newDescription;
    TrimToLimit(m_target.UndoLimit());

    const bool ownDescription = !description.isEmpty() && kind != ufKindCombined;
    const QByteArray descriptionBytes = ownDescription ? description.toUtf8() : QByteArray();
    const UndoTarget::Modes modes = m_target.UndoModes();
    const UndoTarget::Place place = m_target.UndoPlace();
    const bool withSelection = place.hasSelection;

    TMPHUndoRec head {};
    head.Flags = MPHUndoFlagBit(kind) | StateFlags(position, count, modes, place);
    if (ownDescription)
        head.Flags |= MPHUndoFlagBit(ufFlagHasDescription);
    head.CurPos = static_cast<qint32>(place.cursor);
    head.Pos = static_cast<qint32>(position);
    head.Count = static_cast<qint32>(count);
    head.ReplCount = static_cast<qint32>(replCount);
    head.CurTranslation = modes.translation;
    head.CurBPU = modes.bytesPerUnit;
    const qint64 size = MPH_UNDO_HEADER_SIZE + std::max<qint64>(1, savedCount)
        + (ownDescription ? descriptionBytes.size() + 4 : 0) + (withSelection ? MPH_UNDO_SELECTION_SIZE : 0) + 4;
    head.DataLen = static_cast<quint32>(size);

    const qint64 start = GetSize();
    SetSize(start + size);
    char* out = Memory() + start;
    std::memcpy(out, &head, MPH_UNDO_HEADER_SIZE);
    out += MPH_UNDO_HEADER_SIZE;
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
        out += MPH_UNDO_SELECTION_SIZE;
    }
    writeAt<quint32>(out, static_cast<quint32>(size));
    SetPosition(GetSize());
    ++m_count;

    // A removal or replacement leaves the bookmarks inside its range without their bytes: keep
    // them as they are now, so that an undo can put them back.
    const qint64 removed = kind == ufKindByteRemoved ? count : kind == ufKindReplace ? replCount : 0;
    if (removed > 0) {
        const TMPHBookmarks& bookmarks = m_target.UndoBookmarks();
        const bool inside = std::any_of(bookmarks.begin(), bookmarks.end(),
            [&](const TMPHBookmark& b) { return b.mPosition >= position && b.mPosition < position + removed; });
        if (inside)
            m_snapshots.push_back(BookmarkSnapshot {NewestSerial(), bookmarks});
    }

    // Bookmarks behind the change move with the data. Inside an undo range nothing gets here: the
    // range is undone by putting the whole data back, which leaves the bookmarks where they are.
    switch (kind) {
    case ufKindByteRemoved:
        m_target.ShiftBookmarks(position + count, -count);
        break;
    case ufKindInsertBuffer:
        m_target.ShiftBookmarks(position, count);
        break;
    case ufKindReplace:
        m_target.ShiftBookmarks(position + replCount, count - replCount);
        break;
    default:
        break;
    }

    if (kind == ufKindSelection)
        AddSelection(position, count);
}

void TMPHUndoStorage::AddSelection(qint64 position, qint64 count)
{
    if (m_count == 0 || GetSize() < MPH_UNDO_MIN_RECORD)
        return;
    const auto size = static_cast<qint64>(readAt<quint32>(Memory() + GetSize() - 4));
    if (size < MPH_UNDO_MIN_RECORD || size > GetSize())
        return;
    const qint64 start = GetSize() - size;
    auto flags = readAt<quint32>(Memory() + start + 4);
    qint64 end = GetSize();
    if (!(flags & MPHUndoFlagBit(ufFlagHasSelection))) {
        // Grow the record by the block and move its trailer behind it.
        SetSize(end + MPH_UNDO_SELECTION_SIZE);
        end = GetSize();
        flags |= MPHUndoFlagBit(ufFlagHasSelection);
        writeAt<quint32>(Memory() + start, static_cast<quint32>(size + MPH_UNDO_SELECTION_SIZE));
        writeAt<quint32>(Memory() + start + 4, flags);
        writeAt<quint32>(Memory() + end - 4, static_cast<quint32>(size + MPH_UNDO_SELECTION_SIZE));
    }
    char* block = Memory() + end - 4 - MPH_UNDO_SELECTION_SIZE;
    writeAt<qint32>(block, static_cast<qint32>(position));
    writeAt<qint32>(block + 4, static_cast<qint32>(count > 0 ? position + count - 1 : -1));
    writeAt<qint32>(block + 8, static_cast<qint32>(position));
}

TMPHUndoStorage::Parsed TMPHUndoStorage::Parse(const char* record, qint64 size) const
{
    Parsed p;
    std::memcpy(&p.head, record, MPH_UNDO_HEADER_SIZE);
    const TMPHUndoFlags flags = p.head.Flags;
    p.kind = KindOf(flags);
    p.data = record + MPH_UNDO_HEADER_SIZE;
    const char* tail = record + size - 4; // the trailer
    if (flags & MPHUndoFlagBit(ufFlagHasSelection)) {
        tail -= MPH_UNDO_SELECTION_SIZE;
        p.hasSelection = true;
        p.selLow = readAt<qint32>(tail);
        p.selHigh = readAt<qint32>(tail + 4);
        p.selAnchor = readAt<qint32>(tail + 8);
    }
    if (flags & MPHUndoFlagBit(ufFlagHasDescription)) {
        const qint32 length = readAt<qint32>(tail - 4);
        p.description = QString::fromUtf8(tail - 4 - length, length);
    }
    switch (p.kind) {
    case ufKindBytesChanged:
    case ufKindByteRemoved:
    case ufKindConvert:
    case ufKindAllData:
        p.dataCount = p.head.Count;
        break;
    case ufKindReplace:
        p.dataCount = p.head.ReplCount;
        break;
    case ufKindNibbleInsert:
    case ufKindNibbleDelete:
        p.dataCount = 1;
        break;
    case ufKindCombined: {
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

QString TMPHUndoStorage::DescriptionOfNewest() const
{
    if (m_count == 0 || GetSize() < MPH_UNDO_MIN_RECORD)
        return {};
    const auto size = static_cast<qint64>(readAt<quint32>(Memory() + GetSize() - 4));
    if (size < MPH_UNDO_MIN_RECORD || size > GetSize())
        return {};
    const Parsed p = Parse(Memory() + GetSize() - size, size);
    return p.description.isEmpty() ? KindDescription(p.kind) : p.description;
}

QByteArray TMPHUndoStorage::NewestRecord() const
{
    if (m_count == 0 || GetSize() < MPH_UNDO_MIN_RECORD)
        return {};
    const auto size = static_cast<qint64>(readAt<quint32>(Memory() + GetSize() - 4));
    if (size > GetSize())
        return {};
    return QByteArray(Memory() + GetSize() - size, size);
}

void TMPHUndoStorage::MakeRedo(const Parsed& record)
{
    const TMPHMemoryStream& data = m_target.UndoData();
    const qint64 position = record.head.Pos;
    const char* saved = nullptr;
    qint64 savedCount = 0;
    switch (record.kind) {
    case ufKindBytesChanged:
    case ufKindInsertBuffer:
    case ufKindReplace:
    case ufKindConvert:
        savedCount = record.head.Count;
        break;
    case ufKindAppendBuffer:
        savedCount = data.GetSize() - position;
        break;
    case ufKindNibbleInsert:
    case ufKindNibbleDelete:
    case ufKindAllData:
        saved = data.Memory();
        savedCount = data.GetSize();
        break;
    default:
        break;
    }
    if (savedCount > 0 && !saved)
        saved = data.GetAddress(position, savedCount);

    const UndoTarget::Modes modes = m_target.UndoModes();
    const UndoTarget::Place place = m_target.UndoPlace();
    TMPHUndoRec head = record.head;
    if (record.kind == ufKindAllData || record.kind == ufKindAppendBuffer)
        head.Count = static_cast<qint32>(savedCount); // the size of the copy, which may be 0
    head.Flags = MPHUndoFlagBit(record.kind) | StateFlags(position, record.head.Count, modes, place);
    head.CurPos = static_cast<qint32>(place.cursor);
    head.CurTranslation = modes.translation;
    head.CurBPU = modes.bytesPerUnit;
    const qint64 size
        = MPH_UNDO_HEADER_SIZE + std::max<qint64>(1, savedCount) + MPH_REDO_BOOKMARKS_SIZE + MPH_UNDO_SELECTION_SIZE;
    head.DataLen = static_cast<quint32>(size);

    QByteArray redo;
    redo.reserve(size);
    redo.append(reinterpret_cast<const char*>(&head), MPH_UNDO_HEADER_SIZE);
    if (savedCount > 0)
        redo.append(saved, savedCount);
    else
        redo.append('\0');
    for (const TMPHBookmark& bookmark : m_target.UndoBookmarks()) {
        append<qint32>(redo, bookmark.mPosition);
        append<quint8>(redo, bookmark.mInCharField ? 1 : 0);
        redo.append(3, '\0');
    }
    append<qint32>(redo, static_cast<qint32>(place.selLow));
    append<qint32>(redo, static_cast<qint32>(place.selHigh));
    append<qint32>(redo, static_cast<qint32>(place.selAnchor));
    m_redo = redo;
}

void TMPHUndoStorage::RestoreState(const Parsed& record)
{
    const TMPHUndoFlags flags = record.head.Flags;
    // A translation or unit the record cannot hold leaves the one in force.
    UndoTarget::Modes modes = m_target.UndoModes();
    modes.unicodeChars = hasFlag(flags, ufFlagIsUnicode);
    modes.unicodeBigEndian = hasFlag(flags, ufFlagIsUnicodeBigEndian);
    if (record.head.CurTranslation <= tkCustom)
        modes.translation = static_cast<TMPHTranslationKind>(record.head.CurTranslation);
    if (record.head.CurBPU == 1 || record.head.CurBPU == 2 || record.head.CurBPU == 4 || record.head.CurBPU == 8)
        modes.bytesPerUnit = record.head.CurBPU;
    modes.insertMode = hasFlag(flags, ufFlagInsertMode);
    modes.modified = hasFlag(flags, ufFlagModified);
    m_target.RestoreModes(modes);

    UndoTarget::Place place;
    place.cursor = record.head.CurPos;
    place.inCharField = hasFlag(flags, ufFlagInCharField);
    place.secondColumn = hasFlag(flags, ufFlag2ndByteCol) && m_target.UndoData().GetSize() > 0;
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
    m_target.RestorePlace(place);
}

bool TMPHUndoStorage::UndoNewest()
{
    if (m_count == 0 || m_updateCount > 0 || GetSize() == 0)
        return false;
    if (GetSize() < MPH_UNDO_MIN_RECORD) {
        Reset(false);
        return false;
    }
    const auto size = static_cast<qint64>(readAt<quint32>(Memory() + GetSize() - 4));
    if (size < MPH_UNDO_MIN_RECORD || size > GetSize()) {
        Reset(false);
        return false;
    }
    const qint64 start = GetSize() - size;
    const Parsed record = Parse(Memory() + start, size);
    const qint64 position = record.head.Pos;
    const qint64 count = record.head.Count;
    const qint64 replCount = record.head.ReplCount;

    if (record.kind == ufKindCombined) {
        TakeNewestSnapshot();
        SetSize(start);
        --m_count;
        for (qint64 i = 0; i < count; ++i) {
            if (!UndoNewest())
                break;
        }
        m_redo.clear();
        m_lastUndo.clear();
        m_lastUndoDescription.clear();
        m_lastUndoSnapshot.reset();
        m_description = DescriptionOfNewest();
        if (GetSize() == 0)
            Reset(false);
        return true;
    }

    const std::optional<TMPHBookmarks> snapshot = TakeNewestSnapshot();
    const qint64 sizeAfterChange = m_target.UndoData().GetSize();
    MakeRedo(record);
    switch (record.kind) {
    case ufKindBytesChanged:
        m_target.WriteUndoBytes(position, record.data, count);
        m_target.SetChangedMark(position, hasFlag(record.head.Flags, ufFlagByte1Changed));
        if (count >= 2)
            m_target.SetChangedMark(position + 1, hasFlag(record.head.Flags, ufFlagByte2Changed));
        break;
    case ufKindByteRemoved:
        m_target.InternalInsert(position, record.data, count);
        m_target.TruncateChangedMarks(position);
        RestoreBookmarksAfterUndo(snapshot, position, count, sizeAfterChange);
        break;
    case ufKindInsertBuffer:
        m_target.InternalDelete(position, count);
        m_target.TruncateChangedMarks(position);
        m_target.ShiftBookmarks(position, -count);
        break;
    case ufKindReplace:
        m_target.InternalDelete(position, count);
        m_target.InternalInsert(position, record.data, replCount);
        m_target.TruncateChangedMarks(position - 1);
        RestoreBookmarksAfterUndo(snapshot, position + count, replCount - count, sizeAfterChange);
        break;
    case ufKindAppendBuffer:
        m_target.InternalDelete(position, m_target.UndoData().GetSize() - position);
        m_target.TruncateChangedMarks(position);
        break;
    case ufKindNibbleInsert:
        m_target.TruncateChangedMarks(position);
        m_target.InternalDeleteNibble(position, true);
        m_target.WriteUndoBytes(position, record.data, 1);
        m_target.InternalDelete(m_target.UndoData().GetSize() - 1, 1);
        m_target.SetChangedMark(position, hasFlag(record.head.Flags, ufFlagByte1Changed));
        break;
    case ufKindNibbleDelete:
        m_target.TruncateChangedMarks(position);
        m_target.InternalInsertNibble(position, true);
        m_target.WriteUndoBytes(position, record.data, 1);
        m_target.InternalDelete(m_target.UndoData().GetSize() - 1, 1);
        m_target.SetChangedMark(position, hasFlag(record.head.Flags, ufFlagByte1Changed));
        break;
    case ufKindConvert:
        m_target.WriteUndoBytes(position, record.data, count);
        m_target.TruncateChangedMarks(position);
        break;
    case ufKindAllData:
        m_target.InternalReplaceAll(record.data, record.dataCount);
        m_target.TruncateChangedMarks(0);
        break;
    default:
        break;
    }
    RestoreState(record);
    m_target.ClearBookmarksBeyondData();

    // Keep the record for a redo; the storage shrinks without moving anything.
    m_lastUndo = QByteArray(Memory() + start, size);
    m_lastUndoDescription = m_description;
    m_lastUndoSnapshot = snapshot;
    SetSize(start);
    --m_count;
    m_description = DescriptionOfNewest();
    if (GetSize() == 0)
        Reset(false);
    return true;
}

bool TMPHUndoStorage::Undo()
{
    if (!UndoNewest())
        return false;
    m_target.Changed();
    m_target.SelectionChanged();
    return true;
}

bool TMPHUndoStorage::Redo()
{
    if (m_redo.isEmpty() || m_updateCount > 0)
        return false;
    const QByteArray redo = m_redo;
    TMPHUndoRec head {};
    std::memcpy(&head, redo.constData(), MPH_UNDO_HEADER_SIZE);
    const TMPHUndoFlag kind = KindOf(head.Flags);
    const char* tail = redo.constData() + redo.size() - MPH_REDO_BOOKMARKS_SIZE - MPH_UNDO_SELECTION_SIZE;
    const char* saved = redo.constData() + MPH_UNDO_HEADER_SIZE;
    // Whole-data copies of nibble records are never empty; every other kind says its count.
    const bool wholeData = kind == ufKindNibbleInsert || kind == ufKindNibbleDelete;
    const qint64 savedCount = wholeData ? tail - saved : qint64(head.Count);
    const qint64 position = head.Pos;
    const qint64 count = head.Count;

    switch (kind) {
    case ufKindBytesChanged:
        m_target.WriteUndoBytes(position, saved, count);
        break;
    case ufKindByteRemoved:
        m_target.InternalDelete(position, count);
        m_target.TruncateChangedMarks(position);
        break;
    case ufKindInsertBuffer:
        m_target.InternalInsert(position, saved, count);
        m_target.TruncateChangedMarks(position);
        break;
    case ufKindReplace:
        m_target.InternalDelete(position, head.ReplCount);
        m_target.InternalInsert(position, saved, count);
        m_target.TruncateChangedMarks(position);
        break;
    case ufKindConvert:
        m_target.InternalDelete(position, count);
        m_target.InternalInsert(position, saved, count);
        m_target.TruncateChangedMarks(position);
        break;
    case ufKindAppendBuffer:
        m_target.InternalInsert(m_target.UndoData().GetSize(), saved, savedCount);
        break;
    case ufKindNibbleInsert:
    case ufKindNibbleDelete:
    case ufKindAllData:
        m_target.InternalReplaceAll(saved, savedCount);
        m_target.TruncateChangedMarks(position);
        break;
    default:
        break;
    }

    TMPHBookmarks bookmarks;
    for (int i = 0; i < MPH_BOOKMARK_COUNT; ++i) {
        bookmarks[i].mPosition = readAt<qint32>(tail + 8 * i);
        bookmarks[i].mInCharField = tail[8 * i + 4] != 0;
    }
    m_target.RestoreBookmarks(bookmarks);
    Parsed state;
    state.head = head;
    state.kind = kind;
    state.hasSelection = true;
    state.selLow = readAt<qint32>(tail + MPH_REDO_BOOKMARKS_SIZE);
    state.selHigh = readAt<qint32>(tail + MPH_REDO_BOOKMARKS_SIZE + 4);
    state.selAnchor = readAt<qint32>(tail + MPH_REDO_BOOKMARKS_SIZE + 8);
    if (state.selAnchor == -1) {
        state.hasSelection = false;
    }
    RestoreState(state);
    if (position < m_target.UndoData().GetSize()) {
        m_target.SetChangedMark(position, hasFlag(head.Flags, ufFlagByte1Changed));
        if (count >= 2 && position + 1 < m_target.UndoData().GetSize())
            m_target.SetChangedMark(position + 1, hasFlag(head.Flags, ufFlagByte2Changed));
    }

    // The undone record becomes undoable again.
    const qint64 end = GetSize();
    SetSize(end + m_lastUndo.size());
    std::memcpy(Memory() + end, m_lastUndo.constData(), static_cast<size_t>(m_lastUndo.size()));
    ++m_count;
    if (m_lastUndoSnapshot)
        m_snapshots.push_back(BookmarkSnapshot {NewestSerial(), *m_lastUndoSnapshot});
    m_description = m_lastUndoDescription;
    m_redo.clear();
    m_lastUndo.clear();
    m_lastUndoDescription.clear();
    m_lastUndoSnapshot.reset();
    m_target.BookmarkChanged();
    m_target.Changed();
    m_target.SelectionChanged();
    return true;
}

int TMPHUndoStorage::EndUpdate()
{
    if (m_updateCount > 0)
        --m_updateCount;
    return m_updateCount;
}

void TMPHUndoStorage::Reset(bool withRedo)
{
    SetSize(0);
    m_count = 0;
    m_description.clear();
    if (withRedo) {
        m_redo.clear();
        m_lastUndo.clear();
        m_lastUndoDescription.clear();
        m_lastUndoSnapshot.reset();
    }
}

void TMPHUndoStorage::RemoveLastUndo()
{
    if (m_count == 0 || GetSize() < MPH_UNDO_MIN_RECORD)
        return;
    const auto size = static_cast<qint64>(readAt<quint32>(Memory() + GetSize() - 4));
    if (size < MPH_UNDO_MIN_RECORD || size > GetSize()) {
        Reset(false);
        return;
    }
    TakeNewestSnapshot();
    SetSize(GetSize() - size);
    if (GetSize() > 0)
        --m_count;
    m_description = DescriptionOfNewest();
}

} // namespace kestrum
