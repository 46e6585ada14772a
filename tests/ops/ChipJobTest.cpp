// The programmer protocol on the wire: command blocks byte for byte, stream traffic, progress and
// the boundaries of block size, used length and 4-byte addressing.
#include "tests/ops/SimProgrammerFixture.h"

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

using Strings = std::vector<std::string>;

// ---------------------------------------------------------------------------------------------
// Jobs and identification, in both byte orders.

TEST_P(BothProgrammersTest, SetupCarriesTheRecordInTheProgrammersByteOrder)
{
    insert(KSIM_CHIP_SPI_FLASH, 0x200000, 0xEF4015);
    ChipRecord r = record(SpiFlash25, 0x200000, 256, 0x00EF4015, 0x0102);
    r.subtype = 1;
    r.voltage = 1;
    sim.clearCalls();
    ASSERT_EQ(programmer.beginJob(r, 3), JobStart::SpiFlash);

    const std::vector<quint8> expected = bigEndian() ? block({{0,
                                                                  {0x00, 0x07, 0x00, 0x01, 0x01, 0x00, 0x01, 0x02, 0x00,
                                                                      0x20, 0x00, 0x00, 0x00, 0xEF, 0x40, 0x15, 0x03}},
                                             {28, {0x01}}})
                                                     : block({{0,
                                                                  {0x00, 0x07, 0x00, 0x01, 0x00, 0x01, 0x02, 0x01, 0x00,
                                                                      0x00, 0x20, 0x00, 0x15, 0x40, 0xEF, 0x00, 0x03}},
                                                         {28, {0x01}}});
    ASSERT_EQ(commands().size(), 1u);
    EXPECT_EQ(commands()[0], expected);
    const std::string out = bigEndian() ? "W02:64" : "W04:64";
    const std::string in = bigEndian() ? "R82:64" : "R85:64";
    EXPECT_EQ(traffic(), (Strings {out, in}));

    // The programmer read the same parameters back.
    const ksim_state s = sim.state(programmerId);
    EXPECT_TRUE(s.setup_valid);
    EXPECT_EQ(s.size, 0x200000u);
    EXPECT_EQ(s.page_size, 256);
    EXPECT_EQ(s.delay, 0x0102);
    EXPECT_EQ(s.chip_id, 0x00EF4015u);
    EXPECT_EQ(s.clock, 3);
    EXPECT_EQ(s.voltage, 1);
    EXPECT_TRUE(view.locked);
    EXPECT_TRUE(programmer.isJobOpen());
    EXPECT_EQ(sleeps, std::vector<int> {50});
}

TEST_P(BothProgrammersTest, EndSendsOpEndClosesUnlocksAndShowsReady)
{
    ASSERT_EQ(programmer.beginJob(record(MicrowireEeprom93, 128, 1), 0), JobStart::Other);
    sim.clearCalls();
    view.clear();
    programmer.endJob();

    EXPECT_EQ(commands(), (std::vector<std::vector<quint8>> {block({{0, {0x01, 0x08}}})}));
    const std::vector<SimCall> calls = sim.calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1].call.kind, KSIM_CALL_RELEASE);
    EXPECT_EQ(calls[2].call.kind, KSIM_CALL_CLOSE);
    EXPECT_EQ(view.events, (QStringList {QStringLiteral("unlock"), QStringLiteral("status:Ready")}));
    EXPECT_EQ(sim.openHandles(), 0);
    EXPECT_EQ(sim.state(programmerId).jobs_ended, 1);
    EXPECT_FALSE(programmer.isJobOpen());
}

TEST_P(BothProgrammersTest, JobStartFollowsTheChipClass)
{
    const std::pair<quint8, JobStart> cases[] = {{SpiFlash25, JobStart::SpiFlash}, {I2cEeprom24, JobStart::I2cEeprom},
        {MicrowireEeprom93, JobStart::Other}, {SpiEeprom25, JobStart::Other}};
    for (const auto& [chipClass, start] : cases) {
        EXPECT_EQ(programmer.beginJob(record(chipClass, 1024, 16), 0), start) << int(chipClass);
        programmer.endJob();
    }
    EXPECT_EQ(protocolErrors(), 0);
}

