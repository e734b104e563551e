#include "trend/trend_view.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr std::int64_t kMinuteMs = 60 * 1000;
// "All" before anything was kept, and before it holds a minute: a minute up to now.
constexpr std::int64_t kShortestAllMs = kMinuteMs;

constexpr TrendSeries kPaneOrder[] = {TrendSeries::Setpoint, TrendSeries::Temperature,
                                      TrendSeries::Power};

TrendInk InkOf(TrendSeries series) {
    switch (series) {
        case TrendSeries::Setpoint:
            return TrendInk::Setpoint;
        case TrendSeries::Temperature:
            return TrendInk::Temperature;
        case TrendSeries::Power:
            return TrendInk::Power;
    }
    return TrendInk::Text;
}

double Interpolate(const TrendPoint& a, const TrendPoint& b, std::int64_t ms) {
    if (b.ms == a.ms) {
        return b.value;
    }
    const double f = static_cast<double>(ms - a.ms) / static_cast<double>(b.ms - a.ms);
    return a.value + (b.value - a.value) * f;
}

// Four points of the column at most, in the order they give a connected line: first, the
// extremes, last. Up to two points are kept as they are.
class ColumnAccumulator {
  public:
    explicit ColumnAccumulator(std::vector<TrendPixel>& out) : out_(out) {}

    void Add(const TrendPixel& p, long column) {
        if (count_ > 0 && column != column_) {
            Flush();
        }
        if (count_ == 0) {
            column_ = column;
            first_ = p;
            low_ = p;
            high_ = p;
        }
        if (p.y > low_.y) {  // pixels grow downward: the lowest value has the largest y
            low_ = p;
        }
        if (p.y < high_.y) {
            high_ = p;
        }
        last_ = p;
        ++count_;
    }

    void Flush() {
        if (count_ == 1) {
            out_.push_back(first_);
        } else if (count_ == 2) {
            out_.push_back(first_);
            out_.push_back(last_);
        } else if (count_ > 2) {
            out_.push_back(first_);
            out_.push_back(TrendPixel{first_.x, low_.y});
            out_.push_back(TrendPixel{first_.x, high_.y});
            out_.push_back(last_);
        }
        count_ = 0;
    }

  private:
    std::vector<TrendPixel>& out_;
    long column_ = 0;
    int count_ = 0;
    TrendPixel first_, low_, high_, last_;
};

void AddPolyline(TrendDrawing& drawing, TrendInk ink, std::vector<TrendPixel> points) {
    drawing.lines.push_back(TrendPolyline{ink, std::move(points)});
}

void AddText(TrendDrawing& drawing, double x, double y, TextAlign align, std::string text) {
    drawing.texts.push_back(TrendText{TrendInk::Text, TrendPixel{x, y}, align, std::move(text)});
}

}  // namespace

std::int64_t SpanMs(TrendSpan span) {
    switch (span) {
        case TrendSpan::OneMinute:
            return kMinuteMs;
        case TrendSpan::TenMinutes:
            return 10 * kMinuteMs;
        case TrendSpan::OneHour:
            return 60 * kMinuteMs;
        case TrendSpan::All:
            break;
    }
    return 0;
}

const char* SpanName(TrendSpan span) {
    switch (span) {
        case TrendSpan::OneMinute:
            return "1 min";
        case TrendSpan::TenMinutes:
            return "10 min";
        case TrendSpan::OneHour:
            return "1 h";
        case TrendSpan::All:
            break;
    }
    return "all";
}

const char* SeriesTitle(TrendSeries series) {
    switch (series) {
        case TrendSeries::Setpoint:
            return "Setpoint (mA)";
        case TrendSeries::Temperature:
            return "Diode temperature (\xC2\xB0"
                   "C)";
        case TrendSeries::Power:
            return "Optical power (mW)";
    }
    return "";
}

double SeriesMinimumSpan(TrendSeries series) {
    switch (series) {
        case TrendSeries::Setpoint:
            return 10;
        case TrendSeries::Temperature:
        case TrendSeries::Power:
            return 1;
    }
    return 1;
}

