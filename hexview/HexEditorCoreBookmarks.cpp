#include "hexview/HexEditorCore.h"

#include "hexview/HexEditorError.h"

#include <algorithm>

namespace kestrum {

// ---------------------------------------------------------------------------------------------
// Bookmarks

void HexEditorCore::checkBookmarkIndex(int index) const
{
    if (index < 0 || index >= BookmarkCount)
        raiseHexEditorError(ErrBookmarkIndex);
}

Bookmark HexEditorCore::bookmark(int index) const
{
    checkBookmarkIndex(index);
    return m_bookmarks[index];
}

void HexEditorCore::setBookmark(int index, const Bookmark& bookmark)
{
    toggleBookmark(index, bookmark.position, bookmark.inCharField);
}

void HexEditorCore::toggleBookmark(int index, qint64 position, bool inCharField)
{
    checkBookmarkIndex(index);
    Bookmark& bookmark = m_bookmarks[index];
    if (bookmark.position == position && bookmark.inCharField == inCharField) {
        bookmark.position = -1;
    } else {
        bookmark.position = static_cast<qint32>(position);
        bookmark.inCharField = inCharField;
    }
    notifyBookmarkChanged();
}

void HexEditorCore::gotoBookmark(int index)
{
    checkBookmarkIndex(index);
    Bookmark& bookmark = m_bookmarks[index];
    if (bookmark.position < 0)
        return;
    if (bookmark.position > maxCursorPos()) {
        bookmark.position = -1;
        notifyBookmarkChanged();
        return;
    }
    clearSelectionState();
    placeCursor(bookmark.position, bookmark.inCharField);
    ensureCursorVisible();
    notifySelectionChanged();
}

void HexEditorCore::shiftBookmarks(qint64 from, qint64 delta)
{
    if (delta == 0)
        return;
    bool moved = false;
    for (Bookmark& bookmark : m_bookmarks) {
        if (bookmark.position >= 0 && bookmark.position >= from) {
            bookmark.position = static_cast<qint32>(std::max<qint64>(bookmark.position + delta, -1));
            moved = true;
        }
    }
    if (moved)
        notifyBookmarkChanged();
}

void HexEditorCore::clearBookmarksBeyondData()
{
    bool cleared = false;
    const qint64 maxPos = maxCursorPos();
    for (Bookmark& bookmark : m_bookmarks) {
        if (bookmark.position >= 0 && bookmark.position > maxPos) {
            bookmark.position = -1;
            cleared = true;
        }
    }
    if (cleared)
        notifyBookmarkChanged();
}

void HexEditorCore::adjustBookmarks(qint64 from, qint64 delta)
{
    shiftBookmarks(from, delta);
    clearBookmarksBeyondData();
}

} // namespace kestrum
