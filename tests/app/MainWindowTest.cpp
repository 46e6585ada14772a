#include "app/AboutBox.h"
#include "app/QtUserInterface.h"
#include "base/Language.h"
#include "hexview/HexEditor.h"
#include "tests/app/MainWindowControls.h"
#include "tests/support/ScriptedUserInterface.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
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

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <tuple>

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
    MainWindow w(&ui, exe());
    w.show();
    EXPECT_EQ(w.size(), clampWindowSize(QSize(881, 518), w.screen()->availableSize()))
        << "the design size shows a whole row of the hex view";
    EXPECT_EQ(w.typeIndex(), 0);
    EXPECT_EQ(w.makerIndex(), 0);
    EXPECT_EQ(w.nameIndex(), 0);
    EXPECT_EQ(combo(w, "speedCombo").currentText(), QStringLiteral("12MHz"));
    EXPECT_EQ(w.speedByte(), 0);
    EXPECT_FALSE(action(w, "deviceAction").isVisible());
    EXPECT_FALSE(action(w, "deviceAction").isVisible());
    EXPECT_EQ(w.reporter().language(), 0);
    EXPECT_EQ(statusBar(w).panelText(1), QString::fromUtf16(u"编程器未接入"));
    EXPECT_TRUE(statusBar(w).panel1IsRed());
    EXPECT_EQ(statusBar(w).panelText(3), QStringLiteral("00:00:00"));
    EXPECT_EQ(combo(w, "typeCombo").count(), 0) << "no database: empty lists";
    for (const char* option : {"autoEraseCheck", "autoProgramCheck", "autoVerifyCheck"})
        EXPECT_TRUE(child<QCheckBox>(w, option)->isChecked()) << option;
    w.close();
    EXPECT_TRUE(QFile::exists(ini())) << "the settings file is created at the first close";
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(MainWindowFixture, SettingsRoundTripKeepsTheChipKey)
{
    writeIni("[DEVICE]\nchip=5\nSPEED=3\nLANGU=2\n[Environment]\nFormWidth=800\nFormHeight=600\n");
    {
        MainWindow w(&ui, exe());
        w.show();
        EXPECT_TRUE(action(w, "deviceAction").isVisible());
        EXPECT_TRUE(action(w, "deviceAction").isVisible());
        EXPECT_EQ(combo(w, "speedCombo").currentText(), QStringLiteral("1.5MHz"));
        EXPECT_EQ(w.width(), 800);
        EXPECT_EQ(w.height(), 600);
        EXPECT_EQ(w.reporter().language(), 2);
        combo(w, "speedCombo").setCurrentIndex(5);
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
        MainWindow w(&ui, exe());
        w.show();
        w.showMaximized();
        w.close();
    }
    EXPECT_TRUE(readIni().contains(QStringLiteral("FormMax=1")));
    MainWindow again(&ui, exe());
    again.show();
    EXPECT_TRUE(again.isMaximized());
}

TEST_F(MainWindowFixture, SpeedOutsideTheListFallsBackToTheFirstWithALogLine)
{
    writeIni("[DEVICE]\nSPEED=17\n");
    MainWindow w(&ui, exe());
    EXPECT_EQ(combo(w, "speedCombo").currentIndex(), 0);
    EXPECT_NE(w.speedByte(), 0xFF);
    EXPECT_TRUE(ui.log.join('\n').contains(QStringLiteral("SPEED=17"))) << ui.log.join('\n').toStdString();
}

TEST_F(MainWindowFixture, ShowLoadsTheDatabaseAndRestoresTheChip)
{
    writeDatabase();
    writeIni("[CHIP]\nINDEX1=0\nINDEX2=0\nINDEX3=1\n");
    MainWindow w(&ui, exe());
    w.show();
    EXPECT_EQ(combo(w, "typeCombo").count(), 2);
    EXPECT_EQ(combo(w, "manufacturerCombo").count(), 2);
    EXPECT_EQ(combo(w, "nameCombo").currentText(), QStringLiteral("W25Q32"));
    EXPECT_EQ(lineEdit(w, "capacityEdit").text(), QStringLiteral("4194304"));
    EXPECT_EQ(combo(w, "sizeCombo").currentText(), QStringLiteral("4MB"));
    EXPECT_EQ(lineEdit(w, "pageSizeEdit").text(), QStringLiteral("256"));
    EXPECT_EQ(hexView(w).dataSize(), 0x400000) << "the view spans the chip";
    EXPECT_EQ(w.dataBuffer().usedLength, 0);
    std::vector<std::uint8_t> view(16);
    hexView(w).readBytes(view.data(), 0x3FFFF0, 16);
    EXPECT_EQ(view, std::vector<std::uint8_t>(16, 0xFF));
}

