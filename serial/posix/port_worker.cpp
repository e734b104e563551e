// The worker thread of the port object: waits on the stop request, the port and the write queue
// (in that order of precedence), delivers received bytes a block at a time and writes queued
// frames.
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "protocol/frame.h"
#include "serial/port_error.h"
#include "serial/posix/comm_port.h"

namespace {

// Errors with which a port that went away (adapter pulled, far end of a pty closed) fails reads
// and writes. They are a hang-up, not a fault to report.
bool IsHangUpError(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EPIPE;
}

constexpr short kHangUpEvents = POLLHUP | POLLERR | POLLNVAL;

}  // namespace

void CCommPort::RunWorker() {
    pthread_setname_np(pthread_self(), "port-worker");
    const int fd = port_.Get();
    bool hungUp = false;
    // Bytes read since a frame was found waiting. The frame lets a reply it found arriving be read
    // whole before the write's purge, but waits for at most one reply's worth, so a line that
    // never falls quiet still lets it out.
    std::size_t readWhileFrameWaits = 0;
    for (;;) {
        const bool framesWaiting = !hungUp && HasQueuedFrames();
        // After a hang-up only the stop request is watched: the port would report its hang-up on
        // every poll, and the owner has already been told.
        pollfd waits[] = {{stopEvent_.Get(), POLLIN, 0},
                          {hungUp ? -1 : fd, POLLIN, 0},
                          {hungUp ? -1 : writeEvent_.Get(), POLLIN, 0}};
        if (poll(waits, 3, framesWaiting ? 0 : -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            // The port can no longer be waited on; one box, then it is treated like a hang-up
            // so the owner closes it instead of the worker repeating the failure.
            ReportError(kOpWaitCommEvent, errno);
            hungUp = true;
            owner_->PortHungUp(portNumber_);
            continue;
        }
        if (waits[0].revents != 0) {
            break;
        }
        LinkState link = LinkState::kUp;
        std::size_t received = 0;
        if (waits[1].revents != 0) {
            link = ReceivePending(waits[1].revents, received);
        }
        if (waits[2].revents != 0) {
            eventfd_t ignored = 0;
            eventfd_read(writeEvent_.Get(), &ignored);
        }
        readWhileFrameWaits = HasQueuedFrames() ? readWhileFrameWaits + received : 0;
        const bool replyArriving = received != 0 && readWhileFrameWaits < kMaxReplyBytes;
        if (link == LinkState::kUp && !replyArriving && !StopRequested()) {
            link = SendPending();
            readWhileFrameWaits = 0;
        }
        if (link == LinkState::kHungUp && !hungUp) {
            hungUp = true;
            owner_->PortHungUp(portNumber_);
        }
    }

    {
        std::lock_guard<std::mutex> lock(aliveLock_);
        workerAlive_ = false;
    }
    aliveChanged_.notify_all();
}

// Reads one block of the waiting bytes and delivers it; the delivery returns only once the owner
// has handled every byte of it. One block a turn: a port that never stops sending must not keep
// a queued frame from being written, so the worker goes back to its queue after each block.
CCommPort::LinkState CCommPort::ReceivePending(short portEvents, std::size_t& received) {
    // The block stays here, on the worker's stack, until the owner has handled it.
    std::array<std::uint8_t, kReceiveBlockSize> block;
    for (;;) {
        if (StopRequested()) {
            return LinkState::kUp;
        }
        const ssize_t count = read(port_.Get(), block.data(), block.size());
        if (count > 0) {
            received = static_cast<std::size_t>(count);
            owner_->DeliverBytes(
                std::span<const std::uint8_t>(block.data(), static_cast<std::size_t>(count)),
                portNumber_);
            // A hang-up reported with these bytes is acted on at a later turn, once every byte
            // received before it has been delivered.
            return LinkState::kUp;
        }
        if (count == 0) {
            return LinkState::kHungUp;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN) {
            // Nothing left to read: a hang-up reported with the bytes is acted on now that
            // every byte received before it has been delivered.
            return (portEvents & kHangUpEvents) != 0 ? LinkState::kHungUp : LinkState::kUp;
        }
        if (IsHangUpError(errno)) {
            return LinkState::kHungUp;
        }
        // A failed read delivers nothing: only received bytes reach the owner.
        ReportError(kOpReadFile, errno);
        return LinkState::kUp;
    }
}

// Writes the oldest queued frame whole and waits until it has left the port. Every frame starts
// a fresh exchange, so what is left of a reply to an earlier frame is dropped first. Only input is
// purged: after the drain the output queue is empty anyway, and on a pty flushing output would
// also discard frames the far end has not read yet.
CCommPort::LinkState CCommPort::SendPending() {
    std::optional<FrameQueue::Frame> frame;
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        frame = writeQueue_.Pop();
    }
    if (!frame) {
        return LinkState::kUp;
    }
    const int fd = port_.Get();
    tcflush(fd, TCIFLUSH);
    std::size_t sent = 0;
    while (sent < frame->size()) {
        const ssize_t count = write(fd, frame->data() + sent, frame->size() - sent);
        if (count > 0) {
            sent += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count == 0 || errno == EAGAIN) {
            if (!WaitWritable()) {
                return LinkState::kUp;
            }
            continue;
        }
        if (IsHangUpError(errno)) {
            return LinkState::kHungUp;
        }
        ReportError(kOpWriteFile, errno);
        return LinkState::kUp;
    }
    while (tcdrain(fd) != 0) {
        if (errno == EINTR) {
            continue;
        }
        if (IsHangUpError(errno)) {
            return LinkState::kHungUp;
        }
        ReportError(kOpWriteResult, errno);
        break;
    }
    return LinkState::kUp;
}

// Waits until the port takes more output or reports a hang-up (true), or until a stop is
// requested or the wait itself failed (false: the frame is abandoned). Only a far end that stops
// reading (a pty) fills the output buffer; a UART without handshake always drains.
bool CCommPort::WaitWritable() {
    pollfd waits[] = {{stopEvent_.Get(), POLLIN, 0}, {port_.Get(), POLLOUT, 0}};
    while (poll(waits, 2, -1) < 0) {
        if (errno != EINTR) {
            ReportError(kOpWriteResult, errno);
            return false;
        }
    }
    return waits[0].revents == 0;
}

bool CCommPort::StopRequested() const {
    pollfd stop = {stopEvent_.Get(), POLLIN, 0};
    return poll(&stop, 1, 0) > 0;
}

bool CCommPort::HasQueuedFrames() {
    std::lock_guard<std::mutex> lock(queueLock_);
    return !writeQueue_.Empty();
}
