// The regions this program finds, against Debian's ifdtool (descriptors) and flashrom (FMAPs and
// layout files, read through its dummy programmer) on images built from the public formats.
#include "layout/FlashLayout.h"

#include "LayoutImages.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

using namespace kestrum;
using namespace kestrum::testing;

namespace {

QString tool(const QString& name)
{
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(name, {"/usr/sbin", "/sbin", "/usr/local/sbin"});
    return path;
}

struct ToolRun
{
    QTemporaryDir folder;
    QString path(const QString& name) const { return folder.filePath(name); }

    void save(const QString& name, const QByteArray& bytes) const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    QByteArray load(const QString& name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void run(const QString& program, const QStringList& arguments) const
    {
        QProcess process;
        process.setWorkingDirectory(folder.path());
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        ASSERT_TRUE(process.waitForFinished(60000));
        ASSERT_EQ(process.exitCode(), 0) << process.readAll().toStdString();
    }
};

QByteArray bytesOf(const Image& image)
{
    return QByteArray(reinterpret_cast<const char*>(image.data()), qsizetype(image.size()));
}

QByteArray slice(const Image& image, const Region& r)
{
    return QByteArray(reinterpret_cast<const char*>(image.data() + r.start), qsizetype(r.size));
}

Image randomImage(std::size_t size, unsigned seed)
{
    Image image(size);
    std::mt19937 random(seed);
    for (auto& byte : image)
        byte = std::uint8_t(random());
    return image;
}

// Reads every region through flashrom's dummy programmer into a file of its own and compares the
// files with the regions' bytes; extra are flashrom's arguments that name the layout.
void expectFlashromReads(const Image& image, const std::vector<Region>& regions, const QStringList& extra)
{
    ToolRun run;
    run.save("chip.bin", bytesOf(image));
    QStringList arguments {"-p", "dummy:emulate=W25Q128FV,image=" + run.path("chip.bin")};
    arguments += extra;
    for (const Region& r : regions)
        arguments << "-i" << r.name + ":" + run.path(r.name + ".bin");
    run.run(tool("flashrom"), arguments << "-r" << run.path("whole.bin"));
    for (const Region& r : regions)
        EXPECT_EQ(run.load(r.name + ".bin"), slice(image, r)) << r.name.toStdString();
}

} // namespace

TEST(CrossCheck, DescriptorRegionsMatchIfdtool)
{
    if (tool("ifdtool").isEmpty())
        GTEST_SKIP() << "ifdtool (coreboot-utils) is not installed";
    // A 1 MiB laptop image without platform data, and a 16 MiB one with it.
    const std::vector<std::vector<std::uint32_t>> tables {
        {flreg(0, 0xFFF), flreg(0x80000, 0xFFFFF), flreg(0x3000, 0x7FFFF), flreg(0x1000, 0x2FFF), UnusedRegion},
        {flreg(0, 0x2FFF), flreg(0x600000, 0xFFFFFF), flreg(0x5000, 0x5FEFFF), flreg(0x3000, 0x4FFF),
            flreg(0x5FF000, 0x5FFFFF)},
    };
    for (const auto& registers : tables) {
        const std::size_t size = (registers[1] >> 16) == 0xFF ? 0x100000 : 0x1000000;
        Image image = randomImage(size, registers[1]);
        const Image descriptor = descriptorImage(size, registers);
        std::copy(descriptor.begin(), descriptor.begin() + 0x1000, image.begin());
        const LayoutReading ours = readDescriptor(image.data(), size);
        ASSERT_TRUE(ours.usable());

        ToolRun run;
        run.save("image.bin", bytesOf(image));
        run.run(tool("ifdtool"), {"-f", run.path("layout.txt"), run.path("image.bin")});
        const LayoutReading theirs = readLayoutFile(run.load("layout.txt"), size);
        ASSERT_TRUE(theirs.usable());
        ASSERT_EQ(theirs.regions.size(), ours.regions.size());
        for (std::size_t i = 0; i < ours.regions.size(); ++i) {
            EXPECT_EQ(theirs.regions[i].name, ours.regions[i].name);
            EXPECT_EQ(theirs.regions[i].start, ours.regions[i].start) << ours.regions[i].name.toStdString();
            EXPECT_EQ(theirs.regions[i].size, ours.regions[i].size) << ours.regions[i].name.toStdString();
        }
        // ifdtool -x writes flashregion_<n>_<name>.bin for every region in use.
        run.run(tool("ifdtool"), {"-x", run.path("image.bin")});
        const QStringList extracted = QDir(run.folder.path()).entryList({"flashregion_*.bin"}, QDir::Files, QDir::Name);
        ASSERT_EQ(std::size_t(extracted.size()), ours.regions.size());
        for (const Region& r : ours.regions) {
            int index = 0;
            while (r.name != descriptorRegionName(index))
                ++index;
            const QStringList named = extracted.filter(QString("flashregion_%1_").arg(index));
            ASSERT_EQ(named.size(), 1) << r.name.toStdString();
            EXPECT_EQ(run.load(named.first()), slice(image, r)) << r.name.toStdString();
        }
    }
}

TEST(CrossCheck, FmapAreasAndLayoutFileRegionsMatchFlashrom)
{
    if (tool("flashrom").isEmpty())
        GTEST_SKIP() << "flashrom is not installed";
    constexpr std::size_t Size = 16u * 1024 * 1024; // the emulated W25Q128FV
    Image image = randomImage(Size, 41);
    putFmap(image, 0x123400,
        {{0, 0x1000000, "SI_ALL"}, {0x1000, 0x4000, "RO_VPD"}, {0x200000, 0x100000, "RW_A"},
            {0xFFF000, 0x1000, "LAST"}});
    const LayoutReading map = readFmap(image.data(), Size);
    ASSERT_TRUE(map.usable());
    ASSERT_EQ(map.regions.size(), 4u);
    expectFlashromReads(image, {map.regions.begin() + 1, map.regions.end()}, {"--fmap"});

    // The same areas as a layout file written by this program.
    const std::vector<Region> regions {map.regions.begin() + 1, map.regions.end()};
    ToolRun layout;
    layout.save("layout.txt", layoutFileText(regions));
    const LayoutReading fromFile = readLayoutFile(layout.load("layout.txt"), Size);
    ASSERT_TRUE(fromFile.usable());
    expectFlashromReads(image, fromFile.regions, {"-l", layout.path("layout.txt")});
}
