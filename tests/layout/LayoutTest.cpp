#include "layout/FlashLayout.h"
#include "layout/LayoutTexts.h"
#include "layout/MapSummary.h"

#include "base/Messages.h"

#include "LayoutImages.h"

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::testing;

namespace {

constexpr std::size_t MiB = 1024 * 1024;

struct Expected
{
    const char* name;
    std::uint64_t start;
    std::uint64_t end;
};

void expectRegions(const LayoutReading& r, const std::vector<Expected>& expected)
{
    ASSERT_TRUE(r.usable()) << layoutFaultText(r.fault, EnglishLanguage).toStdString();
    ASSERT_EQ(r.regions.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(r.regions[i].name.toStdString(), expected[i].name);
        EXPECT_EQ(r.regions[i].start, expected[i].start) << expected[i].name;
        EXPECT_EQ(r.regions[i].end(), expected[i].end) << expected[i].name;
    }
}

void expectRefusal(const LayoutReading& r, const std::string& english)
{
    EXPECT_TRUE(r.found);
    EXPECT_TRUE(r.regions.empty());
    EXPECT_EQ(layoutFaultText(r.fault, EnglishLanguage).toStdString(), english);
}

// fd, bios, me, gbe of a 1 MiB laptop image; pd unused.
const std::vector<std::uint32_t> Laptop {
    flreg(0, 0xFFF), flreg(0x80000, 0xFFFFF), flreg(0x3000, 0x7FFFF), flreg(0x1000, 0x2FFF), UnusedRegion};

} // namespace

TEST(Descriptor, RegionsComeFromTheRegisterTableWithFlashromsNames)
{
    expectRegions(readDescriptor(descriptorImage(MiB, Laptop).data(), MiB),
        {{"fd", 0, 0xFFF}, {"bios", 0x80000, 0xFFFFF}, {"me", 0x3000, 0x7FFFF}, {"gbe", 0x1000, 0x2FFF}});

    // A newer chipset's table of sixteen registers: ec (register 8) and filler around it.
    std::vector<std::uint32_t> newer = Laptop;
    newer.resize(16, 0);
    newer[8] = flreg(0x7F000, 0x7FFFF);
    newer[2] = flreg(0x3000, 0x7EFFF);
    expectRegions(readDescriptor(descriptorImage(MiB, newer, 0x80).data(), MiB),
        {{"fd", 0, 0xFFF}, {"bios", 0x80000, 0xFFFFF}, {"me", 0x3000, 0x7EFFF}, {"gbe", 0x1000, 0x2FFF},
            {"ec", 0x7F000, 0x7FFFF}});

    // The first chipsets' descriptor starts with its signature.
    Image first = descriptorImage(MiB, Laptop);
    std::memmove(first.data(), first.data() + 0x10, 12);
    std::memset(first.data() + 0x10, 0, 12);
    expectRegions(readDescriptor(first.data(), MiB),
        {{"fd", 0, 0xFFF}, {"bios", 0x80000, 0xFFFFF}, {"me", 0x3000, 0x7FFFF}, {"gbe", 0x1000, 0x2FFF}});

    const Image blank(MiB, 0xFF);
    EXPECT_FALSE(readDescriptor(blank.data(), MiB).found);
}

