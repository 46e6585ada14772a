#include "HexEditorTestSupport.h"

#include <vector>

namespace kestrum::test {

class UndoRecords : public EditorTest
{
};

TEST_F(UndoRecords, AOneByteChangeIsA34ByteRecord)
{
    loadPattern(32);
    editor.seek(9, 0);
    const quint8 old = editor.dataAt(9);
    editor.changeByte(old, 0x5A, 9);

    ASSERT_EQ(editor.undoStorage().size(), 34);
    const RecordView record = newestRecord(editor);
    ASSERT_EQ(record.raw.size(), 34);
    EXPECT_EQ(record.size(), 34U);
    EXPECT_EQ(record.flags(), undoFlagBit(UndoFlag::KindBytesChanged)); // not modified, no mark, hex field
    EXPECT_EQ(record.cursorPos(), 9);
    EXPECT_EQ(record.position(), 9);
    EXPECT_EQ(record.count(), 1);
    EXPECT_EQ(record.replCount(), 0);
    EXPECT_EQ(record.translation(), TranslationKind::AsIs);
    EXPECT_EQ(record.bytesPerUnit(), 1);
    EXPECT_EQ(static_cast<quint8>(record.raw[29]), old);
    EXPECT_EQ(record.trailer(), 34U);

    // The second change of the same byte records the modified flag and the byte's mark.
    editor.changeByte(0x5A, 0x5B, 9);
    const RecordView second = newestRecord(editor);
    EXPECT_EQ(second.flags(),
        undoFlagBit(UndoFlag::KindBytesChanged) | undoFlagBit(UndoFlag::Byte1Changed)
            | undoFlagBit(UndoFlag::Modified));
    EXPECT_EQ(static_cast<quint8>(second.raw[29]), 0x5A);
    EXPECT_EQ(editor.undoStorage().size(), 68);
}

TEST_F(UndoRecords, FlagBitsFollowTheDeclaredOrder)
{
    const std::vector<std::pair<UndoFlag, int>> bits
        = {{UndoFlag::KindBytesChanged, 0}, {UndoFlag::KindByteRemoved, 1}, {UndoFlag::KindInsertBuffer, 2},
            {UndoFlag::KindReplace, 3}, {UndoFlag::KindAppendBuffer, 4}, {UndoFlag::KindNibbleInsert, 5},
            {UndoFlag::KindNibbleDelete, 6}, {UndoFlag::KindConvert, 7}, {UndoFlag::KindSelection, 8},
            {UndoFlag::KindCombined, 9}, {UndoFlag::KindAllData, 10}, {UndoFlag::Byte1Changed, 11},
            {UndoFlag::Byte2Changed, 12}, {UndoFlag::Modified, 13}, {UndoFlag::SecondColumn, 14},
            {UndoFlag::InCharField, 15}, {UndoFlag::HasSelection, 16}, {UndoFlag::InsertMode, 17},
            {UndoFlag::Unicode, 18}, {UndoFlag::UnicodeBigEndian, 19}, {UndoFlag::HasDescription, 20}};
    for (const auto& [flag, bit] : bits)
        EXPECT_EQ(undoFlagBit(flag), 1U << bit) << "flag " << int(flag);
    // The kind is the lowest set bit below the state flags.
    EXPECT_EQ(UndoStorage::kindOf(undoFlagBit(UndoFlag::KindConvert) | undoFlagBit(UndoFlag::Modified)),
        UndoFlag::KindConvert);
}

TEST_F(UndoRecords, EveryKindHasItsDefaultDescription)
{
    const std::vector<std::pair<UndoFlag, const char*>> texts = {{UndoFlag::KindBytesChanged, "Change byte(s)"},
        {UndoFlag::KindByteRemoved, "Remove data"}, {UndoFlag::KindInsertBuffer, "Insert buffer"},
        {UndoFlag::KindReplace, "Replace"}, {UndoFlag::KindAppendBuffer, "Append buffer"},
        {UndoFlag::KindNibbleInsert, "Insert nibble"}, {UndoFlag::KindNibbleDelete, "Delete nibble"},
        {UndoFlag::KindConvert, "Convert"}, {UndoFlag::KindSelection, "Cursor movement"},
        {UndoFlag::KindCombined, "Multiple modification"}, {UndoFlag::KindAllData, "All data saved"}};
    for (const auto& [kind, text] : texts)
        EXPECT_EQ(UndoStorage::kindDescription(kind), QString::fromLatin1(text));
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("No undo"));
}

