#include "chipdb/ChipEditorModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>

using namespace kestrum;

namespace {

QString u16(const char16_t* text)
{
    return QString::fromUtf16(text);
}

void put(ChipTable& table, int slot, const QString& names)
{
    ASSERT_TRUE(table[slot].setNamesText(names));
}

/// Fields of a complete 25-series flash row; tests change what they look at.
ChipEditorFields flashFields()
{
    ChipEditorFields f;
    f.type = QStringLiteral("SPI_FLASH");
    f.maker = QStringLiteral("WINBOND");
    f.model = QStringLiteral("W25Q32");
    f.chipId = QStringLiteral("0xEF4016");
    f.classIndex = SpiFlash25;
    f.algorithmIndex = 0;
    f.voltageIndex = 0;
    f.flashIndex = 16; // 4MB
    f.flashPageIndex = 8;
    f.delay = QStringLiteral("100");
    f.extend = QStringLiteral("0");
    return f;
}

/// A model holding the given rows below the title row.
ChipEditorModel modelWith(const std::vector<ChipEditorFields>& rows)
{
    ChipEditorModel model;
    for (const ChipEditorFields& f : rows)
        EXPECT_TRUE(model.add(f, nullptr));
    return model;
}

/// Adds a row from the fields, saves it into a fresh table, loads the table back and loads the row.
ChipEditorFields roundTrip(const ChipEditorFields& in)
{
    ChipEditorModel model = modelWith({in});
    ChipTable table;
    QString error;
    EXPECT_TRUE(model.saveInto(table, &error).has_value()) << error.toStdString();
    ChipEditorModel again;
    again.load(table);
    again.selectCell(1);
    ChipEditorFields out;
    EXPECT_TRUE(again.loadSelectedRow(out, &error)) << error.toStdString();
    return out;
}

} // namespace

// --- Number conversion ---------------------------------------------------------------------------

struct IntegerCase
{
    const char* text;
    qint32 value;
};

class CellIntegerAccepts : public ::testing::TestWithParam<IntegerCase>
{
};

