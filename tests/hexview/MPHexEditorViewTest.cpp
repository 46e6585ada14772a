#include "HexEditorTestSupport.h"

#include "hexview/MPHexEditorView.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTest>

namespace kestrum::test {

class HexEditorView : public ::testing::Test
{
protected:
    void SetUp() override
    {
        view.resize(800, 300);
        view.show();
        QApplication::processEvents();
    }

    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {})
    {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(&view, &press);
    }

    MPHexEditorView view;
};

TEST_F(HexEditorView, TypedKeysReachTheControl)
{
    load(view.editor(), QByteArray::fromHex("5c5c5c"));
    key(Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    key(Qt::Key_B, Qt::ShiftModifier, QStringLiteral("B"));
    EXPECT_EQ(dataOf(view.editor()), QByteArray::fromHex("ab5c5c"));
    key(Qt::Key_Tab);
    EXPECT_TRUE(view.editor().GetInCharField());
    key(Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    EXPECT_EQ(view.editor().GetDataAt(1), 'x');
    key(Qt::Key_Z, Qt::ControlModifier, QString(QChar(0x1A)));
    EXPECT_EQ(view.editor().GetDataAt(1), 0x5C);
    key(Qt::Key_1, Qt::ControlModifier, QStringLiteral("1")); // Ctrl+digit never types the digit
    EXPECT_EQ(view.editor().GetDataAt(1), 0x5C);
}

TEST_F(HexEditorView, CtrlShiftDigitSetsABookmarkWhateverSymbolTheKeyboardSends)
{
    load(view.editor(), patternBytes(64));
    view.editor().Seek(33, 0);
    key(Qt::Key_Exclam, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(view.editor().GetBookmark(1).mPosition, 33);
}

TEST_F(HexEditorView, ClipboardKeysUseTheApplicationClipboard)
{
    load(view.editor(), QByteArray("clip board"));
    view.editor().SetSelStart(0);
    view.editor().SetSelEnd(3);
    key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("clip"));
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasFormat(QString::fromLatin1(MPH_MIME_OWN_FORMAT)));
}

TEST_F(HexEditorView, OffsetsAreAsWideAsTheLastRowStart)
{
    load(view.editor(), QByteArray(0x20000, '\0'));
    EXPECT_EQ(view.offsetText(0), QStringLiteral("0x00000"));
    EXPECT_EQ(view.offsetText(0x1FFF0), QStringLiteral("0x1FFF0"));
    load(view.editor(), QByteArray(0x100, '\0'));
    EXPECT_EQ(view.offsetText(0), QStringLiteral("0x00"));
    EXPECT_EQ(view.offsetText(0xF0), QStringLiteral("0xF0"));
}

TEST_F(HexEditorView, TheScrollBarSpansTheRowsAndFollowsTheCursor)
{
    load(view.editor(), patternBytes(16 * 1000));
    const int visible = view.editor().GetVisibleRowCount();
    EXPECT_GT(visible, 1);
    EXPECT_EQ(view.verticalScrollBar()->maximum(), 1000 - visible);
    key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(view.verticalScrollBar()->value(), 1000 - visible);
    view.verticalScrollBar()->setValue(10);
    EXPECT_EQ(view.editor().GetTopRow(), 10);
}

TEST_F(HexEditorView, AClickMovesTheCursorToTheByteUnderIt)
{
    load(view.editor(), patternBytes(64));
    TMPHGridCell cell;
    // The third byte's digits of the second row, and the character field of the same row.
    const QFontMetrics metrics(view.font());
    const int rowHeight = metrics.height() + 2;
    ASSERT_TRUE(view.cellAt(QPoint(view.width() / 2, rowHeight + 2), cell));
    view.editor().SetCursorCell(cell);
    EXPECT_EQ(view.editor().GetCursorPos() / 16, 1);
    EXPECT_FALSE(view.cellAt(QPoint(2, 2), cell)); // the offset column
}

TEST_F(HexEditorView, PaintsOnlyWithoutTouchingRowsOutOfView)
{
    load(view.editor(), patternBytes(16 * 100000));
    view.editor().SetInsertMode(true);
    view.editor().IntChangeByte(view.editor().GetDataAt(3), 0x00, 3);
    view.editor().SetSelStart(1);
    view.editor().SetSelEnd(20);
    const QImage image = view.grab().toImage();
    EXPECT_FALSE(image.isNull());
    // Something other than the background was drawn in the data area.
    const QColor background = QColor::fromRgb(0xFFFFFF);
    bool drawn = false;
    for (int x = view.width() / 3; x < view.width() / 2 && !drawn; ++x)
        drawn = image.pixelColor(x, 8) != background;
    EXPECT_TRUE(drawn);
}

} // namespace kestrum::test