TEST_F(UndoRecords, StateFlagsRecordFieldColumnInsertModeAndUnicode)
{
    loadPattern(32);
    editor.seek(4, 0);
    editor.keyDown(Qt::Key_Right, Qt::NoModifier); // the low-nibble column
    editor.changeByte(editor.dataAt(4), 0x00, 4);
    EXPECT_TRUE(newestRecord(editor).has(UndoFlag::SecondColumn));
    EXPECT_FALSE(newestRecord(editor).has(UndoFlag::InCharField));

    editor.keyDown(Qt::Key_Tab, Qt::NoModifier);
    editor.changeByte(editor.dataAt(4), 0x01, 4);
    EXPECT_TRUE(newestRecord(editor).has(UndoFlag::InCharField));
    EXPECT_FALSE(newestRecord(editor).has(UndoFlag::SecondColumn));

    editor.setUnicodeChars(true);
    editor.setUnicodeBigEndian(true);
    editor.setInsertMode(true);
    editor.changeWideChar(0x0101, 0x0202, 4);
    const RecordView record = newestRecord(editor);
    EXPECT_TRUE(record.has(UndoFlag::InsertMode));
    EXPECT_TRUE(record.has(UndoFlag::Unicode));
    EXPECT_TRUE(record.has(UndoFlag::UnicodeBigEndian));
    EXPECT_EQ(record.bytesPerUnit(), 2);
    EXPECT_EQ(record.count(), 2);
    EXPECT_EQ(record.raw.size(), 29 + 2 + 4);
}

TEST_F(UndoRecords, DescriptionAndSelectionBlocksSitBeforeTheTrailer)
{
    loadPattern(32);
    editor.setSelStart(10);
    editor.setSelEnd(6); // anchor 10, lowest 6, highest 10
    editor.replaceSelection("ab", 2, QStringLiteral("Typed"));
    const RecordView record = newestRecord(editor);
    const int saved = 5;
    const int expectedSize = 29 + saved + 5 + 4 + 12 + 4;
    ASSERT_EQ(record.raw.size(), expectedSize);
    EXPECT_EQ(record.size(), quint32(expectedSize));
    EXPECT_EQ(record.trailer(), quint32(expectedSize));
    EXPECT_TRUE(record.has(UndoFlag::HasDescription));
    EXPECT_TRUE(record.has(UndoFlag::HasSelection));
    EXPECT_EQ(record.raw.mid(29 + saved, 5), QByteArray("Typed"));
    EXPECT_EQ(record.at<qint32>(29 + saved + 5), 5);
    EXPECT_EQ(record.at<qint32>(29 + saved + 9), 6);
    EXPECT_EQ(record.at<qint32>(29 + saved + 13), 10);
    EXPECT_EQ(record.at<qint32>(29 + saved + 17), 10);
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Typed"));

    // Undo brings the selection back with its anchor.
    editor.undo();
    EXPECT_EQ(editor.selectionLow(), 6);
    EXPECT_EQ(editor.selectionHigh(), 10);
    EXPECT_EQ(editor.selStart(), 10);
}

TEST_F(UndoRecords, SelectionRecordsHoldPositionAndRangeOnly)
{
    loadPattern(32);
    editor.seek(3, 0);
    editor.addSelectionUndo(8, 4);
    RecordView record = newestRecord(editor);
    EXPECT_EQ(record.kind(), UndoFlag::KindSelection);
    ASSERT_EQ(record.raw.size(), 29 + 1 + 12 + 4);
    EXPECT_EQ(record.at<qint32>(30), 8);
    EXPECT_EQ(record.at<qint32>(34), 11);
    EXPECT_EQ(record.at<qint32>(38), 8);
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Cursor movement"));

    editor.addSelectionUndo(20, 0);
    record = newestRecord(editor);
    EXPECT_EQ(record.at<qint32>(34), -1); // a cursor, not a selection

    editor.seek(0, 0);
    ASSERT_TRUE(editor.undo());
    EXPECT_FALSE(editor.hasSelection());
    EXPECT_EQ(editor.cursorPosition(), 20);
    ASSERT_TRUE(editor.undo());
    EXPECT_EQ(editor.selectionLow(), 8);
    EXPECT_EQ(editor.selectionHigh(), 11);
}

