#include "trend/trend_data.h"

#include <algorithm>

TrendRing::TrendRing(std::size_t capacity) : capacity_(capacity == 0 ? 1 : capacity) {}

void TrendRing::Push(const TrendPoint& point) {
    if (points_.size() < capacity_) {
        // Grown by doubling, but never past the capacity: a full ring holds no spare room.
        if (points_.size() == points_.capacity()) {
            points_.reserve(std::min(capacity_, std::max<std::size_t>(1024, 2 * points_.size())));
        }
        points_.push_back(point);
        ++count_;
        return;
    }
    points_[oldest_] = point;
    oldest_ = (oldest_ + 1) % capacity_;
}

const TrendPoint& TrendRing::operator[](std::size_t index) const {
    return points_[(oldest_ + index) % points_.size()];
}

std::size_t TrendRing::FirstAtOrAfter(std::int64_t ms) const {
    std::size_t low = 0;
    std::size_t high = count_;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if ((*this)[middle].ms < ms) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

TrendData::TrendData(UiTimers& clock, std::size_t capacity)
    : clock_(clock), rings_{TrendRing(capacity), TrendRing(capacity), TrendRing(capacity)} {}

std::optional<std::int64_t> TrendData::OldestMs() const {
    std::optional<std::int64_t> oldest;
    for (const TrendRing& ring : rings_) {
        if (!ring.Empty() && (!oldest || ring[0].ms < *oldest)) {
            oldest = ring[0].ms;
        }
    }
    return oldest;
}

std::optional<std::int64_t> TrendData::NewestMs() const {
    std::optional<std::int64_t> newest;
    for (const TrendRing& ring : rings_) {
        if (!ring.Empty() && (!newest || ring.Newest().ms > *newest)) {
            newest = ring.Newest().ms;
        }
    }
    return newest;
}

// The setpoint's newest point is the last confirmed, or the gap the closing port left.
std::optional<std::int32_t> TrendData::ConfirmedSetpoint() const {
    const TrendRing& ring = Series(TrendSeries::Setpoint);
    if (ring.Empty() || ring.Newest().gap) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(ring.Newest().value);
}

void TrendData::Add(TrendSeries series, double value) {
    Ring(series).Push(TrendPoint{clock_.NowMs(), value, false});
}

// A confirmation of the setpoint already shown adds nothing: the step line goes on.
void TrendData::AddSetpoint(std::int32_t milliamps) {
    const TrendRing& ring = Series(TrendSeries::Setpoint);
    if (!ring.Empty() && !ring.Newest().gap && ring.Newest().value == milliamps) {
        return;
    }
    Add(TrendSeries::Setpoint, milliamps);
}

// Gaps in a row are one gap.
void TrendData::Gap(TrendSeries series) {
    TrendRing& ring = Ring(series);
    if (ring.Empty() || ring.Newest().gap) {
        return;
    }
    ring.Push(TrendPoint{clock_.NowMs(), 0, true});
}

void TrendData::OnConfiguration(const PanelConfiguration& event) {
    AddSetpoint(event.activeSetpoint);
}

void TrendData::OnSetpointsConfirmed(const PanelSetpoints& event) {
    AddSetpoint(event.activeSetpoint);
}

void TrendData::OnTemperature(const PanelTemperature& event) {
    temperatureAnswered_ = true;
    Add(TrendSeries::Temperature, event.celsius);
}

void TrendData::OnPower(const PanelPower& event) {
    powerAnswered_ = true;
    Add(TrendSeries::Power, event.milliwatts);
}

void TrendData::OnPollSent(const PanelPoll&) {
    if (pollPending_ && !temperatureAnswered_) {
        Gap(TrendSeries::Temperature);
    }
    if (pollPending_ && !powerAnswered_) {
        Gap(TrendSeries::Power);
    }
    pollPending_ = true;
    temperatureAnswered_ = false;
    powerAnswered_ = false;
}

void TrendData::OnPortClosed(const PanelPortClosed&) {
    for (std::size_t i = 0; i < kTrendSeriesCount; ++i) {
        Gap(static_cast<TrendSeries>(i));
    }
    pollPending_ = false;
}

void TrendData::OnPortLost(const PanelPortLost& event) {
    OnPortClosed(PanelPortClosed{event.port, PortCloseCause::DeviceChange});
}
