// The two-line fit of a light-current curve on made-up curves: what it finds, and why it finds
// nothing.
#include "hosts/console/li_fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// A diode's curve at `currents`: `below` mW/mA up to the threshold, `slope` above it, and a
// fixed zig-zag of +-`noise` mW standing in for the detector's scatter.
std::vector<LiPoint> Curve(const std::vector<double>& currents, double threshold, double slope,
                           double below = 0.0, double noise = 0.0) {
    std::vector<LiPoint> points;
    for (double i : currents) {
        const double power = below * std::min(i, threshold) + slope * std::max(0.0, i - threshold);
        points.push_back({i, power + (points.size() % 2 == 0 ? noise : -noise)});
    }
    return points;
}

std::vector<double> Range(double from, double to, double step) {
    std::vector<double> values;
    for (double i = from; i <= to + 1e-9; i += step) {
        values.push_back(i);
    }
    return values;
}

TEST(LiFit, FindsThresholdAndSlopeOrSaysWhyNot) {
    std::vector<double> upAndBack = Range(0, 100, 10);
    upAndBack.insert(upAndBack.end(), upAndBack.rbegin() + 1, upAndBack.rend());
    const struct {
        const char* name;
        std::vector<LiPoint> points;
        double threshold;  // 0: no fit, `why` holds this
        double slope;
        const char* why;
    } cases[] = {
        {"exact, threshold on a step", Curve(Range(0, 100, 10), 30, 0.8), 30, 0.8, ""},
        {"exact, threshold between steps", Curve(Range(0, 100, 10), 35, 0.8), 35, 0.8, ""},
        {"faint light and scatter", Curve(Range(0, 120, 5), 42, 0.5, 0.002, 0.05), 42, 0.5, ""},
        {"up and back again", Curve(upAndBack, 30, 0.8, 0.001, 0.02), 30, 0.8, ""},
        {"dark throughout", Curve(Range(0, 100, 10), 200, 0.8), 0, 0, "no lasing"},
        {"dark with scatter", Curve(Range(0, 100, 10), 200, 0.8, 0.0, 0.05), 0, 0, "no lasing"},
        {"lasing from the first step", Curve(Range(50, 100, 10), 20, 0.8), 0, 0, "no threshold"},
        {"two steps above threshold", Curve(Range(0, 100, 10), 85, 0.8), 0, 0,
         "too few steps above"},
        {"two steps in all", Curve({10, 50}, 30, 0.8), 0, 0, "too few steps"},
    };
    for (const auto& c : cases) {
        const LiFit fit = FitLi(c.points);
        if (c.threshold == 0) {
            EXPECT_FALSE(fit.found) << c.name;
            EXPECT_EQ(fit.why.rfind(c.why, 0), 0u) << c.name << ": " << fit.why;
            continue;
        }
        ASSERT_TRUE(fit.found) << c.name << ": " << fit.why;
        EXPECT_NEAR(fit.thresholdMa, c.threshold, c.threshold * 0.02) << c.name;
        EXPECT_NEAR(fit.slopeMwPerMa, c.slope, c.slope * 0.02) << c.name;
        EXPECT_LT(fit.residualMw, 0.1) << c.name;
    }
}

}  // namespace