TEST_P(CellIntegerAccepts, DecimalAndEveryHexadecimalPrefix)
{
    const std::optional<qint32> v = cellInteger(QString::fromLatin1(GetParam().text));
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(*v, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Conversions, CellIntegerAccepts,
    ::testing::Values(IntegerCase {"0", 0}, IntegerCase {"100", 100}, IntegerCase {"  42", 42}, IntegerCase {"+7", 7},
        IntegerCase {"-5", -5}, IntegerCase {"007", 7}, IntegerCase {"0x1F", 31}, IntegerCase {"0X1f", 31},
        IntegerCase {"x10", 16}, IntegerCase {"X10", 16}, IntegerCase {"$ff", 255}, IntegerCase {"-0x10", -16},
        IntegerCase {"0xFFFFFFFF", -1}, IntegerCase {"0x0000000010", 16}, IntegerCase {"2147483647", 2147483647},
        IntegerCase {"-2147483648", std::numeric_limits<qint32>::min()}));

class CellIntegerRejects : public ::testing::TestWithParam<const char*>
{
};

TEST_P(CellIntegerRejects, AnythingThatIsNotAWholeNumber)
{
    EXPECT_FALSE(cellInteger(QString::fromUtf8(GetParam())).has_value());
}

INSTANTIATE_TEST_SUITE_P(Conversions, CellIntegerRejects,
    ::testing::Values("", " ", "-", "0x", "$", "x", "12 ", "1.5", "abc", "1e3", "0x1G", "2147483648", "-2147483649",
        "4294967295", "0x100000000", "\t5", "٣"));

TEST(ChipEditorConversion, FailureTextQuotesTheCellUnchanged)
{
    EXPECT_EQ(notAnIntegerText(QStringLiteral(" 12a")), QStringLiteral("' 12a' is not a valid integer value"));
    EXPECT_EQ(notAnIntegerText(QString()), QStringLiteral("'' is not a valid integer value"));
}

TEST(ChipEditorConversion, FloorLog2CountsHalvings)
{
    EXPECT_EQ(floorLog2(-8), 0);
    EXPECT_EQ(floorLog2(0), 0);
    EXPECT_EQ(floorLog2(1), 0);
    EXPECT_EQ(floorLog2(2), 1);
    EXPECT_EQ(floorLog2(3), 1);
    EXPECT_EQ(floorLog2(64), 6);
    EXPECT_EQ(floorLog2(3000), 11);
    EXPECT_EQ(floorLog2(64 << 20), 26);
    EXPECT_EQ(floorLog2(std::numeric_limits<qint32>::max()), 30);
}

// --- Lists --------------------------------------------------------------------------------------

TEST(ChipEditorLists, EntriesAndTheirValues)
{
    EXPECT_EQ(editorColumnTitles().join(QLatin1Char('|')),
        u16(u"芯片类型|芯片厂家|芯片型号|芯片ID|FLASH|FLASH页|类型|子类型|延时|工作电压|EEPROM|EEPROM页|关联XML"));
    EXPECT_EQ(editorFlashItems().size(), 21);
    EXPECT_EQ(editorFlashItems().last(), QStringLiteral("64MB"));
    EXPECT_EQ(editorEepromItems().size(), 27);
    EXPECT_EQ(editorEepromItems()[5], QStringLiteral("32B"));
    EXPECT_EQ(editorEepromItems()[6], QStringLiteral("64B"));
    EXPECT_EQ(editorEepromItems()[16], QStringLiteral("64KB"));
    EXPECT_EQ(editorEepromItems().last(), QStringLiteral("64MB"));
    EXPECT_EQ(editorFlashPageItems().last(), QStringLiteral("256"));
    EXPECT_EQ(editorClassItems()[MicrowireEeprom93], u16(u"93 eeprom 系列"));

    EXPECT_EQ(algorithmItems(SpiFlash25), (QStringList {u16(u"非SST SPI flash"), QStringLiteral("SST SPI flash")}));
    EXPECT_EQ(algorithmItems(I2cEeprom24), (QStringList {u16(u"小于4KB"), u16(u"大于等于4KB")}));
    EXPECT_EQ(algorithmItems(SpiEeprom25), (QStringList {u16(u"小于512B"), u16(u"大等于512B"), u16(u"大于64KB")}));
    ASSERT_EQ(algorithmItems(MicrowireEeprom93).size(), 10);
    EXPECT_EQ(algorithmItems(MicrowireEeprom93)[7], QStringLiteral("93C66 16 BITS"));
    EXPECT_TRUE(algorithmItems(-1).isEmpty());
    EXPECT_TRUE(algorithmItems(4).isEmpty());
}

TEST(ChipEditorLists, MicrowireOrganisationCodes)
{
    const int expected[] = {7, 8, 9, 10, 11, 87, 88, 89, 90, 91};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(subtypeForAlgorithm(MicrowireEeprom93, i), expected[i]) << "entry " << i;
    EXPECT_EQ(subtypeForAlgorithm(SpiEeprom25, 2), 2);
    EXPECT_EQ(subtypeForAlgorithm(SpiFlash25, 1), 1);
}

// --- Loading the grid from the table ------------------------------------------------------------

TEST(ChipEditorLoad, EmptyTableGivesOnlyTheTitleRow)
{
    ChipEditorModel model;
    model.load(ChipTable {});
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.cell(0, ColType), u16(u"芯片类型"));
    EXPECT_EQ(model.cell(0, ColXmlLink), u16(u"关联XML"));
    EXPECT_EQ(model.types().count(), 0);
    EXPECT_EQ(model.types().selected(), -1);
    EXPECT_EQ(model.models().text(), QString());
}

TEST(ChipEditorLoad, NamesAreCutAtCommasOnly)
{
    ChipTable table;
    put(table, 0, QStringLiteral("SPI_FLASH,WINBOND,W25Q32"));
    put(table, 1, QStringLiteral("NoCommasAtAll"));
    put(table, 2, QStringLiteral("OnlyType,Model"));
    put(table, 3, QStringLiteral(" a b , c ,d,e"));
    ChipEditorModel model;
    model.load(table);
    ASSERT_EQ(model.rowCount(), 5);
    auto names = [&](int r) {
        return QStringList {model.cell(r, ColType), model.cell(r, ColMaker), model.cell(r, ColModel)};
    };
    EXPECT_EQ(
        names(1), (QStringList {QStringLiteral("SPI_FLASH"), QStringLiteral("WINBOND"), QStringLiteral("W25Q32")}));
    EXPECT_EQ(names(2), (QStringList {QString(), QString(), QStringLiteral("NoCommasAtAll")}));
    EXPECT_EQ(names(3), (QStringList {QStringLiteral("OnlyType"), QString(), QStringLiteral("Model")}));
    EXPECT_EQ(names(4), (QStringList {QStringLiteral(" a b "), QStringLiteral(" c "), QStringLiteral("d,e")}))
        << "no trimming, and the model keeps later commas";
}

