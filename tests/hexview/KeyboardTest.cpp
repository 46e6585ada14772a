#include "HexEditorTestSupport.h"

#include <QCoreApplication>

namespace kestrum::test {

namespace {

void type(HexEditorCore& editor, const QString& text)
{
    for (const QChar c : text)
        editor.keyPress(c);
}

void press(HexEditorCore& editor, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int times = 1)
{
    for (int i = 0; i < times; ++i)
        editor.keyDown(key, modifiers);
}

} // namespace

class Typing : public EditorTest
{
protected:
    int invalidKeys = 0;

    void SetUp() override
    {
        QObject::connect(&editor, &HexEditorCore::invalidKey, [this] { ++invalidKeys; });
    }
};

TEST_F(Typing, AHexDigitReplacesTheNibbleUnderTheCursor)
{
    load(editor, QByteArray::fromHex("5c5c"));
    type(editor, QStringLiteral("A"));
    EXPECT_EQ(editor.dataAt(0), 0xAC);
    EXPECT_TRUE(editor.isCursorOnSecondColumn());
    EXPECT_EQ(editor.cursorPosition(), 0);
    press(editor, Qt::Key_Right); // the second byte's low nibble
    press(editor, Qt::Key_Right);
    type(editor, QStringLiteral("a"));
    EXPECT_EQ(editor.dataAt(1), 0x5A);
    EXPECT_TRUE(editor.hasChanged(0));
    EXPECT_TRUE(editor.hasChanged(1));
    EXPECT_EQ(editor.undoStorage().count(), 2);
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Change byte(s)"));
    // The cursor stays on the last byte.
    EXPECT_EQ(editor.cursorPosition(), 1);
    EXPECT_TRUE(editor.isCursorOnSecondColumn());
}

TEST_F(Typing, TwoDigitsInOneByteMakeTwoRecordsAndTwoUndosRestoreIt)
{
    load(editor, QByteArray::fromHex("5c00"));
    type(editor, QStringLiteral("1"));
    type(editor, QStringLiteral("2"));
    EXPECT_EQ(editor.dataAt(0), 0x12);
    EXPECT_EQ(editor.undoStorage().count(), 2);
    EXPECT_EQ(editor.cursorPosition(), 1); // on to the next byte's first column
    press(editor, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(editor.dataAt(0), 0x1C);
    EXPECT_TRUE(editor.hasChanged(0));
    press(editor, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(editor.dataAt(0), 0x5C);
    EXPECT_FALSE(editor.hasChanged(0));
    EXPECT_EQ(editor.cursorPosition(), 0);
    EXPECT_FALSE(editor.isCursorOnSecondColumn());
    press(editor, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(editor.dataAt(0), 0x1C);
    press(editor, Qt::Key_Z, Qt::ControlModifier);
    press(editor, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(editor.dataAt(0), 0x1C) << "Ctrl+Y redoes as Ctrl+Shift+Z does";
}

TEST_F(Typing, TheValueTheByteAlreadyHasMakesNoRecordAndNoMark)
{
    load(editor, QByteArray::fromHex("5c"));
    type(editor, QStringLiteral("5"));
    EXPECT_EQ(editor.undoStorage().count(), 0);
    EXPECT_FALSE(editor.hasChanged(0));
    EXPECT_TRUE(editor.isCursorOnSecondColumn()); // the cursor moves all the same
}

TEST_F(Typing, InsertModeInsertsAUnitOnItsFirstColumnAndOverwritesInside)
{
    load(editor, QByteArray::fromHex("aabb"));
    editor.setInsertMode(true);
    editor.seek(1, 0);
    type(editor, QStringLiteral("7"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("aa70bb"));
    EXPECT_FALSE(editor.hasChanged(1));
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Insert buffer"));
    EXPECT_TRUE(editor.isCursorOnSecondColumn());
    EXPECT_FALSE(editor.hasSelection());
    type(editor, QStringLiteral("E"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("aa7ebb"));
    type(editor, QStringLiteral("3"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("aa7e30bb"));
    EXPECT_FALSE(editor.hasChanged(2));
    EXPECT_EQ(editor.undoStorage().count(), 3);
}

TEST_F(Typing, InsertModeWithLargerUnitsInsertsWholeUnits)
{
    load(editor, QByteArray::fromHex("aabbccdd"));
    editor.setInsertMode(true);
    editor.setBytesPerUnit(2);
    editor.seek(2, 0);
    type(editor, QStringLiteral("1234"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("aabb1234ccdd"));
    EXPECT_EQ(editor.undoStorage().count(), 4); // insert, then three overwrites inside the unit
    type(editor, QStringLiteral("5"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("aabb12345000ccdd"));
}

TEST_F(Typing, InsertModeAtTheEndAndOnEmptyData)
{
    editor.setInsertMode(true);
    type(editor, QStringLiteral("4"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("40"));
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Append buffer"));
    type(editor, QStringLiteral("1f"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("41f0"));
    EXPECT_EQ(editor.cursorPosition(), 1);
    EXPECT_TRUE(editor.isCursorOnSecondColumn());
    type(editor, QStringLiteral("e"));
    EXPECT_EQ(editor.cursorPosition(), 2); // one past the end
    type(editor, QStringLiteral("9"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("41fe90"));
}

TEST_F(Typing, OverwriteModeIgnoresKeysOnEmptyData)
{
    type(editor, QStringLiteral("4"));
    EXPECT_EQ(editor.dataSize(), 0);
    EXPECT_EQ(invalidKeys, 0);
}

TEST_F(Typing, ASelectionIsDroppedInOverwriteModeAndReplacedInInsertMode)
{
    load(editor, QByteArray::fromHex("0011223344"));
    editor.seek(1, 0);
    press(editor, Qt::Key_Right, Qt::ShiftModifier, 4); // bytes 1..3, cursor on byte 3
    ASSERT_EQ(editor.selCount(), 3);
    type(editor, QStringLiteral("f"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("001122f344"));
    EXPECT_FALSE(editor.hasSelection());

    editor.setInsertMode(true);
    editor.seek(1, 0);
    press(editor, Qt::Key_Right, Qt::ShiftModifier, 4);
    ASSERT_EQ(editor.selCount(), 3);
    type(editor, QStringLiteral("9"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("009044"));
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Replace"));
    EXPECT_EQ(editor.cursorPosition(), 1);
    EXPECT_TRUE(editor.isCursorOnSecondColumn());
}

TEST_F(Typing, InvalidAndMaskedKeysChangeNothing)
{
    load(editor, QByteArray::fromHex("5c"));
    type(editor, QStringLiteral("g"));
    EXPECT_EQ(invalidKeys, 1);
    type(editor, QString(QChar(0x05))); // masked: not even an invalid key
    EXPECT_EQ(invalidKeys, 1);
    EXPECT_EQ(editor.dataAt(0), 0x5C);
    EXPECT_FALSE(editor.isCursorOnSecondColumn());
    editor.setReadOnlyView(true);
    type(editor, QStringLiteral("1"));
    EXPECT_EQ(editor.dataAt(0), 0x5C);
    EXPECT_EQ(editor.undoStorage().count(), 0);
}

TEST_F(Typing, SwappedNibblesTakeTheFirstColumnAsTheLowNibble)
{
    load(editor, QByteArray::fromHex("1f"));
    editor.setSwapNibbles(true);
    type(editor, QStringLiteral("7"));
    EXPECT_EQ(editor.dataAt(0), 0x17);
    type(editor, QStringLiteral("9"));
    EXPECT_EQ(editor.dataAt(0), 0x97);
    editor.setInsertMode(true);
    editor.seek(0, 0);
    type(editor, QStringLiteral("3"));
    EXPECT_EQ(dataOf(editor), QByteArray::fromHex("0397"));
}

TEST_F(Typing, CharactersReplaceBytesInTheCharacterField)
{
    load(editor, QByteArray("abcd"));
    press(editor, Qt::Key_Tab);
    ASSERT_TRUE(editor.cursorInCharField());
    type(editor, QStringLiteral("XY"));
    EXPECT_EQ(dataOf(editor), QByteArray("XYcd"));
    EXPECT_EQ(editor.cursorPosition(), 2);
    EXPECT_TRUE(editor.hasChanged(0));
    EXPECT_EQ(editor.undoStorage().count(), 2);
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
    editor.setTranslation(TranslationKind::Ebcdic);
    press(editor, Qt::Key_Tab);
    type(editor, QStringLiteral("A9 "));
    EXPECT_EQ(dataOf(editor), QByteArray("\xC1\xF9\x40", 3) + QByteArray(1, '\0'));
    editor.setTranslation(TranslationKind::Dos8);
    type(editor, QString(QChar(0xFC)));
    EXPECT_EQ(static_cast<quint8>(editor.dataAt(3)), 0x81);
}

TEST_F(Typing, CharactersInInsertModeInsertAppendOrReplace)
{
    load(editor, QByteArray("abcd"));
    editor.setInsertMode(true);
    press(editor, Qt::Key_Tab);
    editor.seek(1, 0);
    type(editor, QStringLiteral("XY"));
    EXPECT_EQ(dataOf(editor), QByteArray("aXYbcd"));
    press(editor, Qt::Key_End, Qt::ControlModifier);
    type(editor, QStringLiteral("Z"));
    EXPECT_EQ(dataOf(editor), QByteArray("aXYbcdZ"));
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Append buffer"));
    editor.seek(1, 0);
    press(editor, Qt::Key_Right, Qt::ShiftModifier, 2); // "XYb": the selection includes the cursor byte
    type(editor, QStringLiteral("-"));
    EXPECT_EQ(dataOf(editor), QByteArray("a-cdZ"));
    EXPECT_FALSE(editor.hasChanged(1));

    editor.setBytesPerUnit(2);
    editor.seek(1, 0); // inside the unit 0..1: overwrite
    type(editor, QStringLiteral("+"));
    EXPECT_EQ(dataOf(editor), QByteArray("a+cdZ"));
    type(editor, QStringLiteral("!")); // a unit boundary: a unit of the character and a zero
    EXPECT_EQ(dataOf(editor), QByteArray("a+!\0cdZ", 7));
}

TEST_F(Typing, UnicodeCharactersAreTwoBytesInTheChosenOrder)
{
    load(editor, QByteArray(4, '\0'));
    editor.setUnicodeChars(true);
    press(editor, Qt::Key_Tab);
    type(editor, QString(QChar(0x263A)));
    EXPECT_EQ(dataOf(editor), QByteArray("\x3A\x26\0\0", 4));
    EXPECT_EQ(editor.cursorPosition(), 2);
    EXPECT_TRUE(editor.hasChanged(0));
    EXPECT_TRUE(editor.hasChanged(1));
    editor.setUnicodeBigEndian(true);
    type(editor, QStringLiteral("A"));
    EXPECT_EQ(dataOf(editor), QByteArray("\x3A\x26\0A", 4));
    EXPECT_FALSE(editor.hasChanged(2)); // only the byte that differs is marked
    EXPECT_TRUE(editor.hasChanged(3));
}

class EditingKeys : public EditorTest
{
};

TEST_F(EditingKeys, DeleteNeedsCtrlOrInsertMode)
{
    loadPattern(8);
    const QByteArray before = dataOf(editor);
    editor.seek(2, 0);
    press(editor, Qt::Key_Delete);
    EXPECT_EQ(dataOf(editor), before);
    press(editor, Qt::Key_Delete, Qt::ControlModifier);
    QByteArray after = before;
    after.remove(2, 1);
    EXPECT_EQ(dataOf(editor), after);
    EXPECT_EQ(editor.undoDescription(), QStringLiteral("Remove data"));

    editor.setInsertMode(true);
    press(editor, Qt::Key_Delete);
    after.remove(2, 1);
    EXPECT_EQ(dataOf(editor), after);
    editor.seek(0, 0);
    press(editor, Qt::Key_Right, Qt::ShiftModifier, 3);
    press(editor, Qt::Key_Delete);
    after.remove(0, 2);
    EXPECT_EQ(dataOf(editor), after);

    editor.setReadOnlyView(true);
    press(editor, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(dataOf(editor), after);
}

TEST_F(EditingKeys, CtrlDeleteWithAFixedSizeIsRefused)
{
    loadPattern(8);
    editor.setNoSizeChange(true);
    EXPECT_EQ(raisedText([&] { press(editor, Qt::Key_Delete, Qt::ControlModifier); }),
        QStringLiteral("Cannot update undo storage"));
    EXPECT_EQ(dataOf(editor), patternBytes(8));
}

TEST_F(EditingKeys, BackspaceErasesInInsertModeAndMovesLeftOtherwise)
{
    loadPattern(8);
    const QByteArray before = dataOf(editor);
    editor.seek(3, 0);
    press(editor, Qt::Key_Backspace);
    EXPECT_EQ(dataOf(editor), before);
    EXPECT_EQ(editor.cursorPosition(), 2);
    EXPECT_TRUE(editor.isCursorOnSecondColumn());

    editor.setInsertMode(true);
    editor.seek(3, 0);
    press(editor, Qt::Key_Backspace);
    QByteArray after = before;
    after.remove(2, 1);
    EXPECT_EQ(dataOf(editor), after);
    EXPECT_EQ(editor.cursorPosition(), 2);
    editor.seek(0, 0);
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
    EXPECT_TRUE(editor.insertMode());
    press(editor, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_TRUE(editor.insertMode());
    press(editor, Qt::Key_Insert);
    EXPECT_FALSE(editor.insertMode());
}

TEST_F(EditingKeys, CtrlAReselectsEverythingAndPlainKeysDropTheSelection)
{
    loadPattern(8);
    press(editor, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(editor.selCount(), 8);
    press(editor, Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_EQ(editor.selCount(), 8);
    press(editor, Qt::Key_F5);
    EXPECT_FALSE(editor.hasSelection());

    editor.setInsertMode(true);
    press(editor, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(editor.cursorPosition(), 8);
    press(editor, Qt::Key_F5);
    EXPECT_EQ(editor.selCount(), 8); // kept in insert mode
}

TEST_F(EditingKeys, CtrlShiftDigitTogglesABookmarkAndCtrlDigitGoesThere)
{
    loadPattern(64);
    editor.seek(40, 0);
    press(editor, Qt::Key_Tab);
    press(editor, Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(editor.bookmark(3), (Bookmark {40, true}));
    press(editor, Qt::Key_Tab);
    editor.seek(0, 0);
    press(editor, Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(editor.cursorPosition(), 40);
    EXPECT_TRUE(editor.cursorInCharField());
    press(editor, Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(editor.bookmark(3).position, -1);
}

class Navigation : public EditorTest
{
};

TEST_F(Navigation, RightWalksNibblesThenBytesAndStopsAtTheLastByte)
{
    loadPattern(20);
    press(editor, Qt::Key_Right);
    EXPECT_EQ(editor.cursorCell(), (GridCell {3, 2}));
    press(editor, Qt::Key_Right);
    EXPECT_EQ(editor.cursorCell(), (GridCell {4, 2}));
    editor.seek(15, 0);
    press(editor, Qt::Key_Right, Qt::NoModifier, 2); // across the row end
    EXPECT_EQ(editor.cursorCell(), (GridCell {2, 3}));
    editor.seek(19, 0);
    press(editor, Qt::Key_Right, Qt::NoModifier, 5);
    EXPECT_EQ(editor.cursorPosition(), 19);
    EXPECT_TRUE(editor.isCursorOnSecondColumn());
    editor.setInsertMode(true);
    press(editor, Qt::Key_Right, Qt::NoModifier, 5);
    EXPECT_EQ(editor.cursorPosition(), 20);
    EXPECT_FALSE(editor.isCursorOnSecondColumn());

    press(editor, Qt::Key_Tab);
    editor.seek(18, 0);
    press(editor, Qt::Key_Right, Qt::NoModifier, 5);
    EXPECT_EQ(editor.cursorPosition(), 20);
    EXPECT_TRUE(editor.cursorInCharField());
}

TEST_F(Navigation, LeftMirrorsRightAndStopsAtZero)
{
    loadPattern(20);
    editor.seek(1, 0);
    press(editor, Qt::Key_Left);
    EXPECT_EQ(editor.cursorCell(), (GridCell {3, 2}));
    press(editor, Qt::Key_Left, Qt::NoModifier, 3);
    EXPECT_EQ(editor.cursorCell(), (GridCell {2, 2}));
    press(editor, Qt::Key_Tab);
    editor.seek(2, 0);
    press(editor, Qt::Key_Left, Qt::NoModifier, 5);
    EXPECT_EQ(editor.cursorPosition(), 0);
}

TEST_F(Navigation, RowsHomeEndAndTheirCtrlForms)
{
    loadPattern(40);
    editor.seek(5, 0);
    press(editor, Qt::Key_Down);
    EXPECT_EQ(editor.cursorPosition(), 21);
    press(editor, Qt::Key_Down);
    EXPECT_EQ(editor.cursorPosition(), 37);
    press(editor, Qt::Key_Down); // no row below
    EXPECT_EQ(editor.cursorPosition(), 37);
    press(editor, Qt::Key_Up, Qt::NoModifier, 5);
    EXPECT_EQ(editor.cursorPosition(), 5);
    press(editor, Qt::Key_End);
    EXPECT_EQ(editor.cursorPosition(), 15);
    press(editor, Qt::Key_Home);
    EXPECT_EQ(editor.cursorPosition(), 0);
    press(editor, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(editor.cursorPosition(), 39);
    press(editor, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(editor.cursorPosition(), 0);
    editor.seek(20, 0);
    press(editor, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(editor.cursorPosition(), 31);
    EXPECT_TRUE(editor.cursorInCharField());
    press(editor, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(editor.cursorPosition(), 16);
    EXPECT_FALSE(editor.cursorInCharField());
    editor.seek(34, 0);
    press(editor, Qt::Key_End);
    EXPECT_EQ(editor.cursorPosition(), 39); // the short last row
    press(editor, Qt::Key_Up);
    EXPECT_EQ(editor.cursorPosition(), 23);
}

TEST_F(Navigation, PagesMoveByTheVisibleRowsAndScroll)
{
    loadPattern(16 * 100);
    editor.setVisibleRowCount(10);
    editor.seek(3, 0);
    press(editor, Qt::Key_PageDown);
    EXPECT_EQ(editor.cursorPosition(), 3 + 160);
    EXPECT_EQ(editor.topRow(), 10);
    press(editor, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(editor.cursorPosition(), 3 + 19 * 16);
    press(editor, Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(editor.cursorPosition(), 3 + 10 * 16);
    press(editor, Qt::Key_PageUp);
    EXPECT_EQ(editor.cursorPosition(), 3);
    EXPECT_EQ(editor.topRow(), 0);
    press(editor, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(editor.topRow(), 90); // the cursor row came into view
}

TEST_F(Navigation, TabSwitchesFieldsOnTheSameByte)
{
    loadPattern(40);
    editor.seek(21, 0);
    press(editor, Qt::Key_Tab);
    EXPECT_TRUE(editor.cursorInCharField());
    EXPECT_EQ(editor.cursorPosition(), 21);
    press(editor, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_FALSE(editor.cursorInCharField());
    press(editor, Qt::Key_T, Qt::ControlModifier);
    EXPECT_TRUE(editor.cursorInCharField());
    EXPECT_EQ(editor.cursorPosition(), 21);
}

TEST_F(Navigation, ShiftExtendsTheSelectionInWholeUnits)
{
    loadPattern(40);
    editor.setBytesPerUnit(4);
    editor.seek(21, 0);
    press(editor, Qt::Key_Right, Qt::ShiftModifier, 8); // to byte 25
    EXPECT_EQ(editor.selectionLow(), 20);
    EXPECT_EQ(editor.selectionHigh(), 27);
    press(editor, Qt::Key_Up, Qt::ShiftModifier); // to byte 9, before the start: the selection turns round
    EXPECT_EQ(editor.cursorPosition(), 9);
    EXPECT_EQ(editor.selectionLow(), 8);
    EXPECT_EQ(editor.selectionHigh(), 23);
    EXPECT_EQ(editor.selStart(), 23);
    press(editor, Qt::Key_Right);
    EXPECT_FALSE(editor.hasSelection());
}

TEST_F(Navigation, SelectionChangesInABurstMakeOneNotification)
{
    loadPattern(40);
    QCoreApplication::processEvents();
    int notifications = 0;
    QObject::connect(&editor, &HexEditorCore::selectionChanged, [&] { ++notifications; });
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
    QObject::connect(&editor, &HexEditorCore::changed, [&] { ++changes; });
    type(editor, QStringLiteral("ff"));
    EXPECT_GE(changes, 1);
    const int afterTyping = changes;
    press(editor, Qt::Key_Right);
    EXPECT_EQ(changes, afterTyping); // moving is no data change
}

} // namespace kestrum::test
