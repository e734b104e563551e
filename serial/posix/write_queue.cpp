// Bounded first-in-first-out queue of whole frames.
#include "serial/posix/write_queue.h"

void WriteQueue::Reset(std::size_t capacityBytes) {
    frames_.clear();
    queuedBytes_ = 0;
    capacityBytes_ = capacityBytes;
}

bool WriteQueue::Push(const std::uint8_t* bytes, std::size_t count) {
    if (count == 0 || count > capacityBytes_) {
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

std::optional<WriteQueue::Frame> WriteQueue::Pop() {
    if (frames_.empty()) {
        return std::nullopt;
    }
    Frame frame = std::move(frames_.front());
    frames_.pop_front();
    queuedBytes_ -= frame.size();
    return frame;
}
