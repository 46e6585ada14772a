#pragma once

#include "jobs/RunStatus.h"

#include <QStringList>
#include <QTextStream>

namespace kestrum::cli {

struct CliControl;

/// Runs kestrum-cli with its arguments (the program name not included), stopped through control.
/// Messages, questions, the usage text and the progress line go to err; lists and file facts go
/// to out. See helpText.
int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err, CliControl& control);
/// As above, with a control of its own that nothing stops.
int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err);
/// As above, with out on standard output.
int runCli(const QStringList& arguments, QTextStream& err, CliControl& control);

/// The text of --help.
QString helpText();

/// convert IN OUT [--size N] (arguments[0] is "convert"): loads IN as the Open command does and
/// saves N bytes (decimal, or hexadecimal after 0x; by default the loaded extent) to OUT as the
/// Save command does, replacing OUT without asking; a capsule OUT gets the header of a capsule IN.
int runConvert(const QStringList& arguments, int language, QTextStream& err);
/// The usage text of convert.
void printConvertUsage(QTextStream& err);

/// The arguments of main() as texts; file names that are no UTF-8 keep their bytes.
QStringList argumentsOf(int argc, char** argv);

} // namespace kestrum::cli
