#include "buffer/Fill.h"
#include "hexview/HexEditor.h"
#include "tests/app/MainWindowControls.h"
#include "tests/support/ScriptedUserInterface.h"

#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using namespace kestrum;
using namespace kestrum::test;

namespace {

FillRequest request(
    FillKind kind, const char* start, const char* end, const char* byte = "FF", const char* word = "FFFF")
{
    FillRequest r;
    r.kind = kind;
    r.byteText = QString::fromLatin1(byte);
    r.wordText = QString::fromLatin1(word);
    r.startText = QString::fromLatin1(start);
    r.endText = QString::fromLatin1(end);
    return r;
}

const QString RangeError = QStringLiteral("range");

} // namespace

TEST(Fill, ByteFillSetsTheRangeAndTheUsedLengthNeverShrinks)
{
    DataBuffer buffer;
    buffer.usedLength = 0x1000;
    const FillResult r = fillBuffer(buffer, request(FillKind::Byte, "10", "1F", "55"), 0, RangeError);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(buffer.usedLength, 0x1000) << "what was loaded past the range still counts";
    EXPECT_EQ(buffer.data()[0x0F], 0xFF);
    EXPECT_EQ(buffer.data()[0x10], 0x55);
    EXPECT_EQ(buffer.data()[0x1F], 0x55);
    EXPECT_EQ(buffer.data()[0x20], 0xFF);
}

TEST(Fill, WordFillStartsOnAnEvenAddressAndSkipsAnOddLastByte)
{
    DataBuffer buffer;
    ASSERT_TRUE(fillBuffer(buffer, request(FillKind::Word, "1", "4", "FF", "1234"), 0, RangeError).ok);
    EXPECT_EQ(buffer.data()[0], 0x34);
    EXPECT_EQ(buffer.data()[1], 0x12);
    EXPECT_EQ(buffer.data()[2], 0x34);
    EXPECT_EQ(buffer.data()[3], 0x12);
    EXPECT_EQ(buffer.data()[4], 0xFF);

    DataBuffer other;
    other.data()[4] = 0x77;
    ASSERT_TRUE(fillBuffer(other, request(FillKind::Word, "0", "4", "FF", "ABCD"), 0, RangeError).ok);
    EXPECT_EQ(other.data()[3], 0xAB);
    EXPECT_EQ(other.data()[4], 0x77) << "five bytes hold two whole words";
    EXPECT_EQ(other.usedLength, 5);
}

TEST(Fill, RandomFillRepeatsWithinOneSecondAndDiffersAcrossSeconds)
{
    DataBuffer a, b, c;
    ASSERT_TRUE(fillBuffer(a, request(FillKind::Random, "0", "FF"), 1000, RangeError).ok);
    ASSERT_TRUE(fillBuffer(b, request(FillKind::Random, "0", "FF"), 1000, RangeError).ok);
    ASSERT_TRUE(fillBuffer(c, request(FillKind::Random, "0", "FF"), 1001, RangeError).ok);
    EXPECT_EQ(std::memcmp(a.data(), b.data(), 256), 0);
    EXPECT_NE(std::memcmp(a.data(), c.data(), 256), 0);
    int distinct = 0;
    std::array<bool, 256> seen {};
    for (int i = 0; i < 256; ++i)
        distinct += !std::exchange(seen[a.data()[i]], true);
    EXPECT_GT(distinct, 100) << "the bytes look random";
}

TEST(Fill, FieldThatIsNoNumberWritesNothingAndNamesTheText)
{
    DataBuffer buffer;
    FillResult r = fillBuffer(buffer, request(FillKind::Random, "0", ""), 0, RangeError);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, QStringLiteral("'0x' is not a valid integer value"));
    r = fillBuffer(buffer, request(FillKind::Word, "0", "10", "G1"), 0, RangeError);
    EXPECT_EQ(r.error, QStringLiteral("'0xG1' is not a valid integer value"))
        << "every field is read, whatever the kind";
    EXPECT_EQ(buffer.data()[0], 0xFF);
    EXPECT_EQ(buffer.usedLength, 0);
}

TEST(Fill, FieldsAreHexadecimalOfAtMost32BitsWithAnyNumberOfLeadingZeros)
{
    EXPECT_EQ(parseFillField(QStringLiteral("000000001F"), nullptr), 0x1F);
    EXPECT_EQ(parseFillField(QStringLiteral("ff"), nullptr), 0xFF);
    EXPECT_EQ(parseFillField(QStringLiteral("FFFFFFFF"), nullptr), -1) << "read as a signed number";
    QString error;
    EXPECT_FALSE(parseFillField(QStringLiteral("100000000"), &error));
    EXPECT_EQ(error, QStringLiteral("'0x100000000' is not a valid integer value"));
    EXPECT_FALSE(parseFillField(QStringLiteral("+1"), nullptr));
    EXPECT_FALSE(parseFillField(QStringLiteral("1 "), nullptr));

    DataBuffer buffer;
    ASSERT_TRUE(fillBuffer(buffer, request(FillKind::Byte, "0000000010", "00000000001F", "55"), 0, RangeError).ok);
    EXPECT_EQ(buffer.usedLength, 0x20);
    EXPECT_EQ(buffer.data()[0x10], 0x55);
}

