// Faults on the wire and records the routines refuse: each ends with its box, a failure result,
// and a window that the end of the job unlocks with the progress bar hidden.
#include "tests/ops/SimProgrammerFixture.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace kestrum;
using namespace kestrum::test;

namespace {

enum class Routine { Read, BlankCheck, Verify, Write, EraseFlash, EraseEeprom, ReadLarge };

struct FaultCase
{
    const char* name;
    Routine routine;
    int fault;
    int atTransfer; ///< counted from the end of the set-up exchange
};

void PrintTo(const FaultCase& c, std::ostream* os)
{
    *os << c.name;
}

// Transfers after the set-up: a read stream is the transfer start (write, reply) and then its data
// blocks; a write stream is the transfer start (write only) and its blocks; a chip erase is the
// erase command, then status (write, reply) per poll; above 16 MiB the 0xB7 exchange comes first.
const FaultCase Faults[] = {
    {"ReadUnplugged", Routine::Read, KSIM_FAULT_UNPLUG, 7},
    {"ReadTimesOut", Routine::Read, KSIM_FAULT_TIMEOUT, 3},
    {"ReadComesBackShort", Routine::Read, KSIM_FAULT_SHORT, 18},
    {"ReadEndpointStalls", Routine::Read, KSIM_FAULT_STALL, 4},
    {"ReadStartNotTaken", Routine::Read, KSIM_FAULT_TIMEOUT, 1},
    {"ReadStartReplyShort", Routine::Read, KSIM_FAULT_SHORT, 2},
    {"BlankCheckComesBackShort", Routine::BlankCheck, KSIM_FAULT_SHORT, 4},
    {"BlankCheckUnplugged", Routine::BlankCheck, KSIM_FAULT_UNPLUG, 9},
    {"VerifyComesBackShort", Routine::Verify, KSIM_FAULT_SHORT, 3},
    {"VerifyTimesOut", Routine::Verify, KSIM_FAULT_TIMEOUT, 12},
    {"WriteTimesOut", Routine::Write, KSIM_FAULT_TIMEOUT, 4},
    {"WriteTakenShort", Routine::Write, KSIM_FAULT_SHORT, 2},
    {"WriteUnplugged", Routine::Write, KSIM_FAULT_UNPLUG, 17},
    {"WriteEndpointStalls", Routine::Write, KSIM_FAULT_STALL, 9},
    {"EraseCommandLost", Routine::EraseFlash, KSIM_FAULT_TIMEOUT, 1},
    {"EraseStatusUnplugged", Routine::EraseFlash, KSIM_FAULT_UNPLUG, 2},
    {"EraseStatusReplyShort", Routine::EraseFlash, KSIM_FAULT_SHORT, 3},
    {"EepromErasePageLost", Routine::EraseEeprom, KSIM_FAULT_TIMEOUT, 7},
    {"FourByteModeNotTaken", Routine::ReadLarge, KSIM_FAULT_TIMEOUT, 1},
    {"FourByteModeReplyLost", Routine::ReadLarge, KSIM_FAULT_STALL, 2},
};

class TransferFaultTest : public ::testing::TestWithParam<FaultCase>, public SimProgrammerFixture
{
protected:
    void SetUp() override { setUpWorld(ProductBigEndian); }
};

TEST_P(TransferFaultTest, EndsTheRoutineWithAnErrorBoxAndAFailure)
{
    const FaultCase& c = GetParam();
    const bool large = c.routine == Routine::ReadLarge;
    const bool eeprom = c.routine == Routine::EraseEeprom;
    const quint32 size = large ? 0x1000100 : 0x1000;
    insert(eeprom ? KSIM_CHIP_I2C_EEPROM : KSIM_CHIP_SPI_FLASH, size, 0xEF4010);
    sim.setErasePolls(programmerId, 3);
    const ChipRecord r = record(eeprom ? I2cEeprom24 : SpiFlash25, size, 256, 0, 100);
    // The buffer equals the blank chip, so only a lost transfer can make the routine fail.
    std::memset(buffer.data(), 0xFF, size);
    buffer.usedLength = static_cast<qint32>(size);
    const std::vector<quint8> before(buffer.data(), buffer.data() + 64);

    ASSERT_TRUE(jobOpened(programmer.beginJob(r, 0)));
    ASSERT_EQ(sim.armFault(programmerId, c.fault, c.atTransfer), 0);
    JobResult result = JobResult::Done;
    switch (c.routine) {
    case Routine::Read:
    case Routine::ReadLarge:
        result = programmer.readChip(r);
        break;
    case Routine::BlankCheck:
        result = programmer.blankCheckChip(r);
        break;
    case Routine::Verify:
        result = programmer.verifyChip(r);
        break;
    case Routine::Write:
        result = programmer.writeChip(r);
        break;
    case Routine::EraseFlash:
    case Routine::EraseEeprom:
        result = programmer.eraseChip(r);
        break;
    }
    EXPECT_EQ(result, JobResult::Failed);
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].startsWith(QStringLiteral("Programmer communication failed.")))
        << ui.errors[0].toStdString();
    // Only a lost programmer is said to be unplugged.
    EXPECT_EQ(ui.errors[0].endsWith(QStringLiteral("The programmer was unplugged.")), c.fault == KSIM_FAULT_UNPLUG);
    EXPECT_FALSE(view.progressVisible);
    EXPECT_TRUE(view.locked);

    programmer.endJob();
    EXPECT_FALSE(view.locked);
    EXPECT_FALSE(programmer.isJobOpen());
    // A programmer that went away during the job is not ready.
    EXPECT_EQ(view.status, c.fault == KSIM_FAULT_UNPLUG ? QStringLiteral("Not connected") : QStringLiteral("Ready"));
    EXPECT_EQ(sim.openHandles(), 0);
    EXPECT_EQ(ui.errors.size(), 1);
}

