#pragma once

// The command line's region options: --layout, --ifd, --fmap, --include, and `regions FILE`.

#include "base/Reporter.h"
#include "buffer/DataBuffer.h"
#include "layout/FlashLayout.h"
#include "ops/ChipOperations.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>
#include <utility>
#include <vector>

namespace kestrum::cli {

struct RegionOptions
{
    QString layoutFile; ///< --layout FILE
    bool descriptor = false; ///< --ifd
    bool fmap = false; ///< --fmap
    QStringList includes; ///< --include NAME or NAME:FILE, in order
    [[nodiscard]] bool any() const { return !layoutFile.isEmpty() || descriptor || fmap || !includes.isEmpty(); }
};

/// The help lines of the region options.
extern const char* const RegionOptionsText;

/// Takes the region option at arguments[i] (and its value, moving i on): nothing when arguments[i]
/// is no region option, else an empty text or the usage problem.
std::optional<QString> takeRegionOption(const QStringList& arguments, qsizetype& i, RegionOptions& into);

/// The usage problem of region options given to that command; empty when there is none.
QString regionOptionsProblem(const QString& command, const RegionOptions& options);

/// The regions chosen for a chip command, with the files of NAME:FILE.
struct RegionPlan
{
    std::vector<Region> layout;
    std::vector<Region> chosen;
    std::vector<std::pair<Region, QString>> files;
};

/// The layout the options name (the layout file, or the image's descriptor or FMAP, or both when
/// neither is named) and the included regions in it; an exit status other than 0 when the run
/// ends here (a refused layout, an unknown region name: the names are listed).
int planRegions(
    const RegionOptions& options, const std::uint8_t* data, std::uint64_t size, Reporter& reporter, RegionPlan& plan);

/// Puts the contents of each NAME:FILE into its region of the image.
int loadRegionFiles(const RegionPlan& plan, DataBuffer& buffer, Reporter& reporter);
/// Saves each NAME:FILE region of the image into its file.
int saveRegionFiles(const RegionPlan& plan, const DataBuffer& buffer, Reporter& reporter);

/// write, auto: writeRegions; verify, compare: verifyRegions.
void runRegionJob(const QString& command, ChipOperations& ops, const RegionPlan& plan);

/// `regions FILE`: one line a region and a content (name, start, end, size, source).
int listRegions(const QString& file, const RegionOptions& options, int language, QTextStream& out, QTextStream& err);

} // namespace kestrum::cli
