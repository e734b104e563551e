// The trend's samples, scales, windows and decimation, on the panel's fakes and virtual clock.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <optional>

#include "tests/panel/fake_panel.h"
#include "trend/trend_view.h"

namespace {

using Step = std::function<void(PanelHarness&)>;

// A reply whose first word is `raw` (the temperature's, the power's or setpoint A's).
Bytes Reply(std::uint8_t type, std::uint16_t raw) {
    return MakeReply(type,
                     {static_cast<std::uint8_t>(raw >> 8), static_cast<std::uint8_t>(raw), 0, 0});
}

// "600:25 1100:gap"
std::string Dump(const TrendRing& ring) {
    std::string text;
    for (std::size_t i = 0; i < ring.Size(); ++i) {
        char point[48];
        std::snprintf(point, sizeof point, "%lld:%g", static_cast<long long>(ring[i].ms),
                      ring[i].value);
        text += (text.empty() ? "" : " ") +
                (ring[i].gap ? std::to_string(ring[i].ms) + ":gap" : std::string(point));
    }
    return text;
}

TEST(TrendData, KeepsReadingsStepsAndGapsAsThePanelReportsThem) {
    // The first poll goes out 500 ms after the configuration, its power query 100 ms later.
    const Step poll = [](PanelHarness& p) { p.RunFor(500); };
    const Step answer = [](PanelHarness& p) {
        p.Receive(Reply(0x0B, 2531));
        p.Receive(Reply(0x22, 124));
    };
    const Step tempOnly = [](PanelHarness& p) { p.Receive(Reply(0x0B, 2600)); };
    const Step confirm = [](PanelHarness& p) { p.Receive(Reply(0x07, 120)); };
    const Step close = [](PanelHarness& p) { p.logic.OnOpenClose(); };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        const char* setpoint;
        const char* temperature;
        const char* power;
        std::optional<std::int32_t> confirmed;  // the setpoint a recording started now carries
    };
    const Case cases[] = {
        {"each answered poll adds a point",
         {poll, answer, poll, answer},
         "0:300",
         "600:25.31 1100:25.31",
         "600:12.4 1100:12.4",
         300},
        {"an unanswered reply is a gap at the next poll",
         {poll, tempOnly, poll, poll},
         "0:300",
         "600:26 1600:gap",
         "",
         300},
        {"gaps in a row are one",
         {poll, answer, poll, poll, poll},
         "0:300",
         "600:25.31 1600:gap",
         "600:12.4 1600:gap",
         300},
        {"a confirmation is a step when it came; the same value again adds none",
         {poll, confirm, poll, confirm},
         "0:300 600:120",
         "",
         "",
         120},
        {"a closed port ends all three",
         {poll, answer, close},
         "0:300 800:gap",
         "600:25.31 800:gap",
         "600:12.4 800:gap",
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PanelHarness panel;
        TrendData trend(panel.timers);
        panel.logic.AddListener(trend);
        panel.OpenConfigured(300, 500);
        for (const Step& step : c.steps) {
            step(panel);
        }
        EXPECT_EQ(Dump(trend.Series(TrendSeries::Setpoint)), c.setpoint);
        EXPECT_EQ(Dump(trend.Series(TrendSeries::Temperature)), c.temperature);
        EXPECT_EQ(Dump(trend.Series(TrendSeries::Power)), c.power);
        EXPECT_EQ(trend.ConfirmedSetpoint(), c.confirmed);
    }
}

// Over a day at two readings a second the ring holds its capacity and drops the oldest.
TEST(TrendData, KeepsTheNewestDayAndDropsTheOldest) {
    FakeTimers clock;
    TrendData trend(clock);
    const long long readings = 25LL * 3600 * 2;
    for (long long i = 0; i < readings; ++i) {
        clock.now = i * 500;
        trend.OnTemperature(PanelTemperature{static_cast<double>(i), 0, 'A'});
    }
    const TrendRing& ring = trend.Series(TrendSeries::Temperature);
    ASSERT_EQ(ring.Size(), kTrendCapacity);
    EXPECT_EQ(ring[0].value, static_cast<double>(readings - kTrendCapacity));
    EXPECT_EQ(ring.Newest().ms, (readings - 1) * 500);
    EXPECT_EQ(ring.FirstAtOrAfter(ring[0].ms + 1000), 2u);
    EXPECT_EQ(ring.FirstAtOrAfter(ring.Newest().ms + 1), ring.Size());
}

TEST(TrendScale, ValueAxesStepByOneTwoOrFive) {
    struct Case {
        double lowest, highest, minimumSpan;
        int maxTicks;
        double low, high, step;
        int decimals;
    };
    const Case cases[] = {
        {3, 497, 10, 5, 0, 500, 100, 0},
        {24.8, 26.3, 1, 4, 24.5, 26.5, 0.5, 1},
        {25.31, 25.31, 1, 5, 24.5, 26, 0.5, 1},  // steady: widened to the minimum span
        {0.1, 0.7, 0.1, 6, 0.1, 0.7, 0.1, 1},
        {-3, 12, 1, 4, -5, 15, 5, 0},
        {-3, 12, 1, 3, -10, 20, 10, 0},  // rounding out to 5s would take 4 steps
        {1, 0, 10, 5, 0, 10, 2, 0},      // nothing to show
        {0, 1000, 10, 1, 0, 1000, 1000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lowest << " ... " << c.highest);
        const ValueScale s = NiceScale(c.lowest, c.highest, c.minimumSpan, c.maxTicks);
        EXPECT_NEAR(s.low, c.low, 1e-9);
        EXPECT_NEAR(s.high, c.high, 1e-9);
        EXPECT_NEAR(s.step, c.step, 1e-9);
        EXPECT_EQ(s.decimals, c.decimals);
        EXPECT_LE((s.high - s.low) / s.step, c.maxTicks + 1e-9);
    }
    EXPECT_EQ(FormatTick(-0.0001, 1), "0.0");
    EXPECT_EQ(FormatTick(24.6, 1), "24.6");
    EXPECT_EQ(ScaleTicks(ValueScale{24.5, 26.5, 0.5, 1}),
              (std::vector<double>{24.5, 25.0, 25.5, 26.0, 26.5}));
}

TEST(TrendScale, TimeAxesTickOnWholeClockTimes) {
    struct Case {
        std::int64_t spanMs;
        int maxTicks;
        std::int64_t stepMs;
        bool seconds;
    };
    const Case cases[] = {
        {60'000, 6, 10'000, true},
        {600'000, 6, 120'000, false},
        {3'600'000, 8, 600'000, false},
        {86'400'000, 8, 3 * 3'600'000, false},
        {10 * 86'400'000LL, 4, 86'400'000, false},
    };
    for (const Case& c : cases) {
        const TimeScale s = NiceTimeScale(c.spanMs, c.maxTicks);
        EXPECT_EQ(s.stepMs, c.stepMs) << c.spanMs;
        EXPECT_EQ(s.showSeconds, c.seconds) << c.spanMs;
    }
    EXPECT_EQ(TimeTicks(61'000, 95'000, {15'000, true}),
              (std::vector<std::int64_t>{75'000, 90'000}));
    EXPECT_EQ(FormatClock(86'400'000LL * 3 + 13 * 3'600'000 + 5 * 60'000 + 7'000, true),
              "13:05:07");
    EXPECT_EQ(FormatClock(-60'000, false), "23:59");
}

TEST(TrendView, RunsCutAtTheWindowHoldStepsAndBreakAtGaps) {
    TrendRing ring(16);
    for (const TrendPoint& p : std::vector<TrendPoint>{{0, 10, false},
                                                       {1000, 20, false},
                                                       {2000, 0, true},
                                                       {3000, 40, false},
                                                       {4000, 50, false}}) {
        ring.Push(p);
    }
    using Runs = std::vector<std::vector<TrendVertex>>;
    struct Case {
        const char* name;
        bool steps;
        std::int64_t start, end, now;
        Runs runs;
    };
    const Case cases[] = {
        {"lines cut at the edges",
         false,
         500,
         3500,
         5000,
         {{{500, 15}, {1000, 20}}, {{3000, 40}, {3500, 45}}}},
        {"a line crossing the whole window", false, 3200, 3800, 5000, {{{3200, 42}, {3800, 48}}}},
        {"steps held to the gap and to now",
         true,
         0,
         6000,
         4500,
         {{{0, 10}, {1000, 10}, {1000, 20}, {2000, 20}},
          {{3000, 40}, {4000, 40}, {4000, 50}, {4500, 50}}}},
        {"a step entering the window", true, 3500, 3900, 9000, {{{3500, 40}, {3900, 40}}}},
        {"nothing after a gap", false, 2100, 2900, 5000, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SeriesRuns(ring, c.steps, c.start, c.end, c.now), c.runs) << c.name;
    }
}

TEST(TrendView, DecimationKeepsFourPointsAColumnAndEverySpike) {
    std::vector<TrendVertex> run;
    for (std::int64_t i = 0; i < static_cast<std::int64_t>(kTrendCapacity); ++i) {
        run.push_back({i * 500, i == 100'000 ? 99.0 : static_cast<double>(i % 7)});
    }
    const PixelMapping map{10, 0, 800, 100, 0, run.back().ms, 0, 100};
    const std::vector<TrendPixel> pixels = DecimateRun(run, map);
    EXPECT_LE(pixels.size(), 4u * 800);
    double top = 100;
    for (const TrendPixel& p : pixels) {
        EXPECT_GE(p.x, 10);
        EXPECT_LE(p.x, 810);
        top = std::min(top, p.y);
    }
    EXPECT_NEAR(top, map.Y(99), 1e-9);
    // A few points stay as they are.
    const std::vector<TrendVertex> few{{0, 0}, {run.back().ms, 100}};
    EXPECT_EQ(DecimateRun(few, map), (std::vector<TrendPixel>{{10, 100}, {810, 0}}));
}

TEST(TrendView, FollowsTheNewestUnlessScrolledBack) {
    FakeTimers clock;
    TrendData trend(clock);
    clock.now = 1'000'000;
    trend.OnTemperature({25, 2500, 'A'});
    const std::int64_t now = 5'000'000;
    struct Case {
        const char* name;
        TrendSpan span;
        std::vector<double> scrolls;
        bool following;
        std::int64_t start, end;
    };
    const Case cases[] = {
        {"10 min by default, up to now", TrendSpan::TenMinutes, {}, true, now - 600'000, now},
        {"half a span back", TrendSpan::TenMinutes, {-0.5}, false, now - 900'000, now - 300'000},
        {"back and forward to now follows", TrendSpan::OneMinute, {-2, 3}, true, now - 60'000, now},
        {"no further back than the oldest",
         TrendSpan::OneHour,
         {-100},
         false,
         1'000'000,
         1'000'000 + 3'600'000},
        {"all, from the oldest", TrendSpan::All, {-1}, true, 1'000'000, now},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TrendView view;
        if (c.span != TrendSpan::TenMinutes) {
            view.SetSpan(c.span);
        }
        for (const double s : c.scrolls) {
            view.Scroll(s, trend, now);
        }
        EXPECT_EQ(view.Following(), c.following);
        EXPECT_EQ(view.Window(trend, now), std::make_pair(c.start, c.end));
    }
}

// The drawing holds what a window needs: titles with units, tick labels, local clock times,
// and lines within the plot area.
TEST(TrendView, DrawsTitledPanesWithinTheArea) {
    FakeTimers clock;
    TrendData trend(clock);
    for (int i = 0; i < 100; ++i) {
        clock.now = 10'000 + i * 500;
        trend.OnTemperature({24 + i * 0.01, 0, 'A'});
        trend.OnConfiguration({'A', 1, 250, 0, 500, 0, 250, 500});
    }
    TrendView view;
    view.SetSpan(TrendSpan::OneMinute);
    // Now is 12:00:00 UTC, shown at UTC+1.
    const TrendNow now{60'000, 12 * 3'600'000LL, 60};
    const TrendMetrics metrics{640, 480, 13, 7};
    const TrendDrawing drawing = view.Draw(trend, metrics, now);
    std::vector<std::string> texts;
    for (const TrendText& t : drawing.texts) {
        texts.push_back(t.text);
    }
    for (const char* expected : {"Setpoint (mA)",
                                 "Diode temperature (\xC2\xB0"
                                 "C)",
                                 "Optical power (mW)", "13:00:00", "12:59:10", "250", "24.0"}) {
        EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end()) << expected;
    }
    int seriesLines = 0;
    for (const TrendPolyline& line : drawing.lines) {
        seriesLines += line.ink == TrendInk::Temperature || line.ink == TrendInk::Setpoint;
        for (const TrendPixel& p : line.points) {
            EXPECT_TRUE(p.x >= 0 && p.x <= metrics.width && p.y >= 0 && p.y <= metrics.height);
        }
    }
    EXPECT_EQ(seriesLines, 2);
}

}  // namespace
