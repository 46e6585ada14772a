#include "base/IniFile.h"
#include "base/Language.h"
#include "hexview/HexEditor.h"
#include "tests/app/MainWindowControls.h"
#include "tests/support/ScriptedUserInterface.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLocale>
#include <QShortcut>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

struct ComfortFixture : ::testing::Test
{
    ComfortFixture() { QLocale::setDefault(QLocale(QStringLiteral("en_US"))); }
    ~ComfortFixture() override { QLocale::setDefault(QLocale::c()); }

    QTemporaryDir dir;
    ScriptedUserInterface ui;

    QString exe() const { return dir.filePath(QStringLiteral("kestrum")); }
    void writeDatabase() const
    {
        std::vector<ChipRecord> records(4);
        const char* names[] = {"SPI-Flash,Winbond,W25Q16", "24-EEPROM,Atmel,AT24C02", "24-EEPROM,Atmel,AT24C16"};
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(records[size_t(i)].setNamesText(QString::fromLatin1(names[i])));
            records[size_t(i)].flashSize = 256;
        }
        QFile f(dir.filePath(QStringLiteral("kestrum.Dat")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(records.data()), qsizetype(records.size() * sizeof(ChipRecord)));
    }
    QString writeFile(const QString& name, qsizetype size) const
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(size, '\x5A'));
        return path;
    }
};

const QString Discard = QStringLiteral("The buffer has changes that are not saved. Discard them?");

} // namespace

TEST(LanguageForLocale, ChineseRegionsPickTheirScriptAndEverythingElseEnglish)
{
    for (const char* name : {"zh_CN", "zh_SG", "zh_CN.UTF-8", "zh"})
        EXPECT_EQ(languageForLocale(QString::fromLatin1(name)), 0) << name;
    for (const char* name : {"zh_TW", "zh_HK", "zh_MO"})
        EXPECT_EQ(languageForLocale(QString::fromLatin1(name)), 1) << name;
    for (const char* name : {"en_US", "de_DE", "C", ""})
        EXPECT_EQ(languageForLocale(QString::fromLatin1(name)), 2) << name;
}

TEST_F(ComfortFixture, FirstStartFollowsTheLocaleAndAStoredLanguageWins)
{
    QLocale::setDefault(QLocale(QStringLiteral("zh_TW")));
    {
        MainWindow w(&ui, exe());
        w.show();
        EXPECT_EQ(w.reporter().language(), 1);
        EXPECT_TRUE(action(w, "traditionalChineseAction").isChecked());
    }
    IniFile ini(dir.filePath(QStringLiteral("kestrum.ini")));
    ini.load();
    ini.writeInteger(QStringLiteral("DEVICE"), QStringLiteral("LANGU"), 0);
    ASSERT_TRUE(ini.save());
    MainWindow w(&ui, exe());
    w.show();
    EXPECT_EQ(w.reporter().language(), 0);
}

TEST_F(ComfortFixture, ShortcutsAreShownInTheMenusAndTriggerTheirCommands)
{
    MainWindow w(&ui, exe());
    w.show();
    const char* keys[][2] = {{"openAction", "Ctrl+O"}, {"saveAction", "Ctrl+S"}, {"quitAction", "Ctrl+Q"},
        {"aboutAction", "F1"}, {"autoAction", "F4"}, {"readAction", "F5"}, {"eraseAction", "F6"}, {"writeAction", "F7"},
        {"verifyAction", "F8"}, {"blankCheckAction", "F9"}};
    for (const auto& [name, key] : keys)
        EXPECT_EQ(action(w, name).shortcut().toString(), QString::fromLatin1(key)) << name;
    EXPECT_EQ(action(w, "detectAction").shortcut(), QKeySequence(QStringLiteral("F2")));

    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    // Keys typed into the hex view reach the window's commands.
    hexView(w).setFocus();
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    QTest::keyEvent(QTest::Click, target, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(ui.openFilters.size(), 1) << "Ctrl+O opens the file dialog";
    QTest::keyEvent(QTest::Click, target, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(ui.saveFilters.size(), 1) << "Ctrl+S opens the save dialog";
    QSignalSpy read(&action(w, "readAction"), &QAction::triggered);
    QSignalSpy test(&action(w, "detectAction"), &QAction::triggered);
    QTest::keyEvent(QTest::Click, target, Qt::Key_F5);
    QTest::keyEvent(QTest::Click, target, Qt::Key_F2);
    EXPECT_EQ(read.count(), 1);
    EXPECT_EQ(test.count(), 1);
    QTest::keyEvent(QTest::Click, target, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(w.isVisible()) << "Ctrl+Q closes the window";
}

TEST_F(ComfortFixture, TheFolderOfTheLastFileIsRememberedInASectionOfItsOwn)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("images")));
    const QString file = writeFile(QStringLiteral("images/a.bin"), 16);
    {
        MainWindow w(&ui, exe());
        w.show();
        ui.openFiles.push_back(file);
        action(w, "openAction").trigger();
        ui.answers.push_back(true);
        w.close();
    }
    IniFile ini(dir.filePath(QStringLiteral("kestrum.ini")));
    ini.load();
    EXPECT_EQ(ini.readString(QStringLiteral("Folders"), QStringLiteral("Last"), QString()), dir.filePath("images"));
    MainWindow w(&ui, exe());
    EXPECT_EQ(w.settings().lastFolder, dir.filePath("images"));
}

