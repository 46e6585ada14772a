#include "HexEditorTestSupport.h"

namespace kestrum::test {

namespace {

/// Undo must give back `before` exactly, and redo `after`, twice over.
void expectUndoRedo(HexEditor& editor, const QByteArray& before, const QByteArray& after)
{
    ASSERT_EQ(dataOf(editor), after);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(editor.undo());
        EXPECT_EQ(dataOf(editor), before) << "after undo, round " << round;
        ASSERT_TRUE(editor.canRedo());
        ASSERT_TRUE(editor.redo());
        EXPECT_EQ(dataOf(editor), after) << "after redo, round " << round;
        EXPECT_FALSE(editor.canRedo());
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
    const quint8 old = editor.dataAt(5);
    editor.changeByte(old, 0xA5, 5);
    EXPECT_EQ(editor.dataAt(5), 0xA5);
    EXPECT_TRUE(editor.hasChanged(5));
    EXPECT_FALSE(editor.hasChanged(4));
    EXPECT_TRUE(editor.isModified());
    EXPECT_EQ(editor.undoStorage().count(), 1);
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Change byte(s)"));
    QByteArray after = before;
    after[5] = static_cast<char>(0xA5);
    expectUndoRedo(editor, before, after);
    EXPECT_TRUE(editor.hasChanged(5)); // redo brings the mark back
    editor.undo();
    EXPECT_FALSE(editor.hasChanged(5));
    EXPECT_FALSE(editor.isModified());
}

TEST_F(Editing, IntChangeByteWithTheSameValueDoesNothing)
{
    loadPattern(16);
    editor.changeByte(editor.dataAt(5), editor.dataAt(5), 5);
    EXPECT_FALSE(editor.hasChanged(5));
    EXPECT_FALSE(editor.canUndo());
    EXPECT_FALSE(editor.isModified());
}

TEST_F(Editing, IntChangeByteInInsertModeLeavesNoMark)
{
    loadPattern(16);
    editor.setInsertMode(true);
    editor.changeByte(editor.dataAt(5), 0x00, 5);
    EXPECT_FALSE(editor.hasChanged(5));
    // hasChanged hides marks in insert mode; the next record of the byte takes the stored mark.
    editor.changeByte(0x00, 0x01, 5);
    EXPECT_FALSE(newestRecord(editor).has(UndoFlag::Byte1Changed));
    editor.setInsertMode(false);
    EXPECT_FALSE(editor.hasChanged(5));
}

TEST_F(Editing, IntChangeWideCharMarksOnlyTheBytesThatDiffer)
{
    load(editor, QByteArray::fromHex("00112233"));
    editor.changeWideChar(0x2211, 0x22AA, 1); // low byte changes, high byte stays
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("00aa2233"));
    EXPECT_TRUE(editor.hasChanged(1));
    EXPECT_FALSE(editor.hasChanged(2));
    EXPECT_EQ(newestRecord(editor).count(), 2);
    expectUndoRedo(editor, QByteArray::fromHex("00112233"), QByteArray::fromHex("00aa2233"));
    editor.undo();
    EXPECT_FALSE(editor.hasChanged(1));
}

TEST_F(Editing, InsertBufferMakesRoomSelectsTheBytesAndTruncatesTheMarks)
{
    loadPattern(16);
    editor.changeByte(editor.dataAt(2), 0xFF, 2);
    editor.changeByte(editor.dataAt(9), 0xFF, 9);
    const QByteArray before = dataOf(editor);
    editor.insertBuffer("abc", 3, 6, {}, true);
    QByteArray after = before;
    after.insert(6, "abc");
    EXPECT_EQ(dataOf(editor), after);
    EXPECT_EQ(editor.selectionLow(), 6);
    EXPECT_EQ(editor.selectionHigh(), 8);
    EXPECT_EQ(editor.cursorPosition(), 8);
    EXPECT_TRUE(editor.hasChanged(2));
    EXPECT_FALSE(editor.hasChanged(12)); // the mark of old byte 9 is cut off, not shifted
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Insert buffer"));
    expectUndoRedo(editor, before, after);
}

TEST_F(Editing, InsertBufferOutsideTheDataIsRefused)
{
    loadPattern(4);
    EXPECT_EQ(
        raisedText([&] { editor.insertBuffer("a", 1, 5); }), QStringLiteral("Data position/length out of data bounds"));
    editor.insertBuffer("a", 1, 4); // one past the end appends
    EXPECT_EQ(editor.dataSize(), 5);
    EXPECT_EQ(editor.dataAt(4), 'a');
}

TEST_F(Editing, AppendBufferAddsAtTheEndAndUndoCutsBack)
{
    loadPattern(10);
    const QByteArray before = dataOf(editor);
    editor.appendBuffer("xyz", 0);
    editor.appendBuffer(nullptr, 3);
    EXPECT_FALSE(editor.canUndo());
    editor.appendBuffer("xyz", 3, QStringLiteral("tail"), true);
    EXPECT_EQ(dataOf(editor), before + "xyz");
    EXPECT_EQ(editor.selectionLow(), 10);
    EXPECT_EQ(editor.selectionHigh(), 12);
    EXPECT_EQ(editor.cursorPosition(), 12);
    EXPECT_EQ(newestRecord(editor).position(), 10);
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("tail"));
    expectUndoRedo(editor, before, before + "xyz");
}

