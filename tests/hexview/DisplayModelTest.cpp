#include "HexEditorTestSupport.h"

namespace kestrum::test {

class OffsetFormat : public EditorTest
{
protected:
    QString offset(qint64 position) { return editor.offsetString(position); }
};

TEST_F(OffsetFormat, TheDefaultIsHexadecimalAsWideAsTheLargestRowStart)
{
    EXPECT_EQ(editor.offsetFormat(), QStringLiteral("-!10:0x|"));
    loadPattern(0x20000);
    EXPECT_EQ(offset(0), QStringLiteral("0x00000"));
    EXPECT_EQ(offset(0x10), QStringLiteral("0x00010"));
    EXPECT_EQ(offset(0x1FFF0), QStringLiteral("0x1FFF0"));
    EXPECT_EQ(editor.offsetDisplayWidth(), 8); // "0x1FFF0" and one more character

    loadPattern(0x100);
    EXPECT_EQ(offset(0), QStringLiteral("0x00"));
    EXPECT_EQ(offset(0xF0), QStringLiteral("0xF0"));
    EXPECT_EQ(editor.offsetDisplayWidth(), 5);

    // The extra row of insert mode has a row start of its own.
    editor.setInsertMode(true);
    EXPECT_EQ(offset(0x100), QStringLiteral("0x100"));
    EXPECT_EQ(offset(0), QStringLiteral("0x000"));

    const kestrum::OffsetFormat& format = editor.offsetFormatRecord();
    EXPECT_TRUE(format.has(OffsetFlag::CalcWidth));
    EXPECT_TRUE(format.has(OffsetFlag::BytesPerUnit));
    EXPECT_FALSE(format.has(OffsetFlag::CalcRow));
    EXPECT_EQ(format.radix, 16);
    EXPECT_EQ(format.bytesPerUnit, 1);
    EXPECT_EQ(format.prefix, QStringLiteral("0x"));
    EXPECT_EQ(format.suffix, QString());
}

TEST_F(OffsetFormat, WidthRadixPrefixAndSuffixComeFromTheText)
{
    loadPattern(0x100);
    editor.setOffsetFormat(QStringLiteral("8!10:|"));
    EXPECT_EQ(offset(0x10), QStringLiteral("00000010"));
    editor.setOffsetFormat(QStringLiteral("%A:|"));
    EXPECT_EQ(offset(0xA0), QStringLiteral("160"));
    editor.setOffsetFormat(QStringLiteral("10:|"));
    EXPECT_EQ(offset(0), QStringLiteral("0"));
    editor.setOffsetFormat(QStringLiteral("0!10:|"));
    EXPECT_EQ(offset(0), QString());
    EXPECT_EQ(offset(0x20), QStringLiteral("20"));
    editor.setOffsetFormat(QStringLiteral("4!2:[|]"));
    EXPECT_EQ(offset(5), QStringLiteral("[0101]"));
    editor.setOffsetFormat(QStringLiteral("-!8:|o"));
    EXPECT_EQ(offset(0xF0), QStringLiteral("360o"));
    EXPECT_EQ(offset(0), QStringLiteral("000o"));

    editor.setHexLowerCase(true); // digits only; prefix and suffix stay as written
    editor.setOffsetFormat(QStringLiteral("-!10:0X|H"));
    EXPECT_EQ(offset(0xF0), QStringLiteral("0Xf0H"));
}

TEST_F(OffsetFormat, TheUnitComesFromRowsColumnsTheRulerOrTheText)
{
    loadPattern(0x100);
    editor.setBytesPerRow(4);
    editor.setOffsetFormat(QStringLiteral("r%-!10:|"));
    EXPECT_TRUE(editor.offsetFormatRecord().has(OffsetFlag::CalcRow));
    EXPECT_EQ(offset(8), QStringLiteral("02"));
    EXPECT_EQ(offset(0xFC), QStringLiteral("3F"));
    editor.setBytesPerRow(8); // the unit follows the rows
    EXPECT_EQ(offset(0xF8), QStringLiteral("1F"));
    // 16 bytes per row cannot be a unit: the setting is refused and stays.
    EXPECT_EQ(raisedText([&] { editor.setBytesPerRow(16); }),
        QStringLiteral("Invalid bytes per unit value 16, allowed: 1,2,4,8"));
    EXPECT_EQ(editor.bytesPerRow(), 8);
    EXPECT_EQ(offset(0xF8), QStringLiteral("1F"));

    editor.setOffsetFormat(QStringLiteral("C%10:|"));
    EXPECT_TRUE(editor.offsetFormatRecord().has(OffsetFlag::CalcColumn));
    EXPECT_EQ(offset(0x10), QStringLiteral("8")); // two bytes per column
    editor.setBytesPerColumn(4);
    EXPECT_EQ(offset(0x10), QStringLiteral("4"));
    EXPECT_FALSE(raisedText([&] { editor.setBytesPerColumn(3); }).isEmpty());
    EXPECT_EQ(editor.bytesPerColumn(), 4);

    editor.setOffsetFormat(QStringLiteral("2%10:|"));
    EXPECT_EQ(editor.offsetFormatRecord().flags, 0);
    EXPECT_EQ(offset(0x10), QStringLiteral("8"));

    editor.setOffsetFormat(QStringLiteral("%10:|")); // the ruler's unit, which follows BytesPerUnit
    editor.setBytesPerUnit(4);
    EXPECT_EQ(offset(0x40), QStringLiteral("10"));
    editor.setRulerBytesPerUnit(8);
    EXPECT_EQ(offset(0x40), QStringLiteral("8"));
}

TEST_F(OffsetFormat, AnInvalidTextIsRejectedAndTheOldFormatStays)
{
    loadPattern(0x100);
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"r%-!10:|", "Invalid bytes per unit value 16, allowed: 1,2,4,8"},
        {"3%10:|", "Invalid bytes per unit value 3, allowed: 1,2,4,8"},
        {"-!11:0x|", "Invalid radix in offset format (11h), allowed: 02h..10h"},
        {"-!1:|", "Invalid radix in offset format (1h), allowed: 02h..10h"},
        {"-!10:0x", "Missing char in offset format: |"},
        {"-!10", "Missing char in offset format: :"},
        {"-!:|", "Missing char in offset format: number radix"},
        {"-!x10:|", "Missing char in offset format: number radix"},
    };
    for (const auto& [text, error] : cases) {
        EXPECT_EQ(raisedText([&] { editor.setOffsetFormat(QString::fromLatin1(text)); }), QString::fromLatin1(error))
            << text;
        EXPECT_EQ(editor.offsetFormat(), QStringLiteral("-!10:0x|")) << text;
        EXPECT_EQ(offset(0xF0), QStringLiteral("0xF0")) << text;
    }
}

