#include "HexEditorTestSupport.h"

namespace kestrum::test {

class Clipboard : public EditorTest
{
protected:
    void SetUp() override { editor.SetClipboard(&clipboard); }
    void TearDown() override { editor.SetClipboard(nullptr); }

    void select(qint64 from, qint64 to)
    {
        editor.SetSelStart(from);
        editor.SetSelEnd(to);
    }

    FakeClipboard clipboard;
};

TEST_F(Clipboard, CopyPutsTheSelectionInTheThreeFormats)
{
    load(editor, QByteArray("hello\0world", 11));
    select(1, 8);
    ASSERT_TRUE(editor.KeyDown(Qt::Key_C, Qt::ControlModifier));
    const QMimeData* data = clipboard.GetMimeData();
    ASSERT_NE(data, nullptr);

    const QByteArray own = data->data(QString::fromLatin1(MPH_MIME_OWN_FORMAT));
    ASSERT_EQ(own.size(), 12 + 8);
    EXPECT_EQ(own.left(12), QByteArray("\x4D\x50\x54\x48\x01\x00\x01\x00\x08\x00\x00\x00", 12));
    EXPECT_EQ(own.mid(12), QByteArray("ello\0wor", 8));

    const QByteArray regedit = data->data(QString::fromLatin1(MPH_MIME_REGEDIT));
    EXPECT_EQ(regedit,
        QByteArray("\x08\x00\x00\x00"
                   "ello\0wor",
            12));

    EXPECT_EQ(data->text(), QStringLiteral("ello")); // up to the first zero byte
    EXPECT_EQ(dataOf(editor), QByteArray("hello\0world", 11));
    EXPECT_FALSE(editor.GetModified());
}

TEST_F(Clipboard, HexTextCopiesTwoDigitsPerByte)
{
    load(editor, QByteArray::fromHex("00ff1a2b"));
    editor.SetClipboardAsHexText(true);
    select(0, 3);
    editor.CopyToClipboard();
    EXPECT_EQ(clipboard.GetMimeData()->text(), QStringLiteral("00FF1A2B"));
}

TEST_F(Clipboard, NothingIsCopiedWithoutASelection)
{
    loadPattern(8);
    EXPECT_FALSE(editor.CopyToClipboard());
    EXPECT_EQ(clipboard.GetMimeData(), nullptr);
}

TEST_F(Clipboard, CutCopiesThenDeletesWithItsOwnDescription)
{
    load(editor, QByteArray("0123456789"));
    select(2, 4);
    editor.KeyDown(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(dataOf(editor), QByteArray("0156789"));
    EXPECT_EQ(clipboard.GetMimeData()->text(), QStringLiteral("234"));
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Cut to clipboard"));
    editor.Undo();
    EXPECT_EQ(dataOf(editor), QByteArray("0123456789"));
}

TEST_F(Clipboard, CutNeedsASelectionAnEditableViewAndAVariableSize)
{
    load(editor, QByteArray("0123456789"));
    EXPECT_FALSE(editor.CutToClipboard());
    select(2, 4);
    editor.SetNoSizeChange(true);
    EXPECT_FALSE(editor.CutToClipboard());
    editor.SetNoSizeChange(false);
    editor.SetReadOnlyView(true);
    EXPECT_FALSE(editor.CutToClipboard());
    EXPECT_EQ(dataOf(editor), QByteArray("0123456789"));
    EXPECT_EQ(clipboard.GetMimeData(), nullptr);
}

TEST_F(Clipboard, PasteInsertsAtTheCursorOrReplacesTheSelection)
{
    load(editor, QByteArray("0123456789"));
    editor.SetInsertMode(true); // outside insert mode paste overwrites
    select(1, 3);
    editor.CopyToClipboard();
    editor.Seek(6, 0);
    editor.KeyDown(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(dataOf(editor), QByteArray("0123451236789"));
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Paste from clipboard"));
    EXPECT_EQ(editor.SelectionLow(), 6);
    EXPECT_EQ(editor.SelectionHigh(), 8);

    select(0, 1);
    editor.PasteFromClipboard();
    EXPECT_EQ(dataOf(editor),
        QByteArray("123"
                   "23451236789"));
}

TEST_F(Clipboard, PasteWithAFixedSizeOverwritesAsManyBytesAsItBrings)
{
    load(editor, QByteArray("0123456789"));
    editor.SetNoSizeChange(true);
    auto data = std::make_unique<QMimeData>();
    data->setText(QStringLiteral("abc"));
    clipboard.put(std::move(data));
    editor.Seek(8, 0);
    editor.PasteFromClipboard();
    EXPECT_EQ(dataOf(editor), QByteArray("01234567ab"));
    editor.Seek(2, 0);
    editor.PasteFromClipboard();
    EXPECT_EQ(dataOf(editor), QByteArray("01abc567ab"));
    editor.Undo();
    EXPECT_EQ(dataOf(editor), QByteArray("01234567ab"));
}

TEST_F(Clipboard, PastePrefersTheOwnFormatThenRegEditThenText)
{
    QByteArray bytes;
    QMimeData all;
    all.setData(QString::fromLatin1(MPH_MIME_OWN_FORMAT), QByteArray("MPTH\x01\x00\x01\x00\x02\x00\x00\x00OW", 14));
    all.setData(QString::fromLatin1(MPH_MIME_REGEDIT), QByteArray("\x02\x00\x00\x00RE", 6));
    all.setText(QStringLiteral("TX"));
    ASSERT_TRUE(TMPHexEditorEx::BytesFromMimeData(all, false, bytes));
    EXPECT_EQ(bytes, QByteArray("OW"));

    QMimeData damaged; // a length beyond the data is not trusted
    damaged.setData(QString::fromLatin1(MPH_MIME_OWN_FORMAT), QByteArray("MPTH\x01\x00\x01\x00\x09\x00\x00\x00OW", 14));
    damaged.setData(QString::fromLatin1(MPH_MIME_REGEDIT), QByteArray("\x02\x00\x00\x00RE", 6));
    ASSERT_TRUE(TMPHexEditorEx::BytesFromMimeData(damaged, false, bytes));
    EXPECT_EQ(bytes, QByteArray("RE"));

    QMimeData text;
    text.setText(QStringLiteral("0aFF 10"));
    ASSERT_TRUE(TMPHexEditorEx::BytesFromMimeData(text, true, bytes));
    EXPECT_EQ(bytes, QByteArray::fromHex("0aff10"));
    ASSERT_TRUE(TMPHexEditorEx::BytesFromMimeData(text, false, bytes));
    EXPECT_EQ(bytes, QByteArray("0aFF 10"));
    text.setText(QStringLiteral("not hex"));
    ASSERT_TRUE(TMPHexEditorEx::BytesFromMimeData(text, true, bytes));
    EXPECT_EQ(bytes, QByteArray("not hex"));

    QMimeData nothing;
    EXPECT_FALSE(TMPHexEditorEx::BytesFromMimeData(nothing, false, bytes));
}

TEST_F(Clipboard, PasteIntoEmptyDataAppends)
{
    auto data = std::make_unique<QMimeData>();
    data->setText(QStringLiteral("new"));
    clipboard.put(std::move(data));
    editor.SetInsertMode(true); // outside insert mode the size never changes
    EXPECT_TRUE(editor.PasteFromClipboard());
    EXPECT_EQ(dataOf(editor), QByteArray("new"));
    editor.SetReadOnlyView(true);
    EXPECT_FALSE(editor.PasteFromClipboard());
}

} // namespace kestrum::test
