#include "HexEditorViewTestSupport.h"

#include "hexview/Radix.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>

#include <limits>

namespace kestrum::test {

TEST_F(ViewTest, TypedKeysReachTheControl)
{
    load(view.editor(), QByteArray::fromHex("5c5c5c"));
    key(Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    key(Qt::Key_B, Qt::ShiftModifier, QStringLiteral("B"));
    EXPECT_EQ(dataOf(view.editor()), QByteArray::fromHex("ab5c5c"));
    key(Qt::Key_Tab);
    EXPECT_TRUE(view.editor().cursorInCharField());
    key(Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    EXPECT_EQ(view.editor().dataAt(1), 'x');
    key(Qt::Key_Z, Qt::ControlModifier, QString(QChar(0x1A)));
    EXPECT_EQ(view.editor().dataAt(1), 0x5C);
    key(Qt::Key_1, Qt::ControlModifier, QStringLiteral("1")); // Ctrl+digit never types the digit
    EXPECT_EQ(view.editor().dataAt(1), 0x5C);
}

TEST_F(ViewTest, CtrlShiftDigitSetsABookmarkWhateverSymbolTheKeyboardSends)
{
    load(view.editor(), patternBytes(64));
    view.editor().seek(33, 0);
    key(Qt::Key_Exclam, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(view.editor().bookmark(1).position, 33);
}

TEST_F(ViewTest, ClipboardKeysUseTheApplicationClipboard)
{
    load(view.editor(), QByteArray("clip board"));
    view.editor().setSelStart(0);
    view.editor().setSelEnd(3);
    key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("clip"));
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasFormat(QString::fromLatin1(OwnClipboardMime)));
}

TEST_F(ViewTest, OffsetsAreAsWideAsTheLastRowStart)
{
    load(view.editor(), QByteArray(0x20000, '\0'));
    EXPECT_EQ(view.offsetText(0), QStringLiteral("0x00000"));
    EXPECT_EQ(view.offsetText(0x1FFF0), QStringLiteral("0x1FFF0"));
    load(view.editor(), QByteArray(0x100, '\0'));
    EXPECT_EQ(view.offsetText(0), QStringLiteral("0x00"));
    EXPECT_EQ(view.offsetText(0xF0), QStringLiteral("0xF0"));
}

TEST_F(ViewTest, TheScrollBarSpansTheRowsAndFollowsTheCursor)
{
    load(view.editor(), patternBytes(16 * 1000));
    const int visible = view.editor().visibleRowCount();
    EXPECT_GT(visible, 1);
    EXPECT_EQ(view.verticalScrollBar()->maximum(), 1000 - visible);
    key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(view.verticalScrollBar()->value(), 1000 - visible);
    view.verticalScrollBar()->setValue(10);
    EXPECT_EQ(view.editor().topRow(), 10);
}

TEST_F(ViewTest, AClickMovesTheCursorToTheByteUnderIt)
{
    load(view.editor(), patternBytes(64));
    GridCell cell;
    // The third byte's digits of the second row, and the character field of the same row.
    const QFontMetrics metrics(view.font());
    const int rowHeight = metrics.height() + 2;
    ASSERT_TRUE(view.cellAt(QPoint(view.width() / 2, rowHeight + 2), cell));
    view.editor().setCursorCell(cell);
    EXPECT_EQ(view.editor().cursorPosition() / 16, 1);
    EXPECT_FALSE(view.cellAt(QPoint(2, 2), cell)); // the offset column
}

TEST_F(ViewTest, PaintsOnlyWithoutTouchingRowsOutOfView)
{
    load(view.editor(), patternBytes(16 * 100000));
    view.editor().setInsertMode(true);
    view.editor().changeByte(view.editor().dataAt(3), 0x00, 3);
    view.editor().setSelStart(1);
    view.editor().setSelEnd(20);
    const QImage image = view.grab().toImage();
    EXPECT_FALSE(image.isNull());
    // Something other than the background was drawn in the data area.
    const QColor background = QColor::fromRgb(0xFFFFFF);
    bool drawn = false;
    for (int x = view.width() / 3; x < view.width() / 2 && !drawn; ++x)
        drawn = image.pixelColor(x, 8) != background;
    EXPECT_TRUE(drawn);
}

TEST_F(ViewTest, TheOffsetColumnFollowsTheOffsetFormat)
{
    load(view.editor(), QByteArray(0x20000, '\0'));
    const int w = view.charWidth();
    EXPECT_EQ(view.cellRect(GridCell {2, 2}).x(), (7 + 1) * w + 21 + 6); // "0x1FFF0" plus one
    view.editor().setOffsetFormat(QStringLiteral("8!10:|"));
    EXPECT_EQ(view.offsetText(0x10), QStringLiteral("00000010"));
    EXPECT_EQ(view.cellRect(GridCell {2, 2}).x(), (8 + 1) * w + 21 + 6);
    view.editor().setGutterWidth(50);
    EXPECT_EQ(view.cellRect(GridCell {2, 2}).x(), 50 + 6);
}

TEST_F(ViewTest, TheRulerRowSitsAboveTheDataInTheOffsetColours)
{
    load(view.editor(), patternBytes(64));
    EXPECT_EQ(view.rulerHeight(), 0);
    EXPECT_EQ(view.cellRect(GridCell {2, 2}).y(), 0);
    view.editor().setShowRuler(true);
    EXPECT_EQ(view.rulerHeight(), view.rowHeight() + 3);
    EXPECT_EQ(view.cellRect(GridCell {2, 2}).y(), view.rulerHeight());
    GridCell cell;
    EXPECT_FALSE(view.cellAt(QPoint(view.cellRect(GridCell {4, 2}).center().x(), 2), cell));

    view.editor().seek(1, 0); // the cursor's ruler column is highlighted
    const QImage image = snapshot();
    const HexColors& colors = view.editor().colors();
    const QRect plain = view.cellRect(GridCell {2, 0});
    const QRect current = view.cellRect(GridCell {4, 0});
    const quint32 offsetBackground = view.colorOf(colors.OffsetBackground).rgb() & 0xFFFFFF;
    const quint32 currentBackground = view.colorOf(colors.CurrentOffsetBackground).rgb() & 0xFFFFFF;
    EXPECT_GT(countColor(image, plain, offsetBackground), plain.width() * plain.height() / 2);
    EXPECT_GT(countColor(image, current, currentBackground), current.width() * current.height() / 2);
}

TEST_F(ViewTest, ColumnGroupsAlternateBlueAndNavy)
{
    useCrispFont();
    unfocus();
    load(view.editor(), QByteArray(16, char(0xEE)));
    const QImage image = snapshot();
    const quint32 blue = 0x0000FF;
    const quint32 navy = 0x000080;
    // Two bytes per column: bytes 0 and 1 form group 1, bytes 2 and 3 group 2.
    const QRect first = box(GridCell {3, 2});
    const QRect second = box(GridCell {6, 2});
    EXPECT_GT(countColor(image, first, blue), 0);
    EXPECT_EQ(countColor(image, first, navy), 0);
    EXPECT_GT(countColor(image, second, navy), 0);
    EXPECT_EQ(countColor(image, second, blue), 0);
}

TEST_F(ViewTest, ChangedBytesAreHighlightedAndTheSelectionIsInverted)
{
    useCrispFont();
    unfocus(); // no caret over the cells
    load(view.editor(), patternBytes(64));
    HexEditor& editor = view.editor();
    editor.changeByte(editor.dataAt(1), 0x88, 1);
    QImage image = snapshot();
    const QRect changedHex = box(GridCell {4, 2});
    const QRect changedChar = box(editor.cellAtPosition(1, true));
    const int area = changedHex.width() * changedHex.height();
    EXPECT_GT(countColor(image, changedHex, 0xFFFFA8), area / 2);
    EXPECT_GT(countColor(image, changedHex, 0x800000), 0); // maroon digits
    EXPECT_GT(countColor(image, changedChar, 0xFFFFA8), area / 2);

    editor.setSelStart(0);
    editor.setSelEnd(3);
    image = snapshot();
    EXPECT_GT(countColor(image, changedHex, 0xFFFFA8 ^ 0xFFFFFF), area / 2);
    EXPECT_GT(countColor(image, changedHex, 0x800000 ^ 0xFFFFFF), 0);
    EXPECT_GT(countColor(image, box(GridCell {2, 2}), 0x000000), area / 2); // white inverted
    // The gap after a column group inside the selection is filled, the one after its last byte not.
    const QRect innerGap = view.cellRect(GridCell {5, 2}).adjusted(view.charWidth(), 0, 0, 0);
    const QRect lastGap = view.cellRect(GridCell {9, 2}).adjusted(view.charWidth(), 0, 0, 0);
    EXPECT_EQ(countColor(image, innerGap, 0x000000), innerGap.width() * innerGap.height());
    EXPECT_EQ(countColor(image, lastGap, 0xFFFFFF), lastGap.width() * lastGap.height());
}

TEST_F(ViewTest, TheCaretIsAFullCellOrABarAndTheTwinCellIsFramed)
{
    load(view.editor(), patternBytes(64));
    HexEditor& editor = view.editor();
    editor.seek(5, 0);
    const QRect cursor = box(editor.cursorCell());
    const int top = cursor.y() + 1;
    unfocus();
    QImage image = snapshot();
    EXPECT_EQ(countColor(image, QRect(cursor.x(), top, cursor.width(), 1), 0x000000), 0); // not focused

    focus();
    image = snapshot();
    EXPECT_EQ(countColor(image, QRect(cursor.x(), top, cursor.width(), 1), 0x000000), cursor.width());
    // The same byte in the character field carries a frame.
    const QRect twin = box(editor.cellAtPosition(5, true));
    EXPECT_GT(countColor(image, QRect(twin.x(), twin.y(), twin.width(), 1), 0xFFFFFF), 0);
    EXPECT_LT(countColor(image, QRect(twin.x(), twin.y(), twin.width(), 1), 0xFFFFFF), twin.width());

    editor.setInsertMode(true); // a bar at the left edge
    image = snapshot();
    EXPECT_EQ(countColor(image, QRect(cursor.x(), top, 2, 1), 0x000000), 2);
    EXPECT_EQ(countColor(image, QRect(cursor.x() + 2, top, cursor.width() - 2, 1), 0x000000), 0);
}

TEST_F(ViewTest, TheMouseMovesTheCursorAndSelects)
{
    load(view.editor(), patternBytes(64));
    HexEditor& editor = view.editor();
    const GridCell from = editor.cellAtPosition(2, false);
    const GridCell to = editor.cellAtPosition(25, true);
    mouse(QEvent::MouseButtonPress, from);
    EXPECT_EQ(editor.cursorPosition(), 2);
    EXPECT_TRUE(view.hasFocus());
    mouse(QEvent::MouseMove, to);
    mouse(QEvent::MouseButtonRelease, to);
    EXPECT_EQ(editor.selectionLow(), 2);
    EXPECT_EQ(editor.selectionHigh(), 25);
    EXPECT_TRUE(editor.cursorInCharField());

    const GridCell further = editor.cellAtPosition(40, false);
    mouse(QEvent::MouseButtonPress, further, Qt::ShiftModifier);
    mouse(QEvent::MouseButtonRelease, further, Qt::ShiftModifier);
    EXPECT_EQ(editor.selectionLow(), 2);
    EXPECT_EQ(editor.selectionHigh(), 40);
}

TEST_F(ViewTest, TheWheelScrollsAndCtrlWheelChangesTheBytesPerRowWithinItsRange)
{
    load(view.editor(), patternBytes(16 * 1000));
    HexEditor& editor = view.editor();
    wheel(-120);
    EXPECT_GT(editor.topRow(), 0);
    wheel(120, Qt::ControlModifier);
    EXPECT_EQ(editor.bytesPerRow(), 17);
    wheel(-240, Qt::ControlModifier);
    EXPECT_EQ(editor.bytesPerRow(), 15);
    for (int i = 0; i < 300; ++i)
        wheel(120, Qt::ControlModifier);
    EXPECT_EQ(editor.bytesPerRow(), 256);
    for (int i = 0; i < 300; ++i)
        wheel(-120, Qt::ControlModifier);
    EXPECT_EQ(editor.bytesPerRow(), 1);

    view.setZoomOnWheel(false);
    wheel(120, Qt::ControlModifier);
    EXPECT_EQ(editor.bytesPerRow(), 1);
}

TEST_F(ViewTest, PaintingDrawsOnlyTheRowsInView)
{
    view.editor().setShowRuler(true);
    load(view.editor(), QByteArray(64 * 1024 * 1024, char(0xCC)));
    view.editor().setTopRow(2'000'000);
    const qint64 top = view.editor().topRow() + 2;
    const int visible = view.editor().visibleRowCount();
    qint64 lowest = std::numeric_limits<qint64>::max();
    qint64 highest = -1;
    int cells = 0;
    view.setCellPainter([&](QPainter&, const QRect&, QString&, int row, int, bool&) {
        ++cells;
        if (row >= 2) {
            lowest = std::min<qint64>(lowest, row);
            highest = std::max<qint64>(highest, row);
        }
    });
    view.viewport()->grab();
    EXPECT_EQ(lowest, top);
    EXPECT_LE(highest, top + visible);
    // Ruler and offset cells plus at most one partial row more than fits, 51 columns each.
    EXPECT_LE(cells, (visible + 2) * (51 + 1));
}

TEST_F(ViewTest, TheBookmarkBitmapMustHoldTwentyIcons)
{
    EXPECT_EQ(view.bookmarkBitmap().size(), QSize(10, 200));
    EXPECT_EQ(raisedText([&] { view.setBookmarkBitmap(QImage(10, 100, QImage::Format_RGB32)); }),
        QStringLiteral("Invalid bookmark bitmap (must be 10 x 200 px)"));
    QImage icons(10, 200, QImage::Format_RGB32);
    icons.fill(Qt::red);
    view.setBookmarkBitmap(icons);
    load(view.editor(), patternBytes(64));
    view.editor().toggleBookmark(4, 17, false);
    const QImage image = snapshot();
    const QRect row = view.cellRect(GridCell {0, 3});
    EXPECT_EQ(countColor(image, QRect(3, row.y() + (view.rowHeight() - 10) / 2, 10, 10), 0xFF0000), 100);
}

TEST_F(ViewTexts, DigitsCharactersOffsetsAndRulerAsTheSettingsSay)
{
    view.editor().setShowRuler(true);
    load(view.editor(), QByteArray::fromHex("1f41000a80ff"));
    auto texts = paintedTexts();
    const int c = view.editor().charFirstColumn();
    EXPECT_EQ(textAt(texts, 2, 0), QStringLiteral("0x0"));
    EXPECT_EQ(textAt(texts, 2, 2), QStringLiteral("1"));
    EXPECT_EQ(textAt(texts, 2, 3), QStringLiteral("F"));
    EXPECT_EQ(textAt(texts, 2, c), QStringLiteral(".")); // masked
    EXPECT_EQ(textAt(texts, 2, c + 1), QStringLiteral("A"));
    EXPECT_EQ(textAt(texts, 2, c + 2), QStringLiteral(".")); // code 0
    EXPECT_EQ(textAt(texts, 2, c + 4), QString(QChar(0x20AC))); // 0x80 of the system code page
    EXPECT_EQ(textAt(texts, 2, c + 5), QString(QChar(0xFF)));
    EXPECT_EQ(textAt(texts, 0, 2), QStringLiteral("0")); // ruler over the first byte: "00"
    EXPECT_EQ(textAt(texts, 0, 5), QStringLiteral("1")); // over the second byte: "01"
    EXPECT_EQ(textAt(texts, 0, c + 10), QStringLiteral("A"));
    EXPECT_EQ(texts.count(std::make_pair(2, c + 6)), 0U); // cells beyond the data hold no data
    EXPECT_EQ(texts.count(std::make_pair(3, 2)), 0U);

    view.editor().setSwapNibbles(true);
    view.editor().setHexLowerCase(true);
    view.editor().setMaskChar(QLatin1Char('~'));
    texts = paintedTexts();
    EXPECT_EQ(textAt(texts, 2, 2), QStringLiteral("f"));
    EXPECT_EQ(textAt(texts, 2, 3), QStringLiteral("1"));
    EXPECT_EQ(textAt(texts, 2, c), QStringLiteral("~"));

    view.editor().setTranslation(TranslationKind::Ascii); // bytes with bit 7 set show the mask character
    texts = paintedTexts();
    EXPECT_EQ(textAt(texts, 2, c + 4), QStringLiteral("~"));
    EXPECT_EQ(textAt(texts, 2, c + 1), QStringLiteral("A"));
}

TEST_F(ViewTexts, UnicodeModeShowsOneCharacterPerTwoBytes)
{
    load(view.editor(), QByteArray("A\0\x3A\x04", 4));
    view.editor().setUnicodeChars(true);
    auto texts = paintedTexts();
    const int c = view.editor().charFirstColumn();
    EXPECT_EQ(textAt(texts, 2, c), QStringLiteral("A"));
    EXPECT_EQ(textAt(texts, 2, c + 1), QString(QChar(0x043A)));
    view.editor().setUnicodeBigEndian(true);
    texts = paintedTexts();
    EXPECT_EQ(textAt(texts, 2, c), QString(QChar(0x4100)));
}

TEST_F(ViewTest, WithoutFocusTheSelectionCanHideOrTurnGreyAndThePositionCanShow)
{
    useCrispFont();
    unfocus();
    load(view.editor(), QByteArray(16, char(0x11)));
    HexEditor& editor = view.editor();
    editor.setSelStart(0);
    editor.setSelEnd(3);
    const QRect selected = box(GridCell {2, 2});
    const int area = selected.width() * selected.height();
    EXPECT_GT(countColor(snapshot(), selected, 0x000000), area / 2);

    editor.setGraySelectionIfNotFocused(true);
    EXPECT_GT(countColor(snapshot(), selected, fadeToGray(0x000000)), area / 2);
    const quint32 grayText = fadeToGray(0x0000FF ^ 0xFFFFFF);
    EXPECT_GT(countColor(snapshot(), selected, grayText), 0);

    editor.setHideSelection(true);
    EXPECT_GT(countColor(snapshot(), selected, 0xFFFFFF), area / 2);

    // The cursor cell gets a frame in NonFocusCursorFrame when asked for.
    editor.setFocusFrame(false);
    editor.seek(5, 0);
    const QRect cursor = box(editor.cursorCell());
    EXPECT_EQ(countColor(snapshot(), cursor, editor.colors().NonFocusCursorFrame), 0);
    editor.setShowPositionIfNotFocused(true);
    EXPECT_GT(countColor(snapshot(), cursor, editor.colors().NonFocusCursorFrame), 2 * cursor.width());
}

TEST_F(ViewTest, GridLinesUseTheGridColour)
{
    unfocus();
    load(view.editor(), patternBytes(64));
    HexEditor& editor = view.editor();
    HexColors colors = editor.colors();
    colors.Grid = 0x00FF00;
    editor.setColors(colors);
    const QRect cell = view.cellRect(GridCell {2, 2});
    const QRect bottomLine(cell.x(), cell.bottom(), cell.width(), 1);
    EXPECT_EQ(countColor(snapshot(), bottomLine, 0x00FF00), 0);
    editor.setDrawGridLines(true);
    EXPECT_EQ(countColor(snapshot(), bottomLine, 0x00FF00), cell.width());
}

TEST_F(ViewTest, AutomaticBytesPerRowFollowsTheWidth)
{
    load(view.editor(), patternBytes(4096));
    HexEditor& editor = view.editor();
    editor.setAutoBytesPerRow(true);
    const int fitting = editor.bytesPerRowForWidth(view.viewport()->width(), view.charWidth());
    EXPECT_EQ(editor.bytesPerRow(), fitting);
    EXPECT_NE(fitting, 16);
    view.resize(view.width() / 2, view.height());
    QApplication::processEvents();
    EXPECT_LT(editor.bytesPerRow(), fitting);
    EXPECT_EQ(editor.bytesPerRow(), editor.bytesPerRowForWidth(view.viewport()->width(), view.charWidth()));
}

} // namespace kestrum::test
