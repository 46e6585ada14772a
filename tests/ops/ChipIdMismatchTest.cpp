// Every chip command on a flash that answers another ID than the selected chip's asks first.
#include "tests/ops/CommandFixture.h"

using namespace kestrum;
using namespace kestrum::test;

namespace {

constexpr int OpIdentify = 9;
constexpr int OpEnd = 8;
constexpr quint32 OtherId = 0xEF4018;

class ChipIdMismatch : public CommandFixture
{
protected:
    void SetUp() override
    {
        CommandFixture::SetUp();
        select(W25Q64);
        // A chip of the selected size whose ID is not the selected record's (EF 40 17).
        insert(KSIM_CHIP_SPI_FLASH, TestChips[W25Q64].size, OtherId);
    }

    int linesContaining(const QString& text) const
    {
        int n = 0;
        for (const QString& line : ui.log)
            n += line.contains(text) ? 1 : 0;
        return n;
    }

    const QString question = QStringLiteral(
        "The chip in the socket answers ID EF 40 18, but W25Q64 (EF 40 17) is selected. Continue anyway?");
    const QString logLine
        = QStringLiteral("The chip in the socket answers ID EF 40 18, but W25Q64 (EF 40 17) is selected.");
};

TEST_F(ChipIdMismatch, AnsweredNoEndsWriteEraseAndAutoWithNothingSentAfterTheIdentify)
{
    fillChipPattern();
    fillBufferPattern(4096);
    for (const char* command : {"writeAction", "eraseAction", "autoAction"}) {
        SCOPED_TRACE(command);
        ui.clearRecords();
        ui.answers = {false};
        sim.clearCalls();
        action(command).trigger();
        EXPECT_EQ(ui.questions, QStringList {question});
        // The identify job (its command and its end) is all that went out: no set-up, no data.
        EXPECT_EQ(sentOpcodes(), (std::vector<int> {OpIdentify, OpEnd}));
        EXPECT_EQ(sim.calls(KSIM_CALL_BULK_WRITE).size(), 2u);
        EXPECT_EQ(cells()[0], pattern(0)) << "the chip is untouched";
        EXPECT_EQ(w().operations().lastOutcome(), CommandOutcome::WrongChip);
        EXPECT_TRUE(ui.errors.isEmpty());
        EXPECT_TRUE(noCompletionLine());
        EXPECT_EQ(ui.beeps, 0);
        expectUnlocked();
    }
}

TEST_F(ChipIdMismatch, AnsweredYesTheWriteRuns)
{
    fillBufferPattern(4096);
    ui.answers = {true};
    action("writeAction").trigger();
    EXPECT_EQ(ui.questions, QStringList {question});
    EXPECT_EQ(w().operations().lastOutcome(), CommandOutcome::Done);
    for (quint32 i = 0; i < 4096; ++i)
        ASSERT_EQ(cells()[i], pattern(i)) << "at " << i;
    EXPECT_EQ(linesContaining(QStringLiteral("Write Complete!")), 1);
    EXPECT_EQ(linesContaining(logLine), 0) << "the question was asked; no log line besides";
    expectUnlocked();
}

TEST_F(ChipIdMismatch, ReadAsksAsWellAndKeepingTheSelectedChipReads)
{
    fillChipPattern();
    ui.answers = {true};
    action("readAction").trigger();
    EXPECT_EQ(ui.questions, QStringList {question});
    EXPECT_EQ(linesContaining(QStringLiteral("Read Complete!")), 1);
    EXPECT_EQ(w().operations().lastOutcome(), CommandOutcome::Done);
    ASSERT_EQ(w().dataBuffer().usedLength, qint32(TestChips[W25Q64].size));
    EXPECT_EQ(w().dataBuffer().data()[0], pattern(0));
    EXPECT_EQ(w().dataBuffer().data()[0x7FFFFF], pattern(0x7FFFFF));
    expectUnlocked();
}

} // namespace
