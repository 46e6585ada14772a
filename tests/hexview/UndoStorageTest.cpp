#include "HexEditorTestSupport.h"

#include <vector>

namespace kestrum::test {

class UndoStorage : public EditorTest
{
};

TEST_F(UndoStorage, AOneByteChangeIsA34ByteRecord)
{
    loadPattern(32);
    editor.Seek(9, 0);
    const quint8 old = editor.GetDataAt(9);
    editor.IntChangeByte(old, 0x5A, 9);

    ASSERT_EQ(editor.UndoStorage().GetSize(), 34);
    const RecordView record = newestRecord(editor);
    ASSERT_EQ(record.raw.size(), 34);
    EXPECT_EQ(record.size(), 34U);
    EXPECT_EQ(record.flags(), MPHUndoFlagBit(ufKindBytesChanged)); // not modified, no mark, hex field
    EXPECT_EQ(record.cursorPos(), 9);
    EXPECT_EQ(record.position(), 9);
    EXPECT_EQ(record.count(), 1);
    EXPECT_EQ(record.replCount(), 0);
    EXPECT_EQ(record.translation(), tkAsIs);
    EXPECT_EQ(record.bytesPerUnit(), 1);
    EXPECT_EQ(static_cast<quint8>(record.raw[29]), old);
    EXPECT_EQ(record.trailer(), 34U);

    // The second change of the same byte records the modified flag and the byte's mark.
    editor.IntChangeByte(0x5A, 0x5B, 9);
    const RecordView second = newestRecord(editor);
    EXPECT_EQ(second.flags(),
        MPHUndoFlagBit(ufKindBytesChanged) | MPHUndoFlagBit(ufFlagByte1Changed) | MPHUndoFlagBit(ufFlagModified));
    EXPECT_EQ(static_cast<quint8>(second.raw[29]), 0x5A);
    EXPECT_EQ(editor.UndoStorage().GetSize(), 68);
}

TEST_F(UndoStorage, FlagBitsFollowTheDeclaredOrder)
{
    const std::vector<std::pair<TMPHUndoFlag, int>> bits = {{ufKindBytesChanged, 0}, {ufKindByteRemoved, 1},
        {ufKindInsertBuffer, 2}, {ufKindReplace, 3}, {ufKindAppendBuffer, 4}, {ufKindNibbleInsert, 5},
        {ufKindNibbleDelete, 6}, {ufKindConvert, 7}, {ufKindSelection, 8}, {ufKindCombined, 9}, {ufKindAllData, 10},
        {ufFlagByte1Changed, 11}, {ufFlagByte2Changed, 12}, {ufFlagModified, 13}, {ufFlag2ndByteCol, 14},
        {ufFlagInCharField, 15}, {ufFlagHasSelection, 16}, {ufFlagInsertMode, 17}, {ufFlagIsUnicode, 18},
        {ufFlagIsUnicodeBigEndian, 19}, {ufFlagHasDescription, 20}};
    for (const auto& [flag, bit] : bits)
        EXPECT_EQ(MPHUndoFlagBit(flag), 1U << bit) << "flag " << int(flag);
    // The kind is the lowest set bit below the state flags.
    EXPECT_EQ(TMPHUndoStorage::KindOf(MPHUndoFlagBit(ufKindConvert) | MPHUndoFlagBit(ufFlagModified)), ufKindConvert);
}

TEST_F(UndoStorage, EveryKindHasItsDefaultDescription)
{
    const std::vector<std::pair<TMPHUndoFlag, const char*>> texts = {{ufKindBytesChanged, "Change byte(s)"},
        {ufKindByteRemoved, "Remove data"}, {ufKindInsertBuffer, "Insert buffer"}, {ufKindReplace, "Replace"},
        {ufKindAppendBuffer, "Append buffer"}, {ufKindNibbleInsert, "Insert nibble"},
        {ufKindNibbleDelete, "Delete nibble"}, {ufKindConvert, "Convert"}, {ufKindSelection, "Cursor movement"},
        {ufKindCombined, "Multiple modification"}, {ufKindAllData, "All data saved"}};
    for (const auto& [kind, text] : texts)
        EXPECT_EQ(TMPHUndoStorage::KindDescription(kind), QString::fromLatin1(text));
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("No undo"));
}

