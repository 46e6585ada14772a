#include "app/cli/CliOptions.h"

#include "app/cli/CliCommands.h"
#include "app/cli/Convert.h"
#include "app/cli/SeriesCommands.h"
#include "app/cli/SeriesRun.h"
#include "base/Language.h"
#include "base/Messages.h"

namespace kestrum::cli {

namespace {

std::optional<int> languageOf(const QString& text)
{
    if (text.compare(QLatin1String("zh-CN"), Qt::CaseInsensitive) == 0)
        return 0;
    if (text.compare(QLatin1String("zh-TW"), Qt::CaseInsensitive) == 0)
        return 1;
    if (text.compare(QLatin1String("en"), Qt::CaseInsensitive) == 0)
        return EnglishLanguage;
    return std::nullopt;
}

} // namespace

int usageError(QTextStream& err, const QString& problem)
{
    err << "kestrum-cli: " << problem << '\n' << helpText();
    err.flush();
    return ExitUsage;
}

std::optional<int> parse(const QStringList& arguments, Options& o, QTextStream& err)
{
    o.language = languageFromEnvironment();
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        auto value = [&](QString& into) {
            if (i + 1 >= arguments.size())
                return false;
            into = arguments[++i];
            return true;
        };
        QString text;
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.help = true;
        } else if (a == QLatin1String("--version")) {
            o.version = true;
        } else if (a == QLatin1String("--yes")) {
            o.yes = true;
        } else if (a == QLatin1String("--quiet")) {
            o.quiet = true;
        } else if (a == QLatin1String("--lang")) {
            const bool given = value(text);
            const auto language = given ? languageOf(text) : std::nullopt;
            if (!language)
                return usageError(err, QStringLiteral("--lang takes zh-CN, zh-TW or en"));
            o.language = *language;
        } else if (o.entry && o.entry->readsOwnArguments()) {
            o.convertArguments << a; // these read their own arguments
        } else if (a == QLatin1String("--chip")) {
            if (!value(o.chip))
                return usageError(err, QStringLiteral("--chip needs a name"));
        } else if (a == QLatin1String("--database")) {
            if (!value(o.database))
                return usageError(err, QStringLiteral("--database needs a file"));
        } else if (a == QLatin1String("--speed")) {
            if (!value(o.speed))
                return usageError(err, QStringLiteral("--speed needs a value"));
        } else if (a == QLatin1String("--serial")) {
            if (!value(o.serial))
                return usageError(err, QStringLiteral("--serial needs ADDR:START"));
        } else if (a == QLatin1String("--series") || a == QLatin1String("--store")) {
            if (!value(a == QLatin1String("--series") ? o.series : o.store))
                return usageError(err, QStringLiteral("%1 needs a value").arg(a));
        } else if (a == QLatin1String("--job-log")) {
            if (!value(o.jobLog))
                return usageError(err, QStringLiteral("--job-log needs a file"));
        } else if (a == QLatin1String("--backup")) {
            if (!value(o.backup))
                return usageError(err, QStringLiteral("--backup needs a folder"));
        } else if (a == QLatin1String("--twice")) {
            o.twice = true;
        } else if (a == QLatin1String("--erase")) {
            o.erase = true;
        } else if (a == QLatin1String("--programmer")) {
            if (!value(o.programmer))
                return usageError(err, QStringLiteral("--programmer needs a LOCATION (kestrum-cli programmers)"));
        } else if (a == QLatin1String("--all-programmers")) {
            o.allProgrammers = true;
        } else if (a == QLatin1String("--repeat")) {
            o.repeat = true;
        } else if (a == QLatin1String("--detect")) {
            o.detect = true;
        } else if (a == QLatin1String("--no-erase")) {
            o.noErase = true;
        } else if (a == QLatin1String("--no-program")) {
            o.noProgram = true;
        } else if (a == QLatin1String("--no-verify")) {
            o.noVerify = true;
        } else if (const auto region = takeRegionOption(arguments, i, o.regions)) {
            if (!region->isEmpty())
                return usageError(err, *region);
        } else if (a.startsWith(QLatin1String("--"))) {
            return usageError(err, QStringLiteral("unknown option %1").arg(a));
        } else if (o.command.isEmpty()) {
            o.command = a;
            o.entry = findCommand(a);
            if (o.entry && o.entry->readsOwnArguments())
                o.convertArguments << a;
        } else {
            o.operands << a;
        }
    }
    if (const QString problem = regionOptionsProblem(o.command, o.regions); !problem.isEmpty())
        return usageError(err, problem);
    const bool production = o.entry && o.entry->production;
    if (production && o.noErase && o.noProgram && o.noVerify)
        return usageError(err, QStringLiteral("auto with --no-erase, --no-program and --no-verify has nothing to do"));
    if (o.allProgrammers && !production)
        return usageError(err, QStringLiteral("--all-programmers runs auto only"));
    if (o.allProgrammers && (!o.programmer.isEmpty() || o.detect))
        return usageError(err, QStringLiteral("--all-programmers takes neither --programmer nor --detect"));
    if (const QString problem = seriesOptionsProblem(o); !problem.isEmpty())
        return usageError(err, problem);
    return std::nullopt;
}

} // namespace kestrum::cli
