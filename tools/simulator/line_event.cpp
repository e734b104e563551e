// The line log's text form.
#include "tools/simulator/line_event.h"

#include <cstdio>

namespace simulator {

std::string HexBytes(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::uint8_t b : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

std::string FormatLineEvent(const LineEvent& event) {
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(event.sinceStart);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%lld.%06lld",
                  static_cast<long long>(micros.count() / 1'000'000),
                  static_cast<long long>(micros.count() % 1'000'000));
    switch (event.direction) {
        case LineEvent::Direction::HangUp:
            return std::string(stamp) + " HANGUP";
        case LineEvent::Direction::Received:
            return std::string(stamp) + " RX " + HexBytes(event.bytes) + " " + event.verdict;
        case LineEvent::Direction::Sent:
            break;
    }
    return std::string(stamp) + " TX " + HexBytes(event.bytes) + " " + event.verdict;
}

}  // namespace simulator