TEST(Fill, RangeOutsideTheBufferOrReversedIsRefused)
{
    DataBuffer buffer;
    EXPECT_EQ(fillBuffer(buffer, request(FillKind::Byte, "10", "F", "00"), 0, RangeError).error, RangeError);
    EXPECT_EQ(fillBuffer(buffer, request(FillKind::Byte, "0", "4000000", "00"), 0, RangeError).error, RangeError);
    EXPECT_EQ(fillBuffer(buffer, request(FillKind::Byte, "FFFFFFFF", "0", "00"), 0, RangeError).error, RangeError);
    EXPECT_EQ(buffer.data()[0x10], 0xFF);
    const FillResult last = fillBuffer(buffer, request(FillKind::Byte, "3FFFFFF", "3FFFFFF", "00"), 0, RangeError);
    ASSERT_TRUE(last.ok);
    EXPECT_EQ(buffer.data()[BufferCapacity - 1], 0x00);
    EXPECT_EQ(buffer.usedLength, qint32(BufferCapacity));
}

TEST(Fill, ProposedEndIsChipSizeMinusOneInHex)
{
    EXPECT_EQ(proposedFillEnd(0x100000), QStringLiteral("FFFFF"));
    EXPECT_EQ(proposedFillEnd(256), QStringLiteral("FF"));
}

TEST(FillDialog, TypedLettersTurnUpperCaseAndOthersAreDropped)
{
    QTemporaryDir dir;
    ScriptedUserInterface ui;
    MainWindow w(&ui, dir.filePath(QStringLiteral("kestrum")));
    QLineEdit* edit = &lineEdit(fillDialog(w), "startEdit");
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("1aG f"));
    EXPECT_EQ(edit->text(), QStringLiteral("1AF"));
    QLineEdit* byte = &lineEdit(fillDialog(w), "byteEdit");
    byte->clear();
    QTest::keyClicks(byte, QStringLiteral("abc"));
    EXPECT_EQ(byte->text(), QStringLiteral("AB")) << "a byte takes two digits";

    // A dropped key leaves the cursor where it was typed.
    edit->setText(QStringLiteral("12"));
    edit->setCursorPosition(1);
    QTest::keyClicks(edit, QStringLiteral("g"));
    EXPECT_EQ(edit->cursorPosition(), 1);
    QTest::keyClicks(edit, QStringLiteral("a"));
    EXPECT_EQ(edit->text(), QStringLiteral("1A2"));
}

TEST(FillDialog, OkFillsReloadsTheViewAndAnErrorKeepsTheDialogOpen)
{
    QTemporaryDir dir;
    ScriptedUserInterface ui;
    MainWindow w(&ui, dir.filePath(QStringLiteral("kestrum")));
    FillDialog& fill = fillDialog(w);
    lineEdit(fill, "byteEdit").setText(QStringLiteral("5A"));
    lineEdit(fill, "startEdit").setText(QStringLiteral("0"));
    lineEdit(fill, "endEdit").setText(QStringLiteral("F"));
    fill.fillAndClose();
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_EQ(w.dataBuffer().usedLength, 16);
    EXPECT_EQ(w.dataBuffer().data()[15], 0x5A);
    EXPECT_EQ(fill.result(), QDialog::Accepted);

    fill.setResult(QDialog::Rejected);
    lineEdit(fill, "endEdit").setText(QString());
    fill.fillAndClose();
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_EQ(ui.errors[0], QStringLiteral("'0x' is not a valid integer value"));
    EXPECT_EQ(fill.result(), QDialog::Rejected) << "the dialog stays open";
}

TEST(FillDialog, EachOpeningProposesTheEndOfTheChipAndKeepsWhatWasTyped)
{
    QTemporaryDir dir;
    ScriptedUserInterface ui;
    MainWindow w(&ui, dir.filePath(QStringLiteral("kestrum")));
    FillDialog& fill = fillDialog(w);
    lineEdit(fill, "byteEdit").setText(QStringLiteral("5A"));
    lineEdit(fill, "startEdit").setText(QStringLiteral("10"));
    lineEdit(fill, "endEdit").setText(QStringLiteral("20"));
    fill.prepare(0x100000);
    EXPECT_EQ(lineEdit(fill, "endEdit").text(), QStringLiteral("FFFFF"));
    EXPECT_EQ(lineEdit(fill, "byteEdit").text(), QStringLiteral("5A"));
    EXPECT_EQ(lineEdit(fill, "startEdit").text(), QStringLiteral("10"));
    const FillRequest r = fill.request();
    EXPECT_EQ(r.kind, FillKind::Byte);
    EXPECT_EQ(r.endText, QStringLiteral("FFFFF"));
}

