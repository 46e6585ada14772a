#include "layout/FlashLayout.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kestrum {

namespace {

std::uint32_t le16(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
}
std::uint32_t le32(const std::uint8_t* p)
{
    return le16(p) | le16(p + 2) << 16;
}
std::uint64_t le64(const std::uint8_t* p)
{
    return le32(p) | std::uint64_t(le32(p + 4)) << 32;
}
std::uint32_t be32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

LayoutReading refusal(
    RegionSource source, LayoutProblem problem, std::uint64_t where, QString first = {}, QString second = {})
{
    LayoutReading r;
    r.found = true;
    r.fault = {problem, source, where, std::move(first), std::move(second)};
    return r;
}

// A name as the formats store it: printable ASCII up to the first NUL, at least one character.
bool readableName(const std::uint8_t* p, std::size_t length, QString* name)
{
    std::size_t n = 0;
    while (n < length && p[n] != 0) {
        if (p[n] < 0x20 || p[n] > 0x7E)
            return false;
        ++n;
    }
    if (n == 0)
        return false;
    *name = QString::fromLatin1(reinterpret_cast<const char*>(p), qsizetype(n));
    return true;
}

// Regions may nest (an FMAP's section holds its areas) when nesting is allowed, never cross.
// positions[i] is where region i was declared, for the refusal.
LayoutFault crossing(const std::vector<Region>& regions, const std::vector<std::uint64_t>& positions,
    RegionSource source, bool nestingAllowed)
{
    std::vector<std::size_t> order(regions.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (regions[a].start != regions[b].start)
            return regions[a].start < regions[b].start;
        return regions[a].size > regions[b].size;
    });
    // The enclosing regions still open at the current start, outermost first.
    std::vector<std::size_t> open;
    for (std::size_t i : order) {
        const Region& r = regions[i];
        while (!open.empty() && regions[open.back()].end() < r.start)
            open.pop_back();
        if (!open.empty()) {
            const Region& outer = regions[open.back()];
            if (!nestingAllowed || r.end() > outer.end())
                return {LayoutProblem::Overlap, source, positions[i], outer.name, r.name};
        }
        open.push_back(i);
    }
    for (std::size_t i = 0; i < regions.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (regions[i].name == regions[j].name)
                return {LayoutProblem::Duplicate, source, positions[i], regions[i].name, {}};
    return {};
}

// The JFFS2 node types: directory entry, inode, clean marker, padding, summary, xattr, xref.
bool jffs2Node(std::uint32_t type)
{
    for (std::uint32_t known : {0xE001u, 0xE002u, 0x2003u, 0x2004u, 0x2006u, 0xE008u, 0xE009u})
        if (type == known)
            return true;
    return false;
}

// The first "__FMAP__" at or after from, or size. Sixteen places at a time look for '_' and, two
// bytes on, 'F'; only those places are compared in full.
std::uint64_t findFmapSignature(const std::uint8_t* data, std::uint64_t from, std::uint64_t size)
{
    static constexpr char Signature[] = "__FMAP__";
    if (size < 8)
        return size;
    std::uint64_t at = from;
#if defined(__SSE2__)
    const __m128i underscore = _mm_set1_epi8('_');
    const __m128i letterF = _mm_set1_epi8('F');
    for (; at + 16 + 2 <= size; at += 16) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        const __m128i third = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + 2));
        auto mask = unsigned(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(first, underscore), _mm_cmpeq_epi8(third, letterF))));
        for (; mask != 0; mask &= mask - 1) {
            const std::uint64_t candidate = at + unsigned(__builtin_ctz(mask));
            if (candidate + 8 <= size && std::memcmp(data + candidate, Signature, 8) == 0)
                return candidate;
        }
    }
#endif
    for (; at + 8 <= size; ++at)
        if (data[at] == '_' && std::memcmp(data + at, Signature, 8) == 0)
            return at;
    return size;
}

