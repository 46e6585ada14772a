#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace kestrum {

/// One stretch of differing bytes: start and end are both inclusive offsets.
struct DifferenceRange
{
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    [[nodiscard]] std::uint64_t length() const { return end - start + 1; }
    bool operator==(const DifferenceRange&) const = default;
};

/// What a comparison of two images found: how many bytes differ and where.
struct Comparison
{
    std::uint64_t compared = 0; ///< bytes compared
    std::uint64_t differingBytes = 0; ///< bytes that differ (the equal bytes inside a merged range not counted)
    std::vector<DifferenceRange> ranges; ///< in address order, merged as mergeGap says
    [[nodiscard]] bool equal() const { return differingBytes == 0; }
};

/// Two differing stretches fewer than this many equal bytes apart are one range: a user looks at
/// a patched structure, not at every byte that happens to match inside it.
inline constexpr std::uint64_t MergeGap = 16;

/// Compares a and b over length bytes.
Comparison compareBytes(const std::uint8_t* a, const std::uint8_t* b, std::uint64_t length);

/// The length bytes after those compared that only one image holds: each is a difference.
void addUnmatchedBytes(Comparison& comparison, std::uint64_t length);

/// "0x001000-0x0010FF 256 bytes": addresses in at least six hex digits.
QString rangeText(const DifferenceRange& range);

} // namespace kestrum
