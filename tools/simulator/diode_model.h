// The physics behind the module's readings: optical power and junction temperature of the two
// diode channels (A and B), advanced by the caller's clock so that runs are repeatable.
#ifndef DRIVERPANEL_TOOLS_SIMULATOR_DIODE_MODEL_H
#define DRIVERPANEL_TOOLS_SIMULATOR_DIODE_MODEL_H

#include "tools/simulator/module_config.h"

namespace simulator {

class DiodeModel {
  public:
    DiodeModel(const DiodeModelConfig& config, SimTime start, double currentAMa, double currentBMa);

    // Moves both temperatures on to `now` under the currents held since the last call. A time
    // earlier than the last one is taken as no time passing.
    void AdvanceTo(SimTime now);
    // Takes effect from the time of the last AdvanceTo.
    void SetCurrents(double currentAMa, double currentBMa);

    double TemperatureAC() const { return temperatureA_; }
    double TemperatureBC() const { return temperatureB_; }
    double PowerAMw() const { return PowerAt(currentA_); }
    double PowerBMw() const { return PowerAt(currentB_); }

  private:
    double PowerAt(double currentMa) const;
    double SteadyTemperatureAt(double currentMa) const;

    DiodeModelConfig config_;
    SimTime last_;
    double currentA_;
    double currentB_;
    double temperatureA_;
    double temperatureB_;
};

}  // namespace simulator

#endif
