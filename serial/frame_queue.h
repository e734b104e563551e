// The frames waiting for the port worker: first in, first out, each frame kept whole. Bounded in
// bytes by the write-buffer size, so a line that cannot keep up never grows it without limit.
// Not synchronised itself; the port object guards it.
#ifndef DRIVERPANEL_SERIAL_FRAME_QUEUE_H
#define DRIVERPANEL_SERIAL_FRAME_QUEUE_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

class FrameQueue {
  public:
    using Frame = std::vector<std::uint8_t>;

    // Empties the queue and bounds it to capacityBytes bytes of frames.
    void Reset(std::size_t capacityBytes);

    // Appends a copy of the whole frame. When the frames would exceed the capacity, the oldest
    // unsent ones give way: the newest state of the panel matters more than a stale request. An
    // empty or missing frame, or one that could never fit, is refused (false) whole: sending part
    // of a frame would put a frame on the line nobody meant.
    bool Push(const std::uint8_t* bytes, std::size_t count);

    // The oldest frame, removed from the queue; none when the queue is empty.
    std::optional<Frame> Pop();

    bool Empty() const { return frames_.empty(); }

  private:
    std::deque<Frame> frames_;
    std::size_t capacityBytes_ = 0;
    std::size_t queuedBytes_ = 0;
};

#endif