TEST_F(Editing, AppendBufferWorksOnEmptyData)
{
    editor.appendBuffer("ab", 2);
    EXPECT_EQ(dataOf(editor), QByteArray("ab"));
    expectUndoRedo(editor, QByteArray(), QByteArray("ab"));
}

TEST_F(Editing, ReplaceSelectionDeletesTheSelectionAndInsertsTheBytes)
{
    loadPattern(16);
    const QByteArray before = dataOf(editor);
    editor.setSelStart(4);
    editor.setSelEnd(7);
    editor.replaceSelection("XY", 2, {}, true);
    QByteArray after = before;
    after.replace(4, 4, "XY");
    EXPECT_EQ(dataOf(editor), after);
    const RecordView record = newestRecord(editor);
    EXPECT_EQ(record.kind(), UndoFlag::KindReplace);
    EXPECT_EQ(record.position(), 4);
    EXPECT_EQ(record.count(), 2);
    EXPECT_EQ(record.replCount(), 4);
    EXPECT_EQ(record.saved(4), before.mid(4, 4));
    EXPECT_EQ(editor.selectionLow(), 4);
    EXPECT_EQ(editor.selectionHigh(), 5);
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Replace"));
    expectUndoRedo(editor, before, after);
}

TEST_F(Editing, ReplaceSelectionWithoutASelectionInsertsAtTheCursor)
{
    loadPattern(8);
    const QByteArray before = dataOf(editor);
    editor.seek(3, 0);
    editor.replaceSelection("Q", 1);
    QByteArray after = before;
    after.insert(3, "Q");
    EXPECT_EQ(dataOf(editor), after);
    EXPECT_EQ(newestRecord(editor).kind(), UndoFlag::KindInsertBuffer);
}

TEST_F(Editing, ReplaceSelectionWithAFixedSizeKeepsTheSize)
{
    loadPattern(16);
    editor.setNoSizeChange(true);
    const QByteArray before = dataOf(editor);
    editor.setSelStart(2);
    editor.setSelEnd(4);
    editor.replaceSelection("ABCDEF", 6); // cut to the 3 selected bytes
    QByteArray after = before;
    after.replace(2, 3, "ABC");
    EXPECT_EQ(dataOf(editor), after);

    editor.setSelStart(8);
    editor.setSelEnd(12);
    editor.replaceSelection("Z", 1); // the selection shrinks to one byte
    after[8] = 'Z';
    EXPECT_EQ(dataOf(editor), after);
    EXPECT_EQ(editor.dataSize(), 16);
}

