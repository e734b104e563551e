// The module's reply frames (ED FA L type data checksum) and the scaling of its readings.
#ifndef DRIVERPANEL_TOOLS_SIMULATOR_MODULE_REPLIES_H
#define DRIVERPANEL_TOOLS_SIMULATOR_MODULE_REPLIES_H

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace simulator {

// A whole reply frame around the type and data: header, length, checksum.
std::vector<std::uint8_t> MakeReply(std::uint8_t type, std::initializer_list<std::uint16_t> words);

struct ConfigFields {
    std::uint16_t setpointA;
    std::uint16_t setpointB;
    std::uint16_t maximumA;
    std::uint16_t maximumB;
    std::uint8_t variant;
};

// 19 bytes (L = 16): setpoints at 6-7 and 8-9, maxima at 10-11 and 12-13, the variant at 17.
// A shorter `length` (12 to 15) ends the reply there: the setpoints and maxima, no variant.
std::vector<std::uint8_t> ConfigReply(const ConfigFields& fields, std::uint8_t length = 16);
std::vector<std::uint8_t> SetpointsReply(std::uint16_t setpointA, std::uint16_t setpointB);
std::vector<std::uint8_t> TemperatureReply(double temperatureAC, double temperatureBC);
// The power word counts 0.1 mW when the variant drives setpoint A, 1 mW when it drives B.
std::vector<std::uint8_t> PowerReply(double powerMw, std::uint8_t variant);

// A reading rounded to the nearest count and held within what a 16-bit word can carry.
std::uint16_t ToWord(double counts);

}  // namespace simulator

#endif
