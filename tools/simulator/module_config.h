// What the simulated module is: its variant, setpoints and maxima, the diode's physics, the faults
// it puts on the line, and the seed that makes a run repeatable.
#ifndef DRIVERPANEL_TOOLS_SIMULATOR_MODULE_CONFIG_H
#define DRIVERPANEL_TOOLS_SIMULATOR_MODULE_CONFIG_H

#include <chrono>
#include <cstdint>

namespace simulator {

using SimClock = std::chrono::steady_clock;
using SimTime = SimClock::time_point;

// A laser diode whose light rises linearly above a threshold current and whose junction warms
// towards a temperature that grows with the current, with a first-order lag.
struct DiodeModelConfig {
    double ambientC = 25.0;
    double heatingCPerMa = 0.02;  // steady-state rise above ambient per mA of drive current
    double timeConstantS = 3.0;
    double thresholdMa = 30.0;
    double slopeMwPerMa = 0.8;  // slope efficiency above threshold
};

// Faults the module puts on its replies. Shares are probabilities from 0 to 1, drawn per reply.
struct FaultConfig {
    double badChecksumShare = 0.0;
    double dropShare = 0.0;
    std::chrono::milliseconds replyDelay{0};
    std::chrono::milliseconds byteGap{0};  // above zero: each reply leaves byte by byte
    double noiseShare = 0.0;               // replies preceded by a burst of random bytes
    unsigned noiseMaxBytes = 3;            // a burst is 1 to this many bytes
    unsigned hangUpAfterFrames = 0;        // 0: never hang up
    bool hangUpMidReply = false;           // the last reply before the hang-up is cut in half
    // Set frames that are lost on their way: the first this many are neither obeyed nor
    // answered, as if the module never received them.
    unsigned ignoredSetFrames = 0;
    // A set's confirmation leaves this long after the set (drawn anew for each set when the
    // bounds differ), while the readings asked meanwhile are answered at once and overtake it.
    std::chrono::milliseconds confirmDelayMin{0};
    std::chrono::milliseconds confirmDelayMax{0};
};

struct ModuleConfig {
    std::uint8_t variant = 1;  // 0 or 1 drives setpoint A, 2 or more setpoint B
    std::uint16_t setpointA = 100;
    std::uint16_t setpointB = 100;
    std::uint16_t maximumA = 500;
    std::uint16_t maximumB = 500;
    // A module that takes less than it is sent and confirms what it took: set values above this
    // are held to it, whatever maximum the module reports.
    std::uint16_t setLimit = 65535;
    bool silentSet = false;  // set commands are obeyed but not answered
    // The configuration reply's length byte: 16 carries the variant byte; 12 to 15 end after the
    // maxima, as a module without the variant byte answers.
    std::uint8_t configLength = 16;
    DiodeModelConfig model;
    FaultConfig faults;
    std::uint64_t seed = 1;
};

// Which setpoint the module drives and reports power for, by its variant byte.
constexpr bool DrivesSetpointB(std::uint8_t variant) {
    return variant >= 2;
}

}  // namespace simulator

#endif
