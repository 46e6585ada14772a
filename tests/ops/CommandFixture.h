#pragma once

// The main window, headless, with its real USB transport bound to the simulated programmer and a
// small chip database of one chip per class.

#include "app/DeviceChangeMonitor.h"
#include "app/FlashEditorHost.h"
#include "app/MainWindow.h"
#include "app/StatusBar.h"
#include "hexview/HexEditor.h"
#include "link/UsbLink.h"
#include "ops/ChipOperations.h"
#include "ops/ChipProgrammer.h"
#include "tests/sim/SimControl.h"
#include "tests/support/FormChild.h"
#include "tests/support/ScriptedUserInterface.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QToolBar>

#include <gtest/gtest.h>

#include <memory>

namespace kestrum::test {

struct ChipRow
{
    const char* names;
    quint32 id;
    quint32 size;
    quint16 page;
    quint8 chipClass;
    quint8 subtype;
    quint16 delay;
};

/// Slots of the test database, in database order: types appear as SPI flash, 24-series,
/// 93-series, 25-series EEPROM, as detection expects.
enum Slot { W25Q64 = 0, W25Q256, MX25L1005, AT24C02, C93C46, AT25010, NoIdFlash };

inline const ChipRow TestChips[] = {
    {"SPI-Flash,Winbond,W25Q64", 0xEF4017, 0x800000, 256, SpiFlash25, 0, 100},
    {"SPI-Flash,Winbond,W25Q256", 0xEF4019, 0x2000000, 256, SpiFlash25, 0, 100},
    {"SPI-Flash,Macronix,MX25L1005", 0xC22011, 0x20000, 256, SpiFlash25, 0, 100},
    {"24-EEPROM,Atmel,AT24C02", 0, 256, 8, I2cEeprom24, 0, 100},
    {"93-EEPROM,Microchip,93C46", 0, 128, 1, MicrowireEeprom93, 7, 100},
    {"25-EEPROM,Atmel,AT25010", 0, 128, 8, SpiEeprom25, 0, 100},
};

/// Type, manufacturer and name list positions of each slot above.
inline const int SlotIndices[][3] = {{0, 0, 0}, {0, 0, 1}, {0, 1, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}};

/// Also keeps the beeps and the log lines in the order they came, each line without its number.
class SequencedUserInterface : public ScriptedUserInterface
{
public:
    void beep() override
    {
        ScriptedUserInterface::beep();
        sequence << QStringLiteral("beep");
    }
    void insertLogLine(const QString& line) override
    {
        ScriptedUserInterface::insertLogLine(line);
        sequence << line.mid(line.indexOf(QLatin1Char(':')) + 1);
    }

    QStringList sequence;
};

class CommandFixture : public ::testing::Test
{
protected:
    SimControl& sim = SimControl::get();
    QTemporaryDir dir;
    SequencedUserInterface ui;
    std::unique_ptr<MainWindow> window;
    int programmerId = 0;
    std::vector<int> sleeps;

