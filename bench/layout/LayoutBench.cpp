// Finds the layout of a 64 MiB image (descriptor, FMAP, contents) as opening a file does, and
// prints the best of twenty runs of each case in milliseconds, on the wall clock and in the
// thread's own processor time (which a loaded machine does not inflate). The target is 5 ms.
#include "layout/FlashLayout.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

using namespace kestrum;

namespace {

constexpr std::size_t ImageSize = 64u * 1024 * 1024;

void put32(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t value)
{
    std::memcpy(&image[at], &value, 4);
}

double threadMilliseconds()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

void report(const char* name, const std::vector<std::uint8_t>& image)
{
    double bestWall = 1e9, bestThread = 1e9;
    std::size_t regions = 0;
    for (int run = 0; run < 20; ++run) {
        QElapsedTimer clock;
        clock.start();
        const double thread = threadMilliseconds();
        const ImageLayout layout = findLayout(image.data(), image.size());
        bestThread = std::min(bestThread, threadMilliseconds() - thread);
        bestWall = std::min(bestWall, double(clock.nsecsElapsed()) / 1e6);
        regions = layout.regions.size() + layout.contents.size();
    }
    std::printf("%-46s %7.2f ms wall %7.2f ms thread  %zu regions and contents\n", name, bestWall, bestThread, regions);
}

} // namespace

int main()
{
    std::vector<std::uint8_t> image(ImageSize, 0xFF);
    report("64 MiB erased", image);

    std::mt19937 random(41);
    std::generate(image.begin(), image.end(), [&] { return static_cast<std::uint8_t>(random()); });
    report("64 MiB random, nothing to find", image);

    // A descriptor with fd, bios, me, gbe and an FMAP near the end.
    put32(image, 0x10, 0x0FF0A55A);
    put32(image, 0x14, 0x00040003);
    put32(image, 0x18, 0x00100006);
    put32(image, 0x40, 0x00000000);
    put32(image, 0x44, 0x3FFF0800);
    put32(image, 0x48, 0x07FF0003);
    put32(image, 0x4C, 0x00020001);
    put32(image, 0x50, 0x00007FFF);
    const std::size_t fmap = ImageSize - 0x10000;
    std::memcpy(&image[fmap], "__FMAP__\x01\x01", 10);
    std::memset(&image[fmap + 22], 0, 34);
    std::memcpy(&image[fmap + 22], "FLASH", 5);
    image[fmap + 54] = 1;
    put32(image, fmap + 56, 0);
    put32(image, fmap + 60, 0x1000);
    std::memset(&image[fmap + 64], 0, 34);
    std::memcpy(&image[fmap + 64], "SI_DESC", 7);
    report("64 MiB random, descriptor and FMAP at the end", image);
    return 0;
}
