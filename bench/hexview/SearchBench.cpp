// Searching a full 64 MiB image: a 6-byte pattern at its very end, forwards and backwards, with
// and without case folding; counting and replacing where every other byte is a match (the worst
// case of a blank chip). Run by hand; prints one line per measurement with its goal.
#include "hexview/EditorSearch.h"
#include "hexview/HexEditor.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

using namespace kestrum;

namespace {

constexpr qint64 ImageSize = 64 * 1024 * 1024;

using Clock = std::chrono::steady_clock;

// Best of several runs: the machine is shared, so the fastest run is the least disturbed one.
template <typename F> double bestMs(int runs, F&& run)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        run();
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return best;
}

void report(const char* what, double ms, double goalMs)
{
    std::printf("%-58s %8.1f ms   goal <= %5.0f ms   %s\n", what, ms, goalMs, ms <= goalMs ? "ok" : "OVER");
}

} // namespace

int main()
{
    // Random text-like bytes, so that a folded search meets letters of both cases everywhere.
    QByteArray data(ImageSize, Qt::Uninitialized);
    std::mt19937 random(1);
    for (char& c : data)
        c = char(0x20 + random() % 0x5F);
    const QByteArray needle("K3sTr!");
    data.replace(ImageSize - needle.size(), needle.size(), needle);
    const SearchPattern exact(needle);
    const SearchPattern folded = SearchPattern::ofUtf8(QString::fromLatin1(needle), false);
    qint64 found = -1;
    report("find 6 bytes at the end, from the start", bestMs(5, [&] { found = exact.next(data.constData(), ImageSize, 0); }), 100);
    if (found != ImageSize - needle.size())
        std::printf("  wrong position %lld\n", found);
    report("find 6 letters at the end, either case",
        bestMs(5, [&] { found = folded.next(data.constData(), ImageSize, 0); }), 100);
    if (found < 0)
        std::printf("  not found\n");
    data.replace(ImageSize - needle.size(), needle.size(), QByteArray(needle.size(), ' '));
    data.replace(0, needle.size(), needle);
    report("find 6 bytes at the start, backwards from the end",
        bestMs(5, [&] { found = exact.previous(data.constData(), ImageSize, ImageSize); }), 100);

    // A blank chip: 0xFF everywhere; "FF FF" matches 32 Mi times.
    QByteArray blank(ImageSize, char(0xFF));
    const SearchPattern pair(QByteArray(2, char(0xFF)));
    qint64 count = 0;
    report("count FF FF in a blank image (32 Mi matches)", bestMs(3, [&] { count = pair.count(blank.constData(), ImageSize); }), 500);
    HexEditor editor;
    editor.loadFromBytes(blank);
    report("replace all FF FF by 00 00 (one undo step)", bestMs(1, [&] {
        replaceAllInEditor(editor, pair, QByteArray(2, '\0'), QStringLiteral("%1 replaced"));
    }), 1000);
    std::printf("count %lld, first byte after replace %02X\n", count, unsigned(editor.dataAt(0)));
    return 0;
}
