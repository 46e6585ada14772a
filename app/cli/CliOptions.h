#pragma once

// The command line's options as kestrum-cli reads them.

#include "app/cli/RegionOptions.h"
#include "base/Messages.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

namespace kestrum::cli {

struct CommandHelp;

struct Options
{
    QString command;
    const CommandHelp* entry = nullptr; ///< the command's entry in the table; null for none
    QStringList operands;
    QString chip;
    QString database;
    QString speed;
    bool detect = false;
    bool yes = false;
    bool quiet = false;
    bool noErase = false;
    bool noProgram = false;
    bool noVerify = false;
    bool help = false;
    bool version = false;
    bool repeat = false;
    bool twice = false; ///< read: read twice and compare
    bool erase = false; ///< write: erase a flash that holds data first
    QString backup; ///< erase, write, auto: keep the chip in this folder first
    QString serial;
    QString series; ///< --series: auto takes the serial numbers from this series of the record store
    QString store; ///< --store: the record store (default: the user's SQLite file)
    QString jobLog;
    QString programmer; ///< --programmer: the location of the programmer to use
    bool allProgrammers = false; ///< --all-programmers: auto on every attached programmer at once
    int language = EnglishLanguage;
    QStringList convertArguments; ///< what convert, series and records get: its own arguments
    RegionOptions regions; ///< --layout, --ifd, --fmap, --include
};

/// Prints the problem and the help to err; the usage error's exit status.
int usageError(QTextStream& err, const QString& problem);

/// Parses the arguments; a status when the run ends here (a usage error).
std::optional<int> parse(const QStringList& arguments, Options& o, QTextStream& err);

} // namespace kestrum::cli
