#include "app/cli/CliJobs.h"

#include <atomic>

namespace kestrum::cli {

namespace {

/// The signal that asked for the stop; 0 while none did.
std::atomic<int> g_stop {0};
std::function<void()> g_pollHook;

constexpr int BarWidth = 30;
constexpr qint64 RedrawMs = 100;

} // namespace

void requestStop(int signal)
{
    int none = 0;
    g_stop.compare_exchange_strong(none, signal);
}

bool stopRequested()
{
    return g_stop.load() != 0;
}

int stoppedStatus()
{
    const int signal = g_stop.load();
    return 128 + (signal != 0 ? signal : SIGINT);
}

void clearStop()
{
    g_stop.store(0);
}

void setSocketPollHook(std::function<void()> hook)
{
    g_pollHook = std::move(hook);
}

void pollSocketHook()
{
    if (g_pollHook)
        g_pollHook();
}

QString progressLine(
    const QString& status, quint32 position, quint32 maximum, const std::optional<ProgressEstimate::Estimate>& estimate)
{
    const double share = maximum == 0 ? 1.0 : std::min(1.0, double(position) / double(maximum));
    const int filled = static_cast<int>(share * BarWidth);
    const QString bar = QString(filled, QLatin1Char('#')) + QString(BarWidth - filled, QLatin1Char('.'));
    QString line = QStringLiteral("%1 [%2] %3%").arg(status, bar).arg(int(share * 100.0), 3);
    if (estimate)
        line += QStringLiteral(" %1 %2").arg(
            rateText(estimate->bytesPerSecond), timeLeftText(estimate->millisecondsLeft));
    return line;
}

CliJobs::CliJobs(const ChipTable& table, std::FILE* progress)
    : m_table(table)
    , m_selection(table, [](std::uint32_t) {})
    , m_progress(progress)
{
}

void CliJobs::showProgress(quint32 maximum, ProgressUnit unit)
{
    m_maximum = maximum;
    m_unit = unit;
    m_showing = true;
    m_estimate.start(maximum);
    m_lastDraw = -1;
}

void CliJobs::setProgressPosition(quint32 position)
{
    processPendingEvents();
    if (!m_progress || !m_showing)
        return;
    m_estimate.update(position);
    const qint64 now = m_estimate.now();
    if (m_lastDraw >= 0 && now - m_lastDraw < RedrawMs && position < m_maximum)
        return;
    m_lastDraw = now;
    // The polls of a whole-chip erase count towards a limit, not towards an end: no rate.
    const auto estimate = m_unit == ProgressUnit::Bytes ? m_estimate.estimate() : std::nullopt;
    std::fprintf(
        m_progress, "\r%s\033[K", progressLine(m_status, position, m_maximum, estimate).toLocal8Bit().constData());
    std::fflush(m_progress);
}

void CliJobs::hideProgress()
{
    if (m_progress && m_showing && m_lastDraw >= 0) {
        std::fputs("\r\033[K", m_progress);
        std::fflush(m_progress);
    }
    m_showing = false;
}

void CliJobs::processPendingEvents()
{
    if (stopRequested() && !m_stopAfterChip) {
        // No command interrupts a chip erase in the chip: the end command waits until it is done
        // (the erase's poll limit still applies), as Stop in the window does.
        if (m_showing && m_unit == ProgressUnit::Polls && stopRoutine) {
            stopRoutine();
            return;
        }
        hideProgress();
        throw JobStopped {};
    }
}

int CliJobs::selectByIndices(int typeIndex, int makerIndex, int nameIndex)
{
    return m_selection.selectByIndices(typeIndex, makerIndex, nameIndex);
}

void CliJobs::setSelectionIndices(int typeIndex, int makerIndex, int nameIndex)
{
    m_indices[0] = typeIndex;
    m_indices[1] = makerIndex;
    m_indices[2] = nameIndex;
}

} // namespace kestrum::cli