TEST_P(BothProgrammersTest, IdentifyReportsWhatSitsInTheSocketAsAJobOfItsOwn)
{
    struct Case
    {
        int kind;
        quint32 jedec;
        std::array<quint8, 4> reply;
    };
    const Case cases[] = {
        {KSIM_CHIP_SPI_FLASH, 0xEF4017, {1, 0xEF, 0x40, 0x17}},
        {KSIM_CHIP_I2C_EEPROM, 0, {2, 0, 0, 0}},
        {KSIM_CHIP_MW_EEPROM, 0, {3, 0, 0, 0}},
        // A 25-series EEPROM has no identification: its socket looks empty.
        {KSIM_CHIP_SPI_EEPROM, 0, {0, 0, 0, 0}},
        {KSIM_CHIP_NONE, 0, {0, 0, 0, 0}},
    };
    // The record of the currently selected chip goes along; the clock byte is the bare speed.
    ChipRecord selected = record(SpiEeprom25, 0x2000, 32, 0, 10);
    selected.voltage = 1;
    for (const Case& c : cases) {
        insert(c.kind, 0x2000, c.jedec);
        sim.clearCalls();
        view.clear();
        std::array<quint8, 4> reply {0xEE, 0xEE, 0xEE, 0xEE};
        ASSERT_EQ(programmer.identifyChip(selected, 2, reply.data()), Identification::Done);
        EXPECT_EQ(reply, c.reply) << c.kind;

        const std::vector<quint8> identify = bigEndian()
            ? block(
                {{0, {0x00, 0x09, 0x03, 0x00, 0x00, 0x20, 0x00, 0x0A, 0x00, 0x00, 0x20, 0x00}}, {16, {2}}, {28, {1}}})
            : block(
                {{0, {0x00, 0x09, 0x03, 0x00, 0x20, 0x00, 0x0A, 0x00, 0x00, 0x20, 0x00, 0x00}}, {16, {2}}, {28, {1}}});
        ASSERT_EQ(commands().size(), 2u);
        EXPECT_EQ(commands()[0], identify);
        EXPECT_EQ(commands()[1], block({{0, {0x01, 0x08}}}));
        EXPECT_EQ(view.events,
            (QStringList {QStringLiteral("lock"), QStringLiteral("unlock"), QStringLiteral("status:Ready")}));
        EXPECT_EQ(sim.openHandles(), 0);
        EXPECT_FALSE(programmer.isJobOpen());
    }
    EXPECT_TRUE(ui.boxes.isEmpty());
}

// ---------------------------------------------------------------------------------------------
// Streams.

TEST_P(BothProgrammersTest, ReadStreamStartsAtZeroAndMovesWholePages)
{
    insert(KSIM_CHIP_SPI_FLASH, 1024, 0xEF4010);
    fillChip(3);
    const ChipRecord r = record(SpiFlash25, 1024, 256);
    ASSERT_EQ(programmer.beginJob(r, 0), JobStart::SpiFlash);
    sim.clearCalls();
    view.clear();
    ASSERT_EQ(programmer.readChip(r), JobResult::Done);

    const std::string w = bigEndian() ? "W02:64" : "W04:64";
    const std::string rr = bigEndian() ? "R82:" : "R85:";
    EXPECT_EQ(traffic(), (Strings {w, rr + "64", rr + "256", rr + "256", rr + "256", rr + "256"}));
    EXPECT_EQ(commands()[0], block({{0, {0x00, 0x05}}}));
    EXPECT_EQ(std::memcmp(buffer.data(), cells(), 1024), 0);
    EXPECT_EQ(buffer.usedLength, 1024);
    // Status, bar, one tick per block at the block's start, the last block again, hidden, view.
    EXPECT_EQ(view.events,
        (QStringList {"status:Read Flash ...", "show:1024", "pos:0", "pump", "pos:256", "pump", "pos:512", "pump",
            "pos:768", "pump", "pos:768", "hide", "refresh:1024"}));
    EXPECT_EQ(protocolErrors(), 0);
}

