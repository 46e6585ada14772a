// The main window's hand-over of a 64 MiB chip image to its hex view and the first paint after it:
// `ViewHandOver::reloadView` into `FlashEditorHost`, as after every chip read or file open. Run by
// hand (QT_QPA_PLATFORM=offscreen works); prints the time and the peak memory the load adds.
#include "ProcessMemory.h"
#include "app/FlashEditorHost.h"
#include "buffer/ViewHandOver.h"
#include "hexview/HexEditor.h"

#include <QApplication>
#include <QImage>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

using namespace kestrum;

namespace {

using Clock = std::chrono::steady_clock;

struct LoadFigures
{
    double ms = 1e9; // best of the runs
    qint64 peakExtraKiB = 0; // worst of the runs
};

// Hands the buffer over `runs` times, each into a new view when `fresh`, else into the same one.
LoadFigures measure(DataBuffer& buffer, bool fresh, int runs)
{
    LoadFigures figures;
    auto host = std::make_unique<FlashEditorHost>(nullptr);
    if (!fresh)
        ViewHandOver(buffer, *host).reloadView(BufferCapacity); // the view has held an image before
    for (int run = 0; run < runs; ++run) {
        if (fresh)
            host = std::make_unique<FlashEditorHost>(nullptr);
        host->resize(1000, 700);
        host->show();
        QApplication::processEvents();
        QImage target(host->size(), QImage::Format_RGB32);
        ViewHandOver handOver(buffer, *host);
        bench::resetPeak();
        const qint64 before = bench::statusKiB("VmRSS");
        const auto start = Clock::now();
        handOver.reloadView(BufferCapacity);
        host->render(&target);
        figures.ms = std::min(figures.ms, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        figures.peakExtraKiB = std::max(figures.peakExtraKiB, bench::statusKiB("VmHWM") - before);
        if (host->dataSize() != BufferCapacity || host->editor().dataAt(12345) != buffer.data()[12345])
            std::puts("hand-over result unexpected");
    }
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    DataBuffer buffer;
    for (std::uint32_t i = 0; i < BufferCapacity; ++i)
        buffer.data()[i] = static_cast<std::uint8_t>(i * 7 + 0x31);
    const LoadFigures first = measure(buffer, true, 5);
    const LoadFigures again = measure(buffer, false, 5);
    const qint64 goalKiB = BufferCapacity / 1024 + BufferCapacity / 8 / 1024;
    std::printf("window hand-over of 64 MiB + first paint (best of 5; goal <= 16 ms, peak <= %lld KiB):\n",
        static_cast<long long>(goalKiB));
    std::printf("  into a new view: %.2f ms, peak memory added %lld KiB\n", first.ms,
        static_cast<long long>(first.peakExtraKiB));
    std::printf("  into the same view again: %.2f ms, peak memory added %lld KiB\n", again.ms,
        static_cast<long long>(again.peakExtraKiB));
    return 0;
}