TEST_F(ComfortFixture, UnsavedChangesAreMarkedAndOpenReadAndQuitAskFirst)
{
    MainWindow w(&ui, exe());
    w.show();
    const QString title = w.windowTitle();
    EXPECT_FALSE(w.hasUnsavedChanges());
    const QString first = writeFile(QStringLiteral("first.bin"), 100);
    ui.openFiles.push_back(first);
    action(w, "openAction").trigger();
    EXPECT_TRUE(ui.questions.isEmpty()) << "nothing to lose: no question";
    hexView(w).editor().setDataSize(16);
    ASSERT_TRUE(hexView(w).editor().keyPress(QLatin1Char('1')));
    EXPECT_TRUE(w.hasUnsavedChanges()) << "an edit is not saved or written yet";
    EXPECT_EQ(w.windowTitle(), QLatin1Char('*') + title);

    // Open: No keeps the buffer and shows no file dialog; Yes goes on.
    ui.answers.push_back(false);
    action(w, "openAction").trigger();
    EXPECT_EQ(ui.questions, QStringList {Discard});
    EXPECT_EQ(ui.openFilters.size(), 1);
    ui.answers.push_back(true);
    ui.openFiles.push_back(writeFile(QStringLiteral("second.bin"), 50));
    action(w, "openAction").trigger();
    EXPECT_EQ(w.dataBuffer().usedLength, 50);

    // Save clears the mark; an edit in the view sets it again.
    ui.saveFiles.push_back(dir.filePath(QStringLiteral("out.bin")));
    action(w, "saveAction").trigger();
    EXPECT_FALSE(w.hasUnsavedChanges());
    EXPECT_EQ(w.windowTitle(), title);
    hexView(w).editor().setDataSize(16);
    ASSERT_TRUE(hexView(w).editor().keyPress(QLatin1Char('1')));
    EXPECT_TRUE(w.hasUnsavedChanges());
    EXPECT_EQ(w.windowTitle(), QLatin1Char('*') + title);

    // A fill counts as a change too.
    ui.saveFiles.push_back(dir.filePath(QStringLiteral("out2.bin")));
    action(w, "saveAction").trigger();
    ASSERT_FALSE(w.hasUnsavedChanges());
    FillDialog& fill = fillDialog(w);
    lineEdit(fill, "byteEdit").setText(QStringLiteral("5A"));
    lineEdit(fill, "startEdit").setText(QStringLiteral("0"));
    lineEdit(fill, "endEdit").setText(QStringLiteral("F"));
    fill.fillAndClose();
    w.runGuarded([] {});
    EXPECT_TRUE(w.hasUnsavedChanges());
    EXPECT_EQ(w.windowTitle(), QLatin1Char('*') + title);

    // Read: No runs nothing; Yes runs the read (which finds no chip selected here).
    ui.questions.clear();
    ui.errors.clear();
    ui.answers.push_back(false);
    action(w, "readAction").trigger();
    EXPECT_EQ(ui.questions, QStringList {Discard});
    EXPECT_TRUE(ui.errors.isEmpty()) << "the read did not run";
    ui.answers.push_back(true);
    action(w, "readAction").trigger();
    EXPECT_FALSE(ui.errors.isEmpty()) << "the read ran";

    // Quit: No keeps the window and writes no settings; Yes closes.
    ui.questions.clear();
    ui.answers.push_back(false);
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("kestrum.ini"))));
    ui.answers.push_back(true);
    EXPECT_TRUE(w.close());
    EXPECT_EQ(ui.questions, QStringList({Discard, Discard}));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("kestrum.ini"))));
}

