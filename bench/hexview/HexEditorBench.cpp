// Speed and memory of the hex editor control on a full 64 MiB image. Run by hand; prints one
// line per measurement and the ratio against its goal.
#include "hexview/TMPHUndoStorage.h"
#include "hexview/TMPHexEditorEx.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <malloc.h>
#include <string>
#include <vector>

using namespace kestrum;

namespace {

constexpr qint64 MiB = 1024 * 1024;
constexpr qint64 ImageSize = 64 * MiB;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Best of several runs: the machine is shared, so the fastest run is the least disturbed one.
template <typename F> double bestOf(int runs, F&& run)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i)
        best = std::min(best, run());
    return best;
}

qint64 statusKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0)
            return std::atoll(line.c_str() + prefix.size());
    }
    return -1;
}

// Sets the peak RSS (VmHWM) back to the current RSS.
bool resetPeak()
{
    std::ofstream clearRefs("/proc/self/clear_refs");
    clearRefs << "5";
    return bool(clearRefs);
}

QByteArray image()
{
    QByteArray bytes(ImageSize, Qt::Uninitialized);
    for (qint64 i = 0; i < ImageSize; ++i)
        bytes[i] = static_cast<char>((i * 7 + 0x31) & 0xFF);
    return bytes;
}

void load(TMPHexEditorEx& editor, QByteArray& bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    editor.LoadFromStream(buffer);
}

void benchLoad(QByteArray& source)
{
    const double copyFresh = bestOf(5, [&] {
        const auto start = Clock::now();
        char* target = static_cast<char*>(std::malloc(ImageSize));
        std::memcpy(target, source.constData(), ImageSize);
        const double t = secondsSince(start);
        if (target[12345] != source[12345])
            std::puts("copy mismatch");
        std::free(target);
        return t;
    });
    std::vector<char> warm(ImageSize, 1);
    const double copyWarm = bestOf(5, [&] {
        const auto start = Clock::now();
        std::memcpy(warm.data(), source.constData(), ImageSize);
        return secondsSince(start);
    });
    warm = {};
    int reports = 0;
    auto countReports = [&](TCustomMPHexEditor&, TMPHProgressKind, const QString&, quint8, bool&) { ++reports; };
    // First load into a new control: the data memory is new, as for the memcpy into new memory.
    const double coldLoad = bestOf(5, [&] {
        TMPHexEditorEx editor;
        editor.OnProgress = countReports;
        reports = 0;
        const auto start = Clock::now();
        load(editor, source);
        return secondsSince(start);
    });
    const int coldReports = reports;
    // Reload of an image of the same size (the program's hand-over after every chip read).
    TMPHexEditorEx editor;
    load(editor, source);
    const double warmLoad = bestOf(5, [&] {
        const auto start = Clock::now();
        load(editor, source);
        return secondsSince(start);
    });
    std::printf(
        "memcpy 64 MiB: into new memory %.1f ms, into touched memory %.1f ms\n", copyFresh * 1e3, copyWarm * 1e3);
    std::printf("LoadFromStream 64 MiB: first load %.1f ms (%d progress reports), reload %.1f ms\n", coldLoad * 1e3,
        coldReports, warmLoad * 1e3);
    std::printf("  ratio first load / memcpy into new memory: %.2f (goal <= 2)\n", coldLoad / copyFresh);
    std::printf("  ratio reload / memcpy into touched memory: %.2f (goal <= 2)\n", warmLoad / copyWarm);
}

double changeAndUndo(TMPHexEditorEx& editor, qint64 position, int rounds)
{
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        const quint8 old = editor.GetDataAt(position);
        editor.IntChangeByte(old, static_cast<quint8>(old ^ 0x5A), position);
        editor.Undo();
    }
    const double t = secondsSince(start) / rounds;
    if (editor.HasChanged(position) || editor.UndoStorage().Count() != 0)
        std::puts("change and undo left traces");
    return t;
}

void benchChangeUndo(QByteArray& source)
{
    constexpr int Rounds = 200'000;
    TMPHexEditorEx big;
    load(big, source);
    QByteArray small = source.left(1024);
    TMPHexEditorEx little;
    load(little, small);
    // Warm both up (the first mark grows the bit array), then measure alternately.
    changeAndUndo(big, ImageSize - 1, 1000);
    changeAndUndo(little, 1023, 1000);
    const double onBig = bestOf(5, [&] { return changeAndUndo(big, ImageSize - 1, Rounds); });
    const double onSmall = bestOf(5, [&] { return changeAndUndo(little, 1023, Rounds); });
    std::printf("one-byte change + undo: %.0f ns on 64 MiB, %.0f ns on 1 KiB\n", onBig * 1e9, onSmall * 1e9);
    std::printf("  ratio 64 MiB / 1 KiB: %.2f (goal <= 1.5)\n", onBig / onSmall);
}

void benchNibble(QByteArray& source)
{
    TMPHexEditorEx editor;
    load(editor, source);
    source = QByteArray(); // only the editor's copy stays
    malloc_trim(0);
    const struct mallinfo2 heapBefore = mallinfo2();
    const bool peakReset = resetPeak();
    const qint64 rssBefore = statusKiB("VmRSS");

    auto start = Clock::now();
    editor.InsertNibble(0, true);
    const double insertTime = secondsSince(start);
    const qint64 peakInsert = statusKiB("VmHWM");
    const struct mallinfo2 heapAfter = mallinfo2();
    const bool shifted = editor.GetDataSize() == ImageSize + 1 && editor.GetDataAt(0) == 0x03
        && editor.GetDataAt(1) == 0x13
        && editor.GetDataAt(ImageSize) == quint8((((ImageSize - 1) * 7 + 0x31) & 0x0F) << 4);

    resetPeak();
    const qint64 rssBeforeDelete = statusKiB("VmRSS");
    start = Clock::now();
    editor.DeleteNibble(0, true);
    const double deleteTime = secondsSince(start);
    const qint64 peakDelete = statusKiB("VmHWM");

    const qint64 heapDelta
        = qint64(heapAfter.uordblks + heapAfter.hblkhd) - qint64(heapBefore.uordblks + heapBefore.hblkhd);
    std::printf("InsertNibble at 0 of 64 MiB: %.1f ms, peak extra memory %lld KiB (VmHWM - VmRSS%s), "
                "heap growth %lld bytes\n",
        insertTime * 1e3, static_cast<long long>(peakInsert - rssBefore), peakReset ? "" : ", peak not reset",
        static_cast<long long>(heapDelta));
    std::printf("DeleteNibble at 0 of 64 MiB: %.1f ms, peak extra memory %lld KiB\n", deleteTime * 1e3,
        static_cast<long long>(peakDelete - rssBeforeDelete));
    std::printf("  goal: extra memory < 1024 KiB besides the data\n");
    if (!shifted || editor.GetDataAt(0) != 0x31)
        std::puts("nibble shift result unexpected");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QByteArray source = image();
    benchLoad(source);
    benchChangeUndo(source);
    benchNibble(source);
    return 0;
}