TEST_F(UndoStorage, StateFlagsRecordFieldColumnInsertModeAndUnicode)
{
    loadPattern(32);
    editor.Seek(4, 0);
    editor.KeyDown(Qt::Key_Right, Qt::NoModifier); // the low-nibble column
    editor.IntChangeByte(editor.GetDataAt(4), 0x00, 4);
    EXPECT_TRUE(newestRecord(editor).has(ufFlag2ndByteCol));
    EXPECT_FALSE(newestRecord(editor).has(ufFlagInCharField));

    editor.KeyDown(Qt::Key_Tab, Qt::NoModifier);
    editor.IntChangeByte(editor.GetDataAt(4), 0x01, 4);
    EXPECT_TRUE(newestRecord(editor).has(ufFlagInCharField));
    EXPECT_FALSE(newestRecord(editor).has(ufFlag2ndByteCol));

    editor.SetUnicodeChars(true);
    editor.SetUnicodeBigEndian(true);
    editor.SetInsertMode(true);
    editor.IntChangeWideChar(0x0101, 0x0202, 4);
    const RecordView record = newestRecord(editor);
    EXPECT_TRUE(record.has(ufFlagInsertMode));
    EXPECT_TRUE(record.has(ufFlagIsUnicode));
    EXPECT_TRUE(record.has(ufFlagIsUnicodeBigEndian));
    EXPECT_EQ(record.bytesPerUnit(), 2);
    EXPECT_EQ(record.count(), 2);
    EXPECT_EQ(record.raw.size(), 29 + 2 + 4);
}

TEST_F(UndoStorage, DescriptionAndSelectionBlocksSitBeforeTheTrailer)
{
    loadPattern(32);
    editor.SetSelStart(10);
    editor.SetSelEnd(6); // anchor 10, lowest 6, highest 10
    editor.ReplaceSelection("ab", 2, QStringLiteral("Typed"));
    const RecordView record = newestRecord(editor);
    const int saved = 5;
    const int expectedSize = 29 + saved + 5 + 4 + 12 + 4;
    ASSERT_EQ(record.raw.size(), expectedSize);
    EXPECT_EQ(record.size(), quint32(expectedSize));
    EXPECT_EQ(record.trailer(), quint32(expectedSize));
    EXPECT_TRUE(record.has(ufFlagHasDescription));
    EXPECT_TRUE(record.has(ufFlagHasSelection));
    EXPECT_EQ(record.raw.mid(29 + saved, 5), QByteArray("Typed"));
    EXPECT_EQ(record.at<qint32>(29 + saved + 5), 5);
    EXPECT_EQ(record.at<qint32>(29 + saved + 9), 6);
    EXPECT_EQ(record.at<qint32>(29 + saved + 13), 10);
    EXPECT_EQ(record.at<qint32>(29 + saved + 17), 10);
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Typed"));

    // Undo brings the selection back with its anchor.
    editor.Undo();
    EXPECT_EQ(editor.SelectionLow(), 6);
    EXPECT_EQ(editor.SelectionHigh(), 10);
    EXPECT_EQ(editor.GetSelStart(), 10);
}

TEST_F(UndoStorage, SelectionRecordsHoldPositionAndRangeOnly)
{
    loadPattern(32);
    editor.Seek(3, 0);
    editor.AddSelectionUndo(8, 4);
    RecordView record = newestRecord(editor);
    EXPECT_EQ(record.kind(), ufKindSelection);
    ASSERT_EQ(record.raw.size(), 29 + 1 + 12 + 4);
    EXPECT_EQ(record.at<qint32>(30), 8);
    EXPECT_EQ(record.at<qint32>(34), 11);
    EXPECT_EQ(record.at<qint32>(38), 8);
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Cursor movement"));

    editor.AddSelectionUndo(20, 0);
    record = newestRecord(editor);
    EXPECT_EQ(record.at<qint32>(34), -1); // a cursor, not a selection

    editor.Seek(0, 0);
    ASSERT_TRUE(editor.Undo());
    EXPECT_FALSE(editor.HasSelection());
    EXPECT_EQ(editor.GetCursorPos(), 20);
    ASSERT_TRUE(editor.Undo());
    EXPECT_EQ(editor.SelectionLow(), 8);
    EXPECT_EQ(editor.SelectionHigh(), 11);
}

