#include "HexEditorTestSupport.h"

#include <QCoreApplication>

namespace kestrum::test {

namespace {

void type(TCustomMPHexEditor& editor, const QString& text)
{
    for (const QChar c : text)
        editor.KeyPress(c);
}

void press(TCustomMPHexEditor& editor, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int times = 1)
{
    for (int i = 0; i < times; ++i)
        editor.KeyDown(key, modifiers);
}

} // namespace

class Typing : public EditorTest
{
protected:
    int invalidKeys = 0;

    void SetUp() override
    {
        editor.OnInvalidKey = [this](TCustomMPHexEditor&) { ++invalidKeys; };
    }
};

TEST_F(Typing, AHexDigitReplacesTheNibbleUnderTheCursor)
{
    load(editor, QByteArray::fromHex("5c5c"));
    type(editor, QStringLiteral("A"));
    EXPECT_EQ(editor.GetDataAt(0), 0xAC);
    EXPECT_TRUE(editor.IsCursorOnSecondColumn());
    EXPECT_EQ(editor.GetCursorPos(), 0);
    press(editor, Qt::Key_Right); // the second byte's low nibble
    press(editor, Qt::Key_Right);
    type(editor, QStringLiteral("a"));
    EXPECT_EQ(editor.GetDataAt(1), 0x5A);
    EXPECT_TRUE(editor.HasChanged(0));
    EXPECT_TRUE(editor.HasChanged(1));
    EXPECT_EQ(editor.UndoStorage().Count(), 2);
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Change byte(s)"));
    // The cursor stays on the last byte.
    EXPECT_EQ(editor.GetCursorPos(), 1);
    EXPECT_TRUE(editor.IsCursorOnSecondColumn());
}

TEST_F(Typing, TwoDigitsInOneByteMakeTwoRecordsAndTwoUndosRestoreIt)
{
    load(editor, QByteArray::fromHex("5c00"));
    type(editor, QStringLiteral("1"));
    type(editor, QStringLiteral("2"));
    EXPECT_EQ(editor.GetDataAt(0), 0x12);
    EXPECT_EQ(editor.UndoStorage().Count(), 2);
    EXPECT_EQ(editor.GetCursorPos(), 1); // on to the next byte's first column
    press(editor, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(editor.GetDataAt(0), 0x1C);
    EXPECT_TRUE(editor.HasChanged(0));
    press(editor, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(editor.GetDataAt(0), 0x5C);
    EXPECT_FALSE(editor.HasChanged(0));
    EXPECT_EQ(editor.GetCursorPos(), 0);
    EXPECT_FALSE(editor.IsCursorOnSecondColumn());
    press(editor, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(editor.GetDataAt(0), 0x1C);
}

TEST_F(Typing, TheValueTheByteAlreadyHasMakesNoRecordAndNoMark)
{
    load(editor, QByteArray::fromHex("5c"));
    type(editor, QStringLiteral("5"));
    EXPECT_EQ(editor.UndoStorage().Count(), 0);
    EXPECT_FALSE(editor.HasChanged(0));
    EXPECT_TRUE(editor.IsCursorOnSecondColumn()); // the cursor moves all the same
}

TEST_F(Typing, InsertModeInsertsAUnitOnItsFirstColumnAndOverwritesInside)
{
    load(editor, QByteArray::fromHex("aabb"));
    editor.SetInsertMode(true);
    editor.Seek(1, 0);
    type(editor, QStringLiteral("7"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("aa70bb"));
    EXPECT_FALSE(editor.HasChanged(1));
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Insert buffer"));
    EXPECT_TRUE(editor.IsCursorOnSecondColumn());
    EXPECT_FALSE(editor.HasSelection());
    type(editor, QStringLiteral("E"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("aa7ebb"));
    type(editor, QStringLiteral("3"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("aa7e30bb"));
    EXPECT_FALSE(editor.HasChanged(2));
    EXPECT_EQ(editor.UndoStorage().Count(), 3);
}

TEST_F(Typing, InsertModeWithLargerUnitsInsertsWholeUnits)
{
    load(editor, QByteArray::fromHex("aabbccdd"));
    editor.SetInsertMode(true);
    editor.SetBytesPerUnit(2);
    editor.Seek(2, 0);
    type(editor, QStringLiteral("1234"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("aabb1234ccdd"));
    EXPECT_EQ(editor.UndoStorage().Count(), 4); // insert, then three overwrites inside the unit
    type(editor, QStringLiteral("5"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("aabb12345000ccdd"));
}

TEST_F(Typing, InsertModeAtTheEndAndOnEmptyData)
{
    editor.SetInsertMode(true);
    type(editor, QStringLiteral("4"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("40"));
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Append buffer"));
    type(editor, QStringLiteral("1f"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("41f0"));
    EXPECT_EQ(editor.GetCursorPos(), 1);
    EXPECT_TRUE(editor.IsCursorOnSecondColumn());
    type(editor, QStringLiteral("e"));
    EXPECT_EQ(editor.GetCursorPos(), 2); // one past the end
    type(editor, QStringLiteral("9"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("41fe90"));
}

TEST_F(Typing, OverwriteModeIgnoresKeysOnEmptyData)
{
    type(editor, QStringLiteral("4"));
    EXPECT_EQ(editor.GetDataSize(), 0);
    EXPECT_EQ(invalidKeys, 0);
}

TEST_F(Typing, ASelectionIsDroppedInOverwriteModeAndReplacedInInsertMode)
{
    load(editor, QByteArray::fromHex("0011223344"));
    editor.Seek(1, 0);
    press(editor, Qt::Key_Right, Qt::ShiftModifier, 4); // bytes 1..3, cursor on byte 3
    ASSERT_EQ(editor.GetSelCount(), 3);
    type(editor, QStringLiteral("f"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("001122f344"));
    EXPECT_FALSE(editor.HasSelection());

    editor.SetInsertMode(true);
    editor.Seek(1, 0);
    press(editor, Qt::Key_Right, Qt::ShiftModifier, 4);
    ASSERT_EQ(editor.GetSelCount(), 3);
    type(editor, QStringLiteral("9"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("009044"));
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Replace"));
    EXPECT_EQ(editor.GetCursorPos(), 1);
    EXPECT_TRUE(editor.IsCursorOnSecondColumn());
}

TEST_F(Typing, InvalidAndMaskedKeysChangeNothing)
{
    load(editor, QByteArray::fromHex("5c"));
    type(editor, QStringLiteral("g"));
    EXPECT_EQ(invalidKeys, 1);
    type(editor, QString(QChar(0x05))); // masked: not even an invalid key
    EXPECT_EQ(invalidKeys, 1);
    EXPECT_EQ(editor.GetDataAt(0), 0x5C);
    EXPECT_FALSE(editor.IsCursorOnSecondColumn());
    editor.SetReadOnlyView(true);
    type(editor, QStringLiteral("1"));
    EXPECT_EQ(editor.GetDataAt(0), 0x5C);
    EXPECT_EQ(editor.UndoStorage().Count(), 0);
}

TEST_F(Typing, SwappedNibblesTakeTheFirstColumnAsTheLowNibble)
{
    load(editor, QByteArray::fromHex("1f"));
    editor.SetSwapNibbles(true);
    type(editor, QStringLiteral("7"));
    EXPECT_EQ(editor.GetDataAt(0), 0x17);
    type(editor, QStringLiteral("9"));
    EXPECT_EQ(editor.GetDataAt(0), 0x97);
    editor.SetInsertMode(true);
    editor.Seek(0, 0);
    type(editor, QStringLiteral("3"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("0397"));
}

TEST_F(Typing, CharactersReplaceBytesInTheCharacterField)
{
    load(editor, QByteArray("abcd"));
    press(editor, Qt::Key_Tab);
    ASSERT_TRUE(editor.GetInCharField());
    type(editor, QStringLiteral("XY"));
    EXPECT_EQ(dataOf(editor), QByteArray("XYcd"));
    EXPECT_EQ(editor.GetCursorPos(), 2);
    EXPECT_TRUE(editor.HasChanged(0));
    EXPECT_EQ(editor.UndoStorage().Count(), 2);
    type(editor, QString(QChar(0x263A))); // no single-byte form
    EXPECT_EQ(invalidKeys, 1);
    type(editor, QString(QChar(0xE9)));
    EXPECT_EQ(dataOf(editor),
        QByteArray("XY\xE9"
                   "d"));
}

TEST_F(Typing, CharactersGoThroughTheTranslation)
{
    load(editor, QByteArray(4, '\0'));
    editor.SetTranslation(tkBCD);
    press(editor, Qt::Key_Tab);
    type(editor, QStringLiteral("A9 "));
    EXPECT_EQ(dataOf(editor), QByteArray("\xC1\xF9\x40", 3) + QByteArray(1, '\0'));
    editor.SetTranslation(tkDos8);
    type(editor, QString(QChar(0xFC)));
    EXPECT_EQ(static_cast<quint8>(editor.GetDataAt(3)), 0x81);
}

TEST_F(Typing, CharactersInInsertModeInsertAppendOrReplace)
{
    load(editor, QByteArray("abcd"));
    editor.SetInsertMode(true);
    press(editor, Qt::Key_Tab);
    editor.Seek(1, 0);
    type(editor, QStringLiteral("XY"));
    EXPECT_EQ(dataOf(editor), QByteArray("aXYbcd"));
    press(editor, Qt::Key_End, Qt::ControlModifier);
    type(editor, QStringLiteral("Z"));
    EXPECT_EQ(dataOf(editor), QByteArray("aXYbcdZ"));
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Append buffer"));
    editor.Seek(1, 0);
    press(editor, Qt::Key_Right, Qt::ShiftModifier, 2); // "XYb": the selection includes the cursor byte
    type(editor, QStringLiteral("-"));
    EXPECT_EQ(dataOf(editor), QByteArray("a-cdZ"));
    EXPECT_FALSE(editor.HasChanged(1));

    editor.SetBytesPerUnit(2);
    editor.Seek(1, 0); // inside the unit 0..1: overwrite
    type(editor, QStringLiteral("+"));
    EXPECT_EQ(dataOf(editor), QByteArray("a+cdZ"));
    type(editor, QStringLiteral("!")); // a unit boundary: a unit of the character and a zero
    EXPECT_EQ(dataOf(editor), QByteArray("a+!\0cdZ", 7));
}

TEST_F(Typing, UnicodeCharactersAreTwoBytesInTheChosenOrder)
{
    load(editor, QByteArray(4, '\0'));
    editor.SetUnicodeChars(true);
    press(editor, Qt::Key_Tab);
    type(editor, QString(QChar(0x263A)));
    EXPECT_EQ(dataOf(editor), QByteArray("\x3A\x26\0\0", 4));
    EXPECT_EQ(editor.GetCursorPos(), 2);
    EXPECT_TRUE(editor.HasChanged(0));
    EXPECT_TRUE(editor.HasChanged(1));
    editor.SetUnicodeBigEndian(true);
    type(editor, QStringLiteral("A"));
    EXPECT_EQ(dataOf(editor), QByteArray("\x3A\x26\0A", 4));
    EXPECT_FALSE(editor.HasChanged(2)); // only the byte that differs is marked
    EXPECT_TRUE(editor.HasChanged(3));
}

class EditingKeys : public EditorTest
{
};

TEST_F(EditingKeys, DeleteNeedsCtrlOrInsertMode)
{
    loadPattern(8);
    const QByteArray before = dataOf(editor);
    editor.Seek(2, 0);
    press(editor, Qt::Key_Delete);
    EXPECT_EQ(dataOf(editor), before);
    press(editor, Qt::Key_Delete, Qt::ControlModifier);
    QByteArray after = before;
    after.remove(2, 1);
    EXPECT_EQ(dataOf(editor), after);
    EXPECT_EQ(editor.GetUndoDescription(), QStringLiteral("Remove data"));

    editor.SetInsertMode(true);
    press(editor, Qt::Key_Delete);
    after.remove(2, 1);
    EXPECT_EQ(dataOf(editor), after);
    editor.Seek(0, 0);
    press(editor, Qt::Key_Right, Qt::ShiftModifier, 3);
    press(editor, Qt::Key_Delete);
    after.remove(0, 2);
    EXPECT_EQ(dataOf(editor), after);

    editor.SetReadOnlyView(true);
    press(editor, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(dataOf(editor), after);
}

TEST_F(EditingKeys, CtrlDeleteWithAFixedSizeIsRefused)
{
    loadPattern(8);
    editor.SetNoSizeChange(true);
    EXPECT_EQ(raisedText([&] { press(editor, Qt::Key_Delete, Qt::ControlModifier); }),
        QStringLiteral("Cannot update undo storage"));
    EXPECT_EQ(dataOf(editor), patternBytes(8));
}

TEST_F(EditingKeys, BackspaceErasesInInsertModeAndMovesLeftOtherwise)
{
    loadPattern(8);
    const QByteArray before = dataOf(editor);
    editor.Seek(3, 0);
    press(editor, Qt::Key_Backspace);
    EXPECT_EQ(dataOf(editor), before);
    EXPECT_EQ(editor.GetCursorPos(), 2);
    EXPECT_TRUE(editor.IsCursorOnSecondColumn());

    editor.SetInsertMode(true);
    editor.Seek(3, 0);
    press(editor, Qt::Key_Backspace);
    QByteArray after = before;
    after.remove(2, 1);
    EXPECT_EQ(dataOf(editor), after);
    EXPECT_EQ(editor.GetCursorPos(), 2);
    editor.Seek(0, 0);
    press(editor, Qt::Key_Backspace); // nothing before the first byte
    EXPECT_EQ(dataOf(editor), after);
    press(editor, Qt::Key_Right, Qt::ShiftModifier, 2);
    press(editor, Qt::Key_Backspace);
    after.remove(0, 2);
    EXPECT_EQ(dataOf(editor), after);
}

TEST_F(EditingKeys, InsertTogglesInsertMode)
{
    loadPattern(8);
    press(editor, Qt::Key_Insert);
    EXPECT_TRUE(editor.GetInsertMode());
    press(editor, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_TRUE(editor.GetInsertMode());
    press(editor, Qt::Key_Insert);
    EXPECT_FALSE(editor.GetInsertMode());
}

TEST_F(EditingKeys, CtrlAReselectsEverythingAndPlainKeysDropTheSelection)
{
    loadPattern(8);
    press(editor, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(editor.GetSelCount(), 8);
    press(editor, Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_EQ(editor.GetSelCount(), 8);
    press(editor, Qt::Key_F5);
    EXPECT_FALSE(editor.HasSelection());

    editor.SetInsertMode(true);
    press(editor, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(editor.GetCursorPos(), 8);
    press(editor, Qt::Key_F5);
    EXPECT_EQ(editor.GetSelCount(), 8); // kept in insert mode
}

TEST_F(EditingKeys, CtrlShiftDigitTogglesABookmarkAndCtrlDigitGoesThere)
{
    loadPattern(64);
    editor.Seek(40, 0);
    press(editor, Qt::Key_Tab);
    press(editor, Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(editor.GetBookmark(3), (TMPHBookmark {40, true}));
    press(editor, Qt::Key_Tab);
    editor.Seek(0, 0);
    press(editor, Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(editor.GetCursorPos(), 40);
    EXPECT_TRUE(editor.GetInCharField());
    press(editor, Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(editor.GetBookmark(3).mPosition, -1);
}

class Navigation : public EditorTest
{
};

TEST_F(Navigation, RightWalksNibblesThenBytesAndStopsAtTheLastByte)
{
    loadPattern(20);
    press(editor, Qt::Key_Right);
    EXPECT_EQ(editor.GetCursorCell(), (TMPHGridCell {3, 2}));
    press(editor, Qt::Key_Right);
    EXPECT_EQ(editor.GetCursorCell(), (TMPHGridCell {4, 2}));
    editor.Seek(15, 0);
    press(editor, Qt::Key_Right, Qt::NoModifier, 2); // across the row end
    EXPECT_EQ(editor.GetCursorCell(), (TMPHGridCell {2, 3}));
    editor.Seek(19, 0);
    press(editor, Qt::Key_Right, Qt::NoModifier, 5);
    EXPECT_EQ(editor.GetCursorPos(), 19);
    EXPECT_TRUE(editor.IsCursorOnSecondColumn());
    editor.SetInsertMode(true);
    press(editor, Qt::Key_Right, Qt::NoModifier, 5);
    EXPECT_EQ(editor.GetCursorPos(), 20);
    EXPECT_FALSE(editor.IsCursorOnSecondColumn());

    press(editor, Qt::Key_Tab);
    editor.Seek(18, 0);
    press(editor, Qt::Key_Right, Qt::NoModifier, 5);
    EXPECT_EQ(editor.GetCursorPos(), 20);
    EXPECT_TRUE(editor.GetInCharField());
}

TEST_F(Navigation, LeftMirrorsRightAndStopsAtZero)
{
    loadPattern(20);
    editor.Seek(1, 0);
    press(editor, Qt::Key_Left);
    EXPECT_EQ(editor.GetCursorCell(), (TMPHGridCell {3, 2}));
    press(editor, Qt::Key_Left, Qt::NoModifier, 3);
    EXPECT_EQ(editor.GetCursorCell(), (TMPHGridCell {2, 2}));
    press(editor, Qt::Key_Tab);
    editor.Seek(2, 0);
    press(editor, Qt::Key_Left, Qt::NoModifier, 5);
    EXPECT_EQ(editor.GetCursorPos(), 0);
}

TEST_F(Navigation, RowsHomeEndAndTheirCtrlForms)
{
    loadPattern(40);
    editor.Seek(5, 0);
    press(editor, Qt::Key_Down);
    EXPECT_EQ(editor.GetCursorPos(), 21);
    press(editor, Qt::Key_Down);
    EXPECT_EQ(editor.GetCursorPos(), 37);
    press(editor, Qt::Key_Down); // no row below
    EXPECT_EQ(editor.GetCursorPos(), 37);
    press(editor, Qt::Key_Up, Qt::NoModifier, 5);
    EXPECT_EQ(editor.GetCursorPos(), 5);
    press(editor, Qt::Key_End);
    EXPECT_EQ(editor.GetCursorPos(), 15);
    press(editor, Qt::Key_Home);
    EXPECT_EQ(editor.GetCursorPos(), 0);
    press(editor, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(editor.GetCursorPos(), 39);
    press(editor, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(editor.GetCursorPos(), 0);
    editor.Seek(20, 0);
    press(editor, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(editor.GetCursorPos(), 31);
    EXPECT_TRUE(editor.GetInCharField());
    press(editor, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(editor.GetCursorPos(), 16);
    EXPECT_FALSE(editor.GetInCharField());
    editor.Seek(34, 0);
    press(editor, Qt::Key_End);
    EXPECT_EQ(editor.GetCursorPos(), 39); // the short last row
    press(editor, Qt::Key_Up);
    EXPECT_EQ(editor.GetCursorPos(), 23);
}

TEST_F(Navigation, PagesMoveByTheVisibleRowsAndScroll)
{
    loadPattern(16 * 100);
    editor.SetVisibleRowCount(10);
    editor.Seek(3, 0);
    press(editor, Qt::Key_PageDown);
    EXPECT_EQ(editor.GetCursorPos(), 3 + 160);
    EXPECT_EQ(editor.GetTopRow(), 10);
    press(editor, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(editor.GetCursorPos(), 3 + 19 * 16);
    press(editor, Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(editor.GetCursorPos(), 3 + 10 * 16);
    press(editor, Qt::Key_PageUp);
    EXPECT_EQ(editor.GetCursorPos(), 3);
    EXPECT_EQ(editor.GetTopRow(), 0);
    press(editor, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(editor.GetTopRow(), 90); // the cursor row came into view
}

TEST_F(Navigation, TabSwitchesFieldsOnTheSameByte)
{
    loadPattern(40);
    editor.Seek(21, 0);
    press(editor, Qt::Key_Tab);
    EXPECT_TRUE(editor.GetInCharField());
    EXPECT_EQ(editor.GetCursorPos(), 21);
    press(editor, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_FALSE(editor.GetInCharField());
    press(editor, Qt::Key_T, Qt::ControlModifier);
    EXPECT_TRUE(editor.GetInCharField());
    EXPECT_EQ(editor.GetCursorPos(), 21);
}

TEST_F(Navigation, ShiftExtendsTheSelectionInWholeUnits)
{
    loadPattern(40);
    editor.SetBytesPerUnit(4);
    editor.Seek(21, 0);
    press(editor, Qt::Key_Right, Qt::ShiftModifier, 8); // to byte 25
    EXPECT_EQ(editor.SelectionLow(), 20);
    EXPECT_EQ(editor.SelectionHigh(), 27);
    press(editor, Qt::Key_Up, Qt::ShiftModifier); // to byte 9, before the start: the selection turns round
    EXPECT_EQ(editor.GetCursorPos(), 9);
    EXPECT_EQ(editor.SelectionLow(), 8);
    EXPECT_EQ(editor.SelectionHigh(), 23);
    EXPECT_EQ(editor.GetSelStart(), 23);
    press(editor, Qt::Key_Right);
    EXPECT_FALSE(editor.HasSelection());
}

TEST_F(Navigation, SelectionChangesInABurstMakeOneNotification)
{
    loadPattern(40);
    QCoreApplication::processEvents();
    int notifications = 0;
    editor.OnSelectionChanged = [&](TCustomMPHexEditor&) { ++notifications; };
    press(editor, Qt::Key_Right, Qt::ShiftModifier, 10);
    EXPECT_EQ(notifications, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(notifications, 1);
    press(editor, Qt::Key_Right);
    QCoreApplication::processEvents();
    EXPECT_EQ(notifications, 2);
}

TEST_F(Navigation, TypingRunsOnChange)
{
    loadPattern(4);
    int changes = 0;
    editor.OnChange = [&](TCustomMPHexEditor&) { ++changes; };
    type(editor, QStringLiteral("ff"));
    EXPECT_GE(changes, 1);
    const int afterTyping = changes;
    press(editor, Qt::Key_Right);
    EXPECT_EQ(changes, afterTyping); // moving is no data change
}

} // namespace kestrum::test