TEST_F(SimProgrammerTest, EventsArePumpedOnATickNotAfterEveryBlock)
{
    insert(KSIM_CHIP_SPI_FLASH, 64 * 1024, 0xEF4010);
    const ChipRecord r = record(SpiFlash25, 64 * 1024, 256);
    ASSERT_EQ(programmer.beginJob(r, 0), JobStart::SpiFlash);
    view.clear();
    // No tick falls due within an hour: the bar only shows the last block at the end.
    programmer.setPumpInterval(3600 * 1000);
    ASSERT_EQ(programmer.readChip(r), JobResult::Done);
    EXPECT_EQ(view.pumps, 0);
    EXPECT_EQ(view.positions, std::vector<quint32> {64 * 1024 - 256});
    EXPECT_FALSE(view.progressVisible);
}

TEST_F(SimProgrammerTest, ExactlySixteenMebibytesNeedNoFourByteAddressesOneByteMoreDoes)
{
    insert(KSIM_CHIP_SPI_FLASH, 32u << 20, 0xEF4019);
    sim.setRecording(KSIM_RECORD_OFF);
    ChipRecord r = record(SpiFlash25, 0x1000000, 256);
    ASSERT_EQ(programmer.beginJob(r, 0), JobStart::SpiFlash);
    sim.setRecording(KSIM_RECORD_CALLS);
    sim.clearCalls();
    // A blank check reads the whole chip; only the start of the traffic matters here.
    ASSERT_EQ(programmer.blankCheckChip(r), JobResult::Done);
    std::vector<std::vector<quint8>> blocks = commands();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0][1], OP_TRANSFER);
    EXPECT_FALSE(sim.state(programmerId).four_byte_mode);
    programmer.endJob();

    r.flashSize = 0x1000001;
    ASSERT_EQ(programmer.beginJob(r, 0), JobStart::SpiFlash);
    sim.clearCalls();
    ASSERT_EQ(programmer.blankCheckChip(r), JobResult::Done);
    blocks = commands();
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0], block({{0, {0x00, 0x0B, 0x03, 0x01, 0xB7}}}));
    EXPECT_EQ(blocks[1][1], OP_TRANSFER);
    // The 0xB7 exchange reads its reply; then the stream of 65537 blocks of 256 bytes.
    const Strings t = traffic();
    ASSERT_EQ(t.size(), 4u + 65537u);
    EXPECT_EQ(Strings(t.begin(), t.begin() + 5), (Strings {"W02:64", "R82:64", "W02:64", "R82:64", "R82:256"}));
    EXPECT_TRUE(sim.state(programmerId).four_byte_mode);
    EXPECT_EQ(protocolErrors(), 0);
}

TEST_F(SimProgrammerTest, FourByteModeFollowsTheChipSizeWhateverTheClassAndTheStreamLength)
{
    const std::pair<quint8, int> classes[] = {{SpiFlash25, KSIM_CHIP_SPI_FLASH}, {I2cEeprom24, KSIM_CHIP_I2C_EEPROM},
        {MicrowireEeprom93, KSIM_CHIP_MW_EEPROM}, {SpiEeprom25, KSIM_CHIP_SPI_EEPROM}};
    // A verify of 64 bytes: the stream is short, the chip is what counts.
    std::memset(buffer.data(), 0xFF, 64);
    buffer.usedLength = 64;
    for (const auto& [chipClass, kind] : classes) {
        insert(kind, 256);
        for (const quint32 size : {0x1000000u, 0x1000001u}) {
            const ChipRecord r = record(chipClass, size, 64);
            ASSERT_TRUE(jobOpened(programmer.beginJob(r, 0)));
            sim.clearCalls();
            EXPECT_EQ(programmer.verifyChip(r), JobResult::Done);
            programmer.endJob();
            std::vector<quint8> first = commands().at(0);
            if (size > 0x1000000)
                EXPECT_EQ(first, block({{0, {0x00, 0x0B, 0x03, 0x01, 0xB7}}})) << int(chipClass);
            else
                EXPECT_EQ(first[1], OP_TRANSFER) << int(chipClass);
        }
    }
    EXPECT_EQ(protocolErrors(), 0);
}

