#include "HexEditorTestSupport.h"

namespace kestrum::test {

namespace {

/// Undo must give back `before` exactly, and redo `after`, twice over.
void expectUndoRedo(TMPHexEditorEx& editor, const QByteArray& before, const QByteArray& after)
{
    ASSERT_EQ(dataOf(editor), after);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(editor.Undo());
        EXPECT_EQ(dataOf(editor), before) << "after undo, round " << round;
        ASSERT_TRUE(editor.GetCanRedo());
        ASSERT_TRUE(editor.Redo());
        EXPECT_EQ(dataOf(editor), after) << "after redo, round " << round;
        EXPECT_FALSE(editor.GetCanRedo());
    }
}

} // namespace

class Editing : public EditorTest
{
};

TEST_F(Editing, IntChangeByteWritesMarksRecordsAndUndoes)
{
    loadPattern(16);
    const QByteArray before = dataOf(editor);
    const quint8 old = editor.GetDataAt(5);
    editor.IntChangeByte(old, 0xA5, 5);
    EXPECT_EQ(editor.GetDataAt(5), 0xA5);
    EXPECT_TRUE(editor.HasChanged(5));
    EXPECT_FALSE(editor.HasChanged(4));
    EXPECT_TRUE(editor.GetModified());
    EXPECT_EQ(editor.UndoStorage().Count(), 1);
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Change byte(s)"));
    QByteArray after = before;
    after[5] = static_cast<char>(0xA5);
    expectUndoRedo(editor, before, after);
    EXPECT_TRUE(editor.HasChanged(5)); // redo brings the mark back
    editor.Undo();
    EXPECT_FALSE(editor.HasChanged(5));
    EXPECT_FALSE(editor.GetModified());
}

TEST_F(Editing, IntChangeByteWithTheSameValueDoesNothing)
{
    loadPattern(16);
    editor.IntChangeByte(editor.GetDataAt(5), editor.GetDataAt(5), 5);
    EXPECT_FALSE(editor.HasChanged(5));
    EXPECT_FALSE(editor.GetCanUndo());
    EXPECT_FALSE(editor.GetModified());
}

TEST_F(Editing, IntChangeByteInInsertModeLeavesNoMark)
{
    loadPattern(16);
    editor.SetInsertMode(true);
    editor.IntChangeByte(editor.GetDataAt(5), 0x00, 5);
    EXPECT_FALSE(editor.HasChanged(5));
    // HasChanged hides marks in insert mode; the next record of the byte takes the stored mark.
    editor.IntChangeByte(0x00, 0x01, 5);
    EXPECT_FALSE(newestRecord(editor).has(ufFlagByte1Changed));
    editor.SetInsertMode(false);
    EXPECT_FALSE(editor.HasChanged(5));
}

TEST_F(Editing, IntChangeWideCharMarksOnlyTheBytesThatDiffer)
{
    load(editor, QByteArray::fromHex("00112233"));
    editor.IntChangeWideChar(0x2211, 0x22AA, 1); // low byte changes, high byte stays
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("00aa2233"));
    EXPECT_TRUE(editor.HasChanged(1));
    EXPECT_FALSE(editor.HasChanged(2));
    EXPECT_EQ(newestRecord(editor).count(), 2);
    expectUndoRedo(editor, QByteArray::fromHex("00112233"), QByteArray::fromHex("00aa2233"));
    editor.Undo();
    EXPECT_FALSE(editor.HasChanged(1));
}

TEST_F(Editing, InsertBufferMakesRoomSelectsTheBytesAndTruncatesTheMarks)
{
    loadPattern(16);
    editor.IntChangeByte(editor.GetDataAt(2), 0xFF, 2);
    editor.IntChangeByte(editor.GetDataAt(9), 0xFF, 9);
    const QByteArray before = dataOf(editor);
    editor.InsertBuffer("abc", 3, 6, {}, true);
    QByteArray after = before;
    after.insert(6, "abc");
    EXPECT_EQ(dataOf(editor), after);
    EXPECT_EQ(editor.SelectionLow(), 6);
    EXPECT_EQ(editor.SelectionHigh(), 8);
    EXPECT_EQ(editor.GetCursorPos(), 8);
    EXPECT_TRUE(editor.HasChanged(2));
    EXPECT_FALSE(editor.HasChanged(12)); // the mark of old byte 9 is cut off, not shifted
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Insert buffer"));
    expectUndoRedo(editor, before, after);
}

