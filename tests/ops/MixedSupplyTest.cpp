// Chips of both supplies that answer one identification: the window never guesses the supply.
#include "tests/ops/CommandFixture.h"

#include <QPushButton>

#include <algorithm>

using namespace kestrum;
using namespace kestrum::test;

namespace {

class MixedSupply : public CommandFixture
{
protected:
    void SetUp() override
    {
        CommandFixture::SetUp();
        // W25Q256's record now answers W25Q64's identification as a 1.8 V chip of its size.
        ChipRecord& low = w().chipTable()[W25Q256];
        low.chipId = TestChips[W25Q64].id;
        low.flashSize = TestChips[W25Q64].size;
        low.voltage = Volt18;
    }

    int sharedIdLines() const
    {
        return int(std::count_if(ui.log.begin(), ui.log.end(),
            [](const QString& line) { return line.contains(QStringLiteral("chips of both supplies")); }));
    }
    void chooseName(int index)
    {
        auto& names = control<QComboBox>("nameCombo");
        names.setCurrentIndex(index);
        emit names.activated(index);
    }
};

} // namespace

TEST_F(MixedSupply, TestPreselectsNothingEvenWhenTheChipShownAnswersTheId)
{
    select(W25Q64);
    insertSelected(W25Q64);
    ui.rowChoices = {0};
    control<QPushButton>("detectButton").click();
    ASSERT_EQ(ui.choices.size(), 1u);
    EXPECT_EQ(ui.choices[0].preselected, -1);
    EXPECT_EQ(ui.choices[0].columns.value(0), QStringLiteral("Voltage"));
    EXPECT_EQ(w().selection().currentChip(), int(W25Q64));
}

TEST_F(MixedSupply, ChoosingSuchAChipInTheListsSaysOnceThatTheMarkingDecides)
{
    select(W25Q64); // through the indices, as a start restores it: nothing is said
    EXPECT_EQ(sharedIdLines(), 0);
    chooseName(1); // W25Q256, 1.8 V
    chooseName(1);
    EXPECT_EQ(sharedIdLines(), 1);
    EXPECT_TRUE(logTexts().contains(QStringLiteral(
        "W25Q256: chips of both supplies (3.3V and 1.8V) answer ID EF 40 17; the marking on the chip decides.")));
    chooseName(0); // W25Q64, 3.3 V, the same identification
    EXPECT_EQ(sharedIdLines(), 2);
    w().chipTable()[W25Q256].voltage = Volt33;
    chooseName(1);
    EXPECT_EQ(sharedIdLines(), 2) << "one supply: nothing to tell";
}