constexpr std::uint32_t DescriptorSignature = 0x0FF0A55A;
// The first chipsets' region table holds five registers; later ones may hold up to sixteen.
constexpr int FirstRegionCount = 5;

} // namespace

const char* descriptorRegionName(int index)
{
    static constexpr std::array<const char*, DescriptorRegionCount> Names {"fd", "bios", "me", "gbe", "pd", "reg5",
        "bios2", "reg7", "ec", "reg9", "ie", "10gbe", "reg12", "reg13", "reg14", "reg15"};
    return index >= 0 && index < DescriptorRegionCount ? Names[std::size_t(index)] : "";
}

LayoutReading readDescriptor(const std::uint8_t* data, std::uint64_t size)
{
    constexpr RegionSource source = RegionSource::Descriptor;
    std::uint64_t map = 0;
    if (size >= 0x14 && le32(data + 0x10) == DescriptorSignature)
        map = 0x14;
    else if (size >= 4 && le32(data) == DescriptorSignature)
        map = 4;
    else
        return {};
    if (map + 8 > size)
        return refusal(source, LayoutProblem::Truncated, map);
    // FLMAP0 bits 23:16 and FLMAP1 bits 7:0 hold the region and master table bases in 16-byte units.
    const std::uint64_t regionBase = std::uint64_t((le32(data + map) >> 16) & 0xFF) << 4;
    const std::uint64_t masterBase = std::uint64_t(le32(data + map + 4) & 0xFF) << 4;
    int count = FirstRegionCount;
    if (masterBase > regionBase)
        count = int(std::clamp<std::uint64_t>((masterBase - regionBase) / 4, FirstRegionCount, DescriptorRegionCount));
    if (regionBase + 4u * std::uint64_t(count) > size)
        return refusal(source, LayoutProblem::Truncated, regionBase);

    LayoutReading r;
    r.found = true;
    std::vector<std::uint64_t> positions;
    for (int i = 0; i < count; ++i) {
        const std::uint64_t at = regionBase + 4u * std::uint64_t(i);
        const std::uint32_t reg = le32(data + at);
        // Registers past the first chipsets' five may be filler.
        if (i >= FirstRegionCount && (reg == 0 || reg == 0xFFFFFFFF))
            continue;
        // FLREG: base in bits 14:0, limit in bits 30:16, both in 4 KiB units; the limit is inclusive.
        const std::uint64_t base = reg & 0x7FFF;
        const std::uint64_t limit = (reg >> 16) & 0x7FFF;
        if (base > limit)
            continue;
        Region region {QString::fromLatin1(descriptorRegionName(i)), base << 12, (limit - base + 1) << 12, source};
        if (region.end() >= size)
            return refusal(source, LayoutProblem::PastImage, at, region.name);
        r.regions.push_back(region);
        positions.push_back(at);
    }
    r.fault = crossing(r.regions, positions, source, false);
    if (r.fault.refused())
        r.regions.clear();
    return r;
}

