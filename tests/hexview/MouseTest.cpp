#include "HexEditorTestSupport.h"

namespace kestrum::test {

class MouseSelection : public EditorTest
{
protected:
    void SetUp() override { loadPattern(64); }

    GridCell hexCell(qint64 position, bool secondColumn = false) const
    {
        GridCell cell = editor.cellAtPosition(position, false);
        cell.col += secondColumn ? 1 : 0;
        return cell;
    }
};

TEST_F(MouseSelection, AClickMovesTheCursorAndADragSelects)
{
    editor.mouseDown(hexCell(5, true), false);
    EXPECT_EQ(editor.cursorPosition(), 5);
    EXPECT_TRUE(editor.isCursorOnSecondColumn());
    EXPECT_FALSE(editor.hasSelection());
    EXPECT_TRUE(editor.isMouseSelecting());

    editor.mouseMove(hexCell(5)); // the other nibble of the same byte
    editor.mouseMove(hexCell(20));
    EXPECT_EQ(editor.selectionLow(), 5);
    EXPECT_EQ(editor.selectionHigh(), 20);
    EXPECT_EQ(editor.cursorPosition(), 20);
    editor.mouseMove(hexCell(2)); // back over the start: the selection turns round
    EXPECT_EQ(editor.selectionLow(), 2);
    EXPECT_EQ(editor.selectionHigh(), 5);
    EXPECT_EQ(editor.selStart(), 5);
    editor.mouseUp(hexCell(2));
    EXPECT_FALSE(editor.isMouseSelecting());
    editor.mouseMove(hexCell(30)); // no button held any more
    EXPECT_EQ(editor.selectionHigh(), 5);
}

TEST_F(MouseSelection, DraggingSelectsWholeUnitsAndInInsertModeBackwardsLeavesTheStartUnitOut)
{
    editor.setBytesPerUnit(4);
    editor.mouseDown(hexCell(9), false);
    editor.mouseMove(hexCell(13));
    EXPECT_EQ(editor.selectionLow(), 8);
    EXPECT_EQ(editor.selectionHigh(), 15);
    editor.mouseMove(hexCell(2));
    EXPECT_EQ(editor.selectionLow(), 0);
    EXPECT_EQ(editor.selectionHigh(), 11);
    editor.mouseUp(hexCell(2));

    editor.setInsertMode(true);
    editor.mouseDown(hexCell(9), false);
    editor.mouseMove(hexCell(2));
    EXPECT_EQ(editor.selectionLow(), 0);
    EXPECT_EQ(editor.selectionHigh(), 7); // the unit 8..11 where the drag began is left out
    editor.mouseMove(hexCell(13)); // forwards it is included again
    EXPECT_EQ(editor.selectionLow(), 8);
    EXPECT_EQ(editor.selectionHigh(), 15);
}

TEST_F(MouseSelection, InInsertModeDraggingBackOntoTheStartByteSelectsJustThatByte)
{
    editor.setInsertMode(true);
    editor.mouseDown(hexCell(9), false);
    editor.mouseMove(hexCell(4));
    EXPECT_EQ(editor.selectionLow(), 4);
    EXPECT_EQ(editor.selectionHigh(), 8);
    editor.mouseMove(hexCell(9));
    EXPECT_EQ(editor.selectionLow(), 9);
    EXPECT_EQ(editor.selectionHigh(), 9);
}

TEST_F(MouseSelection, ShiftClickExtendsFromWhereTheSelectionBegan)
{
    editor.seek(10, 0);
    editor.mouseDown(hexCell(20), true);
    editor.mouseUp(hexCell(20));
    EXPECT_EQ(editor.selectionLow(), 10);
    EXPECT_EQ(editor.selectionHigh(), 20);
    editor.mouseDown(hexCell(4), true);
    editor.mouseUp(hexCell(4));
    EXPECT_EQ(editor.selectionLow(), 4);
    EXPECT_EQ(editor.selectionHigh(), 10);
}

TEST_F(MouseSelection, AClickInsideTheSelectionKeepsItUntilReleasedWithoutMoving)
{
    editor.setSelStart(10);
    editor.setSelEnd(20);
    editor.mouseDown(hexCell(15), false);
    EXPECT_EQ(editor.selectionLow(), 10);
    EXPECT_EQ(editor.selectionHigh(), 20);
    editor.mouseUp(hexCell(15));
    EXPECT_FALSE(editor.hasSelection());
    EXPECT_EQ(editor.cursorPosition(), 15);

    // Pressed inside and dragged: a new selection from the pressed byte.
    editor.setSelStart(10);
    editor.setSelEnd(20);
    editor.mouseDown(hexCell(15), false);
    editor.mouseMove(hexCell(30));
    EXPECT_EQ(editor.selectionLow(), 15);
    EXPECT_EQ(editor.selectionHigh(), 30);
}

TEST_F(MouseSelection, CellsBeyondTheDataStopAtTheLastByte)
{
    editor.mouseDown(GridCell {editor.colCount() - 1, 40}, false);
    EXPECT_EQ(editor.cursorPosition(), 63);
    EXPECT_TRUE(editor.cursorInCharField());
    editor.endMouseSelection();
    EXPECT_FALSE(editor.isMouseSelecting());
}

} // namespace kestrum::test
