#include "HexEditorTestSupport.h"

#include <QTemporaryFile>
#include <QUrl>

namespace kestrum::test {

namespace {

void type(HexEditorCore& editor, const QString& text)
{
    for (const QChar c : text)
        editor.keyPress(c);
}

/// Clipboard data in the registry editor's format: a 32-bit length, then the bytes.
std::unique_ptr<QMimeData> regeditData(const QByteArray& bytes)
{
    QByteArray payload(4, '\0');
    const auto length = static_cast<quint32>(bytes.size());
    std::memcpy(payload.data(), &length, 4);
    auto data = std::make_unique<QMimeData>();
    data->setData(QString::fromLatin1(RegEditClipboardMime), payload + bytes);
    return data;
}

} // namespace

class EditorEdges : public EditorTest
{
protected:
    void SetUp() override { editor.setClipboard(&clipboard); }

    qint32 bookmark(int index) const { return editor.bookmark(index).position; }

    FakeClipboard clipboard;
};

TEST_F(EditorEdges, BackspaceAfterAHalfTypedByteInInsertModeRemovesThatByte)
{
    loadPattern(8);
    const QByteArray before = dataOf(editor);
    editor.setInsertMode(true);
    editor.seek(3, 0);
    type(editor, QStringLiteral("7"));
    ASSERT_EQ(editor.dataAt(3), 0x70);
    ASSERT_TRUE(editor.isCursorOnSecondColumn());
    editor.keyDown(Qt::Key_Backspace, Qt::NoModifier);
    EXPECT_EQ(dataOf(editor), before);
    EXPECT_EQ(editor.cursorPosition(), 3);
    EXPECT_FALSE(editor.isCursorOnSecondColumn());
}

TEST_F(EditorEdges, UndoPutsBookmarksBackOnTheirBytes)
{
    loadPattern(16);
    editor.toggleBookmark(0, 5, false); // inside the range that goes
    editor.toggleBookmark(1, 12, true); // behind it
    editor.toggleBookmark(2, 1, false); // before it
    editor.setSelStart(3);
    editor.setSelEnd(7);
    editor.deleteSelection();
    EXPECT_EQ(bookmark(1), 7);
    editor.undo();
    EXPECT_EQ(bookmark(0), 5);
    EXPECT_EQ(editor.bookmark(1), (Bookmark {12, true}));
    EXPECT_EQ(bookmark(2), 1);
    editor.redo();
    EXPECT_EQ(bookmark(1), 7);
    editor.undo();

    // A bookmark cleared with the tail that a shrink cut off comes back with it.
    editor.setDataSize(10);
    EXPECT_EQ(bookmark(1), -1);
    editor.undo();
    EXPECT_EQ(bookmark(1), 12);
}

TEST_F(EditorEdges, ALongCombinedDescriptionIsCutBetweenCharacters)
{
    loadPattern(8);
    editor.changeByte(editor.dataAt(0), 0xAA, 0);
    editor.changeByte(editor.dataAt(1), 0xAA, 1);
    editor.combineUndo(2, QString(300, QChar(0xE9))); // two UTF-8 bytes each
    editor.changeByte(editor.dataAt(2), 0xAA, 2);
    editor.undo(); // the description is read back from the stored record
    EXPECT_EQ(editor.undoDescription(), QString(127, QChar(0xE9)));
}

TEST_F(EditorEdges, TypingAndClipboardTextUseTheCodePageTheCharacterFieldShows)
{
    load(editor, QByteArray("\x80\x41\x9F\x20", 4));
    editor.setSelStart(0);
    editor.setSelEnd(2);
    ASSERT_TRUE(editor.copyToClipboard());
    EXPECT_EQ(clipboard.mimeData()->text(), QString::fromUtf16(u"\u20ACA\u0178"));

    int invalidKeys = 0;
    QObject::connect(&editor, &HexEditorCore::invalidKey, [&] { ++invalidKeys; });
    editor.seek(1, 0);
    editor.keyDown(Qt::Key_Tab, Qt::NoModifier);
    type(editor, QString(QChar(0x20AC)));
    EXPECT_EQ(editor.dataAt(1), 0x80);
    type(editor, QString(QChar(0x0100))); // not in the code page
    EXPECT_EQ(invalidKeys, 1);
    EXPECT_EQ(editor.dataAt(2), 0x9F);

    auto text = std::make_unique<QMimeData>();
    text->setText(QString::fromUtf16(u"\u0178\u20AC"));
    clipboard.put(std::move(text));
    editor.seek(2, 0);
    ASSERT_TRUE(editor.pasteFromClipboard());
    EXPECT_EQ(dataOf(editor), QByteArray("\x80\x80\x9F\x80", 4));
}

TEST_F(EditorEdges, PasteOutsideInsertModeOverwritesAsManyBytesAsItBrings)
{
    loadPattern(0x200);
    const QByteArray before = dataOf(editor);
    const QByteArray pasted = patternBytes(51, 0x77);
    clipboard.put(regeditData(pasted));
    editor.seek(0x100, 0);
    editor.keyDown(Qt::Key_V, Qt::ControlModifier);
    QByteArray after = before;
    after.replace(0x100, 51, pasted);
    EXPECT_EQ(dataOf(editor), after);
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Paste from clipboard"));

    editor.seek(0x1F0, 0); // near the end only what fits is written
    editor.pasteFromClipboard();
    after.replace(0x1F0, 16, pasted.left(16));
    EXPECT_EQ(dataOf(editor), after);
    editor.undo();
    editor.undo();
    EXPECT_EQ(dataOf(editor), before);
}

TEST_F(EditorEdges, DroppedDataGoesInAsPastePutsItAndTheOwnSelectionMoves)
{
    load(editor, QByteArray("0123456789"));
    EXPECT_TRUE(editor.dropBytes("ab", 8, false)); // outside insert mode: written over
    EXPECT_EQ(dataOf(editor), QByteArray("01234567ab"));
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Data dropped"));

    editor.setInsertMode(true);
    editor.dropBytes("xy", 2, false);
    EXPECT_EQ(dataOf(editor), QByteArray("01xy234567ab"));
    editor.setSelStart(0);
    editor.setSelEnd(1);
    EXPECT_FALSE(editor.dropBytes("01", 1, true)); // onto itself: nothing
    EXPECT_TRUE(editor.dropBytes("01", 6, true));
    EXPECT_EQ(dataOf(editor), QByteArray("xy23014567ab"));
    EXPECT_EQ(editor.selectionLow(), 4);
    EXPECT_EQ(editor.selectionHigh(), 5);
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Data moved"));
    editor.undo();
    EXPECT_EQ(dataOf(editor), QByteArray("01xy234567ab"));

    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    file.write("FILE");
    file.flush();
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(file.fileName())});
    EXPECT_TRUE(editor.dropMimeData(dropped, 0, false));
    EXPECT_EQ(dataOf(editor), QByteArray("FILE01xy234567ab"));
}

