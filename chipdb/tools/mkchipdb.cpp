// mkchipdb: turns the readable chip list (data/chips.csv) into the binary chip database that the
// program loads from beside its executable. Run by the build; a faulty source fails the build with
// one "file:line: error: ..." message per fault and leaves no database behind.
//
//   mkchipdb [--summary] SOURCE.csv OUTPUT.Dat

#include "chipdb/tools/ChipSource.h"

#include <QFile>
#include <QMap>
#include <QSaveFile>
#include <QString>

#include <cstdio>
#include <vector>

using namespace kestrum;
using namespace kestrum::chipsource;

namespace {

void printLine(std::FILE* stream, const QString& text)
{
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
}

int usage()
{
    printLine(stderr, QStringLiteral("usage: mkchipdb [--summary] SOURCE.csv OUTPUT.Dat"));
    return 2;
}

// Chips per type and per manufacturer within each type, in database order.
void printSummary(const std::vector<SourceChip>& chips)
{
    printLine(stdout, QStringLiteral("%1 chips").arg(chips.size()));
    for (const ChipType& type : Types) {
        QStringList makers;
        QMap<QString, int> perMaker;
        int total = 0;
        for (const SourceChip& c : chips) {
            if (c.type != QLatin1String(type.text))
                continue;
            if (!perMaker.contains(c.manufacturer))
                makers << c.manufacturer;
            ++perMaker[c.manufacturer];
            ++total;
        }
        printLine(stdout, QStringLiteral("%1: %2").arg(QString::fromLatin1(type.text)).arg(total));
        for (const QString& m : makers)
            printLine(stdout, QStringLiteral("    %1: %2").arg(m).arg(perMaker.value(m)));
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<QString> args;
    bool summary = false;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QLatin1String("--summary"))
            summary = true;
        else
            args.push_back(a);
    }
    if (args.size() != 2)
        return usage();
    const QString& sourcePath = args[0];
    const QString& outputPath = args[1];

    const ParsedSource source = readChipSourceFile(sourcePath);
    if (!source.ok()) {
        for (const SourceError& e : source.errors) {
            if (e.line > 0)
                printLine(stderr, QStringLiteral("%1:%2: error: %3").arg(sourcePath).arg(e.line).arg(e.message));
            else
                printLine(stderr, QStringLiteral("%1: error: %2").arg(sourcePath, e.message));
        }
        // An outdated database must not survive a failed build and be taken for the current one.
        QFile::remove(outputPath);
        printLine(
            stderr, QStringLiteral("mkchipdb: %1 error(s); %2 not written").arg(source.errors.size()).arg(outputPath));
        return 1;
    }

    QSaveFile out(outputPath);
    const QByteArray bytes = databaseBytes(source.chips);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        printLine(stderr, QStringLiteral("mkchipdb: cannot write %1: %2").arg(outputPath, out.errorString()));
        return 1;
    }
    if (summary)
        printSummary(source.chips);
    return 0;
}