TEST_F(OffsetFormat, WithoutAFormatOffsetsArePlainHexadecimal)
{
    loadPattern(0x100);
    editor.setOffsetFormat(QString());
    EXPECT_EQ(editor.anyOffsetString(0xF0), QStringLiteral("F0"));
    EXPECT_EQ(editor.anyOffsetString(0), QStringLiteral("0"));
    EXPECT_EQ(editor.offsetDisplayWidth(), 3);
}

TEST_F(OffsetFormat, AHandlerSuppliesTheTextAndSetsTheWidth)
{
    loadPattern(0x100);
    std::vector<qint64> asked;
    editor.setOffsetTextProvider([&](qint64 position, QString& text) {
        asked.push_back(position);
        EXPECT_EQ(editor.offsetString(position), text); // no recursion into the handler
        text = QStringLiteral("row ") + QString::number(position / 16);
    });
    EXPECT_EQ(offset(0x20), QStringLiteral("row 2"));
    editor.updateOffsetDisplayWidth();
    EXPECT_EQ(asked.back(), 0xF0); // asked for the largest row start
    EXPECT_EQ(editor.offsetDisplayWidth(), 7);
}

TEST(Ruler, StringsCountUnitsInTheRulerBase)
{
    HexEditor editor;
    EXPECT_FALSE(editor.showRuler());
    EXPECT_EQ(editor.rulerString(), QStringLiteral("000102030405060708090A0B0C0D0E0F"));
    EXPECT_EQ(editor.rulerCharString(), QStringLiteral("0123456789ABCDEF"));

    editor.setBytesPerUnit(2);
    EXPECT_EQ(editor.rulerString(), QStringLiteral("00000001000200030004000500060007"));
    EXPECT_EQ(editor.rulerCharString(), QStringLiteral(" 0 1 2 3 4 5 6 7"));

    editor.setRulerBytesPerUnit(1);
    editor.setRulerNumberBase(10);
    EXPECT_EQ(editor.rulerString(), QStringLiteral("00010203040506070809101112131415"));
    EXPECT_EQ(editor.rulerCharString(), QStringLiteral("0123456789012345")); // cut to the last digit

    editor.setRulerNumberBase(17);
    EXPECT_EQ(editor.rulerNumberBase(), 16);
    editor.setHexLowerCase(true);
    EXPECT_EQ(editor.rulerCharString(), QStringLiteral("0123456789abcdef"));
    editor.setBytesPerRow(300 / 100);
    EXPECT_EQ(editor.rulerString(), QStringLiteral("000102"));

    EXPECT_EQ(raisedText([&] { editor.setRulerBytesPerUnit(3); }),
        QStringLiteral("Invalid ruler bytes per unit value 3, allowed: -1,1,2,4,8"));
    EXPECT_EQ(editor.rulerBytesPerUnit(), 1);

    // Unicode mode: one character column per two bytes.
    editor.setBytesPerRow(8);
    editor.setRulerBytesPerUnit(-1);
    editor.setUnicodeChars(true);
    EXPECT_EQ(editor.rulerString(), QStringLiteral("0000000100020003"));
    EXPECT_EQ(editor.rulerCharString(), QStringLiteral("0123"));
}

