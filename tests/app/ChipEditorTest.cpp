#include "tests/app/MainWindowControls.h"
#include "tests/support/ScriptedUserInterface.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>

using namespace kestrum;
using namespace kestrum::test;

namespace {

QString u16(const char16_t* text)
{
    return QString::fromUtf16(text);
}

ChipRecord chip(const QString& names, std::uint32_t id = 0xEF4016, std::uint32_t size = 0x400000)
{
    ChipRecord r {};
    EXPECT_TRUE(r.setNamesText(names));
    r.chipId = id;
    r.flashSize = size;
    r.flashPage = 256;
    r.delay = 100;
    return r;
}

struct ChipEditorFixture : ::testing::Test
{
    // Without a stored language the window follows the locale; these tests run in Simplified Chinese.
    ChipEditorFixture() { QLocale::setDefault(QLocale(QStringLiteral("zh_CN"))); }
    ~ChipEditorFixture() override { QLocale::setDefault(QLocale::c()); }

    QTemporaryDir dir;
    ScriptedUserInterface ui;

    QString exe() const { return dir.filePath(QStringLiteral("kestrum")); }
    QString database() const { return dir.filePath(QStringLiteral("kestrum.Dat")); }

    void writeBytes(const QByteArray& bytes) const
    {
        QFile f(database());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    void writeDatabase(std::vector<ChipRecord> records, bool endMarker = true) const
    {
        if (endMarker)
            records.push_back(ChipRecord {});
        writeBytes(
            QByteArray(reinterpret_cast<const char*>(records.data()), qsizetype(records.size() * sizeof(ChipRecord))));
    }
    void writeIni(const char* text) const
    {
        QFile f(dir.filePath(QStringLiteral("kestrum.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray readDatabase() const
    {
        QFile f(database());
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }
    static ChipRecord recordAt(const QByteArray& file, int slot)
    {
        ChipRecord r {};
        EXPECT_GE(file.size(), (slot + 1) * ChipRecordSize);
        std::memcpy(&r, file.constData() + slot * ChipRecordSize, sizeof r);
        return r;
    }
    /// The editor's grid.
    static QTableWidget& grid(ChipEditorDialog& editor) { return *child<QTableWidget>(editor, "chipGrid"); }
    /// Text of a cell in grid row numbering (row 0 is the title row).
    static QString cell(ChipEditorDialog& editor, int row, int column)
    {
        if (row == 0)
            return grid(editor).horizontalHeaderItem(column)->text();
        const QTableWidgetItem* item = grid(editor).item(row - 1, column);
        return item ? item->text() : QStringLiteral("<no item>");
    }
    /// A user's choice in a pick list: the selection and the change notification.
    static void choose(QComboBox& box, const QString& text)
    {
        const int index = box.findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        box.setCurrentIndex(index);
        Q_EMIT box.activated(index);
    }
    /// Fills every field of the editor for a new chip.
    static void fillFields(ChipEditorDialog& e, const QString& type, const QString& maker, const QString& model,
        const QString& chipClass, const QString& algorithm)
    {
        combo(e, "typeCombo").setEditText(type);
        combo(e, "manufacturerCombo").setEditText(maker);
        combo(e, "nameCombo").setEditText(model);
        choose(combo(e, "classCombo"), chipClass);
        choose(combo(e, "algorithmCombo"), algorithm);
        choose(combo(e, "voltageCombo"), QStringLiteral("5.0V"));
        choose(combo(e, "flashCombo"), QStringLiteral("512B"));
        choose(combo(e, "flashPageCombo"), QStringLiteral("16"));
        combo(e, "chipIdCombo").setEditText(QStringLiteral("0x00ab12"));
        lineEdit(e, "delayEdit").setText(QStringLiteral("20"));
        combo(e, "extendCombo").setEditText(QStringLiteral("5"));
    }
};

} // namespace

TEST_F(ChipEditorFixture, EmptyDatabaseShowsOnlyTheTitleRow)
{
    writeBytes({});
    MainWindow w(&ui, exe());
    ChipEditorDialog& editor = chipEditor(w);
    editor.reloadAndShow();
    EXPECT_EQ(grid(editor).rowCount(), 0);
    QStringList titles;
    for (int c = 0; c < EditorColumns; ++c)
        titles << cell(editor, 0, c);
    EXPECT_EQ(titles, editorColumnTitles());
    QList<int> widths;
    for (int c = 0; c < EditorColumns; ++c)
        widths << grid(editor).columnWidth(c);
    EXPECT_EQ(widths, (QList<int> {75, 75, 75, 60, 60, 60, 60, 60, 60, 60, 75, 60, 60}));
    EXPECT_EQ(combo(editor, "typeCombo").count(), 0);
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(ChipEditorFixture, ColumnsAreAtLeastAsWideAsTheirWidestCell)
{
    writeDatabase({chip(QStringLiteral("SPI-NOR-Flash,MacronixIntl,MX25L25635FMI"), 0xC22019, 0x2000000),
        chip(QStringLiteral("SPI,Winbond,W25Q32"))});
    MainWindow w(&ui, exe());
    ChipEditorDialog& editor = chipEditor(w);
    editor.reloadAndShow();
    QTableWidget& table = grid(editor);
    const QFontMetrics metrics(table.font());
    for (int c = 0; c < EditorColumns; ++c) {
        int widest = 0;
        for (int r = 0; r < table.rowCount(); ++r)
            widest = std::max(widest, metrics.horizontalAdvance(table.item(r, c)->text()));
        EXPECT_GT(table.columnWidth(c), widest) << "column " << c;
        EXPECT_GE(table.columnWidth(c), c == 0 || c == 1 || c == 2 || c == 10 ? 75 : 60) << "column " << c;
    }
}

TEST_F(ChipEditorFixture, ShowReloadsTheFileAndDropsUnsavedRows)
{
    writeDatabase({chip(QStringLiteral("SPI,Winbond,W25Q32")), chip(QStringLiteral("SPI,Macronix,MX25L1005"), 0xC22011),
        chip(QStringLiteral(",,NoType"), 7)});
    MainWindow w(&ui, exe());
    w.show();
    ChipEditorDialog& editor = chipEditor(w);
    editor.reloadAndShow();
    ASSERT_EQ(grid(editor).rowCount(), 3);
    EXPECT_EQ(cell(editor, 2, ColMaker), QStringLiteral("Macronix"));
    EXPECT_EQ(cell(editor, 2, ColChipId), QStringLiteral("0xC22011"));
    EXPECT_EQ(cell(editor, 3, ColType), QString());
    EXPECT_EQ(cell(editor, 3, ColModel), QStringLiteral("NoType"));
    EXPECT_EQ(cell(editor, 3, ColChipId), QStringLiteral("0x7"));
    EXPECT_EQ(combo(editor, "typeCombo").count(), 2) << "SPI and the empty type";
    EXPECT_EQ(combo(editor, "manufacturerCombo").count(), 2);
    EXPECT_EQ(combo(editor, "nameCombo").count(), 3);
    EXPECT_EQ(combo(editor, "typeCombo").currentText(), QStringLiteral("SPI")) << "the first entries are selected";
    EXPECT_EQ(combo(editor, "nameCombo").currentText(), QStringLiteral("W25Q32"));

    fillFields(editor, QStringLiteral("SPI"), QStringLiteral("GigaDevice"), QStringLiteral("GD25Q16"),
        u16(u"25 flash 系列"), QStringLiteral("SST SPI flash"));
    button(editor, "addButton").click();
    ASSERT_EQ(grid(editor).rowCount(), 4);
    EXPECT_EQ(editor.selectedRow(), 4) << "the new row becomes the selected one";
    EXPECT_EQ(grid(editor).currentRow(), 3);

    // Another program changed the file meanwhile: the next opening shows the file, not the grid.
    writeDatabase({chip(QStringLiteral("I2C,Atmel,AT24C02"), 0, 256)});
    editor.reloadAndShow();
    ASSERT_EQ(grid(editor).rowCount(), 1);
    EXPECT_EQ(cell(editor, 1, ColModel), QStringLiteral("AT24C02"));
    EXPECT_EQ(w.chipTable()[0].namesText(), QStringLiteral("I2C,Atmel,AT24C02"))
        << "the main window's table is reloaded";
    EXPECT_EQ(combo(w, "nameCombo").currentText(), QStringLiteral("AT24C02"))
        << "the chip it showed is gone: it shows the first chip and the commands use that one";
    EXPECT_EQ(w.currentRecord().namesText(), QStringLiteral("I2C,Atmel,AT24C02"));
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(ChipEditorFixture, DamagedFileShowsTheFixedTextAndTheTableAsItIs)
{
    writeDatabase({chip(QStringLiteral("SPI,Winbond,W25Q32")), chip(QStringLiteral("SPI,Winbond,W25Q64"))});
    MainWindow w(&ui, exe());
    w.show();
    w.switchLanguage(2);
    writeBytes(QByteArray(69, 'x'));
    chipEditor(w).reloadAndShow();
    EXPECT_EQ(ui.errors, QStringList {u16(u"配置文件被破坏！")}) << "the same text in every language";
    ASSERT_EQ(grid(chipEditor(w)).rowCount(), 2) << "the grid shows what the table held";
    EXPECT_EQ(cell(chipEditor(w), 2, ColModel), QStringLiteral("W25Q64"));
}

TEST_F(ChipEditorFixture, DeletingTheOnlyRowAndSavingWritesOneEndMarker)
{
    writeDatabase({chip(QStringLiteral("SPI,Winbond,W25Q32"))});
    MainWindow w(&ui, exe());
    w.show();
    ChipEditorDialog& editor = chipEditor(w);
    editor.reloadAndShow();
    grid(editor).setCurrentCell(0, 2);
    button(editor, "deleteButton").click();
    EXPECT_EQ(grid(editor).rowCount(), 0);
    button(editor, "deleteButton").click(); // nothing left to delete
    button(editor, "saveButton").click();
    const QByteArray file = readDatabase();
    ASSERT_EQ(file.size(), ChipRecordSize);
    EXPECT_EQ(file.left(20), QByteArray(20, '\0'));
    EXPECT_EQ(w.chipTable().listedCount(), 0);
    EXPECT_EQ(combo(w, "nameCombo").count(), 0) << "the main window's lists follow the saved table";
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_TRUE(ui.informations.isEmpty()) << "no confirmation";
}

TEST_F(ChipEditorFixture, MicrowireRowAddedThroughTheFieldsIsSavedAndLoadsBack)
{
    MainWindow w(&ui, exe());
    w.show();
    ChipEditorDialog& editor = chipEditor(w);
    editor.reloadAndShow();
    fillFields(editor, QStringLiteral(" 93-EEPROM "), QStringLiteral("Microchip"), QStringLiteral("93C66"),
        u16(u"93 eeprom 系列"), QStringLiteral("93C66 16 BITS"));
    EXPECT_EQ(combo(editor, "algorithmCombo").count(), 10) << "the class change lists the class's algorithms";
    button(editor, "addButton").click();
    ASSERT_EQ(grid(editor).rowCount(), 1);
    EXPECT_EQ(cell(editor, 1, ColSubtype), QStringLiteral("89"));
    EXPECT_EQ(cell(editor, 1, ColFlashSize), QStringLiteral("512"));
    EXPECT_EQ(cell(editor, 1, ColChipId), QStringLiteral("0x00ab12"));

    button(editor, "saveButton").click();
    ASSERT_TRUE(ui.errors.isEmpty()) << ui.errors.join(QLatin1Char('\n')).toStdString();
    const QByteArray file = readDatabase();
    ASSERT_EQ(file.size(), 2 * ChipRecordSize);
    const ChipRecord saved = recordAt(file, 0);
    EXPECT_EQ(saved.namesText(), QStringLiteral("93-EEPROM,Microchip,93C66"));
    EXPECT_EQ(saved.chipClass, MicrowireEeprom93);
    EXPECT_EQ(saved.subtype, 89);
    EXPECT_EQ(saved.chipId, 0xAB12u);
    EXPECT_EQ(saved.flashSize, 512u);
    EXPECT_EQ(saved.flashPage, 16);
    EXPECT_EQ(saved.delay, 20);
    EXPECT_EQ(saved.voltage, Volt50);
    EXPECT_EQ(saved.xmlLink, 5);
    EXPECT_EQ(saved.eepromSize, 2) << "the EEPROM lists kept their first values";
    EXPECT_EQ(saved.eepromPage, 4);
    EXPECT_TRUE(recordAt(file, 1).isEnd());

    // Fresh fields, a new opening, a click on the row.
    editor.setFields(ChipEditorFields {});
    editor.reloadAndShow();
    EXPECT_EQ(cell(editor, 1, ColChipId), QStringLiteral("0xAB12")) << "shown back in the 0x%X form";
    grid(editor).setCurrentCell(0, 0);
    EXPECT_EQ(editor.selectedRow(), 1);
    Q_EMIT grid(editor).cellClicked(0, 0);
    EXPECT_EQ(combo(editor, "typeCombo").currentText(), QStringLiteral("93-EEPROM"));
    EXPECT_EQ(combo(editor, "classCombo").currentText(), u16(u"93 eeprom 系列"));
    EXPECT_EQ(combo(editor, "algorithmCombo").currentText(), QStringLiteral("93C66 16 BITS"));
    EXPECT_EQ(combo(editor, "flashCombo").currentText(), QStringLiteral("512B"));
    EXPECT_EQ(combo(editor, "flashPageCombo").currentText(), QStringLiteral("16"));
    EXPECT_EQ(combo(editor, "voltageCombo").currentText(), QStringLiteral("5.0V"));
    EXPECT_EQ(combo(editor, "chipIdCombo").currentText(), QStringLiteral("0xAB12"));
    EXPECT_EQ(lineEdit(editor, "delayEdit").text(), QStringLiteral("20"));
    EXPECT_EQ(combo(editor, "eepromCombo").currentText(), QStringLiteral("2B"));
    EXPECT_EQ(combo(editor, "eepromPageCombo").currentText(), QStringLiteral("4"));
    EXPECT_EQ(combo(editor, "extendCombo").currentText(), QStringLiteral("5"));
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(ChipEditorFixture, WideEepromChoicesAndTheTwoKilobyteClassOneRowLoadBackNarrowed)
{
    MainWindow w(&ui, exe());
    w.show();
    ChipEditorDialog& editor = chipEditor(w);
    editor.reloadAndShow();
    fillFields(editor, QStringLiteral("24-EEPROM"), QStringLiteral("Atmel"), QStringLiteral("AT24C16"),
        u16(u"24 eeprom 系列"), u16(u"大于等于4KB"));
    choose(combo(editor, "flashCombo"), QStringLiteral("2KB"));
    choose(combo(editor, "eepromCombo"), QStringLiteral("64KB"));
    choose(combo(editor, "eepromPageCombo"), QStringLiteral("256"));
    button(editor, "addButton").click();
    button(editor, "saveButton").click();
    ASSERT_TRUE(ui.errors.isEmpty()) << ui.errors.join(QLatin1Char('\n')).toStdString();
    const ChipRecord saved = recordAt(readDatabase(), 0);
    EXPECT_EQ(saved.subtype, 1);
    EXPECT_EQ(saved.eepromSize, 0) << "65536 does not fit 16 bits";
    EXPECT_EQ(saved.eepromPage, 0) << "256 does not fit 8 bits";

    editor.reloadAndShow();
    grid(editor).setCurrentCell(0, 5);
    editor.loadSelectedRow();
    EXPECT_EQ(combo(editor, "algorithmCombo").currentText(), u16(u"小于4KB"))
        << "a 2KB chip of class 1, whatever was stored";
    EXPECT_EQ(combo(editor, "eepromCombo").currentText(), QStringLiteral("0B"));
    EXPECT_EQ(combo(editor, "eepromPageCombo").currentText(), QStringLiteral("1"));
}

TEST_F(ChipEditorFixture, NonIntegerCellStopsTheSaveBeforeTheFile)
{
    writeDatabase({chip(QStringLiteral("SPI,Winbond,W25Q32")), chip(QStringLiteral("SPI,Winbond,W25Q64"))});
    const QByteArray before = readDatabase();
    MainWindow w(&ui, exe());
    w.show();
    ChipEditorDialog& editor = chipEditor(w);
    editor.reloadAndShow();
    grid(editor).item(0, ColModel)->setText(QStringLiteral("W25Q32JV"));
    grid(editor).item(1, ColModel)->setText(QStringLiteral("W25Q64JV"));
    grid(editor).item(1, ColFlashPage)->setText(QStringLiteral("256B"));
    button(editor, "saveButton").click();
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("'256B' is not a valid integer value")});
    EXPECT_EQ(readDatabase(), before) << "the file is not written";
    EXPECT_EQ(w.chipTable()[0].namesText(), QStringLiteral("SPI,Winbond,W25Q32")) << "nor is the table changed";
    EXPECT_EQ(w.chipTable()[1].namesText(), QStringLiteral("SPI,Winbond,W25Q64"));
}

TEST_F(ChipEditorFixture, OneClickLoadsTheRowAndANonIntegerCellStopsIt)
{
    writeDatabase({chip(QStringLiteral("SPI,Winbond,W25Q32"))});
    MainWindow w(&ui, exe());
    w.show();
    ChipEditorDialog& editor = chipEditor(w);
    editor.show(); // opening it runs reloadAndShow
    grid(editor).item(0, ColDelay)->setText(QStringLiteral("1oo"));
    // The grid already has this cell as its current one; clicking it still selects it.
    ASSERT_EQ(grid(editor).currentItem(), grid(editor).item(0, 0));
    ASSERT_EQ(editor.selectedRow(), 0);
    const QPoint onCell = grid(editor).visualItemRect(grid(editor).item(0, 0)).center();
    QTest::mouseEvent(QTest::MouseClick, grid(editor).viewport(), Qt::LeftButton, {}, onCell);
    EXPECT_EQ(editor.selectedRow(), 1);
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("'1oo' is not a valid integer value")});
    EXPECT_EQ(combo(editor, "nameCombo").currentText(), QStringLiteral("W25Q32"));
    EXPECT_EQ(combo(editor, "flashCombo").currentText(), QStringLiteral("4MB")) << "fields before the cell are loaded";
    EXPECT_EQ(combo(editor, "classCombo").currentText(), u16(u"25 flash 系列"));
    EXPECT_EQ(combo(editor, "voltageCombo").currentIndex(), -1) << "fields after it are not";
}

TEST_F(ChipEditorFixture, RefusedCommandsLeaveGridAndFileAlone)
{
    writeDatabase({chip(QStringLiteral("SPI,Winbond,W25Q32"))});
    const QByteArray before = readDatabase();
    MainWindow w(&ui, exe());
    w.show();
    w.switchLanguage(2); // the refusals speak the language in force
    ChipEditorDialog& editor = chipEditor(w);
    editor.reloadAndShow();
    ASSERT_EQ(editor.selectedRow(), 0);

    // As the editor starts, the class and voltage lists have no selection.
    button(editor, "addButton").click();
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("Choose an entry in the list \"Class\" first.")});
    EXPECT_EQ(grid(editor).rowCount(), 1);
    w.switchLanguage(1);
    button(editor, "addButton").click();
    w.switchLanguage(2);
    ASSERT_EQ(ui.errors.size(), 2);
    EXPECT_EQ(ui.errors.takeLast(), QString::fromUtf16(u"請先在列表“芯片類型”中選擇一項。"));

    // Edit before any cell selection would write into the title row.
    fillFields(editor, QStringLiteral("SPI"), QStringLiteral("Winbond"), QStringLiteral("W25Q80"),
        u16(u"25 flash 系列"), u16(u"非SST SPI flash"));
    button(editor, "editButton").click();
    EXPECT_EQ(ui.errors.size(), 1) << "refused without a box";
    EXPECT_EQ(cell(editor, 0, ColModel), u16(u"芯片型号"));
    EXPECT_EQ(cell(editor, 1, ColModel), QStringLiteral("W25Q32"));

    // Names longer than a record holds.
    grid(editor).item(0, ColModel)->setText(QString(40, QLatin1Char('W')));
    button(editor, "saveButton").click();
    ASSERT_EQ(ui.errors.size(), 2);
    EXPECT_TRUE(ui.errors[1].startsWith(QStringLiteral("Row 1: "))) << ui.errors[1].toStdString();
    EXPECT_EQ(readDatabase(), before);
}

TEST_F(ChipEditorFixture, TooManyRowsForTheTableAreNotSaved)
{
    std::vector<ChipRecord> records;
    for (int i = 0; i < ChipSlots; ++i)
        records.push_back(chip(QStringLiteral("SPI,Maker,Chip%1").arg(i), std::uint32_t(i)));
    writeDatabase(records, false);
    const QByteArray before = readDatabase();
    MainWindow w(&ui, exe());
    w.show();
    chipEditor(w).reloadAndShow();
    ASSERT_EQ(grid(chipEditor(w)).rowCount(), ChipSlots);
    button(chipEditor(w), "saveButton").click();
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].contains(QStringLiteral("999"))) << ui.errors[0].toStdString();
    EXPECT_EQ(readDatabase(), before);
}