TEST_F(UndoStorage, SelectionRecordsRedoTheStateOfTheMomentOfTheUndo)
{
    loadPattern(32);
    editor.SetSelStart(2);
    editor.SetSelEnd(5);
    editor.AddSelectionUndo(2, 4);
    editor.Seek(9, 0); // drops the selection
    ASSERT_TRUE(editor.Undo());
    EXPECT_EQ(editor.SelectionLow(), 2);
    EXPECT_EQ(editor.SelectionHigh(), 5);
    const RecordView redo(editor.UndoStorage().RedoRecord());
    EXPECT_EQ(redo.kind(), ufKindSelection);
    EXPECT_EQ(redo.raw.size(), 29 + 1 + 80 + 12);
    EXPECT_EQ(redo.cursorPos(), 9);
    ASSERT_TRUE(editor.Redo());
    EXPECT_FALSE(editor.HasSelection());
    EXPECT_EQ(editor.GetCursorPos(), 9);
    EXPECT_EQ(dataOf(editor), patternBytes(32));
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Cursor movement"));
}

TEST_F(UndoStorage, UndoRestoresCursorFieldColumnAndModifiedFlag)
{
    loadPattern(32);
    editor.KeyDown(Qt::Key_Tab, Qt::NoModifier);
    editor.Seek(7, 0);
    editor.IntChangeByte(editor.GetDataAt(7), 0x41, 7);
    editor.KeyDown(Qt::Key_Tab, Qt::NoModifier);
    editor.Seek(20, 0);
    editor.KeyDown(Qt::Key_Right, Qt::NoModifier);
    editor.IntChangeByte(editor.GetDataAt(20), 0x42, 20);
    editor.Seek(0, 0);

    ASSERT_TRUE(editor.Undo());
    EXPECT_EQ(editor.GetCursorPos(), 20);
    EXPECT_FALSE(editor.GetInCharField());
    EXPECT_TRUE(editor.IsCursorOnSecondColumn());
    EXPECT_TRUE(editor.GetModified());
    ASSERT_TRUE(editor.Undo());
    EXPECT_EQ(editor.GetCursorPos(), 7);
    EXPECT_TRUE(editor.GetInCharField());
    EXPECT_FALSE(editor.GetModified());
    EXPECT_FALSE(editor.Undo());
}

TEST_F(UndoStorage, TheLimitDropsTheOldestRecordsFirst)
{
    loadPattern(64);
    editor.SetMaxUndo(100);
    for (int i = 0; i < 40; ++i)
        editor.IntChangeByte(editor.GetDataAt(i), static_cast<quint8>(~editor.GetDataAt(i)), i);
    EXPECT_LE(editor.UndoStorage().GetSize(), 100 + 34);
    // Two 34-byte records stay under 100 bytes, the third is added before the limit is tested.
    EXPECT_EQ(editor.UndoStorage().Count(), 3);
    // The newest changes undo; the oldest are gone.
    int undone = 0;
    while (editor.Undo())
        ++undone;
    EXPECT_EQ(undone, 3);
    const QByteArray original = patternBytes(64);
    EXPECT_EQ(dataOf(editor).mid(37), original.mid(37));
    for (int i = 0; i < 37; ++i)
        EXPECT_NE(dataOf(editor).at(i), original.at(i)) << "byte " << i;
}

TEST_F(UndoStorage, ARecordLargerThanTheLimitStaysUntilTheNextChange)
{
    loadPattern(4096);
    editor.SetMaxUndo(1024);
    editor.UndoBeginUpdate(QStringLiteral("Everything"));
    editor.UndoEndUpdate(); // nothing changed: the range record is gone again
    EXPECT_EQ(editor.UndoStorage().Count(), 0);
    editor.CreateRangeUndo(0, 0, {});
    EXPECT_EQ(editor.UndoStorage().Count(), 1);
    EXPECT_GT(editor.UndoStorage().GetSize(), 4096);
    editor.IntChangeByte(editor.GetDataAt(0), 0x00, 0);
    EXPECT_EQ(editor.UndoStorage().Count(), 1);
    EXPECT_EQ(editor.UndoStorage().GetSize(), 34);
}

