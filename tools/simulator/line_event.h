// One entry of the simulator's line log: a frame received or sent, noise, or the hang-up, with the
// time since the simulator started. Tests read these; people debugging a setup read the log file.
#ifndef DRIVERPANEL_TOOLS_SIMULATOR_LINE_EVENT_H
#define DRIVERPANEL_TOOLS_SIMULATOR_LINE_EVENT_H

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace simulator {

struct LineEvent {
    enum class Direction { Received, Sent, HangUp };
    std::chrono::nanoseconds sinceStart;
    Direction direction;
    std::vector<std::uint8_t> bytes;
    // What became of it. Received: "valid", "unknown" (framed, but not a request this module
    // answers), "bad-checksum", "bad-length", "noise". Sent: "ok", or the faults put on it
    // ("dropped", "bad-checksum", "delayed", "split", "cut"), or "noise". A sent frame is logged
    // when the module makes it, so a delayed or split one leaves the line later than its time.
    std::string verdict;
};

// "12.345678 RX EF EF 02 0B EB valid"; the hang-up is "12.345678 HANGUP".
std::string FormatLineEvent(const LineEvent& event);

// Upper-case hex, one space between bytes: "EF EF 02 0B EB".
std::string HexBytes(const std::vector<std::uint8_t>& bytes);

}  // namespace simulator

#endif
