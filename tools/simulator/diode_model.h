// The physics behind the module's readings: optical power and junction temperature of the two
// diode channels (A and B), advanced by the caller's clock so that runs are repeatable.
#ifndef DRIVERPANEL_TOOLS_SIMULATOR_DIODE_MODEL_H
#define DRIVERPANEL_TOOLS_SIMULATOR_DIODE_MODEL_H

#include <cstdint>
#include <random>

#include "tools/simulator/module_config.h"

namespace simulator {

class DiodeModel {
  public:
    // `seed` starts the detector's noise, so that a run's readings repeat.
    DiodeModel(const DiodeModelConfig& config, SimTime start, double currentAMa, double currentBMa,
               std::uint64_t seed = 1);

    // Moves both temperatures on to `now` under the currents held since the last call. A time
    // earlier than the last one is taken as no time passing.
    void AdvanceTo(SimTime now);
    // Takes effect from the time of the last AdvanceTo.
    void SetCurrents(double currentAMa, double currentBMa);

    double TemperatureAC() const { return temperatureA_; }
    double TemperatureBC() const { return temperatureB_; }
    double PowerAMw() const { return PowerAt(currentA_); }
    double PowerBMw() const { return PowerAt(currentB_); }
    // One reading of a channel's power through the detector: the power with its noise, never
    // below zero.
    double ReadPowerMw(bool channelB);

  private:
    double PowerAt(double currentMa) const;
    double SteadyTemperatureAt(double currentMa) const;

    DiodeModelConfig config_;
    SimTime last_;
    double currentA_;
    double currentB_;
    double temperatureA_;
    double temperatureB_;
    std::mt19937_64 noise_;
};

}  // namespace simulator

#endif
