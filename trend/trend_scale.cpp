#include "trend/trend_scale.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace {

constexpr std::int64_t kSecondMs = 1000;
constexpr std::int64_t kMinuteMs = 60 * kSecondMs;
constexpr std::int64_t kHourMs = 60 * kMinuteMs;
constexpr std::int64_t kDayMs = 24 * kHourMs;

constexpr std::array<std::int64_t, 18> kTimeSteps = {
    kSecondMs, 2 * kSecondMs, 5 * kSecondMs, 10 * kSecondMs, 15 * kSecondMs, 30 * kSecondMs,
    kMinuteMs, 2 * kMinuteMs, 5 * kMinuteMs, 10 * kMinuteMs, 15 * kMinuteMs, 30 * kMinuteMs,
    kHourMs,   2 * kHourMs,   3 * kHourMs,   6 * kHourMs,    12 * kHourMs,   kDayMs};

// The smallest 1, 2 or 5 times a power of ten not below raw (raw > 0).
double NiceStep(double raw) {
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double mantissa : {1.0, 2.0, 5.0, 10.0}) {
        // A tolerance for log10 and pow rounding: 0.3 must give 0.5, not 1 by a hair.
        if (mantissa * magnitude >= raw * (1 - 1e-9)) {
            return mantissa * magnitude;
        }
    }
    return 10 * magnitude;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

}  // namespace

ValueScale NiceScale(double lowest, double highest, double minimumSpan, int maxTicks) {
    maxTicks = std::max(maxTicks, 1);
    if (!(minimumSpan > 0)) {
        minimumSpan = 1;
    }
    if (!(lowest <= highest) || !std::isfinite(lowest) || !std::isfinite(highest)) {
        lowest = 0;
        highest = minimumSpan;
    }
    if (highest - lowest < minimumSpan) {
        const double middle = (lowest + highest) / 2;
        lowest = middle - minimumSpan / 2;
        highest = middle + minimumSpan / 2;
    }
    ValueScale scale;
    double step = NiceStep((highest - lowest) / maxTicks);
    // Rounding out to whole steps can add a step at each end; take the next step up if so.
    for (;;) {
        scale.low = std::floor(lowest / step + 1e-9) * step;
        scale.high = std::ceil(highest / step - 1e-9) * step;
        if (std::lround((scale.high - scale.low) / step) <= maxTicks) {
            break;
        }
        step = NiceStep(step * 1.5);
    }
    scale.step = step;
    scale.decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
    return scale;
}

std::vector<double> ScaleTicks(const ValueScale& scale) {
    std::vector<double> ticks;
    const long count = std::lround((scale.high - scale.low) / scale.step);
    const long first = std::lround(scale.low / scale.step);
    for (long i = 0; i <= count; ++i) {
        ticks.push_back(static_cast<double>(first + i) * scale.step);
    }
    return ticks;
}

std::string FormatTick(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string result = text;
    if (result.find_first_not_of("-0.") == std::string::npos && result.front() == '-') {
        result.erase(0, 1);
    }
    return result;
}

TimeScale NiceTimeScale(std::int64_t spanMs, int maxTicks) {
    maxTicks = std::max(maxTicks, 1);
    TimeScale scale;
    scale.stepMs = kTimeSteps.back();
    for (const std::int64_t step : kTimeSteps) {
        if (spanMs / step <= maxTicks) {
            scale.stepMs = step;
            break;
        }
    }
    scale.showSeconds = scale.stepMs < kMinuteMs;
    return scale;
}

std::vector<std::int64_t> TimeTicks(std::int64_t localStartMs, std::int64_t localEndMs,
                                    const TimeScale& scale) {
    std::vector<std::int64_t> ticks;
    for (std::int64_t t = FloorDiv(localStartMs + scale.stepMs - 1, scale.stepMs) * scale.stepMs;
         t <= localEndMs; t += scale.stepMs) {
        ticks.push_back(t);
    }
    return ticks;
}

std::string FormatClock(std::int64_t localMs, bool showSeconds) {
    const std::int64_t ofDay = localMs - FloorDiv(localMs, kDayMs) * kDayMs;
    const int hours = static_cast<int>(ofDay / kHourMs);
    const int minutes = static_cast<int>(ofDay / kMinuteMs % 60);
    const int seconds = static_cast<int>(ofDay / kSecondMs % 60);
    char text[16];
    if (showSeconds) {
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", hours, minutes, seconds);
    } else {
        std::snprintf(text, sizeof text, "%02d:%02d", hours, minutes);
    }
    return text;
}
