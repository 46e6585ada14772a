#include "HexEditorViewTestSupport.h"

#include <QDragEnterEvent>
#include <QScrollBar>
#include <QStyleHints>

namespace kestrum::test {

namespace {

/// True when the caret-wide box of a cell lies inside the scrolled part of the viewport.
bool inView(const HexEditorView& view, GridCell cell)
{
    const QRect rect = view.cellRect(cell);
    const int fieldsLeft = view.cellRect(GridCell {1, cell.row}).right() + 1;
    return rect.left() >= fieldsLeft && rect.left() + view.charWidth() <= view.viewport()->width();
}

quint32 rgbOf(const QColor& color)
{
    return color.rgb() & 0xFFFFFF;
}

} // namespace

TEST_F(ViewTest, TheCaretAndItsTwinAreScrolledIntoViewSideways)
{
    view.resize(330, 300);
    QApplication::processEvents();
    load(view.editor(), patternBytes(64));
    HexEditor& editor = view.editor();
    ASSERT_GT(view.horizontalScrollBar()->maximum(), 0) << "the fields must be wider than the view";
    key(Qt::Key_Tab);
    EXPECT_TRUE(inView(view, editor.cursorCell()));
    for (int i = 0; i < 10; ++i) {
        key(Qt::Key_Right);
        EXPECT_TRUE(inView(view, editor.cursorCell())) << "after Right " << i + 1;
    }
    key(Qt::Key_Tab);
    EXPECT_TRUE(inView(view, editor.cursorCell()));
    // The last byte: its two cells are close enough to be shown together.
    key(Qt::Key_Tab);
    key(Qt::Key_End);
    EXPECT_TRUE(inView(view, editor.cursorCell()));
    EXPECT_TRUE(inView(view, editor.cellAtPosition(editor.cursorPosition(), false)));
}

TEST_F(ViewTest, GrowingTheViewLeavesNoEmptyRowsBelowTheData)
{
    load(view.editor(), patternBytes(16 * 100));
    HexEditor& editor = view.editor();
    key(Qt::Key_End, Qt::ControlModifier);
    view.resize(800, 600);
    QApplication::processEvents();
    const qint64 dataRows = editor.rowCount() - 2;
    ASSERT_GT(editor.visibleRowCount(), 20);
    EXPECT_EQ(editor.topRow(), dataRows - editor.visibleRowCount());
    EXPECT_EQ(view.verticalScrollBar()->value(), editor.topRow());
    EXPECT_EQ(view.verticalScrollBar()->maximum(), editor.topRow());
}

TEST_F(ViewTexts, BytesWithoutAGlyphInTheCodePageShowTheMaskCharacter)
{
    load(view.editor(), QByteArray::fromHex("7f81ad80419f"));
    const CellTexts texts = paintedTexts();
    const int c = view.editor().charFirstColumn();
    EXPECT_EQ(textAt(texts, 2, c), QStringLiteral(".")); // delete
    EXPECT_EQ(textAt(texts, 2, c + 1), QStringLiteral(".")); // unassigned
    EXPECT_EQ(textAt(texts, 2, c + 2), QStringLiteral(".")); // soft hyphen
    EXPECT_EQ(textAt(texts, 2, c + 3), QString(QChar(0x20AC)));
    EXPECT_EQ(textAt(texts, 2, c + 5), QString(QChar(0x0178)));
}

TEST_F(ViewTest, SystemColoursFollowTheApplicationPalette)
{
    unfocus();
    view.editor().setShowRuler(true);
    load(view.editor(), patternBytes(64));
    const QPalette original = QApplication::palette();
    QPalette dark = original;
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Button, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::Dark, QColor(0x10, 0x10, 0x10));
    dark.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEE));
    QApplication::setPalette(dark);
    QApplication::processEvents();
    const QImage image = snapshot();
    QApplication::setPalette(original);

    const int spacer = view.editor().charFirstColumn() - 1;
    const QRect background = view.cellRect(GridCell {spacer, 2});
    const QRect ruler = view.cellRect(GridCell {6, 0});
    const QRect current = view.cellRect(GridCell {2, 0}); // over the cursor's column
    EXPECT_EQ(countColor(image, background, 0x202020), background.width() * background.height());
    EXPECT_GT(countColor(image, ruler, 0x303030), ruler.width() * ruler.height() / 2);
    EXPECT_GT(countColor(image, current, 0x101010), current.width() * current.height() / 2);
}