namespace {

/// A window whose database holds one chip of `size` bytes, selected.
struct WindowWithChip
{
    explicit WindowWithChip(std::uint32_t size)
    {
        ChipRecord r {};
        EXPECT_TRUE(r.setNamesText(QStringLiteral("24-EEPROM,Atmel,AT24C02")));
        r.flashSize = size;
        r.flashPage = 8;
        QFile f(dir.filePath(QStringLiteral("kestrum.Dat")));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(&r), sizeof r);
        f.close();
        window = std::make_unique<MainWindow>(&ui, dir.filePath(QStringLiteral("kestrum")));
        window->show();
    }
    QTemporaryDir dir;
    ScriptedUserInterface ui;
    std::unique_ptr<MainWindow> window;
};

} // namespace

TEST(FillDialog, EachKindButtonFillsItsOwnKind)
{
    QTemporaryDir dir;
    ScriptedUserInterface ui;
    MainWindow w(&ui, dir.filePath(QStringLiteral("kestrum")));
    FillDialog& fill = fillDialog(w);
    fill.clockSeconds = [] { return 77u; };
    lineEdit(fill, "wordEdit").setText(QStringLiteral("1234"));
    lineEdit(fill, "startEdit").setText(QStringLiteral("0"));
    lineEdit(fill, "endEdit").setText(QStringLiteral("FF"));
    child<QRadioButton>(fill, "wordRadio")->setChecked(true);
    fill.fillAndClose();
    EXPECT_EQ(w.dataBuffer().data()[0xFE], 0x34);
    EXPECT_EQ(w.dataBuffer().data()[0xFF], 0x12);

    child<QRadioButton>(fill, "randomRadio")->setChecked(true);
    fill.fillAndClose();
    DataBuffer expected;
    ASSERT_TRUE(fillBuffer(expected, request(FillKind::Random, "0", "FF"), 77, RangeError).ok);
    EXPECT_EQ(std::memcmp(w.dataBuffer().data(), expected.data(), 0x100), 0);
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST(FillDialog, TakesTheViewsEditsKeepsTheUsedLengthAndShowsAFillPastTheChip)
{
    WindowWithChip chip(256);
    MainWindow& w = *chip.window;
    w.dataBuffer().usedLength = 3980;
    HexEditor& editor = hexView(w).editor();
    ASSERT_TRUE(editor.keyPress(QLatin1Char('1')));
    ASSERT_TRUE(editor.keyPress(QLatin1Char('2')));
    FillDialog& fill = fillDialog(w);
    fill.prepare(w.chipSize());
    lineEdit(fill, "byteEdit").setText(QStringLiteral("55"));
    lineEdit(fill, "startEdit").setText(QStringLiteral("100"));
    lineEdit(fill, "endEdit").setText(QStringLiteral("1FF"));
    fill.fillAndClose();
    EXPECT_EQ(w.dataBuffer().data()[0], 0x12) << "the edit made before the fill is kept";
    EXPECT_EQ(w.dataBuffer().data()[0x1FF], 0x55);
    EXPECT_EQ(w.dataBuffer().usedLength, 3980);
    EXPECT_EQ(hexView(w).dataSize(), 0x200) << "the view reaches the end of the fill";
    std::uint8_t last = 0;
    hexView(w).readBytes(&last, 0x1FF, 1);
    EXPECT_EQ(last, 0x55);
}

TEST(FillDialog, AFillLogsItsKindValueAndRangeAndARefusedOneNothing)
{
    QTemporaryDir dir;
    ScriptedUserInterface ui;
    MainWindow w(&ui, dir.filePath(QStringLiteral("kestrum")));
    w.switchLanguage(EnglishLanguage);
    FillDialog& fill = fillDialog(w);
    lineEdit(fill, "byteEdit").setText(QStringLiteral("5A"));
    lineEdit(fill, "startEdit").setText(QStringLiteral("10"));
    lineEdit(fill, "endEdit").setText(QString());
    fill.fillAndClose();
    EXPECT_TRUE(ui.log.isEmpty());
    lineEdit(fill, "endEdit").setText(QStringLiteral("1F"));
    fill.fillAndClose();
    EXPECT_EQ(ui.log, QStringList {QStringLiteral("001:Fill: byte 5A, 0x00000010 - 0x0000001F")});
}
