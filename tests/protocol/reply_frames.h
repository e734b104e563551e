// Test helpers: well-formed reply frames, and a plain reference of the receive rules that scans
// a whole recorded stream at once, written independently of the byte-at-a-time assembler.
#ifndef DRIVERPANEL_TESTS_PROTOCOL_REPLY_FRAMES_H
#define DRIVERPANEL_TESTS_PROTOCOL_REPLY_FRAMES_H

#include <cstdint>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// ED FA L type data... checksum, with L = data size + 2.
inline Bytes MakeReply(std::uint8_t type, const Bytes& data) {
    Bytes frame(data.size() + 5);
    frame[0] = 0xED;
    frame[1] = 0xFA;
    frame[2] = static_cast<std::uint8_t>(data.size() + 2);
    frame[3] = type;
    unsigned sum = 0xED + 0xFA + frame[2] + type;
    for (std::size_t i = 0; i < data.size(); ++i) {
        frame[4 + i] = data[i];
        sum += data[i];
    }
    frame.back() = static_cast<std::uint8_t>(sum);
    return frame;
}

// Every complete, correctly summed reply in the stream, in order. A header byte 0xED followed by
// anything but 0xFA loses both bytes; a length outside 2..97 loses all three; a frame with a
// wrong checksum is skipped whole.
inline std::vector<Bytes> ReferenceReplies(const Bytes& stream) {
    std::vector<Bytes> replies;
    std::size_t i = 0;
    while (i < stream.size()) {
        if (stream[i] != 0xED) {
            i += 1;
            continue;
        }
        if (i + 1 >= stream.size()) {
            break;
        }
        if (stream[i + 1] != 0xFA) {
            i += 2;
            continue;
        }
        if (i + 2 >= stream.size()) {
            break;
        }
        const std::size_t length = stream[i + 2];
        if (length < 2 || length > 97) {
            i += 3;
            continue;
        }
        const std::size_t end = i + length + 3;
        if (end > stream.size()) {
            break;
        }
        unsigned sum = 0;
        for (std::size_t k = i; k + 1 < end; ++k) {
            sum += stream[k];
        }
        if (sum % 256 == stream[end - 1]) {
            replies.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(i),
                                 stream.begin() + static_cast<std::ptrdiff_t>(end));
        }
        i = end;
    }
    return replies;
}

#endif
