// First-order thermal lag, and a light-current curve of two straight lines meeting at the
// threshold, read with Gaussian noise.
#include "tools/simulator/diode_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace simulator {

DiodeModel::DiodeModel(const DiodeModelConfig& config, SimTime start, double currentAMa,
                       double currentBMa, std::uint64_t seed)
    : config_(config),
      last_(start),
      currentA_(currentAMa),
      currentB_(currentBMa),
      temperatureA_(config.ambientC),
      temperatureB_(config.ambientC),
      noise_(seed) {}

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
    const double current = std::max(0.0, currentMa);
    return std::min(current, config_.thresholdMa) * config_.spontaneousMwPerMa +
           std::max(0.0, current - config_.thresholdMa) * config_.slopeMwPerMa;
}

double DiodeModel::ReadPowerMw(bool channelB) {
    const double power = PowerAt(channelB ? currentB_ : currentA_);
    if (!(config_.powerNoiseMw > 0.0)) {
        return power;
    }
    // A normal draw by Box-Muller from 53-bit fractions: the same on every platform, unlike the
    // standard library's distributions.
    const double u1 = (static_cast<double>(noise_() >> 11) + 1.0) * 0x1.0p-53;  // (0, 1]
    const double u2 = static_cast<double>(noise_() >> 11) * 0x1.0p-53;
    const double normal = std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
    return std::max(0.0, power + config_.powerNoiseMw * normal);
}

double DiodeModel::SteadyTemperatureAt(double currentMa) const {
    return config_.ambientC + config_.heatingCPerMa * currentMa;
}

}  // namespace simulator
