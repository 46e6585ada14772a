// Write then read gives the same bytes, for lengths around every boundary of both formats.
#include "buffer/IntelHex.h"
#include "buffer/SRecord.h"
#include "tests/buffer/FileTestSupport.h"
#include "tests/support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kestrum;
using kestrum::test::ScriptedUserInterface;

namespace {

enum class Format { IntelHex, SRecord };

struct RoundTrip
{
    Format format;
    std::uint32_t length;
    bool endsErased; ///< the image ends in a stretch of 0xFF, so its last records are left out
};

std::string roundTripName(const testing::TestParamInfo<RoundTrip>& info)
{
    return std::string(info.param.format == Format::IntelHex ? "IntelHex_" : "SRecord_") + "0x"
        + QByteArray::number(info.param.length, 16).toStdString() + (info.param.endsErased ? "_erasedTail" : "");
}

class RoundTripTest : public testing::TestWithParam<RoundTrip>
{
};

TEST_P(RoundTripTest, ReadsBackTheWrittenBytes)
{
    const RoundTrip p = GetParam();
    std::vector<std::uint8_t> image = test::firmwareLikeImage(p.length, p.length * 7 + (p.endsErased ? 1 : 0), 5000);
    if (!image.empty()) {
        // Decide the tail: the last 40 bytes erased, or a data byte in the very last place.
        if (p.endsErased)
            std::fill(image.end() - std::min<std::size_t>(40, image.size()), image.end(), 0xFF);
        else
            image.back() = 0x5A;
    }

    test::TempFolder folder;
    const QString path = folder.path(p.format == Format::IntelHex ? "image.hex" : "image.src");
    ScriptedUserInterface ui;
    const WriteResult written = p.format == Format::IntelHex ? writeIntelHex(path, image.data(), p.length, ui)
                                                             : writeSRecord(path, image.data(), p.length, ui);
    ASSERT_EQ(written, WriteResult::Written);

    // Read into a buffer of 0xFF that is larger than the image, as Open does.
    std::vector<std::uint8_t> buffer = test::erasedBuffer(std::size_t {p.length} + 64);
    const std::uint32_t maxSize = static_cast<std::uint32_t>(buffer.size());
    const qint32 extent = p.format == Format::IntelHex ? readIntelHex(path, buffer.data(), maxSize, ui)
                                                       : readSRecord(path, buffer.data(), maxSize, ui);
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('|').toStdString();

    EXPECT_TRUE(std::equal(image.begin(), image.end(), buffer.begin())) << "image differs after the round trip";
    EXPECT_TRUE(std::all_of(buffer.begin() + p.length, buffer.end(), [](std::uint8_t b) { return b == 0xFF; }));

    // The extent is the end of the last record written: the record holding the last byte that
    // is not 0xFF, cut at the length.
    const std::uint32_t recordSize = p.format == Format::IntelHex ? 32 : 16;
    const auto lastData = std::find_if(image.rbegin(), image.rend(), [](std::uint8_t b) { return b != 0xFF; });
    const std::uint32_t dataEnd = static_cast<std::uint32_t>(image.rend() - lastData);
    const std::uint32_t expected
        = dataEnd == 0 ? 0 : std::min(p.length, (dataEnd + recordSize - 1) / recordSize * recordSize);
    EXPECT_EQ(static_cast<std::uint32_t>(extent), expected);
}

std::vector<RoundTrip> roundTrips()
{
    std::vector<RoundTrip> all;
    for (Format format : {Format::IntelHex, Format::SRecord}) {
        for (std::uint32_t length :
            {0u, 1u, 15u, 16u, 17u, 31u, 32u, 33u, 0xFFFFu, 0x10000u, 0x10001u, 0x20010u, 0xFFFFFFu, 0x1000000u}) {
            all.push_back({format, length, false});
            if (length > 1)
                all.push_back({format, length, true});
        }
    }
    return all;
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Lengths, RoundTripTest, testing::ValuesIn(roundTrips()), roundTripName);

TEST(RoundTrip, AFullBufferOf64MiBSurvivesBothFormats)
{
    const std::uint32_t length = 0x4000000;
    const std::vector<std::uint8_t> image = test::firmwareLikeImage(length, 64, 1 << 16);
    test::TempFolder folder;
    for (const QString& name : {QStringLiteral("full.hex"), QStringLiteral("full.src")}) {
        const QString path = folder.path(name);
        ScriptedUserInterface ui;
        const bool hex = name.endsWith(".hex");
        ASSERT_EQ(hex ? writeIntelHex(path, image.data(), length, ui) : writeSRecord(path, image.data(), length, ui),
            WriteResult::Written);
        std::vector<std::uint8_t> buffer = test::erasedBuffer(length);
        const qint32 extent
            = hex ? readIntelHex(path, buffer.data(), length, ui) : readSRecord(path, buffer.data(), length, ui);
        EXPECT_GT(extent, 0);
        EXPECT_TRUE(ui.errors.isEmpty());
        EXPECT_TRUE(buffer == image) << name.toStdString();
        QFile::remove(path);
    }
}
