#include "ops/ProgressEstimate.h"

#include <QElapsedTimer>

#include <cmath>

namespace kestrum {

namespace {

qint64 monotonicMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer c;
        c.start();
        return c;
    }();
    return clock.elapsed();
}

} // namespace

ProgressEstimate::ProgressEstimate(Clock clock)
    : m_clock(clock ? std::move(clock) : Clock(monotonicMs))
{
}

void ProgressEstimate::start(quint32 maximum)
{
    m_maximum = maximum;
    m_start = m_clock();
    m_samples.clear();
    m_samples.emplace_back(m_start, 0);
}

void ProgressEstimate::update(quint32 position)
{
    const qint64 t = m_clock();
    m_samples.emplace_back(t, position);
    // Keep one sample at or before the window's start, so the window is always spanned whole.
    while (m_samples.size() > 2 && m_samples[1].first <= t - WindowMs)
        m_samples.pop_front();
}

std::optional<ProgressEstimate::Estimate> ProgressEstimate::estimate() const
{
    if (m_samples.size() < 2)
        return std::nullopt;
    const auto& [lastTime, lastPosition] = m_samples.back();
    const auto& [firstTime, firstPosition] = m_samples.front();
    if (lastTime - m_start < QuietMs || lastTime <= firstTime || lastPosition <= firstPosition)
        return std::nullopt;
    Estimate e;
    e.bytesPerSecond = double(lastPosition - firstPosition) * 1000.0 / double(lastTime - firstTime);
    const quint32 left = m_maximum > lastPosition ? m_maximum - lastPosition : 0;
    e.millisecondsLeft = qint64(std::ceil(double(left) * 1000.0 / e.bytesPerSecond));
    return e;
}

QString rateText(double bytesPerSecond)
{
    if (bytesPerSecond >= 1e6)
        return QStringLiteral("%1 MB/s").arg(bytesPerSecond / 1e6, 0, 'f', 1);
    if (bytesPerSecond >= 1e3)
        return QStringLiteral("%1 kB/s").arg(std::floor(bytesPerSecond / 1e3), 0, 'f', 0);
    return QStringLiteral("%1 B/s").arg(std::floor(bytesPerSecond), 0, 'f', 0);
}

QString timeLeftText(qint64 milliseconds)
{
    const qint64 seconds = (std::max<qint64>(milliseconds, 0) + 999) / 1000;
    const qint64 hours = seconds / 3600;
    const QString minutesSeconds
        = QStringLiteral("%1:%2")
              .arg(hours > 0 ? (seconds / 60) % 60 : seconds / 60, hours > 0 ? 2 : 1, 10, QLatin1Char('0'))
              .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return hours > 0 ? QStringLiteral("%1:%2").arg(hours).arg(minutesSeconds) : minutesSeconds;
}

QString progressText(const Reporter& reporter, const ProgressEstimate::Estimate& estimate)
{
    return reporter.message(MsgProgressRate)
        .arg(rateText(estimate.bytesPerSecond), timeLeftText(estimate.millisecondsLeft));
}

} // namespace kestrum