TEST_F(MainWindowFixture, SavedIndicesThatDesignateNoChipSelectTheFirstChip)
{
    writeDatabase();
    writeIni("[CHIP]\nINDEX1=0\nINDEX2=1\nINDEX3=7\n");
    MainWindow w(&ui, exe());
    w.show();
    EXPECT_EQ(combo(w, "nameCombo").currentText(), QStringLiteral("W25Q16"));
    EXPECT_EQ(w.selection().shownChip(), 0);
    EXPECT_EQ(hexView(w).dataSize(), 0x200000);
    EXPECT_EQ(std::vector<int>({w.typeIndex(), w.makerIndex(), w.nameIndex()}), std::vector<int>({0, 0, 0}));
}

TEST_F(MainWindowFixture, TypeChangeResetsManufacturerAndName)
{
    writeDatabase();
    writeIni("[CHIP]\nINDEX1=0\nINDEX2=1\nINDEX3=0\n");
    MainWindow w(&ui, exe());
    w.show();
    ASSERT_EQ(combo(w, "nameCombo").currentText(), QStringLiteral("MX25L1005"));
    combo(w, "typeCombo").setCurrentIndex(1);
    w.typeChanged();
    EXPECT_EQ(w.typeIndex(), 1);
    EXPECT_EQ(w.makerIndex(), 0);
    EXPECT_EQ(w.nameIndex(), 0);
    EXPECT_EQ(combo(w, "manufacturerCombo").currentText(), QStringLiteral("Atmel"));
    EXPECT_EQ(combo(w, "nameCombo").currentText(), QStringLiteral("AT24C02"));
    EXPECT_EQ(hexView(w).dataSize(), 256);

    combo(w, "nameCombo").setCurrentIndex(1);
    w.nameChanged();
    EXPECT_EQ(w.nameIndex(), 1);
    EXPECT_EQ(lineEdit(w, "pageSizeEdit").text(), QStringLiteral("16"));
    w.close();
    EXPECT_TRUE(readIni().contains(QStringLiteral("INDEX1=1\nINDEX2=0\nINDEX3=1")));
}