std::string faultName(const ::testing::TestParamInfo<FaultCase>& param)
{
    return param.param.name;
}

INSTANTIATE_TEST_SUITE_P(Faults, TransferFaultTest, ::testing::ValuesIn(Faults), faultName);

// ---------------------------------------------------------------------------------------------

TEST_F(SimProgrammerTest, FailedSetupShowsTheFailureAndTheJobStillEnds)
{
    insert(KSIM_CHIP_SPI_FLASH, 0x1000, 0xEF4010);
    sim.armFault(programmerId, KSIM_FAULT_TIMEOUT, 1);
    EXPECT_EQ(programmer.beginJob(record(SpiFlash25, 0x1000, 256), 0), JobStart::SetupFailed);
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("Programmer communication failed.")});
    programmer.endJob();
    EXPECT_FALSE(view.locked);
    EXPECT_EQ(sim.openHandles(), 0);
}

TEST_F(SimProgrammerTest, FailedIdentifyShowsTheFailureAndLeavesTheReplyAlone)
{
    insert(KSIM_CHIP_SPI_FLASH, 0x1000, 0xEF4010);
    sim.armFault(programmerId, KSIM_FAULT_SHORT, 2);
    quint8 reply[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_EQ(programmer.identifyChip(record(SpiFlash25, 0x1000, 256), 0, reply), Identification::Failed);
    EXPECT_EQ(reply[0], 0xAA);
    EXPECT_EQ(reply[1], 0xAA);
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("Programmer communication failed.")});
    EXPECT_FALSE(view.locked);
    EXPECT_EQ(view.status, QStringLiteral("Ready"));
    EXPECT_EQ(sim.openHandles(), 0);
}

TEST_F(SimProgrammerTest, ReadCutShortLeavesBufferUsedLengthAndViewInStep)
{
    insert(KSIM_CHIP_SPI_FLASH, 0x1000, 0xEF4010);
    fillChip(4);
    std::memset(buffer.data(), 0xFF, 0x1000);
    buffer.usedLength = 0;
    const ChipRecord r = record(SpiFlash25, 0x1000, 256);
    ASSERT_TRUE(jobOpened(programmer.beginJob(r, 0)));
    // Transfer start (2 transfers), then blocks 0 and 1 arrive, block 2 does not.
    sim.armFault(programmerId, KSIM_FAULT_UNPLUG, 5);
    EXPECT_EQ(programmer.readChip(r), JobResult::Failed);
    EXPECT_EQ(std::memcmp(buffer.data(), cells(), 512), 0);
    EXPECT_EQ(buffer.data()[512], 0xFF);
    EXPECT_EQ(buffer.usedLength, 512);
    EXPECT_EQ(view.refreshed, std::vector<quint32> {0x1000}) << "the view spans the chip";
    programmer.endJob();
}

TEST_F(SimProgrammerTest, FailedReadKeepsNothingOfTheImageBefore)
{
    struct Case
    {
        int fault;
        int atTransfer; ///< counted from the end of the set-up exchange
        quint32 arrived;
    };
    // Block 1 comes back half; block 3 times out; the transfer start is not taken.
    const Case cases[] = {{KSIM_FAULT_SHORT, 4, 256 + 128}, {KSIM_FAULT_TIMEOUT, 6, 768}, {KSIM_FAULT_TIMEOUT, 1, 0}};
    insert(KSIM_CHIP_SPI_FLASH, 0x1000, 0xEF4010);
    fillChip(4);
    const ChipRecord r = record(SpiFlash25, 0x1000, 256);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "fault " << c.fault << " at " << c.atTransfer);
        // The image of an earlier file fills the whole chip span.
        fillBuffer(0x1000, 9);
        view.clear();
        ASSERT_TRUE(jobOpened(programmer.beginJob(r, 0)));
        sim.armFault(programmerId, c.fault, c.atTransfer);
        EXPECT_EQ(programmer.readChip(r), JobResult::Failed);
        programmer.endJob();

        EXPECT_EQ(std::memcmp(buffer.data(), cells(), c.arrived), 0);
        const std::vector<quint8> rest(buffer.data() + c.arrived, buffer.data() + 0x1000);
        EXPECT_EQ(rest, std::vector<quint8>(0x1000 - c.arrived, 0xFF));
        EXPECT_EQ(buffer.usedLength, static_cast<qint32>(c.arrived));
        EXPECT_EQ(view.refreshed, std::vector<quint32> {0x1000});
    }
}

