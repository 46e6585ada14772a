#include "app/AboutBox.h"
#include "app/QtUserInterface.h"
#include "hexview/HexEditor.h"
#include "tests/app/MainWindowControls.h"
#include "tests/support/ScriptedUserInterface.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest/qtestspontaneevent.h>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace kestrum;
using namespace kestrum::test;

namespace {

void addChip(std::vector<ChipRecord>& records, const char* names, std::uint32_t size, std::uint16_t page = 256)
{
    ChipRecord r {};
    EXPECT_TRUE(r.setNamesText(QString::fromUtf8(names)));
    r.flashSize = size;
    r.flashPage = page;
    records.push_back(r);
}

struct MainWindowFixture : ::testing::Test
{
    // Without a stored language the window follows the locale; these tests run in Simplified Chinese.
    MainWindowFixture() { QLocale::setDefault(QLocale(QStringLiteral("zh_CN"))); }
    ~MainWindowFixture() override { QLocale::setDefault(QLocale::c()); }

    QTemporaryDir dir;
    ScriptedUserInterface ui;

    QString exe() const { return dir.filePath(QStringLiteral("kestrum")); }
    QString ini() const { return dir.filePath(QStringLiteral("kestrum.ini")); }

    void writeIni(const char* text) const
    {
        QFile f(ini());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    void writeDatabase() const
    {
        std::vector<ChipRecord> records;
        addChip(records, "SPI-Flash,Winbond,W25Q16", 0x200000);
        addChip(records, "SPI-Flash,Winbond,W25Q32", 0x400000);
        addChip(records, "SPI-Flash,Macronix,MX25L1005", 0x20000);
        addChip(records, "24-EEPROM,Atmel,AT24C02", 256, 8);
        addChip(records, "24-EEPROM,Atmel,AT24C16", 2048, 16);
        records.push_back(ChipRecord {});
        QFile f(dir.filePath(QStringLiteral("kestrum.Dat")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(records.data()), qsizetype(records.size() * sizeof(ChipRecord)));
    }
    QString readIni() const
    {
        QFile f(ini());
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return QString::fromUtf8(f.readAll());
    }
};

} // namespace

TEST_F(MainWindowFixture, FirstStartWithoutSettingsUsesDefaults)
{
    TForm1 w(&ui, exe());
    w.show();
    EXPECT_EQ(w.size(), clampWindowSize(QSize(881, 518), w.screen()->availableSize()))
        << "the design size shows a whole row of the hex view";
    EXPECT_EQ(w.typeIndex(), 0);
    EXPECT_EQ(w.makerIndex(), 0);
    EXPECT_EQ(w.nameIndex(), 0);
    EXPECT_EQ(combo(w, "ComboBox4").currentText(), QStringLiteral("12MHz"));
    EXPECT_EQ(w.speedByte(), 0);
    EXPECT_FALSE(action(w, "ToolDevice").isVisible());
    EXPECT_FALSE(action(w, "N3").isVisible());
    EXPECT_EQ(w.reporter().language(), 0);
    EXPECT_EQ(statusBar(w).panelText(1), QString::fromUtf16(u"编程器未接入"));
    EXPECT_TRUE(statusBar(w).panel1IsRed());
    EXPECT_EQ(statusBar(w).panelText(3), QStringLiteral("00:00:00"));
    EXPECT_EQ(combo(w, "ComboBox1").count(), 0) << "no database: empty lists";
    for (const char* option : {"CheckBox1", "CheckBox2", "CheckBox3"})
        EXPECT_TRUE(child<QCheckBox>(w, option)->isChecked()) << option;
    w.close();
    EXPECT_TRUE(QFile::exists(ini())) << "the settings file is created at the first close";
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(MainWindowFixture, SettingsRoundTripKeepsTheChipKey)
{
    writeIni("[DEVICE]\nchip=5\nSPEED=3\nLANGU=2\n[Environment]\nFormWidth=800\nFormHeight=600\n");
    {
        TForm1 w(&ui, exe());
        w.show();
        EXPECT_TRUE(action(w, "ToolDevice").isVisible());
        EXPECT_TRUE(action(w, "N3").isVisible());
        EXPECT_EQ(combo(w, "ComboBox4").currentText(), QStringLiteral("1.5MHz"));
        EXPECT_EQ(w.width(), 800);
        EXPECT_EQ(w.height(), 600);
        EXPECT_EQ(w.reporter().language(), 2);
        combo(w, "ComboBox4").setCurrentIndex(5);
        w.close();
    }
    const QString text = readIni();
    EXPECT_TRUE(text.contains(QStringLiteral("chip=5")));
    EXPECT_TRUE(text.contains(QStringLiteral("SPEED=5")));
    EXPECT_TRUE(text.contains(QStringLiteral("LANGU=2")));
    EXPECT_TRUE(text.contains(QStringLiteral("FormMax=0")));
    EXPECT_TRUE(text.contains(QStringLiteral("FormWidth=800")));
}

TEST_F(MainWindowFixture, MaximisedWindowIsStoredAndRestoredMaximised)
{
    {
        TForm1 w(&ui, exe());
        w.show();
        w.showMaximized();
        w.close();
    }
    EXPECT_TRUE(readIni().contains(QStringLiteral("FormMax=1")));
    TForm1 again(&ui, exe());
    again.show();
    EXPECT_TRUE(again.isMaximized());
}

TEST_F(MainWindowFixture, SpeedOutsideTheListLeavesNoSelection)
{
    writeIni("[DEVICE]\nSPEED=17\n");
    TForm1 w(&ui, exe());
    EXPECT_EQ(combo(w, "ComboBox4").currentIndex(), -1);
    EXPECT_EQ(w.speedByte(), 0xFF);
}

TEST_F(MainWindowFixture, ShowLoadsTheDatabaseAndRestoresTheChip)
{
    writeDatabase();
    writeIni("[CHIP]\nINDEX1=0\nINDEX2=0\nINDEX3=1\n");
    TForm1 w(&ui, exe());
    w.show();
    EXPECT_EQ(combo(w, "ComboBox1").count(), 2);
    EXPECT_EQ(combo(w, "ComboBox2").count(), 2);
    EXPECT_EQ(combo(w, "ComboBox3").currentText(), QStringLiteral("W25Q32"));
    EXPECT_EQ(lineEdit(w, "Edit1").text(), QStringLiteral("4194304"));
    EXPECT_EQ(combo(w, "ComboBox5").currentText(), QStringLiteral("4MB"));
    EXPECT_EQ(lineEdit(w, "Edit2").text(), QStringLiteral("256"));
    EXPECT_EQ(hexView(w).GetDataSize(), 0x400000) << "the view spans the chip";
    EXPECT_EQ(w.dataBuffer().usedLength, 0);
    std::vector<std::uint8_t> view(16);
    hexView(w).ReadBuffer(view.data(), 0x3FFFF0, 16);
    EXPECT_EQ(view, std::vector<std::uint8_t>(16, 0xFF));
}

TEST_F(MainWindowFixture, SavedIndicesThatDesignateNoChipSelectTheFirstChip)
{
    writeDatabase();
    writeIni("[CHIP]\nINDEX1=0\nINDEX2=1\nINDEX3=7\n");
    TForm1 w(&ui, exe());
    w.show();
    EXPECT_EQ(combo(w, "ComboBox3").currentText(), QStringLiteral("W25Q16"));
    EXPECT_EQ(w.selection().shownChip(), 0);
    EXPECT_EQ(hexView(w).GetDataSize(), 0x200000);
    EXPECT_EQ(std::vector<int>({w.typeIndex(), w.makerIndex(), w.nameIndex()}), std::vector<int>({0, 0, 0}));
}

TEST_F(MainWindowFixture, TypeChangeResetsManufacturerAndName)
{
    writeDatabase();
    writeIni("[CHIP]\nINDEX1=0\nINDEX2=1\nINDEX3=0\n");
    TForm1 w(&ui, exe());
    w.show();
    ASSERT_EQ(combo(w, "ComboBox3").currentText(), QStringLiteral("MX25L1005"));
    combo(w, "ComboBox1").setCurrentIndex(1);
    w.ComboBox1Change();
    EXPECT_EQ(w.typeIndex(), 1);
    EXPECT_EQ(w.makerIndex(), 0);
    EXPECT_EQ(w.nameIndex(), 0);
    EXPECT_EQ(combo(w, "ComboBox2").currentText(), QStringLiteral("Atmel"));
    EXPECT_EQ(combo(w, "ComboBox3").currentText(), QStringLiteral("AT24C02"));
    EXPECT_EQ(hexView(w).GetDataSize(), 256);

    combo(w, "ComboBox3").setCurrentIndex(1);
    w.ComboBox3Change();
    EXPECT_EQ(w.nameIndex(), 1);
    EXPECT_EQ(lineEdit(w, "Edit2").text(), QStringLiteral("16"));
    w.close();
    EXPECT_TRUE(readIni().contains(QStringLiteral("INDEX1=1\nINDEX2=0\nINDEX3=1")));
}

TEST_F(MainWindowFixture, RecordWithTooFewNamesIsShownAsAnErrorAndTheProgramGoesOn)
{
    std::vector<ChipRecord> records;
    addChip(records, "SPI-Flash,Winbond,W25Q16", 0x200000);
    addChip(records, "SPI-Flash,Broken", 0x1000);
    QFile f(dir.filePath(QStringLiteral("kestrum.Dat")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(records.data()), qsizetype(records.size() * sizeof(ChipRecord)));
    f.close();
    writeIni("[CHIP]\nINDEX2=1\n");
    TForm1 w(&ui, exe());
    w.show();
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_EQ(ui.errors[0], QStringLiteral("List index out of bounds (2)"));
    EXPECT_EQ(combo(w, "ComboBox2").count(), 2);
    EXPECT_EQ(w.windowTitle(), QString::fromUtf16(u"Kestrum USB高速编程器")) << "the captions are applied all the same";
    EXPECT_TRUE(action(w, "China").isChecked());
}

TEST_F(MainWindowFixture, SearchDialogFiltersLiveAndSelectsAndRemembersTheChip)
{
    writeDatabase();
    TForm1 w(&ui, exe());
    w.show();
    TForm3& find = searchDialog(w);
    QTreeWidget& list = *child<QTreeWidget>(find, "ListView1");
    find.FormShow();
    EXPECT_EQ(list.topLevelItemCount(), 5);
    EXPECT_EQ(list.headerItem()->text(3), QStringLiteral("pos"));
    EXPECT_EQ(list.headerItem()->text(0), QString::fromUtf16(u"类型"));
    const QList<int> widths {list.columnWidth(0), list.columnWidth(1), list.columnWidth(2), list.columnWidth(3)};
    EXPECT_EQ(widths, (QList<int> {80, 80, 100, 1})) << "the slot column stays out of sight";
    EXPECT_FALSE(button(find, "BitBtn1").isEnabled());

    combo(find, "ComboBox1").setEditText(QStringLiteral("C16"));
    ASSERT_EQ(list.topLevelItemCount(), 1);
    EXPECT_EQ(list.topLevelItem(0)->text(3), QStringLiteral("4"));
    combo(find, "ComboBox1").setEditText(QStringLiteral("c16"));
    EXPECT_EQ(list.topLevelItemCount(), 1) << "the search ignores letter case";
    combo(find, "ComboBox1").setEditText(QStringLiteral("Atmel"));
    ASSERT_EQ(list.topLevelItemCount(), 2);
    // The window system showing the open dialog again (after a minimise) is no new opening.
    QShowEvent again;
    QSpontaneKeyEvent::setSpontaneous(&again);
    QCoreApplication::instance()->notify(&find, &again); // keeps the event spontaneous
    ASSERT_EQ(list.topLevelItemCount(), 2) << "the filtered list stays";

    list.topLevelItem(1)->setSelected(true);
    EXPECT_TRUE(button(find, "BitBtn1").isEnabled());
    find.BitBtn1Click();
    EXPECT_EQ(combo(w, "ComboBox1").currentText(), QStringLiteral("24-EEPROM"));
    EXPECT_EQ(combo(w, "ComboBox3").currentText(), QStringLiteral("AT24C16"));
    EXPECT_EQ(w.selection().currentChip(), 4);
    EXPECT_EQ(hexView(w).GetDataSize(), 2048);
    EXPECT_EQ(w.typeIndex(), 1) << "a chip chosen by search is remembered like one chosen in the lists";
    EXPECT_EQ(w.nameIndex(), 1);
}

TEST_F(MainWindowFixture, SearchListEndsWithAnErrorAtARecordWithTooFewNames)
{
    std::vector<ChipRecord> records;
    addChip(records, "SPI-Flash,Winbond,W25Q16", 0x200000);
    addChip(records, "EEPROM,Atmel", 256);
    addChip(records, "SPI-Flash,Winbond,W25Q32", 0x400000);
    QFile f(dir.filePath(QStringLiteral("kestrum.Dat")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(records.data()), qsizetype(records.size() * sizeof(ChipRecord)));
    f.close();
    TForm1 w(&ui, exe());
    w.show();
    ASSERT_TRUE(ui.errors.isEmpty()) << "the type list reads the first names only";
    TForm3& find = searchDialog(w);
    QTreeWidget& list = *child<QTreeWidget>(find, "ListView1");
    find.show();
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("List index out of bounds (2)")});
    ASSERT_EQ(list.topLevelItemCount(), 1) << "the rows before the record stay";
    EXPECT_EQ(list.topLevelItem(0)->text(2), QStringLiteral("W25Q16"));
    combo(find, "ComboBox1").setEditText(QStringLiteral("W25"));
    EXPECT_EQ(list.topLevelItemCount(), 2) << "a record that does not match is not split";
    EXPECT_EQ(ui.errors.size(), 1);
    find.hide();
}

TEST_F(MainWindowFixture, EachWindowsControlsAreFoundInThatWindowOnly)
{
    TForm1 w(&ui, exe());
    EXPECT_THROW(child<QTreeWidget>(w, "ListView1"), std::logic_error) << "the search dialog's list is its own";
    EXPECT_THROW(child<QRadioButton>(w, "RadioButton1"), std::logic_error);
    EXPECT_EQ(label(w, "Label1").window(), &w);
    EXPECT_EQ(label(searchDialog(w), "Label1").window(), &searchDialog(w));
    EXPECT_EQ(label(chipEditor(w), "Label1").window(), &chipEditor(w));
}

TEST_F(MainWindowFixture, FillOpensWithTheEndOfTheSelectedChip)
{
    writeDatabase();
    writeIni("[CHIP]\nINDEX1=0\nINDEX2=0\nINDEX3=1\n");
    TForm1 w(&ui, exe());
    w.show();
    ASSERT_EQ(w.chipSize(), 0x400000u);
    TForm4& fill = fillDialog(w);
    lineEdit(fill, "Edit4").setText(QStringLiteral("10"));
    // The close request waits in the queue until the dialog's own event loop runs.
    QMetaObject::invokeMethod(&fill, &QDialog::reject, Qt::QueuedConnection);
    action(w, "ToolFill").trigger();
    EXPECT_EQ(lineEdit(fill, "Edit4").text(), QStringLiteral("3FFFFF"));
    EXPECT_FALSE(fill.isVisible());

    // The menu item opens it the same way, for the chip selected then.
    combo(w, "ComboBox1").setCurrentIndex(1);
    w.ComboBox1Change();
    QMetaObject::invokeMethod(&fill, &QDialog::reject, Qt::QueuedConnection);
    action(w, "Fill").trigger();
    EXPECT_EQ(lineEdit(fill, "Edit4").text(), QStringLiteral("FF"));
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(MainWindowFixture, AboutBoxIsAFixedDialogCentredOnTheScreen)
{
    TForm1 w(&ui, exe());
    w.show();
    w.move(0, 0);
    TAboutBox& about = *child<TAboutBox>(w, "AboutBox");
    about.show();
    const QRect screen = about.screen()->availableGeometry();
    EXPECT_LE((about.frameGeometry().center() - screen.center()).manhattanLength(), 2)
        << "centred on the screen, not on the main window";
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
    const QLabel* notice = about.findChild<QLabel*>(QStringLiteral("Copyright"));
    EXPECT_GE(notice->height(), notice->heightForWidth(notice->width())) << "the wrapped notice is not cut off";
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("Version"))->text(), QStringLiteral("Kestrum Version 2.0"));
    about.hide();
}

TEST_F(MainWindowFixture, ProgressBarSitsInTheStatusBarAndFollowsResizes)
{
    TForm1 w(&ui, exe());
    w.show();
    QProgressBar* bar = statusBar(w).progress();
    EXPECT_EQ(bar->parentWidget(), &statusBar(w));
    EXPECT_FALSE(bar->isVisible());
    w.resize(1000, 500);
    EXPECT_EQ(bar->x(), 317);
    EXPECT_EQ(bar->width(), statusBar(w).width() - 315);
    w.resize(750, 500);
    EXPECT_EQ(bar->x(), 317);
    EXPECT_EQ(bar->width(), statusBar(w).width() - 315);

    // Shown during a job, it leaves panel 4 room for the rate and the time left.
    const QString rate = QStringLiteral("12.4 MB/s, 0:07 left");
    statusBar(w).setPanelText(4, rate);
    bar->show();
    const QRect panel4 = statusBar(w).panelRect(4);
    EXPECT_EQ(panel4.left(), bar->geometry().right() + 1);
    EXPECT_EQ(panel4.right(), statusBar(w).width() - 1);
    EXPECT_GE(panel4.width(), statusBar(w).fontMetrics().horizontalAdvance(rate) + 6);
    bar->hide();
    EXPECT_EQ(bar->width(), statusBar(w).width() - 315);
    EXPECT_EQ(statusBar(w).panelRect(4).left(), 315);
}

TEST_F(MainWindowFixture, ToolBarHoldsTheButtonsInOrder)
{
    writeIni("[DEVICE]\nchip=1\n");
    TForm1 w(&ui, exe());
    w.show();
    QStringList names;
    for (QAction* a : child<QToolBar>(w, "ToolBar1")->actions())
        names << (a->isSeparator() ? QStringLiteral("|") : a->objectName());
    EXPECT_EQ(names.join(QLatin1Char(' ')),
        QStringLiteral("ToolOpen ToolSave | ToolRead ToolErase ToolWrite ToolVerify ToolAuto | ToolBank ToolFill | "
                       "ToolDevice ToolAbout"));
    EXPECT_EQ(child<QToolBar>(w, "ToolBar1")->height(), 57);
    EXPECT_EQ(child<QWidget>(w, "Panel2")->width(), 185);
    EXPECT_EQ(child<QGroupBox>(w, "GroupBox1")->height(), 184);
    EXPECT_EQ(child<QWidget>(w, "Panel8")->height(), 104);
    EXPECT_EQ(child<QTextEdit>(w, "RichEdit1")->height(), 91);
    EXPECT_EQ(combo(w, "ComboBox5").geometry(), lineEdit(w, "Edit1").geometry())
        << "the size list lies over the capacity field";
}

TEST_F(MainWindowFixture, LogLinesGoToTheTopOfTheLogBox)
{
    TForm1 w(&ui, exe());
    w.reporter().AddLogLine(QStringLiteral("first"));
    w.reporter().AddLogLine(QStringLiteral("second"));
    EXPECT_EQ(child<QTextEdit>(w, "RichEdit1")->toPlainText(), QStringLiteral("002:second\n001:first"));
    EXPECT_EQ(ui.log.first(), QStringLiteral("002:second"));
}

TEST(StatusPanel, RedExactlyWhenTheTextIsNotConnectedInTheCurrentLanguage)
{
    EXPECT_TRUE(isNotConnectedText(QStringLiteral("Not connected"), 2));
    EXPECT_FALSE(isNotConnectedText(QStringLiteral("Not connected"), 0));
    EXPECT_TRUE(isNotConnectedText(QString::fromUtf16(u"編程器未接入"), 1));
    EXPECT_FALSE(isNotConnectedText(QString::fromUtf16(u"编程器未接入"), 1))
        << "the Simplified text is not red in Traditional";
    EXPECT_FALSE(isNotConnectedText(QStringLiteral("Ready"), 2));
}

TEST_F(MainWindowFixture, LanguageSwitchSetsEveryCaptionAndTheCheckMarks)
{
    TForm1 w(&ui, exe());
    w.show();
    EXPECT_EQ(w.windowTitle(), QString::fromUtf16(u"Kestrum USB高速编程器")) << "language 0 at the first start";
    EXPECT_EQ(child<QMenu>(w, "O1")->title(), QString::fromUtf16(u"文件(&F)")) << "the menus take the language too";
    EXPECT_EQ(child<QMenu>(w, "H1")->title(), QString::fromUtf16(u"帮助(&H)"));
    EXPECT_EQ(action(w, "ToolFill").text(), QString::fromUtf16(u"填充"));
    EXPECT_TRUE(action(w, "China").isChecked());

    w.switchLanguage(2);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Kestrum USB High Speed Programmer"));
    EXPECT_EQ(action(w, "ToolFill").text(), QStringLiteral("FIll"));
    EXPECT_EQ(label(w, "Label2").text(), QStringLiteral("Manufacturer"));
    EXPECT_EQ(child<QGroupBox>(w, "GroupBox2")->title(), QStringLiteral("Auto Options"));
    EXPECT_EQ(child<QMenu>(w, "O3")->title(), QStringLiteral("Operation(&O)"));
    EXPECT_EQ(statusBar(w).panelText(0), QStringLiteral("State"));
    EXPECT_EQ(statusBar(w).panelText(2), QStringLiteral("Use time"));
    EXPECT_EQ(searchDialog(w).windowTitle(), QStringLiteral("Chip Select"));
    EXPECT_EQ(button(searchDialog(w), "BitBtn1").text(), QStringLiteral("Select"));
    EXPECT_EQ(label(searchDialog(w), "Label1").text(), QStringLiteral("Find"));
    EXPECT_EQ(fillDialog(w).windowTitle(), QStringLiteral("Fill"));
    EXPECT_EQ(child<QRadioButton>(fillDialog(w), "RadioButton1")->text(), QStringLiteral("Byte(8bits)"));
    EXPECT_EQ(child<QGroupBox>(fillDialog(w), "GroupBox2")->title(), QStringLiteral("Range"));
    EXPECT_EQ(button(fillDialog(w), "BitBtn2").text(), QStringLiteral("Cance"));
    EXPECT_EQ(label(w, "Label1").text(), QStringLiteral("Type"))
        << "the dialog's Label1 must not take the main window's text";
    EXPECT_TRUE(action(w, "Enlish").isChecked());
    EXPECT_FALSE(action(w, "China").isChecked());
    // Panel 1 keeps its Chinese text; it is red only while it equals the current language's text.
    EXPECT_EQ(statusBar(w).panelText(1), QString::fromUtf16(u"编程器未接入"));
    EXPECT_FALSE(statusBar(w).panel1IsRed());

    w.switchLanguage(1);
    EXPECT_EQ(action(w, "China").text(), QString::fromUtf16(u"中文简体"));
    EXPECT_EQ(action(w, "fanti").text(), QString::fromUtf16(u"中文繁體"));
    EXPECT_EQ(action(w, "Enlish").text(), QStringLiteral("Enlish"));

    w.switchLanguage(0);
    EXPECT_EQ(w.windowTitle(), QString::fromUtf16(u"Kestrum USB高速编程器"));
    EXPECT_EQ(action(w, "China").text(), QString::fromUtf16(u"中文"));
    EXPECT_EQ(action(w, "fanti").text(), QString::fromUtf16(u"繁體"));
    EXPECT_EQ(button(searchDialog(w), "BitBtn2").text(), QString::fromUtf16(u"退出"));
    EXPECT_EQ(label(fillDialog(w), "Label2").text(), QString::fromUtf16(u"结束地址"));
    EXPECT_EQ(button(fillDialog(w), "BitBtn1").text(), QString::fromUtf16(u"确定"));
    EXPECT_TRUE(statusBar(w).panel1IsRed());
    w.close();
    EXPECT_TRUE(readIni().contains(QStringLiteral("LANGU=0")));
}

TEST_F(MainWindowFixture, LanguageOutsideTheTableIsTreatedAsSimplifiedChinese)
{
    writeIni("[DEVICE]\nLANGU=9\n");
    TForm1 w(&ui, exe());
    w.show();
    EXPECT_EQ(w.reporter().language(), 0);
    EXPECT_EQ(w.windowTitle(), QString::fromUtf16(u"Kestrum USB高速编程器"));
    EXPECT_TRUE(action(w, "China").isChecked());
    w.close();
    EXPECT_TRUE(readIni().contains(QStringLiteral("LANGU=0")));
}

TEST_F(MainWindowFixture, EditsInTheViewAreTakenBackUpToTheChipSize)
{
    writeDatabase();
    writeIni("[CHIP]\nINDEX1=1\nINDEX3=0\n");
    TForm1 w(&ui, exe());
    w.show();
    ASSERT_EQ(hexView(w).GetDataSize(), 256);
    w.TakeViewEdits();
    EXPECT_EQ(w.dataBuffer().usedLength, 0) << "a view that was never edited hands nothing back";

    HexEditor& editor = hexView(w).editor();
    ASSERT_TRUE(editor.keyPress(QLatin1Char('1')));
    ASSERT_TRUE(editor.keyPress(QLatin1Char('2')));
    EXPECT_TRUE(hexView(w).GetModified());
    w.TakeViewEdits();
    EXPECT_EQ(w.dataBuffer().usedLength, 256);
    EXPECT_EQ(w.dataBuffer().data()[0], 0x12);
    EXPECT_FALSE(hexView(w).GetModified());

    // Changing the chip reloads the view from the buffer and drops edits not taken back.
    ASSERT_TRUE(editor.keyPress(QLatin1Char('7')));
    combo(w, "ComboBox3").setCurrentIndex(1);
    w.ComboBox3Change();
    EXPECT_EQ(hexView(w).GetDataSize(), 2048);
    EXPECT_FALSE(hexView(w).GetModified());
    std::uint8_t first = 0;
    hexView(w).ReadBuffer(&first, 0, 1);
    EXPECT_EQ(first, 0x12);
}

TEST_F(MainWindowFixture, OpenLoadsIntoTheBufferShowsChipSizeAndSaveTakesViewEdits)
{
    writeDatabase();
    writeIni("[CHIP]\nINDEX1=1\nINDEX3=0\n");
    TForm1 w(&ui, exe());
    w.show();
    const QString in = dir.filePath(QStringLiteral("in.bin"));
    {
        QFile f(in);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(300, '\x5A'));
    }
    ui.openFiles.push_back(in);
    action(w, "O2").trigger();
    EXPECT_EQ(w.dataBuffer().usedLength, 300);
    EXPECT_EQ(hexView(w).GetDataSize(), 256) << "the view shows the chip size";
    ASSERT_FALSE(ui.log.isEmpty());
    EXPECT_TRUE(ui.log.first().endsWith(QStringLiteral("in.bin")));