TEST_F(SimProgrammerTest, PagesBelowSixtyFourStreamInSixtyFourByteBlocks)
{
    insert(KSIM_CHIP_I2C_EEPROM, 256);
    fillChip(9);
    ChipRecord r = record(I2cEeprom24, 256, 8);
    ASSERT_EQ(programmer.beginJob(r, 0), JobStart::I2cEeprom);
    sim.clearCalls();
    ASSERT_EQ(programmer.readChip(r), JobResult::Done);
    EXPECT_EQ(traffic(), (Strings {"W02:64", "R82:64", "R82:64", "R82:64", "R82:64", "R82:64"}));
    EXPECT_EQ(std::memcmp(buffer.data(), cells(), 256), 0);
    programmer.endJob();

    // A 16-byte chip still moves one whole block; the programmer pads past the chip with 0xFF.
    insert(KSIM_CHIP_I2C_EEPROM, 16);
    fillChip(5);
    std::memset(buffer.data(), 0x11, 64);
    r.flashSize = 16;
    ASSERT_EQ(programmer.beginJob(r, 0), JobStart::I2cEeprom);
    sim.clearCalls();
    view.clear();
    ASSERT_EQ(programmer.readChip(r), JobResult::Done);
    EXPECT_EQ(traffic(), (Strings {"W02:64", "R82:64", "R82:64"}));
    EXPECT_EQ(std::memcmp(buffer.data(), cells(), 16), 0);
    for (int i = 16; i < 64; ++i)
        ASSERT_EQ(buffer.data()[i], 0xFF) << i;
    EXPECT_EQ(buffer.usedLength, 16);
    EXPECT_EQ(view.refreshed, std::vector<quint32> {16});
}

TEST_F(SimProgrammerTest, UsedLengthAfterReadEndsAtTheLastProgrammedByteRoundedUpToEven)
{
    insert(KSIM_CHIP_SPI_FLASH, 0x10000, 0xEF4010);
    const ChipRecord r = record(SpiFlash25, 0x10000, 256);
    struct Case
    {
        qint64 lastProgrammed; // -1: blank chip
        qint32 usedLength;
    };
    for (const Case& c : {Case {0x1234, 0x1236}, Case {0x1235, 0x1236}, Case {4, 6}, Case {0, 2}, Case {-1, 0},
             Case {0xFFFF, 0x10000}, Case {0xFFF7, 0xFFF8}}) {
        quint8* chip = cells();
        std::memset(chip, 0xFF, 0x10000);
        if (c.lastProgrammed >= 0) {
            chip[0] = 0x00;
            chip[c.lastProgrammed] = 0x7E;
        }
        buffer.usedLength = 12345;
        ASSERT_EQ(programmer.beginJob(r, 0), JobStart::SpiFlash);
        ASSERT_EQ(programmer.readChip(r), JobResult::Done);
        programmer.endJob();
        EXPECT_EQ(buffer.usedLength, c.usedLength) << "last programmed byte " << c.lastProgrammed;
    }
}

TEST_P(BothProgrammersTest, WriteRoundsTheImageUpToWholePages)
{
    insert(KSIM_CHIP_SPI_FLASH, 0x10000, 0xEF4010);
    fillBuffer(1000, 4);
    std::memset(buffer.data() + 1000, 0xFF, 24);
    const ChipRecord r = record(SpiFlash25, 0x10000, 256);
    ASSERT_EQ(programmer.beginJob(r, 0), JobStart::SpiFlash);
    sim.clearCalls();
    ASSERT_EQ(programmer.writeChip(r), JobResult::Done);
    EXPECT_EQ(buffer.usedLength, 1024);
    const std::string cmd = bigEndian() ? "W02:64" : "W04:64";
    const std::string data = bigEndian() ? "W01:256" : "W05:256";
    // The transfer start of a write reads no reply, and no block is acknowledged.
    EXPECT_EQ(traffic(), (Strings {cmd, data, data, data, data}));
    EXPECT_EQ(std::memcmp(cells(), buffer.data(), 1024), 0);
    EXPECT_TRUE(sleeps == std::vector<int> {50}) << "only the set-up's pause";
    EXPECT_EQ(protocolErrors(), 0);
}