TEST_F(SimProgrammerTest, ReadEndedByAnErrorFromTheWindowKeepsOnlyWhatArrived)
{
    insert(KSIM_CHIP_SPI_FLASH, 0x1000, 0xEF4010);
    fillChip(4);
    fillBuffer(0x1000, 9);
    const ChipRecord r = record(SpiFlash25, 0x1000, 256);
    ASSERT_TRUE(jobOpened(programmer.beginJob(r, 0)));
    // Every block is followed by a pump; the third one throws.
    view.duringPump = [this] {
        if (view.pumps == 3)
            throw std::runtime_error("event handler failed");
    };
    EXPECT_THROW(programmer.readChip(r), std::runtime_error);
    view.duringPump = nullptr;
    programmer.endJob();

    EXPECT_EQ(std::memcmp(buffer.data(), cells(), 768), 0);
    EXPECT_EQ(buffer.data()[768], 0xFF);
    EXPECT_EQ(buffer.data()[0xFFF], 0xFF);
    EXPECT_EQ(buffer.usedLength, 768);
}

// ---------------------------------------------------------------------------------------------
// A programmer that stops answering: every command costs at most one full time-out.

TEST_F(SimProgrammerTest, AFailedCommandIsNotAnsweredAndTheJobEndsWithAShortTimeOut)
{
    insert(KSIM_CHIP_SPI_FLASH, 0x1000, 0xEF4010);
    const ChipRecord r = record(SpiFlash25, 0x1000, 256);
    quint8 reply[4] = {};

    // A healthy job ends with the full time-out: a busy programmer still gets its end command.
    sim.clearCalls();
    ASSERT_EQ(programmer.identifyChip(r, 0, reply), Identification::Done);
    ASSERT_EQ(traffic(), (std::vector<std::string> {"W02:64", "R82:64", "W02:64"}));
    EXPECT_EQ(sim.transfers()[2].call.timeout, UsbLink::BulkTimeoutMs);

    // The identify command, then the set-up command, is not taken: no reply is waited for, and
    // the end command waits only briefly.
    for (bool identify : {true, false}) {
        SCOPED_TRACE(identify ? "identify" : "set-up");
        sim.clearCalls();
        sim.armFault(programmerId, KSIM_FAULT_TIMEOUT, 1);
        if (identify) {
            EXPECT_EQ(programmer.identifyChip(r, 0, reply), Identification::Failed);
        } else {
            EXPECT_EQ(programmer.beginJob(r, 0), JobStart::SetupFailed);
            programmer.endJob();
        }
        const std::vector<SimCall> transfers = sim.transfers();
        ASSERT_EQ(traffic(), (std::vector<std::string> {"W02:64", "W02:64"}));
        EXPECT_EQ(transfers[0].call.timeout, UsbLink::BulkTimeoutMs);
        EXPECT_EQ(transfers[1].call.timeout, UsbLink::ShortTimeoutMs);
        EXPECT_LT(UsbLink::ShortTimeoutMs, UsbLink::BulkTimeoutMs);
        EXPECT_EQ(opcodes().back(), 8) << "the end command still goes out";
    }

    // A reply that never comes, or comes only in part: the end command waits only briefly too.
    for (const int fault : {KSIM_FAULT_TIMEOUT, KSIM_FAULT_SHORT}) {
        SCOPED_TRACE(fault);
        sim.clearCalls();
        sim.armFault(programmerId, fault, 2);
        EXPECT_EQ(programmer.identifyChip(r, 0, reply), Identification::Failed);
        ASSERT_EQ(traffic(), (std::vector<std::string> {"W02:64", "R82:64", "W02:64"}));
        EXPECT_EQ(sim.transfers()[2].call.timeout, UsbLink::ShortTimeoutMs);
        EXPECT_EQ(sim.openHandles(), 0);
    }
}

// ---------------------------------------------------------------------------------------------
// Records the routines refuse before anything is sent.

