// The hex view's tools as a user reaches them through the window's keys, menus and dialogs:
// Go to address, Find and Replace in the bar under the view, Select range and the bookmarks.
#include "base/Messages.h"
#include "hexview/HexEditor.h"
#include "tests/app/MainWindowControls.h"
#include "tests/support/ScriptedUserInterface.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QListWidget>
#include <QLocale>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

constexpr qint64 ChipSize = 16384;

struct HexTools : ::testing::Test
{
    HexTools()
    {
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
        ChipRecord records[2] {};
        EXPECT_TRUE(records[0].setNamesText(QStringLiteral("SPI-Flash,Winbond,W25Q16")));
        records[0].flashSize = ChipSize;
        records[0].flashPage = 256;
        QFile db(dir.filePath(QStringLiteral("kestrum.Dat")));
        EXPECT_TRUE(db.open(QIODevice::WriteOnly));
        db.write(reinterpret_cast<const char*>(records), sizeof records);
        db.close();
        w.show();
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
        hexView(w).setFocus();
    }
    ~HexTools() override { QLocale::setDefault(QLocale::c()); }

    /// Opens a file of the chip's size holding `bytes` at each of `places`.
    void openWith(const QByteArray& bytes, std::initializer_list<qint64> places)
    {
        QByteArray image(ChipSize, char(0x11));
        for (const qint64 at : places)
            image.replace(at, bytes.size(), bytes);
        const QString path = dir.filePath(QStringLiteral("image.bin"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(image);
        f.close();
        ui.openFiles.push_back(path);
        action(w, "openAction").trigger();
        ASSERT_EQ(editor().dataAt(places.begin()[0]), quint8(bytes[0]));
    }
    HexEditor& editor() { return hexView(w).editor(); }
    /// Presses a key where the focus is, as the user does.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &w;
        QTest::keyEvent(QTest::Click, target, key, modifiers);
    }
    static void press(QAbstractButton& b)
    {
        QTest::mouseEvent(QTest::MouseClick, &b, Qt::LeftButton, Qt::NoModifier, b.rect().center());
    }
    /// Types into the find bar's entry (or the replacement) and presses one of its buttons.
    void inBar(const char* entry, const QString& text, const char* buttonName)
    {
        combo(w, entry).setEditText(text);
        press(button(w, buttonName));
    }
    QString barSays() { return label(w, "findStatusLabel").text(); }
    QString says(MessageKey key) const { return messageText(key, EnglishLanguage); }

    QTemporaryDir dir;
    ScriptedUserInterface ui;
    MainWindow w {&ui, dir.filePath(QStringLiteral("kestrum"))};
};

} // namespace

TEST_F(HexTools, GoToTakesHexDecimalAndRelativeAddressesAndClampsPastTheEnd)
{
    QDialog& dialog = *child<QDialog>(w, "goToDialog");
    const struct
    {
        const char* entry;
        qint64 expected;
    } cases[] = {{"0x1000", 0x1000}, {"#4096", 4096}, {"+16", 4096 + 0x16}, {" -0x10 ", 4096 + 0x16 - 0x10},
        {"2a", 0x2A}, {"#0", 0}};
    for (const auto& c : cases) {
        press(Qt::Key_G, Qt::ControlModifier);
        ASSERT_TRUE(dialog.isVisible()) << "Ctrl+G opens Go to";
        combo(dialog, "addressCombo").setEditText(QString::fromLatin1(c.entry));
        press(button(dialog, "okButton"));
        EXPECT_FALSE(dialog.isVisible()) << c.entry;
        EXPECT_EQ(editor().cursorPosition(), c.expected) << c.entry;
    }
    EXPECT_TRUE(ui.informations.isEmpty());
    EXPECT_EQ(combo(dialog, "addressCombo").itemText(0), QStringLiteral("#0")) << "the last entry comes first";
    EXPECT_EQ(combo(dialog, "addressCombo").findText(QStringLiteral("0x1000")), 5) << "earlier entries are kept";

    action(w, "goToAction").trigger();
    combo(dialog, "addressCombo").setEditText(QStringLiteral("0x999999"));
    press(button(dialog, "okButton"));
    EXPECT_EQ(editor().cursorPosition(), ChipSize - 1) << "past the end: the last byte";
    EXPECT_EQ(ui.informations,
        QStringList {says(MsgGoToClamped)
                         .arg(QStringLiteral("0x999999"), QStringLiteral("0x003FFF"), QStringLiteral("0x003FFF"))});

    action(w, "goToAction").trigger();
    combo(dialog, "addressCombo").setEditText(QStringLiteral("hello"));
    press(button(dialog, "okButton"));
    EXPECT_TRUE(dialog.isVisible()) << "no address: the dialog stays for another try";
    EXPECT_EQ(ui.errors, QStringList {says(MsgAddressInvalid).arg(QStringLiteral("hello"))});
    dialog.reject();
}

