#include "app/cli/CliJobs.h"

#include <atomic>

namespace kestrum::cli {

namespace {

std::atomic<bool> g_stop {false};
std::function<void()> g_pollHook;

constexpr int BarWidth = 30;
constexpr qint64 RedrawMs = 100;

} // namespace

void requestStop()
{
    g_stop.store(true);
}

bool stopRequested()
{
    return g_stop.load();
}

void clearStop()
{
    g_stop.store(false);
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

QString progressLine(const QString& status, quint32 position, quint32 maximum, qint64 elapsedMs)
{
    const double share = maximum == 0 ? 1.0 : std::min(1.0, double(position) / double(maximum));
    const int filled = static_cast<int>(share * BarWidth);
    const QString bar = QString(filled, QLatin1Char('#')) + QString(BarWidth - filled, QLatin1Char('.'));
    const double seconds = double(std::max<qint64>(elapsedMs, 1)) / 1000.0;
    const double rate = double(position) / seconds;
    const qint64 leftMs = rate > 0 ? qint64(double(maximum - std::min(position, maximum)) / rate * 1000.0) : 0;
    return QStringLiteral("%1 [%2] %3% %4 KiB/s %5")
        .arg(status, bar)
        .arg(int(share * 100.0), 3)
        .arg(rate / 1024.0, 0, 'f', 1)
        .arg(formatElapsed(leftMs));
}

CliJobs::CliJobs(const ChipTable& table, std::FILE* progress)
    : m_table(table)
    , m_selection(table, [](std::uint32_t) {})
    , m_progress(progress)
{
}

void CliJobs::showProgress(quint32 maximum)
{
    m_maximum = maximum;
    m_showing = true;
    m_clock.start();
    m_lastDraw = -1;
}

void CliJobs::setProgressPosition(quint32 position)
{
    processPendingEvents();
    if (!m_progress || !m_showing)
        return;
    const qint64 now = m_clock.elapsed();
    if (m_lastDraw >= 0 && now - m_lastDraw < RedrawMs && position < m_maximum)
        return;
    m_lastDraw = now;
    std::fprintf(m_progress, "\r%s", progressLine(m_status, position, m_maximum, now).toLocal8Bit().constData());
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
        hideProgress();
        throw JobStopped {};
    }
}

int CliJobs::FillChipSelection(int typeIndex, int makerIndex, int nameIndex)
{
    return m_selection.FillChipSelection(typeIndex, makerIndex, nameIndex);
}

void CliJobs::setSelectionIndices(int typeIndex, int makerIndex, int nameIndex)
{
    m_indices[0] = typeIndex;
    m_indices[1] = makerIndex;
    m_indices[2] = nameIndex;
}

} // namespace kestrum::cli
