#pragma once

#include "jobs/HeadlessHost.h"
#include "jobs/StopToken.h"
#include "ops/ProgressEstimate.h"

#include <QString>

#include <cstdio>
#include <functional>

namespace kestrum::cli {

/// What a run of kestrum-cli is stopped and watched through: the stop token that the handlers of
/// SIGINT, SIGTERM and SIGHUP set, and a call before every look at the socket while a production
/// run waits for the next chip (tests take the chip out and put the next one in there).
struct CliControl
{
    StopToken stop;
    std::function<void()> beforeSocketLook;
};

/// The chip jobs of the command line: the headless host with a progress line on standard error
/// when it is a terminal.
class CliJobs : public HeadlessHost
{
public:
    /// progress: where the progress line goes, or null for none (not a terminal, or --quiet).
    CliJobs(const ChipTable& table, const StopToken& stop, std::FILE* progress)
        : HeadlessHost(table, stop)
        , m_progress(progress)
    {
    }

protected:
    void progressMoved(const QString& status, quint32 position, quint32 maximum,
        const std::optional<ProgressEstimate::Estimate>& estimate) override;
    void progressHidden() override;

private:
    std::FILE* m_progress;
};

/// Progress text: the status, a bar, the percentage, then the rate and the time left when known.
QString progressLine(const QString& status, quint32 position, quint32 maximum,
    const std::optional<ProgressEstimate::Estimate>& estimate);
/// Draws that progress line over the last one on a terminal.
void drawProgressLine(std::FILE* terminal, const QString& line);
/// Clears the progress line of a terminal.
void clearProgressLine(std::FILE* terminal);

} // namespace kestrum::cli