TEST_F(ViewTest, TheCaretBlinksAtTheCursorFlashTime)
{
    QStyleHints* hints = QGuiApplication::styleHints();
    hints->setCursorFlashTime(200);
    load(view.editor(), patternBytes(64));
    focus();
    const QRect cursor = box(view.editor().cursorCell());
    const QRect line(cursor.x(), cursor.y() + 1, cursor.width(), 1);
    // Timers run only in the event loop, so the phase holds while a snapshot is taken.
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.caretShown(); }, 2000));
    EXPECT_EQ(countColor(snapshot(), line, 0x000000), cursor.width());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view.caretShown(); }, 2000));
    EXPECT_EQ(countColor(snapshot(), line, 0x000000), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.caretShown(); }, 2000));

    hints->setCursorFlashTime(0); // a steady caret
    QTest::qWait(300);
    EXPECT_TRUE(view.caretShown());
}

TEST_F(ViewTest, DataDraggedOverTheControlShowsTheDropMarkerAndADropPastesIt)
{
    unfocus();
    load(view.editor(), QByteArray("0123456789abcdef"));
    QMimeData data;
    data.setText(QStringLiteral("XY"));
    const GridCell target = view.editor().cellAtPosition(4, true);
    const QRect cell = view.cellRect(target);
    const QRect marker(cell.x(), cell.y(), 2, view.rowHeight());
    const quint32 text = rgbOf(view.palette().color(QPalette::Text));
    const int full = 2 * view.rowHeight();
    ASSERT_LT(countColor(snapshot(), marker, text), full);

    const QPoint point = cell.center();
    QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDragMoveEvent move(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    EXPECT_EQ(countColor(snapshot(), marker, text), full);

    QDropEvent drop(QPointF(point), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &drop);
    EXPECT_EQ(dataOf(view.editor()), QByteArray("0123XY6789abcdef")); // overwritten, as paste does
    EXPECT_LT(countColor(snapshot(), marker, text), full);
}

} // namespace kestrum::test

namespace kestrum::test {

TEST_F(ViewTest, ANarrowViewScrollsItsFieldsSidewaysBehindTheOffsetColumn)
{
    useCrispFont();
    unfocus();
    load(view.editor(), QByteArray(64, char(0xEE)));
    view.resize(260, 200);
    QApplication::processEvents();
    QScrollBar* bar = view.horizontalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    const int fieldsLeft = view.cellRect(GridCell {1, 2}).right() + 1;
    const int lastColumn = view.editor().colCount() - 1;
    bar->setValue(bar->maximum());
    QApplication::processEvents();
    // Fully scrolled, the last character column ends inside the viewport...
    EXPECT_LE(view.cellRect(GridCell {lastColumn, 2}).right(), view.viewport()->width());
    EXPECT_GT(view.cellRect(GridCell {lastColumn, 2}).right(), view.viewport()->width() - 3 * view.charWidth());
    // ...and no digit of the fields, scrolled under the offset column, is painted over it.
    const QImage image = snapshot();
    const QRect offsets(0, view.rulerHeight(), fieldsLeft, view.viewport()->height() - view.rulerHeight());
    EXPECT_EQ(countColor(image, offsets, 0x0000FF) + countColor(image, offsets, 0x000080), 0);
    const QRect lastCharacter = view.cellRect(GridCell {lastColumn, 2});
    EXPECT_GT(countColor(image, lastCharacter, rgbOf(view.palette().color(QPalette::Text))), 0)
        << "the last character is in view";
}

} // namespace kestrum::test