TEST_F(SimProgrammerTest, WriteOfAnImageLongerThanTheChipAsksFirst)
{
    insert(KSIM_CHIP_SPI_FLASH, 4096, 0xEF4010);
    const ChipRecord r = record(SpiFlash25, 4096, 256);
    fillBuffer(5000, 1);
    ASSERT_EQ(programmer.beginJob(r, 0), JobStart::SpiFlash);
    sim.clearCalls();
    view.clear();

    ui.answers = {false};
    EXPECT_EQ(programmer.writeChip(r), JobResult::Declined);
    EXPECT_EQ(ui.questions,
        QStringList {QStringLiteral("File length is larger than chip capacity. Do you want to continue to write?\n"
                                    "(image 5120 bytes, chip 4096 bytes)")});
    EXPECT_TRUE(sim.transfers().empty());
    // The used length was rounded up to whole pages before the question.
    EXPECT_EQ(buffer.usedLength, 5120);
    EXPECT_EQ(view.status, QStringLiteral("Write Flash ..."));
    EXPECT_TRUE(view.locked);

    ui.answers = {true};
    EXPECT_EQ(programmer.writeChip(r), JobResult::Done);
    EXPECT_EQ(sim.state(programmerId).bytes_written, 4096u);
    EXPECT_EQ(std::memcmp(cells(), buffer.data(), 4096), 0);
    EXPECT_EQ(protocolErrors(), 0);
}

TEST_P(BothProgrammersTest, VerifyNamesTheFirstDifferingAddress)
{
    insert(KSIM_CHIP_SPI_FLASH, 0x4000, 0xEF4010);
    fillChip(6);
    std::memcpy(buffer.data(), cells(), 0x4000);
    buffer.usedLength = 0x4000;
    buffer.data()[0x1A2B] ^= 0x10;
    buffer.data()[0x1A2C] ^= 0x10;
    const ChipRecord r = record(SpiFlash25, 0x4000, 256);
    ASSERT_EQ(programmer.beginJob(r, 0), JobStart::SpiFlash);
    EXPECT_EQ(programmer.verifyChip(r), JobResult::Different);
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("Flash check error address:1A2Bh")});
    EXPECT_FALSE(view.progressVisible);
    programmer.endJob();

    // The language of the message follows the reporter.
    ui.clearRecords();
    reporter.setLanguage(0);
    ASSERT_EQ(programmer.beginJob(r, 0), JobStart::SpiFlash);
    EXPECT_EQ(programmer.verifyChip(r), JobResult::Different);
    EXPECT_EQ(ui.errors, QStringList {messageText(MsgVerifyErrorAddress, 0) + QStringLiteral("1A2Bh")});
}

TEST_F(SimProgrammerTest, VerifyComparesTheWholeLastBlockAndStopsAtTheUsedLength)
{
    insert(KSIM_CHIP_SPI_FLASH, 0x1000, 0xEF4010);
    fillChip(2);
    std::memcpy(buffer.data(), cells(), 0x1000);
    const ChipRecord r = record(SpiFlash25, 0x1000, 256);

    // 1000 bytes to verify: four blocks, and a difference at 1010 is in the last one.
    buffer.usedLength = 1000;
    buffer.data()[1010] ^= 1;
    ASSERT_EQ(programmer.beginJob(r, 0), JobStart::SpiFlash);
    sim.clearCalls();
    EXPECT_EQ(programmer.verifyChip(r), JobResult::Different);
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("Flash check error address:3F2h")});
    buffer.data()[1010] ^= 1;

    // A difference past the last block is never read.
    ui.clearRecords();
    buffer.data()[1024] ^= 1;
    EXPECT_EQ(programmer.verifyChip(r), JobResult::Done);
    EXPECT_EQ(sim.state(programmerId).bytes_read, 2u * 1024u);
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(SimProgrammerTest, BlankCheckStopsAtTheFirstProgrammedByte)
{
    insert(KSIM_CHIP_SPI_FLASH, 0x4000, 0xEF4010);
    const ChipRecord r = record(SpiFlash25, 0x4000, 256);
    ASSERT_EQ(programmer.beginJob(r, 0), JobStart::SpiFlash);
    EXPECT_EQ(programmer.blankCheckChip(r), JobResult::Done);
    EXPECT_TRUE(ui.errors.isEmpty());

    cells()[0x2001] = 0xFE;
    sim.clearCalls();
    EXPECT_EQ(programmer.blankCheckChip(r), JobResult::Different);
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("The chip is not empty.")});
    EXPECT_FALSE(view.progressVisible);
    // Up to the block holding the byte, then no more.
    EXPECT_EQ(sim.transfers().size(), 2u + 0x2001u / 256 + 1);
}