TEST_F(UndoRecords, SelectionRecordsRedoTheStateOfTheMomentOfTheUndo)
{
    loadPattern(32);
    editor.setSelStart(2);
    editor.setSelEnd(5);
    editor.addSelectionUndo(2, 4);
    editor.seek(9, 0); // drops the selection
    ASSERT_TRUE(editor.undo());
    EXPECT_EQ(editor.selectionLow(), 2);
    EXPECT_EQ(editor.selectionHigh(), 5);
    const RecordView redo(editor.undoStorage().redoRecord());
    EXPECT_EQ(redo.kind(), UndoFlag::KindSelection);
    EXPECT_EQ(redo.raw.size(), 29 + 1 + 80 + 12);
    EXPECT_EQ(redo.cursorPos(), 9);
    ASSERT_TRUE(editor.redo());
    EXPECT_FALSE(editor.hasSelection());
    EXPECT_EQ(editor.cursorPosition(), 9);
    EXPECT_EQ(dataOf(editor), patternBytes(32));
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Cursor movement"));
}

TEST_F(UndoRecords, UndoRestoresCursorFieldColumnAndModifiedFlag)
{
    loadPattern(32);
    editor.keyDown(Qt::Key_Tab, Qt::NoModifier);
    editor.seek(7, 0);
    editor.changeByte(editor.dataAt(7), 0x41, 7);
    editor.keyDown(Qt::Key_Tab, Qt::NoModifier);
    editor.seek(20, 0);
    editor.keyDown(Qt::Key_Right, Qt::NoModifier);
    editor.changeByte(editor.dataAt(20), 0x42, 20);
    editor.seek(0, 0);

    ASSERT_TRUE(editor.undo());
    EXPECT_EQ(editor.cursorPosition(), 20);
    EXPECT_FALSE(editor.cursorInCharField());
    EXPECT_TRUE(editor.isCursorOnSecondColumn());
    EXPECT_TRUE(editor.isModified());
    ASSERT_TRUE(editor.undo());
    EXPECT_EQ(editor.cursorPosition(), 7);
    EXPECT_TRUE(editor.cursorInCharField());
    EXPECT_FALSE(editor.isModified());
    EXPECT_FALSE(editor.undo());
}

TEST_F(UndoRecords, TheLimitDropsTheOldestRecordsFirst)
{
    loadPattern(64);
    editor.setMaxUndo(100);
    for (int i = 0; i < 40; ++i)
        editor.changeByte(editor.dataAt(i), static_cast<quint8>(~editor.dataAt(i)), i);
    EXPECT_LE(editor.undoStorage().size(), 100 + 34);
    // Two 34-byte records stay under 100 bytes, the third is added before the limit is tested.
    EXPECT_EQ(editor.undoStorage().count(), 3);
    // The newest changes undo; the oldest are gone.
    int undone = 0;
    while (editor.undo())
        ++undone;
    EXPECT_EQ(undone, 3);
    const QByteArray original = patternBytes(64);
    EXPECT_EQ(dataOf(editor).mid(37), original.mid(37));
    for (int i = 0; i < 37; ++i)
        EXPECT_NE(dataOf(editor).at(i), original.at(i)) << "byte " << i;
}

TEST_F(UndoRecords, ARecordLargerThanTheLimitStaysUntilTheNextChange)
{
    loadPattern(4096);
    editor.setMaxUndo(1024);
    editor.undoBeginUpdate(QStringLiteral("Everything"));
    editor.undoEndUpdate(); // nothing changed: the range record is gone again
    EXPECT_EQ(editor.undoStorage().count(), 0);
    editor.createRangeUndo(0, 0, {});
    EXPECT_EQ(editor.undoStorage().count(), 1);
    EXPECT_GT(editor.undoStorage().size(), 4096);
    editor.changeByte(editor.dataAt(0), 0x00, 0);
    EXPECT_EQ(editor.undoStorage().count(), 1);
    EXPECT_EQ(editor.undoStorage().size(), 34);
}

