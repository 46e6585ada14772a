#pragma once

#include "jobs/ProductionRun.h"

#include <QTextStream>

#include <cstdio>
#include <functional>
#include <mutex>

namespace kestrum::cli {

/// How the command line tells a production run. Every box, log line and question of a socket is
/// printed and answered as a single command's (--yes, --erase, --quiet), after the socket's
/// location when several programmers run; one line per chip goes to the output, whole lines at a
/// time.
class CliProductionOutput : public ProductionObserver
{
public:
    struct Settings
    {
        bool gang = false; ///< several programmers: every line names its socket
        bool yes = false;
        bool quiet = false;
        QString preferredButton; ///< the caption --erase answers questions with
        int language = 0;
        std::FILE* progress = nullptr; ///< the terminal of the progress line; null for none
        std::function<void()> beforeSocketLook;
    };
    CliProductionOutput(
        const std::vector<ProgrammerInfo>& programmers, Settings settings, QTextStream& out, QTextStream& err);

    void message(std::size_t socket, const QString& text, Kind kind) override;
    bool askYesNo(std::size_t socket, const QString& text) override;
    int askButtons(std::size_t socket, const QString& text, const QStringList& captions) override;
    void progress(std::size_t socket, const QString& status, quint32 position, quint32 maximum,
        const std::optional<ProgressEstimate::Estimate>& estimate) override;
    void progressHidden(std::size_t socket) override;
    void chipStarted(std::size_t, const QString&) override { }
    void chipEnded(std::size_t socket, const ProducedChip& chip) override;
    void waitingForChip(std::size_t socket) override;

    /// The closing line of the run: passed and failed chips.
    void summary(const std::vector<SocketTally>& tallies);

private:
    /// Runs f on a stream user interface set as the command line's, and prints what it said.
    template <typename F> auto said(std::size_t socket, F f);
    QString location(std::size_t socket) const { return QString::fromLatin1(m_programmers[socket].location); }

    const std::vector<ProgrammerInfo>& m_programmers;
    Settings m_settings;
    std::mutex m_mutex;
    QTextStream& m_out;
    QTextStream& m_err;
};

} // namespace kestrum::cli