// ---------------------------------------------------------------------------------------------
// Erase.

TEST_P(BothProgrammersTest, WholeChipErasePollsTheStatusOverTheLastBlock)
{
    insert(KSIM_CHIP_SPI_FLASH, 0x1000, 0xEF4010);
    fillChip(1);
    sim.setErasePolls(programmerId, 2);
    const ChipRecord r = record(SpiFlash25, 0x1000, 256, 0, 10);
    ASSERT_EQ(programmer.beginJob(r, 0), JobStart::SpiFlash);
    sim.clearCalls();
    sleeps.clear();
    view.clear();
    ASSERT_EQ(programmer.eraseChip(r), JobResult::Done);

    const int hi = bigEndian() ? 0x80 : 0x00;
    const int lo = bigEndian() ? 0x00 : 0x80;
    const std::vector<std::vector<quint8>> expected = {
        block({{0, {0x01, 0x02}}, {26, {hi, lo}}}),
        // The first poll still carries the erase argument.
        block({{0, {0x00, 0x0A}}, {26, {hi, lo}}}),
        // Later polls carry the previous reply (busy, echo of the opcode).
        block({{0, {0x00, 0x0A}}}),
        block({{0, {0x00, 0x0A}}}),
    };
    EXPECT_EQ(commands(), expected);
    // Each poll waits 50 ms, and its command waits another 50 ms for the reply.
    EXPECT_EQ(sleeps, (std::vector<int>(6, 50)));
    EXPECT_EQ(view.events,
        (QStringList {"status:Erase Flash ...", "show:10", "pos:1", "pump", "pos:2", "pump", "pos:3", "pump", "hide"}));
    quint32 size = 0;
    const quint8* chip = cells(&size);
    for (quint32 i = 0; i < size; ++i)
        ASSERT_EQ(chip[i], 0xFF) << i;
}

TEST_F(SimProgrammerTest, EraseWithDelayZeroPollsAtMostTwiceAndReportsAChipStillBusy)
{
    insert(KSIM_CHIP_SPI_FLASH, 0x1000, 0xEF4010);
    const ChipRecord r = record(SpiFlash25, 0x1000, 256, 0, 0);
    struct Case
    {
        int busyPolls;
        int polls;
        JobResult result;
    };
    for (const Case& c : {Case {0, 1, JobResult::Done}, Case {1, 2, JobResult::Done}, Case {2, 2, JobResult::Failed},
             Case {-1, 2, JobResult::Failed}}) {
        sim.setErasePolls(programmerId, c.busyPolls);
        ui.clearRecords();
        ASSERT_EQ(programmer.beginJob(r, 0), JobStart::SpiFlash);
        const int before = sim.state(programmerId).status_polls;
        EXPECT_EQ(programmer.eraseChip(r), c.result) << c.busyPolls;
        EXPECT_EQ(sim.state(programmerId).status_polls - before, c.polls) << c.busyPolls;
        EXPECT_FALSE(view.progressVisible);
        programmer.endJob();
        if (c.result == JobResult::Failed)
            EXPECT_EQ(ui.errors, QStringList {messageText(MsgEraseTimeout, 2)});
        else
            EXPECT_TRUE(ui.errors.isEmpty());
    }
}

