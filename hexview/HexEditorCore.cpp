#include "hexview/HexEditorCore.h"

#include "hexview/HexEditorError.h"
#include "hexview/NibbleShift.h"
#include "hexview/UndoStorage.h"

#include <QFileDevice>
#include <QFileInfo>
#include <QIODevice>
#include <QMetaObject>

#include <algorithm>
#include <cstring>

namespace kestrum {

// Construction, the data, editing, undo and notifications. The rest of the class is in
// HexEditorCoreSelection.cpp (cursor, selection, mouse), HexEditorCoreBookmarks.cpp,
// HexEditorCoreKeys.cpp, HexEditorCoreGeometry.cpp (grid, offsets, ruler, column
// widths) and HexEditorCoreSettings.cpp (modes and display settings).

HexEditorCore::HexEditorCore(QObject* parent)
    : QObject(parent)
    , m_undo(std::make_unique<UndoStorage>(static_cast<UndoTarget&>(*this)))
{
    generateOffsetFormat(m_offsetFormatText);
    updateDisplayState();
}

HexEditorCore::~HexEditorCore()
{
    m_undo->reset();
}

// ---------------------------------------------------------------------------------------------
// Data access

void HexEditorCore::loadFromStream(QIODevice& stream)
{
    try {
        const bool sized = !stream.isSequential();
        qint64 total = 0;
        if (sized) {
            if (!stream.seek(0))
                throw HexEditorError(QString::fromLatin1(ErrStreamRead));
            total = stream.size();
        }
        m_data.clearForRefill(total);
        const auto* file = qobject_cast<const QFileDevice*>(&stream);
        const QString name = file && !file->fileName().isEmpty() ? file->fileName() : m_fileName;
        int lastPercent = -1;
        for (;;) {
            const qint64 have = m_data.size();
            const qint64 want = sized ? std::min(LoadSlice, total - have) : LoadSlice;
            if (want <= 0)
                break;
            m_data.setSize(have + want);
            const qint64 got = stream.read(m_data.memory() + have, want);
            if (got < 0)
                throw HexEditorError(QString::fromLatin1(ErrStreamRead));
            m_data.setSize(have + got);
            if (got == 0)
                break;
            if (sized) {
                const int percent = static_cast<int>((have + got) * 100 / total);
                if (percent != lastPercent) {
                    lastPercent = percent;
                    bool cancel = false;
                    Q_EMIT progress(ProgressKind::Load, name, percent, &cancel);
                    if (cancel)
                        raiseHexEditorError(ErrCancelled);
                }
            }
        }
    } catch (...) {
        m_data.clear();
        m_undo->reset();
        m_changedMarks.clearAll();
        clearSelectionState();
        m_cursor = GridCell {};
        m_topRow = 0;
        notifyChanged();
        throw;
    }
    resetAfterLoad();
}

void HexEditorCore::loadFromBytes(QByteArray image)
{
    m_data.adopt(std::move(image));
    resetAfterLoad();
}

void HexEditorCore::resetAfterLoad()
{
    if (m_undo->updateCount() == 0)
        m_undo->reset();
    m_changedMarks.clearAll();
    m_modified = false;
    clearSelectionState();
    m_cursor = GridCell {};
    m_topRow = 0;
    clearBookmarksBeyondData();
    notifyChanged();
    notifySelectionChanged();
}

bool HexEditorCore::isModified() const
{
    if (!m_modified)
        return false;
    return m_data.size() > 0 || (!m_fileName.isEmpty() && QFileInfo::exists(m_fileName));
}

void HexEditorCore::setModified(bool modified)
{
    m_modified = modified;
    if (!modified) {
        m_undo->reset();
        m_changedMarks.clearAll();
    }
    requestRepaint();
}

void HexEditorCore::readBuffer(void* destination, qint64 position, qint64 count) const
{
    m_data.readBufferAt(destination, position, count);
}

quint8 HexEditorCore::dataAt(qint64 position) const
{
    return static_cast<quint8>(*m_data.address(position, 1));
}

void HexEditorCore::setDataAt(qint64 position, quint8 value)
{
    *m_data.address(position, 1) = static_cast<char>(value);
    notifyChanged();
}

void HexEditorCore::writeBuffer(const void* source, qint64 position, qint64 count)
{
    m_data.writeBufferAt(source, position, count);
    notifyChanged();
}

bool HexEditorCore::hasChanged(qint64 position) const
{
    return !m_insertMode && m_changedMarks.testBit(position);
}

void HexEditorCore::setChanged(qint64 position, bool changed)
{
    if (m_insertMode)
        m_changedMarks.clearAll();
    m_changedMarks.setBit(position, changed);
}

// ---------------------------------------------------------------------------------------------
// Primitives without undo

void HexEditorCore::internalInsert(qint64 position, const void* buffer, qint64 count)
{
    if (count <= 0)
        return;
    const qint64 oldSize = m_data.size();
    if (position < 0 || position > oldSize)
        raiseHexEditorError(ErrDataBounds);
    m_data.insertGap(position, count);
    std::memcpy(m_data.memory() + position, buffer, static_cast<size_t>(count));
}

void HexEditorCore::internalDelete(qint64 position, qint64 count)
{
    if (count <= 0)
        return;
    m_data.removeRange(position, count);
}

void HexEditorCore::internalReplaceAll(const void* buffer, qint64 count)
{
    m_data.setSize(0);
    m_data.setSize(count);
    if (count > 0)
        std::memcpy(m_data.memory(), buffer, static_cast<size_t>(count));
}

void HexEditorCore::internalInsertNibble(qint64 position, bool highNibble)
{
    const qint64 oldSize = m_data.size();
    m_data.checkBounds(position, 1);
    m_data.setSize(oldSize + 1);
    auto* bytes = reinterpret_cast<quint8*>(m_data.memory());
    bytes[oldSize] = 0;
    const quint8 first = bytes[position];
    shiftNibblesTowardsEnd(bytes, position + 1, oldSize + 1);
    // The new nibble is zero: before the byte's high nibble, or between its two nibbles.
    bytes[position] = highNibble ? quint8(first >> 4) : quint8(first & 0xF0);
}

void HexEditorCore::internalDeleteNibble(qint64 position, bool highNibble)
{
    m_data.checkBounds(position, 1);
    auto* bytes = reinterpret_cast<quint8*>(m_data.memory());
    const quint8 keptHigh = bytes[position] & 0xF0;
    shiftNibblesTowardsStart(bytes, position, m_data.size());
    if (!highNibble)
        bytes[position] = quint8(keptHigh | (bytes[position] & 0x0F));
}

void HexEditorCore::internalSetInsertMode(bool insertMode)
{
    m_insertMode = insertMode && canInsert();
}

// ---------------------------------------------------------------------------------------------
// Editing

void HexEditorCore::changeByte(quint8 oldValue, quint8 newValue, qint64 position, const QString& description)
{
    if (oldValue == newValue)
        return;
    m_data.checkBounds(position, 1);
    createUndo(UndoFlag::KindBytesChanged, position, 1, 0, description);
    m_data.memory()[position] = static_cast<char>(newValue);
    if (!m_insertMode)
        setChanged(position, true);
    notifyChanged();
}

void HexEditorCore::changeWideChar(quint16 oldValue, quint16 newValue, qint64 position, const QString& description)
{
    if (oldValue == newValue)
        return;
    m_data.checkBounds(position, 2);
    createUndo(UndoFlag::KindBytesChanged, position, 2, 0, description);
    std::memcpy(m_data.memory() + position, &newValue, 2);
    if (!m_insertMode) {
        if ((oldValue & 0xFF) != (newValue & 0xFF))
            setChanged(position, true);
        if ((oldValue >> 8) != (newValue >> 8))
            setChanged(position + 1, true);
    }
    notifyChanged();
}

void HexEditorCore::selectChangedBytes(qint64 position, qint64 count, bool moveCursor)
{
    setSelection(position, position + count - 1);
    if (moveCursor)
        placeCursor(position + count - 1, cursorInCharField());
    ensureCursorVisible();
    notifyChanged();
    notifySelectionChanged();
}

void HexEditorCore::insertBuffer(
    const void* buffer, qint64 count, qint64 position, const QString& description, bool moveCursor)
{
    if (!buffer || count <= 0)
        return;
    if (position < 0 || position > m_data.size())
        raiseHexEditorError(ErrDataBounds);
    createUndo(UndoFlag::KindInsertBuffer, position, count, 0, description);
    internalInsert(position, buffer, count);
    m_changedMarks.truncate(position);
    clearBookmarksBeyondData();
    selectChangedBytes(position, count, moveCursor);
}

void HexEditorCore::appendBuffer(const void* buffer, qint64 count, const QString& description, bool moveCursor)
{
    if (!buffer || count <= 0)
        return;
    const qint64 position = m_data.size();
    createUndo(UndoFlag::KindAppendBuffer, position, count, 0, description);
    internalInsert(position, buffer, count);
    selectChangedBytes(position, count, moveCursor);
}

void HexEditorCore::replaceSelection(const void* buffer, qint64 count, const QString& description, bool moveCursor)
{
    if (!hasSelection()) {
        insertBuffer(buffer, count, cursorPosition(), description, moveCursor);
        return;
    }
    if (!buffer)
        count = 0;
    count = std::max<qint64>(count, 0);
    if (isFileSizeFixed()) {
        if (count == 0)
            return;
        if (count > selCount())
            count = selCount();
        else if (count < selCount())
            m_selHigh = m_selLow + count - 1;
    }
    const qint64 position = m_selLow;
    const qint64 selected = selCount();
    createUndo(UndoFlag::KindReplace, position, count, selected, description);
    internalDelete(position, selected);
    internalInsert(position, buffer, count);
    m_changedMarks.truncate(position);
    clearBookmarksBeyondData();
    if (count > 0) {
        setSelection(position, position + count - 1);
        if (moveCursor)
            placeCursor(position + count - 1, cursorInCharField());
    } else {
        clearSelectionState();
    }
    clampCursor();
    ensureCursorVisible();
    notifyChanged();
    notifySelectionChanged();
}

qint64 HexEditorCore::overwriteBuffer(
    const void* buffer, qint64 count, qint64 position, const QString& description, bool moveCursor)
{
    if (!buffer || position < 0)
        return 0;
    count = std::min(count, m_data.size() - position);
    if (count <= 0)
        return 0;
    // A replacement of equal counts: permitted with a fixed size, and undone byte for byte.
    createUndo(UndoFlag::KindReplace, position, count, count, description);
    std::memcpy(m_data.memory() + position, buffer, static_cast<size_t>(count));
    m_changedMarks.truncate(position);
    selectChangedBytes(position, count, moveCursor);
    return count;
}

void HexEditorCore::deleteSelection(const QString& description)
{
    qint64 position = cursorPosition();
    qint64 count = 1;
    if (hasSelection()) {
        position = m_selLow;
        count = selCount();
    }
    if (position >= m_data.size())
        return; // nothing under the cursor (one past the end in insert mode)
    createUndo(UndoFlag::KindByteRemoved, position, count, 0, description);
    internalDelete(position, count);
    m_changedMarks.truncate(position);
    clearBookmarksBeyondData();
    clearSelectionState();
    clampCursor();
    ensureCursorVisible();
    notifyChanged();
    notifySelectionChanged();
}

void HexEditorCore::eraseUnit(bool backwards, const QString& description)
{
    const qint64 unit = m_bytesPerUnit;
    const qint64 cursor = cursorPosition();
    qint64 start = 0;
    if (backwards) {
        if (cursor <= 0)
            return;
        start = (cursor - 1) - (cursor - 1) % unit;
    } else {
        start = cursor - cursor % unit;
    }
    const qint64 count = std::min(unit, m_data.size() - start);
    if (count <= 0)
        return;
    createUndo(UndoFlag::KindByteRemoved, start, count, 0, description);
    internalDelete(start, count);
    m_changedMarks.truncate(start);
    clearBookmarksBeyondData();
    clearSelectionState();
    if (backwards)
        placeCursor(start, cursorInCharField());
    clampCursor();
    ensureCursorVisible();
    notifyChanged();
    notifySelectionChanged();
}

bool HexEditorCore::insertNibble(qint64 position, bool highNibble, const QString& description)
{
    if (m_data.size() == 0) {
        const char zero = 0;
        appendBuffer(&zero, 1, description, false);
        return true;
    }
    if (position < 0 || position >= m_data.size())
        return false;
    createUndo(UndoFlag::KindNibbleInsert, position, 1, 0, description);
    internalInsertNibble(position, highNibble);
    m_changedMarks.truncate(position);
    clearBookmarksBeyondData();
    notifyChanged();
    return true;
}

bool HexEditorCore::deleteNibble(qint64 position, bool highNibble, const QString& description)
{
    if (position < 0 || position >= m_data.size())
        return false;
    createUndo(UndoFlag::KindNibbleDelete, position, 1, 0, description);
    internalDeleteNibble(position, highNibble);
    m_changedMarks.truncate(position);
    notifyChanged();
    return true;
}

void HexEditorCore::convertRange(
    qint64 from, qint64 to, TranslationKind target, TranslationKind source, const QString& description)
{
    if (target == source || from < 0 || to < from || to >= m_data.size())
        return;
    const qint64 count = to - from + 1;
    createUndo(UndoFlag::KindConvert, from, count, 0, description);
    m_data.translateToAnsi(source, from, count);
    m_data.translateFromAnsi(target, from, count);
    notifyChanged();
}

void HexEditorCore::setDataSize(qint64 size)
{
    size = std::max<qint64>(size, 0);
    const qint64 oldSize = m_data.size();
    if (oldSize > 0 && size > 0 && isFileSizeFixed())
        raiseHexEditorError(ErrFixedSize);
    if (size == oldSize)
        return;
    const bool wasOverridden = m_fixedSizeOverride;
    m_fixedSizeOverride = true;
    try {
        if (size < oldSize) {
            createUndo(UndoFlag::KindByteRemoved, size, oldSize - size, 0, {});
            m_data.setSize(size);
            m_changedMarks.truncate(size);
        } else {
            createUndo(UndoFlag::KindAppendBuffer, oldSize, size - oldSize, 0, {});
            m_data.setSize(size);
            std::memset(m_data.memory() + oldSize, m_fillByte, static_cast<size_t>(size - oldSize));
        }
    } catch (...) {
        m_fixedSizeOverride = wasOverridden;
        throw;
    }
    m_fixedSizeOverride = wasOverridden;
    m_modified = true;
    clearBookmarksBeyondData();
    if (hasSelection() && m_selHigh >= size)
        clearSelectionState();
    clampCursor();
    ensureCursorVisible();
    notifyChanged();
}

// ---------------------------------------------------------------------------------------------
// Undo

bool HexEditorCore::canCreateUndo(UndoFlag kind, qint64 count, qint64 replCount)
{
    if (m_data.size() == 0) {
        if (kind == UndoFlag::KindCombined)
            return m_undo->count() >= count;
        if (kind != UndoFlag::KindInsertBuffer && kind != UndoFlag::KindAppendBuffer && kind != UndoFlag::KindAllData)
            return false;
    }
    if (isFileSizeFixed()) {
        switch (kind) {
        case UndoFlag::KindByteRemoved:
        case UndoFlag::KindInsertBuffer:
        case UndoFlag::KindAppendBuffer:
        case UndoFlag::KindNibbleInsert:
        case UndoFlag::KindNibbleDelete:
            return false;
        case UndoFlag::KindReplace:
            return count == replCount;
        default:
            break;
        }
    }
    return true;
}

void HexEditorCore::createUndo(
    UndoFlag kind, qint64 position, qint64 count, qint64 replCount, const QString& description)
{
    if (!canCreateUndo(kind, count, replCount))
        raiseHexEditorError(ErrUndo);
    m_undo->createUndo(kind, position, count, replCount, description);
    m_modified = true;
}

bool HexEditorCore::undo()
{
    if (!canUndo())
        return false;
    return m_undo->undo();
}

bool HexEditorCore::redo()
{
    if (!canRedo())
        return false;
    return m_undo->redo();
}

bool HexEditorCore::canUndo() const
{
    return !m_readOnlyView && m_undo->canUndo();
}

bool HexEditorCore::canRedo() const
{
    return !m_readOnlyView && m_undo->canRedo();
}

QString HexEditorCore::undoDescription() const
{
    if (!canUndo())
        return QStringLiteral("No undo");
    return m_undo->description();
}

void HexEditorCore::resetUndo()
{
    m_undo->reset();
}

void HexEditorCore::combineUndo(int count, const QString& description)
{
    if (count < 1)
        return;
    createUndo(UndoFlag::KindCombined, cursorPosition(), count, 0, description);
}

void HexEditorCore::addSelectionUndo(qint64 position, qint64 count)
{
    createUndo(UndoFlag::KindSelection, position, count, 0, {});
}

int HexEditorCore::undoBeginUpdate()
{
    return m_undo->beginUpdate();
}

int HexEditorCore::undoEndUpdate()
{
    return m_undo->endUpdate();
}

// ---------------------------------------------------------------------------------------------
// Notifications

void HexEditorCore::requestRepaint()
{
    updateDisplayState();
    Q_EMIT invalidated();
}

void HexEditorCore::notifyChanged()
{
    Q_EMIT changed();
    requestRepaint();
}

void HexEditorCore::notifyBookmarkChanged()
{
    Q_EMIT bookmarkChanged();
    requestRepaint();
}

void HexEditorCore::notifySelectionChanged()
{
    requestRepaint();
    // Many selection changes in one burst (a held Shift+Right) make one notification.
    if (m_selectionChangedCount++ == 0)
        QMetaObject::invokeMethod(this, &HexEditorCore::postSelectionChanged, Qt::QueuedConnection);
}

void HexEditorCore::postSelectionChanged()
{
    m_selectionChangedCount = 0;
    Q_EMIT selectionChanged();
}

// ---------------------------------------------------------------------------------------------
// What the undo storage reads and puts back

bool HexEditorCore::changedMark(qint64 position) const
{
    return m_changedMarks.testBit(position);
}

UndoTarget::Modes HexEditorCore::undoModes() const
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

UndoTarget::Place HexEditorCore::undoPlace() const
{
    Place place;
    place.cursor = cursorPosition();
    place.inCharField = cursorInCharField();
    place.secondColumn = isCursorOnSecondColumn();
    place.hasSelection = hasSelection();
    place.selLow = m_selLow;
    place.selHigh = m_selHigh;
    place.selAnchor = m_selAnchor;
    return place;
}

void HexEditorCore::writeUndoBytes(qint64 position, const void* source, qint64 count)
{
    m_data.writeBufferAt(source, position, count);
}

void HexEditorCore::setChangedMark(qint64 position, bool changed)
{
    m_changedMarks.setBit(position, changed);
}

void HexEditorCore::truncateChangedMarks(qint64 position)
{
    m_changedMarks.truncate(position);
}

void HexEditorCore::restoreModes(const Modes& modes)
{
    // Put back as recorded: none of the checks and side effects of the setters apply.
    m_unicodeChars = modes.unicodeChars;
    m_unicodeBigEndian = modes.unicodeBigEndian;
    m_translation = modes.translation;
    m_bytesPerUnit = modes.bytesPerUnit;
    internalSetInsertMode(modes.insertMode);
    m_modified = modes.modified;
}

void HexEditorCore::restorePlace(const Place& place)
{
    placeCursor(place.cursor, place.inCharField, place.secondColumn);
    clearSelectionState();
    if (place.hasSelection)
        setSelection(place.selAnchor, place.selAnchor == place.selLow ? place.selHigh : place.selLow);
    clampCursor();
    ensureCursorVisible();
}

void HexEditorCore::restoreBookmarks(const Bookmarks& bookmarks)
{
    m_bookmarks = bookmarks;
}

} // namespace kestrum