TEST_F(Editing, InsertBufferOutsideTheDataIsRefused)
{
    loadPattern(4);
    EXPECT_EQ(
        raisedText([&] { editor.InsertBuffer("a", 1, 5); }), QStringLiteral("Data position/length out of data bounds"));
    editor.InsertBuffer("a", 1, 4); // one past the end appends
    EXPECT_EQ(editor.GetDataSize(), 5);
    EXPECT_EQ(editor.GetDataAt(4), 'a');
}

TEST_F(Editing, AppendBufferAddsAtTheEndAndUndoCutsBack)
{
    loadPattern(10);
    const QByteArray before = dataOf(editor);
    editor.AppendBuffer("xyz", 0);
    editor.AppendBuffer(nullptr, 3);
    EXPECT_FALSE(editor.GetCanUndo());
    editor.AppendBuffer("xyz", 3, QStringLiteral("tail"), true);
    EXPECT_EQ(dataOf(editor), before + "xyz");
    EXPECT_EQ(editor.SelectionLow(), 10);
    EXPECT_EQ(editor.SelectionHigh(), 12);
    EXPECT_EQ(editor.GetCursorPos(), 12);
    EXPECT_EQ(newestRecord(editor).position(), 10);
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("tail"));
    expectUndoRedo(editor, before, before + "xyz");
}

TEST_F(Editing, AppendBufferWorksOnEmptyData)
{
    editor.AppendBuffer("ab", 2);
    EXPECT_EQ(dataOf(editor), QByteArray("ab"));
    expectUndoRedo(editor, QByteArray(), QByteArray("ab"));
}

TEST_F(Editing, ReplaceSelectionDeletesTheSelectionAndInsertsTheBytes)
{
    loadPattern(16);
    const QByteArray before = dataOf(editor);
    editor.SetSelStart(4);
    editor.SetSelEnd(7);
    editor.ReplaceSelection("XY", 2, {}, true);
    QByteArray after = before;
    after.replace(4, 4, "XY");
    EXPECT_EQ(dataOf(editor), after);
    const RecordView record = newestRecord(editor);
    EXPECT_EQ(record.kind(), ufKindReplace);
    EXPECT_EQ(record.position(), 4);
    EXPECT_EQ(record.count(), 2);
    EXPECT_EQ(record.replCount(), 4);
    EXPECT_EQ(record.saved(4), before.mid(4, 4));
    EXPECT_EQ(editor.SelectionLow(), 4);
    EXPECT_EQ(editor.SelectionHigh(), 5);
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Replace"));
    expectUndoRedo(editor, before, after);
}

TEST_F(Editing, ReplaceSelectionWithoutASelectionInsertsAtTheCursor)
{
    loadPattern(8);
    const QByteArray before = dataOf(editor);
    editor.Seek(3, 0);
    editor.ReplaceSelection("Q", 1);
    QByteArray after = before;
    after.insert(3, "Q");
    EXPECT_EQ(dataOf(editor), after);
    EXPECT_EQ(newestRecord(editor).kind(), ufKindInsertBuffer);
}

TEST_F(Editing, ReplaceSelectionWithAFixedSizeKeepsTheSize)
{
    loadPattern(16);
    editor.SetNoSizeChange(true);
    const QByteArray before = dataOf(editor);
    editor.SetSelStart(2);
    editor.SetSelEnd(4);
    editor.ReplaceSelection("ABCDEF", 6); // cut to the 3 selected bytes
    QByteArray after = before;
    after.replace(2, 3, "ABC");
    EXPECT_EQ(dataOf(editor), after);

    editor.SetSelStart(8);
    editor.SetSelEnd(12);
    editor.ReplaceSelection("Z", 1); // the selection shrinks to one byte
    after[8] = 'Z';
    EXPECT_EQ(dataOf(editor), after);
    EXPECT_EQ(editor.GetDataSize(), 16);
}

