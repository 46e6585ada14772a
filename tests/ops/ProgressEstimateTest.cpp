// The rate and time left of a running stream, from an injected clock.
#include "ops/ProgressEstimate.h"
#include "tests/support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace kestrum;
using namespace kestrum::test;

TEST(ProgressEstimate, QuietAtFirstThenAMovingAverageThatFollowsAChangeOfPace)
{
    qint64 now = 1000;
    ProgressEstimate progress([&now] { return now; });
    progress.start(10'000'000);
    quint32 position = 0;
    // 1 MB/s for a second: nothing for the first half second.
    for (int i = 0; i < 100; ++i) {
        now += 10;
        position += 10'000;
        progress.update(position);
        if (now - 1000 < ProgressEstimate::QuietMs) {
            EXPECT_FALSE(progress.estimate()) << now;
        }
    }
    auto e = progress.estimate();
    ASSERT_TRUE(e);
    EXPECT_DOUBLE_EQ(e->bytesPerSecond, 1e6);
    EXPECT_EQ(e->millisecondsLeft, 9000);

    // The pace drops to 0.25 MB/s: once the window has passed, only the new pace counts.
    for (int i = 0; i < 300; ++i) {
        now += 10;
        position += 2'500;
        progress.update(position);
    }
    e = progress.estimate();
    ASSERT_TRUE(e);
    EXPECT_DOUBLE_EQ(e->bytesPerSecond, 250'000);
    EXPECT_EQ(e->millisecondsLeft, (10'000'000 - qint64(position)) / 250);

    // A stall: nothing moved in the whole window.
    now += ProgressEstimate::WindowMs + 10;
    progress.update(position);
    now += 10;
    progress.update(position);
    EXPECT_FALSE(progress.estimate());

    // A new stream starts quiet again.
    progress.start(100);
    progress.update(50);
    EXPECT_FALSE(progress.estimate());
}

TEST(ProgressEstimate, TheAverageSpansExactlyTheLastWindowWhatEverThePaceInsideIt)
{
    // Segments of {milliseconds, bytes per second}, one update every 10 ms; the estimate at the end
    // counts the bytes of the last two seconds only, from the sample at the window's start.
    struct Case
    {
        std::vector<std::pair<int, int>> segments;
        double rate;
    };
    const Case cases[] = {
        {{{3000, 1'000'000}, {1000, 0}, {1000, 2'000'000}}, 1'000'000}, // a pause, then a burst
        {{{2000, 2'000'000}, {2000, 500'000}}, 500'000}, // the fast start has left the window
        {{{1000, 500'000}, {1500, 0}, {500, 4'000'000}}, 1'000'000}, // a burst at the very end
    };
    for (const Case& c : cases) {
        qint64 now = 0;
        ProgressEstimate progress([&now] { return now; });
        progress.start(100'000'000);
        quint32 position = 0;
        for (const auto& [milliseconds, rate] : c.segments) {
            for (int t = 0; t < milliseconds; t += 10) {
                now += 10;
                position += quint32(rate / 100);
                progress.update(position);
            }
        }
        const auto e = progress.estimate();
        ASSERT_TRUE(e);
        EXPECT_DOUBLE_EQ(e->bytesPerSecond, c.rate) << c.segments.size() << " segments";
    }
}

TEST(ProgressEstimate, TextsInEveryLanguage)
{
    EXPECT_EQ(rateText(12'449'999), QStringLiteral("12.4 MB/s"));
    EXPECT_EQ(rateText(850'900), QStringLiteral("850 kB/s"));
    EXPECT_EQ(rateText(96.7), QStringLiteral("96 B/s"));
    EXPECT_EQ(timeLeftText(6'001), QStringLiteral("0:07")) << "rounded up: never 0:00 before the end";
    EXPECT_EQ(timeLeftText(750'000), QStringLiteral("12:30"));
    EXPECT_EQ(timeLeftText(3'723'000), QStringLiteral("1:02:03"));
    EXPECT_EQ(timeLeftText(0), QStringLiteral("0:00"));

    ScriptedUserInterface ui;
    Reporter reporter(ui);
    const ProgressEstimate::Estimate e {12.4e6, 7'000};
    const char16_t* expected[] = {u"12.4 MB/s，剩余 0:07", u"12.4 MB/s，剩餘 0:07", u"12.4 MB/s, 0:07 left"};
    for (int language = 0; language < 3; ++language) {
        reporter.setLanguage(language);
        EXPECT_EQ(progressText(reporter, e), QString::fromUtf16(expected[language])) << language;
    }
}