TEST(ChipEditorLoad, CellFormatsOfEveryField)
{
    ChipTable table;
    put(table, 0, QStringLiteral("t,m,n"));
    ChipRecord& r = table[0];
    r.chipId = 0x00EF4016;
    r.flashSize = 0x80000000u;
    r.flashPage = 65535;
    r.chipClass = 2;
    r.subtype = 89;
    r.delay = 40000;
    r.voltage = 255;
    r.eepromSize = 32768;
    r.eepromPage = 128;
    r.xmlLink = 65535;
    ChipEditorModel model;
    model.load(table);
    ASSERT_EQ(model.rowCount(), 2);
    QStringList cells;
    for (int c = ColChipId; c < EditorColumns; ++c)
        cells << model.cell(1, c);
    EXPECT_EQ(cells.join(QLatin1Char('|')), QStringLiteral("0xEF4016|2147483648|65535|2|89|40000|255|32768|128|65535"));

    r.chipId = 0;
    model.load(table);
    EXPECT_EQ(model.cell(1, ColChipId), QStringLiteral("0x0"));
}

TEST(ChipEditorLoad, NameListsSkipRepeatsIgnoringCaseAndEmptyManufacturers)
{
    ChipTable table;
    put(table, 0, QStringLiteral("SPI,Winbond,W25Q16"));
    put(table, 1, QStringLiteral("spi,WINBOND,w25q16"));
    put(table, 2, QStringLiteral("NoCommas"));
    put(table, 3, QStringLiteral("I2C,Atmel,AT24C02"));
    put(table, 4, QString()); // end marker
    put(table, 5, QStringLiteral("Hidden,Behind,Marker"));
    ChipEditorModel model;
    model.load(table);
    EXPECT_EQ(model.rowCount(), 5) << "rows end at the marker";
    EXPECT_EQ(model.types().items(), (QStringList {QStringLiteral("SPI"), QString(), QStringLiteral("I2C")}));
    EXPECT_EQ(model.makers().items(), (QStringList {QStringLiteral("Winbond"), QStringLiteral("Atmel")}));
    EXPECT_EQ(model.models().items(),
        (QStringList {QStringLiteral("W25Q16"), QStringLiteral("NoCommas"), QStringLiteral("AT24C02")}));
    EXPECT_EQ(model.types().text(), QStringLiteral("SPI")) << "the first entries are selected";
    EXPECT_EQ(model.makers().selected(), 0);
    EXPECT_EQ(model.models().selected(), 0);
}

TEST(ChipEditorLoad, FullTableWithoutMarkerGivesAThousandRows)
{
    ChipTable table;
    for (int i = 0; i < ChipSlots; ++i)
        put(table, i, QStringLiteral("t,m,n%1").arg(i));
    ChipEditorModel model;
    model.load(table);
    EXPECT_EQ(model.rowCount(), ChipSlots + 1);
    EXPECT_EQ(model.cell(ChipSlots, ColModel), QStringLiteral("n999"));
}

// --- Rows from the fields: Add, Edit, Delete ----------------------------------------------------

TEST(ChipEditorRows, CellsBuiltFromTheFields)
{
    ChipEditorFields f = flashFields();
    f.eepromIndex = 0;
    f.eepromPageIndex = 8;
    f.extend = QStringLiteral("7");
    std::optional<EditorRow> row = ChipEditorModel::buildRow(f, nullptr);
    ASSERT_TRUE(row.has_value());
    QStringList cells(row->begin(), row->end());
    EXPECT_EQ(cells.join(QLatin1Char('|')),
        QStringLiteral("SPI_FLASH|WINBOND|W25Q32|0xEF4016|4194304|256|0|0|100|0|0|256|7"));

    f.classIndex = MicrowireEeprom93;
    f.algorithmIndex = 7;
    f.flashIndex = 20;
    f.flashPageIndex = 0;
    f.voltageIndex = 2;
    f.eepromIndex = 26;
    f.delay = QStringLiteral("not checked here");
    row = ChipEditorModel::buildRow(f, nullptr);
    ASSERT_TRUE(row.has_value());
    cells = QStringList(row->begin(), row->end());
    EXPECT_EQ(cells.join(QLatin1Char('|')),
        QStringLiteral("SPI_FLASH|WINBOND|W25Q32|0xEF4016|67108864|1|2|89|not checked here|2|67108864|256|7"));
}

