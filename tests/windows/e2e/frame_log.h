// The module simulator's frame log as the end-to-end tests read it: the frames it received from
// the panel, in order. A line reads "<seconds> RX <hex bytes> [notes]"; other lines are skipped.
#ifndef DRIVERPANEL_TESTS_WINDOWS_E2E_FRAME_LOG_H
#define DRIVERPANEL_TESTS_WINDOWS_E2E_FRAME_LOG_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using Frame = std::vector<std::uint8_t>;

// The frame a log line records as received, or nothing when it records none.
std::vector<std::uint8_t> ParseReceivedFrame(std::string_view line);

// Every received frame in the log file, in order; empty when the file cannot be read yet.
std::vector<Frame> ReadReceivedFrames(const std::string& path);

bool IsSetFrame(const Frame& frame);
int SetFrameValue(const Frame& frame);  // the 16-bit value of a set frame

// The received frames from index `from` on that start with the given request code.
std::size_t CountFrom(const std::vector<Frame>& frames, std::size_t from, std::uint8_t code);

#endif
