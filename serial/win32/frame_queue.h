// The frames waiting for the port worker: first in, first out, bounded by the write-buffer size.
// Not synchronised itself; the port object guards it.
#ifndef DRIVERPANEL_SERIAL_WIN32_FRAME_QUEUE_H
#define DRIVERPANEL_SERIAL_WIN32_FRAME_QUEUE_H

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

    // Appends a whole frame. When the frames would exceed the capacity, the oldest unsent ones
    // give way: the newest state of the panel matters more than a stale request. A frame that
    // could never fit, or an empty one, is refused whole rather than sent cut short.
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