TEST(ColumnWidths, FollowTheGroupsBlocksAndUnits)
{
    HexEditor editor;
    load(editor, patternBytes(0x100));
    const int w = 8;
    EXPECT_EQ(editor.colWidth(0, w), 5 * w + 21); // "0xF0" and one character
    EXPECT_EQ(editor.colWidth(1, w), 6);
    // Two bytes per column: a gap after every second low nibble, and after the last one.
    std::vector<int> hex;
    for (int col = 2; col < 2 + 8; ++col)
        hex.push_back(editor.colWidth(col, w));
    EXPECT_EQ(hex, (std::vector<int> {w, w, w, 2 * w, w, w, w, 2 * w}));
    EXPECT_EQ(editor.colWidth(33, w), 2 * w); // the last nibble
    EXPECT_EQ(editor.colWidth(34, w), w); // the spacer
    EXPECT_EQ(editor.colWidth(35, w), w + 1);
    EXPECT_EQ(editor.colWidth(50, w), 2 * w + 1); // the last character column

    editor.setBytesPerBlock(4);
    EXPECT_EQ(editor.colWidth(2 + 7, w), 3 * w); // end of a column group and of a block
    EXPECT_EQ(editor.colWidth(35 + 3, w), 2 * w + 1);
    editor.setSeparateBlocksInCharField(false);
    EXPECT_EQ(editor.colWidth(35 + 3, w), w + 1);

    editor.setBytesPerBlock(-1);
    editor.setBytesPerUnit(2); // the ruler unit widens the last byte of each unit
    EXPECT_EQ(editor.colWidth(35, w), w + 1);
    EXPECT_EQ(editor.colWidth(36, w), w + w / 2 + 1);

    editor.setGutterWidth(100);
    EXPECT_EQ(editor.colWidth(0, w), 100);
}

TEST(ColumnWidths, AutomaticBytesPerRowFillsTheWidth)
{
    HexEditor editor;
    load(editor, patternBytes(0x100));
    const int w = 8;
    // A row of 16 bytes: 32 nibble columns with 8 gaps, the spacer, 16 character columns.
    const int row16 = 40 * w + w + 15 * (w + 1) + 2 * w + 1;
    const int fixed = editor.colWidth(0, w) + 6 + 8;
    editor.applyAutoBytesPerRow(fixed + row16, w); // off: nothing happens
    EXPECT_EQ(editor.bytesPerRow(), 16);
    editor.setAutoBytesPerRow(true);
    editor.applyAutoBytesPerRow(fixed + row16, w);
    EXPECT_EQ(editor.bytesPerRow(), 16); // 16 bytes fit, 18 do not
    editor.applyAutoBytesPerRow(fixed + row16 - 1, w);
    EXPECT_EQ(editor.bytesPerRow(), 14);
    editor.setBytesPerRow(4); // ignored while automatic
    EXPECT_EQ(editor.bytesPerRow(), 14);
    editor.applyAutoBytesPerRow(100000, w);
    EXPECT_EQ(editor.bytesPerRow(), 256);
}

TEST(Caret, AutomaticShapeFollowsTheMode)
{
    HexEditor editor;
    load(editor, patternBytes(16));
    EXPECT_EQ(editor.caretKind(), CaretKind::Auto);
    EXPECT_EQ(editor.effectiveCaretKind(), CaretKind::Full);
    editor.setInsertMode(true);
    EXPECT_EQ(editor.effectiveCaretKind(), CaretKind::Left);
    editor.setReadOnlyView(true);
    EXPECT_EQ(editor.effectiveCaretKind(), CaretKind::Bottom);
    editor.setCaretKind(CaretKind::Full);
    EXPECT_EQ(editor.effectiveCaretKind(), CaretKind::Full);
}

} // namespace kestrum::test