TEST_F(ChipEditorFixture, SelectedCellDecidesWhatEditAndDeleteChange)
{
    writeDatabase({chip(QStringLiteral("SPI,W,A")), chip(QStringLiteral("SPI,W,B")), chip(QStringLiteral("SPI,W,C"))});
    MainWindow w(&ui, exe());
    w.show();
    ChipEditorDialog& editor = chipEditor(w);
    editor.reloadAndShow();
    grid(editor).setCurrentCell(1, 4);
    EXPECT_EQ(editor.selectedRow(), 2);
    fillFields(editor, QStringLiteral("SPI"), QStringLiteral("W"), QStringLiteral("B2"), u16(u"25 flash 系列"),
        QStringLiteral("SST SPI flash"));
    button(editor, "editButton").click();
    EXPECT_EQ(cell(editor, 2, ColModel), QStringLiteral("B2"));
    EXPECT_EQ(cell(editor, 2, ColSubtype), QStringLiteral("1"));
    EXPECT_EQ(cell(editor, 1, ColModel), QStringLiteral("A"));

    button(editor, "deleteButton").click();
    ASSERT_EQ(grid(editor).rowCount(), 2);
    EXPECT_EQ(cell(editor, 1, ColModel), QStringLiteral("A"));
    EXPECT_EQ(cell(editor, 2, ColModel), QStringLiteral("C"));
    EXPECT_EQ(grid(editor).currentRow(), 1);
}

