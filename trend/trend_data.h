// The readings kept for the trend window: for each series, a bounded ring of points on the
// panel's monotonic clock, fed as a listener of the panel.
#ifndef DRIVERPANEL_TREND_TREND_DATA_H
#define DRIVERPANEL_TREND_TREND_DATA_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "panel/panel_events.h"
#include "panel/ui_timers.h"

enum class TrendSeries { Setpoint, Temperature, Power };
constexpr std::size_t kTrendSeriesCount = 3;

// One point of a series. A gap point ends the line before it: nothing is drawn between the
// point before and the point after it. Its time is when the series stopped being known.
struct TrendPoint {
    std::int64_t ms = 0;  // the panel's monotonic clock
    double value = 0;
    bool gap = false;
};

// The newest `capacity` points of one series, oldest first. Times never go back, so a time is
// found by bisection.
class TrendRing {
  public:
    explicit TrendRing(std::size_t capacity);

    void Push(const TrendPoint& point);
    std::size_t Size() const { return count_; }
    std::size_t Capacity() const { return capacity_; }
    bool Empty() const { return count_ == 0; }
    const TrendPoint& operator[](std::size_t index) const;  // 0 is the oldest
    const TrendPoint& Newest() const { return (*this)[count_ - 1]; }
    // The index of the first point at or after ms (Size() when none is).
    std::size_t FirstAtOrAfter(std::int64_t ms) const;

  private:
    std::vector<TrendPoint> points_;  // grows up to capacity_, then wraps
    std::size_t capacity_;
    std::size_t oldest_ = 0;
    std::size_t count_ = 0;
};

// Two readings a second for 24 hours; then the oldest go.
constexpr std::size_t kTrendCapacity = 24 * 60 * 60 * 2;

// Each temperature and power reading becomes a point when it arrives. The setpoint becomes a
// point when the module confirms a new one (configuration or setpoints reply): it is drawn as
// steps at those moments. A poll that got no temperature (or power) reply before the next poll
// leaves a gap in that series (the module is silent), and a closed or lost port leaves a gap
// in all three.
class TrendData : public PanelListener {
  public:
    explicit TrendData(UiTimers& clock, std::size_t capacity = kTrendCapacity);

    const TrendRing& Series(TrendSeries series) const {
        return rings_[static_cast<std::size_t>(series)];
    }
    // The oldest and newest time of any point; empty before the first.
    std::optional<std::int64_t> OldestMs() const;
    std::optional<std::int64_t> NewestMs() const;
    // The setpoint the module last confirmed since the port was opened; empty while it is closed.
    std::optional<std::int32_t> ConfirmedSetpoint() const;

    void OnConfiguration(const PanelConfiguration& event) override;
    void OnSetpointsConfirmed(const PanelSetpoints& event) override;
    void OnTemperature(const PanelTemperature& event) override;
    void OnPower(const PanelPower& event) override;
    void OnPollSent(const PanelPoll& event) override;
    void OnPortClosed(const PanelPortClosed& event) override;
    void OnPortLost(const PanelPortLost& event) override;

  private:
    TrendRing& Ring(TrendSeries series) { return rings_[static_cast<std::size_t>(series)]; }
    void Add(TrendSeries series, double value);
    void AddSetpoint(std::int32_t milliamps);
    void Gap(TrendSeries series);

    UiTimers& clock_;
    std::array<TrendRing, kTrendSeriesCount> rings_;
    bool pollPending_ = false;  // a poll was sent and the next has not been yet
    bool temperatureAnswered_ = false;
    bool powerAnswered_ = false;
};

#endif