TEST_F(UndoStorage, TheRedoRecordHoldsHeadBytesBookmarksAndSelection)
{
    loadPattern(32);
    editor.SetBookmarkVals(3, 17, true);
    editor.Seek(5, 0);
    editor.IntChangeByte(editor.GetDataAt(5), 0xEE, 5);
    editor.SetSelStart(12);
    editor.SetSelEnd(14);
    ASSERT_TRUE(editor.Undo());

    const RecordView redo(editor.UndoStorage().RedoRecord());
    ASSERT_EQ(redo.raw.size(), 29 + 1 + 80 + 12);
    EXPECT_EQ(redo.size(), quint32(redo.raw.size()));
    EXPECT_EQ(redo.kind(), ufKindBytesChanged);
    EXPECT_TRUE(redo.has(ufFlagByte1Changed)); // the mark as it was before the undo
    EXPECT_TRUE(redo.has(ufFlagModified));
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

    editor.SetBookmarkVals(3, 17, true); // clears it
    ASSERT_TRUE(editor.Redo());
    EXPECT_EQ(editor.GetBookmark(3).mPosition, 17);
    EXPECT_EQ(editor.SelectionLow(), 12);
    EXPECT_EQ(editor.SelectionHigh(), 14);
    EXPECT_EQ(editor.GetDataAt(5), 0xEE);
    EXPECT_TRUE(editor.HasChanged(5));
    EXPECT_TRUE(editor.GetCanUndo());
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Change byte(s)"));
}

TEST_F(UndoStorage, RedoIsOnlyPossibleRightAfterAnUndo)
{
    loadPattern(16);
    editor.IntChangeByte(editor.GetDataAt(1), 0x10, 1);
    editor.IntChangeByte(editor.GetDataAt(2), 0x20, 2);
    EXPECT_FALSE(editor.GetCanRedo());
    editor.Undo();
    EXPECT_TRUE(editor.GetCanRedo());
    editor.IntChangeByte(editor.GetDataAt(3), 0x30, 3);
    EXPECT_FALSE(editor.GetCanRedo());
    EXPECT_FALSE(editor.Redo());
    EXPECT_EQ(editor.GetDataAt(2), patternBytes(16).at(2));

    // Undo, redo, undo again walks the same record.
    editor.Undo();
    editor.Redo();
    EXPECT_EQ(editor.GetDataAt(3), 0x30);
    editor.Undo();
    editor.Undo();
    EXPECT_EQ(dataOf(editor), patternBytes(16));
    EXPECT_FALSE(editor.GetCanUndo());
    EXPECT_TRUE(editor.GetCanRedo()); // the storage was emptied, but the redo record stays
    editor.Redo();
    EXPECT_EQ(editor.GetDataAt(1), 0x10);
}

TEST_F(UndoStorage, UndoAndRedoAreOffInAReadOnlyView)
{
    loadPattern(16);
    editor.IntChangeByte(editor.GetDataAt(1), 0x10, 1);
    editor.SetReadOnlyView(true);
    EXPECT_FALSE(editor.GetCanUndo());
    EXPECT_FALSE(editor.Undo());
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("No undo"));
    editor.SetReadOnlyView(false);
    EXPECT_TRUE(editor.Undo());
    editor.SetReadOnlyView(true);
    EXPECT_FALSE(editor.GetCanRedo());
}

TEST_F(UndoStorage, CombinedRecordsUndoAsOneStepWithoutRedo)
{
    loadPattern(16);
    editor.IntChangeByte(editor.GetDataAt(0), 0xA0, 0);
    editor.IntChangeByte(editor.GetDataAt(1), 0xA1, 1);
    editor.IntChangeByte(editor.GetDataAt(2), 0xA2, 2);
    editor.CombineUndo(2, QStringLiteral("Two bytes"));
    const RecordView marker = newestRecord(editor);
    EXPECT_EQ(marker.kind(), ufKindCombined);
    EXPECT_EQ(marker.count(), 2);
    EXPECT_FALSE(marker.has(ufFlagHasDescription));
    EXPECT_EQ(static_cast<quint8>(marker.raw[29]), 9);
    EXPECT_EQ(marker.raw.mid(30, 9), QByteArray("Two bytes"));
    EXPECT_EQ(marker.raw.size(), 29 + 10 + 4);
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Two bytes"));
    EXPECT_EQ(editor.UndoStorage().Count(), 4);

    ASSERT_TRUE(editor.Undo());
    EXPECT_EQ(editor.GetDataAt(2), patternBytes(16).at(2));
    EXPECT_EQ(editor.GetDataAt(1), patternBytes(16).at(1));
    EXPECT_EQ(editor.GetDataAt(0), 0xA0);
    EXPECT_EQ(editor.UndoStorage().Count(), 1);
    EXPECT_FALSE(editor.GetCanRedo());
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Change byte(s)"));

    editor.CombineUndo(1);
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Multiple modification"));
    EXPECT_EQ(newestRecord(editor).raw.mid(30, 21), QByteArray("Multiple modification"));
}

