// The wall clock, for what a reading's time means to people: the recording's timestamps (UTC)
// and the trend's time axis (local time). Ordering and spans use the panel's monotonic clock
// (UiTimers::NowMs) instead, which never goes back when the machine's clock is set.
#ifndef DRIVERPANEL_TREND_WALL_CLOCK_H
#define DRIVERPANEL_TREND_WALL_CLOCK_H

#include <cstdint>

class WallClock {
  public:
    virtual ~WallClock() = default;

    // Milliseconds since 1970-01-01T00:00:00Z; may jump when the machine's clock is set.
    virtual std::int64_t UtcMs() = 0;

    // Minutes east of UTC of the local time at that moment (60 for UTC+1).
    virtual int LocalOffsetMinutes(std::int64_t utcMs) = 0;
};

#endif
