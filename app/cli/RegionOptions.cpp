#include "app/cli/RegionOptions.h"

#include "app/cli/Convert.h"
#include "app/cli/StreamUserInterface.h"
#include "buffer/FileCommands.h"
#include "layout/LayoutTexts.h"

#include <QFile>

#include <algorithm>
#include <cstring>

namespace kestrum::cli {

const char* const RegionOptionsText
    = "regions (read, write, verify, compare, auto):\n"
      "  --include NAME[:FILE] a region to work on (repeatable): write, verify, compare and auto\n"
      "                       change or look at only these and keep the rest of the chip; FILE\n"
      "                       holds the region's bytes (write), or receives them (read)\n"
      "  --layout FILE        the regions of a layout file (\"start:end name\" lines, hexadecimal)\n"
      "  --ifd                the regions of the image's Intel flash descriptor\n"
      "  --fmap               the areas of the image's FMAP (without --layout, --ifd or --fmap:\n"
      "                       the descriptor's regions and the FMAP's areas)\n";

std::optional<QString> takeRegionOption(const QStringList& arguments, qsizetype& i, RegionOptions& into)
{
    const QString& a = arguments[i];
    if (a == QLatin1String("--ifd")) {
        into.descriptor = true;
    } else if (a == QLatin1String("--fmap")) {
        into.fmap = true;
    } else if (a == QLatin1String("--layout") || a == QLatin1String("--include")) {
        if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
            return a == QLatin1String("--layout") ? QStringLiteral("--layout needs a file")
                                                  : QStringLiteral("--include needs NAME or NAME:FILE");
        (a == QLatin1String("--layout") ? into.layoutFile : into.includes.emplaceBack()) = arguments[++i];
    } else {
        return std::nullopt;
    }
    return QString();
}

QString regionOptionsProblem(const QString& command, const RegionOptions& options)
{
    if (!options.any())
        return {};
    if (int(options.descriptor) + int(options.fmap) + int(!options.layoutFile.isEmpty()) > 1)
        return QStringLiteral("--layout, --ifd and --fmap exclude each other");
    static const QStringList Jobs {"read", "write", "verify", "compare", "auto"};
    if (command == QLatin1String("regions"))
        return options.includes.isEmpty() ? QString() : QStringLiteral("regions takes no --include");
    if (!Jobs.contains(command))
        return QStringLiteral("regions are for read, write, verify, compare and auto");
    if (options.includes.isEmpty())
        return QStringLiteral("--include NAME names the regions to work on");
    return {};
}

namespace {

/// The regions the options name in that image; a status other than 0 when there are none.
int layoutOf(const RegionOptions& options, const std::uint8_t* data, std::uint64_t size, const QString& imageName,
    Reporter& reporter, std::vector<Region>& regions)
{
    LayoutReading reading;
    if (!options.layoutFile.isEmpty()) {
        QFile file(options.layoutFile);
        if (!file.open(QIODevice::ReadOnly)) {
            reporter.showError(reporter.message(MsgRegionFileFailed).arg(options.layoutFile, file.errorString()));
            return ExitFile;
        }
        reading = readLayoutFile(file.readAll(), size);
    } else if (options.descriptor) {
        reading = readDescriptor(data, size);
    } else if (options.fmap) {
        reading = readFmap(data, size);
    } else {
        const ImageLayout found = findLayout(data, size);
        reading.found = !found.regions.empty() || !found.faults.empty();
        reading.regions = found.regions;
        if (found.regions.empty() && !found.faults.empty())
            reading.fault = found.faults.front();
    }
    if (reading.fault.refused()) {
        reporter.showError(layoutFaultText(reading.fault, reporter.language()));
        return ExitFile;
    }
    if (reading.regions.empty()) {
        reporter.showError(reporter.message(MsgRegionNoLayout).arg(imageName));
        return ExitFile;
    }
    regions = std::move(reading.regions);
    return ExitOk;
}

} // namespace

int planRegions(
    const RegionOptions& options, const std::uint8_t* data, std::uint64_t size, Reporter& reporter, RegionPlan& plan)
{
    if (const int status = layoutOf(options, data, size, QStringLiteral("the image"), reporter, plan.layout))
        return status;
    QStringList names, unknown;
    for (const QString& include : options.includes) {
        const qsizetype colon = include.indexOf(u':');
        names << include.left(colon);
        if (colon > 0) {
            QStringList none;
            const std::vector<Region> one = chooseRegions(plan.layout, {include.left(colon)}, &none);
            if (!one.empty())
                plan.files.emplace_back(one.front(), include.mid(colon + 1));
        }
    }
    plan.chosen = chooseRegions(plan.layout, names, &unknown);
    if (!unknown.isEmpty()) {
        QStringList known;
        for (const Region& r : plan.layout)
            known << r.name;
        reporter.showError(reporter.message(MsgRegionUnknown).arg(unknown.join(", "), known.join(", ")));
        return ExitUsage;
    }
    return ExitOk;
}

int loadRegionFiles(const RegionPlan& plan, DataBuffer& buffer, Reporter& reporter)
{
    for (const auto& [region, name] : plan.files) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly)) {
            reporter.showError(reporter.message(MsgRegionFileFailed).arg(name, file.errorString()));
            return ExitFile;
        }
        const QByteArray bytes = file.readAll();
        if (std::uint64_t(bytes.size()) != region.size) {
            reporter.showError(
                reporter.message(MsgRegionFileSize).arg(name).arg(bytes.size()).arg(region.name).arg(region.size));
            return ExitFile;
        }
        std::memcpy(buffer.data() + region.start, bytes.constData(), region.size);
    }
    return ExitOk;
}

