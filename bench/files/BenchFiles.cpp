// Converts a 64 MiB image between raw and Intel HEX and S-record in all four directions, with this
// program's codecs (in-process and through kestrum-cli) and with objcopy and srec_cat on the same
// files, and prints the times side by side.
//
//   bench_files [--dir DIR] [--size BYTES] [--runs N]
//   bench_files --make-hex FILE BYTES     writes a firmware-like image of BYTES as Intel HEX
//   bench_files --read-hex FILE           reads an Intel HEX file once (for callgrind)
#include "base/Reporter.h"
#include "base/UserInterface.h"
#include "buffer/DataBuffer.h"
#include "buffer/ImageFile.h"
#include "buffer/IntelHex.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>
#include <vector>

using namespace kestrum;

namespace {

class PrintingUserInterface : public UserInterface
{
public:
    void showError(const QString& text) override
    {
        std::fprintf(stderr, "error: %s\n", qPrintable(text));
        ++errors;
    }
    bool askYesNo(const QString&) override { return true; }
    void showInformation(const QString&) override { }
    void beep() override { }
    QString chooseOpenFile(const QString&) override { return {}; }
    QString chooseSaveFile(const QString&, const QString&) override { return {}; }
    void insertLogLine(const QString&) override { }
    int errors = 0;
};

/// Firmware-like: runs of random bytes (code and data) between erased stretches of 0xFF, about a
/// quarter of the image erased, and an erased tail.
std::vector<std::uint8_t> makeImage(std::size_t size)
{
    std::mt19937_64 random(20261207);
    std::vector<std::uint8_t> image(size, 0xFF);
    std::size_t at = 0;
    while (at < size) {
        const std::size_t data = std::min<std::size_t>(size - at, 1024 + random() % (768 * 1024));
        for (std::size_t i = 0; i < data; i += 8) {
            const std::uint64_t r = random();
            for (std::size_t k = 0; k < 8 && i + k < data; ++k)
                image[at + i + k] = static_cast<std::uint8_t>(r >> (8 * k));
        }
        at += data;
        at += 256 + random() % (256 * 1024); // erased stretch, already 0xFF
    }
    std::fill(image.end() - std::min<std::size_t>(size, 100 * 1024), image.end(), 0xFF);
    return image;
}

bool writeRaw(const QString& path, const std::vector<std::uint8_t>& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()))
        == static_cast<qint64>(bytes.size());
}

struct Timing
{
    double wall = 1e9; ///< best wall time, seconds
    double cpu = 1e9; ///< best processor time (user + system, ours or the child's), seconds
};

double cpuSeconds(int who)
{
    rusage usage {};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

/// Best times of `runs` runs; nullopt when any run fails. The machine may be shared, so the
/// processor time is given beside the wall time.
std::optional<Timing> best(int runs, bool child, const std::function<bool()>& run)
{
    Timing t;
    for (int i = 0; i < runs; ++i) {
        // Start every run without dirty pages of the runs before it: the kernel throttles a writer
        // that finds many, whichever tool made them.
        ::sync();
        const int who = child ? RUSAGE_CHILDREN : RUSAGE_SELF;
        const double cpuBefore = cpuSeconds(who);
        QElapsedTimer timer;
        timer.start();
        if (!run())
            return std::nullopt;
        t.wall = std::min(t.wall, static_cast<double>(timer.nsecsElapsed()) / 1e9);
        t.cpu = std::min(t.cpu, cpuSeconds(who) - cpuBefore);
    }
    return t;
}

/// Runs a program and waits for it. posix_spawn does not copy this process's page tables (it
/// holds a few hundred MiB of images), so the start costs every tool the same little.
bool runTool(const QString& program, const QStringList& arguments)
{
    std::vector<QByteArray> storage;
    storage.push_back(QFile::encodeName(program));
    for (const QString& a : arguments)
        storage.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& a : storage)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(program));
        return false;
    }
    return true;
}

QString cell(const std::optional<Timing>& t)
{
    return t ? QString::asprintf("%6.3f (%5.3f)", t->wall, t->cpu) : QStringLiteral("          n/a  ");
}

int readHexOnce(const QString& path)
{
    DataBuffer buffer;
    PrintingUserInterface ui;
    const qint32 extent = readIntelHex(path, buffer.data(), BufferCapacity, ui);
    std::printf("extent %d, %lld text bytes\n", extent, static_cast<long long>(QFileInfo(path).size()));
    return extent > 0 ? 0 : 1;
}