    void SetUp() override
    {
        ASSERT_TRUE(sim.ok()) << sim.why();
        sim.reset();
        programmerId = sim.addProgrammer(sim.addBus(), "WinUSBComm");
        writeDatabase();
        QFile ini(dir.filePath(QStringLiteral("kestrum.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        // The backup before a change of the chip is a test of its own; the others see the chip as it is.
        ini.write("[DEVICE]\nLANGU=2\n[Safety]\nBackup=0\n");
        ini.close();
        window = std::make_unique<MainWindow>(&ui, dir.filePath(QStringLiteral("kestrum")));
        window->usb().setSleepFunction([this](int ms) { sleeps.push_back(ms); });
        window->programmer().setPumpInterval(0);
        window->loadChipDatabase();
        window->applyLanguage();
        ui.clearRecords();
    }

    void writeDatabase() const
    {
        std::vector<ChipRecord> records;
        for (const ChipRow& row : TestChips) {
            ChipRecord r {};
            EXPECT_TRUE(r.setNamesText(QString::fromLatin1(row.names)));
            r.chipId = row.id;
            r.flashSize = row.size;
            r.flashPage = row.page;
            r.chipClass = row.chipClass;
            r.subtype = row.subtype;
            r.delay = row.delay;
            records.push_back(r);
        }
        records.push_back(ChipRecord {});
        QFile f(dir.filePath(QStringLiteral("kestrum.Dat")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(records.data()), qsizetype(records.size() * sizeof(ChipRecord)));
    }

    MainWindow& w() { return *window; }

    /// A control of the window, by its object name.
    template <class T> T& control(const char* name) { return *child<T>(w(), name); }
    QAction& action(const char* name) { return control<QAction>(name); }
    StatusBar& statusBar() { return control<StatusBar>("statusBar"); }
    FlashEditorHost& hexView() { return control<FlashEditorHost>("hexView"); }

    /// Selects a chip of the test database through the lists.
    void select(Slot slot)
    {
        const int* i = SlotIndices[slot];
        w().setSelectionIndices(i[0], i[1], i[2]);
        ASSERT_EQ(w().selectByIndices(i[0], i[1], i[2]), int(slot));
    }

    /// Puts a chip of that kind into the socket.
    void insert(int kind, quint32 size, quint32 jedec = 0)
    {
        ASSERT_EQ(sim.insertChip(programmerId, kind, size, jedec), 0);
    }
    void insertSelected(Slot slot)
    {
        static const int kinds[]
            = {KSIM_CHIP_NONE, KSIM_CHIP_SPI_FLASH, KSIM_CHIP_I2C_EEPROM, KSIM_CHIP_MW_EEPROM, KSIM_CHIP_SPI_EEPROM};
        const ChipRow& row = TestChips[slot];
        insert(kinds[row.chipClass + 1], row.size, row.id);
    }
    quint8* cells(quint32* size = nullptr) { return sim.chipBytes(programmerId, size); }

    /// A pattern that is neither 0x00 nor 0xFF anywhere (a zeroed or erased chip cannot pass for it).
    static quint8 pattern(quint32 i) { return static_cast<quint8>(0x11 + (i * 7 + (i >> 8)) % 0xDD); }
    void fillChipPattern()
    {
        quint32 size = 0;
        quint8* c = cells(&size);
        for (quint32 i = 0; i < size; ++i)
            c[i] = pattern(i);
    }
    void fillBufferPattern(quint32 length)
    {
        for (quint32 i = 0; i < length; ++i)
            w().dataBuffer().data()[i] = pattern(i);
        w().dataBuffer().usedLength = qint32(length);
    }

    ksim_state state() const
    {
        ksim_state s {};
        sim.fetchState(programmerId, &s);
        return s;
    }

    /// The window is usable again: unlocked, progress bar hidden, "Ready".
    void expectUnlocked()
    {
        EXPECT_TRUE(control<QToolBar>("commandBar").isEnabled());
        EXPECT_TRUE(control<QWidget>("mainPanel").isEnabled());
        EXPECT_FALSE(statusBar().progress()->isVisible());
        EXPECT_EQ(statusBar().panelText(1), QStringLiteral("Ready"));
        EXPECT_EQ(sim.openHandles(), 0) << "every job closes the link";
        EXPECT_FALSE(w().operations().isBusy());
    }

    /// Opcodes of the command blocks sent, in order.
    std::vector<int> sentOpcodes() const
    {
        std::vector<int> ops;
        for (const SimCall& c : sim.calls(KSIM_CALL_BULK_WRITE)) {
            if (c.call.endpoint == 0x02 && c.bytes.size() == 64)
                ops.push_back(c.bytes[1]);
        }
        return ops;
    }

    /// The log's texts without their numbers, oldest first.
    QStringList logTexts() const
    {
        QStringList texts;
        for (const QString& line : ui.log)
            texts.prepend(line.mid(line.indexOf(QLatin1Char(':')) + 1));
        return texts;
    }

    /// True when no log line is a completion line.
    bool noCompletionLine() const
    {
        for (const QString& line : ui.log)
            if (line.contains(QStringLiteral("Complete!")))
                return false;
        return true;
    }
};

} // namespace kestrum::test