TEST_F(UndoStorage, NoRecordsAreMadeWhileAnUpdateIsOpen)
{
    loadPattern(16);
    EXPECT_EQ(editor.TCustomMPHexEditor::UndoBeginUpdate(), 1);
    EXPECT_EQ(editor.TCustomMPHexEditor::UndoBeginUpdate(), 2);
    editor.IntChangeByte(editor.GetDataAt(1), 0x10, 1);
    EXPECT_EQ(editor.UndoStorage().Count(), 0);
    EXPECT_TRUE(editor.GetModified());
    EXPECT_EQ(editor.UndoEndUpdate(), 1);
    EXPECT_EQ(editor.UndoEndUpdate(), 0);
    EXPECT_EQ(editor.UndoEndUpdate(), 0); // never below 0
    editor.IntChangeByte(editor.GetDataAt(2), 0x20, 2);
    EXPECT_EQ(editor.UndoStorage().Count(), 1);
}

TEST_F(UndoStorage, AnUndoRangeUndoesEverythingInOneStep)
{
    loadPattern(64);
    const QByteArray before = dataOf(editor);
    EXPECT_EQ(editor.UndoBeginUpdate(QStringLiteral("Fill")), 1);
    const RecordView all = newestRecord(editor);
    EXPECT_EQ(all.kind(), ufKindAllData);
    EXPECT_EQ(all.count(), 64);
    EXPECT_EQ(all.saved(64), before);
    EXPECT_EQ(all.raw.size(), 29 + 64 + 4 + 4 + 4);
    EXPECT_FALSE(editor.GetModified()); // the range record keeps the flag
    EXPECT_FALSE(editor.GetCanUndo()); // not while the update is open

    editor.IntChangeByte(editor.GetDataAt(0), 0x00, 0);
    editor.InsertBuffer("xyz", 3, 10);
    editor.SetSelStart(30);
    editor.SetSelEnd(40);
    editor.DeleteSelection();
    EXPECT_EQ(editor.UndoEndUpdate(), 0);
    EXPECT_EQ(editor.UndoStorage().Count(), 1);
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Fill"));
    const QByteArray after = dataOf(editor);

    ASSERT_TRUE(editor.Undo());
    EXPECT_EQ(dataOf(editor), before);
    EXPECT_FALSE(editor.GetModified());
    ASSERT_TRUE(editor.Redo());
    EXPECT_EQ(dataOf(editor), after);
}

TEST_F(UndoStorage, ARangeWithOnlyAWriteBufferIsKept)
{
    loadPattern(16);
    editor.UndoBeginUpdate(QStringLiteral("Write"));
    editor.WriteBuffer("\x01\x02\x03", 4, 3);
    editor.UndoEndUpdate();
    EXPECT_EQ(editor.UndoStorage().Count(), 1);
    EXPECT_TRUE(editor.GetModified());
    editor.Undo();
    EXPECT_EQ(dataOf(editor), patternBytes(16));
}

TEST_F(UndoStorage, CreateRangeUndoOfARangeIsAnEqualCountReplace)
{
    loadPattern(16);
    editor.CreateRangeUndo(4, 3, {});
    const RecordView record = newestRecord(editor);
    EXPECT_EQ(record.kind(), ufKindReplace);
    EXPECT_EQ(record.count(), 3);
    EXPECT_EQ(record.replCount(), 3);
    EXPECT_EQ(record.saved(3), patternBytes(16).mid(4, 3));
    EXPECT_FALSE(editor.GetModified());
    editor.WriteBuffer("abc", 4, 3);
    editor.Undo();
    EXPECT_EQ(dataOf(editor), patternBytes(16));
}

} // namespace kestrum::test