TEST(Descriptor, DamagedTablesAreRefusedWithReasonAndOffset)
{
    struct Case
    {
        const char* what;
        std::vector<std::uint32_t> registers;
        std::size_t size;
        std::string refusal;
    };
    const std::vector<Case> cases {
        {"bios past a 512 KiB image", Laptop, MiB / 2,
            "flash descriptor refused at offset 0x000044: region bios ends past the end of the image"},
        {"me one block into bios",
            {flreg(0, 0xFFF), flreg(0x80000, 0xFFFFF), flreg(0x3000, 0x80FFF), flreg(0x1000, 0x2FFF), UnusedRegion},
            MiB, "flash descriptor refused at offset 0x000044: regions me and bios overlap"},
        {"gbe inside fd",
            {flreg(0, 0x1FFF), flreg(0x80000, 0xFFFFF), UnusedRegion, flreg(0x1000, 0x2FFF), UnusedRegion}, MiB,
            "flash descriptor refused at offset 0x00004C: regions fd and gbe overlap"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        expectRefusal(readDescriptor(descriptorImage(c.size, c.registers).data(), c.size), c.refusal);
    }
    Image cut = descriptorImage(0x1000, Laptop);
    expectRefusal(readDescriptor(cut.data(), 0x48),
        "flash descriptor refused at offset 0x000040: a table runs past the end of the image");
}

TEST(Fmap, AreasNestAndTheFirstSoundMapCounts)
{
    Image image(MiB, 0xFF);
    // A stray signature in code before the map is passed over.
    std::memcpy(&image[0x100], "__FMAP__\x07", 9);
    putFmap(image, 0x12345,
        {{0, 0x100000, "SI_ALL"}, {0, 0x1000, "SI_DESC"}, {0x1000, 0x7F000, "SI_ME"}, {0x80000, 0x80000, "SI_BIOS"},
            {0x80000, 0x4000, "RO_VPD"}});
    expectRegions(readFmap(image.data(), MiB),
        {{"SI_ALL", 0, 0xFFFFF}, {"SI_DESC", 0, 0xFFF}, {"SI_ME", 0x1000, 0x7FFFF}, {"SI_BIOS", 0x80000, 0xFFFFF},
            {"RO_VPD", 0x80000, 0x83FFF}});
    const Image blank(MiB, 0xFF);
    EXPECT_FALSE(readFmap(blank.data(), MiB).found);
}

TEST(Fmap, DamagedMapsAreRefusedWithReasonAndOffset)
{
    struct Case
    {
        const char* what;
        std::vector<Area> areas;
        int major;
        std::string refusal;
    };
    const std::vector<Case> cases {
        {"an area one byte past the image", {{0, 0x1000, "A"}, {0xFF000, 0x1001, "B"}}, 1,
            "FMAP refused at offset 0x010062: region B ends past the end of the image"},
        {"areas crossing", {{0, 0x2000, "A"}, {0x1000, 0x2000, "B"}}, 1,
            "FMAP refused at offset 0x010062: regions A and B overlap"},
        {"an empty area", {{0x1000, 0, "A"}}, 1, "FMAP refused at offset 0x010038: region A ends before it starts"},
        {"a name of control bytes", {{0, 0x1000, "\x01\x02"}}, 1,
            "FMAP refused at offset 0x010040: a name is unreadable"},
        {"a name twice", {{0, 0x1000, "A"}, {0x2000, 0x1000, "A"}}, 1,
            "FMAP refused at offset 0x010062: the name A appears twice"},
        {"version 2", {{0, 0x1000, "A"}}, 2, "FMAP refused at offset 0x010008: version 2 is not known"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Image image(MiB, 0xFF);
        putFmap(image, 0x10000, c.areas, c.major);
        expectRefusal(readFmap(image.data(), MiB), c.refusal);
    }
    Image cut(0x1000, 0xFF);
    putFmap(cut, 0xF00, {{0, 0x1000, "A"}, {0, 0x1000, "B"}, {0, 0x1000, "C"}, {0, 0x1000, "D"}});
    expectRefusal(
        readFmap(cut.data(), 0xFC0), "FMAP refused at offset 0x000F36: a table runs past the end of the image");
}

TEST(LayoutFile, LinesInFlashromsFormat)
{
    const QByteArray good = "# laptop\n00000000:00000fff fd\n0x00001000:0x00002FFF gbe\r\n"
                            "00003000:0007ffff me\n\n00080000:000fffff bios # the rest\n00080000:00083fff bios_head\n";
    expectRegions(readLayoutFile(good, MiB),
        {{"fd", 0, 0xFFF}, {"gbe", 0x1000, 0x2FFF}, {"me", 0x3000, 0x7FFFF}, {"bios", 0x80000, 0xFFFFF},
            {"bios_head", 0x80000, 0x83FFF}});
    EXPECT_EQ(readLayoutFile(layoutFileText(readLayoutFile(good, MiB).regions), MiB).regions,
        readLayoutFile(good, MiB).regions);

    struct Case
    {
        QByteArray text;
        std::string refusal;
    };
    const std::vector<Case> cases {
        {"0:fff fd\n1000:100000 bios\n", "layout file refused at line 2: region bios ends past the end of the image"},
        {"0:fff fd\n2000:1fff bios\n", "layout file refused at line 2: region bios ends before it starts"},
        {"0:fff fd\n800:17ff bios\n", "layout file refused at line 2: regions fd and bios overlap"},
        {"0:fff fd\n1000:1fff fd\n", "layout file refused at line 2: the name fd appears twice"},
        {"0-fff fd\n", "layout file refused at line 1: the line is not \"start:end name\""},
        {"0:fffg fd\n", "layout file refused at line 1: the line is not \"start:end name\""},
        {"0:fff\n", "layout file refused at line 1: the line is not \"start:end name\""},
        {"# nothing\n", "layout file refused at line 1: it names no region"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        expectRefusal(readLayoutFile(c.text, MiB), c.refusal);
    }
}

TEST(Contents, WellKnownHeadersOn4KiBBoundariesWithTheirLengths)
{
    Image image(MiB, 0xFF);
    putBe(image, 0x0, 0x27051956); // U-Boot legacy image: 64-byte header + data size
    putBe(image, 12, 0x1F00);
    std::memcpy(&image[0x3000], "hsqs", 4);
    putLe(image, 0x3000 + 40, 0x5123, 8);
    std::memcpy(&image[0x9000], "\x1F\x8B\x08", 3);
    image[0xA000] = 0x5D; // LZMA: 8 MiB dictionary, unknown size
    putLe(image, 0xA001, 0x800000, 4);
    putLe(image, 0xA005, ~0ull, 8);
    putBe(image, 0xB000, 0xD00DFEED);
    putBe(image, 0xB004, 0x2000);
    putLe(image, 0xE000, 0xE0021985, 4); // JFFS2 inode node
    putLe(image, 0x10000 + 0x20, 0x10000, 8);
    std::memcpy(&image[0x10000 + 0x28], "_FVH", 4);
    std::memcpy(&image[0x11000], "hsqs", 4); // inside the firmware volume: its own business
    std::memcpy(&image[0x30010], "\x1F\x8B\x08", 3); // not on a boundary
    std::memcpy(&image[0x31000], "\xD0\x0D\xFE\xED\x00\x10\x00\x00", 8); // says 1 MiB from 0x31000

    const std::vector<Region> found = findContents(image.data(), image.size());
    const std::vector<Expected> expected {{"uboot", 0, 0x1F3F}, {"squashfs", 0x3000, 0x8122}, {"gzip", 0x9000, 0x9000},
        {"lzma", 0xA000, 0xA000}, {"dtb", 0xB000, 0xCFFF}, {"jffs2", 0xE000, 0xE000}, {"uefi-fv", 0x10000, 0x1FFFF},
        {"dtb", 0x31000, 0x31000}};
    ASSERT_EQ(found.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(found[i].name.toStdString(), expected[i].name);
        EXPECT_EQ(found[i].start, expected[i].start) << expected[i].name;
        EXPECT_EQ(found[i].end(), expected[i].end) << expected[i].name;
    }
}

TEST(Regions, ChosenByNameAndComparedByBoundaries)
{
    const std::vector<Region> layout = readDescriptor(descriptorImage(MiB, Laptop).data(), MiB).regions;
    QStringList unknown;
    const std::vector<Region> chosen = chooseRegions(layout, {"gbe", "bios", "BIOS", "rom"}, &unknown);
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_EQ(chosen[0].name, "bios");
    EXPECT_EQ(chosen[1].name, "gbe");
    EXPECT_EQ(unknown, QStringList({"BIOS", "rom"}));

    std::vector<Region> other = layout;
    other[2].size -= 0x1000; // me shorter
    EXPECT_TRUE(sameBoundaries(layout, other, {"bios", "gbe"}));
    EXPECT_FALSE(sameBoundaries(layout, other, {"bios", "me"}));
    other.pop_back();
    EXPECT_FALSE(sameBoundaries(layout, other, {"gbe"}));
}

TEST(MapSummary, StretchesAreBlankZeroOrDataAndRangesTakeTheirMajority)
{
    Image image(0x10000, 0xFF); // sixteen stretches of 4 KiB
    std::memset(&image[0x4000], 0, 0x3000);
    image[0x9FFF] = 0x00; // the last byte of a stretch
    image[0xC000] = 0x12;
    const MapSummary summary(image.data(), image.size(), 16);
    std::string fills;
    for (std::size_t i = 0; i < summary.stretchCount(); ++i)
        fills += "DBZ"[int(summary.fill(i))];
    EXPECT_EQ(fills, "BBBBZZZBBDBBDBBB");
    EXPECT_EQ(summary.dominant(0x4000, 0x6FFF), MapFill::Zero);
    EXPECT_EQ(summary.dominant(0x3000, 0x7FFF), MapFill::Zero);
    EXPECT_EQ(summary.dominant(0x9000, 0xCFFF), MapFill::Blank);
    EXPECT_EQ(summary.dominant(0x9000, 0x9FFF), MapFill::Data);
    EXPECT_EQ(MapSummary(image.data(), 5, 16).stretchCount(), 5u);
}
