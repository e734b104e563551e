// eventfd wrapped for the byte hand-off and the worker's requests to the UI thread.
#include "serial/posix/event_fd.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

EventFd::EventFd(Mode mode)
    : fd_(eventfd(0, EFD_CLOEXEC | (mode == Mode::NonBlocking ? EFD_NONBLOCK : 0))) {
    if (fd_ < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
}

EventFd::~EventFd() {
    close(fd_);
}

void EventFd::Signal() {
    const std::uint64_t one = 1;
    // Only fails when the counter would overflow, which a strict ping-pong never reaches.
    while (write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

bool EventFd::Take() {
    std::uint64_t count = 0;
    ssize_t n;
    do {
        n = read(fd_, &count, sizeof count);
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(sizeof count);
}
