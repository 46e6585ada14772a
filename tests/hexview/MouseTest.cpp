#include "HexEditorTestSupport.h"

namespace kestrum::test {

class MouseSelection : public EditorTest
{
protected:
    void SetUp() override { loadPattern(64); }

    TMPHGridCell hexCell(qint64 position, bool secondColumn = false) const
    {
        TMPHGridCell cell = editor.GetCursorAtPos(position, false);
        cell.col += secondColumn ? 1 : 0;
        return cell;
    }
};

TEST_F(MouseSelection, AClickMovesTheCursorAndADragSelects)
{
    editor.MouseDown(hexCell(5, true), false);
    EXPECT_EQ(editor.GetCursorPos(), 5);
    EXPECT_TRUE(editor.IsCursorOnSecondColumn());
    EXPECT_FALSE(editor.HasSelection());
    EXPECT_TRUE(editor.IsMouseSelecting());

    editor.MouseMove(hexCell(5)); // the other nibble of the same byte
    editor.MouseMove(hexCell(20));
    EXPECT_EQ(editor.SelectionLow(), 5);
    EXPECT_EQ(editor.SelectionHigh(), 20);
    EXPECT_EQ(editor.GetCursorPos(), 20);
    editor.MouseMove(hexCell(2)); // back over the start: the selection turns round
    EXPECT_EQ(editor.SelectionLow(), 2);
    EXPECT_EQ(editor.SelectionHigh(), 5);
    EXPECT_EQ(editor.GetSelStart(), 5);
    editor.MouseUp(hexCell(2));
    EXPECT_FALSE(editor.IsMouseSelecting());
    editor.MouseMove(hexCell(30)); // no button held any more
    EXPECT_EQ(editor.SelectionHigh(), 5);
}

TEST_F(MouseSelection, DraggingSelectsWholeUnitsAndInInsertModeBackwardsLeavesTheStartUnitOut)
{
    editor.SetBytesPerUnit(4);
    editor.MouseDown(hexCell(9), false);
    editor.MouseMove(hexCell(13));
    EXPECT_EQ(editor.SelectionLow(), 8);
    EXPECT_EQ(editor.SelectionHigh(), 15);
    editor.MouseMove(hexCell(2));
    EXPECT_EQ(editor.SelectionLow(), 0);
    EXPECT_EQ(editor.SelectionHigh(), 11);
    editor.MouseUp(hexCell(2));

    editor.SetInsertMode(true);
    editor.MouseDown(hexCell(9), false);
    editor.MouseMove(hexCell(2));
    EXPECT_EQ(editor.SelectionLow(), 0);
    EXPECT_EQ(editor.SelectionHigh(), 7); // the unit 8..11 where the drag began is left out
    editor.MouseMove(hexCell(13)); // forwards it is included again
    EXPECT_EQ(editor.SelectionLow(), 8);
    EXPECT_EQ(editor.SelectionHigh(), 15);
}

TEST_F(MouseSelection, InInsertModeDraggingBackOntoTheStartByteSelectsJustThatByte)
{
    editor.SetInsertMode(true);
    editor.MouseDown(hexCell(9), false);
    editor.MouseMove(hexCell(4));
    EXPECT_EQ(editor.SelectionLow(), 4);
    EXPECT_EQ(editor.SelectionHigh(), 8);
    editor.MouseMove(hexCell(9));
    EXPECT_EQ(editor.SelectionLow(), 9);
    EXPECT_EQ(editor.SelectionHigh(), 9);
}

TEST_F(MouseSelection, ShiftClickExtendsFromWhereTheSelectionBegan)
{
    editor.Seek(10, 0);
    editor.MouseDown(hexCell(20), true);
    editor.MouseUp(hexCell(20));
    EXPECT_EQ(editor.SelectionLow(), 10);
    EXPECT_EQ(editor.SelectionHigh(), 20);
    editor.MouseDown(hexCell(4), true);
    editor.MouseUp(hexCell(4));
    EXPECT_EQ(editor.SelectionLow(), 4);
    EXPECT_EQ(editor.SelectionHigh(), 10);
}

TEST_F(MouseSelection, AClickInsideTheSelectionKeepsItUntilReleasedWithoutMoving)
{
    editor.SetSelStart(10);
    editor.SetSelEnd(20);
    editor.MouseDown(hexCell(15), false);
    EXPECT_EQ(editor.SelectionLow(), 10);
    EXPECT_EQ(editor.SelectionHigh(), 20);
    editor.MouseUp(hexCell(15));
    EXPECT_FALSE(editor.HasSelection());
    EXPECT_EQ(editor.GetCursorPos(), 15);

    // Pressed inside and dragged: a new selection from the pressed byte.
    editor.SetSelStart(10);
    editor.SetSelEnd(20);
    editor.MouseDown(hexCell(15), false);
    editor.MouseMove(hexCell(30));
    EXPECT_EQ(editor.SelectionLow(), 15);
    EXPECT_EQ(editor.SelectionHigh(), 30);
}

TEST_F(MouseSelection, CellsBeyondTheDataStopAtTheLastByte)
{
    editor.MouseDown(TMPHGridCell {editor.ColCount() - 1, 40}, false);
    EXPECT_EQ(editor.GetCursorPos(), 63);
    EXPECT_TRUE(editor.GetInCharField());
    editor.EndMouseSelection();
    EXPECT_FALSE(editor.IsMouseSelecting());
}

} // namespace kestrum::test