TEST_F(Editing, DeleteSelectionRemovesTheSelectionOrTheByteUnderTheCursor)
{
    loadPattern(16);
    const QByteArray before = dataOf(editor);
    editor.setSelStart(3);
    editor.setSelEnd(5);
    editor.deleteSelection();
    QByteArray after = before;
    after.remove(3, 3);
    EXPECT_EQ(dataOf(editor), after);
    EXPECT_FALSE(editor.hasSelection());
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Remove data"));
    const RecordView record = newestRecord(editor);
    EXPECT_EQ(record.kind(), UndoFlag::KindByteRemoved);
    EXPECT_EQ(record.saved(3), before.mid(3, 3));
    expectUndoRedo(editor, before, after);

    editor.seek(0, 0);
    editor.deleteSelection(QStringLiteral("first"));
    after.remove(0, 1);
    EXPECT_EQ(dataOf(editor), after);
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("first"));
}

TEST_F(Editing, DeleteSelectionKeepsTheCursorCellOrMovesItBackIntoTheData)
{
    loadPattern(16);
    editor.seek(2, 0);
    for (int i = 0; i < 4; ++i)
        editor.keyDown(Qt::Key_Right, Qt::ShiftModifier);
    ASSERT_EQ(editor.selectionLow(), 2);
    ASSERT_EQ(editor.selectionHigh(), 4);
    ASSERT_EQ(editor.cursorPosition(), 4);
    editor.deleteSelection();
    EXPECT_EQ(editor.cursorPosition(), 4); // the cell stays; it now shows the byte that followed

    editor.seekToEnd();
    editor.deleteSelection();
    EXPECT_EQ(editor.dataSize(), 12);
    EXPECT_EQ(editor.cursorPosition(), 11); // the cell beyond the data moves to the last byte

    editor.setInsertMode(true);
    editor.seek(11, 0);
    editor.deleteSelection();
    EXPECT_EQ(editor.dataSize(), 11);
    EXPECT_EQ(editor.cursorPosition(), 11); // insert mode: one past the last byte is allowed

    editor.selectAll();
    editor.deleteSelection();
    EXPECT_EQ(editor.dataSize(), 0);
    EXPECT_EQ(editor.cursorCell(), (GridCell {2, 2}));
}

TEST_F(Editing, InternalEraseRemovesOneAlignedUnit)
{
    loadPattern(10);
    const QByteArray before = dataOf(editor);
    editor.setBytesPerUnit(4);
    editor.seek(6, 0);
    editor.eraseUnit(true); // the unit before the cursor: bytes 4..7
    QByteArray after = before;
    after.remove(4, 4);
    EXPECT_EQ(dataOf(editor), after);
    EXPECT_EQ(editor.cursorPosition(), 4);
    expectUndoRedo(editor, before, after);

    editor.seek(5, 0); // forwards at the end: shortened to the 2 bytes left of the unit
    editor.eraseUnit(false);
    after.remove(4, 2);
    EXPECT_EQ(dataOf(editor), after);

    editor.seek(0, 0);
    const int records = editor.undoStorage().count();
    editor.eraseUnit(true); // nothing before position 0
    EXPECT_EQ(editor.undoStorage().count(), records);
    EXPECT_EQ(dataOf(editor), after);
}

TEST_F(Editing, InsertNibbleShiftsTheDataByFourBitsAndGrowsByOneByte)
{
    load(editor, QByteArray::fromHex("12345678"));
    editor.changeByte(0x34, 0x3F, 1);
    editor.changeByte(0x3F, 0x34, 1);
    editor.changeByte(0x12, 0x1F, 0);
    ASSERT_TRUE(editor.hasChanged(1));
    EXPECT_TRUE(editor.insertNibble(1, true));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("1f03456780"));
    EXPECT_TRUE(editor.hasChanged(0));
    EXPECT_FALSE(editor.hasChanged(1)); // marks cut off at the position
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Insert nibble"));
    expectUndoRedo(editor, QByteArray::fromHex("1f345678"), QByteArray::fromHex("1f03456780"));
    editor.undo();
    EXPECT_TRUE(editor.hasChanged(1)); // the saved byte's mark comes back

    EXPECT_TRUE(editor.insertNibble(2, false));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("1f34506780"));
    EXPECT_FALSE(editor.insertNibble(5, true));
    EXPECT_FALSE(editor.insertNibble(-1, true));
}

