// What the user typed or loaded stays: a chip change keeps the view's edits, a file that fails to
// load changes nothing, an opened file asks nothing on the way out, Save without a chip keeps the
// data, and the search field's Enter takes the only match.
#include "hexview/HexEditor.h"
#include "tests/app/MainWindowControls.h"
#include "tests/support/ScriptedUserInterface.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

struct KeptEdits : ::testing::Test
{
    KeptEdits() { QLocale::setDefault(QLocale(QStringLiteral("en_US"))); }
    ~KeptEdits() override { QLocale::setDefault(QLocale::c()); }

    QTemporaryDir dir;
    ScriptedUserInterface ui;

    QString exe() const { return dir.filePath(QStringLiteral("kestrum")); }
    void writeDatabase() const
    {
        const std::pair<const char*, std::uint32_t> chips[] = {
            {"SPI-Flash,Winbond,W25Q16", 4096}, {"SPI-Flash,Winbond,W25Q32", 8192}, {"24-EEPROM,Atmel,AT24C02", 256}};
        std::vector<ChipRecord> records(std::size(chips) + 1);
        for (std::size_t i = 0; i < std::size(chips); ++i) {
            EXPECT_TRUE(records[i].setNamesText(QString::fromLatin1(chips[i].first)));
            records[i].flashSize = chips[i].second;
            records[i].flashPage = 256;
        }
        QFile f(dir.filePath(QStringLiteral("kestrum.Dat")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(records.data()), qsizetype(records.size() * sizeof(ChipRecord)));
    }
    QString writeFile(const QString& name, const QByteArray& bytes) const
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    void open(MainWindow& w, const QString& path)
    {
        ui.openFiles.push_back(path);
        action(w, "openAction").trigger();
    }
    static std::uint8_t viewByte(MainWindow& w, qint64 at)
    {
        std::uint8_t b = 0;
        hexView(w).readBytes(&b, at, 1);
        return b;
    }
};

/// An Intel HEX file of `lines` data records of 16 bytes; the record on line `bad` carries a
/// wrong checksum (0: none does).
QByteArray intelHex(int lines, int bad)
{
    QByteArray text;
    for (int n = 1; n <= lines; ++n) {
        const int address = (n - 1) * 16;
        QByteArray record
            = QByteArray::fromHex(QByteArray::number(0x10000000 | (address << 8), 16).rightJustified(8, '0'));
        record.append(QByteArray(16, char(0x33)));
        std::uint8_t sum = 0;
        for (const char c : record)
            sum = std::uint8_t(sum + std::uint8_t(c));
        record.append(char(std::uint8_t(-sum) + (n == bad ? 1 : 0)));
        text += ':' + record.toHex().toUpper() + "\r\n";
    }
    return text + ":00000001FF\r\n";
}

/// An S1 record of 16 bytes of 0x33 at that address.
QByteArray sRecord(int address)
{
    QByteArray record = QByteArray::fromHex(QByteArray::number(0x130000 | address, 16).rightJustified(6, '0'));
    record.append(QByteArray(16, char(0x33)));
    std::uint8_t sum = 0;
    for (const char c : record)
        sum = std::uint8_t(sum + std::uint8_t(c));
    record.append(char(std::uint8_t(~sum)));
    return "S1" + record.toHex().toUpper() + "\n";
}

} // namespace

TEST_F(KeptEdits, ChoosingAnotherChipTakesTheViewsEditsIntoTheBufferFirst)
{
    writeDatabase();
    const std::vector<std::pair<const char*, std::function<void(MainWindow&)>>> ways {
        {"the lists",
            [](MainWindow& w) {
                combo(w, "nameCombo").setCurrentIndex(1);
                w.nameChanged();
            }},
        {"the search dialog", [](MainWindow& w) { w.selectChipByNames("SPI-Flash", "Winbond", "W25Q32"); }},
    };
    for (const auto& [way, choose] : ways) {
        SCOPED_TRACE(way);
        MainWindow w(&ui, exe());
        w.show();
        ASSERT_EQ(hexView(w).dataSize(), 4096);
        ASSERT_TRUE(hexView(w).editor().keyPress(QLatin1Char('1')));
        ASSERT_TRUE(hexView(w).editor().keyPress(QLatin1Char('2')));
        choose(w);
        EXPECT_EQ(hexView(w).dataSize(), 8192) << "the view spans the new chip";
        EXPECT_EQ(viewByte(w, 0), 0x12) << "the edit is still shown";
        EXPECT_EQ(w.dataBuffer().data()[0], 0x12);
        EXPECT_TRUE(w.hasUnsavedChanges()) << "the edit is neither saved nor written";
    }
}

