#include "HexEditorTestSupport.h"

namespace kestrum::test {

class BookmarkTest : public EditorTest
{
protected:
    int notifications = 0;

    void SetUp() override
    {
        loadPattern(100);
        QObject::connect(&editor, &HexEditorCore::bookmarkChanged, [this] { ++notifications; });
    }

    qint32 at(int index) const { return editor.bookmark(index).position; }
};

TEST_F(BookmarkTest, StartUnsetAndRejectIndexesOutsideZeroToNine)
{
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(at(i), -1);
    const QString invalid = QStringLiteral("Invalid bookmark index");
    EXPECT_EQ(raisedText([&] { editor.bookmark(10); }), invalid);
    EXPECT_EQ(raisedText([&] { editor.setBookmark(10, {1, false}); }), invalid);
    EXPECT_EQ(raisedText([&] { editor.toggleBookmark(-1, 1, false); }), invalid);
    EXPECT_EQ(raisedText([&] { editor.gotoBookmark(10); }), invalid);
}

TEST_F(BookmarkTest, SettingTheSameValueTwiceClearsIt)
{
    editor.toggleBookmark(2, 30, false);
    EXPECT_EQ(at(2), 30);
    editor.toggleBookmark(2, 30, true); // another field is another value
    EXPECT_EQ(editor.bookmark(2), (Bookmark {30, true}));
    editor.setBookmark(2, {30, true});
    EXPECT_EQ(at(2), -1);
    EXPECT_EQ(notifications, 3);
}

TEST_F(BookmarkTest, GotoMovesTheCursorAndClearsABookmarkBeyondTheData)
{
    editor.toggleBookmark(1, 70, true);
    editor.toggleBookmark(2, 90, false);
    editor.gotoBookmark(1);
    EXPECT_EQ(editor.cursorPosition(), 70);
    EXPECT_TRUE(editor.cursorInCharField());
    editor.gotoBookmark(5); // unset: nothing
    EXPECT_EQ(editor.cursorPosition(), 70);

    // Shrinking the data without undo leaves the bookmark behind; going there clears it.
    editor.undoBeginUpdate();
    editor.setDataSize(80);
    editor.undoEndUpdate();
    editor.setBookmark(3, {95, false});
    editor.gotoBookmark(3);
    EXPECT_EQ(at(3), -1);
    EXPECT_EQ(editor.cursorPosition(), 70);
}

TEST_F(BookmarkTest, MoveWithInsertedAndRemovedData)
{
    editor.toggleBookmark(0, 10, false);
    editor.toggleBookmark(1, 50, false);
    editor.toggleBookmark(2, 99, false);

    editor.insertBuffer("abcd", 4, 20);
    EXPECT_EQ(at(0), 10);
    EXPECT_EQ(at(1), 54);
    EXPECT_EQ(at(2), 103);

    editor.setSelStart(30);
    editor.setSelEnd(39);
    editor.deleteSelection(); // bytes 30..39
    EXPECT_EQ(at(0), 10);
    EXPECT_EQ(at(1), 44);
    EXPECT_EQ(at(2), 93);

    editor.undo(); // the removed bytes come back, and the bookmarks with them
    EXPECT_EQ(at(1), 54);
    EXPECT_EQ(at(2), 103);
    editor.undo();
    EXPECT_EQ(at(1), 50);
    EXPECT_EQ(at(2), 99);
    editor.redo();
    EXPECT_EQ(at(1), 54);
    EXPECT_EQ(at(2), 103);
}

TEST_F(BookmarkTest, FollowAReplacementOfAnotherLength)
{
    editor.toggleBookmark(0, 12, false); // just behind the replaced bytes
    editor.toggleBookmark(1, 8, false); // before them
    editor.setSelStart(9);
    editor.setSelEnd(11);
    editor.replaceSelection("123456", 6);
    EXPECT_EQ(at(0), 15);
    EXPECT_EQ(at(1), 8);
    editor.undo();
    EXPECT_EQ(at(0), 12);
    EXPECT_EQ(at(1), 8);
}

TEST_F(BookmarkTest, BookmarksThatFallBeyondTheEndAreCleared)
{
    editor.toggleBookmark(4, 97, false);
    editor.toggleBookmark(5, 40, false);
    editor.setDataSize(60);
    EXPECT_EQ(at(4), -1);
    EXPECT_EQ(at(5), 40);

    editor.adjustBookmarks(30, 25); // 40 + 25 is beyond the 60 bytes
    EXPECT_EQ(at(5), -1);
    editor.toggleBookmark(6, 50, false);
    editor.adjustBookmarks(20, -5);
    EXPECT_EQ(at(6), 45);
    editor.adjustBookmarks(0, -100);
    EXPECT_EQ(at(6), -1);
}

TEST_F(BookmarkTest, BytesRemovedInFrontOfABookmarkAtTheEndMoveIt)
{
    editor.toggleBookmark(7, 99, true);
    editor.seek(0, 0);
    editor.keyDown(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(editor.bookmark(7), (Bookmark {98, true}));
}

TEST_F(BookmarkTest, AnUndoBringsBackTheBookmarksOfItsOwnChange)
{
    const auto removeRange = [this](qint64 from, qint64 to) {
        editor.setSelStart(from);
        editor.setSelEnd(to);
        editor.deleteSelection();
    };
    // A bookmark exactly at the data's new end: cleared by the removal, back with its undo.
    editor.toggleBookmark(0, 90, false);
    removeRange(90, 99);
    EXPECT_EQ(at(0), -1);
    editor.undo();
    EXPECT_EQ(at(0), 90);

    // A removal's snapshot serves that removal's undo only, not the undo of a change after it.
    editor.toggleBookmark(1, 60, false);
    removeRange(55, 64);
    editor.insertBuffer("ab", 2, 0);
    editor.undo();
    editor.undo();
    EXPECT_EQ(at(1), 60);

    // Old records trimmed twice (two, then one): the removal behind them keeps its snapshot.
    const qint64 before = editor.undoStorage().size();
    for (const qint64 position : {10, 20, 30}) {
        editor.seek(position, 0);
        ASSERT_TRUE(editor.keyPress(QLatin1Char('A')));
    }
    const qint64 edit = (editor.undoStorage().size() - before) / 3;
    removeRange(55, 64);
    editor.setMaxUndo(editor.undoStorage().size() - before - 2 * edit);
    for (const qint64 position : {40, 41}) {
        editor.seek(position, 0);
        ASSERT_TRUE(editor.keyPress(QLatin1Char('B')));
    }
    ASSERT_EQ(editor.undoStorage().count(), 3) << "the removal and the two edits after it are left";
    editor.undo();
    editor.undo();
    editor.undo();
    EXPECT_EQ(at(1), 60) << "the removal's undo puts the bookmark back on its byte";
}

TEST_F(BookmarkTest, StayWhereTheyAreWhileAnUndoRangeIsOpen)
{
    // A range is undone by putting the whole data back, which does not move bookmarks; so the
    // changes inside the range must not move them either.
    editor.toggleBookmark(3, 40, false);
    editor.undoBeginUpdate(QStringLiteral("Range"));
    editor.insertBuffer("abcd", 4, 10);
    editor.seek(20, 0);
    editor.deleteSelection();
    EXPECT_EQ(at(3), 40);
    editor.undoEndUpdate();
    ASSERT_TRUE(editor.undo());
    EXPECT_EQ(dataOf(editor), patternBytes(100));
    EXPECT_EQ(at(3), 40);

    // Outside a range the same insertion moves the bookmark.
    editor.insertBuffer("abcd", 4, 10);
    EXPECT_EQ(at(3), 44);
}

} // namespace kestrum::test
