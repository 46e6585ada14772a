#include "hexview/TCustomMPHexEditor.h"

#include "hexview/EMPHexEditor.h"

#include <algorithm>

namespace kestrum {

// ---------------------------------------------------------------------------------------------
// Bookmarks

void TCustomMPHexEditor::CheckBookmarkIndex(int index) const
{
    if (index < 0 || index >= MPH_BOOKMARK_COUNT)
        RaiseMPHexEditor(MPH_ERR_BOOKMARK_INDEX);
}

TMPHBookmark TCustomMPHexEditor::GetBookmark(int index) const
{
    CheckBookmarkIndex(index);
    return m_bookmarks[index];
}

void TCustomMPHexEditor::SetBookmark(int index, const TMPHBookmark& bookmark)
{
    SetBookmarkVals(index, bookmark.mPosition, bookmark.mInCharField);
}

void TCustomMPHexEditor::SetBookmarkVals(int index, qint64 position, bool inCharField)
{
    CheckBookmarkIndex(index);
    TMPHBookmark& bookmark = m_bookmarks[index];
    if (bookmark.mPosition == position && bookmark.mInCharField == inCharField) {
        bookmark.mPosition = -1;
    } else {
        bookmark.mPosition = static_cast<qint32>(position);
        bookmark.mInCharField = inCharField;
    }
    BookmarkChanged();
}

void TCustomMPHexEditor::GotoBookmark(int index)
{
    CheckBookmarkIndex(index);
    TMPHBookmark& bookmark = m_bookmarks[index];
    if (bookmark.mPosition < 0)
        return;
    if (bookmark.mPosition > MaxCursorPos()) {
        bookmark.mPosition = -1;
        BookmarkChanged();
        return;
    }
    ClearSelectionState();
    MoveCursor(bookmark.mPosition, bookmark.mInCharField);
    EnsureCursorVisible();
    SelectionChanged();
}

void TCustomMPHexEditor::ShiftBookmarks(qint64 from, qint64 delta)
{
    if (delta == 0)
        return;
    bool moved = false;
    for (TMPHBookmark& bookmark : m_bookmarks) {
        if (bookmark.mPosition >= 0 && bookmark.mPosition >= from) {
            bookmark.mPosition = static_cast<qint32>(std::max<qint64>(bookmark.mPosition + delta, -1));
            moved = true;
        }
    }
    if (moved)
        BookmarkChanged();
}

void TCustomMPHexEditor::ClearBookmarksBeyondData()
{
    bool cleared = false;
    const qint64 maxPos = MaxCursorPos();
    for (TMPHBookmark& bookmark : m_bookmarks) {
        if (bookmark.mPosition >= 0 && bookmark.mPosition > maxPos) {
            bookmark.mPosition = -1;
            cleared = true;
        }
    }
    if (cleared)
        BookmarkChanged();
}

void TCustomMPHexEditor::AdjustBookmarks(qint64 from, qint64 delta)
{
    ShiftBookmarks(from, delta);
    ClearBookmarksBeyondData();
}

} // namespace kestrum
