// Every chip class end to end: erase, blank check, write, verify and read back through the
// simulated programmer, in both byte orders; and chips above 16 MiB.
#include "tests/ops/SimProgrammerFixture.h"

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

struct ClassCase
{
    const char* name;
    int kind;
    quint8 chipClass;
    quint32 size;
    quint16 page;
    quint32 jedec;
};

void PrintTo(const ClassCase& c, std::ostream* os)
{
    *os << c.name;
}

const ClassCase Classes[] = {
    {"SpiFlash", KSIM_CHIP_SPI_FLASH, SpiFlash25, 0x20000, 256, 0xC22012},
    {"I2cEeprom", KSIM_CHIP_I2C_EEPROM, I2cEeprom24, 0x8000, 64, 0},
    {"I2cEepromAbove64K", KSIM_CHIP_I2C_EEPROM, I2cEeprom24, 0x40000, 256, 0},
    {"MicrowireEeprom", KSIM_CHIP_MW_EEPROM, MicrowireEeprom93, 128, 1, 0},
    {"SpiEeprom", KSIM_CHIP_SPI_EEPROM, SpiEeprom25, 0x2000, 32, 0},
};

class ChipClassTest : public ::testing::TestWithParam<std::tuple<ClassCase, const char*>>, public SimProgrammerFixture
{
protected:
    void SetUp() override
    {
        setUpWorld(std::get<1>(GetParam()));
        const ClassCase& c = std::get<0>(GetParam());
        insert(c.kind, c.size, c.jedec);
        chip = record(c.chipClass, c.size, c.page, c.jedec, 20);
    }

    JobResult inJob(JobResult (ChipProgrammer::*routine)(const ChipRecord&))
    {
        const JobStart start = programmer.beginJob(chip, 1);
        EXPECT_TRUE(jobOpened(start));
        const JobResult result = (programmer.*routine)(chip);
        programmer.endJob();
        EXPECT_FALSE(view.locked);
        EXPECT_FALSE(view.progressVisible);
        EXPECT_EQ(view.status, QStringLiteral("Ready"));
        return result;
    }

    ChipRecord chip {};
};

TEST_P(ChipClassTest, EraseWriteVerifyReadBack)
{
    const quint32 size = chip.flashSize;
    fillChip(0x21); // old content: neither blank nor the image

    EXPECT_EQ(inJob(&ChipProgrammer::blankCheckChip), JobResult::Different);
    EXPECT_EQ(inJob(&ChipProgrammer::eraseChip), JobResult::Done);
    EXPECT_EQ(inJob(&ChipProgrammer::blankCheckChip), JobResult::Done);

    fillBuffer(size, 0x5A);
    EXPECT_EQ(inJob(&ChipProgrammer::writeChip), JobResult::Done);
    EXPECT_EQ(std::memcmp(cells(), buffer.data(), size), 0);
    EXPECT_EQ(inJob(&ChipProgrammer::verifyChip), JobResult::Done);

    std::memset(buffer.data(), 0xAB, size);
    buffer.usedLength = 0;
    EXPECT_EQ(inJob(&ChipProgrammer::readChip), JobResult::Done);
    for (quint32 i = 0; i < size; ++i)
        ASSERT_EQ(buffer.data()[i], patternByte(i, 0x5A)) << i;
    EXPECT_EQ(buffer.usedLength, static_cast<qint32>(size));
    EXPECT_EQ(view.refreshed.back(), size);

    // Only the boxes of the first blank check.
    EXPECT_EQ(ui.errors, QStringList {QStringLiteral("The chip is not empty.")});
    EXPECT_EQ(protocolErrors(), 0);
    EXPECT_EQ(sim.openHandles(), 0);
}