TEST_F(MainWindowFixture, RecordWithTooFewNamesIsLeftOutAndLoggedAndTheProgramGoesOn)
{
    std::vector<ChipRecord> records;
    addChip(records, "SPI-Flash,Winbond,W25Q16", 0x200000);
    addChip(records, "SPI-Flash,Broken", 0x1000);
    addChip(records, "SPI-Flash,Macronix,MX25L1606E", 0x200000);
    QFile f(dir.filePath(QStringLiteral("kestrum.Dat")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(records.data()), qsizetype(records.size() * sizeof(ChipRecord)));
    f.close();
    writeIni("[CHIP]\nINDEX2=1\n");
    MainWindow w(&ui, exe());
    w.show();
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_TRUE(ui.log.join('\n').contains(QString::fromUtf16(u"芯片数据库中已损坏的记录已被略去：1")));
    EXPECT_EQ(combo(w, "manufacturerCombo").count(), 2);
    EXPECT_EQ(combo(w, "nameCombo").currentText(), QStringLiteral("MX25L1606E"));
    EXPECT_EQ(w.windowTitle(), QString::fromUtf16(u"Kestrum USB高速编程器")) << "the captions are applied all the same";
    EXPECT_TRUE(action(w, "simplifiedChineseAction").isChecked());
}

TEST_F(MainWindowFixture, SearchDialogFiltersLiveAndSelectsAndRemembersTheChip)
{
    writeDatabase();
    MainWindow w(&ui, exe());
    w.show();
    ChipSearchDialog& find = searchDialog(w);
    QTreeWidget& list = *child<QTreeWidget>(find, "chipList");
    find.listAllChips();
    EXPECT_EQ(list.topLevelItemCount(), 5);
    EXPECT_EQ(list.headerItem()->text(3), QStringLiteral("pos"));
    EXPECT_EQ(list.headerItem()->text(0), QString::fromUtf16(u"类型"));
    const QList<int> widths {list.columnWidth(0), list.columnWidth(1), list.columnWidth(2), list.columnWidth(3)};
    EXPECT_EQ(widths, (QList<int> {80, 80, 100, 1})) << "the slot column stays out of sight";
    EXPECT_FALSE(button(find, "selectButton").isEnabled());

    combo(find, "findCombo").setEditText(QStringLiteral("C16"));
    ASSERT_EQ(list.topLevelItemCount(), 1);
    EXPECT_EQ(list.topLevelItem(0)->text(3), QStringLiteral("4"));
    combo(find, "findCombo").setEditText(QStringLiteral("c16"));
    EXPECT_EQ(list.topLevelItemCount(), 1) << "the search ignores letter case";
    combo(find, "findCombo").setEditText(QStringLiteral("Atmel"));
    ASSERT_EQ(list.topLevelItemCount(), 2);
    // The window system showing the open dialog again (after a minimise) is no new opening.
    QShowEvent again;
    QSpontaneKeyEvent::setSpontaneous(&again);
    QCoreApplication::instance()->notify(&find, &again); // keeps the event spontaneous
    ASSERT_EQ(list.topLevelItemCount(), 2) << "the filtered list stays";

    list.topLevelItem(1)->setSelected(true);
    EXPECT_TRUE(button(find, "selectButton").isEnabled());
    find.selectChip();
    EXPECT_EQ(combo(w, "typeCombo").currentText(), QStringLiteral("24-EEPROM"));
    EXPECT_EQ(combo(w, "nameCombo").currentText(), QStringLiteral("AT24C16"));
    EXPECT_EQ(w.selection().currentChip(), 4);
    EXPECT_EQ(hexView(w).dataSize(), 2048);
    EXPECT_EQ(w.typeIndex(), 1) << "a chip chosen by search is remembered like one chosen in the lists";
    EXPECT_EQ(w.nameIndex(), 1);
}

TEST_F(MainWindowFixture, SearchListLeavesOutARecordWithTooFewNames)
{
    std::vector<ChipRecord> records;
    addChip(records, "SPI-Flash,Winbond,W25Q16", 0x200000);
    addChip(records, "EEPROM,Atmel", 256);
    addChip(records, "SPI-Flash,Winbond,W25Q32", 0x400000);
    QFile f(dir.filePath(QStringLiteral("kestrum.Dat")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(records.data()), qsizetype(records.size() * sizeof(ChipRecord)));
    f.close();
    MainWindow w(&ui, exe());
    w.show();
    ChipSearchDialog& find = searchDialog(w);
    QTreeWidget& list = *child<QTreeWidget>(find, "chipList");
    find.show();
    EXPECT_TRUE(ui.errors.isEmpty());
    ASSERT_EQ(list.topLevelItemCount(), 2);
    EXPECT_EQ(list.topLevelItem(1)->text(2), QStringLiteral("W25Q32"));
    find.hide();
}

TEST_F(MainWindowFixture, EachWindowsControlsAreFoundInThatWindowOnly)
{
    MainWindow w(&ui, exe());
    EXPECT_THROW(child<QTreeWidget>(w, "ListView1"), std::logic_error) << "the search dialog's list is its own";
    EXPECT_THROW(child<QRadioButton>(w, "RadioButton1"), std::logic_error);
    EXPECT_EQ(label(w, "typeLabel").window(), &w);
    EXPECT_EQ(label(searchDialog(w), "findLabel").window(), &searchDialog(w));
    EXPECT_EQ(label(chipEditor(w), "typeLabel").window(), &chipEditor(w));
}

TEST_F(MainWindowFixture, FillOpensWithTheEndOfTheSelectedChip)
{
    writeDatabase();
    writeIni("[CHIP]\nINDEX1=0\nINDEX2=0\nINDEX3=1\n");
    MainWindow w(&ui, exe());
    w.show();
    ASSERT_EQ(w.chipSize(), 0x400000u);
    FillDialog& fill = fillDialog(w);
    lineEdit(fill, "endEdit").setText(QStringLiteral("10"));
    // The close request waits in the queue until the dialog's own event loop runs.
    QMetaObject::invokeMethod(&fill, &QDialog::reject, Qt::QueuedConnection);
    action(w, "fillAction").trigger();
    EXPECT_EQ(lineEdit(fill, "endEdit").text(), QStringLiteral("3FFFFF"));
    EXPECT_FALSE(fill.isVisible());

    // The menu item opens it the same way, for the chip selected then.
    combo(w, "typeCombo").setCurrentIndex(1);
    w.typeChanged();
    QMetaObject::invokeMethod(&fill, &QDialog::reject, Qt::QueuedConnection);
    action(w, "fillAction").trigger();
    EXPECT_EQ(lineEdit(fill, "endEdit").text(), QStringLiteral("FF"));
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(MainWindowFixture, AboutBoxIsAFixedDialogCentredOnTheScreen)
{
    MainWindow w(&ui, exe());
    w.show();
    w.move(0, 0);
    AboutBox& about = *child<AboutBox>(w, "aboutBox");
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
    MainWindow w(&ui, exe());
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
    MainWindow w(&ui, exe());
    w.show();
    QStringList names;
    for (QAction* a : child<QToolBar>(w, "commandBar")->actions())
        names << (a->isSeparator() ? QStringLiteral("|") : a->objectName());
    EXPECT_EQ(names.join(QLatin1Char(' ')),
        QStringLiteral("openAction saveAction | readAction eraseAction writeAction verifyAction autoAction "
                       "compareAction | "
                       "blankCheckAction fillAction | deviceAction aboutAction"));
    EXPECT_EQ(child<QToolBar>(w, "commandBar")->height(), 57);
    EXPECT_EQ(child<QWidget>(w, "chipColumn")->width(), 185);
    EXPECT_EQ(child<QGroupBox>(w, "chipGroup")->height(), 184);
    EXPECT_EQ(child<QWidget>(w, "chipSettingsPanel")->height(), 104);
    EXPECT_EQ(child<QTextEdit>(w, "logView")->height(), 91);
    EXPECT_EQ(combo(w, "sizeCombo").geometry(), lineEdit(w, "capacityEdit").geometry())
        << "the size list lies over the capacity field";
}

TEST_F(MainWindowFixture, EveryCommandHasOneActionThatItsMenuItemAndToolButtonShare)
{
    writeIni("[DEVICE]\nchip=1\n");
    MainWindow w(&ui, exe());
    std::map<QAction*, int> inMenus;
    std::map<QAction*, int> inToolBars;
    std::map<QString, std::set<QAction*>> byName;
    std::function<void(const QList<QAction*>&, std::map<QAction*, int>&)> walk
        = [&](const QList<QAction*>& actions, std::map<QAction*, int>& count) {
              for (QAction* a : actions) {
                  if (QMenu* menu = a->menu())
                      walk(menu->actions(), count);
                  else if (!a->isSeparator()) {
                      ++count[a];
                      byName[a->objectName()].insert(a);
                  }
              }
          };
    walk(w.menuBar()->actions(), inMenus);
    for (QToolBar* bar : w.findChildren<QToolBar*>())
        walk(bar->actions(), inToolBars);
    for (const auto& [name, actions] : byName)
        EXPECT_EQ(actions.size(), 1u) << qPrintable(name) << " exists as more than one action";

    // {command, menu items, tool buttons}: Test has its button in the chip group, Stop its bar.
    const std::tuple<const char*, int, int> places[]
        = {{"openAction", 1, 1}, {"saveAction", 1, 1}, {"bufferInfoAction", 1, 0}, {"quitAction", 1, 0},
            {"fillAction", 1, 1}, {"autoAction", 1, 1}, {"eraseAction", 1, 1}, {"writeAction", 1, 1},
            {"readAction", 1, 1}, {"verifyAction", 1, 1}, {"blankCheckAction", 1, 1}, {"detectAction", 0, 0},
            {"deviceAction", 1, 1}, {"aboutAction", 1, 1}, {"stopAction", 0, 1}, {"simplifiedChineseAction", 1, 0},
            {"traditionalChineseAction", 1, 0}, {"englishAction", 1, 0}, {"undoAction", 1, 0}, {"redoAction", 1, 0},
            {"cutAction", 1, 0}, {"copyAction", 1, 0}, {"pasteAction", 1, 0}, {"selectAllAction", 1, 0},
            {"copyAsHexAction", 1, 0}, {"pasteHexAction", 1, 0}, {"insertModeAction", 1, 0},
            {"findAction", 1, 0}, {"replaceAction", 1, 0}, {"findNextAction", 1, 0}, {"findPreviousAction", 1, 0},
            {"goToAction", 1, 0}, {"selectRangeAction", 1, 0}, {"bookmarksAction", 1, 0}, {"compareAction", 1, 1},
            {"compareFileAction", 1, 0}, {"readTwiceAction", 1, 0}, {"backUpAction", 1, 0}, {"backupsAction", 1, 0},
            {"logFileAction", 1, 0}, {"gangAction", 1, 0}};
    ASSERT_EQ(w.commandActions().size(), std::size(places));
    for (const auto& [name, menus, buttons] : places) {
        QAction* command = &action(w, name);
        EXPECT_EQ(inMenus[command], menus) << name;
        EXPECT_EQ(inToolBars[command], buttons) << name;
        EXPECT_NE(std::find(w.commandActions().begin(), w.commandActions().end(), command), w.commandActions().end())
            << name << " is not in the command table";
    }
}

TEST_F(MainWindowFixture, TheEditMenuRunsTheHexViewsCommandsAndFollowsItsState)
{
    writeDatabase();
    writeIni("[CHIP]\nINDEX1=0\nINDEX3=0\n");
    MainWindow w(&ui, exe());
    w.show();
    HexEditor& editor = hexView(w).editor();
    const auto enabledAfterShow = [&](const char* name) {
        Q_EMIT child<QMenu>(w, "editMenu")->aboutToShow();
        return action(w, name).isEnabled();
    };
    EXPECT_FALSE(enabledAfterShow("undoAction")) << "nothing to undo";
    EXPECT_FALSE(enabledAfterShow("copyAction")) << "no selection";
    const quint8 before = editor.dataAt(0);
    ASSERT_TRUE(editor.keyPress(QLatin1Char('7')));
    EXPECT_TRUE(enabledAfterShow("undoAction"));
    action(w, "undoAction").trigger();
    EXPECT_EQ(editor.dataAt(0), before);
    EXPECT_TRUE(enabledAfterShow("redoAction"));
    action(w, "redoAction").trigger();
    EXPECT_NE(editor.dataAt(0), before);
    EXPECT_TRUE(action(w, "redoAction").shortcuts().contains(QKeySequence(QStringLiteral("Ctrl+Shift+Z"))));
    ASSERT_TRUE(action(w, "selectAllAction").isEnabled()) << "the states follow the view, menu open or not";
    action(w, "selectAllAction").trigger();
    EXPECT_TRUE(enabledAfterShow("copyAction"));
    EXPECT_EQ(editor.selCount(), editor.dataSize());
    const bool insert = editor.insertMode();
    action(w, "insertModeAction").trigger();
    EXPECT_NE(editor.insertMode(), insert);
    EXPECT_EQ(hexView(w).contextMenuPolicy(), Qt::ActionsContextMenu);
    EXPECT_TRUE(hexView(w).actions().contains(&action(w, "copyAction"))) << "the context menu holds the Edit items";
    if (editor.insertMode())
        action(w, "insertModeAction").trigger();

    // Copy as hex text, then Paste hex text elsewhere: 4 KiB come back byte for byte.
    for (qint64 i = 0; i < 4096; ++i)
        editor.writeBuffer(QByteArray(1, char(i * 7 + 3)).constData(), i, 1);
    editor.setSelStart(0);
    editor.setSelEnd(4095);
    action(w, "copyAsHexAction").trigger();
    const QString text = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(text.startsWith(QStringLiteral("03 0A 11 18 1F 26 2D 34 3B 42 49 50 57 5E 65 6C\n73 7A")))
        << "16 bytes a line";
    editor.seek(8192, 0);
    action(w, "pasteHexAction").trigger();
    QByteArray copied(4096, '\0');
    QByteArray pasted(4096, '\0');
    editor.readBuffer(copied.data(), 0, 4096);
    editor.readBuffer(pasted.data(), 8192, 4096);
    EXPECT_EQ(pasted, copied);
    EXPECT_EQ(editor.dataSize(), 2097152) << "overwrite mode keeps the size";

    // Other notations of the same bytes, and text that is no hexadecimal bytes.
    for (const char* notation : {"4B45", "4b 45", "0x4B,0x45", " 4B\r\n45 "}) {
        QGuiApplication::clipboard()->setText(QString::fromLatin1(notation));
        editor.seek(100, 0);
        action(w, "pasteHexAction").trigger();
        EXPECT_EQ(editor.dataAt(100), 0x4B) << notation;
        EXPECT_EQ(editor.dataAt(101), 0x45) << notation;
    }
    ui.clearRecords();
    QGuiApplication::clipboard()->setText(QStringLiteral("hello"));
    action(w, "pasteHexAction").trigger();
    EXPECT_EQ(ui.errors, QStringList {messageText(MsgPasteHexRefused, w.reporter().language())});
}

TEST_F(MainWindowFixture, NoCaptionIsCutUnderALargerFontInAnyLanguage)
{
    const QFont original = QApplication::font();
    QFont larger = original;
    larger.setPixelSize(QFontInfo(original).pixelSize() * 5 / 4);
    QApplication::setFont(larger);
    {
        MainWindow w(&ui, exe());
        w.show();
        for (int language : {0, 1, 2}) {
            w.switchLanguage(language);
            QCoreApplication::processEvents();
            for (QWidget* c : child<QWidget>(w, "chipColumn")->findChildren<QWidget*>()) {
                const QFontMetrics metrics = c->fontMetrics();
                int needed = 0;
                if (qobject_cast<QLabel*>(c) || qobject_cast<QCheckBox*>(c))
                    needed = c->sizeHint().width();
                else if (auto* b = qobject_cast<QPushButton*>(c))
                    needed = metrics.horizontalAdvance(b->text()) + (b->icon().isNull() ? 0 : b->iconSize().width());
                else if (auto* g = qobject_cast<QGroupBox*>(c))
                    needed = metrics.horizontalAdvance(g->title());
                EXPECT_GE(c->width(), needed) << qPrintable(c->objectName()) << " " << language;
            }
            const StatusBar& bar = statusBar(w);
            for (int panel : {0, 1, 2, 3})
                EXPECT_GT(bar.panelRect(panel).width() - 5, bar.fontMetrics().horizontalAdvance(bar.panelText(panel)))
                    << "panel " << panel << " " << language;
            EXPECT_GT(bar.progress()->x(), bar.panelRect(3).right()) << "the progress bar stays right of panel 3";
        }
    }
    QApplication::setFont(original);
}

TEST_F(MainWindowFixture, LogLinesGoToTheTopOfTheLogBox)
{
    MainWindow w(&ui, exe());
    w.reporter().addLogLine(QStringLiteral("first"));
    w.reporter().addLogLine(QStringLiteral("second"));
    EXPECT_EQ(child<QTextEdit>(w, "logView")->toPlainText(), QStringLiteral("002:second\n001:first"));
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
    MainWindow w(&ui, exe());
    w.show();
    EXPECT_EQ(w.windowTitle(), QString::fromUtf16(u"Kestrum USB高速编程器")) << "language 0 at the first start";
    EXPECT_EQ(child<QMenu>(w, "fileMenu")->title(), QString::fromUtf16(u"文件(&F)"))
        << "the menus take the language too";
    EXPECT_EQ(child<QMenu>(w, "helpMenu")->title(), QString::fromUtf16(u"帮助(&H)"));
    EXPECT_EQ(action(w, "fillAction").iconText(), QString::fromUtf16(u"填充"));
    EXPECT_TRUE(action(w, "simplifiedChineseAction").isChecked());

    w.switchLanguage(2);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Kestrum USB High Speed Programmer"));
    EXPECT_EQ(action(w, "fillAction").iconText(), QStringLiteral("FIll"));
    EXPECT_EQ(label(w, "manufacturerLabel").text(), QStringLiteral("Manufacturer"));
    EXPECT_EQ(child<QGroupBox>(w, "autoOptionsGroup")->title(), QStringLiteral("Auto Options"));
    EXPECT_EQ(child<QMenu>(w, "operationMenu")->title(), QStringLiteral("Operation(&O)"));
    EXPECT_EQ(statusBar(w).panelText(0), QStringLiteral("State"));
    EXPECT_EQ(statusBar(w).panelText(2), QStringLiteral("Use time"));
    EXPECT_EQ(searchDialog(w).windowTitle(), QStringLiteral("Chip Select"));
    EXPECT_EQ(button(searchDialog(w), "selectButton").text(), QStringLiteral("Select"));
    EXPECT_EQ(label(searchDialog(w), "findLabel").text(), QStringLiteral("Find"));
    EXPECT_EQ(fillDialog(w).windowTitle(), QStringLiteral("Fill"));
    EXPECT_EQ(child<QRadioButton>(fillDialog(w), "byteRadio")->text(), QStringLiteral("Byte(8bits)"));
    EXPECT_EQ(child<QGroupBox>(fillDialog(w), "rangeGroup")->title(), QStringLiteral("Range"));
    EXPECT_EQ(button(fillDialog(w), "cancelButton").text(), QStringLiteral("Cance"));
    EXPECT_EQ(label(w, "typeLabel").text(), QStringLiteral("Type"))
        << "the dialog's Label1 must not take the main window's text";
    EXPECT_TRUE(action(w, "englishAction").isChecked());
    EXPECT_FALSE(action(w, "simplifiedChineseAction").isChecked());
    // Panel 1 says "Not connected" in the new language and stays red.
    EXPECT_EQ(statusBar(w).panelText(1), QStringLiteral("Not connected"));
    EXPECT_TRUE(statusBar(w).panel1IsRed());

    w.switchLanguage(1);
    EXPECT_EQ(action(w, "simplifiedChineseAction").text(), QString::fromUtf16(u"中文简体"));
    EXPECT_EQ(action(w, "traditionalChineseAction").text(), QString::fromUtf16(u"中文繁體"));
    EXPECT_EQ(action(w, "englishAction").text(), QStringLiteral("Enlish"));

    w.switchLanguage(0);
    EXPECT_EQ(w.windowTitle(), QString::fromUtf16(u"Kestrum USB高速编程器"));
    EXPECT_EQ(action(w, "simplifiedChineseAction").text(), QString::fromUtf16(u"中文"));
    EXPECT_EQ(action(w, "traditionalChineseAction").text(), QString::fromUtf16(u"繁體"));
    EXPECT_EQ(button(searchDialog(w), "quitButton").text(), QString::fromUtf16(u"退出"));
    EXPECT_EQ(label(fillDialog(w), "endLabel").text(), QString::fromUtf16(u"结束地址"));
    EXPECT_EQ(button(fillDialog(w), "okButton").text(), QString::fromUtf16(u"确定"));
    EXPECT_TRUE(statusBar(w).panel1IsRed());
    w.close();
    EXPECT_TRUE(readIni().contains(QStringLiteral("LANGU=0")));
}

TEST_F(MainWindowFixture, LanguageOutsideTheTableIsChosenAsOnAFirstStartWithALogLine)
{
    writeIni("[DEVICE]\nLANGU=9\n");
    MainWindow w(&ui, exe());
    w.show();
    const int language = languageForLocale(QLocale().name());
    EXPECT_EQ(w.reporter().language(), language);
    EXPECT_TRUE(ui.log.join('\n').contains(QStringLiteral("LANGU=9"))) << ui.log.join('\n').toStdString();
    w.close();
    EXPECT_TRUE(readIni().contains(QStringLiteral("LANGU=%1").arg(language)));
}

TEST_F(MainWindowFixture, EditsInTheViewAreTakenBackUpToTheChipSize)
{
    writeDatabase();
    writeIni("[CHIP]\nINDEX1=1\nINDEX3=0\n");
    MainWindow w(&ui, exe());
    w.show();
    ASSERT_EQ(hexView(w).dataSize(), 256);
    w.takeViewEdits();
    EXPECT_EQ(w.dataBuffer().usedLength, 0) << "a view that was never edited hands nothing back";

    HexEditor& editor = hexView(w).editor();
    ASSERT_TRUE(editor.keyPress(QLatin1Char('1')));
    ASSERT_TRUE(editor.keyPress(QLatin1Char('2')));
    EXPECT_TRUE(hexView(w).isModified());
    w.takeViewEdits();
    EXPECT_EQ(w.dataBuffer().usedLength, 256);
    EXPECT_EQ(w.dataBuffer().data()[0], 0x12);
    EXPECT_FALSE(hexView(w).isModified());

    // Changing the chip takes the edits back first and shows the buffer over the new size.
    combo(w, "nameCombo").setCurrentIndex(1);
    w.nameChanged();
    EXPECT_EQ(hexView(w).dataSize(), 2048);
    EXPECT_FALSE(hexView(w).isModified());
    std::uint8_t first = 0;
    hexView(w).readBytes(&first, 0, 1);
    EXPECT_EQ(first, 0x12);
}

TEST_F(MainWindowFixture, OpenLoadsIntoTheBufferShowsChipSizeAndSaveTakesViewEdits)
{
    writeDatabase();
    writeIni("[CHIP]\nINDEX1=1\nINDEX3=0\n");
    MainWindow w(&ui, exe());
    w.show();
    const QString in = dir.filePath(QStringLiteral("in.bin"));
    {
        QFile f(in);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(300, '\x5A'));
    }
    ui.openFiles.push_back(in);
    action(w, "openAction").trigger();
    EXPECT_EQ(w.dataBuffer().usedLength, 300);
    EXPECT_EQ(hexView(w).dataSize(), 256) << "the view shows the chip size";
    ASSERT_FALSE(ui.log.isEmpty());
    EXPECT_TRUE(ui.log.first().endsWith(QStringLiteral("in.bin")));

    ASSERT_TRUE(hexView(w).editor().keyPress(QLatin1Char('0')));
    const QString out = dir.filePath(QStringLiteral("out.bin"));
    ui.saveFiles.push_back(out);
    action(w, "saveAction").trigger();
    QFile saved(out);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    ASSERT_EQ(bytes.size(), 256);
    EXPECT_EQ(std::uint8_t(bytes[0]), 0x0A) << "the edit in the view is saved";
    EXPECT_EQ(std::uint8_t(bytes[1]), 0x5A);
    EXPECT_FALSE(hexView(w).isModified()) << "the edit was taken into the buffer";
    EXPECT_EQ(w.dataBuffer().usedLength, 256) << "taking the view's edits sets the used length to the view";
}

TEST_F(MainWindowFixture, TheFirstShowProbesTheProgrammerEvenWithoutActivation)
{
    writeIni("[DEVICE]\nLANGU=2\n");
    MainWindow w(&ui, exe());
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
    MainWindow w(&ui, exe());
    w.show();
    // The user follows the README while the program runs.
    writeIni("[DEVICE]\nSPEED=2\nchip=1\n[Mine]\nnote=new\n");
    combo(w, "speedCombo").setCurrentIndex(4);
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
    MainWindow w(&ui, exe());
    w.show();
    const QSize screen = w.screen()->availableSize();
    EXPECT_LE(w.width(), screen.width());
    EXPECT_LE(w.height(), screen.height());
    w.close();
    IniFile file(ini());
    file.load();
    EXPECT_LE(readSettings(file).formWidth, screen.width());
    EXPECT_LE(readSettings(file).formHeight, screen.height());
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