TEST_F(SimProgrammerTest, StreamsThatWouldPassTheEndOfTheBufferAreRefused)
{
    // A chip one byte larger than the buffer cannot be read; verify and write stop at the used
    // length, which fits.
    ChipRecord r = record(SpiFlash25, BufferCapacity + 1, 256);
    ASSERT_TRUE(jobOpened(programmer.beginJob(r, 0)));
    sim.clearCalls();
    EXPECT_EQ(programmer.readChip(r), JobResult::Failed);
    EXPECT_EQ(ui.errors, QStringList {messageText(MsgChipTooLarge, 2)});
    EXPECT_TRUE(sim.transfers().empty());
    EXPECT_FALSE(view.progressVisible);
    programmer.endJob();

    // A page size that does not divide the buffer: the last whole block would overrun it.
    r = record(SpiFlash25, BufferCapacity, 100);
    buffer.usedLength = static_cast<qint32>(BufferCapacity);
    ASSERT_TRUE(jobOpened(programmer.beginJob(r, 0)));
    sim.clearCalls();
    ui.clearRecords();
    ui.answers = {true}; // the write rounds the image past the chip and asks
    EXPECT_EQ(programmer.readChip(r), JobResult::Failed);
    EXPECT_EQ(programmer.verifyChip(r), JobResult::Failed);
    EXPECT_EQ(programmer.writeChip(r), JobResult::Failed);
    EXPECT_EQ(ui.errors, QStringList(3, messageText(MsgChipTooLarge, 2)));
    EXPECT_TRUE(sim.transfers().empty());
    EXPECT_FALSE(view.progressVisible);
    programmer.endJob();

    // Blank check reads into its own block and needs no room in the buffer.
    insert(KSIM_CHIP_SPI_FLASH, 0x1000, 0xEF4010);
    ui.clearRecords();
    const ChipRecord odd = record(SpiFlash25, 0x1000, 100);
    ASSERT_TRUE(jobOpened(programmer.beginJob(odd, 0)));
    EXPECT_EQ(programmer.blankCheckChip(odd), JobResult::Done);
    programmer.endJob();
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(SimProgrammerTest, BlankCheckAndPageEraseAreBoundedLikeTheStreams)
{
    insert(KSIM_CHIP_I2C_EEPROM, 0x100);
    for (quint8 chipClass : {quint8(SpiFlash25), quint8(I2cEeprom24), quint8(SpiEeprom25)}) {
        SCOPED_TRACE(int(chipClass));
        const ChipRecord r = record(chipClass, 0xFFFFFFFFu, 8);
        ASSERT_TRUE(jobOpened(programmer.beginJob(r, 0)));
        sim.clearCalls();
        ui.clearRecords();
        const JobResult result = chipClass == SpiFlash25 ? programmer.blankCheckChip(r) : programmer.eraseChip(r);
        EXPECT_EQ(result, JobResult::Failed);
        EXPECT_EQ(ui.errors, QStringList {messageText(MsgChipTooLarge, 2)});
        EXPECT_TRUE(sim.transfers().empty());
        EXPECT_FALSE(view.progressVisible);
        programmer.endJob();
    }
}

TEST_F(SimProgrammerTest, EepromEraseWithoutPageSizeIsRefused)
{
    insert(KSIM_CHIP_I2C_EEPROM, 0x100);
    for (quint8 chipClass : {quint8(I2cEeprom24), quint8(SpiEeprom25)}) {
        const ChipRecord r = record(chipClass, 0x100, 0);
        ASSERT_TRUE(jobOpened(programmer.beginJob(r, 0)));
        sim.clearCalls();
        ui.clearRecords();
        view.clear();
        EXPECT_EQ(programmer.eraseChip(r), JobResult::Failed);
        EXPECT_EQ(ui.errors, QStringList {messageText(MsgNoPageSize, 2)});
        EXPECT_TRUE(sim.transfers().empty());
        EXPECT_FALSE(view.progressVisible);
        programmer.endJob();
    }
}

TEST_F(SimProgrammerTest, PagesOf1KiBStreamWholeAndVerifyToTheLastByte)
{
    insert(KSIM_CHIP_SPI_FLASH, 0x4000, 0xEF4010);
    fillChip(12);
    std::memcpy(buffer.data(), cells(), 0x4000);
    buffer.usedLength = 0x4000;
    const ChipRecord r = record(SpiFlash25, 0x4000, 1024);
    ASSERT_TRUE(jobOpened(programmer.beginJob(r, 0)));
    sim.clearCalls();
    EXPECT_EQ(programmer.verifyChip(r), JobResult::Done);
    EXPECT_EQ(sim.transfers().size(), 2u + 16u);
    EXPECT_EQ(sim.transfers().back().call.length, 1024);
    cells()[0x3FFF] = 0x00;
    EXPECT_EQ(programmer.verifyChip(r), JobResult::Different);
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("Flash check error address:3FFFh")});
    programmer.endJob();
}

} // namespace
