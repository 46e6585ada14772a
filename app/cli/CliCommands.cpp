#include "app/cli/CliCommands.h"

#include "app/cli/CliJobs.h"
#include "app/cli/Convert.h"
#include "app/cli/RegionOptions.h"
#include "buffer/ImageFile.h"
#include "chipdb/ChipEditorModel.h"
#include "link/UsbLink.h"

namespace kestrum::cli {

namespace {

// The commands, in the order of the help text.
using H = CommandHandler;
using O = ChipOperations;
constexpr CommandHelp Commands[] = {
    {"list", "list [TEXT]", "chips whose type, manufacturer or name contains TEXT (case ignored)", H::ChipList, nullptr,
        false, -1},
    {"programmers", "programmers", "the attached programmers: location, product, state (free, in use, no access)",
        H::ProgrammerList},
    {"detect", "detect", "identify the chip in the socket", H::ChipOperation, &O::detect},
    {"read", "read FILE [--twice]", "read the chip and save it to FILE", H::ChipOperation, &O::read, true, 1},
    {"write", "write FILE [--erase]", "write FILE to the chip", H::ChipOperation, &O::write, true, 1, true},
    {"verify", "verify FILE", "compare the chip with FILE", H::ChipOperation, &O::verify, true, 1, true},
    {"compare", "compare FILE", "every range where the chip and FILE differ, one a line", H::ChipOperation, &O::compare,
        true, 1, true},
    {"erase", "erase", "erase the chip", H::ChipOperation, &O::erase, true},
    {"blank", "blank", "check that the chip is blank", H::ChipOperation, &O::blankCheck, true},
    {"auto", "auto FILE [--no-erase] [--no-program] [--no-verify] [--repeat] [--all-programmers]",
        "erase, write and verify", H::ChipOperation, &O::autoRun, true, 1, true, true},
    {"convert", "convert IN OUT [--size N]", "convert a data file (see: kestrum-cli convert --help)", H::Convert,
        nullptr, false, 2},
    {"regions", "regions FILE [--layout FILE | --ifd | --fmap]",
        "the regions of FILE (descriptor, FMAP or layout file) and the well-known contents it holds", H::Regions,
        nullptr, false, 1},
    {"series", "series create|list|show|release ...",
        "serial series in the record store (see: kestrum-cli series --help)", H::Store, nullptr, false, -1},
    {"records", "records [--series NAME] [--serial N] [--since TIME] [--csv]",
        "the record of every chip in the record store", H::Store, nullptr, false, 0},
    {"info", "info FILE", "file kind, extent, used length, CRC-32 and SHA-256 of the loaded image", H::FileInfo,
        nullptr, false, 1},
};

} // namespace

const char* const OptionsText
    = "options:\n"
      "  --chip NAME          the chip by its name, by \"manufacturer,name\" or by\n"
      "                       \"type,manufacturer,name\" (case ignored)\n"
      "  --detect             identify the chip in the socket and use it; when several chips have\n"
      "                       its ID, they are listed and the command stops unless --chip names one\n"
      "  --database FILE      another chip database (default: the window's kestrum.Dat)\n"
      "  --programmer LOCATION\n"
      "                       the programmer at LOCATION (see: kestrum-cli programmers); needed\n"
      "                       when several are attached\n"
      "  --all-programmers    auto: the same job on every attached programmer at once, one line\n"
      "                       per chip as it ends (location, chip ID, result, serial, seconds);\n"
      "                       the job log gets the location as its last column\n"
      "  --speed SPEED        12MHz, 6MHz, 3MHz, 1.5MHz, 750KHz or 375KHz (default 12MHz)\n"
      "  --yes                answer Yes: replace an existing FILE (read refuses one otherwise, before\n"
      "                       reading the chip), write or verify an image longer than the chip,\n"
      "                       use a flash that answers another ID than the chosen chip's,\n"
      "                       write over the data of a flash that is not blank\n"
      "  --quiet              errors only: no information lines, no progress\n"
      "  --lang LANG          zh-CN, zh-TW or en (default: the system's language, else en)\n"
      "  --repeat             auto: one chip after another until Ctrl+C (take each chip out,\n"
      "                       put the next one in), then the count of chips passed and failed\n"
      "  --serial ADDR:START[:STEP][:WIDTH][:le|be|ascii|hex]\n"
      "                       write, verify, auto: a serial number at ADDR, WIDTH (4) bytes,\n"
      "                       little-endian by default; with --repeat STEP (1) more for every chip\n"
      "                       that passes (a chip that fails leaves its number to the next one)\n"
      "  --series NAME        auto: the serial numbers of the record store's series NAME (see:\n"
      "                       kestrum-cli series --help); each chip takes the next number, one\n"
      "                       that fails gives it back, and every chip leaves its record\n"
      "  --store LOCATION     the record store of --series (default: the user's SQLite file)\n"
      "  --twice              read: read the chip twice; reads that differ are shown as compare\n"
      "                       shows them, nothing is saved and the status is 1\n"
      "  --erase              write: a flash that holds data is erased first (without it, or\n"
      "                       --yes to write over the data, such a write stops with status 1)\n"
      "  --backup DIR         erase, write, auto: read the chip first and keep it in DIR as\n"
      "                       YYYYMMDD-HHMMSS-CHIP-CRC32.bin (not when blank or kept already)\n"
      "  --job-log FILE.csv   auto: a header line, then one line per chip: time, chip ID, result,\n"
      "                       serial, SHA-256, seconds, reason\n"
      "  --help, --version\n"
      "exit status:\n"
      "  0 success; 1 verify, compare or blank-check difference, reads that differ, or a\n"
      "  write onto a flash that holds data; 2 usage or chip choice; 3 no programmer;\n"
      "  4 no chip in the socket or ID mismatch declined; 5 file error;\n"
      "  6 communication failure or time-out (also a lost end command after a write or erase);\n"
      "  130 stopped by Ctrl+C, 143 by SIGTERM, 129 by SIGHUP\n";

const CommandHelp* findCommand(const QString& name)
{
    for (const CommandHelp& c : Commands)
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

QString helpText()
{
    QString text = QStringLiteral("usage: kestrum-cli COMMAND [ARGUMENTS] [OPTIONS]\ncommands:\n");
    for (const CommandHelp& c : Commands)
        text += QStringLiteral("  %1\n      %2\n").arg(QLatin1String(c.synopsis), QLatin1String(c.what));
    text += QLatin1String(OptionsText);
    text += QLatin1String(RegionOptionsText);
    return text;
}

QString kindName(FileKind kind)
{
    switch (kind) {
    case FileKind::Capsule:
        return QStringLiteral("capsule");
    case FileKind::IntelHex:
        return QStringLiteral("Intel HEX");
    case FileKind::SRecord:
        return QStringLiteral("S-record");
    case FileKind::RawBinary:
        break;
    }
    return QStringLiteral("raw");
}

QString chipLine(const ChipRecord& r)
{
    const QStringList volts = editorVoltageItems();
    return QStringLiteral("%1  ID %2  %3 bytes  page %4  %5")
        .arg(r.namesText())
        .arg(r.chipId, 6, 16, QLatin1Char('0'))
        .arg(r.flashSize)
        .arg(r.flashPage)
        .arg(r.voltage < volts.size() ? volts[r.voltage] : QStringLiteral("?"));
}

QString programmerLine(const ProgrammerInfo& p)
{
    return QStringLiteral("%1  %2  %3")
        .arg(QString::fromLatin1(p.location),
            p.product.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(p.product),
            QLatin1String(stateName(p.state)));
}

} // namespace kestrum::cli
