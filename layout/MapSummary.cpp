#include "layout/MapSummary.h"

#include <algorithm>
#include <cstring>

namespace kestrum {

MapSummary::MapSummary(const std::uint8_t* data, std::uint64_t size, int stretches)
    : m_size(size)
{
    if (size == 0 || stretches <= 0)
        return;
    m_stretch = std::max<std::uint64_t>(1, (size + std::uint64_t(stretches) - 1) / std::uint64_t(stretches));
    const std::size_t count = std::size_t((size + m_stretch - 1) / m_stretch);
    m_fills.resize(count);
    m_blankBefore.assign(count + 1, 0);
    m_zeroBefore.assign(count + 1, 0);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = data + i * m_stretch;
        const std::uint64_t n = std::min<std::uint64_t>(m_stretch, size - i * m_stretch);
        // Every byte equals the first when the stretch equals itself shifted by one.
        const bool uniform = (p[0] == 0xFF || p[0] == 0x00) && std::memcmp(p, p + 1, n - 1) == 0;
        m_fills[i] = !uniform ? MapFill::Data : p[0] == 0xFF ? MapFill::Blank : MapFill::Zero;
        m_blankBefore[i + 1] = m_blankBefore[i] + (m_fills[i] == MapFill::Blank);
        m_zeroBefore[i + 1] = m_zeroBefore[i] + (m_fills[i] == MapFill::Zero);
    }
}

std::size_t MapSummary::stretchAt(std::uint64_t address) const
{
    return std::min<std::size_t>(std::size_t(address / m_stretch), m_fills.empty() ? 0 : m_fills.size() - 1);
}

MapFill MapSummary::dominant(std::uint64_t first, std::uint64_t last) const
{
    if (m_fills.empty())
        return MapFill::Data;
    const std::size_t a = stretchAt(first), b = stretchAt(std::max(first, last)) + 1;
    const std::uint32_t blank = m_blankBefore[b] - m_blankBefore[a];
    const std::uint32_t zero = m_zeroBefore[b] - m_zeroBefore[a];
    const std::size_t half = (b - a + 1) / 2;
    if (blank >= half && blank >= zero)
        return MapFill::Blank;
    if (zero >= half)
        return MapFill::Zero;
    return MapFill::Data;
}

} // namespace kestrum
