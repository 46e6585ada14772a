#include "app/cli/CliJobs.h"

namespace kestrum::cli {

namespace {

constexpr int BarWidth = 30;

} // namespace

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

void drawProgressLine(std::FILE* terminal, const QString& line)
{
    if (!terminal)
        return;
    std::fprintf(terminal, "\r%s\033[K", line.toLocal8Bit().constData());
    std::fflush(terminal);
}

void clearProgressLine(std::FILE* terminal)
{
    if (!terminal)
        return;
    std::fputs("\r\033[K", terminal);
    std::fflush(terminal);
}

void CliJobs::progressMoved(
    const QString& status, quint32 position, quint32 maximum, const std::optional<ProgressEstimate::Estimate>& estimate)
{
    drawProgressLine(m_progress, progressLine(status, position, maximum, estimate));
}

void CliJobs::progressHidden()
{
    clearProgressLine(m_progress);
}

} // namespace kestrum::cli