TEST_F(Editing, InsertNibbleOnEmptyDataAppendsAZeroByte)
{
    EXPECT_TRUE(editor.insertNibble(0, true));
    EXPECT_EQ(dataOf(editor), QByteArray(1, '\0'));
    expectUndoRedo(editor, QByteArray(), QByteArray(1, '\0'));
}

TEST_F(Editing, DeleteNibbleShiftsTowardsTheStartAndKeepsTheSize)
{
    load(editor, QByteArray::fromHex("12345678"));
    EXPECT_TRUE(editor.deleteNibble(1, true));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("12456780"));
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Delete nibble"));
    expectUndoRedo(editor, QByteArray::fromHex("12345678"), QByteArray::fromHex("12456780"));

    EXPECT_TRUE(editor.deleteNibble(0, false));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("14567800"));
    editor.undo();
    EXPECT_TRUE(editor.deleteNibble(3, false)); // the last nibble of the data
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("12456780"));
    EXPECT_FALSE(editor.deleteNibble(4, true));
}

TEST_F(Editing, NibbleShiftsCrossTheWordsTheyAreShiftedIn)
{
    const QByteArray before = patternBytes(1500);
    load(editor, before);
    ASSERT_TRUE(editor.insertNibble(700, true));
    const QByteArray after = dataOf(editor);
    ASSERT_EQ(after.size(), 1501);
    EXPECT_EQ(after.left(700), before.left(700));
    for (int i = 701; i < 1500; ++i) {
        const int expected = ((static_cast<quint8>(before[i - 1]) & 0x0F) << 4) | (static_cast<quint8>(before[i]) >> 4);
        ASSERT_EQ(static_cast<quint8>(after[i]), expected) << "byte " << i;
    }
    EXPECT_EQ(static_cast<quint8>(after[1500]), (static_cast<quint8>(before[1499]) & 0x0F) << 4);
    ASSERT_TRUE(editor.deleteNibble(700, true));
    EXPECT_EQ(dataOf(editor), before + QByteArray(1, '\0'));
}

TEST_F(Editing, ConvertRangeTranslatesThroughTheSystemCodePage)
{
    load(editor, QByteArray("xAB09 y"));
    editor.convertRange(1, 5, TranslationKind::Ebcdic, TranslationKind::AsIs);
    EXPECT_EQ(dataOf(editor), QByteArray("x\xC1\xC2\xF0\xF9\x40y"));
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Convert"));
    expectUndoRedo(editor, QByteArray("xAB09 y"), QByteArray("x\xC1\xC2\xF0\xF9\x40y"));

    const int records = editor.undoStorage().count();
    editor.convertRange(1, 5, TranslationKind::Ebcdic, TranslationKind::Ebcdic); // same translation
    editor.convertRange(1, 7, TranslationKind::AsIs, TranslationKind::Ebcdic); // beyond the data
    editor.convertRange(4, 3, TranslationKind::AsIs, TranslationKind::Ebcdic); // empty range
    EXPECT_EQ(editor.undoStorage().count(), records);
    editor.convertRange(1, 5, TranslationKind::AsIs, TranslationKind::Ebcdic);
    EXPECT_EQ(dataOf(editor), QByteArray("xAB09 y"));
}

TEST_F(Editing, SettingTheDataSizeGrowsWithTheFillByteAndShrinks)
{
    loadPattern(8);
    const QByteArray before = dataOf(editor);
    editor.setDataSizeFillByte(0xCC);
    editor.setDataSize(12);
    EXPECT_EQ(dataOf(editor), before + QByteArray(4, '\xCC'));
    EXPECT_TRUE(editor.isModified());
    EXPECT_EQ(newestRecord(editor).kind(), UndoFlag::KindAppendBuffer);
    expectUndoRedo(editor, before, before + QByteArray(4, '\xCC'));

    editor.setDataSize(3);
    EXPECT_EQ(dataOf(editor), before.left(3));
    EXPECT_EQ(newestRecord(editor).kind(), UndoFlag::KindByteRemoved);
    EXPECT_LE(editor.cursorPosition(), 2);
    expectUndoRedo(editor, before + QByteArray(4, '\xCC'), before.left(3));
}

