#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace kestrum {

/// Where a region's boundaries come from.
enum class RegionSource { Descriptor, Fmap, LayoutFile, Content };

/// One named stretch of an image. size 0 means a content whose header does not tell its length.
struct Region
{
    QString name;
    std::uint64_t start = 0;
    std::uint64_t size = 0;
    RegionSource source = RegionSource::LayoutFile;
    /// The last byte (inclusive); the start for a content of unknown length.
    [[nodiscard]] std::uint64_t end() const { return size == 0 ? start : start + size - 1; }
    bool operator==(const Region&) const = default;
};

/// Why a descriptor, a map or a layout file was refused.
enum class LayoutProblem {
    None,
    Truncated, ///< a table runs past the end of the image
    PastImage, ///< a region ends past the end of the image (first = its name)
    Overlap, ///< two regions overlap (first, second)
    Reversed, ///< a region ends before it starts (first)
    UnreadableName, ///< a name is empty or holds bytes that are not printable
    Version, ///< an FMAP of a version this reader does not know (first = the version)
    Syntax, ///< a layout file line that is not "start:end name"
    Duplicate, ///< the same name twice (first)
    Empty, ///< a layout file without regions
};

/// A refusal: what, and where (a byte offset in the image, or a line of a layout file).
struct LayoutFault
{
    LayoutProblem problem = LayoutProblem::None;
    RegionSource source = RegionSource::LayoutFile;
    std::uint64_t where = 0;
    QString first;
    QString second;
    [[nodiscard]] bool refused() const { return problem != LayoutProblem::None; }
};

/// What one reader found: found is false when the image holds no descriptor or map at all.
struct LayoutReading
{
    bool found = false;
    std::vector<Region> regions;
    LayoutFault fault;
    [[nodiscard]] bool usable() const { return found && !fault.refused(); }
};

/// The descriptor's regions as flashrom names them, by register number.
inline constexpr int DescriptorRegionCount = 16;
const char* descriptorRegionName(int index);

/// Reads the Intel flash descriptor (signature 0x0FF0A55A at offset 0x10, or at 0 in the first
/// chipsets' layout). Regions whose base lies above their limit are unused and left out.
LayoutReading readDescriptor(const std::uint8_t* data, std::uint64_t size);

/// Reads the first FMAP ("__FMAP__" at any offset) whose header is sound.
LayoutReading readFmap(const std::uint8_t* data, std::uint64_t size);

/// Reads a layout file of "start:end name" lines (hexadecimal, 0x optional; # starts a comment).
/// imageSize 0 leaves the end of the image unchecked.
LayoutReading readLayoutFile(const QByteArray& text, std::uint64_t imageSize);

/// The well-known contents that start on a 4 KiB boundary, with their length where the header
/// tells it.
std::vector<Region> findContents(const std::uint8_t* data, std::uint64_t size);

/// Everything an image shows of itself: the descriptor's regions, or else the FMAP's areas; the
/// refusals met on the way; the contents.
struct ImageLayout
{
    std::vector<Region> regions;
    std::vector<LayoutFault> faults;
    std::vector<Region> contents;
};
ImageLayout findLayout(const std::uint8_t* data, std::uint64_t size);

/// The regions named in names, in the layout's order; unknown collects the names not found.
std::vector<Region> chooseRegions(const std::vector<Region>& layout, const QStringList& names, QStringList* unknown);

/// Whether two layouts give the same boundaries to the regions of the given names.
bool sameBoundaries(const std::vector<Region>& a, const std::vector<Region>& b, const QStringList& names);

/// A layout file that readLayoutFile reads back to the same regions.
QByteArray layoutFileText(const std::vector<Region>& regions);

} // namespace kestrum
