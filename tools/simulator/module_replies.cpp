// Reply frames in the layout the panel reads.
#include "tools/simulator/module_replies.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "protocol/frame.h"
#include "tools/simulator/module_config.h"

namespace simulator {

namespace {

void AppendWord(std::vector<std::uint8_t>& frame, std::uint16_t word) {
    frame.push_back(static_cast<std::uint8_t>(word >> 8));
    frame.push_back(static_cast<std::uint8_t>(word & 0xFF));
}

std::vector<std::uint8_t> Seal(std::vector<std::uint8_t> frame) {
    frame[kLengthIndex] = static_cast<std::uint8_t>(frame.size() - kLengthIndex);
    frame.push_back(Checksum(frame));
    return frame;
}

}  // namespace

std::vector<std::uint8_t> MakeReply(std::uint8_t type, std::initializer_list<std::uint16_t> words) {
    std::vector<std::uint8_t> frame{kReplyHeader0, kReplyHeader1, 0, type};
    for (std::uint16_t word : words) {
        AppendWord(frame, word);
    }
    return Seal(std::move(frame));
}

std::vector<std::uint8_t> ConfigReply(const ConfigFields& fields, std::uint8_t length) {
    std::vector<std::uint8_t> frame{kReplyHeader0, kReplyHeader1, 0, REPLY_CONFIG, 0, 0};
    AppendWord(frame, fields.setpointA);
    AppendWord(frame, fields.setpointB);
    AppendWord(frame, fields.maximumA);
    AppendWord(frame, fields.maximumB);
    frame.insert(frame.end(), {0, 0, 0, fields.variant});
    frame.resize(std::min<std::size_t>(frame.size(), kLengthIndex + length));
    return Seal(std::move(frame));
}

std::vector<std::uint8_t> SetpointsReply(std::uint16_t setpointA, std::uint16_t setpointB) {
    return MakeReply(REPLY_SETPOINTS, {setpointA, setpointB});
}

std::vector<std::uint8_t> TemperatureReply(double temperatureAC, double temperatureBC) {
    return MakeReply(REPLY_TEMP, {ToWord(temperatureAC * 100.0), ToWord(temperatureBC * 100.0)});
}

std::vector<std::uint8_t> PowerReply(double powerMw, std::uint8_t variant) {
    const double countsPerMw = DrivesSetpointB(variant) ? 1.0 : 10.0;
    return MakeReply(REPLY_POWER, {ToWord(powerMw * countsPerMw)});
}

std::uint16_t ToWord(double counts) {
    if (!(counts > 0.0)) {  // also catches NaN
        return 0;
    }
    return static_cast<std::uint16_t>(std::lround(std::min(counts, 65535.0)));
}

}  // namespace simulator