LayoutReading readFmap(const std::uint8_t* data, std::uint64_t size)
{
    constexpr RegionSource source = RegionSource::Fmap;
    constexpr std::size_t HeaderSize = 56, AreaSize = 42, NameSize = 32;
    LayoutReading firstRefused;
    for (std::uint64_t at = findFmapSignature(data, 0, size); at < size; at = findFmapSignature(data, at + 1, size)) {
        // A header that is not sound may be the signature's text inside code: look further on.
        LayoutReading candidate;
        QString mapName;
        if (at + HeaderSize > size)
            candidate = refusal(source, LayoutProblem::Truncated, at);
        else if (data[at + 8] != 1)
            candidate = refusal(source, LayoutProblem::Version, at + 8, QString::number(data[at + 8]));
        else if (!readableName(data + at + 22, NameSize, &mapName))
            candidate = refusal(source, LayoutProblem::UnreadableName, at + 22);
        else if (at + HeaderSize + AreaSize * le16(data + at + 54) > size)
            candidate = refusal(source, LayoutProblem::Truncated, at + 54);
        if (candidate.found) {
            if (!firstRefused.found)
                firstRefused = candidate;
            continue;
        }
        LayoutReading r;
        r.found = true;
        std::vector<std::uint64_t> positions;
        const std::uint32_t areas = le16(data + at + 54);
        for (std::uint32_t i = 0; i < areas; ++i) {
            const std::uint64_t area = at + HeaderSize + AreaSize * i;
            Region region;
            region.source = source;
            region.start = le32(data + area);
            region.size = le32(data + area + 4);
            if (!readableName(data + area + 8, NameSize, &region.name))
                return refusal(source, LayoutProblem::UnreadableName, area + 8);
            if (region.size == 0)
                return refusal(source, LayoutProblem::Reversed, area, region.name);
            if (region.start + region.size > size)
                return refusal(source, LayoutProblem::PastImage, area, region.name);
            r.regions.push_back(region);
            positions.push_back(area);
        }
        r.fault = crossing(r.regions, positions, source, true);
        if (r.fault.refused())
            r.regions.clear();
        return r;
    }
    return firstRefused;
}

LayoutReading readLayoutFile(const QByteArray& text, std::uint64_t imageSize)
{
    constexpr RegionSource source = RegionSource::LayoutFile;
    LayoutReading r;
    r.found = true;
    std::vector<std::uint64_t> positions;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const std::uint64_t line = std::uint64_t(n) + 1;
        QByteArray content = lines[n];
        if (const qsizetype hash = content.indexOf('#'); hash >= 0)
            content.truncate(hash);
        content = content.trimmed();
        if (content.isEmpty())
            continue;
        const qsizetype colon = content.indexOf(':');
        qsizetype blank = colon;
        while (blank >= 0 && blank < content.size() && content[blank] != ' ' && content[blank] != '\t')
            ++blank;
        if (colon <= 0 || blank >= content.size())
            return refusal(source, LayoutProblem::Syntax, line);
        const auto hex = [](QByteArray digits, std::uint64_t* value) {
            if (digits.startsWith("0x") || digits.startsWith("0X"))
                digits = digits.mid(2);
            bool ok = !digits.isEmpty() && digits.size() <= 16;
            for (char c : digits)
                ok = ok && std::isxdigit(static_cast<unsigned char>(c));
            if (ok)
                *value = digits.toULongLong(&ok, 16);
            return ok;
        };
        Region region;
        region.source = source;
        std::uint64_t first = 0, last = 0;
        if (!hex(content.left(colon), &first) || !hex(content.mid(colon + 1, blank - colon - 1), &last))
            return refusal(source, LayoutProblem::Syntax, line);
        const QByteArray name = content.mid(blank).trimmed();
        if (!readableName(
                reinterpret_cast<const std::uint8_t*>(name.constData()), std::size_t(name.size()), &region.name)
            || name.size() != region.name.size())
            return refusal(source, LayoutProblem::UnreadableName, line);
        if (last < first)
            return refusal(source, LayoutProblem::Reversed, line, region.name);
        if (imageSize != 0 && last >= imageSize)
            return refusal(source, LayoutProblem::PastImage, line, region.name);
        region.start = first;
        region.size = last - first + 1;
        r.regions.push_back(region);
        positions.push_back(line);
    }
    if (r.regions.empty())
        return refusal(source, LayoutProblem::Empty, std::uint64_t(text.count('\n') + (text.endsWith('\n') ? 0 : 1)));
    r.fault = crossing(r.regions, positions, source, true);
    if (r.fault.refused())
        r.regions.clear();
    return r;
}