std::vector<std::vector<TrendVertex>> SeriesRuns(const TrendRing& ring, bool steps,
                                                 std::int64_t startMs, std::int64_t endMs,
                                                 std::int64_t holdUntilMs) {
    std::vector<std::vector<TrendVertex>> runs;
    const std::size_t first = ring.FirstAtOrAfter(startMs);
    const std::size_t pastLast = ring.FirstAtOrAfter(endMs + 1);
    std::vector<TrendVertex> run;
    auto endRun = [&] {
        if (!run.empty()) {
            runs.push_back(std::move(run));
            run.clear();
        }
    };
    const bool before = first > 0 && !ring[first - 1].gap;
    double held = before ? ring[first - 1].value : 0;
    if (steps) {
        if (before) {
            run.push_back({startMs, held});
        }
        for (std::size_t i = first; i < pastLast; ++i) {
            const TrendPoint& p = ring[i];
            if (!run.empty()) {
                run.push_back({p.ms, held});
            }
            if (p.gap) {
                endRun();
                continue;
            }
            run.push_back({p.ms, p.value});
            held = p.value;
        }
        if (!run.empty()) {
            const std::int64_t until =
                pastLast < ring.Size() ? endMs : std::min(endMs, holdUntilMs);
            if (until > run.back().ms) {
                run.push_back({until, held});
            }
        }
        endRun();
        return runs;
    }
    if (before && first < pastLast && !ring[first].gap) {
        run.push_back({startMs, Interpolate(ring[first - 1], ring[first], startMs)});
    }
    for (std::size_t i = first; i < pastLast; ++i) {
        const TrendPoint& p = ring[i];
        if (p.gap) {
            endRun();
        } else {
            run.push_back({p.ms, p.value});
        }
    }
    if (pastLast < ring.Size() && pastLast > first && !ring[pastLast].gap &&
        !ring[pastLast - 1].gap) {
        run.push_back({endMs, Interpolate(ring[pastLast - 1], ring[pastLast], endMs)});
    } else if (pastLast < ring.Size() && pastLast == first && before && !ring[first].gap) {
        // Two readings on either side of the whole window: the line crosses it.
        run.push_back({startMs, Interpolate(ring[first - 1], ring[first], startMs)});
        run.push_back({endMs, Interpolate(ring[first - 1], ring[first], endMs)});
    }
    endRun();
    return runs;
}

double PixelMapping::X(std::int64_t ms) const {
    const double span = static_cast<double>(std::max<std::int64_t>(endMs - startMs, 1));
    return left + static_cast<double>(ms - startMs) * width / span;
}

double PixelMapping::Y(double value) const {
    const double span = high > low ? high - low : 1;
    return top + height - (value - low) * height / span;
}

std::vector<TrendPixel> DecimateRun(const std::vector<TrendVertex>& run, const PixelMapping& map) {
    std::vector<TrendPixel> out;
    ColumnAccumulator column(out);
    const long lastColumn = std::max(0L, static_cast<long>(map.width) - 1);
    for (const TrendVertex& v : run) {
        const TrendPixel p{map.X(v.ms), map.Y(v.value)};
        const long c = std::clamp(static_cast<long>(std::floor(p.x - map.left)), 0L, lastColumn);
        column.Add(p, c);
    }
    column.Flush();
    return out;
}

void TrendView::SetSpan(TrendSpan span) {
    span_ = span;
    if (span == TrendSpan::All) {
        following_ = true;
    }
}

void TrendView::Scroll(double spans, const TrendData& data, std::int64_t nowMs) {
    if (span_ == TrendSpan::All) {
        return;
    }
    const std::int64_t span = SpanMs(span_);
    const std::int64_t end = following_ ? nowMs : endMs_;
    std::int64_t moved =
        end + static_cast<std::int64_t>(std::llround(spans * static_cast<double>(span)));
    const std::int64_t earliest = std::min(nowMs, data.OldestMs().value_or(nowMs) + span);
    moved = std::max(moved, earliest);
    following_ = moved >= nowMs;
    endMs_ = following_ ? 0 : moved;
}

