// Two-segment least squares over every break between distinct currents.
#include "hosts/console/li_fit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

struct Line {
    double slope = 0;
    double intercept = 0;
    double At(double x) const { return slope * x + intercept; }
};

// Least squares through points [first, last); points that share one current give a level line
// through their mean.
Line FitLine(const std::vector<LiPoint>& points, std::size_t first, std::size_t last) {
    const double n = static_cast<double>(last - first);
    double sx = 0, sy = 0;
    for (std::size_t i = first; i < last; ++i) {
        sx += points[i].currentMa;
        sy += points[i].powerMw;
    }
    const double mx = sx / n, my = sy / n;
    double sxx = 0, sxy = 0;
    for (std::size_t i = first; i < last; ++i) {
        sxx += (points[i].currentMa - mx) * (points[i].currentMa - mx);
        sxy += (points[i].currentMa - mx) * (points[i].powerMw - my);
    }
    Line line;
    line.slope = sxx > 0 ? sxy / sxx : 0;
    line.intercept = my - line.slope * mx;
    return line;
}

double SquaredError(const std::vector<LiPoint>& points, std::size_t first, std::size_t last,
                    const Line& line) {
    double sum = 0;
    for (std::size_t i = first; i < last; ++i) {
        const double d = points[i].powerMw - line.At(points[i].currentMa);
        sum += d * d;
    }
    return sum;
}

LiFit NotFound(std::string why) {
    LiFit fit;
    fit.why = std::move(why);
    return fit;
}

// A lasing line must rise this many times the scatter about the fit, so that noise on a dark
// diode is not taken for a threshold.
constexpr double kRiseOverResidual = 10.0;
// ... and be this many times steeper than the line below it, or there is no bend to speak of.
constexpr double kSlopeRatio = 2.0;

}  // namespace

LiFit FitLi(std::vector<LiPoint> points) {
    std::sort(points.begin(), points.end(),
              [](const LiPoint& a, const LiPoint& b) { return a.currentMa < b.currentMa; });
    std::size_t distinct = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        distinct += i == 0 || points[i].currentMa != points[i - 1].currentMa ? 1 : 0;
    }
    if (distinct < 3) {
        return NotFound("too few steps (" + std::to_string(distinct) +
                        " currents; at least 3 are needed)");
    }

    // Each break lies between two distinct currents and leaves at least two currents above it.
    double bestError = std::numeric_limits<double>::infinity();
    std::size_t bestBreak = 0;
    Line below, above;
    for (std::size_t k = points.size() - 1; k > 0; --k) {
        if (points[k].currentMa == points[k - 1].currentMa) {
            continue;
        }
        const Line low = FitLine(points, 0, k);
        const Line high = FitLine(points, k, points.size());
        const double error =
            SquaredError(points, 0, k, low) + SquaredError(points, k, points.size(), high);
        if (high.slope > 0 && error < bestError && points.back().currentMa != points[k].currentMa) {
            bestError = error;
            bestBreak = k;
            below = low;
            above = high;
        }
    }
    if (bestBreak == 0) {
        return NotFound("no lasing in the range: the power does not rise");
    }
    const double residual = std::sqrt(bestError / static_cast<double>(points.size()));
    const double rise = above.At(points.back().currentMa) - above.At(points[bestBreak].currentMa);
    if (!(rise > kRiseOverResidual * residual)) {
        return NotFound("no lasing in the range: the power does not rise above its noise");
    }
    if (!(above.slope > kSlopeRatio * std::max(below.slope, 0.0))) {
        return NotFound(
            "no threshold in the range: the power rises along one straight line (lasing from the "
            "first step?)");
    }
    const double threshold = (below.intercept - above.intercept) / (above.slope - below.slope);
    if (!(threshold >= points.front().currentMa && threshold <= points.back().currentMa)) {
        return NotFound("no threshold in the range: the lines cross outside it");
    }
    // A sweep back repeats each current: the slope rests on the distinct ones.
    std::size_t pointsAbove = 0;
    std::size_t currentsAbove = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (points[i].currentMa > threshold) {
            ++pointsAbove;
            currentsAbove += i == 0 || points[i].currentMa != points[i - 1].currentMa ? 1 : 0;
        }
    }
    if (currentsAbove < kLiMinPointsAbove) {
        return NotFound("too few steps above threshold (" + std::to_string(currentsAbove) +
                        "; at least " + std::to_string(kLiMinPointsAbove) + " are needed)");
    }
    LiFit fit;
    fit.found = true;
    fit.thresholdMa = threshold;
    fit.slopeMwPerMa = above.slope;
    fit.residualMw = residual;
    fit.pointsAbove = pointsAbove;
    return fit;
}
