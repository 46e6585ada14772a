#pragma once

#include "hexview/ByteSearch.h"

namespace kestrum {

class HexEditor;

/// Where a search through the editor's data ended.
struct FindResult
{
    qint64 position = -1; ///< the match found and selected; -1: none anywhere
    bool wrapped = false; ///< the search passed the end (or, backwards, the start) to find it
};

/// Why a replacement did not happen.
enum class ReplaceRefusal { None, ReadOnly, SizeChange };

/// Finds the next match after the start of the selection, or from the cursor on when there is
/// none (backwards: the last one before them), wrapping round the data once; selects it.
FindResult findInEditor(HexEditor& editor, const SearchPattern& pattern, bool backwards);

/// Whether `replacement` may stand in for the pattern: a read-only view changes nothing, and
/// only insert mode on data of a free size lets the length change.
ReplaceRefusal replacementRefusal(const HexEditor& editor, const SearchPattern& pattern, const QByteArray& replacement);

/// Replaces the selection when it is a match (one undo step) and finds the next one. The first
/// call on a selection that is no match only finds.
FindResult replaceInEditor(HexEditor& editor, const SearchPattern& pattern, const QByteArray& replacement,
    const QString& description);

/// Replaces every match, counted from the start without overlaps, as one undo step; returns
/// their number. The undo step's description is `describe` with "%1" standing for that number.
qint64 replaceAllInEditor(HexEditor& editor, const SearchPattern& pattern, const QByteArray& replacement,
    const QString& describe);

} // namespace kestrum
