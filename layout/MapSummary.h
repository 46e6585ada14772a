#pragma once

#include <cstdint>
#include <vector>

namespace kestrum {

/// What a stretch of an image holds at a glance.
enum class MapFill : std::uint8_t { Data, Blank, Zero };

/// The image in a fixed number of equal stretches, each Blank (all 0xFF), Zero (all 0x00) or
/// Data: made once when the data change, so that a picture of the whole image never scans it.
class MapSummary
{
public:
    static constexpr int DefaultStretches = 4096;

    MapSummary() = default;
    MapSummary(const std::uint8_t* data, std::uint64_t size, int stretches = DefaultStretches);

    [[nodiscard]] std::uint64_t imageSize() const { return m_size; }
    [[nodiscard]] std::size_t stretchCount() const { return m_fills.size(); }
    [[nodiscard]] MapFill fill(std::size_t stretch) const { return m_fills[stretch]; }
    /// The stretch that holds that address.
    [[nodiscard]] std::size_t stretchAt(std::uint64_t address) const;
    /// How the bytes first..last (inclusive) look as one: Blank or Zero when at least half of the
    /// stretches they touch are, else Data. Constant time.
    [[nodiscard]] MapFill dominant(std::uint64_t first, std::uint64_t last) const;

private:
    std::uint64_t m_size = 0;
    std::uint64_t m_stretch = 1;
    std::vector<MapFill> m_fills;
    /// Blank and zero stretches before each stretch.
    std::vector<std::uint32_t> m_blankBefore, m_zeroBefore;
};

} // namespace kestrum