TEST_P(ChipClassTest, WritingWithoutEraseKeepsTheChipsOwnRules)
{
    const quint32 size = chip.flashSize;
    fillChip(0x33);
    fillBuffer(size, 0x5A);
    EXPECT_EQ(inJob(&ChipProgrammer::writeChip), JobResult::Done);
    if (chip.chipClass == SpiFlash25) {
        // Flash programming only clears bits: the result is old AND new, and verify says so.
        for (quint32 i = 0; i < size; ++i)
            ASSERT_EQ(cells()[i], patternByte(i, 0x33) & patternByte(i, 0x5A)) << i;
        EXPECT_EQ(inJob(&ChipProgrammer::verifyChip), JobResult::Different);
    } else {
        // EEPROMs take the bytes as written.
        EXPECT_EQ(std::memcmp(cells(), buffer.data(), size), 0);
        EXPECT_EQ(inJob(&ChipProgrammer::verifyChip), JobResult::Done);
    }
}

TEST_P(ChipClassTest, TwentyFourSeriesWritesSettleBeforeTheBarGoes)
{
    fillBuffer(chip.flashSize, 1);
    sleeps.clear();
    EXPECT_EQ(inJob(&ChipProgrammer::writeChip), JobResult::Done);
    // The set-up's reply pause, then 100 ms after the last block of a 24-series chip.
    if (chip.chipClass == I2cEeprom24)
        EXPECT_EQ(sleeps, (std::vector<int> {50, 100}));
    else
        EXPECT_EQ(sleeps, std::vector<int> {50});
}

std::string classCaseName(const ::testing::TestParamInfo<std::tuple<ClassCase, const char*>>& info)
{
    const bool big = std::strcmp(std::get<1>(info.param), ProductBigEndian) == 0;
    return std::string(std::get<0>(info.param).name) + (big ? "BigEndian" : "LittleEndian");
}

INSTANTIATE_TEST_SUITE_P(Chips, ChipClassTest,
    ::testing::Combine(::testing::ValuesIn(Classes), ::testing::Values(ProductBigEndian, ProductLittleEndian)),
    classCaseName);

// ---------------------------------------------------------------------------------------------
// Above 16 MiB.

TEST_P(BothProgrammersTest, ChipAboveSixteenMebibytesRoundTripsEveryByte)
{
    constexpr quint32 Size = 32u << 20;
    insert(KSIM_CHIP_SPI_FLASH, Size, 0xEF4019);
    sim.setRecording(KSIM_RECORD_OFF);
    const ChipRecord r = record(SpiFlash25, Size, 256, 0xEF4019, 100);

    // Each half has its own content, so a wrap at 16 MiB cannot pass unnoticed.
    for (quint32 i = 0; i < Size; ++i)
        buffer.data()[i] = patternByte(i, i < (16u << 20) ? 0x11 : 0x77);
    buffer.usedLength = static_cast<qint32>(Size);

    ASSERT_EQ(programmer.beginJob(r, 0), JobStart::SpiFlash);
    EXPECT_EQ(programmer.writeChip(r), JobResult::Done);
    EXPECT_EQ(programmer.verifyChip(r), JobResult::Done);
    programmer.endJob();
    EXPECT_EQ(std::memcmp(cells(), buffer.data(), Size), 0);

    std::memset(buffer.data(), 0, Size);
    ASSERT_EQ(programmer.beginJob(r, 0), JobStart::SpiFlash);
    EXPECT_EQ(programmer.readChip(r), JobResult::Done);
    programmer.endJob();
    EXPECT_EQ(std::memcmp(cells(), buffer.data(), Size), 0);
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_EQ(protocolErrors(), 0);
}

TEST_F(SimProgrammerTest, LargestChipFillsTheBufferExactly)
{
    constexpr quint32 Size = BufferCapacity;
    insert(KSIM_CHIP_SPI_FLASH, Size, 0xEF4020);
    sim.setRecording(KSIM_RECORD_OFF);
    cells()[Size - 1] = 0x00;
    const ChipRecord r = record(SpiFlash25, Size, 256, 0xEF4020, 100);
    ASSERT_EQ(programmer.beginJob(r, 0), JobStart::SpiFlash);
    EXPECT_EQ(programmer.readChip(r), JobResult::Done);
    programmer.endJob();
    EXPECT_EQ(buffer.data()[Size - 1], 0x00);
    EXPECT_EQ(buffer.usedLength, static_cast<qint32>(Size));
    EXPECT_TRUE(ui.errors.isEmpty());
}

} // namespace