std::pair<std::int64_t, std::int64_t> TrendView::Window(const TrendData& data,
                                                        std::int64_t nowMs) const {
    if (span_ == TrendSpan::All) {
        const std::int64_t oldest = data.OldestMs().value_or(nowMs);
        return {std::min(oldest, nowMs - kShortestAllMs), nowMs};
    }
    const std::int64_t end = following_ ? nowMs : endMs_;
    return {end - SpanMs(span_), end};
}

TrendDrawing TrendView::Draw(const TrendData& data, const TrendMetrics& metrics,
                             const TrendNow& now) const {
    TrendDrawing drawing;
    const auto [startMs, endMs] = Window(data, now.monotonicMs);
    drawing.startMs = startMs;
    drawing.endMs = endMs;

    const double text = std::max(metrics.textHeight, 1);
    const double digit = std::max(metrics.charWidth, 1);
    const double left = digit * 9;
    const double right =
        std::max(left + 1, metrics.width - digit * 5);  // room for half a time label
    const double titleHeight = text * 1.5;
    const double bottomMargin = text * 2;
    const double paneHeight = std::max(1.0, (metrics.height - bottomMargin - 3 * titleHeight) / 3);
    const double width = right - left;

    // Time ticks, on the local clock: local = monotonic + (wall - monotonic now) + offset.
    const std::int64_t toLocal = now.utcMs - now.monotonicMs + now.localOffsetMinutes * kMinuteMs;
    const TimeScale timeScale =
        NiceTimeScale(endMs - startMs, std::max(1, static_cast<int>(width / (digit * 11))));
    const std::vector<std::int64_t> timeTicks =
        TimeTicks(startMs + toLocal, endMs + toLocal, timeScale);

    double top = 0;
    for (const TrendSeries series : kPaneOrder) {
        top += titleHeight;
        PixelMapping map{left, top, width, paneHeight, startMs, endMs, 0, 1};
        const bool steps = series == TrendSeries::Setpoint;
        const auto runs = SeriesRuns(data.Series(series), steps, startMs, endMs, now.monotonicMs);
        double lowest = std::numeric_limits<double>::infinity();
        double highest = -lowest;
        for (const auto& run : runs) {
            for (const TrendVertex& v : run) {
                lowest = std::min(lowest, v.value);
                highest = std::max(highest, v.value);
            }
        }
        const ValueScale scale =
            NiceScale(lowest, highest, SeriesMinimumSpan(series),
                      std::max(1, static_cast<int>(paneHeight / (text * 1.8))));
        map.low = scale.low;
        map.high = scale.high;

        AddText(drawing, left, top - titleHeight / 2, TextAlign::Left, SeriesTitle(series));
        for (const double tick : ScaleTicks(scale)) {
            const double y = map.Y(tick);
            AddPolyline(drawing, TrendInk::Grid, {{left, y}, {right, y}});
            AddText(drawing, left - digit / 2, y, TextAlign::Right,
                    FormatTick(tick, scale.decimals));
        }
        for (const std::int64_t tick : timeTicks) {
            const double x = map.X(tick - toLocal);
            AddPolyline(drawing, TrendInk::Grid, {{x, top}, {x, top + paneHeight}});
        }
        AddPolyline(drawing, TrendInk::Frame,
                    {{left, top},
                     {right, top},
                     {right, top + paneHeight},
                     {left, top + paneHeight},
                     {left, top}});
        for (const auto& run : runs) {
            AddPolyline(drawing, InkOf(series), DecimateRun(run, map));
        }
        top += paneHeight;
    }
    for (const std::int64_t tick : timeTicks) {
        const double x = left + static_cast<double>(tick - toLocal - startMs) * width /
                                    static_cast<double>(std::max<std::int64_t>(endMs - startMs, 1));
        AddText(drawing, x, top + text, TextAlign::Centre,
                FormatClock(tick, timeScale.showSeconds));
    }
    return drawing;
}