TEST_F(ComfortFixture, TheSizeListShowsTheChipsSizeAndTakesNoInput)
{
    writeDatabase();
    MainWindow w(&ui, exe());
    w.show();
    QComboBox& sizes = combo(w, "sizeCombo");
    const int shown = sizes.currentIndex();
    EXPECT_EQ(sizes.focusPolicy(), Qt::NoFocus);
    QTest::mouseEvent(QTest::MouseClick, &sizes, Qt::LeftButton, {}, QPoint());
    EXPECT_FALSE(sizes.view()->isVisible()) << "a click opens no list";
    QTest::keyEvent(QTest::Click, &sizes, Qt::Key_Down);
    EXPECT_EQ(sizes.currentIndex(), shown);
}

TEST_F(ComfortFixture, SearchIgnoresCaseAndEnterSelectsTheOnlyOrTheHighlightedMatch)
{
    writeDatabase();
    MainWindow w(&ui, exe());
    w.show();
    ChipSearchDialog& find = searchDialog(w);
    QTreeWidget& list = *child<QTreeWidget>(find, "chipList");
    QLineEdit& text = *combo(find, "findCombo").lineEdit();
    find.listAllChips();
    for (int c = 0; c < 3; ++c)
        EXPECT_GE(list.columnWidth(c), list.header()->sectionSizeHint(c)) << "the English titles show whole";
    text.setText(QStringLiteral("at24"));
    ASSERT_EQ(list.topLevelItemCount(), 2);
    QTest::keyEvent(QTest::Click, &text, Qt::Key_Return);
    EXPECT_EQ(w.selection().currentChip(), 0) << "two matches and none highlighted: Enter picks nothing";
    list.topLevelItem(1)->setSelected(true);
    QTest::keyEvent(QTest::Click, &list, Qt::Key_Enter);
    EXPECT_EQ(w.selection().currentChip(), 2);
    text.setText(QStringLiteral("c02"));
    ASSERT_EQ(list.topLevelItemCount(), 1);
    QTest::keyEvent(QTest::Click, &text, Qt::Key_Return);
    EXPECT_EQ(w.selection().currentChip(), 1);
    EXPECT_EQ(w.nameIndex(), 0) << "AT24C02 is the first name of its maker";
    EXPECT_EQ(w.typeIndex(), 1);
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(ComfortFixture, AtTheMinimumSizeTheToolBarLeftColumnAndStatusBarFitInEveryLanguage)
{
    MainWindow w(&ui, exe());
    w.show();
    for (int language : {2, 0, 1}) {
        w.switchLanguage(language);
        w.resize(1, 1);
        QApplication::processEvents();
        ASSERT_EQ(w.size(), w.minimumSize()) << language;
        auto& bar = *child<QToolBar>(w, "commandBar");
        for (QAction* a : bar.actions()) {
            QWidget* b = bar.widgetForAction(a);
            if (a->isSeparator() || !a->isVisible())
                continue;
            ASSERT_TRUE(b && b->isVisible()) << language << " " << a->objectName().toStdString();
            EXPECT_LE(b->geometry().right(), bar.contentsRect().right()) << a->objectName().toStdString();
        }
        auto& options = *child<QGroupBox>(w, "autoOptionsGroup");
        EXPECT_GE(options.height(), options.minimumSizeHint().height()) << language;
        for (const char* group : {"chipGroup", "autoOptionsGroup"}) {
            const QRect frame = child<QGroupBox>(w, group)->geometry();
            EXPECT_GE(frame.left(), 2) << group << ": its frame keeps clear of the column's edge";
            EXPECT_LE(frame.right(), child<QWidget>(w, "chipColumn")->width() - 3) << group;
        }
        EXPECT_GE(statusBar(w).width(), 317 + 80 + statusBar(w).rateRoom())
            << "the fixed panels, some progress bar and the rate beside it";
    }
}

TEST_F(ComfortFixture, SaveProposesTheRawKindUnlessTheLastFileOpenedWasAnother)
{
    MainWindow w(&ui, exe());
    w.show();
    ui.saveFiles = {QString(), QString()};
    action(w, "saveAction").trigger();
    const QString hex = dir.filePath(QStringLiteral("in.hex"));
    QFile f(hex);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(":0100000011EE\r\n:00000001FF\r\n");
    f.close();
    ui.openFiles.push_back(hex);
    action(w, "openAction").trigger();
    action(w, "saveAction").trigger();
    EXPECT_EQ(ui.saveSuffixes, QStringList({"bin", "hex"}));
}
