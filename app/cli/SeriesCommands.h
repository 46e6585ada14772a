#pragma once

// kestrum-cli's commands on the production record store: series and records.

#include <QStringList>
#include <QTextStream>

namespace kestrum::cli {

/// kestrum-cli's status when the record store could not do what was asked.
inline constexpr int ExitStore = 7;

/// Whether `command` is one of the record store's commands, which read their own arguments.
bool isStoreCommand(const QString& command);

/// Runs `series ...` or `records ...` (arguments[0] is the command): tables and records go to
/// out, faults and usage errors to err.
int runStoreCommand(const QStringList& arguments, int language, QTextStream& out, QTextStream& err);

/// The usage text of the record store's commands.
void printStoreUsage(QTextStream& out);

} // namespace kestrum::cli
