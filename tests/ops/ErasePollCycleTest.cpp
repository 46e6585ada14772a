// The time a whole-chip erase may take: a record's delay counts status polls, and each poll costs
// its own pause plus the reply pause of the status command. The recording sleep function adds up
// that time without waiting; the simulated chip answers busy for a set number of polls.
#include "tests/ops/SimProgrammerFixture.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace kestrum;
using namespace kestrum::test;

namespace {

constexpr int Cycle = ChipProgrammer::ErasePollCycleMs;

/// Erase times of a small, a middle-sized and a large flash, in milliseconds.
constexpr int EraseTimesMs[] = {800, 4000, 25000};

class ErasePollCycleTest : public SimProgrammerTest
{
protected:
    struct Outcome
    {
        JobResult result;
        int polls; ///< status polls the simulated chip answered
        int sleptMs; ///< simulated time of the erase
    };

    /// Puts in a flash whose erase takes eraseMs: a poll sees the chip as it is after its own
    /// cycle, so every poll that ends before eraseMs have passed still reads busy.
    void insertChipErasingFor(int eraseMs)
    {
        insert(KSIM_CHIP_SPI_FLASH, 0x1000, 0xEF4010);
        sim.setErasePolls(programmerId, (eraseMs - 1) / Cycle);
    }

    Outcome erase(quint16 delay)
    {
        const ChipRecord r = record(SpiFlash25, 0x1000, 256, 0, delay);
        ui.clearRecords();
        EXPECT_EQ(programmer.beginJob(r, 0), JobStart::SpiFlash);
        const int pollsBefore = sim.state(programmerId).status_polls;
        sleeps.clear();
        const JobResult result = programmer.eraseChip(r);
        const int polls = sim.state(programmerId).status_polls - pollsBefore;
        const int slept = std::accumulate(sleeps.begin(), sleeps.end(), 0);
        programmer.endJob();
        return {result, polls, slept};
    }
};

TEST_F(ErasePollCycleTest, EachStatusPollTakesOneCycleOfItsPauseAndTheReplyPause)
{
    EXPECT_EQ(Cycle, 100) << "the erase delays of the chip list count 100 ms polls";
    for (const int eraseMs : EraseTimesMs) {
        SCOPED_TRACE(eraseMs);
        insertChipErasingFor(eraseMs);
        const Outcome o = erase(static_cast<quint16>(2 * eraseMs / Cycle));
        ASSERT_EQ(o.result, JobResult::Done);
        ASSERT_GT(o.polls, 0);
        EXPECT_EQ(o.sleptMs, o.polls * Cycle);
        // The last poll is the first one after the erase time.
        EXPECT_GE(o.sleptMs, eraseMs);
        EXPECT_LT(o.sleptMs, eraseMs + Cycle);
    }
}

TEST_F(ErasePollCycleTest, ADelayOfTheEraseTimeInCyclesLetsTheEraseFinishAndHalfOfItTimesOut)
{
    for (const int eraseMs : EraseTimesMs) {
        SCOPED_TRACE(eraseMs);
        const auto enough = static_cast<quint16>((eraseMs + Cycle - 1) / Cycle);
        insertChipErasingFor(eraseMs);
        const Outcome done = erase(enough);
        EXPECT_EQ(done.result, JobResult::Done);
        EXPECT_EQ(done.polls, enough);
        EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join(u'|').toStdString();

        const auto tooShort = static_cast<quint16>(enough / 2);
        insertChipErasingFor(eraseMs);
        const Outcome timedOut = erase(tooShort);
        EXPECT_EQ(timedOut.result, JobResult::Failed);
        EXPECT_EQ(ui.errors, QStringList {messageText(MsgEraseTimeout, 2)});
        // The routine gives up after delay + 2 polls, before the chip is done.
        EXPECT_EQ(timedOut.polls, tooShort + 2);
        EXPECT_LT(timedOut.sleptMs, eraseMs);
    }
}

} // namespace