TEST_F(Editing, DeleteSelectionRemovesTheSelectionOrTheByteUnderTheCursor)
{
    loadPattern(16);
    const QByteArray before = dataOf(editor);
    editor.SetSelStart(3);
    editor.SetSelEnd(5);
    editor.DeleteSelection();
    QByteArray after = before;
    after.remove(3, 3);
    EXPECT_EQ(dataOf(editor), after);
    EXPECT_FALSE(editor.HasSelection());
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Remove data"));
    const RecordView record = newestRecord(editor);
    EXPECT_EQ(record.kind(), ufKindByteRemoved);
    EXPECT_EQ(record.saved(3), before.mid(3, 3));
    expectUndoRedo(editor, before, after);

    editor.Seek(0, 0);
    editor.DeleteSelection(QStringLiteral("first"));
    after.remove(0, 1);
    EXPECT_EQ(dataOf(editor), after);
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("first"));
}

TEST_F(Editing, DeleteSelectionKeepsTheCursorCellOrMovesItBackIntoTheData)
{
    loadPattern(16);
    editor.Seek(2, 0);
    for (int i = 0; i < 4; ++i)
        editor.KeyDown(Qt::Key_Right, Qt::ShiftModifier);
    ASSERT_EQ(editor.SelectionLow(), 2);
    ASSERT_EQ(editor.SelectionHigh(), 4);
    ASSERT_EQ(editor.GetCursorPos(), 4);
    editor.DeleteSelection();
    EXPECT_EQ(editor.GetCursorPos(), 4); // the cell stays; it now shows the byte that followed

    editor.SeekToEOF();
    editor.DeleteSelection();
    EXPECT_EQ(editor.GetDataSize(), 12);
    EXPECT_EQ(editor.GetCursorPos(), 11); // the cell beyond the data moves to the last byte

    editor.SetInsertMode(true);
    editor.Seek(11, 0);
    editor.DeleteSelection();
    EXPECT_EQ(editor.GetDataSize(), 11);
    EXPECT_EQ(editor.GetCursorPos(), 11); // insert mode: one past the last byte is allowed

    editor.SelectAll();
    editor.DeleteSelection();
    EXPECT_EQ(editor.GetDataSize(), 0);
    EXPECT_EQ(editor.GetCursorCell(), (TMPHGridCell {2, 2}));
}

TEST_F(Editing, InternalEraseRemovesOneAlignedUnit)
{
    loadPattern(10);
    const QByteArray before = dataOf(editor);
    editor.SetBytesPerUnit(4);
    editor.Seek(6, 0);
    editor.InternalErase(true); // the unit before the cursor: bytes 4..7
    QByteArray after = before;
    after.remove(4, 4);
    EXPECT_EQ(dataOf(editor), after);
    EXPECT_EQ(editor.GetCursorPos(), 4);
    expectUndoRedo(editor, before, after);

    editor.Seek(5, 0); // forwards at the end: shortened to the 2 bytes left of the unit
    editor.InternalErase(false);
    after.remove(4, 2);
    EXPECT_EQ(dataOf(editor), after);

    editor.Seek(0, 0);
    const int records = editor.UndoStorage().Count();
    editor.InternalErase(true); // nothing before position 0
    EXPECT_EQ(editor.UndoStorage().Count(), records);
    EXPECT_EQ(dataOf(editor), after);
}

TEST_F(Editing, InsertNibbleShiftsTheDataByFourBitsAndGrowsByOneByte)
{
    load(editor, QByteArray::fromHex("12345678"));
    editor.IntChangeByte(0x34, 0x3F, 1);
    editor.IntChangeByte(0x3F, 0x34, 1);
    editor.IntChangeByte(0x12, 0x1F, 0);
    ASSERT_TRUE(editor.HasChanged(1));
    EXPECT_TRUE(editor.InsertNibble(1, true));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("1f03456780"));
    EXPECT_TRUE(editor.HasChanged(0));
    EXPECT_FALSE(editor.HasChanged(1)); // marks cut off at the position
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Insert nibble"));
    expectUndoRedo(editor, QByteArray::fromHex("1f345678"), QByteArray::fromHex("1f03456780"));
    editor.Undo();
    EXPECT_TRUE(editor.HasChanged(1)); // the saved byte's mark comes back

    EXPECT_TRUE(editor.InsertNibble(2, false));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("1f34506780"));
    EXPECT_FALSE(editor.InsertNibble(5, true));
    EXPECT_FALSE(editor.InsertNibble(-1, true));
}