TEST_F(ChipEditorFixture, CaptionsFollowTheLanguageButTitlesAndEntriesDoNot)
{
    MainWindow w(&ui, exe());
    w.show();
    ChipEditorDialog& editor = chipEditor(w);
    EXPECT_EQ(editor.windowTitle(), u16(u"芯片编辑"));
    EXPECT_EQ(label(editor, "typeLabel").text(), u16(u"种类"));
    EXPECT_EQ(label(w, "typeLabel").text(), u16(u"类型")) << "the main window's Label1 keeps its own text";
    EXPECT_EQ(button(editor, "deleteButton").text(), u16(u"删除"));

    w.switchLanguage(1);
    EXPECT_EQ(editor.windowTitle(), u16(u"芯片編輯"));
    EXPECT_EQ(label(editor, "classLabel").text(), u16(u"芯片類型"));
    EXPECT_EQ(label(editor, "eepromPageLabel").text(), u16(u"EEPROM頁"));
    EXPECT_EQ(button(editor, "editButton").text(), u16(u"編輯"));

    w.switchLanguage(2);
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("Chip Editor"));
    EXPECT_EQ(child<QGroupBox>(editor, "fieldsGroup")->title(), QStringLiteral("Config"));
    EXPECT_EQ(label(editor, "nameLabel").text(), QStringLiteral("Name"));
    EXPECT_EQ(label(editor, "extendLabel").text(), QStringLiteral("Extend"));
    EXPECT_EQ(button(editor, "quitButton").text(), QStringLiteral("Quit"));
    EXPECT_EQ(child<QGroupBox>(w, "chipGroup")->title(), QStringLiteral("Chip"));
    editor.reloadAndShow();
    EXPECT_EQ(cell(editor, 0, ColClass), u16(u"类型")) << "grid titles stay Simplified Chinese";
    EXPECT_EQ(combo(editor, "classCombo").itemText(0), u16(u"25 flash 系列"));

    w.switchLanguage(0);
    EXPECT_EQ(child<QGroupBox>(editor, "fieldsGroup")->title(), u16(u"配置"));
    EXPECT_EQ(label(editor, "voltageLabel").text(), u16(u"工作电压"));
    EXPECT_EQ(button(editor, "saveButton").text(), u16(u"保存"));
}

