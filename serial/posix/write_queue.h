// The frames waiting for the port worker: first in, first out, each frame kept whole. Bounded in
// bytes, so a line that cannot keep up never grows it without limit: when a new frame does not
// fit, the oldest unsent frames give way. Not thread-safe; the port object guards it.
#ifndef DRIVERPANEL_SERIAL_POSIX_WRITE_QUEUE_H
#define DRIVERPANEL_SERIAL_POSIX_WRITE_QUEUE_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

class WriteQueue {
  public:
    using Frame = std::vector<std::uint8_t>;

    // Empties the queue and sets how many bytes it may hold at once.
    void Reset(std::size_t capacityBytes);

    // Appends a copy of the frame. An empty frame, or one larger than the whole capacity, is
    // refused (false): sending part of a frame would put a frame on the line nobody meant.
    bool Push(const std::uint8_t* bytes, std::size_t count);

    std::optional<Frame> Pop();
    bool Empty() const { return frames_.empty(); }

  private:
    std::deque<Frame> frames_;
    std::size_t queuedBytes_ = 0;
    std::size_t capacityBytes_ = 0;
};

#endif