TEST_F(Editing, InsertNibbleOnEmptyDataAppendsAZeroByte)
{
    EXPECT_TRUE(editor.InsertNibble(0, true));
    EXPECT_EQ(dataOf(editor), QByteArray(1, '\0'));
    expectUndoRedo(editor, QByteArray(), QByteArray(1, '\0'));
}

TEST_F(Editing, DeleteNibbleShiftsTowardsTheStartAndKeepsTheSize)
{
    load(editor, QByteArray::fromHex("12345678"));
    EXPECT_TRUE(editor.DeleteNibble(1, true));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("12456780"));
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Delete nibble"));
    expectUndoRedo(editor, QByteArray::fromHex("12345678"), QByteArray::fromHex("12456780"));

    EXPECT_TRUE(editor.DeleteNibble(0, false));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("14567800"));
    editor.Undo();
    EXPECT_TRUE(editor.DeleteNibble(3, false)); // the last nibble of the data
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("12456780"));
    EXPECT_FALSE(editor.DeleteNibble(4, true));
}

TEST_F(Editing, NibbleShiftsCrossTheTemporaryFileBlocks)
{
    const QByteArray before = patternBytes(1500);
    load(editor, before);
    ASSERT_TRUE(editor.InsertNibble(700, true));
    const QByteArray after = dataOf(editor);
    ASSERT_EQ(after.size(), 1501);
    EXPECT_EQ(after.left(700), before.left(700));
    for (int i = 701; i < 1500; ++i) {
        const int expected = ((static_cast<quint8>(before[i - 1]) & 0x0F) << 4) | (static_cast<quint8>(before[i]) >> 4);
        ASSERT_EQ(static_cast<quint8>(after[i]), expected) << "byte " << i;
    }
    EXPECT_EQ(static_cast<quint8>(after[1500]), (static_cast<quint8>(before[1499]) & 0x0F) << 4);
    ASSERT_TRUE(editor.DeleteNibble(700, true));
    EXPECT_EQ(dataOf(editor), before + QByteArray(1, '\0'));
}

TEST_F(Editing, ConvertRangeTranslatesThroughTheSystemCodePage)
{
    load(editor, QByteArray("xAB09 y"));
    editor.ConvertRange(1, 5, tkBCD, tkAsIs);
    EXPECT_EQ(dataOf(editor), QByteArray("x\xC1\xC2\xF0\xF9\x40y"));
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Convert"));
    expectUndoRedo(editor, QByteArray("xAB09 y"), QByteArray("x\xC1\xC2\xF0\xF9\x40y"));

    const int records = editor.UndoStorage().Count();
    editor.ConvertRange(1, 5, tkBCD, tkBCD); // same translation
    editor.ConvertRange(1, 7, tkAsIs, tkBCD); // beyond the data
    editor.ConvertRange(4, 3, tkAsIs, tkBCD); // empty range
    EXPECT_EQ(editor.UndoStorage().Count(), records);
    editor.ConvertRange(1, 5, tkAsIs, tkBCD);
    EXPECT_EQ(dataOf(editor), QByteArray("xAB09 y"));
}

TEST_F(Editing, SetDataSizeGrowsWithTheFillByteAndShrinks)
{
    loadPattern(8);
    const QByteArray before = dataOf(editor);
    editor.SetSetDataSizeFillByte(0xCC);
    editor.SetDataSize(12);
    EXPECT_EQ(dataOf(editor), before + QByteArray(4, '\xCC'));
    EXPECT_TRUE(editor.GetModified());
    EXPECT_EQ(newestRecord(editor).kind(), ufKindAppendBuffer);
    expectUndoRedo(editor, before, before + QByteArray(4, '\xCC'));

    editor.SetDataSize(3);
    EXPECT_EQ(dataOf(editor), before.left(3));
    EXPECT_EQ(newestRecord(editor).kind(), ufKindByteRemoved);
    EXPECT_LE(editor.GetCursorPos(), 2);
    expectUndoRedo(editor, before + QByteArray(4, '\xCC'), before.left(3));
}