TEST(ChipEditorRows, ListsWithoutSelectionAreRefusedByName)
{
    const ChipEditorFields fresh; // as the editor starts: no class, no voltage
    std::optional<EditorList> missing;
    EXPECT_FALSE(ChipEditorModel::buildRow(fresh, &missing).has_value());
    EXPECT_EQ(missing, EditorList::Class);

    ChipEditorFields f = flashFields();
    f.voltageIndex = -1;
    EXPECT_FALSE(ChipEditorModel::buildRow(f, &missing).has_value());
    EXPECT_EQ(missing, EditorList::Voltage);

    f = flashFields();
    f.flashIndex = -1; // left so by loading a row of a size the list does not have
    EXPECT_FALSE(ChipEditorModel::buildRow(f, &missing).has_value());
    EXPECT_EQ(missing, EditorList::Flash);

    f = flashFields();
    f.algorithmIndex = 2; // class 0 has two algorithms
    EXPECT_FALSE(ChipEditorModel::buildRow(f, &missing).has_value());
    EXPECT_EQ(missing, EditorList::Algorithm);

    EXPECT_TRUE(ChipEditorModel::buildRow(flashFields(), &missing).has_value());
    EXPECT_FALSE(missing.has_value());

    ChipEditorModel model;
    EXPECT_FALSE(model.add(fresh, &missing));
    EXPECT_EQ(model.rowCount(), 1) << "a refused Add adds nothing";
}

TEST(ChipEditorRows, AddAppendsAndSelectsTheNewRowWithoutComparing)
{
    ChipEditorModel model;
    EXPECT_EQ(model.selectedRow(), 0);
    ASSERT_TRUE(model.add(flashFields(), nullptr));
    ASSERT_TRUE(model.add(flashFields(), nullptr));
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.row(1), model.row(2)) << "a duplicate is added as it is";
    EXPECT_EQ(model.currentRow(), 2);
    EXPECT_EQ(model.selectedRow(), 2);
}

TEST(ChipEditorRows, EditRewritesOnlyTheSelectedRowAndRefusesTheTitleRow)
{
    ChipEditorModel model;
    model.load(ChipTable {});
    ChipEditorFields f = flashFields();
    std::optional<EditorList> missing = EditorList::Eeprom;
    EXPECT_FALSE(model.edit(f, &missing)) << "selectedRow is 0";
    EXPECT_FALSE(missing.has_value()) << "refused without naming a list";
    EXPECT_EQ(model.cell(0, ColType), u16(u"芯片类型")) << "the title row stays";

    model = modelWith({flashFields(), flashFields(), flashFields()});
    model.selectCell(2);
    f.model = QStringLiteral("W25Q64");
    ASSERT_TRUE(model.edit(f, &missing));
    EXPECT_EQ(model.cell(1, ColModel), QStringLiteral("W25Q32"));
    EXPECT_EQ(model.cell(2, ColModel), QStringLiteral("W25Q64"));
    EXPECT_EQ(model.cell(3, ColModel), QStringLiteral("W25Q32"));

    f.classIndex = -1;
    EXPECT_FALSE(model.edit(f, &missing));
    EXPECT_EQ(missing, EditorList::Class);
    EXPECT_EQ(model.cell(2, ColClass), QStringLiteral("0")) << "a refused Edit changes nothing";

    model.selectCell(7);
    f = flashFields();
    EXPECT_FALSE(model.edit(f, &missing)) << "no such row";
    EXPECT_EQ(model.rowCount(), 4);
}

TEST(ChipEditorRows, DeleteMovesTheRowsBelowUp)
{
    std::vector<ChipEditorFields> rows(4, flashFields());
    for (int i = 0; i < 4; ++i)
        rows[static_cast<size_t>(i)].model = QStringLiteral("M%1").arg(i + 1);
    ChipEditorModel model = modelWith(rows);
    auto models = [&] {
        QStringList out;
        for (int r = 1; r < model.rowCount(); ++r)
            out << model.cell(r, ColModel);
        return out.join(QLatin1Char(','));
    };

    model.selectCell(2);
    model.deleteCurrentRow();
    EXPECT_EQ(models(), QStringLiteral("M1,M3,M4"));
    EXPECT_EQ(model.currentRow(), 2);

    model.selectCell(3);
    model.deleteCurrentRow();
    EXPECT_EQ(models(), QStringLiteral("M1,M3"));
    EXPECT_EQ(model.currentRow(), 2) << "the current row stays inside the grid";

    model.deleteCurrentRow();
    model.deleteCurrentRow();
    EXPECT_EQ(model.rowCount(), 1);
    model.deleteCurrentRow();
    EXPECT_EQ(model.rowCount(), 1) << "the title row is never deleted";
    EXPECT_EQ(model.cell(0, ColType), u16(u"芯片类型"));
}

// --- Save into the table ------------------------------------------------------------------------