TEST_F(UndoRecords, TheRedoRecordHoldsHeadBytesBookmarksAndSelection)
{
    loadPattern(32);
    editor.toggleBookmark(3, 17, true);
    editor.seek(5, 0);
    editor.changeByte(editor.dataAt(5), 0xEE, 5);
    editor.setSelStart(12);
    editor.setSelEnd(14);
    ASSERT_TRUE(editor.undo());

    const RecordView redo(editor.undoStorage().redoRecord());
    ASSERT_EQ(redo.raw.size(), 29 + 1 + 80 + 12);
    EXPECT_EQ(redo.size(), quint32(redo.raw.size()));
    EXPECT_EQ(redo.kind(), UndoFlag::KindBytesChanged);
    EXPECT_TRUE(redo.has(UndoFlag::Byte1Changed)); // the mark as it was before the undo
    EXPECT_TRUE(redo.has(UndoFlag::Modified));
    EXPECT_EQ(redo.position(), 5);
    EXPECT_EQ(redo.count(), 1);
    EXPECT_EQ(redo.cursorPos(), 12);
    EXPECT_EQ(static_cast<quint8>(redo.raw[29]), 0xEE);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(redo.at<qint32>(30 + 8 * i), i == 3 ? 17 : -1);
        EXPECT_EQ(redo.at<quint8>(34 + 8 * i), i == 3 ? 1 : 0);
    }
    EXPECT_EQ(redo.at<qint32>(110), 12);
    EXPECT_EQ(redo.at<qint32>(114), 14);
    EXPECT_EQ(redo.at<qint32>(118), 12);

    editor.toggleBookmark(3, 17, true); // clears it
    ASSERT_TRUE(editor.redo());
    EXPECT_EQ(editor.bookmark(3).position, 17);
    EXPECT_EQ(editor.selectionLow(), 12);
    EXPECT_EQ(editor.selectionHigh(), 14);
    EXPECT_EQ(editor.dataAt(5), 0xEE);
    EXPECT_TRUE(editor.hasChanged(5));
    EXPECT_TRUE(editor.canUndo());
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Change byte(s)"));
}

TEST_F(UndoRecords, RedoIsOnlyPossibleRightAfterAnUndo)
{
    loadPattern(16);
    editor.changeByte(editor.dataAt(1), 0x10, 1);
    editor.changeByte(editor.dataAt(2), 0x20, 2);
    EXPECT_FALSE(editor.canRedo());
    editor.undo();
    EXPECT_TRUE(editor.canRedo());
    editor.changeByte(editor.dataAt(3), 0x30, 3);
    EXPECT_FALSE(editor.canRedo());
    EXPECT_FALSE(editor.redo());
    EXPECT_EQ(editor.dataAt(2), patternBytes(16).at(2));

    // Undo, redo, undo again walks the same record.
    editor.undo();
    editor.redo();
    EXPECT_EQ(editor.dataAt(3), 0x30);
    editor.undo();
    editor.undo();
    EXPECT_EQ(dataOf(editor), patternBytes(16));
    EXPECT_FALSE(editor.canUndo());
    EXPECT_TRUE(editor.canRedo()); // the storage was emptied, but the redo record stays
    editor.redo();
    EXPECT_EQ(editor.dataAt(1), 0x10);
}

TEST_F(UndoRecords, UndoAndRedoAreOffInAReadOnlyView)
{
    loadPattern(16);
    editor.changeByte(editor.dataAt(1), 0x10, 1);
    editor.setReadOnlyView(true);
    EXPECT_FALSE(editor.canUndo());
    EXPECT_FALSE(editor.undo());
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("No undo"));
    editor.setReadOnlyView(false);
    EXPECT_TRUE(editor.undo());
    editor.setReadOnlyView(true);
    EXPECT_FALSE(editor.canRedo());
}

TEST_F(UndoRecords, CombinedRecordsUndoAsOneStepWithoutRedo)
{
    loadPattern(16);
    editor.changeByte(editor.dataAt(0), 0xA0, 0);
    editor.changeByte(editor.dataAt(1), 0xA1, 1);
    editor.changeByte(editor.dataAt(2), 0xA2, 2);
    editor.combineUndo(2, QStringLiteral("Two bytes"));
    const RecordView marker = newestRecord(editor);
    EXPECT_EQ(marker.kind(), UndoFlag::KindCombined);
    EXPECT_EQ(marker.count(), 2);
    EXPECT_FALSE(marker.has(UndoFlag::HasDescription));
    EXPECT_EQ(static_cast<quint8>(marker.raw[29]), 9);
    EXPECT_EQ(marker.raw.mid(30, 9), QByteArray("Two bytes"));
    EXPECT_EQ(marker.raw.size(), 29 + 10 + 4);
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Two bytes"));
    EXPECT_EQ(editor.undoStorage().count(), 4);

    ASSERT_TRUE(editor.undo());
    EXPECT_EQ(editor.dataAt(2), patternBytes(16).at(2));
    EXPECT_EQ(editor.dataAt(1), patternBytes(16).at(1));
    EXPECT_EQ(editor.dataAt(0), 0xA0);
    EXPECT_EQ(editor.undoStorage().count(), 1);
    EXPECT_FALSE(editor.canRedo());
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Change byte(s)"));

    editor.combineUndo(1);
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Multiple modification"));
    EXPECT_EQ(newestRecord(editor).raw.mid(30, 21), QByteArray("Multiple modification"));
}

