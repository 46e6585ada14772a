#pragma once

#include <QStringList>
#include <QTextStream>

namespace kestrum::cli {

/// Exit statuses of kestrum-cli.
enum ExitStatus : int {
    ExitOk = 0,
    ExitFailed = 1, ///< the load showed an error, or the save failed
    ExitUsage = 2, ///< bad arguments; the usage text was printed
};

/// Runs kestrum-cli with its arguments (the program name not included), printing messages and
/// the usage text to err:
///   convert IN OUT [--size N]
/// loads IN as the Open command does and saves N bytes (decimal, or hexadecimal after 0x; by
/// default the loaded extent) to OUT as the Save command does, replacing OUT without asking; a
/// capsule OUT gets the header of a capsule IN. File names are taken as decodeFileName gives them.
int RunCli(const QStringList& arguments, QTextStream& err);

/// The arguments of main() as texts; file names that are no UTF-8 keep their bytes.
QStringList argumentsOf(int argc, char** argv);

} // namespace kestrum::cli
