// kestrum-cli: the chip jobs and the file conversion of the program, from a terminal.
#include "app/cli/CliJobs.h"
#include "app/cli/Convert.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTextStream>

#include <csignal>
#include <cstdio>

namespace {

extern "C" void onInterrupt(int)
{
    // The job stops at its next block and ends cleanly; a second Ctrl+C kills at once.
    kestrum::cli::requestStop();
    std::signal(SIGINT, SIG_DFL);
}

} // namespace

int main(int argc, char** argv)
{
    // Not QCoreApplication::arguments(): a file name that is no UTF-8 must keep its bytes.
    const QStringList arguments = kestrum::cli::argumentsOf(argc, argv);
    QCoreApplication app(argc, argv);
    std::signal(SIGINT, onInterrupt);
    // The link's diagnostics are for the window's log viewers; the terminal gets warnings only.
    QLoggingCategory::setFilterRules(QStringLiteral("kestrum.link.debug=false\nkestrum.link.info=false"));
    QTextStream err(stderr);
    return kestrum::cli::runCli(arguments, err);
}
