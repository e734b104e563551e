// Median and 99th percentile of a set of measured durations, for the bench programs' reports.
#ifndef DRIVERPANEL_BENCH_LATENCY_STATS_H
#define DRIVERPANEL_BENCH_LATENCY_STATS_H

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

struct LatencyStats {
    double medianUs = 0;
    double p99Us = 0;
};

inline LatencyStats Summarise(std::vector<std::chrono::nanoseconds> samples) {
    if (samples.empty()) {
        return {};
    }
    std::sort(samples.begin(), samples.end());
    const auto us = [](std::chrono::nanoseconds d) { return d.count() / 1000.0; };
    return {us(samples[samples.size() / 2]), us(samples[samples.size() * 99 / 100])};
}

inline void PrintStats(const char* what, const LatencyStats& stats) {
    std::printf("%-52s median %8.1f us   p99 %8.1f us\n", what, stats.medianUs, stats.p99Us);
}

// The machine's load when the figures were taken: on a shared machine it explains the spread.
inline void PrintLoad() {
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        double one = 0, five = 0;
        if (std::fscanf(f, "%lf %lf", &one, &five) == 2) {
            std::printf("load average: %.2f (1 min), %.2f (5 min)\n", one, five);
        }
        std::fclose(f);
    }
}

#endif
