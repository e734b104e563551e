// The bytes the receive-path benches feed: a polled module's replies (temperature and power),
// long enough to be fed many times over, so every byte's expected value is known.
#ifndef DRIVERPANEL_BENCH_REPLY_STREAM_H
#define DRIVERPANEL_BENCH_REPLY_STREAM_H

#include <cstdint>
#include <vector>

#include "tests/protocol/reply_frames.h"

// The replies one by one; fed in a loop, the frame after the last is the first again.
inline std::vector<Bytes> ReplyFrames() {
    std::vector<Bytes> frames;
    for (std::uint8_t i = 0; i < 200; ++i) {
        frames.push_back(MakeReply(0x0B, {0x09, i, 0x0A, 0x28}));
        frames.push_back(MakeReply(0x22, {0x01, i}));
    }
    return frames;
}

// The same replies as one stream of bytes.
inline std::vector<std::uint8_t> ReplyStream() {
    std::vector<std::uint8_t> stream;
    for (const Bytes& reply : ReplyFrames()) {
        stream.insert(stream.end(), reply.begin(), reply.end());
    }
    return stream;
}

#endif
