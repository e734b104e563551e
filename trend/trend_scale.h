// Readable scales for the trend: value axes in steps of 1, 2 or 5 times a power of ten, and time
// axes in steps of whole seconds, minutes or hours on the local clock.
#ifndef DRIVERPANEL_TREND_TREND_SCALE_H
#define DRIVERPANEL_TREND_TREND_SCALE_H

#include <cstdint>
#include <string>
#include <vector>

// An axis from low to high with a tick at every step; labels show `decimals` digits after the
// point, enough to tell neighbouring ticks apart.
struct ValueScale {
    double low = 0;
    double high = 1;
    double step = 1;
    int decimals = 0;
};

// The scale that holds every value from lowest to highest with at most maxTicks steps between
// low and high (at least 1). A range narrower than minimumSpan is widened to it around its
// middle, so a steady reading is not blown up into noise; an empty range (lowest > highest)
// gives 0 ... minimumSpan.
ValueScale NiceScale(double lowest, double highest, double minimumSpan, int maxTicks);

// The ticks of a scale, low to high, each a whole number of steps.
std::vector<double> ScaleTicks(const ValueScale& scale);

// A value as the scale's labels show it ("-0" shows as "0").
std::string FormatTick(double value, int decimals);

// Time ticks: every `stepMs` of local time, on whole multiples of it counted from local
// midnight.
struct TimeScale {
    std::int64_t stepMs = 1000;
    bool showSeconds = true;  // labels "HH:MM:SS", else "HH:MM"
};

// The smallest of 1, 2, 5, 10, 15, 30 s, 1, 2, 5, 10, 15, 30 min, 1, 2, 3, 6, 12, 24 h that
// puts at most maxTicks ticks into spanMs.
TimeScale NiceTimeScale(std::int64_t spanMs, int maxTicks);

// Local times of the ticks from localStartMs to localEndMs inclusive (milliseconds since
// 1970-01-01 on the local clock).
std::vector<std::int64_t> TimeTicks(std::int64_t localStartMs, std::int64_t localEndMs,
                                    const TimeScale& scale);

// "HH:MM:SS" or "HH:MM" of a local time.
std::string FormatClock(std::int64_t localMs, bool showSeconds);

#endif