int saveRegionFiles(const RegionPlan& plan, const DataBuffer& buffer, Reporter& reporter)
{
    for (const auto& [region, name] : plan.files) {
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(reinterpret_cast<const char*>(buffer.data() + region.start), qint64(region.size))
                != qint64(region.size)
            || !file.flush()) {
            reporter.showError(reporter.message(MsgRegionFileFailed).arg(name, file.errorString()));
            return ExitFile;
        }
    }
    return ExitOk;
}

void runRegionJob(const QString& command, ChipOperations& ops, const RegionPlan& plan)
{
    if (command == QLatin1String("write") || command == QLatin1String("auto"))
        ops.writeRegions(plan.chosen, plan.layout);
    else
        ops.verifyRegions(plan.chosen);
}

int listRegions(const QString& file, const RegionOptions& options, int language, QTextStream& out, QTextStream& err)
{
    StreamUserInterface ui(err);
    Reporter reporter(ui);
    reporter.setLanguage(language);
    DataBuffer buffer;
    FileCommands files(
        reporter, buffer, [](std::uint32_t) {}, [] {});
    ui.setFile(file);
    ui.setNameFileInErrors(true);
    files.open(0);
    if (ui.errorCount() != 0)
        return ExitFile;
    const auto size = std::uint64_t(std::max<qint32>(buffer.usedLength, 0));
    std::vector<Region> regions;
    int status = ExitOk;
    if (!options.layoutFile.isEmpty() || options.descriptor || options.fmap) {
        if ((status = layoutOf(options, buffer.data(), size, file, reporter, regions)) != ExitOk)
            return status;
    } else {
        // What the image shows of itself; a refused table is told, the rest still listed.
        const ImageLayout found = findLayout(buffer.data(), size);
        regions = found.regions;
        for (const LayoutFault& fault : found.faults)
            reporter.showError(layoutFaultText(fault, language));
        if (regions.empty() && !found.faults.empty())
            status = ExitFile;
    }
    for (const Region& c : findContents(buffer.data(), size))
        regions.push_back(c);
    for (const Region& r : regions) {
        const bool known = r.size != 0;
        out << r.name.leftJustified(16) << ' ' << addressHex(r.start) << ' '
            << (known ? addressHex(r.end()) : QStringLiteral("?")).leftJustified(8) << ' '
            << (known ? QString::number(r.size) : QStringLiteral("?")).rightJustified(10) << "  "
            << regionSourceText(r.source, language) << '\n';
    }
    out.flush();
    return status;
}

} // namespace kestrum::cli
