// Chip commands that cannot be done safely are refused before they open the programmer.
#include "tests/ops/CommandFixture.h"

#include <QPushButton>

using namespace kestrum;
using namespace kestrum::test;

namespace {

class ChipRefusal : public CommandFixture
{
protected:
    /// Starts every chip command and "Test" with an image in the buffer: each one says text and
    /// none opens the programmer.
    void expectEveryCommandRefused(const QString& text)
    {
        fillBufferPattern(0x100);
        sim.clearCalls();
        ui.clearRecords();
        for (const char* command : {"R1", "E1", "W1", "V1", "N7", "A1"})
            action(command).trigger();
        control<QPushButton>("BitBtn1").click();
        EXPECT_EQ(ui.errors, QStringList(7, text));
        EXPECT_TRUE(sim.calls(KSIM_CALL_OPEN).empty()) << "no job was opened";
        EXPECT_EQ(logTexts(), ui.errors) << "each refusal has its log line";
    }

    /// A new window over the database file as it is now.
    void reopen()
    {
        window = std::make_unique<TForm1>(&ui, dir.filePath(QStringLiteral("kestrum")));
        window->LoadChipDatabase();
    }
    QString databasePath() const { return dir.filePath(QStringLiteral("kestrum.Dat")); }
};

} // namespace

TEST_F(ChipRefusal, NoCommandRunsWhileTheListsShowNoChip)
{
    insertSelected(W25Q64);
    const QString noChip = messageText(MsgNoChipSelected, 2);
    {
        SCOPED_TRACE("indices that designate nothing");
        w().selectByIndices(0, 0, 9);
        expectEveryCommandRefused(noChip);
    }
    {
        SCOPED_TRACE("a truncated database");
        ASSERT_TRUE(QFile::resize(databasePath(), 3 * ChipRecordSize + 5));
        reopen();
        expectEveryCommandRefused(noChip);
    }
    {
        SCOPED_TRACE("no database");
        ASSERT_TRUE(QFile::remove(databasePath()));
        reopen();
        expectEveryCommandRefused(noChip);
    }
    EXPECT_EQ(state().erase_commands, 0);
}

TEST_F(ChipRefusal, NoCommandRunsOnARecordThatCannotBeRight)
{
    insertSelected(AT24C02);
    struct Flaw
    {
        quint32 size;
        quint16 page;
        quint8 chipClass;
        MessageKey what;
    };
    for (const Flaw& f :
        {Flaw {0xFFFFFFFFu, 8, I2cEeprom24, MsgRecordCapacity}, Flaw {0, 8, I2cEeprom24, MsgRecordCapacity},
            Flaw {256, 8, 4, MsgRecordClass}, Flaw {256, 0, I2cEeprom24, MsgRecordPageSize}}) {
        SCOPED_TRACE(testing::Message() << f.size << " " << f.page << " " << int(f.chipClass));
        select(AT24C02);
        ChipRecord& r = w().chipTable()[AT24C02];
        r.flashSize = f.size;
        r.flashPage = f.page;
        r.chipClass = f.chipClass;
        expectEveryCommandRefused(messageText(MsgRecordFlawed, 2).arg(messageText(f.what, 2)));
    }
}

TEST_F(ChipRefusal, AnIdentificationOfAllZerosOrAllOnesMeansNoChipBeforeAJob)
{
    select(W25Q64);
    for (quint32 id : {0x000000u, 0xFFFFFFu}) {
        SCOPED_TRACE(id);
        insert(KSIM_CHIP_SPI_FLASH, 0x800000, id);
        ui.clearRecords();
        action("E1").trigger();
        EXPECT_EQ(ui.errors, QStringList {QStringLiteral("No chips detected, please put the chip to try again!")});
        EXPECT_EQ(state().erase_commands, 0);
        EXPECT_EQ(logTexts(), ui.errors);
    }
}
