// The bounded first-in-first-out queue of frames to write.
#include "serial/frame_queue.h"

#include <utility>

void FrameQueue::Reset(std::size_t capacityBytes) {
    frames_.clear();
    capacityBytes_ = capacityBytes;
    queuedBytes_ = 0;
}

bool FrameQueue::Push(const std::uint8_t* bytes, std::size_t count) {
    if (bytes == nullptr || count == 0 || count > capacityBytes_) {
        return false;
    }
    while (queuedBytes_ + count > capacityBytes_) {
        queuedBytes_ -= frames_.front().size();
        frames_.pop_front();
    }
    frames_.emplace_back(bytes, bytes + count);
    queuedBytes_ += count;
    return true;
}

std::optional<FrameQueue::Frame> FrameQueue::Pop() {
    if (frames_.empty()) {
        return std::nullopt;
    }
    Frame frame = std::move(frames_.front());
    frames_.pop_front();
    queuedBytes_ -= frame.size();
    return frame;
}
