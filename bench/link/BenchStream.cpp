// Host-side throughput of the chip streams: a 64 MiB flash written, verified and read through
// ChipProgrammer, the real UsbLink binding and the simulated programmer with no simulated
// transfer time. Run by hand (bench/link/run.sh):
//   LD_LIBRARY_PATH=<build>/sim-usb <build>/bin/bench_stream [repetitions]
#include "ops/ChipProgrammer.h"
#include "ops/ProgressEstimate.h"
#include "sim/ksim.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include <dlfcn.h>

using namespace kestrum;

namespace {

constexpr quint32 ChipSize = BufferCapacity; // 64 MiB
constexpr quint16 PageSize = 256;

class QuietUserInterface : public UserInterface
{
public:
    void showError(const QString& text) override { std::fprintf(stderr, "error box: %s\n", qPrintable(text)); }
    bool askYesNo(const QString&) override { return true; }
    void showInformation(const QString&) override { }
    void beep() override { }
    QString chooseOpenFile(const QString&) override { return {}; }
    QString chooseSaveFile(const QString&, const QString&) override { return {}; }
    void insertLogLine(const QString&) override { }
};

/// A window that does nothing but count how often it was asked to catch up.
class CountingView : public JobView
{
public:
    void setStatusText(const QString&) override { }
    void setControlsLocked(bool) override { }
    void showProgress(quint32, ProgressUnit) override { }
    void setProgressPosition(quint32) override { ++positions; }
    void hideProgress() override { }
    void processPendingEvents() override
    {
        ++pumps;
        QCoreApplication::processEvents();
        if (onPump)
            onPump();
    }
    std::function<void()> onPump;
    void reloadView(quint32) override { }
    long positions = 0;
    long pumps = 0;
};

template <typename Function> Function symbol(void* library, const char* name)
{
    auto f = reinterpret_cast<Function>(dlsym(library, name));
    if (!f) {
        std::fprintf(stderr, "bench_stream: %s missing: the simulator must be first on LD_LIBRARY_PATH\n", name);
        std::exit(2);
    }
    return f;
}

double megabytesPerSecond(qint64 nanoseconds)
{
    return nanoseconds > 0 ? double(ChipSize) / 1e6 / (double(nanoseconds) / 1e9) : 0.0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("kestrum.link.debug=false"));
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    void* library = dlopen(UsbBinding::DefaultLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "bench_stream: %s cannot be loaded\n", UsbBinding::DefaultLibrary);
        return 2;
    }
    symbol<decltype(&ksim_reset)>(library, "ksim_reset")();
    const int bus = symbol<decltype(&ksim_add_bus)>(library, "ksim_add_bus")();
    const int device = symbol<decltype(&ksim_add_programmer)>(library, "ksim_add_programmer")(bus, "WinUSBComm");
    symbol<decltype(&ksim_insert_chip)>(library, "ksim_insert_chip")(device, KSIM_CHIP_SPI_FLASH, ChipSize, 0xEF4020);
    symbol<decltype(&ksim_set_recording)>(library, "ksim_set_recording")(KSIM_RECORD_OFF);
    symbol<decltype(&ksim_set_timing)>(library, "ksim_set_timing")(0);
    auto chipBytes = symbol<decltype(&ksim_chip_bytes)>(library, "ksim_chip_bytes");

    QuietUserInterface ui;
    Reporter reporter(ui);
    reporter.setLanguage(2);
    DataBuffer buffer;
    CountingView view;
    UsbLink usb;
    usb.setSleepFunction([](int) {}); // only host-side time is measured
    ChipProgrammer programmer(usb, reporter, buffer, view);

    ChipRecord record {};
    std::strcpy(record.names, "25 SPI Flash,Winbond,W25Q512JV");
    record.chipId = 0xEF4020;
    record.flashSize = ChipSize;
    record.flashPage = PageSize;
    record.chipClass = SpiFlash25;
    record.delay = 100;

    std::vector<quint8> image(ChipSize);
    for (quint32 i = 0; i < ChipSize; ++i)
        image[i] = static_cast<quint8>((i * 2654435761u) >> 24);

    std::vector<qint64> write, verify, read;
    bool ok = true;
    for (int round = 0; round < repetitions && ok; ++round) {
        QElapsedTimer timer;
        std::memcpy(buffer.data(), image.data(), ChipSize);
        buffer.usedLength = static_cast<qint32>(ChipSize);

        ok = programmer.beginJob(record, 0) == JobStart::SpiFlash && programmer.eraseChip(record) == JobResult::Done;
        timer.start();
        ok = ok && programmer.writeChip(record) == JobResult::Done;
        write.push_back(timer.nsecsElapsed());
        timer.start();
        ok = ok && programmer.verifyChip(record) == JobResult::Done;
        verify.push_back(timer.nsecsElapsed());
        std::memset(buffer.data(), 0, ChipSize);
        timer.start();
        ok = ok && programmer.readChip(record) == JobResult::Done;
        read.push_back(timer.nsecsElapsed());
        programmer.endJob();
        ok = ok && std::memcmp(buffer.data(), image.data(), ChipSize) == 0
            && std::memcmp(chipBytes(device, nullptr), image.data(), ChipSize) == 0;
    }
    if (!ok) {
        std::fprintf(stderr, "bench_stream: the streams did not round-trip the image\n");
        return 1;
    }

    auto report = [](const char* name, std::vector<qint64> times) {
        std::sort(times.begin(), times.end());
        std::printf("%-7s best %8.1f MB/s   median %8.1f MB/s   (%zu runs, 64 MiB, %u-byte blocks)\n", name,
            megabytesPerSecond(times.front()), megabytesPerSecond(times[times.size() / 2]), times.size(),
            unsigned(PageSize));
    };
    std::printf("ChipProgrammer -> UsbLink (run-time libusb binding) -> simulated programmer, instant timing\n");
    report("write", write);
    report("verify", verify);
    report("read", read);
    std::printf("window pumps per run: %ld, progress moves per run: %ld\n", view.pumps / repetitions,
        view.positions / repetitions);

    // Stop: from the request (made where the window makes it, in the event pump) to the routine's
    // return, halfway through a 64 MiB read. The worst case is one block, whatever the chip size.
    QElapsedTimer sinceStop;
    qint64 worstStop = 0;
    programmer.setPumpInterval(0);
    for (int round = 0; round < repetitions; ++round) {
        long pumpsLeft = long(ChipSize / PageSize / 2);
        view.onPump = [&] {
            if (--pumpsLeft == 0) {
                programmer.requestStop();
                sinceStop.start();
            }
        };
        if (programmer.beginJob(record, 0) != JobStart::SpiFlash || programmer.readChip(record) != JobResult::Stopped) {
            std::fprintf(stderr, "bench_stream: the read did not stop\n");
            return 1;
        }
        worstStop = std::max(worstStop, sinceStop.nsecsElapsed());
        programmer.endJob();
    }
    view.onPump = nullptr;
    std::printf("stop: worst %.3f ms from the request to the end of the routine (%d runs)\n", double(worstStop) / 1e6,
        repetitions);

    // The rate and time left of the window: the cost of one progress move, at a move every 15 ms.
    qint64 clock = 0;
    ProgressEstimate estimate([&clock] { return clock; });
    estimate.start(ChipSize);
    QElapsedTimer timer;
    timer.start();
    constexpr int Moves = 1'000'000;
    for (int i = 1; i <= Moves; ++i) {
        clock += 15;
        estimate.update(quint32(i) * 64);
        if (!estimate.estimate() && clock > ProgressEstimate::QuietMs)
            return 1;
    }
    std::printf("rate and time left: %.1f ns per progress move\n", double(timer.nsecsElapsed()) / Moves);
    return 0;
}