TEST_F(Editing, SettingTheDataSizeWithAFixedSizeOnlyFillsOrEmpties)
{
    loadPattern(8);
    editor.setNoSizeChange(true);
    EXPECT_EQ(raisedText([&] { editor.setDataSize(9); }), QStringLiteral("Cannot change fixed filesize"));
    EXPECT_EQ(editor.dataSize(), 8);
    editor.setDataSize(0);
    EXPECT_EQ(editor.dataSize(), 0);
    editor.setDataSize(5);
    EXPECT_EQ(editor.dataSize(), 5);
    EXPECT_TRUE(editor.noSizeChange());
}

TEST_F(Editing, ChangesOnEmptyDataAreRefusedExceptInsertAndAppend)
{
    const QString refused = QStringLiteral("Cannot update undo storage");
    EXPECT_FALSE(editor.canCreateUndo(UndoFlag::KindBytesChanged, 1, 0));
    EXPECT_FALSE(editor.canCreateUndo(UndoFlag::KindByteRemoved, 1, 0));
    EXPECT_FALSE(editor.canCreateUndo(UndoFlag::KindSelection, 0, 0));
    EXPECT_TRUE(editor.canCreateUndo(UndoFlag::KindInsertBuffer, 1, 0));
    EXPECT_TRUE(editor.canCreateUndo(UndoFlag::KindAppendBuffer, 1, 0));
    EXPECT_TRUE(editor.canCreateUndo(UndoFlag::KindAllData, 0, 0));
    EXPECT_FALSE(editor.canCreateUndo(UndoFlag::KindCombined, 1, 0));
    EXPECT_EQ(raisedText([&] { editor.createUndo(UndoFlag::KindConvert, 0, 1, 0, {}); }), refused);
    EXPECT_FALSE(editor.isModified());
    editor.appendBuffer("a", 1);
    editor.setSelStart(0);
    editor.deleteSelection();
    EXPECT_TRUE(editor.canCreateUndo(UndoFlag::KindCombined, 2, 0));
    EXPECT_FALSE(editor.canCreateUndo(UndoFlag::KindCombined, 3, 0));
}

TEST_F(Editing, AFixedSizeRefusesEverySizeChangeAndLeavesEverythingAsItWas)
{
    loadPattern(8);
    editor.changeByte(editor.dataAt(1), 0x00, 1);
    editor.setNoSizeChange(true);
    const QByteArray before = dataOf(editor);
    const QByteArray storage = editor.undoStorage().newestRecord();
    const QString refused = QStringLiteral("Cannot update undo storage");
    editor.seek(1, 0);
    EXPECT_EQ(raisedText([&] { editor.deleteSelection(); }), refused);
    EXPECT_EQ(raisedText([&] { editor.insertBuffer("a", 1, 0); }), refused);
    EXPECT_EQ(raisedText([&] { editor.appendBuffer("a", 1); }), refused);
    EXPECT_EQ(raisedText([&] { editor.insertNibble(0, true); }), refused);
    EXPECT_EQ(raisedText([&] { editor.deleteNibble(0, true); }), refused);
    EXPECT_EQ(raisedText([&] { editor.eraseUnit(false); }), refused);
    EXPECT_FALSE(editor.canCreateUndo(UndoFlag::KindReplace, 2, 3));
    EXPECT_TRUE(editor.canCreateUndo(UndoFlag::KindReplace, 3, 3));
    EXPECT_TRUE(editor.canCreateUndo(UndoFlag::KindBytesChanged, 1, 0));
    EXPECT_EQ(dataOf(editor), before);
    EXPECT_TRUE(editor.hasChanged(1));
    EXPECT_EQ(editor.undoStorage().count(), 1);
    EXPECT_EQ(editor.undoStorage().newestRecord(), storage);
}