TEST_F(UndoRecords, NoRecordsAreMadeWhileAnUpdateIsOpen)
{
    loadPattern(16);
    EXPECT_EQ(editor.HexEditorCore::undoBeginUpdate(), 1);
    EXPECT_EQ(editor.HexEditorCore::undoBeginUpdate(), 2);
    editor.changeByte(editor.dataAt(1), 0x10, 1);
    EXPECT_EQ(editor.undoStorage().count(), 0);
    EXPECT_TRUE(editor.isModified());
    EXPECT_EQ(editor.undoEndUpdate(), 1);
    EXPECT_EQ(editor.undoEndUpdate(), 0);
    EXPECT_EQ(editor.undoEndUpdate(), 0); // never below 0
    editor.changeByte(editor.dataAt(2), 0x20, 2);
    EXPECT_EQ(editor.undoStorage().count(), 1);
}

TEST_F(UndoRecords, AnUndoRangeUndoesEverythingInOneStep)
{
    loadPattern(64);
    const QByteArray before = dataOf(editor);
    EXPECT_EQ(editor.undoBeginUpdate(QStringLiteral("Fill")), 1);
    const RecordView all = newestRecord(editor);
    EXPECT_EQ(all.kind(), UndoFlag::KindAllData);
    EXPECT_EQ(all.count(), 64);
    EXPECT_EQ(all.saved(64), before);
    EXPECT_EQ(all.raw.size(), 29 + 64 + 4 + 4 + 4);
    EXPECT_FALSE(editor.isModified()); // the range record keeps the flag
    EXPECT_FALSE(editor.canUndo()); // not while the update is open

    editor.changeByte(editor.dataAt(0), 0x00, 0);
    editor.insertBuffer("xyz", 3, 10);
    editor.setSelStart(30);
    editor.setSelEnd(40);
    editor.deleteSelection();
    EXPECT_EQ(editor.undoEndUpdate(), 0);
    EXPECT_EQ(editor.undoStorage().count(), 1);
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Fill"));
    const QByteArray after = dataOf(editor);

    ASSERT_TRUE(editor.undo());
    EXPECT_EQ(dataOf(editor), before);
    EXPECT_FALSE(editor.isModified());
    ASSERT_TRUE(editor.redo());
    EXPECT_EQ(dataOf(editor), after);
}

TEST_F(UndoRecords, ARangeWithOnlyAWriteBufferIsKept)
{
    loadPattern(16);
    editor.undoBeginUpdate(QStringLiteral("Write"));
    editor.writeBuffer("\x01\x02\x03", 4, 3);
    editor.undoEndUpdate();
    EXPECT_EQ(editor.undoStorage().count(), 1);
    EXPECT_TRUE(editor.isModified());
    editor.undo();
    EXPECT_EQ(dataOf(editor), patternBytes(16));
}

TEST_F(UndoRecords, CreateRangeUndoOfARangeIsAnEqualCountReplace)
{
    loadPattern(16);
    editor.createRangeUndo(4, 3, {});
    const RecordView record = newestRecord(editor);
    EXPECT_EQ(record.kind(), UndoFlag::KindReplace);
    EXPECT_EQ(record.count(), 3);
    EXPECT_EQ(record.replCount(), 3);
    EXPECT_EQ(record.saved(3), patternBytes(16).mid(4, 3));
    EXPECT_FALSE(editor.isModified());
    editor.writeBuffer("abc", 4, 3);
    editor.undo();
    EXPECT_EQ(dataOf(editor), patternBytes(16));
}

} // namespace kestrum::test
