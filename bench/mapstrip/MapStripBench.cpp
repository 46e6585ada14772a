// The map strip of a 64 MiB image: the summary made once when the data change, and a repaint of
// the strip (800 pixels high, sixteen regions, a thousand differences). Prints the best of twenty
// runs in milliseconds. The target is 2 ms a repaint.
#include "app/MapStrip.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

using namespace kestrum;

namespace {

constexpr std::size_t ImageSize = 64u * 1024 * 1024;

double bestOfTwenty(const std::function<void()>& run)
{
    double best = 1e9;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer clock;
        clock.start();
        run();
        best = std::min(best, double(clock.nsecsElapsed()) / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // Blank, zero and random stretches, a megabyte each in turn.
    std::vector<std::uint8_t> image(ImageSize, 0xFF);
    std::mt19937 random(41);
    for (std::size_t at = 0; at + (3u << 20) <= ImageSize; at += 3u << 20) {
        std::fill_n(image.begin() + std::ptrdiff_t(at + (1u << 20)), 1u << 20, 0x00);
        std::generate_n(
            image.begin() + std::ptrdiff_t(at + (2u << 20)), 1u << 20, [&] { return std::uint8_t(random()); });
    }
    MapSummary summary;
    const double made = bestOfTwenty([&] { summary = MapSummary(image.data(), ImageSize); });

    std::vector<Region> regions;
    for (int i = 0; i < 16; ++i)
        regions.push_back({QStringLiteral("region%1").arg(i), std::uint64_t(i) * (ImageSize / 16), ImageSize / 16,
            RegionSource::LayoutFile});
    std::vector<DifferenceRange> differences;
    for (std::uint64_t at = 0x1000; at < ImageSize; at += ImageSize / 1000)
        differences.push_back({at, at + 15});
    MapStrip strip;
    strip.resize(84, 800);
    strip.setImage(summary, regions, {});
    strip.setDifferences(differences);
    QImage target(strip.size(), QImage::Format_ARGB32_Premultiplied);
    const double painted = bestOfTwenty([&] { strip.render(&target); });
    std::printf("%-44s %8.2f ms\n", "summary of 64 MiB (once per data change)", made);
    std::printf("%-44s %8.2f ms\n", "repaint of the strip over 64 MiB", painted);
    return 0;
}
