#include "HexEditorTestSupport.h"

#include <QTemporaryFile>
#include <QUrl>

namespace kestrum::test {

namespace {

void type(TCustomMPHexEditor& editor, const QString& text)
{
    for (const QChar c : text)
        editor.KeyPress(c);
}

/// Clipboard data in the registry editor's format: a 32-bit length, then the bytes.
std::unique_ptr<QMimeData> regeditData(const QByteArray& bytes)
{
    QByteArray payload(4, '\0');
    const auto length = static_cast<quint32>(bytes.size());
    std::memcpy(payload.data(), &length, 4);
    auto data = std::make_unique<QMimeData>();
    data->setData(QString::fromLatin1(MPH_MIME_REGEDIT), payload + bytes);
    return data;
}

} // namespace

class EditorEdges : public EditorTest
{
protected:
    void SetUp() override { editor.SetClipboard(&clipboard); }

    qint32 bookmark(int index) const { return editor.GetBookmark(index).mPosition; }

    FakeClipboard clipboard;
};

TEST_F(EditorEdges, BackspaceAfterAHalfTypedByteInInsertModeRemovesThatByte)
{
    loadPattern(8);
    const QByteArray before = dataOf(editor);
    editor.SetInsertMode(true);
    editor.Seek(3, 0);
    type(editor, QStringLiteral("7"));
    ASSERT_EQ(editor.GetDataAt(3), 0x70);
    ASSERT_TRUE(editor.IsCursorOnSecondColumn());
    editor.KeyDown(Qt::Key_Backspace, Qt::NoModifier);
    EXPECT_EQ(dataOf(editor), before);
    EXPECT_EQ(editor.GetCursorPos(), 3);
    EXPECT_FALSE(editor.IsCursorOnSecondColumn());
}

TEST_F(EditorEdges, UndoPutsBookmarksBackOnTheirBytes)
{
    loadPattern(16);
    editor.SetBookmarkVals(0, 5, false); // inside the range that goes
    editor.SetBookmarkVals(1, 12, true); // behind it
    editor.SetBookmarkVals(2, 1, false); // before it
    editor.SetSelStart(3);
    editor.SetSelEnd(7);
    editor.DeleteSelection();
    EXPECT_EQ(bookmark(1), 7);
    editor.Undo();
    EXPECT_EQ(bookmark(0), 5);
    EXPECT_EQ(editor.GetBookmark(1), (TMPHBookmark {12, true}));
    EXPECT_EQ(bookmark(2), 1);
    editor.Redo();
    EXPECT_EQ(bookmark(1), 7);
    editor.Undo();

    // A bookmark cleared with the tail that a shrink cut off comes back with it.
    editor.SetDataSize(10);
    EXPECT_EQ(bookmark(1), -1);
    editor.Undo();
    EXPECT_EQ(bookmark(1), 12);
}

TEST_F(EditorEdges, ALongCombinedDescriptionIsCutBetweenCharacters)
{
    loadPattern(8);
    editor.IntChangeByte(editor.GetDataAt(0), 0xAA, 0);
    editor.IntChangeByte(editor.GetDataAt(1), 0xAA, 1);
    editor.CombineUndo(2, QString(300, QChar(0xE9))); // two UTF-8 bytes each
    editor.IntChangeByte(editor.GetDataAt(2), 0xAA, 2);
    editor.Undo(); // the description is read back from the stored record
    EXPECT_EQ(editor.GetUndoDescription(), QString(127, QChar(0xE9)));
}

TEST_F(EditorEdges, TypingAndClipboardTextUseTheCodePageTheCharacterFieldShows)
{
    load(editor, QByteArray("\x80\x41\x9F\x20", 4));
    editor.SetSelStart(0);
    editor.SetSelEnd(2);
    ASSERT_TRUE(editor.CopyToClipboard());
    EXPECT_EQ(clipboard.GetMimeData()->text(), QString::fromUtf16(u"\u20ACA\u0178"));

    int invalidKeys = 0;
    editor.OnInvalidKey = [&](TCustomMPHexEditor&) { ++invalidKeys; };
    editor.Seek(1, 0);
    editor.KeyDown(Qt::Key_Tab, Qt::NoModifier);
    type(editor, QString(QChar(0x20AC)));
    EXPECT_EQ(editor.GetDataAt(1), 0x80);
    type(editor, QString(QChar(0x0100))); // not in the code page
    EXPECT_EQ(invalidKeys, 1);
    EXPECT_EQ(editor.GetDataAt(2), 0x9F);

    auto text = std::make_unique<QMimeData>();
    text->setText(QString::fromUtf16(u"\u0178\u20AC"));
    clipboard.put(std::move(text));
    editor.Seek(2, 0);
    ASSERT_TRUE(editor.PasteFromClipboard());
    EXPECT_EQ(dataOf(editor), QByteArray("\x80\x80\x9F\x80", 4));
}

TEST_F(EditorEdges, PasteOutsideInsertModeOverwritesAsManyBytesAsItBrings)
{
    loadPattern(0x200);
    const QByteArray before = dataOf(editor);
    const QByteArray pasted = patternBytes(51, 0x77);
    clipboard.put(regeditData(pasted));
    editor.Seek(0x100, 0);
    editor.KeyDown(Qt::Key_V, Qt::ControlModifier);
    QByteArray after = before;
    after.replace(0x100, 51, pasted);
    EXPECT_EQ(dataOf(editor), after);
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Paste from clipboard"));

    editor.Seek(0x1F0, 0); // near the end only what fits is written
    editor.PasteFromClipboard();
    after.replace(0x1F0, 16, pasted.left(16));
    EXPECT_EQ(dataOf(editor), after);
    editor.Undo();
    editor.Undo();
    EXPECT_EQ(dataOf(editor), before);
}

TEST_F(EditorEdges, DroppedDataGoesInAsPastePutsItAndTheOwnSelectionMoves)
{
    load(editor, QByteArray("0123456789"));
    EXPECT_TRUE(editor.DropBytes("ab", 8, false)); // outside insert mode: written over
    EXPECT_EQ(dataOf(editor), QByteArray("01234567ab"));
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Data dropped"));

    editor.SetInsertMode(true);
    editor.DropBytes("xy", 2, false);
    EXPECT_EQ(dataOf(editor), QByteArray("01xy234567ab"));
    editor.SetSelStart(0);
    editor.SetSelEnd(1);
    EXPECT_FALSE(editor.DropBytes("01", 1, true)); // onto itself: nothing
    EXPECT_TRUE(editor.DropBytes("01", 6, true));
    EXPECT_EQ(dataOf(editor), QByteArray("xy23014567ab"));
    EXPECT_EQ(editor.SelectionLow(), 4);
    EXPECT_EQ(editor.SelectionHigh(), 5);
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Data moved"));
    editor.Undo();
    EXPECT_EQ(dataOf(editor), QByteArray("01xy234567ab"));

    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    file.write("FILE");
    file.flush();
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(file.fileName())});
    EXPECT_TRUE(editor.DropMimeData(dropped, 0, false));
    EXPECT_EQ(dataOf(editor), QByteArray("FILE01xy234567ab"));
}