std::vector<Region> findContents(const std::uint8_t* data, std::uint64_t size)
{
    constexpr std::uint64_t Step = 4096;
    std::vector<Region> found;
    for (std::uint64_t at = 0; at + 64 <= size;) {
        const std::uint8_t* p = data + at;
        const std::uint64_t room = size - at;
        Region c;
        c.start = at;
        c.source = RegionSource::Content;
        if (std::memcmp(p + 0x28, "_FVH", 4) == 0) {
            c.name = QStringLiteral("uefi-fv");
            c.size = le64(p + 0x20);
        } else if (be32(p) == 0x27051956) {
            c.name = QStringLiteral("uboot");
            c.size = 64 + std::uint64_t(be32(p + 12));
        } else if (std::memcmp(p, "hsqs", 4) == 0) {
            c.name = QStringLiteral("squashfs");
            c.size = le64(p + 40);
        } else if (be32(p) == 0xD00DFEED) {
            c.name = QStringLiteral("dtb");
            c.size = be32(p + 4);
        } else if ((le16(p) == 0x1985 && jffs2Node(le16(p + 2)))
            || (p[0] == 0x19 && p[1] == 0x85 && jffs2Node(std::uint32_t(p[2]) << 8 | p[3]))) {
            c.name = QStringLiteral("jffs2");
        } else if (p[0] == 0x1F && p[1] == 0x8B && p[2] == 0x08) {
            c.name = QStringLiteral("gzip");
        } else if (p[0] == 0x5D) {
            // LZMA alone: properties 0x5D, a dictionary size of a power of two from 4 KiB to
            // 1 GiB, an uncompressed size that is unknown (all ones) or below 1 TiB.
            const std::uint32_t dictionary = le32(p + 1);
            const std::uint64_t unpacked = le64(p + 5);
            if (dictionary >= 4096 && dictionary <= (1u << 30) && (dictionary & (dictionary - 1)) == 0
                && (unpacked == ~std::uint64_t(0) || unpacked < (std::uint64_t(1) << 40)))
                c.name = QStringLiteral("lzma");
        }
        if (c.name.isEmpty()) {
            at += Step;
            continue;
        }
        if (c.size > room)
            c.size = 0;
        found.push_back(c);
        // Whatever lies inside a content of known length is its own business.
        at += std::max<std::uint64_t>(Step, (c.size + Step - 1) / Step * Step);
    }
    return found;
}

ImageLayout findLayout(const std::uint8_t* data, std::uint64_t size)
{
    ImageLayout layout;
    for (const LayoutReading& r : {readDescriptor(data, size), readFmap(data, size)}) {
        if (r.fault.refused())
            layout.faults.push_back(r.fault);
        layout.regions.insert(layout.regions.end(), r.regions.begin(), r.regions.end());
    }
    layout.contents = findContents(data, size);
    return layout;
}

std::vector<Region> chooseRegions(const std::vector<Region>& layout, const QStringList& names, QStringList* unknown)
{
    std::vector<Region> chosen;
    for (const QString& name : names) {
        const auto it = std::find_if(layout.begin(), layout.end(), [&](const Region& r) { return r.name == name; });
        if (it == layout.end())
            unknown->append(name);
    }
    for (const Region& r : layout)
        if (names.contains(r.name))
            chosen.push_back(r);
    return chosen;
}

bool sameBoundaries(const std::vector<Region>& a, const std::vector<Region>& b, const QStringList& names)
{
    for (const QString& name : names) {
        const auto find = [&](const std::vector<Region>& layout) {
            return std::find_if(layout.begin(), layout.end(), [&](const Region& r) { return r.name == name; });
        };
        const auto inA = find(a);
        const auto inB = find(b);
        if ((inA == a.end()) != (inB == b.end()))
            return false;
        if (inA != a.end() && (inA->start != inB->start || inA->size != inB->size))
            return false;
    }
    return true;
}

QByteArray layoutFileText(const std::vector<Region>& regions)
{
    QByteArray text;
    for (const Region& r : regions)
        text += QByteArray::number(qulonglong(r.start), 16).rightJustified(8, '0') + ':'
            + QByteArray::number(qulonglong(r.end()), 16).rightJustified(8, '0') + ' ' + r.name.toLatin1() + '\n';
    return text;
}

} // namespace kestrum
