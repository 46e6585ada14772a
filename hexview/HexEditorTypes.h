#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

namespace kestrum {

/// Undo record flags; bit n of a record's flag word is element n.
enum class UndoFlag : quint32 {
    KindBytesChanged = 0,
    KindByteRemoved = 1,
    KindInsertBuffer = 2,
    KindReplace = 3,
    KindAppendBuffer = 4,
    KindNibbleInsert = 5,
    KindNibbleDelete = 6,
    KindConvert = 7,
    KindSelection = 8,
    KindCombined = 9,
    KindAllData = 10,
    Byte1Changed = 11,
    Byte2Changed = 12,
    Modified = 13,
    SecondColumn = 14,
    InCharField = 15,
    HasSelection = 16,
    InsertMode = 17,
    Unicode = 18,
    UnicodeBigEndian = 19,
    HasDescription = 20,
};

/// A set of UndoFlag, stored as the 32-bit flag word of a record.
using UndoFlags = quint32;

/// The lowest flag that is not a record kind.
inline constexpr int UndoKindCount = 11;

constexpr UndoFlags undoFlagBit(UndoFlag flag)
{
    return UndoFlags(1) << static_cast<quint32>(flag);
}

/// Character translation between the data bytes and the system code page.
enum class TranslationKind : quint8 {
    AsIs = 0,
    Dos8 = 1,
    Ascii = 2,
    Mac = 3,
    Ebcdic = 4,
    Custom = 5,
};

/// Shape of the caret.
enum class CaretKind : quint8 {
    Full, ///< the whole character cell
    Left, ///< a bar 2 pixels wide at the left edge
    Bottom, ///< a line 2 pixels high at the bottom
    Auto, ///< CaretKind::Bottom in a read-only view, CaretKind::Left in insert mode, else CaretKind::Full
};

/// What a progress report is about.
enum class ProgressKind {
    Load,
};

/// Length of a data slice copied by loadFromStream between two progress reports.
inline constexpr qint64 LoadSlice = 61440;
/// Default undo storage limit in bytes.
inline constexpr qint64 DefaultMaxUndo = 0x100000;
/// The largest file that a drop inserts (the size of the programmer's data buffer).
inline constexpr qint64 MaxDroppedFile = 64 * 1024 * 1024;
/// Number of bookmarks.
inline constexpr int BookmarkCount = 10;

} // namespace kestrum
