// kestrum-cli: the chip jobs and the file conversion of the program, from a terminal.
#include "app/cli/CliJobs.h"
#include "app/cli/Convert.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTextStream>

#include <csignal>
#include <cstdio>

namespace {

/// The run the signals stop.
kestrum::cli::CliControl* g_control = nullptr;

extern "C" void onStopSignal(int signal)
{
    // The job stops at its next block and ends cleanly (the end command sent); a second signal of
    // the same kind kills at once.
    if (g_control)
        g_control->stop.request(signal);
    std::signal(signal, SIG_DFL);
}

} // namespace

int main(int argc, char** argv)
{
    // Not QCoreApplication::arguments(): a file name that is no UTF-8 must keep its bytes.
    const QStringList arguments = kestrum::cli::argumentsOf(argc, argv);
    QCoreApplication app(argc, argv);
    kestrum::cli::CliControl control;
    g_control = &control;
    // Ctrl+C, a closed terminal, timeout(1) or a supervisor: each ends a job as Ctrl+C does.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, onStopSignal);
    // The link's diagnostics are for the window's log viewers; the terminal gets warnings only.
    QLoggingCategory::setFilterRules(QStringLiteral("kestrum.link.debug=false\nkestrum.link.info=false"));
    QTextStream err(stderr);
    return kestrum::cli::runCli(arguments, err, control);
}
