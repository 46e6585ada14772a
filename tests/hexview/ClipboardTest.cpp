#include "HexEditorTestSupport.h"

namespace kestrum::test {

class Clipboard : public EditorTest
{
protected:
    void SetUp() override { editor.setClipboard(&clipboard); }
    void TearDown() override { editor.setClipboard(nullptr); }

    void select(qint64 from, qint64 to)
    {
        editor.setSelStart(from);
        editor.setSelEnd(to);
    }

    FakeClipboard clipboard;
};

TEST_F(Clipboard, CopyPutsTheSelectionInTheThreeFormats)
{
    load(editor, QByteArray("hello\0world", 11));
    select(1, 8);
    ASSERT_TRUE(editor.keyDown(Qt::Key_C, Qt::ControlModifier));
    const QMimeData* data = clipboard.mimeData();
    ASSERT_NE(data, nullptr);

    const QByteArray own = data->data(QString::fromLatin1(OwnClipboardMime));
    ASSERT_EQ(own.size(), 12 + 8);
    EXPECT_EQ(own.left(12), QByteArray("\x4D\x50\x54\x48\x01\x00\x01\x00\x08\x00\x00\x00", 12));
    EXPECT_EQ(own.mid(12), QByteArray("ello\0wor", 8));

    const QByteArray regedit = data->data(QString::fromLatin1(RegEditClipboardMime));
    EXPECT_EQ(regedit,
        QByteArray("\x08\x00\x00\x00"
                   "ello\0wor",
            12));

    EXPECT_EQ(data->text(), QStringLiteral("ello")); // up to the first zero byte
    EXPECT_EQ(dataOf(editor), QByteArray("hello\0world", 11));
    EXPECT_FALSE(editor.isModified());
}

TEST_F(Clipboard, FormatsMadeOnRequestHoldTheBytesAndSettingsOfTheCopy)
{
    load(editor, QByteArray::fromHex("00ff1a2b"));
    editor.setClipboardAsHexText(true);
    select(1, 2);
    editor.copyToClipboard();
    editor.changeByte(0xFF, 0x11, 1); // after the copy: the clipboard keeps what was copied
    editor.setClipboardAsHexText(false);
    const QMimeData* data = clipboard.mimeData();
    EXPECT_EQ(data->data(QString::fromLatin1(OwnClipboardMime)).mid(12), QByteArray::fromHex("ff1a"));
    EXPECT_EQ(data->text(), QStringLiteral("FF1A"));
    // The text is made once and every reader shares it: one byte per digit.
    const QByteArray first = data->data(QStringLiteral("text/plain"));
    EXPECT_EQ(first, QByteArray("FF1A"));
    EXPECT_EQ(data->data(QStringLiteral("text/plain")).constData(), first.constData());
    EXPECT_EQ(data->text().constData(), data->text().constData());

    HexEditor other;
    load(other, QByteArray(4, '\0'));
    ASSERT_TRUE(other.pasteFromMimeData(*data));
    EXPECT_EQ(dataOf(other), QByteArray::fromHex("ff1a0000"));
}

TEST_F(Clipboard, HexTextCopiesTwoDigitsPerByte)
{
    load(editor, QByteArray::fromHex("00ff1a2b"));
    editor.setClipboardAsHexText(true);
    select(0, 3);
    editor.copyToClipboard();
    EXPECT_EQ(clipboard.mimeData()->text(), QStringLiteral("00FF1A2B"));
}

TEST_F(Clipboard, NothingIsCopiedWithoutASelection)
{
    loadPattern(8);
    EXPECT_FALSE(editor.copyToClipboard());
    EXPECT_EQ(clipboard.mimeData(), nullptr);
}

TEST_F(Clipboard, CutCopiesThenDeletesWithItsOwnDescription)
{
    load(editor, QByteArray("0123456789"));
    select(2, 4);
    editor.keyDown(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(dataOf(editor), QByteArray("0156789"));
    EXPECT_EQ(clipboard.mimeData()->text(), QStringLiteral("234"));
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Cut to clipboard"));
    editor.undo();
    EXPECT_EQ(dataOf(editor), QByteArray("0123456789"));
}

TEST_F(Clipboard, CutNeedsASelectionAnEditableViewAndAVariableSize)
{
    load(editor, QByteArray("0123456789"));
    EXPECT_FALSE(editor.cutToClipboard());
    select(2, 4);
    editor.setNoSizeChange(true);
    EXPECT_FALSE(editor.cutToClipboard());
    editor.setNoSizeChange(false);
    editor.setReadOnlyView(true);
    EXPECT_FALSE(editor.cutToClipboard());
    EXPECT_EQ(dataOf(editor), QByteArray("0123456789"));
    EXPECT_EQ(clipboard.mimeData(), nullptr);
}

TEST_F(Clipboard, PasteInsertsAtTheCursorOrReplacesTheSelection)
{
    load(editor, QByteArray("0123456789"));
    editor.setInsertMode(true); // outside insert mode paste overwrites
    select(1, 3);
    editor.copyToClipboard();
    editor.seek(6, 0);
    editor.keyDown(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(dataOf(editor), QByteArray("0123451236789"));
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Paste from clipboard"));
    EXPECT_EQ(editor.selectionLow(), 6);
    EXPECT_EQ(editor.selectionHigh(), 8);

    select(0, 1);
    editor.pasteFromClipboard();
    EXPECT_EQ(dataOf(editor),
        QByteArray("123"
                   "23451236789"));
}

TEST_F(Clipboard, PasteWithAFixedSizeOverwritesAsManyBytesAsItBrings)
{
    load(editor, QByteArray("0123456789"));
    editor.setNoSizeChange(true);
    auto data = std::make_unique<QMimeData>();
    data->setText(QStringLiteral("abc"));
    clipboard.put(std::move(data));
    editor.seek(8, 0);
    editor.pasteFromClipboard();
    EXPECT_EQ(dataOf(editor), QByteArray("01234567ab"));
    editor.seek(2, 0);
    editor.pasteFromClipboard();
    EXPECT_EQ(dataOf(editor), QByteArray("01abc567ab"));
    editor.undo();
    EXPECT_EQ(dataOf(editor), QByteArray("01234567ab"));
}

TEST_F(Clipboard, PastePrefersTheOwnFormatThenRegEditThenText)
{
    QByteArray bytes;
    QMimeData all;
    all.setData(QString::fromLatin1(OwnClipboardMime), QByteArray("MPTH\x01\x00\x01\x00\x02\x00\x00\x00OW", 14));
    all.setData(QString::fromLatin1(RegEditClipboardMime), QByteArray("\x02\x00\x00\x00RE", 6));
    all.setText(QStringLiteral("TX"));
    ASSERT_TRUE(HexEditor::bytesFromMimeData(all, false, bytes));
    EXPECT_EQ(bytes, QByteArray("OW"));

    QMimeData damaged; // a length beyond the data is not trusted
    damaged.setData(QString::fromLatin1(OwnClipboardMime), QByteArray("MPTH\x01\x00\x01\x00\x09\x00\x00\x00OW", 14));
    damaged.setData(QString::fromLatin1(RegEditClipboardMime), QByteArray("\x02\x00\x00\x00RE", 6));
    ASSERT_TRUE(HexEditor::bytesFromMimeData(damaged, false, bytes));
    EXPECT_EQ(bytes, QByteArray("RE"));

    QMimeData text;
    text.setText(QStringLiteral("0aFF 10"));
    ASSERT_TRUE(HexEditor::bytesFromMimeData(text, true, bytes));
    EXPECT_EQ(bytes, QByteArray::fromHex("0aff10"));
    ASSERT_TRUE(HexEditor::bytesFromMimeData(text, false, bytes));
    EXPECT_EQ(bytes, QByteArray("0aFF 10"));
    text.setText(QStringLiteral("not hex"));
    ASSERT_TRUE(HexEditor::bytesFromMimeData(text, true, bytes));
    EXPECT_EQ(bytes, QByteArray("not hex"));

    QMimeData nothing;
    EXPECT_FALSE(HexEditor::bytesFromMimeData(nothing, false, bytes));
}

TEST_F(Clipboard, PasteIntoEmptyDataAppends)
{
    auto data = std::make_unique<QMimeData>();
    data->setText(QStringLiteral("new"));
    clipboard.put(std::move(data));
    editor.setInsertMode(true); // outside insert mode the size never changes
    EXPECT_TRUE(editor.pasteFromClipboard());
    EXPECT_EQ(dataOf(editor), QByteArray("new"));
    editor.setReadOnlyView(true);
    EXPECT_FALSE(editor.pasteFromClipboard());
}

} // namespace kestrum::test
