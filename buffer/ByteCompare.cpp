#include "buffer/ByteCompare.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace kestrum {

namespace {

/// Equal blocks are passed over by memcmp; only a block that differs is looked at word by word.
constexpr std::uint64_t Block = 4096;

/// The bytes of a word that are not zero, counted.
int nonZeroBytes(std::uint64_t x)
{
    x |= x >> 4;
    x |= x >> 2;
    x |= x >> 1;
    return std::popcount(x & 0x0101010101010101ULL);
}

class RangeCollector
{
public:
    explicit RangeCollector(Comparison& result)
        : m_result(result)
    {
    }

    /// count bytes from first to last (both inclusive) differ; any two of them are fewer than
    /// MergeGap apart.
    void differs(std::uint64_t first, std::uint64_t last, std::uint64_t count)
    {
        m_result.differingBytes += count;
        auto& ranges = m_result.ranges;
        if (!ranges.empty() && first - ranges.back().end - 1 < MergeGap)
            ranges.back().end = last;
        else
            ranges.push_back({first, last});
    }

private:
    Comparison& m_result;
};

} // namespace

void addUnmatchedBytes(Comparison& comparison, std::uint64_t length)
{
    if (length == 0)
        return;
    const std::uint64_t first = comparison.compared;
    comparison.compared += length;
    RangeCollector(comparison).differs(first, first + length - 1, length);
}

Comparison compareBytes(const std::uint8_t* a, const std::uint8_t* b, std::uint64_t length)
{
    Comparison result;
    result.compared = length;
    RangeCollector collect(result);
    // Where a block differed, the next one is likely to as well (an erased chip against an
    // image): it goes to the word loop without a memcmp first.
    bool lastDiffered = false;
    for (std::uint64_t block = 0; block < length; block += Block) {
        const std::uint64_t n = std::min(Block, length - block);
        const std::uint64_t before = result.differingBytes;
        if (!lastDiffered && std::memcmp(a + block, b + block, n) == 0)
            continue;
        std::uint64_t i = block;
        const std::uint64_t end = block + n;
        // Eight bytes at a time: the differing bytes of one word are fewer than MergeGap apart,
        // so a word adds to one range at most.
        if constexpr (std::endian::native == std::endian::little) {
            for (; i + 8 <= end; i += 8) {
                std::uint64_t x;
                std::uint64_t y;
                std::memcpy(&x, a + i, 8);
                std::memcpy(&y, b + i, 8);
                const std::uint64_t d = x ^ y;
                if (d == 0)
                    continue;
                const auto first = static_cast<std::uint64_t>(std::countr_zero(d) / 8);
                const auto last = static_cast<std::uint64_t>(7 - std::countl_zero(d) / 8);
                collect.differs(i + first, i + last, nonZeroBytes(d));
            }
        }
        for (; i < end; ++i)
            if (a[i] != b[i])
                collect.differs(i, i, 1);
        lastDiffered = result.differingBytes != before;
    }
    return result;
}

QString rangeText(const DifferenceRange& range)
{
    const auto hex
        = [](std::uint64_t v) { return QString::number(v, 16).toUpper().rightJustified(6, QLatin1Char('0')); };
    return QStringLiteral("0x%1-0x%2 %3 bytes").arg(hex(range.start), hex(range.end)).arg(range.length());
}

} // namespace kestrum