TEST(ChipEditorSave, RowsBecomeRecordsFollowedByTheEndMarker)
{
    ChipTable table;
    for (int i = 0; i < 5; ++i) {
        put(table, i, QStringLiteral("old,old,old%1").arg(i));
        table[i].chipId = 0xC0DE0000u + std::uint32_t(i);
        table[i].voltage = 2;
        table[i].names[30] = 'Z';
    }
    ChipEditorFields f = flashFields();
    ChipEditorModel model = modelWith({f, f});
    model.setCell(1, ColType, QStringLiteral("\t SPI \x01"));
    model.setCell(1, ColMaker, QStringLiteral(" Winbond"));
    model.setCell(1, ColModel, QStringLiteral("W25Q32 "));
    model.setCell(2, ColClass, QStringLiteral("0x103"));
    model.setCell(2, ColEepromSize, QStringLiteral("65536"));
    model.setCell(2, ColEepromPage, QStringLiteral("256"));
    model.setCell(2, ColChipId, QStringLiteral("0xFFFFFFFF"));
    model.setCell(2, ColDelay, QStringLiteral("-1"));

    QString error;
    const std::optional<qint32> length = model.saveInto(table, &error);
    ASSERT_TRUE(length.has_value()) << error.toStdString();
    EXPECT_EQ(*length, 3 * ChipRecordSize);

    EXPECT_EQ(table[0].namesText(), QStringLiteral("SPI,Winbond,W25Q32")) << "each part trimmed";
    EXPECT_EQ(table[0].chipId, 0xEF4016u);
    EXPECT_EQ(table[0].flashSize, 4194304u);
    EXPECT_EQ(table[0].flashPage, 256);
    EXPECT_EQ(table[0].delay, 100);
    EXPECT_EQ(table[0].voltage, 0);
    // Low bits of the 32-bit number, by field width.
    EXPECT_EQ(table[1].chipClass, 3);
    EXPECT_EQ(table[1].eepromSize, 0);
    EXPECT_EQ(table[1].eepromPage, 0);
    EXPECT_EQ(table[1].chipId, 0xFFFFFFFFu);
    EXPECT_EQ(table[1].delay, 0xFFFF);

    // The marker clears only the first 20 bytes of its slot.
    const auto* marker = reinterpret_cast<const unsigned char*>(&table[2]);
    EXPECT_TRUE(std::all_of(marker, marker + 20, [](unsigned char b) { return b == 0; }));
    EXPECT_EQ(table[2].names[30], 'Z');
    EXPECT_EQ(table[2].chipId, 0xC0DE0002u);
    EXPECT_EQ(table[2].voltage, 2);
    EXPECT_EQ(table.listedCount(), 2);
    EXPECT_EQ(table[3].namesText(), QStringLiteral("old,old,old3")) << "slots after the marker are untouched";
}

TEST(ChipEditorSave, NoRowsGiveOneRecordOfEndMarker)
{
    ChipTable table;
    put(table, 0, QStringLiteral("a,b,c"));
    ChipEditorModel model;
    model.load(table);
    model.selectCell(1);
    model.deleteCurrentRow();
    QString error;
    const std::optional<qint32> length = model.saveInto(table, &error);
    ASSERT_TRUE(length.has_value());
    EXPECT_EQ(*length, ChipRecordSize);
    EXPECT_TRUE(table[0].isEnd());
}

TEST(ChipEditorSave, NonIntegerCellRefusesTheSaveAndStoresNothing)
{
    ChipTable table;
    put(table, 3, QStringLiteral("old,old,slot3"));
    for (int i = 0; i < 3; ++i) {
        put(table, i, QStringLiteral("old,old,old"));
        table[i].flashPage = 0x5A5A;
        table[i].chipId = 0xC0DE;
    }
    ChipEditorFields f = flashFields();
    ChipEditorModel model = modelWith({f, f, f});
    model.setCell(2, ColModel, QStringLiteral("Second"));
    model.setCell(2, ColFlashPage, QStringLiteral("25 6"));
    QString error;
    EXPECT_FALSE(model.saveInto(table, &error).has_value());
    EXPECT_EQ(error, QStringLiteral("'25 6' is not a valid integer value"));

    // The rows are converted into a copy: a refusal leaves the table exactly as it was.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(table[i].namesText(), QStringLiteral("old,old,old")) << i;
        EXPECT_EQ(table[i].flashPage, 0x5A5A) << i;
        EXPECT_EQ(table[i].chipId, 0xC0DEu) << i;
    }
    EXPECT_EQ(table[3].namesText(), QStringLiteral("old,old,slot3")) << "no end marker is written";
}