TEST_F(Editing, SetDataSizeWithAFixedSizeOnlyFillsOrEmpties)
{
    loadPattern(8);
    editor.SetNoSizeChange(true);
    EXPECT_EQ(raisedText([&] { editor.SetDataSize(9); }), QStringLiteral("Cannot change fixed filesize"));
    EXPECT_EQ(editor.GetDataSize(), 8);
    editor.SetDataSize(0);
    EXPECT_EQ(editor.GetDataSize(), 0);
    editor.SetDataSize(5);
    EXPECT_EQ(editor.GetDataSize(), 5);
    EXPECT_TRUE(editor.GetNoSizeChange());
}

TEST_F(Editing, ChangesOnEmptyDataAreRefusedExceptInsertAndAppend)
{
    const QString refused = QStringLiteral("Cannot update undo storage");
    EXPECT_FALSE(editor.CanCreateUndo(ufKindBytesChanged, 1, 0));
    EXPECT_FALSE(editor.CanCreateUndo(ufKindByteRemoved, 1, 0));
    EXPECT_FALSE(editor.CanCreateUndo(ufKindSelection, 0, 0));
    EXPECT_TRUE(editor.CanCreateUndo(ufKindInsertBuffer, 1, 0));
    EXPECT_TRUE(editor.CanCreateUndo(ufKindAppendBuffer, 1, 0));
    EXPECT_TRUE(editor.CanCreateUndo(ufKindAllData, 0, 0));
    EXPECT_FALSE(editor.CanCreateUndo(ufKindCombined, 1, 0));
    EXPECT_EQ(raisedText([&] { editor.CreateUndo(ufKindConvert, 0, 1, 0, {}); }), refused);
    EXPECT_FALSE(editor.GetModified());
    editor.AppendBuffer("a", 1);
    editor.SetSelStart(0);
    editor.DeleteSelection();
    EXPECT_TRUE(editor.CanCreateUndo(ufKindCombined, 2, 0));
    EXPECT_FALSE(editor.CanCreateUndo(ufKindCombined, 3, 0));
}

TEST_F(Editing, AFixedSizeRefusesEverySizeChangeAndLeavesEverythingAsItWas)
{
    loadPattern(8);
    editor.IntChangeByte(editor.GetDataAt(1), 0x00, 1);
    editor.SetNoSizeChange(true);
    const QByteArray before = dataOf(editor);
    const QByteArray storage = editor.UndoStorage().NewestRecord();
    const QString refused = QStringLiteral("Cannot update undo storage");
    editor.Seek(1, 0);
    EXPECT_EQ(raisedText([&] { editor.DeleteSelection(); }), refused);
    EXPECT_EQ(raisedText([&] { editor.InsertBuffer("a", 1, 0); }), refused);
    EXPECT_EQ(raisedText([&] { editor.AppendBuffer("a", 1); }), refused);
    EXPECT_EQ(raisedText([&] { editor.InsertNibble(0, true); }), refused);
    EXPECT_EQ(raisedText([&] { editor.DeleteNibble(0, true); }), refused);
    EXPECT_EQ(raisedText([&] { editor.InternalErase(false); }), refused);
    EXPECT_FALSE(editor.CanCreateUndo(ufKindReplace, 2, 3));
    EXPECT_TRUE(editor.CanCreateUndo(ufKindReplace, 3, 3));
    EXPECT_TRUE(editor.CanCreateUndo(ufKindBytesChanged, 1, 0));
    EXPECT_EQ(dataOf(editor), before);
    EXPECT_TRUE(editor.HasChanged(1));
    EXPECT_EQ(editor.UndoStorage().Count(), 1);
    EXPECT_EQ(editor.UndoStorage().NewestRecord(), storage);
}

