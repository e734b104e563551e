// Reading the simulator's frame log.
#include "tests/windows/e2e/frame_log.h"

#include <cctype>
#include <fstream>
#include <sstream>

#include "protocol/frame.h"

namespace {

bool IsHexByte(const std::string& token) {
    return token.size() == 2 && std::isxdigit(static_cast<unsigned char>(token[0])) &&
           std::isxdigit(static_cast<unsigned char>(token[1]));
}

}  // namespace

std::vector<std::uint8_t> ParseReceivedFrame(std::string_view line) {
    std::istringstream tokens{std::string(line)};
    std::string token;
    bool received = false;
    while (tokens >> token) {
        if (token == "RX") {
            received = true;
            break;
        }
    }
    std::vector<std::uint8_t> bytes;
    while (received && tokens >> token && IsHexByte(token)) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(token, nullptr, 16)));
    }
    return bytes;
}

std::vector<Frame> ReadReceivedFrames(const std::string& path) {
    std::vector<Frame> frames;
    std::ifstream log(path);
    std::string line;
    while (std::getline(log, line)) {
        if (log.eof()) {
            break;  // a line still being written
        }
        Frame frame = ParseReceivedFrame(line);
        if (!frame.empty()) {
            frames.push_back(std::move(frame));
        }
    }
    return frames;
}

bool IsSetFrame(const Frame& frame) {
    return frame.size() == kSetFrameSize &&
           (frame[kCodeIndex] == CMD_SET_A || frame[kCodeIndex] == CMD_SET_B);
}

int SetFrameValue(const Frame& frame) {
    return ReadU16(frame, kDataIndex);
}

std::size_t CountFrom(const std::vector<Frame>& frames, std::size_t from, std::uint8_t code) {
    std::size_t count = 0;
    for (std::size_t i = from; i < frames.size(); ++i) {
        if (frames[i].size() > kCodeIndex && frames[i][kCodeIndex] == code) {
            ++count;
        }
    }
    return count;
}
