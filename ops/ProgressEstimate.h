#pragma once

#include "base/Reporter.h"

#include <QString>
#include <QtGlobal>

#include <deque>
#include <functional>
#include <optional>
#include <utility>

namespace kestrum {

/// The rate and the time left of a running stream, from a moving average: the bytes moved over
/// the last WindowMs, so a pause or a slower part of the chip shows within seconds. Nothing is
/// told for the first QuietMs of a stream, while the first blocks say little.
class ProgressEstimate
{
public:
    /// Milliseconds of a monotonic clock.
    using Clock = std::function<qint64()>;
    static constexpr qint64 QuietMs = 500;
    static constexpr qint64 WindowMs = 2000;

    struct Estimate
    {
        double bytesPerSecond = 0;
        qint64 millisecondsLeft = 0;
    };

    /// clock: the time source; none takes the system's monotonic clock.
    explicit ProgressEstimate(Clock clock = {});

    void start(quint32 maximum);
    void update(quint32 position);
    /// None during the first QuietMs of the stream and while nothing moved in the window.
    [[nodiscard]] std::optional<Estimate> estimate() const;
    [[nodiscard]] qint64 now() const { return m_clock(); }

private:
    Clock m_clock;
    quint32 m_maximum = 0;
    qint64 m_start = 0;
    /// (time, position) of the updates in the window, oldest first.
    std::deque<std::pair<qint64, quint32>> m_samples;
};

/// "12.4 MB/s", "850 kB/s", "96 B/s" (decimal units).
QString rateText(double bytesPerSecond);
/// "0:07", "12:30", "1:02:03": minutes and seconds, hours when there are any; rounded up.
QString timeLeftText(qint64 milliseconds);
/// The text of status panel 4 during a job: "12.4 MB/s, 0:07 left" in the current language.
QString progressText(const Reporter& reporter, const ProgressEstimate::Estimate& estimate);

} // namespace kestrum
