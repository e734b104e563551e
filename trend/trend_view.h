// What the trend window shows and how it is drawn, decided here for every window system.
//
// Drawing model. TrendView::Draw turns the kept readings into a TrendDrawing: polylines and
// texts in pixel coordinates of the plot area the window gives (origin top left, x to the
// right, y down, in the window's own pixels). A window only strokes each polyline with its
// ink's pen and draws each text at its anchor; it decides no scale, tick, gap or layout itself.
//   - Polylines: straight segments between consecutive points, one pixel wide. A gap in a
//     series ends its polyline; the next one starts after the gap. Coordinates stay inside the
//     area, so no clipping is needed.
//   - Texts: UTF-8 (units such as "°C"), one line each. `at` is the anchor: the text's left
//     end, middle or right end by `align`, and its vertical middle.
//   - Inks: Frame and Grid for the panes' frames and tick lines, Text for labels, one ink per
//     series. The series' colours are the core's (SeriesRgb); the window takes the system's
//     colours for the frame, grid and texts, so they stay readable in its theme.
// Layout: three panes stacked top to bottom (setpoint, temperature, power), each with its own
// value axis and a title with its unit above it; tick labels left of each pane; one time axis
// under the lowest pane with clock times of the local day.
//
// A window's part (hosts/qt/trend_host.cpp and trend_window.cpp do it on Qt): one TrendData
// listening to the panel's logic from the start, fed by the same monotonic clock the drawing is
// given; a TrendRecording (trend/trend_recording.h) on the window's own file sink, which starts
// and stops the CSV recording; a redraw every 500 ms and after each span or scroll
// change, with TrendView::Draw for the plot area's size and font; the span buttons, Newest and
// Record/Stop; scrolling by a fraction of a span (the wheel, arrow and page keys).
#ifndef DRIVERPANEL_TREND_TREND_VIEW_H
#define DRIVERPANEL_TREND_TREND_VIEW_H

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "trend/trend_data.h"
#include "trend/trend_scale.h"

struct TrendPixel {
    double x = 0;
    double y = 0;
    bool operator==(const TrendPixel&) const = default;
};

enum class TrendInk { Frame, Grid, Text, Setpoint, Temperature, Power };

// A series' colour as 0xRRGGBB, the same in every window; none for the frame, the grid and the
// texts, which take the system's colours that only the host knows.
constexpr std::optional<std::uint32_t> SeriesRgb(TrendInk ink) {
    switch (ink) {
        case TrendInk::Setpoint:
            return 0x1f4eb4;
        case TrendInk::Temperature:
            return 0xb4281e;
        case TrendInk::Power:
            return 0x1e8232;
        default:
            return std::nullopt;
    }
}

struct TrendPolyline {
    TrendInk ink = TrendInk::Frame;
    std::vector<TrendPixel> points;
};

enum class TextAlign { Left, Centre, Right };

struct TrendText {
    TrendInk ink = TrendInk::Text;
    TrendPixel at;
    TextAlign align = TextAlign::Left;
    std::string text;
};

struct TrendDrawing {
    std::vector<TrendPolyline> lines;
    std::vector<TrendText> texts;
    std::int64_t startMs = 0;  // the time shown at the left and right edge of the panes
    std::int64_t endMs = 0;
};

// The plot area in pixels and the window font's measures, which set the margins and how many
// ticks fit.
struct TrendMetrics {
    int width = 0;
    int height = 0;
    int textHeight = 13;  // a line of text
    int charWidth = 7;    // a digit
};

// The moment the drawing is made, on both clocks: the panel's monotonic clock for the readings,
// and the wall clock for the time axis labels.
struct TrendNow {
    std::int64_t monotonicMs = 0;
    std::int64_t utcMs = 0;
    int localOffsetMinutes = 0;
};

enum class TrendSpan { OneMinute, TenMinutes, OneHour, All };

std::int64_t SpanMs(TrendSpan span);   // 0 for All
const char* SpanName(TrendSpan span);  // "1 min", "10 min", "1 h", "all"

// One series' title with its unit ("Diode temperature (°C)"), and the narrowest range its axis
// shows: a steady reading is drawn as a steady line, not as its last digit's noise.
const char* SeriesTitle(TrendSeries series);
double SeriesMinimumSpan(TrendSeries series);

// A series within [startMs, endMs] as polylines of (time, value), before scaling: gaps split
// it, a line entering or leaving the window is cut at its edge, and the setpoint is drawn as
// steps, held until the next confirmation, the next gap or holdUntilMs (now), whichever is first.
struct TrendVertex {
    std::int64_t ms = 0;
    double value = 0;
    bool operator==(const TrendVertex&) const = default;
};
std::vector<std::vector<TrendVertex>> SeriesRuns(const TrendRing& ring, bool steps,
                                                 std::int64_t startMs, std::int64_t endMs,
                                                 std::int64_t holdUntilMs);

// A run in pixels, at most four points per pixel column (its first, lowest, highest and last
// value): 24 hours draw as fast as a minute, and a one-reading spike still shows.
struct PixelMapping {
    double left = 0;
    double top = 0;
    double width = 1;
    double height = 1;
    std::int64_t startMs = 0;
    std::int64_t endMs = 1;
    double low = 0;
    double high = 1;
    double X(std::int64_t ms) const;
    double Y(double value) const;
};
std::vector<TrendPixel> DecimateRun(const std::vector<TrendVertex>& run, const PixelMapping& map);

// The span shown and whether it follows the newest reading. Scrolled back, the window stays
// where the operator left it until they scroll forward to the newest again or ask to follow.
class TrendView {
  public:
    TrendSpan Span() const { return span_; }
    void SetSpan(TrendSpan span);
    bool Following() const { return following_; }
    void FollowNewest() { following_ = true; }

    // Moves the window by a number of spans: negative goes back in time. It stops at the oldest
    // reading, and reaching now follows again. "All" does not scroll.
    void Scroll(double spans, const TrendData& data, std::int64_t nowMs);

    // The times at the left and right edge.
    std::pair<std::int64_t, std::int64_t> Window(const TrendData& data, std::int64_t nowMs) const;

    TrendDrawing Draw(const TrendData& data, const TrendMetrics& metrics,
                      const TrendNow& now) const;

  private:
    TrendSpan span_ = TrendSpan::TenMinutes;
    bool following_ = true;
    std::int64_t endMs_ = 0;  // the right edge while scrolled back
};

#endif