TEST_P(BothProgrammersTest, EepromErasesPageByPageWithTheLowSixteenBitsOfTheOffset)
{
    insert(KSIM_CHIP_I2C_EEPROM, 0x20000);
    fillChip(8);
    const ChipRecord r = record(I2cEeprom24, 0x20000, 256);
    ASSERT_EQ(programmer.beginJob(r, 0), JobStart::I2cEeprom);
    sim.clearCalls();
    ASSERT_EQ(programmer.eraseChip(r), JobResult::Done);

    const std::vector<std::vector<quint8>> blocks = commands();
    ASSERT_EQ(blocks.size(), 512u);
    for (size_t i = 0; i < blocks.size(); ++i) {
        const quint32 offset = static_cast<quint32>(i * 256) & 0xFFFF;
        const int hi = static_cast<int>(offset >> 8);
        const int lo = static_cast<int>(offset & 0xFF);
        ASSERT_EQ(blocks[i], block({{0, {0x01, 0x02}}, {26, {bigEndian() ? hi : lo, bigEndian() ? lo : hi}}})) << i;
    }
    // No command reads a reply.
    EXPECT_EQ(sim.calls(KSIM_CALL_BULK_READ).size(), 0u);
    quint32 size = 0;
    const quint8* chip = cells(&size);
    for (quint32 i = 0; i < size; ++i)
        ASSERT_EQ(chip[i], 0xFF) << i;
}

TEST_P(BothProgrammersTest, MicrowireEraseIsOneCommandWithTheDelayAsArgument)
{
    insert(KSIM_CHIP_MW_EEPROM, 256);
    fillChip(7);
    const ChipRecord r = record(MicrowireEeprom93, 256, 1, 0, 0x0123);
    ASSERT_EQ(programmer.beginJob(r, 0), JobStart::Other);
    sim.clearCalls();
    ASSERT_EQ(programmer.eraseChip(r), JobResult::Done);
    EXPECT_EQ(commands(),
        (std::vector<std::vector<quint8>> {
            block({{0, {0x01, 0x02}}, {26, {bigEndian() ? 0x01 : 0x23, bigEndian() ? 0x23 : 0x01}}})}));
    EXPECT_EQ(cells()[0], 0xFF);
    EXPECT_EQ(cells()[255], 0xFF);
}

TEST_F(SimProgrammerTest, EraseOfAnUnknownClassSendsNothing)
{
    const ChipRecord r = record(7, 256, 16);
    ASSERT_EQ(programmer.beginJob(r, 0), JobStart::Other);
    sim.clearCalls();
    EXPECT_EQ(programmer.eraseChip(r), JobResult::Failed);
    EXPECT_TRUE(sim.transfers().empty());
    EXPECT_FALSE(view.progressVisible);
}

// ---------------------------------------------------------------------------------------------
// One job at a time.

TEST_F(SimProgrammerTest, NothingElseStartsWhileAJobIsOpen)
{
    insert(KSIM_CHIP_SPI_FLASH, 0x1000, 0xEF4010);
    const ChipRecord r = record(SpiFlash25, 0x1000, 256);
    ASSERT_EQ(programmer.beginJob(r, 0), JobStart::SpiFlash);
    sim.clearCalls();
    view.clear();
    EXPECT_EQ(programmer.beginJob(r, 0), JobStart::Busy);
    quint8 reply[4] = {9, 9, 9, 9};
    EXPECT_EQ(programmer.identifyChip(r, 0, reply), Identification::Busy);
    EXPECT_EQ(reply[0], 9);
    EXPECT_EQ(sim.callCount(), 0);
    EXPECT_TRUE(view.events.isEmpty());
    EXPECT_TRUE(ui.boxes.isEmpty());
    // The job's link is still the one open.
    EXPECT_EQ(programmer.readChip(r), JobResult::Done);
    programmer.endJob();
    EXPECT_EQ(protocolErrors(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    EndpointSets, BothProgrammersTest, ::testing::Values(ProductBigEndian, ProductLittleEndian), productName);

} // namespace
