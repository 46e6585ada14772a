// Chip detection ("Test") through ChipOperations, against the simulated programmer, with the chip
// lists of a small database and no window.
#include "chipdb/ChipSelection.h"
#include "ops/ChipOperations.h"
#include "tests/ops/SimProgrammerFixture.h"

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

/// The window's side of detection: a chip table, its selection lists and the three indices.
class ListsHost : public OperationsHost
{
public:
    ListsHost()
        : m_selection(table, [](std::uint32_t) {})
    {
    }

    const ChipRecord& currentRecord() const override { return m_selection.currentRecord(); }
    int speedIndex() const override { return 0; }
    bool autoErase() const override { return true; }
    bool autoProgram() const override { return true; }
    bool autoVerify() const override { return true; }
    void takeViewEdits() override { }
    void setElapsedText(const QString&) override { }
    const ChipTable& chipTable() const override { return table; }
    const ChipSelection& selection() const override { return m_selection; }
    int selectByIndices(int typeIndex, int makerIndex, int nameIndex) override
    {
        return m_selection.selectByIndices(typeIndex, makerIndex, nameIndex);
    }
    void setSelectionIndices(int typeIndex, int makerIndex, int nameIndex) override
    {
        m_indices[0] = typeIndex;
        m_indices[1] = makerIndex;
        m_indices[2] = nameIndex;
    }
    int typeIndex() const override { return m_indices[0]; }
    int makerIndex() const override { return m_indices[1]; }
    int nameIndex() const override { return m_indices[2]; }

    ChipTable table;

private:
    ChipSelection m_selection;
    int m_indices[3] = {0, 0, 0};
};

class ChipDetection : public ::testing::Test, public SimProgrammerFixture
{
protected:
    // Slots: the 24-series records come before a flash record and carry ID fields of their own,
    // one of them 0, one equal to the flash record's JEDEC ID.
    enum Slot { W25Q64 = 0, AT24C01, AT24C02, W25Q16 };

    void SetUp() override
    {
        setUpWorld(ProductBigEndian);
        add(W25Q64, "SPI-Flash,Winbond,W25Q64", SpiFlash25, 0xEF4017);
        add(AT24C01, "24-EEPROM,Atmel,AT24C01", I2cEeprom24, 0);
        add(AT24C02, "24-EEPROM,Atmel,AT24C02", I2cEeprom24, 0xEF4015);
        add(W25Q16, "SPI-Flash,Winbond,W25Q16", SpiFlash25, 0xEF4015);
        ASSERT_EQ(host.selectByIndices(0, 0, 0), int(W25Q64));
    }

    void add(Slot slot, const char* names, quint8 chipClass, quint32 id)
    {
        ChipRecord& r = host.table[slot];
        ASSERT_TRUE(r.setNamesText(QString::fromLatin1(names)));
        r.chipClass = chipClass;
        r.chipId = id;
        r.flashSize = 0x1000;
        r.flashPage = chipClass == SpiFlash25 ? 256 : 8;
        r.delay = 100;
    }

    ListsHost host;
    ChipOperations operations {usb, programmer, reporter, buffer, view, host};
};

TEST_F(ChipDetection, IdentificationOfAllZerosOrAllOnesMeansNoChip)
{
    for (quint32 id : {0x000000u, 0xFFFFFFu}) {
        SCOPED_TRACE(testing::Message() << std::hex << id);
        ui.clearRecords();
        insert(KSIM_CHIP_SPI_FLASH, 0x1000, id);
        operations.detect();
        EXPECT_EQ(ui.errors, QStringList {QStringLiteral("No chips detected, please put the chip to try again!")});
        EXPECT_TRUE(ui.informations.isEmpty());
        EXPECT_EQ(host.selection().currentChip(), int(W25Q64));
    }
}

TEST_F(ChipDetection, IdentificationIsLookedUpAmongFlashRecordsOnly)
{
    host.selectByIndices(1, 0, 0);
    insert(KSIM_CHIP_SPI_FLASH, 0x1000, 0xEF4015);
    operations.detect();
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_EQ(host.selection().currentChip(), int(W25Q16));
    EXPECT_EQ(ui.informations, QStringList {QStringLiteral("The chip was detected:W25Q16\n\n Chip typeSPI-Flash")});
}

} // namespace