int makeHex(const QString& path, std::size_t size)
{
    const std::vector<std::uint8_t> image = makeImage(size);
    PrintingUserInterface ui;
    return writeIntelHex(path, image.data(), static_cast<std::uint32_t>(size), ui) == WriteResult::Written ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args[0] == QLatin1String("--read-hex"))
        return readHexOnce(args[1]);
    if (args.size() == 3 && args[0] == QLatin1String("--make-hex"))
        return makeHex(args[1], args[2].toULongLong(nullptr, 0));

    QString dir = QDir::temp().filePath(QStringLiteral("kestrum-bench-files"));
    std::size_t size = BufferCapacity;
    int runs = 3;
    for (qsizetype i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--dir"))
            dir = args[i + 1];
        else if (args[i] == QLatin1String("--size"))
            size = std::min<std::size_t>(args[i + 1].toULongLong(nullptr, 0), BufferCapacity);
        else if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
    }
    QDir().mkpath(dir);
    const auto path = [&](const char* name) { return QDir(dir).filePath(QString::fromLatin1(name)); };

    // The inputs every tool reads: the raw image and our Intel HEX and S-record files of it.
    const std::vector<std::uint8_t> image = makeImage(size);
    PrintingUserInterface ui;
    Reporter reporter(ui);
    reporter.setLanguage(2);
    if (!writeRaw(path("image.bin"), image)
        || writeIntelHex(path("image.hex"), image.data(), static_cast<std::uint32_t>(size), ui) != WriteResult::Written
        || !saveImageFile(
            reporter, path("image.src"), image.data(), static_cast<std::uint32_t>(size), ExistingFile::Replace))
        return 1;
    // S-record files are opened through the ".eep" probe.
    QFile::remove(path("image.eep"));
    QFile::link(path("image.src"), path("image.eep"));
    const std::size_t erased = static_cast<std::size_t>(std::count(image.begin(), image.end(), 0xFF));
    std::printf("image: %zu bytes, %.1f%% 0xFF; Intel HEX %lld bytes, S-record %lld bytes; best of %d runs\n\n", size,
        100.0 * static_cast<double>(erased) / static_cast<double>(size),
        static_cast<long long>(QFileInfo(path("image.hex")).size()),
        static_cast<long long>(QFileInfo(path("image.src")).size()), runs);

    DataBuffer buffer;
    const auto convert = [&](const QString& in, const QString& out) {
        buffer.fillErased();
        const qint32 loaded = loadImageFile(in, buffer.data(), BufferCapacity, ui);
        return ui.errors == 0
            && saveImageFile(reporter, out, buffer.data(), static_cast<std::uint32_t>(loaded), ExistingFile::Replace);
    };
    const QString cli = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kestrum-cli"));
    const QString objcopy = QStandardPaths::findExecutable(QStringLiteral("objcopy"));
    const QString srecCat = QStandardPaths::findExecutable(QStringLiteral("srec_cat"));

    struct Direction
    {
        const char* name;
        const char* in;
        const char* ours;
        QStringList objcopyArgs;
        QStringList srecCatArgs;
    };
    const QString bin = path("image.bin");
    const QString hex = path("image.hex");
    const QString src = path("image.src");
    const Direction directions[] = {
        {"raw -> hex ", "image.bin", "k.hex", {"-I", "binary", "-O", "ihex", bin, path("o.hex")},
            {bin, "-binary", "-o", path("s.hex"), "-intel"}},
        {"hex -> raw ", "image.hex", "k.bin", {"-I", "ihex", "-O", "binary", hex, path("o.bin")},
            {hex, "-intel", "-o", path("s.bin"), "-binary"}},
        {"raw -> srec", "image.bin", "k.src", {"-I", "binary", "-O", "srec", bin, path("o.srec")},
            {bin, "-binary", "-o", path("s.srec"), "-motorola"}},
        {"srec -> raw", "image.eep", "k2.bin", {"-I", "srec", "-O", "binary", src, path("o2.bin")},
            {src, "-motorola", "-o", path("s2.bin"), "-binary"}},
    };

    std::printf("seconds: best wall time (processor time)\n");
    std::printf("%-12s %-15s %-15s %-15s %-15s %s\n", "conversion", "in-process", "kestrum-cli", "objcopy", "srec_cat",
        "objcopy/cli");
    bool allFast = true;
    for (const Direction& d : directions) {
        const auto ours = best(runs, false, [&] { return convert(path(d.in), path(d.ours)); });
        const auto viaCli = QFileInfo::exists(cli) ? best(runs, true,
                                [&] {
                                    return runTool(cli, {"convert", path(d.in), path(d.ours)});
                                })
                                                   : std::nullopt;
        const auto obj
            = objcopy.isEmpty() ? std::nullopt : best(runs, true, [&] { return runTool(objcopy, d.objcopyArgs); });
        const auto srec
            = srecCat.isEmpty() ? std::nullopt : best(1, true, [&] { return runTool(srecCat, d.srecCatArgs); });
        const double ratio = obj && viaCli ? obj->wall / viaCli->wall : 0;
        const double cpuRatio = obj && viaCli ? obj->cpu / viaCli->cpu : 0;
        allFast = allFast && ratio >= 3.0;
        std::printf("%-12s %s %s %s %s %6.1fx (%5.1fx)\n", d.name, qPrintable(cell(ours)), qPrintable(cell(viaCli)),
            qPrintable(cell(obj)), qPrintable(cell(srec)), ratio, cpuRatio);
    }

    // The conversions back to raw must give the image again, up to its erased tail.
    bool same = true;
    for (const char* back : {"k.bin", "k2.bin"}) {
        QFile f(path(back));
        const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        same = same && static_cast<std::size_t>(bytes.size()) <= size
            && std::equal(bytes.begin(), bytes.end(), reinterpret_cast<const char*>(image.data()))
            && std::all_of(image.begin() + bytes.size(), image.end(), [](std::uint8_t b) { return b == 0xFF; });
    }
    std::printf("\nround trips give the image back: %s\n", same ? "yes" : "NO");
    std::printf("every conversion at least 3x faster than objcopy's (kestrum-cli): %s\n", allFast ? "yes" : "no");
    return same ? 0 : 1;
}
