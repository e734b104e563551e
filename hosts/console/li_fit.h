// The light-current curve's two numbers: the threshold current, where the diode starts to lase,
// and the slope efficiency above it. The curve is taken as two straight lines (the faint
// spontaneous light below threshold, the steep stimulated light above) meeting at the threshold.
#ifndef DRIVERPANEL_HOSTS_CONSOLE_LI_FIT_H
#define DRIVERPANEL_HOSTS_CONSOLE_LI_FIT_H

#include <cstddef>
#include <string>
#include <vector>

struct LiPoint {
    double currentMa;
    double powerMw;
};

struct LiFit {
    bool found = false;
    std::string why;  // when not found: the reason, in a few words
    double thresholdMa = 0;
    double slopeMwPerMa = 0;  // above threshold
    double residualMw = 0;    // root mean square of the points' distances from the two lines
    std::size_t pointsAbove = 0;
};

// Fewest distinct currents on the lasing line for its slope to mean anything.
constexpr std::size_t kLiMinPointsAbove = 3;

// Searches the break between the two lines (least squares on each side, the least total wins)
// and takes the threshold where the lines cross. Points may repeat a current (a sweep up and
// back down) and come in any order.
LiFit FitLi(std::vector<LiPoint> points);

#endif