TEST_F(HexTools, FindGoesOnFromTheCaretWrapsAndCounts)
{
    openWith(QByteArray("\x4B\x45", 2), {0x100, 0x2000});
    editor().seek(0x50, 0);
    press(Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(child<QWidget>(w, "findBar")->isVisible()) << "Ctrl+F opens the bar";
    EXPECT_FALSE(child<QWidget>(w, "replaceRow")->isVisible());
    inBar("findCombo", QStringLiteral("4B 45"), "findNextButton");
    EXPECT_EQ(editor().selectionLow(), 0x100);
    EXPECT_EQ(editor().selCount(), 2);
    press(Qt::Key_F3);
    EXPECT_EQ(editor().selectionLow(), 0x2000) << "F3 goes on from the match";
    EXPECT_EQ(barSays(), QString());
    press(Qt::Key_F3);
    EXPECT_EQ(editor().selectionLow(), 0x100);
    EXPECT_EQ(barSays(), says(MsgFindWrapped));
    press(Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(editor().selectionLow(), 0x2000) << "Shift+F3 goes back round the start";
    press(button(w, "countButton"));
    EXPECT_EQ(barSays(), says(MsgFindCount).arg(2));
    inBar("findCombo", QStringLiteral("0x4B,0x46"), "findNextButton");
    EXPECT_EQ(barSays(), says(MsgFindNotFound));
    inBar("findCombo", QStringLiteral("4B4"), "findNextButton");
    EXPECT_EQ(barSays(), says(MsgFindBadHex));
    combo(w, "findCombo").setFocus();
    press(Qt::Key_Escape);
    EXPECT_FALSE(child<QWidget>(w, "findBar")->isVisible()) << "Esc closes the bar";
}

TEST_F(HexTools, FindTextMatchesTheOtherCaseOnlyWhenAsked)
{
    openWith(QByteArray("KeStRuM"), {0x3000});
    action(w, "findAction").trigger();
    child<QRadioButton>(w, "utf8Radio")->setChecked(true);
    inBar("findCombo", QStringLiteral("kestrum"), "findNextButton");
    EXPECT_EQ(editor().selectionLow(), 0x3000);
    EXPECT_EQ(editor().selCount(), 7);
    child<QCheckBox>(w, "matchCaseCheck")->setChecked(true);
    inBar("findCombo", QStringLiteral("kestrum"), "findNextButton");
    EXPECT_EQ(barSays(), says(MsgFindNotFound));
    child<QRadioButton>(w, "codePageRadio")->setChecked(true);
    child<QCheckBox>(w, "matchCaseCheck")->setChecked(false);
    editor().seek(0, 0);
    inBar("findCombo", QStringLiteral("KESTRUM"), "findNextButton");
    EXPECT_EQ(editor().selectionLow(), 0x3000) << "the view's code page folds the case too";
}

TEST_F(HexTools, ReplaceAllIsOneUndoStepAndKeepsTheSizeInOverwriteMode)
{
    openWith(QByteArray("\xDE\xAD", 2), {0x10, 0x400, ChipSize - 2});
    press(Qt::Key_H, Qt::ControlModifier);
    ASSERT_TRUE(child<QWidget>(w, "replaceRow")->isVisible()) << "Ctrl+H adds the replacement row";
    combo(w, "findCombo").setEditText(QStringLiteral("DE AD"));
    inBar("replaceCombo", QStringLiteral("BE EF 00"), "replaceAllButton");
    EXPECT_EQ(barSays(), says(MsgReplaceSizeRefused).arg(2).arg(3)) << "overwrite mode keeps the size";
    EXPECT_EQ(editor().dataAt(0x10), 0xDE);

    inBar("replaceCombo", QStringLiteral("BE EF"), "replaceAllButton");
    EXPECT_EQ(barSays(), says(MsgReplacedCount).arg(3));
    for (const qint64 at : {qint64 {0x10}, qint64 {0x400}, ChipSize - 2})
        EXPECT_EQ(editor().dataAt(at + 1), 0xEF) << at;
    EXPECT_EQ(editor().dataSize(), ChipSize);
    action(w, "undoAction").trigger();
    for (const qint64 at : {qint64 {0x10}, qint64 {0x400}, ChipSize - 2})
        EXPECT_EQ(editor().dataAt(at + 1), 0xAD) << "one undo step takes back all three";

    // Replace: the first press finds, the next replaces that match and goes on to the next.
    editor().seek(0, 0);
    press(button(w, "replaceButton"));
    EXPECT_EQ(editor().selectionLow(), 0x10);
    EXPECT_EQ(editor().dataAt(0x10), 0xDE);
    press(button(w, "replaceButton"));
    EXPECT_EQ(editor().dataAt(0x10), 0xBE);
    EXPECT_EQ(editor().selectionLow(), 0x400);

    // Insert mode may change the size.
    action(w, "insertModeAction").trigger();
    ASSERT_TRUE(editor().insertMode());
    inBar("replaceCombo", QStringLiteral("01 02 03"), "replaceAllButton");
    EXPECT_EQ(editor().dataSize(), ChipSize + 2);
    EXPECT_EQ(editor().dataAt(0x400 + 2), 0x03);
}

TEST_F(HexTools, FindTakesASelectionOfUpTo64BytesAndAnEmptyHexReplacementDeletes)
{
    openWith(QByteArray(65, char(0xA5)), {0x100});
    QDialog& dialog = *child<QDialog>(w, "selectRangeDialog");
    for (const auto& [length, taken] : {std::pair {"#64", true}, std::pair {"#65", false}}) {
        combo(w, "findCombo").setEditText(QString());
        action(w, "selectRangeAction").trigger();
        combo(dialog, "startCombo").setEditText(QStringLiteral("0x100"));
        child<QRadioButton>(dialog, "lengthRadio")->setChecked(true);
        combo(dialog, "extentCombo").setEditText(QString::fromLatin1(length));
        press(button(dialog, "okButton"));
        action(w, "findAction").trigger();
        const QString expected = taken ? QStringLiteral("A5 ").repeated(64).chopped(1) : QString();
        EXPECT_EQ(combo(w, "findCombo").currentText(), expected) << length;
    }
    action(w, "insertModeAction").trigger();
    action(w, "replaceAction").trigger();
    combo(w, "findCombo").setEditText(QStringLiteral("A5 A5 A5 A5 A5"));
    inBar("replaceCombo", QString(), "replaceAllButton");
    EXPECT_EQ(barSays(), says(MsgReplacedCount).arg(13));
    EXPECT_EQ(editor().dataSize(), ChipSize - 65);
}

TEST_F(HexTools, SelectRangeTakesALengthOrAnEnd)
{
    QDialog& dialog = *child<QDialog>(w, "selectRangeDialog");
    const auto selectRange = [&](const char* start, const char* extent, bool isLength) {
        action(w, "selectRangeAction").trigger();
        combo(dialog, "startCombo").setEditText(QString::fromLatin1(start));
        child<QRadioButton>(dialog, isLength ? "lengthRadio" : "endRadio")->setChecked(true);
        combo(dialog, "extentCombo").setEditText(QString::fromLatin1(extent));
        press(button(dialog, "okButton"));
    };
    selectRange("0x100", "#16", true);
    EXPECT_EQ(editor().selectionLow(), 0x100);
    EXPECT_EQ(editor().selectionHigh(), 0x10F);
    selectRange("200", "0x3FFF", false);
    EXPECT_EQ(editor().selectionLow(), 0x200);
    EXPECT_EQ(editor().selectionHigh(), ChipSize - 1) << "the end is the range's last byte";
    selectRange("0x3FF0", "#17", true);
    EXPECT_TRUE(dialog.isVisible()) << "a range past the end is refused";
    EXPECT_EQ(ui.errors.size(), 1);
    dialog.reject();
}

TEST_F(HexTools, BookmarksAreListedAndReachableFromTheirDialog)
{
    for (const auto& [at, digit] : {std::pair {0x10, Qt::Key_1}, std::pair {0x300, Qt::Key_3}}) {
        editor().seek(at, 0);
        press(digit, Qt::ControlModifier | Qt::ShiftModifier);
    }
    editor().seek(0, 0);
    press(Qt::Key_B, Qt::ControlModifier);
    QDialog& dialog = *child<QDialog>(w, "bookmarksDialog");
    ASSERT_TRUE(dialog.isVisible());
    QListWidget& list = *child<QListWidget>(dialog, "bookmarkList");
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.item(1)->text(), QStringLiteral("3    0x000300"));
    press(button(dialog, "goToBookmarkButton"));
    EXPECT_EQ(editor().cursorPosition(), 0x10) << "the first bookmark is chosen when the dialog opens";
    action(w, "bookmarksAction").trigger();
    list.setCurrentRow(1);
    press(button(dialog, "goToBookmarkButton"));
    EXPECT_EQ(editor().cursorPosition(), 0x300);

    action(w, "bookmarksAction").trigger();
    list.setCurrentRow(0);
    press(button(dialog, "removeBookmarkButton"));
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(editor().bookmark(1).position, -1);
    press(button(dialog, "clearBookmarksButton"));
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(editor().bookmark(3).position, -1);
}
