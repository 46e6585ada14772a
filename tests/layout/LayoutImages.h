#pragma once
// Images built from the public formats: an Intel flash descriptor, an FMAP, and contents.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kestrum::testing {

using Image = std::vector<std::uint8_t>;

inline void putLe(Image& image, std::size_t at, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        image[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
}

inline void putBe(Image& image, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        image[at + std::size_t(i)] = std::uint8_t(value >> (24 - 8 * i));
}

/// An FLREG register for the bytes first..last (last inclusive, both on 4 KiB bounds).
inline std::uint32_t flreg(std::uint32_t first, std::uint32_t last)
{
    return (last >> 12) << 16 | first >> 12;
}
inline constexpr std::uint32_t UnusedRegion = 0x00007FFF;

/// A descriptor at offset 0x10: the component table at 0x30, the region table at 0x40, the master
/// table at masterBase (room for (masterBase - 0x40) / 4 registers).
inline Image descriptorImage(
    std::size_t size, const std::vector<std::uint32_t>& registers, std::uint32_t masterBase = 0x60)
{
    Image image(size, 0xFF);
    std::memset(image.data(), 0, 0x1000);
    putLe(image, 0x10, 0x0FF0A55A, 4);
    putLe(image, 0x14, 0x00040003, 4); // FLMAP0: FCBA 0x30, FRBA 0x40, one component
    putLe(image, 0x18, 0x00100000 | masterBase >> 4, 4); // FLMAP1: FMBA, FISBA 0x100
    for (std::size_t i = 0; i < registers.size(); ++i)
        putLe(image, 0x40 + 4 * i, registers[i], 4);
    return image;
}

struct Area
{
    std::uint32_t offset;
    std::uint32_t size;
    std::string name;
};

/// Writes an FMAP of version major.0 at `at`.
inline void putFmap(Image& image, std::size_t at, const std::vector<Area>& areas, int major = 1)
{
    std::memcpy(&image[at], "__FMAP__", 8);
    image[at + 8] = std::uint8_t(major);
    image[at + 9] = 1;
    putLe(image, at + 10, 0xFF000000, 8);
    putLe(image, at + 18, image.size(), 4);
    std::memset(&image[at + 22], 0, 32);
    std::memcpy(&image[at + 22], "FLASH", 5);
    putLe(image, at + 54, areas.size(), 2);
    for (std::size_t i = 0; i < areas.size(); ++i) {
        const std::size_t a = at + 56 + 42 * i;
        putLe(image, a, areas[i].offset, 4);
        putLe(image, a + 4, areas[i].size, 4);
        std::memset(&image[a + 8], 0, 34);
        std::memcpy(&image[a + 8], areas[i].name.data(), areas[i].name.size());
    }
}

} // namespace kestrum::testing