TEST(ChipEditorSave, ARecordTheCommandsWouldRefuseIsNotStored)
{
    ChipTable table;
    put(table, 0, QStringLiteral("old,old,old"));
    const ChipEditorFields f = flashFields();
    const struct
    {
        int column;
        const char* text;
        const char* reason;
    } flaws[] = {{ColFlashSize, "0", "The capacity must be from 1 byte"},
        {ColFlashSize, "0x8000000", "The capacity must be from 1 byte"},
        {ColClass, "7", "The chip class must be from 0 to 3."}, {ColFlashPage, "0", "The page size must not be 0"}};
    for (const auto& flaw : flaws) {
        ChipEditorModel model = modelWith({f, f});
        model.setCell(2, flaw.column, QString::fromLatin1(flaw.text));
        QString error;
        EXPECT_FALSE(model.saveInto(table, &error).has_value()) << flaw.text;
        EXPECT_TRUE(error.startsWith(QStringLiteral("Row 2: ") + QString::fromLatin1(flaw.reason)))
            << error.toStdString();
        EXPECT_EQ(table[0].namesText(), QStringLiteral("old,old,old")) << "nothing is stored";
    }
}

TEST(ChipEditorSave, AnEmptyExtendFieldBuildsZeroAndOnlyAnEmptiedCellFailsAtSave)
{
    ChipEditorFields f = flashFields();
    f.extend.clear();
    ChipEditorModel model = modelWith({f});
    EXPECT_EQ(model.cell(1, ColXmlLink), QStringLiteral("0")) << "Add fills Extend with 0";
    ChipTable table;
    QString error;
    ASSERT_TRUE(model.saveInto(table, &error).has_value()) << error.toStdString();
    EXPECT_EQ(table[0].xmlLink, 0);
    model.setCell(1, ColXmlLink, QString());
    EXPECT_FALSE(model.saveInto(table, &error).has_value());
    EXPECT_EQ(error, QStringLiteral("'' is not a valid integer value"));
}

TEST(ChipEditorSave, NamesThatDoNotFitAreRefusedNamingTheRow)
{
    ChipEditorFields f = flashFields();
    ChipEditorModel model = modelWith({f, f, f});
    // 2 + 1 + 2 + 1 + 42 bytes of GBK = 48: one byte too many.
    model.setCell(2, ColType, u16(u"芯"));
    model.setCell(2, ColMaker, u16(u"片"));
    model.setCell(2, ColModel, QString(42, QLatin1Char('x')));
    ChipTable table;
    put(table, 1, QStringLiteral("old,old,old"));
    table[1].chipId = 0xC0DE;
    QString error;
    EXPECT_FALSE(model.saveInto(table, &error).has_value());
    EXPECT_TRUE(error.startsWith(QStringLiteral("Row 2: "))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("48 bytes"))) << error.toStdString();
    EXPECT_TRUE(table[0].isEnd()) << "nothing is stored, not even the rows before the refused one";
    EXPECT_EQ(table[1].namesText(), QStringLiteral("old,old,old")) << "nothing of the refused row is stored";
    EXPECT_EQ(table[1].chipId, 0xC0DEu);

    model.setCell(2, ColModel, QString(41, QLatin1Char('x')));
    EXPECT_TRUE(model.saveInto(table, &error).has_value()) << "47 bytes fit";
    EXPECT_EQ(table[1].namesText(), u16(u"芯,片,") + QString(41, QLatin1Char('x')));

    model.setCell(3, ColModel, u16(u"W25Q32\U0001F600"));
    EXPECT_FALSE(model.saveInto(table, &error).has_value());
    EXPECT_TRUE(error.startsWith(QStringLiteral("Row 3: "))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("GBK")));
}

TEST(ChipEditorSave, MoreThan999RowsAreRefusedBeforeAnythingIsStored)
{
    ChipTable table;
    for (int i = 0; i < ChipSlots; ++i) {
        put(table, i, QStringLiteral("t,m,n%1").arg(i));
        table[i].flashSize = 0x10000;
        table[i].flashPage = 256;
    }
    ChipEditorModel model;
    model.load(table);
    ASSERT_EQ(model.rowCount(), 1001);
    for (int r = 1; r < model.rowCount(); ++r)
        model.setCell(r, ColModel, QStringLiteral("changed"));
    QString error;
    EXPECT_FALSE(model.saveInto(table, &error).has_value());
    EXPECT_EQ(error, QStringLiteral("The chip database holds at most 999 chips; the grid has 1000 chip rows."));
    EXPECT_EQ(table[0].namesText(), QStringLiteral("t,m,n0"));
    EXPECT_EQ(table.listedCount(), ChipSlots);

    model.selectCell(1000);
    model.deleteCurrentRow();
    const std::optional<qint32> length = model.saveInto(table, &error);
    ASSERT_TRUE(length.has_value()) << "999 rows and the marker fill the table exactly";
    EXPECT_EQ(*length, ChipSlots * ChipRecordSize);
    EXPECT_TRUE(table[999].isEnd());
}