TEST_F(Editing, SelectionCallsCheckTheirArguments)
{
    loadPattern(10);
    EXPECT_EQ(raisedText([&] { editor.SetSelStart(10); }), QStringLiteral("Invalid selection start"));
    EXPECT_EQ(raisedText([&] { editor.SetSelStart(-1); }), QStringLiteral("Invalid selection start"));
    EXPECT_EQ(raisedText([&] { editor.SetSelEnd(10); }), QStringLiteral("Invalid selection end"));
    EXPECT_EQ(raisedText([&] { editor.SetSelEnd(-2); }), QStringLiteral("Invalid selection end"));

    editor.SetSelStart(6);
    EXPECT_EQ(editor.GetSelStart(), 6);
    EXPECT_EQ(editor.GetSelEnd(), 6);
    EXPECT_EQ(editor.GetSelCount(), 0);
    editor.SetSelEnd(2); // backwards from the cursor
    EXPECT_EQ(editor.GetSelStart(), 6);
    EXPECT_EQ(editor.GetSelEnd(), 2);
    EXPECT_EQ(editor.GetSelCount(), 5);
    EXPECT_EQ(editor.SelectionLow(), 2);
    editor.SetSelEnd(-1);
    EXPECT_FALSE(editor.HasSelection());
    editor.SetSelCount(3);
    EXPECT_EQ(editor.SelectionLow(), 6);
    EXPECT_EQ(editor.SelectionHigh(), 8);
    editor.SetSelCount(100); // clamped to the data
    EXPECT_EQ(editor.SelectionHigh(), 9);
    editor.SetSelCount(-2);
    EXPECT_EQ(editor.SelectionLow(), 5);
    EXPECT_EQ(editor.SelectionHigh(), 6);
    editor.ResetSelection();
    EXPECT_EQ(editor.GetSelCount(), 0);
}

TEST_F(Editing, SelectAllAndSeek)
{
    EXPECT_EQ(editor.Seek(3, 0), -1);
    loadPattern(10);
    editor.SelectAll();
    EXPECT_EQ(editor.GetSelCount(), 10);
    EXPECT_EQ(editor.GetCursorPos(), 9);
    editor.SetInsertMode(true);
    editor.SelectAll();
    EXPECT_EQ(editor.GetCursorPos(), 10);
    editor.SetInsertMode(false);

    EXPECT_EQ(editor.Seek(4, 0), 4);
    EXPECT_FALSE(editor.HasSelection());
    EXPECT_EQ(editor.Seek(3, 1), 7);
    EXPECT_EQ(editor.Seek(-20, 1), 0);
    EXPECT_EQ(editor.Seek(-3, 2), 7);
    EXPECT_EQ(editor.Seek(50, 0), 9);
    EXPECT_EQ(editor.SeekToEOF(), 9);
    EXPECT_EQ(editor.GetCursorPos(), 9);
}

