#pragma once

#include <QStringList>
#include <QTextStream>

namespace kestrum::cli {

/// Exit statuses of kestrum-cli.
enum ExitStatus : int {
    ExitOk = 0,
    ExitDifferent = 1, ///< verify or blank check found a difference
    ExitUsage = 2, ///< bad arguments (the usage text was printed), or no single chip chosen
    ExitNoProgrammer = 3, ///< no programmer answered
    ExitNoChip = 4, ///< the socket is empty
    ExitFile = 5, ///< a file could not be loaded or saved, or the image is longer than the chip
    ExitFailed = ExitFile, ///< convert: the load showed an error, or the save failed
    ExitCommunication = 6, ///< the programmer did not answer as it must, or timed out
    ExitStopped = 130, ///< Ctrl+C ended the command (SIGHUP 129 and SIGTERM 143: 128 + the signal)
};

/// Runs kestrum-cli with its arguments (the program name not included). Messages, questions,
/// the usage text and the progress line go to err; lists and file facts go to out. See helpText.
int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err);
/// As above, with out on standard output.
int runCli(const QStringList& arguments, QTextStream& err);

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
