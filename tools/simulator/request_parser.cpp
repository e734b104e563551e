// Request framing with resynchronisation.
#include "tools/simulator/request_parser.h"

#include <algorithm>

#include "protocol/frame.h"

namespace simulator {

std::vector<ReceivedChunk> RequestParser::Feed(std::span<const std::uint8_t> bytes) {
    std::vector<ReceivedChunk> out;
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    Scan(out);
    FlushNoise(out);
    return out;
}

void RequestParser::Scan(std::vector<ReceivedChunk>& out) {
    std::size_t start = 0;
    auto skipOne = [&] {
        if (start >= reportedUntil_) {
            noise_.push_back(pending_[start]);
        }
        ++start;
    };
    while (start < pending_.size()) {
        const std::size_t available = pending_.size() - start;
        const std::uint8_t* head = pending_.data() + start;
        if (head[0] != kRequestHeader || (available >= 2 && head[1] != kRequestHeader)) {
            skipOne();
            continue;
        }
        if (available <= kLengthIndex) {
            break;
        }
        const std::uint8_t length = head[kLengthIndex];
        if (length < kMinRequestLength || length > kMaxRequestLength) {
            FlushNoise(out);
            out.push_back({ReceivedChunk::Kind::BadLength, {head, head + kLengthIndex + 1}});
            reportedUntil_ = std::max(reportedUntil_, start + kLengthIndex + 1);
            start += 1;  // the second EF may begin the real frame
            continue;
        }
        const std::size_t frameSize = std::size_t{length} + 3;
        if (available < frameSize) {
            break;
        }
        std::span<const std::uint8_t> frame(head, frameSize);
        FlushNoise(out);
        if (Checksum(frame.first(frameSize - 1)) == frame.back()) {
            out.push_back({ReceivedChunk::Kind::Frame, {frame.begin(), frame.end()}});
            start += frameSize;
        } else {
            out.push_back({ReceivedChunk::Kind::BadChecksum, {frame.begin(), frame.end()}});
            reportedUntil_ = std::max(reportedUntil_, start + frameSize);
            start += 1;
        }
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(start));
    reportedUntil_ = reportedUntil_ > start ? reportedUntil_ - start : 0;
}

void RequestParser::FlushNoise(std::vector<ReceivedChunk>& out) {
    if (!noise_.empty()) {
        out.push_back({ReceivedChunk::Kind::Noise, std::move(noise_)});
        noise_.clear();
    }
}

}  // namespace simulator