TEST_F(Editing, InsertModeIsOnlyInForceWhenPossible)
{
    loadPattern(16);
    editor.SetInsertMode(true);
    EXPECT_TRUE(editor.GetInsertMode());
    EXPECT_EQ(editor.RowCount(), 4); // an extra row for the position one past the end
    editor.SeekToEOF();
    editor.KeyDown(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(editor.GetCursorPos(), 16);
    editor.SetInsertMode(false);
    EXPECT_EQ(editor.GetCursorPos(), 15); // left insert mode one past the end
    EXPECT_EQ(editor.RowCount(), 3);

    editor.SetInsertMode(true);
    editor.SetNoSizeChange(true);
    EXPECT_FALSE(editor.GetInsertMode());
    editor.SetInsertMode(true);
    EXPECT_FALSE(editor.GetInsertMode());
    editor.SetNoSizeChange(false);
    editor.SetAllowInsertMode(false);
    editor.SetInsertMode(true);
    EXPECT_FALSE(editor.GetInsertMode());
    editor.SetAllowInsertMode(true);
    editor.SetReadOnlyView(true);
    editor.SetInsertMode(true);
    EXPECT_FALSE(editor.GetInsertMode());
}

TEST_F(Editing, SwitchingInsertModeClearsTheMarks)
{
    loadPattern(16);
    editor.IntChangeByte(editor.GetDataAt(3), 0x00, 3);
    editor.SetInsertMode(true);
    EXPECT_FALSE(editor.HasChanged(3));
    editor.SetInsertMode(false);
    EXPECT_FALSE(editor.HasChanged(3));
}

TEST_F(Editing, SettingsRejectInvalidValues)
{
    loadPattern(15);
    EXPECT_EQ(raisedText([&] { editor.SetBytesPerUnit(3); }),
        QStringLiteral("Invalid bytes per unit value 3, allowed: 1,2,4,8"));
    EXPECT_EQ(editor.GetBytesPerUnit(), 1);
    EXPECT_EQ(raisedText([&] { editor.SetBytesPerRow(257); }), QStringLiteral("Invalid bytes per line argument"));
    EXPECT_EQ(raisedText([&] { editor.SetBytesPerRow(0); }), QStringLiteral("Invalid bytes per line argument"));
    EXPECT_EQ(raisedText([&] { editor.SetBytesPerRow(256); }), QString());
    editor.SetBytesPerRow(16);
    EXPECT_EQ(raisedText([&] { editor.SetBytesPerColumn(0); }), QStringLiteral("Invalid bytes per column argument"));
    EXPECT_EQ(raisedText([&] { editor.SetUnicodeChars(true); }),
        QStringLiteral("Cannot use unicode mode with odd-sized files"));
    loadPattern(16);
    editor.SetBytesPerRow(15);
    EXPECT_EQ(raisedText([&] { editor.SetUnicodeChars(true); }), QStringLiteral("Invalid bytes per line argument"));
    editor.SetBytesPerRow(16);
    editor.SetBytesPerColumn(3);
    EXPECT_EQ(raisedText([&] { editor.SetUnicodeChars(true); }), QStringLiteral("Invalid bytes per column argument"));
    editor.SetBytesPerColumn(2);
    editor.SetTranslation(tkDos8);
    editor.SetUnicodeChars(true);
    EXPECT_EQ(editor.GetBytesPerUnit(), 2);
    EXPECT_EQ(editor.GetTranslation(), tkAsIs);
    EXPECT_EQ(raisedText([&] { editor.SetTranslation(tkMac); }),
        QStringLiteral("Translations cannot be used in unicode mode"));
    EXPECT_EQ(raisedText([&] { editor.SetBytesPerUnit(4); }),
        QStringLiteral("BytesPerUnit must be set to 2 in unicode mode"));
    EXPECT_EQ(raisedText([&] { editor.SetBytesPerRow(7); }), QStringLiteral("Invalid bytes per line argument"));
}

TEST_F(Editing, BytesPerRowKeepsTheCursorOnItsByteAndNibble)
{
    loadPattern(100);
    editor.Seek(37, 0);
    editor.KeyDown(Qt::Key_Right, Qt::NoModifier); // low nibble of byte 37
    editor.SetBytesPerRow(8);
    EXPECT_EQ(editor.GetCursorPos(), 37);
    EXPECT_TRUE(editor.IsCursorOnSecondColumn());
    EXPECT_EQ(editor.GetCursorCell(), (TMPHGridCell {2 + 5 * 2 + 1, 2 + 4}));
}

TEST(GridGeometry, PositionsAndCellsMapBothWays)
{
    TMPHexEditorEx editor;
    load(editor, patternBytes(40));
    EXPECT_EQ(editor.ColCount(), 3 * 16 + 3);
    EXPECT_EQ(editor.RowCount(), 3 + 2);
    EXPECT_EQ(editor.GetCursorAtPos(17, false), (TMPHGridCell {4, 3}));
    EXPECT_EQ(editor.GetCursorAtPos(17, true), (TMPHGridCell {36, 3}));
    EXPECT_EQ(editor.GetPosAtCursor({5, 4}), 33);
    EXPECT_EQ(editor.GetPosAtCursor({36, 3}), 17);
    EXPECT_EQ(editor.GetPosAtCursor({0, 2}), 0); // negative results count as 0
    editor.SetUnicodeChars(true);
    EXPECT_EQ(editor.ColCount(), 2 * 16 + 8 + 3);
    EXPECT_EQ(editor.GetCursorAtPos(18, true), (TMPHGridCell {35 + 1, 3}));
    EXPECT_EQ(editor.GetPosAtCursor({36, 3}), 18);

    TMPHexEditorEx empty;
    EXPECT_EQ(empty.RowCount(), 3);
}

} // namespace kestrum::test