// Cases that nothing else catches: each fails when the rule it names is broken.

TEST_F(EditorEdges, ABookmarkOnTheLastByteIsKeptAndJumpedTo)
{
    loadPattern(16);
    editor.toggleBookmark(4, 15, false);
    editor.seek(0, 0);
    editor.deleteSelection(); // the bookmark moves onto the new last byte
    EXPECT_EQ(bookmark(4), 14);
    editor.gotoBookmark(4);
    EXPECT_EQ(editor.cursorPosition(), 14);
    EXPECT_EQ(bookmark(4), 14);
}

TEST_F(EditorEdges, CtrlShiftZeroAndCtrlZeroUseBookmarkZero)
{
    loadPattern(32);
    editor.seek(20, 0);
    editor.keyDown(Qt::Key_0, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(bookmark(0), 20);
    editor.seek(3, 0);
    editor.keyDown(Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(editor.cursorPosition(), 20);
}

TEST_F(EditorEdges, UndoReturnsTheCursorToWhereItWasNotToTheChange)
{
    loadPattern(16);
    editor.seek(2, 0);
    editor.changeByte(editor.dataAt(9), 0xEE, 9);
    editor.seek(12, 0);
    editor.undo();
    EXPECT_EQ(editor.cursorPosition(), 2);
}

TEST_F(EditorEdges, ShrinkingCutsASelectionThatEndsAtTheCut)
{
    loadPattern(16);
    editor.setSelStart(4);
    editor.setSelEnd(8);
    editor.setDataSize(8);
    EXPECT_LT(editor.selectionHigh(), editor.dataSize());
}

TEST_F(EditorEdges, UndoOfATwoByteChangeClearsBothMarks)
{
    load(editor, QByteArray::fromHex("00112233"));
    editor.changeWideChar(0x2211, 0xBBAA, 1);
    ASSERT_TRUE(editor.hasChanged(1));
    ASSERT_TRUE(editor.hasChanged(2));
    editor.undo();
    EXPECT_FALSE(editor.hasChanged(1));
    EXPECT_FALSE(editor.hasChanged(2));
}

} // namespace kestrum::test