namespace {

class SharedIdDetection : public ChipDetection
{
protected:
    void SetUp() override
    {
        ChipDetection::SetUp();
        // A second listed flash answers W25Q16's identification.
        add(W25Q16DV, "SPI-Flash,Winbond,W25Q16DV", SpiFlash25, 0xEF4015);
        ASSERT_EQ(host.selectByIndices(0, 0, 0), int(W25Q64));
        insert(KSIM_CHIP_SPI_FLASH, 0x1000, 0xEF4015);
    }
    static constexpr Slot W25Q16DV = Slot(4);
    const QString detectedDv = QStringLiteral("The chip was detected:W25Q16DV\n\n Chip typeSPI-Flash");
};

TEST_F(SharedIdDetection, TheUserChoosesAmongTheChipsAndTheIdIsLogged)
{
    ui.rowChoices = {1};
    operations.detect();
    ASSERT_EQ(ui.choices.size(), 1u);
    const UserInterface::Choice& choice = ui.choices[0];
    EXPECT_EQ(choice.text, QStringLiteral("2 chips answer ID EF 40 15. Choose the one in the socket:"));
    EXPECT_EQ(choice.columns,
        QStringList({QStringLiteral("Manufacturer"), QStringLiteral("Name"), QStringLiteral("Size"),
            QStringLiteral("Voltage")}));
    ASSERT_EQ(choice.rows.size(), 2);
    EXPECT_EQ(choice.rows[0],
        QStringList(
            {QStringLiteral("Winbond"), QStringLiteral("W25Q16"), QStringLiteral("4 KiB"), QStringLiteral("3.3V")}));
    EXPECT_EQ(choice.rows[1].value(1), QStringLiteral("W25Q16DV"));
    EXPECT_EQ(choice.preselected, 0) << "the chip shown does not answer this ID: the first is preselected";
    EXPECT_EQ(host.selection().currentChip(), int(W25Q16DV));
    EXPECT_EQ(ui.informations, QStringList {detectedDv});
    EXPECT_EQ(ui.log, QStringList {QStringLiteral("001:Chip ID: EF 40 15")});
}

TEST_F(SharedIdDetection, TheChipShownIsPreselectedWhenItAnswersAndCancelChangesNothing)
{
    const int name = host.selection().names().indexOfIgnoringCase(QStringLiteral("W25Q16DV"));
    ASSERT_EQ(host.selectByIndices(0, 0, name), int(W25Q16DV));
    ui.rowChoices = {std::nullopt};
    operations.detect();
    ASSERT_EQ(ui.choices.size(), 1u);
    EXPECT_EQ(ui.choices[0].preselected, 1);
    EXPECT_EQ(host.selection().currentChip(), int(W25Q16DV));
    EXPECT_TRUE(ui.informations.isEmpty()) << "a cancelled choice shows no report";
    EXPECT_EQ(operations.lastOutcome(), CommandOutcome::Refused);
}

TEST_F(ChipDetection, ChipsOfDifferentSuppliesShowTheVoltageFirstAndNothingPreselected)
{
    add(Slot(4), "SPI-Flash,Spansion,S25FL128S", SpiFlash25, 0x012018);
    add(Slot(5), "SPI-Flash,Cypress,S25FS128S", SpiFlash25, 0x012018);
    host.table[5].voltage = Volt18;
    insert(KSIM_CHIP_SPI_FLASH, 0x1000, 0x012018);
    ui.rowChoices = {0};
    operations.detect();
    const UserInterface::Choice choice = ui.choices.at(0);
    EXPECT_EQ(choice.preselected, -1);
    EXPECT_EQ(choice.columns.value(0), QStringLiteral("Voltage"));
    EXPECT_TRUE(choice.text.endsWith(QStringLiteral("the marking on the chip decides.")));
    EXPECT_TRUE(ui.log.contains(QStringLiteral("002:Supply voltage of S25FL128S: 3.3V")));
}

} // namespace