// Cases that nothing else catches: each fails when the rule it names is broken.

TEST_F(EditorEdges, ABookmarkOnTheLastByteIsKeptAndJumpedTo)
{
    loadPattern(16);
    editor.SetBookmarkVals(4, 15, false);
    editor.Seek(0, 0);
    editor.DeleteSelection(); // the bookmark moves onto the new last byte
    EXPECT_EQ(bookmark(4), 14);
    editor.GotoBookmark(4);
    EXPECT_EQ(editor.GetCursorPos(), 14);
    EXPECT_EQ(bookmark(4), 14);
}

TEST_F(EditorEdges, CtrlShiftZeroAndCtrlZeroUseBookmarkZero)
{
    loadPattern(32);
    editor.Seek(20, 0);
    editor.KeyDown(Qt::Key_0, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(bookmark(0), 20);
    editor.Seek(3, 0);
    editor.KeyDown(Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(editor.GetCursorPos(), 20);
}

TEST_F(EditorEdges, UndoReturnsTheCursorToWhereItWasNotToTheChange)
{
    loadPattern(16);
    editor.Seek(2, 0);
    editor.IntChangeByte(editor.GetDataAt(9), 0xEE, 9);
    editor.Seek(12, 0);
    editor.Undo();
    EXPECT_EQ(editor.GetCursorPos(), 2);
}

TEST_F(EditorEdges, ShrinkingCutsASelectionThatEndsAtTheCut)
{
    loadPattern(16);
    editor.SetSelStart(4);
    editor.SetSelEnd(8);
    editor.SetDataSize(8);
    EXPECT_LT(editor.SelectionHigh(), editor.GetDataSize());
}

TEST_F(EditorEdges, UndoOfATwoByteChangeClearsBothMarks)
{
    load(editor, QByteArray::fromHex("00112233"));
    editor.IntChangeWideChar(0x2211, 0xBBAA, 1);
    ASSERT_TRUE(editor.HasChanged(1));
    ASSERT_TRUE(editor.HasChanged(2));
    editor.Undo();
    EXPECT_FALSE(editor.HasChanged(1));
    EXPECT_FALSE(editor.HasChanged(2));
}

} // namespace kestrum::test
