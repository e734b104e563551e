// First-order thermal lag and a linear light-current curve above threshold.
#include "tools/simulator/diode_model.h"

#include <algorithm>
#include <cmath>

namespace simulator {

DiodeModel::DiodeModel(const DiodeModelConfig& config, SimTime start, double currentAMa,
                       double currentBMa)
    : config_(config),
      last_(start),
      currentA_(currentAMa),
      currentB_(currentBMa),
      temperatureA_(config.ambientC),
      temperatureB_(config.ambientC) {}

void DiodeModel::AdvanceTo(SimTime now) {
    if (now <= last_) {
        return;
    }
    const double elapsedS = std::chrono::duration<double>(now - last_).count();
    last_ = now;
    // Exact step of dT/dt = (target - T) / tau, so the result does not depend on how often the
    // clock is sampled. A time constant of zero or less means the junction follows at once.
    const double approach =
        config_.timeConstantS > 0.0 ? 1.0 - std::exp(-elapsedS / config_.timeConstantS) : 1.0;
    temperatureA_ += (SteadyTemperatureAt(currentA_) - temperatureA_) * approach;
    temperatureB_ += (SteadyTemperatureAt(currentB_) - temperatureB_) * approach;
}

void DiodeModel::SetCurrents(double currentAMa, double currentBMa) {
    currentA_ = currentAMa;
    currentB_ = currentBMa;
}

double DiodeModel::PowerAt(double currentMa) const {
    return std::max(0.0, currentMa - config_.thresholdMa) * config_.slopeMwPerMa;
}

double DiodeModel::SteadyTemperatureAt(double currentMa) const {
    return config_.ambientC + config_.heatingCPerMa * currentMa;
}

}  // namespace simulator