TEST_F(Editing, SelectionCallsCheckTheirArguments)
{
    loadPattern(10);
    EXPECT_EQ(raisedText([&] { editor.setSelStart(10); }), QStringLiteral("Invalid selection start"));
    EXPECT_EQ(raisedText([&] { editor.setSelStart(-1); }), QStringLiteral("Invalid selection start"));
    EXPECT_EQ(raisedText([&] { editor.setSelEnd(10); }), QStringLiteral("Invalid selection end"));
    EXPECT_EQ(raisedText([&] { editor.setSelEnd(-2); }), QStringLiteral("Invalid selection end"));

    editor.setSelStart(6);
    EXPECT_EQ(editor.selStart(), 6);
    EXPECT_EQ(editor.selEnd(), 6);
    EXPECT_EQ(editor.selCount(), 0);
    editor.setSelEnd(2); // backwards from the cursor
    EXPECT_EQ(editor.selStart(), 6);
    EXPECT_EQ(editor.selEnd(), 2);
    EXPECT_EQ(editor.selCount(), 5);
    EXPECT_EQ(editor.selectionLow(), 2);
    editor.setSelEnd(-1);
    EXPECT_FALSE(editor.hasSelection());
    editor.setSelCount(3);
    EXPECT_EQ(editor.selectionLow(), 6);
    EXPECT_EQ(editor.selectionHigh(), 8);
    editor.setSelCount(100); // clamped to the data
    EXPECT_EQ(editor.selectionHigh(), 9);
    editor.setSelCount(-2);
    EXPECT_EQ(editor.selectionLow(), 5);
    EXPECT_EQ(editor.selectionHigh(), 6);
    editor.resetSelection();
    EXPECT_EQ(editor.selCount(), 0);
}

TEST_F(Editing, SelectAllAndSeek)
{
    EXPECT_EQ(editor.seek(3, 0), -1);
    loadPattern(10);
    editor.selectAll();
    EXPECT_EQ(editor.selCount(), 10);
    EXPECT_EQ(editor.cursorPosition(), 9);
    editor.setInsertMode(true);
    editor.selectAll();
    EXPECT_EQ(editor.cursorPosition(), 10);
    editor.setInsertMode(false);

    EXPECT_EQ(editor.seek(4, 0), 4);
    EXPECT_FALSE(editor.hasSelection());
    EXPECT_EQ(editor.seek(3, 1), 7);
    EXPECT_EQ(editor.seek(-20, 1), 0);
    EXPECT_EQ(editor.seek(-3, 2), 7);
    EXPECT_EQ(editor.seek(50, 0), 9);
    EXPECT_EQ(editor.seekToEnd(), 9);
    EXPECT_EQ(editor.cursorPosition(), 9);
}