    ASSERT_TRUE(hexView(w).editor().keyPress(QLatin1Char('0')));
    const QString out = dir.filePath(QStringLiteral("out.bin"));
    ui.saveFiles.push_back(out);
    action(w, "ToolSave").trigger();
    QFile saved(out);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    ASSERT_EQ(bytes.size(), 256);
    EXPECT_EQ(std::uint8_t(bytes[0]), 0x0A) << "the edit in the view is saved";
    EXPECT_EQ(std::uint8_t(bytes[1]), 0x5A);
    EXPECT_FALSE(hexView(w).GetModified()) << "the edit was taken into the buffer";
    EXPECT_EQ(w.dataBuffer().usedLength, 256) << "taking the view's edits sets the used length to the view";
}

TEST_F(MainWindowFixture, TheFirstShowProbesTheProgrammerEvenWithoutActivation)
{
    writeIni("[DEVICE]\nLANGU=2\n");
    TForm1 w(&ui, exe());
    w.show();
    QCoreApplication::processEvents();
    // No programmer on this machine's buses: the probe writes the English text, drawn red.
    EXPECT_EQ(statusBar(w).panelText(1), QStringLiteral("Not connected"));
    EXPECT_TRUE(statusBar(w).panel1IsRed());
    EXPECT_TRUE(ui.log.isEmpty());
}

TEST_F(MainWindowFixture, KeysChangedByHandWhileRunningSurviveTheClose)
{
    writeIni("[DEVICE]\nSPEED=2\n[Mine]\nnote=old\n");
    TForm1 w(&ui, exe());
    w.show();
    // The user follows the README while the program runs.
    writeIni("[DEVICE]\nSPEED=2\nchip=1\n[Mine]\nnote=new\n");
    combo(w, "ComboBox4").setCurrentIndex(4);
    w.close();
    const QString text = readIni();
    EXPECT_TRUE(text.contains(QStringLiteral("chip=1\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("note=new\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("SPEED=4\n"))) << "the program's own keys are its own";
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(MainWindowFixture, AWindowSizeBeyondTheScreenIsClampedAndSavedClamped)
{
    writeIni("[Environment]\nFormWidth=2147483647\nFormHeight=2147483647\n");
    TForm1 w(&ui, exe());
    w.show();
    const QSize screen = w.screen()->availableSize();
    EXPECT_LE(w.width(), screen.width());
    EXPECT_LE(w.height(), screen.height());
    w.close();
    IniFile file(ini());
    file.load();
    EXPECT_LE(LoadSettings(file).formWidth, screen.width());
    EXPECT_LE(LoadSettings(file).formHeight, screen.height());
}

TEST(QtFileDialogs, ANameWithoutExtensionGetsTheSuffixOfTheChosenFilter)
{
    QStringList suffixes;
    for (const QString& entry : QtUserInterface::qtFilter(saveFileFilter(EnglishLanguage)).split(QStringLiteral(";;")))
        suffixes << QtUserInterface::suffixForFilter(entry, QStringLiteral("hex"));
    EXPECT_EQ(suffixes, QStringList({"bin", "hex", "rom", "s19", "hex"})) << "All files keeps the default";
    EXPECT_TRUE(
        QtUserInterface::qtFilter(saveFileFilter(0)).contains(QString::fromUtf16(u"Motorola S-record 格式 (*.s19")));
}
