#include "app/cli/Convert.h"

#include "app/cli/StreamUserInterface.h"
#include "base/IntegerText.h"
#include "base/Messages.h"
#include "base/RegularFile.h"
#include "base/Reporter.h"
#include "buffer/DataBuffer.h"
#include "buffer/ImageFile.h"

#include <cstring>
#include <memory>
#include <optional>

namespace kestrum::cli {

namespace {

int usage(QTextStream& err, const QString& problem)
{
    if (!problem.isEmpty())
        err << "kestrum-cli: " << problem << '\n';
    err << "usage: kestrum-cli convert IN OUT [--size N]\n"
           "  Loads IN as the program's Open does and saves OUT as its Save does, replacing OUT:\n"
           "  .hex .ihx .ihex Intel HEX; .s19 .srec .src .s28 .s37 .mot .mhx .s1 .s2 .s3 S-record;\n"
           "  .cap capsule (saved with the header of a capsule IN); .eep by its first line;\n"
           "  anything else raw.\n"
           "  --size N   bytes to save, decimal or hexadecimal with 0x (at most 0x4000000);\n"
           "             by default as many as were loaded.\n";
    err.flush();
    return ExitUsage;
}

std::optional<std::uint32_t> parseSize(const QString& text)
{
    const std::optional<qint64> value = readInteger(text, IntegerNotation::decimalOrZeroXHex()).value;
    if (!value || quint64(*value) > BufferCapacity)
        return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

} // namespace

void printConvertUsage(QTextStream& err)
{
    usage(err, QString());
}

int runConvert(const QStringList& arguments, int language, QTextStream& err)
{

    QStringList files;
    std::optional<std::uint32_t> size;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--size")) {
            if (size || i + 1 >= arguments.size())
                return usage(err, QStringLiteral("--size needs one value"));
            size = parseSize(arguments[++i]);
            if (!size)
                return usage(err, QStringLiteral("bad size %1").arg(arguments[i]));
        } else if (argument.startsWith(QLatin1String("--"))) {
            return usage(err, QStringLiteral("unknown option %1").arg(argument));
        } else {
            files << argument;
        }
    }
    if (files.size() != 2)
        return usage(err, QStringLiteral("convert needs IN and OUT"));

    StreamUserInterface ui(err);
    Reporter reporter(ui);
    reporter.setLanguage(language);

    // The image as Open leaves it: 0xFF wherever the file puts nothing. Raw and capsule files
    // overwrite everything up to what they load, so only text files need the buffer erased
    // first; the rest of a fresh allocation is never touched, which saves a pass over 64 MiB.
    // Every message about a file names it: the text, then the path.
    ui.setNameFileInErrors(true);
    ui.setFile(files[0]);
    ImageSource source(language);
    if (!source.open(files[0], BufferCapacity, ui))
        return ExitFile;
    const std::unique_ptr<std::uint8_t[]> image(new std::uint8_t[BufferCapacity]);
    const bool text = source.kind() == FileKind::IntelHex || source.kind() == FileKind::SRecord;
    if (text)
        std::memset(image.get(), 0xFF, BufferCapacity);
    QByteArray header;
    const qint32 loaded = source.load(image.get(), BufferCapacity, ui, &header);
    // A valid file without data loads 0 bytes too; only a shown error makes it a failure.
    if (ui.errorCount() > 0)
        return ExitFile;
    const std::uint32_t length = size.value_or(static_cast<std::uint32_t>(loaded));
    if (!text && length > static_cast<std::uint32_t>(loaded))
        std::memset(image.get() + loaded, 0xFF, length - static_cast<std::uint32_t>(loaded));
    ui.setFile(files[1]);
    if (!saveImageFile(reporter, files[1], image.get(), length, ExistingFile::Replace, header))
        return ExitFile;
    return ExitOk;
}

} // namespace kestrum::cli
