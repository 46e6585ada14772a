// The comparison of two images: differing bytes counted, ranges merged when fewer than 16 equal
// bytes lie between them, and the range line of the command line.
#include "buffer/ByteCompare.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kestrum;

namespace {

struct Case
{
    const char* name;
    std::vector<std::uint64_t> planted;
    std::vector<DifferenceRange> ranges;
};

TEST(ByteCompare, CountsAndMergesTheDifferingBytes)
{
    constexpr std::uint64_t Length = 10000; // not a whole number of words or blocks
    const Case cases[] = {
        {"equal", {}, {}},
        {"fifteen equal bytes between: one range", {100, 116}, {{100, 116}}},
        {"sixteen equal bytes between: two ranges", {100, 117}, {{100, 100}, {117, 117}}},
        {"first and last byte", {0, Length - 1}, {{0, 0}, {Length - 1, Length - 1}}},
        {"across a block boundary", {4090, 4100}, {{4090, 4100}}},
        {"a run within a word and the tail", {8, 9, 15, 9997}, {{8, 15}, {9997, 9997}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> a(Length);
        for (std::uint64_t i = 0; i < Length; ++i)
            a[i] = static_cast<std::uint8_t>(i * 13);
        std::vector<std::uint8_t> b = a;
        for (const std::uint64_t at : c.planted)
            b[at] ^= 0x80;
        const Comparison result = compareBytes(a.data(), b.data(), Length);
        EXPECT_EQ(result.ranges, c.ranges);
        EXPECT_EQ(result.differingBytes, c.planted.size());
        EXPECT_EQ(result.equal(), c.planted.empty());
    }
}

TEST(ByteCompare, RangeLineGivesStartEndAndLength)
{
    EXPECT_EQ(rangeText({0x1000, 0x10FF}), QStringLiteral("0x001000-0x0010FF 256 bytes"));
    EXPECT_EQ(rangeText({0x1FFFFFF, 0x2000000}), QStringLiteral("0x1FFFFFF-0x2000000 2 bytes"));
}

} // namespace