TEST_F(KeptEdits, AFileThatFailsToLoadChangesNothingAndTheBoxNamesTheLine)
{
    writeDatabase();
    MainWindow w(&ui, exe());
    w.show();
    open(w, writeFile(QStringLiteral("planted.bin"), QByteArray(300, '\x5A')));
    const QString title = w.windowTitle();
    const qsizetype logLines = ui.log.size();
    const struct
    {
        const char* name;
        QByteArray text;
        const char* line;
    } cases[] = {
        {"bad.hex", intelHex(60, 57), "line 57"},
        {"bad.s19", sRecord(0) + sRecord(16) + "S113002033ZZ\n", "line 3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.errors.clear();
        const QString path = writeFile(QString::fromLatin1(c.name), c.text);
        open(w, path);
        ASSERT_EQ(ui.errors.size(), 1);
        EXPECT_TRUE(ui.errors.first().contains(path)) << ui.errors.first().toStdString();
        EXPECT_TRUE(ui.errors.first().endsWith(QLatin1String(c.line))) << ui.errors.first().toStdString();
        EXPECT_EQ(w.dataBuffer().usedLength, 300);
        EXPECT_EQ(w.dataBuffer().data()[0], 0x5A);
        EXPECT_EQ(w.dataBuffer().data()[300], 0xFF);
        EXPECT_EQ(viewByte(w, 0), 0x5A);
        EXPECT_FALSE(w.hasUnsavedChanges());
        EXPECT_EQ(w.windowTitle(), title);
        EXPECT_EQ(ui.log.size(), logLines) << "no \"Open\" line";
    }
}

TEST_F(KeptEdits, AnOpenedFileIsSavedUntilSomethingChangesIt)
{
    writeDatabase();
    MainWindow w(&ui, exe());
    w.show();
    const QString title = w.windowTitle();
    open(w, writeFile(QStringLiteral("in.bin"), QByteArray(100, '\x5A')));
    EXPECT_EQ(w.windowTitle(), title);
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(ui.questions.isEmpty());
}

TEST_F(KeptEdits, SaveWithoutAChipSavesTheUsedLengthAndRefusesAnEmptyBuffer)
{
    MainWindow w(&ui, exe()); // no database: no chip is shown
    w.show();
    ui.clearRecords();
    const QString empty = dir.filePath(QStringLiteral("empty.bin"));
    ui.saveFiles.push_back(empty);
    action(w, "saveAction").trigger();
    EXPECT_FALSE(QFile::exists(empty));
    ASSERT_EQ(ui.errors.size(), 1);

    open(w, writeFile(QStringLiteral("in.bin"), QByteArray(300, '\x5A')));
    const QString out = dir.filePath(QStringLiteral("out.bin"));
    ui.saveFiles.push_back(out);
    action(w, "saveAction").trigger();
    QFile saved(out);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray(300, '\x5A'));
}

TEST_F(KeptEdits, EnterInTheSearchFieldSelectsTheOnlyChipListed)
{
    writeDatabase();
    MainWindow w(&ui, exe());
    w.show();
    ChipSearchDialog& find = searchDialog(w);
    find.listAllChips();
    QComboBox& field = combo(find, "findCombo");
    field.lineEdit()->setText(QStringLiteral("c02"));
    ASSERT_EQ(child<QTreeWidget>(find, "chipList")->topLevelItemCount(), 1);
    EXPECT_TRUE(button(find, "selectButton").isEnabled()) << "the only match can be taken at once";
    // The key goes where the focus is: the editable list, not its text field.
    QTest::keyEvent(QTest::Click, &field, Qt::Key_Return);
    EXPECT_EQ(w.selection().currentChip(), 2);
}