// --- Loading the selected row into the fields (a click on its row) ------------------------------

TEST(ChipEditorRowLoad, NothingHappensOnTheTitleRow)
{
    ChipEditorModel model = modelWith({flashFields()});
    model.selectCell(0);
    ChipEditorFields fields; // defaults
    QString error;
    EXPECT_TRUE(model.loadSelectedRow(fields, &error));
    EXPECT_TRUE(fields.type.isEmpty());
    EXPECT_EQ(fields.classIndex, -1);
}

TEST(ChipEditorRowLoad, ChipIdRoundTripShowsUpperCaseHexWithoutLeadingZeros)
{
    ChipEditorFields f = flashFields();
    f.chipId = QStringLiteral("0x00ef4016");
    EXPECT_EQ(roundTrip(f).chipId, QStringLiteral("0xEF4016"));
    f.chipId = QStringLiteral("15679510");
    EXPECT_EQ(roundTrip(f).chipId, QStringLiteral("0xEF4016")) << "decimal is accepted and shown as hex";
}

TEST(ChipEditorRowLoad, EveryFieldComesBack)
{
    ChipEditorFields f = flashFields();
    f.classIndex = SpiFlash25;
    f.algorithmIndex = 1;
    f.voltageIndex = 1;
    f.flashIndex = 17;
    f.flashPageIndex = 5;
    f.delay = QStringLiteral("0x10");
    f.eepromIndex = 9;
    f.eepromPageIndex = 3;
    f.extend = QStringLiteral("0x2A");
    const ChipEditorFields back = roundTrip(f);
    EXPECT_EQ(back.type, f.type);
    EXPECT_EQ(back.maker, f.maker);
    EXPECT_EQ(back.model, f.model);
    EXPECT_EQ(back.classIndex, SpiFlash25);
    EXPECT_EQ(back.algorithmIndex, 1);
    EXPECT_EQ(back.voltageIndex, 1);
    EXPECT_EQ(back.flashIndex, 17);
    EXPECT_EQ(back.flashPageIndex, 5);
    EXPECT_EQ(back.delay, QStringLiteral("16")) << "numbers come back in decimal";
    EXPECT_EQ(back.eepromIndex, 9);
    EXPECT_EQ(back.eepromPageIndex, 3);
    EXPECT_EQ(back.extend, QStringLiteral("42"));
}

TEST(ChipEditorRowLoad, Microwire16BitOrganisationIsStoredAs89AndSelectedAgain)
{
    ChipEditorFields f = flashFields();
    f.classIndex = MicrowireEeprom93;
    f.algorithmIndex = int(algorithmItems(MicrowireEeprom93).indexOf(QStringLiteral("93C66 16 BITS")));
    ChipEditorModel model = modelWith({f});
    ChipTable table;
    ASSERT_TRUE(model.saveInto(table, nullptr).has_value());
    EXPECT_EQ(table[0].subtype, 89);
    const ChipEditorFields back = roundTrip(f);
    EXPECT_EQ(back.classIndex, MicrowireEeprom93);
    EXPECT_EQ(algorithmItems(back.classIndex).value(back.algorithmIndex), QStringLiteral("93C66 16 BITS"));

    f.algorithmIndex = 2; // "93C66 8 BITS", code 9
    EXPECT_EQ(roundTrip(f).algorithmIndex, 2);
}

