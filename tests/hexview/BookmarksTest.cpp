#include "HexEditorTestSupport.h"

namespace kestrum::test {

class Bookmarks : public EditorTest
{
protected:
    int notifications = 0;

    void SetUp() override
    {
        loadPattern(100);
        editor.OnBookmarkChanged = [this](TCustomMPHexEditor&) { ++notifications; };
    }

    qint32 at(int index) const { return editor.GetBookmark(index).mPosition; }
};

TEST_F(Bookmarks, StartUnsetAndRejectIndexesOutsideZeroToNine)
{
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(at(i), -1);
    const QString invalid = QStringLiteral("Invalid bookmark index");
    EXPECT_EQ(raisedText([&] { editor.GetBookmark(10); }), invalid);
    EXPECT_EQ(raisedText([&] { editor.SetBookmark(10, {1, false}); }), invalid);
    EXPECT_EQ(raisedText([&] { editor.SetBookmarkVals(-1, 1, false); }), invalid);
    EXPECT_EQ(raisedText([&] { editor.GotoBookmark(10); }), invalid);
}

TEST_F(Bookmarks, SettingTheSameValueTwiceClearsIt)
{
    editor.SetBookmarkVals(2, 30, false);
    EXPECT_EQ(at(2), 30);
    editor.SetBookmarkVals(2, 30, true); // another field is another value
    EXPECT_EQ(editor.GetBookmark(2), (TMPHBookmark {30, true}));
    editor.SetBookmark(2, {30, true});
    EXPECT_EQ(at(2), -1);
    EXPECT_EQ(notifications, 3);
}

TEST_F(Bookmarks, GotoMovesTheCursorAndClearsABookmarkBeyondTheData)
{
    editor.SetBookmarkVals(1, 70, true);
    editor.SetBookmarkVals(2, 90, false);
    editor.GotoBookmark(1);
    EXPECT_EQ(editor.GetCursorPos(), 70);
    EXPECT_TRUE(editor.GetInCharField());
    editor.GotoBookmark(5); // unset: nothing
    EXPECT_EQ(editor.GetCursorPos(), 70);

    // Shrinking the data without undo leaves the bookmark behind; going there clears it.
    editor.UndoBeginUpdate();
    editor.SetDataSize(80);
    editor.UndoEndUpdate();
    editor.SetBookmark(3, {95, false});
    editor.GotoBookmark(3);
    EXPECT_EQ(at(3), -1);
    EXPECT_EQ(editor.GetCursorPos(), 70);
}

TEST_F(Bookmarks, MoveWithInsertedAndRemovedData)
{
    editor.SetBookmarkVals(0, 10, false);
    editor.SetBookmarkVals(1, 50, false);
    editor.SetBookmarkVals(2, 99, false);

    editor.InsertBuffer("abcd", 4, 20);
    EXPECT_EQ(at(0), 10);
    EXPECT_EQ(at(1), 54);
    EXPECT_EQ(at(2), 103);

    editor.SetSelStart(30);
    editor.SetSelEnd(39);
    editor.DeleteSelection(); // bytes 30..39
    EXPECT_EQ(at(0), 10);
    EXPECT_EQ(at(1), 44);
    EXPECT_EQ(at(2), 93);

    editor.Undo(); // the removed bytes come back, and the bookmarks with them
    EXPECT_EQ(at(1), 54);
    EXPECT_EQ(at(2), 103);
    editor.Undo();
    EXPECT_EQ(at(1), 50);
    EXPECT_EQ(at(2), 99);
    editor.Redo();
    EXPECT_EQ(at(1), 54);
    EXPECT_EQ(at(2), 103);
}

TEST_F(Bookmarks, FollowAReplacementOfAnotherLength)
{
    editor.SetBookmarkVals(0, 12, false); // just behind the replaced bytes
    editor.SetBookmarkVals(1, 8, false); // before them
    editor.SetSelStart(9);
    editor.SetSelEnd(11);
    editor.ReplaceSelection("123456", 6);
    EXPECT_EQ(at(0), 15);
    EXPECT_EQ(at(1), 8);
    editor.Undo();
    EXPECT_EQ(at(0), 12);
    EXPECT_EQ(at(1), 8);
}

TEST_F(Bookmarks, BookmarksThatFallBeyondTheEndAreCleared)
{
    editor.SetBookmarkVals(4, 97, false);
    editor.SetBookmarkVals(5, 40, false);
    editor.SetDataSize(60);
    EXPECT_EQ(at(4), -1);
    EXPECT_EQ(at(5), 40);

    editor.AdjustBookmarks(30, 25); // 40 + 25 is beyond the 60 bytes
    EXPECT_EQ(at(5), -1);
    editor.SetBookmarkVals(6, 50, false);
    editor.AdjustBookmarks(20, -5);
    EXPECT_EQ(at(6), 45);
    editor.AdjustBookmarks(0, -100);
    EXPECT_EQ(at(6), -1);
}

TEST_F(Bookmarks, BytesRemovedInFrontOfABookmarkAtTheEndMoveIt)
{
    editor.SetBookmarkVals(7, 99, true);
    editor.Seek(0, 0);
    editor.KeyDown(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(editor.GetBookmark(7), (TMPHBookmark {98, true}));
}

TEST_F(Bookmarks, StayWhereTheyAreWhileAnUndoRangeIsOpen)
{
    // A range is undone by putting the whole data back, which does not move bookmarks; so the
    // changes inside the range must not move them either.
    editor.SetBookmarkVals(3, 40, false);
    editor.UndoBeginUpdate(QStringLiteral("Range"));
    editor.InsertBuffer("abcd", 4, 10);
    editor.Seek(20, 0);
    editor.DeleteSelection();
    EXPECT_EQ(at(3), 40);
    editor.UndoEndUpdate();
    ASSERT_TRUE(editor.Undo());
    EXPECT_EQ(dataOf(editor), patternBytes(100));
    EXPECT_EQ(at(3), 40);

    // Outside a range the same insertion moves the bookmark.
    editor.InsertBuffer("abcd", 4, 10);
    EXPECT_EQ(at(3), 44);
}

} // namespace kestrum::test