TEST_F(Editing, InsertModeIsOnlyInForceWhenPossible)
{
    loadPattern(16);
    editor.setInsertMode(true);
    EXPECT_TRUE(editor.insertMode());
    EXPECT_EQ(editor.rowCount(), 4); // an extra row for the position one past the end
    editor.seekToEnd();
    editor.keyDown(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(editor.cursorPosition(), 16);
    editor.setInsertMode(false);
    EXPECT_EQ(editor.cursorPosition(), 15); // left insert mode one past the end
    EXPECT_EQ(editor.rowCount(), 3);

    editor.setInsertMode(true);
    editor.setNoSizeChange(true);
    EXPECT_FALSE(editor.insertMode());
    editor.setInsertMode(true);
    EXPECT_FALSE(editor.insertMode());
    editor.setNoSizeChange(false);
    editor.setAllowInsertMode(false);
    editor.setInsertMode(true);
    EXPECT_FALSE(editor.insertMode());
    editor.setAllowInsertMode(true);
    editor.setReadOnlyView(true);
    editor.setInsertMode(true);
    EXPECT_FALSE(editor.insertMode());
}

TEST_F(Editing, SwitchingInsertModeClearsTheMarks)
{
    loadPattern(16);
    editor.changeByte(editor.dataAt(3), 0x00, 3);
    editor.setInsertMode(true);
    EXPECT_FALSE(editor.hasChanged(3));
    editor.setInsertMode(false);
    EXPECT_FALSE(editor.hasChanged(3));
}

TEST_F(Editing, SettingsRejectInvalidValues)
{
    loadPattern(15);
    EXPECT_EQ(raisedText([&] { editor.setBytesPerUnit(3); }),
        QStringLiteral("Invalid bytes per unit value 3, allowed: 1,2,4,8"));
    EXPECT_EQ(editor.bytesPerUnit(), 1);
    EXPECT_EQ(raisedText([&] { editor.setBytesPerRow(257); }), QStringLiteral("Invalid bytes per line argument"));
    EXPECT_EQ(raisedText([&] { editor.setBytesPerRow(0); }), QStringLiteral("Invalid bytes per line argument"));
    EXPECT_EQ(raisedText([&] { editor.setBytesPerRow(256); }), QString());
    editor.setBytesPerRow(16);
    EXPECT_EQ(raisedText([&] { editor.setBytesPerColumn(0); }), QStringLiteral("Invalid bytes per column argument"));
    EXPECT_EQ(raisedText([&] { editor.setUnicodeChars(true); }),
        QStringLiteral("Cannot use unicode mode with odd-sized files"));
    loadPattern(16);
    editor.setBytesPerRow(15);
    EXPECT_EQ(raisedText([&] { editor.setUnicodeChars(true); }), QStringLiteral("Invalid bytes per line argument"));
    editor.setBytesPerRow(16);
    editor.setBytesPerColumn(3);
    EXPECT_EQ(raisedText([&] { editor.setUnicodeChars(true); }), QStringLiteral("Invalid bytes per column argument"));
    editor.setBytesPerColumn(2);
    editor.setTranslation(TranslationKind::Dos8);
    editor.setUnicodeChars(true);
    EXPECT_EQ(editor.bytesPerUnit(), 2);
    EXPECT_EQ(editor.translation(), TranslationKind::AsIs);
    EXPECT_EQ(raisedText([&] { editor.setTranslation(TranslationKind::Mac); }),
        QStringLiteral("Translations cannot be used in unicode mode"));
    EXPECT_EQ(raisedText([&] { editor.setBytesPerUnit(4); }),
        QStringLiteral("BytesPerUnit must be set to 2 in unicode mode"));
    EXPECT_EQ(raisedText([&] { editor.setBytesPerRow(7); }), QStringLiteral("Invalid bytes per line argument"));
}

TEST_F(Editing, BytesPerRowKeepsTheCursorOnItsByteAndNibble)
{
    loadPattern(100);
    editor.seek(37, 0);
    editor.keyDown(Qt::Key_Right, Qt::NoModifier); // low nibble of byte 37
    editor.setBytesPerRow(8);
    EXPECT_EQ(editor.cursorPosition(), 37);
    EXPECT_TRUE(editor.isCursorOnSecondColumn());
    EXPECT_EQ(editor.cursorCell(), (GridCell {2 + 5 * 2 + 1, 2 + 4}));
}

TEST(GridGeometry, PositionsAndCellsMapBothWays)
{
    HexEditor editor;
    load(editor, patternBytes(40));
    EXPECT_EQ(editor.colCount(), 3 * 16 + 3);
    EXPECT_EQ(editor.rowCount(), 3 + 2);
    EXPECT_EQ(editor.cellAtPosition(17, false), (GridCell {4, 3}));
    EXPECT_EQ(editor.cellAtPosition(17, true), (GridCell {36, 3}));
    EXPECT_EQ(editor.positionAtCell({5, 4}), 33);
    EXPECT_EQ(editor.positionAtCell({36, 3}), 17);
    EXPECT_EQ(editor.positionAtCell({0, 2}), 0); // negative results count as 0
    editor.setUnicodeChars(true);
    EXPECT_EQ(editor.colCount(), 2 * 16 + 8 + 3);
    EXPECT_EQ(editor.cellAtPosition(18, true), (GridCell {35 + 1, 3}));
    EXPECT_EQ(editor.positionAtCell({36, 3}), 18);

    HexEditor empty;
    EXPECT_EQ(empty.rowCount(), 3);
}

} // namespace kestrum::test
