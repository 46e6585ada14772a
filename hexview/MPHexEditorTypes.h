#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

namespace kestrum {

/// Undo record flags; bit n of a record's flag word is element n.
enum TMPHUndoFlag : quint32 {
    ufKindBytesChanged = 0,
    ufKindByteRemoved = 1,
    ufKindInsertBuffer = 2,
    ufKindReplace = 3,
    ufKindAppendBuffer = 4,
    ufKindNibbleInsert = 5,
    ufKindNibbleDelete = 6,
    ufKindConvert = 7,
    ufKindSelection = 8,
    ufKindCombined = 9,
    ufKindAllData = 10,
    ufFlagByte1Changed = 11,
    ufFlagByte2Changed = 12,
    ufFlagModified = 13,
    ufFlag2ndByteCol = 14,
    ufFlagInCharField = 15,
    ufFlagHasSelection = 16,
    ufFlagInsertMode = 17,
    ufFlagIsUnicode = 18,
    ufFlagIsUnicodeBigEndian = 19,
    ufFlagHasDescription = 20,
};

/// A set of TMPHUndoFlag, stored as the 32-bit flag word of a record.
using TMPHUndoFlags = quint32;

/// The lowest flag that is not a record kind.
inline constexpr int MPH_UNDO_KIND_COUNT = 11;

constexpr TMPHUndoFlags MPHUndoFlagBit(TMPHUndoFlag flag)
{
    return TMPHUndoFlags(1) << flag;
}

/// Character translation between the data bytes and the system code page.
enum TMPHTranslationKind : quint8 {
    tkAsIs = 0,
    tkDos8 = 1,
    tkASCII = 2,
    tkMac = 3,
    tkBCD = 4,
    tkCustom = 5,
};

/// Shape of the caret.
enum TMPHCaretKind : quint8 {
    ckFull, ///< the whole character cell
    ckLeft, ///< a bar 2 pixels wide at the left edge
    ckBottom, ///< a line 2 pixels high at the bottom
    ckAuto, ///< ckBottom in a read-only view, ckLeft in insert mode, else ckFull
};

/// What a progress report is about.
enum TMPHProgressKind {
    pkLoad,
};

/// Length of a data slice copied by LoadFromStream between two progress reports.
inline constexpr qint64 MPH_LOAD_SLICE = 61440;
/// Block size of the temporary-file streaming used by nibble insertion and deletion.
inline constexpr qint64 MPH_NIBBLE_BLOCK = 512;
/// Default undo storage limit in bytes.
inline constexpr qint64 MPH_DEFAULT_MAX_UNDO = 0x100000;
/// The largest file that a drop inserts (the size of the programmer's data buffer).
inline constexpr qint64 MPH_MAX_DROPPED_FILE = 64 * 1024 * 1024;
/// Number of bookmarks.
inline constexpr int MPH_BOOKMARK_COUNT = 10;

} // namespace kestrum