TEST(ChipEditorRowLoad, EepromClassesTakeTheAlgorithmFromTheFlashSize)
{
    ChipEditorModel model;
    ChipTable table;
    put(table, 0, QStringLiteral("24,x,2KB"));
    table[0].chipClass = I2cEeprom24;
    table[0].subtype = 1; // stored as 4 KB and up, but the size says otherwise
    table[0].flashSize = 2048;
    put(table, 1, QStringLiteral("24,x,4KB"));
    table[1].chipClass = I2cEeprom24;
    table[1].subtype = 0;
    table[1].flashSize = 4096;
    put(table, 2, QStringLiteral("25,x,512B"));
    table[2].chipClass = SpiEeprom25;
    table[2].subtype = 2;
    table[2].flashSize = 512;
    put(table, 3, QStringLiteral("25,x,128KB"));
    table[3].chipClass = SpiEeprom25;
    table[3].subtype = 2;
    table[3].flashSize = 128 * 1024;
    model.load(table);

    auto algorithmText = [&](int r) {
        model.selectCell(r);
        ChipEditorFields fields;
        EXPECT_TRUE(model.loadSelectedRow(fields, nullptr));
        return algorithmItems(fields.classIndex).value(fields.algorithmIndex);
    };
    EXPECT_EQ(algorithmText(1), u16(u"小于4KB"));
    EXPECT_EQ(algorithmText(2), u16(u"大于等于4KB"));
    EXPECT_EQ(algorithmText(3), u16(u"小于512B"));
    EXPECT_EQ(algorithmText(4), u16(u"大等于512B")) << "entry 2 of class 3 is never chosen";
}

TEST(ChipEditorRowLoad, LargeEepromChoicesLoadBackAsZeroAndOne)
{
    ChipEditorFields f = flashFields();
    f.eepromIndex = int(editorEepromItems().indexOf(QStringLiteral("64KB")));
    f.eepromPageIndex = int(editorEepromPageItems().indexOf(QStringLiteral("256")));
    const ChipEditorFields back = roundTrip(f);
    EXPECT_EQ(editorEepromItems().value(back.eepromIndex), QStringLiteral("0B"));
    EXPECT_EQ(editorEepromPageItems().value(back.eepromPageIndex), QStringLiteral("1"));

    f.eepromIndex = int(editorEepromItems().indexOf(QStringLiteral("32KB")));
    f.eepromPageIndex = int(editorEepromPageItems().indexOf(QStringLiteral("128")));
    const ChipEditorFields kept = roundTrip(f);
    EXPECT_EQ(editorEepromItems().value(kept.eepromIndex), QStringLiteral("32KB")) << "the widest value that fits";
    EXPECT_EQ(editorEepromPageItems().value(kept.eepromPageIndex), QStringLiteral("128"));
}

TEST(ChipEditorRowLoad, ValuesOutsideTheListsLeaveThemWithoutSelection)
{
    ChipEditorModel model = modelWith({flashFields()});
    model.setCell(1, ColFlashSize, QStringLiteral("32"));
    model.setCell(1, ColClass, QStringLiteral("9"));
    model.setCell(1, ColVoltage, QStringLiteral("3"));
    model.setCell(1, ColFlashPage, QStringLiteral("512"));
    model.selectCell(1);
    ChipEditorFields fields = flashFields();
    ASSERT_TRUE(model.loadSelectedRow(fields, nullptr));
    EXPECT_EQ(fields.flashIndex, -1);
    EXPECT_EQ(fields.flashPageIndex, -1);
    EXPECT_EQ(fields.classIndex, -1);
    EXPECT_EQ(fields.algorithmIndex, -1) << "no class, no algorithm list";
    EXPECT_EQ(fields.voltageIndex, -1);

    model.setCell(1, ColFlashSize, QStringLiteral("3000"));
    ASSERT_TRUE(model.loadSelectedRow(fields, nullptr));
    EXPECT_EQ(editorFlashItems().value(fields.flashIndex), QStringLiteral("2KB")) << "sizes round down";
}

TEST(ChipEditorRowLoad, NonIntegerCellStopsWithEarlierFieldsLoaded)
{
    ChipEditorFields f = flashFields();
    f.classIndex = MicrowireEeprom93;
    f.algorithmIndex = 7;
    ChipEditorModel model = modelWith({f});
    model.setCell(1, ColModel, QStringLiteral("93C66"));
    model.setCell(1, ColSubtype, QStringLiteral("eighty-nine"));
    model.selectCell(1);

    ChipEditorFields fields; // defaults
    QString error;
    EXPECT_FALSE(model.loadSelectedRow(fields, &error));
    EXPECT_EQ(error, QStringLiteral("'eighty-nine' is not a valid integer value"));
    EXPECT_EQ(fields.model, QStringLiteral("93C66"));
    EXPECT_EQ(fields.chipId, QStringLiteral("0xEF4016"));
    EXPECT_EQ(fields.flashIndex, 16);
    EXPECT_EQ(fields.classIndex, MicrowireEeprom93);
    EXPECT_EQ(fields.algorithmIndex, 0) << "the class change selected the first algorithm";
    EXPECT_EQ(fields.voltageIndex, -1) << "fields after the failing cell keep their values";
    EXPECT_EQ(fields.delay, QStringLiteral("100"));
}