TEST_F(ChipEditorFixture, DeviceButtonAndMenuOpenTheEditorModally)
{
    writeIni("[DEVICE]\nchip=1\n");
    writeDatabase({chip(QStringLiteral("SPI,W,A")), chip(QStringLiteral("SPI,W,B"))});
    MainWindow w(&ui, exe());
    w.show();
    ASSERT_TRUE(action(w, "deviceAction").isVisible());
    ASSERT_FALSE(chipEditor(w).isVisible()) << "created hidden";

    // The close request waits in the queue until the dialog's own event loop runs.
    QMetaObject::invokeMethod(&chipEditor(w), &QDialog::reject, Qt::QueuedConnection);
    action(w, "deviceAction").trigger();
    EXPECT_EQ(grid(chipEditor(w)).rowCount(), 2) << "opening loaded the grid";
    EXPECT_FALSE(chipEditor(w).isVisible());

    writeDatabase({chip(QStringLiteral("SPI,W,A"))});
    QMetaObject::invokeMethod(&chipEditor(w), &QDialog::reject, Qt::QueuedConnection);
    action(w, "deviceAction").trigger();
    EXPECT_EQ(grid(chipEditor(w)).rowCount(), 1);
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(ChipEditorFixture, AfterASaveTheWindowSelectsTheSameChipByItsNames)
{
    writeIni("[CHIP]\nINDEX3=1\n");
    writeDatabase({chip(QStringLiteral("SPI,W,A"), 1, 0x1000), chip(QStringLiteral("SPI,W,B"), 2, 0x2000)});
    MainWindow w(&ui, exe());
    w.show();
    ASSERT_EQ(w.currentRecord().namesText(), QStringLiteral("SPI,W,B"));
    ChipEditorDialog& editor = chipEditor(w);
    editor.reloadAndShow();
    grid(editor).setCurrentCell(0, 0);
    button(editor, "deleteButton").click();
    button(editor, "saveButton").click();
    ASSERT_TRUE(ui.errors.isEmpty()) << ui.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(w.selection().currentChip(), 0);
    EXPECT_EQ(w.currentRecord().namesText(), QStringLiteral("SPI,W,B")) << "the commands use the chip shown";
    EXPECT_EQ(combo(w, "nameCombo").currentText(), QStringLiteral("B"));
    EXPECT_EQ(w.nameIndex(), 0) << "the saved indices designate it too";
    EXPECT_EQ(hexView(w).dataSize(), 0x2000);
}

TEST_F(ChipEditorFixture, ClosingWithRowsNotSavedAsksFirst)
{
    writeDatabase({chip(QStringLiteral("SPI,W,A"), 1, 0x1000), chip(QStringLiteral("SPI,W,B"), 2, 0x2000)});
    MainWindow w(&ui, exe());
    w.show();
    ChipEditorDialog& editor = chipEditor(w);
    editor.show();
    QTest::keyEvent(QTest::Click, &editor, Qt::Key_Escape);
    EXPECT_TRUE(ui.questions.isEmpty()) << "nothing changed: nothing to ask";
    editor.show();
    grid(editor).setCurrentCell(0, 0);
    editor.deleteChip();
    ui.answers = {false, true};
    QTest::keyEvent(QTest::Click, &editor, Qt::Key_Escape);
    EXPECT_TRUE(editor.isVisible()) << "No keeps the editor and its rows";
    EXPECT_EQ(editor.model().rowCount(), 2) << "the title row and the row left";
    QTest::mouseEvent(QTest::MouseClick, &button(editor, "quitButton"), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(ui.questions, QStringList(2, QString::fromUtf16(u"芯片列表有未保存的修改。仍要关闭吗？")));
}

TEST_F(ChipEditorFixture, NamesInQuotesShowWithoutThemAndKeepThemInTheGrid)
{
    writeDatabase({chip(QStringLiteral("\"25 SPI Flash\",Winbond,W25X80"))});
    MainWindow w(&ui, exe());
    w.show();
    ChipEditorDialog& editor = chipEditor(w);
    editor.reloadAndShow();
    EXPECT_EQ(combo(editor, "typeCombo").itemText(0), QStringLiteral("25 SPI Flash"));
    editor.setFields(ChipEditorFields {});
    editor.selectCell(1);
    Q_EMIT grid(editor).cellClicked(0, 0);
    EXPECT_EQ(combo(editor, "typeCombo").currentText(), QStringLiteral("25 SPI Flash"));
    editor.editChip();
    EXPECT_EQ(cell(editor, 1, ColType), QStringLiteral("\"25 SPI Flash\"")) << "the database's spelling";
    EXPECT_TRUE(ui.errors.isEmpty());
}
