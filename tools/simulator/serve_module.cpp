// poll() on the line and the stop descriptor, with a timeout that ends when the next delayed
// reply byte falls due, so an idle module costs no CPU.
#include "tools/simulator/serve_module.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

namespace simulator {

namespace {

constexpr std::size_t kReadChunk = 256;
// How long a scheduled hang-up waits for the panel to read what was sent before it.
constexpr std::chrono::milliseconds kHangUpGrace{1000};

// Milliseconds until `due`, rounded up so the loop never wakes before it; -1 waits for ever.
int TimeoutUntil(const std::optional<SimTime>& due, SimTime now) {
    if (!due) {
        return -1;
    }
    if (*due <= now) {
        return 0;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - now).count();
    return wait > 60'000 ? 60'000 : static_cast<int>(wait);
}

ServeResult Failure(const char* what) {
    return {ServeResult::End::Failed, std::string(what) + ": " + std::strerror(errno)};
}

// Writes what the line takes now; the rest stays in `unsent`. Nothing when all is well.
std::optional<ServeResult> WriteOut(int fd, std::vector<std::uint8_t>& unsent) {
    while (!unsent.empty()) {
        const ssize_t written = ::write(fd, unsent.data(), unsent.size());
        if (written > 0) {
            unsent.erase(unsent.begin(), unsent.begin() + written);
        } else if (written < 0 && errno == EAGAIN) {
            break;
        } else if (written < 0 && (errno == EIO || errno == EPIPE)) {
            return ServeResult{ServeResult::End::PeerGone, {}};
        } else if (!(written < 0 && errno == EINTR)) {
            return Failure("write");
        }
    }
    return std::nullopt;
}

}  // namespace

ServeResult ServeModule(ModulePort& port, ModuleSimulator& simulator, int stopFd) {
    std::vector<std::uint8_t> unsent;  // due bytes the line has not taken yet
    for (;;) {
        SimTime now = SimClock::now();
        const std::vector<std::uint8_t> due = simulator.TakeDue(now);
        unsent.insert(unsent.end(), due.begin(), due.end());
        if (auto end = WriteOut(port.WriteFd(), unsent)) {
            return *end;
        }
        if (simulator.HungUp() && unsent.empty()) {
            port.WaitUntilTaken(kHangUpGrace);
            port.Close();
            return {ServeResult::End::HungUp, {}};
        }

        // The write descriptor is watched only while replies wait for room on the line.
        pollfd fds[3] = {
            {stopFd, POLLIN, 0}, {port.ReadFd(), POLLIN, 0}, {port.WriteFd(), POLLOUT, 0}};
        const nfds_t watched = unsent.empty() ? 2 : 3;
        if (::poll(fds, watched, TimeoutUntil(simulator.NextDue(), now)) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Failure("poll");
        }
        if (fds[0].revents != 0) {
            return {ServeResult::End::Stopped, {}};
        }
        if ((fds[1].revents | fds[2].revents) & POLLNVAL) {
            return {ServeResult::End::Failed, "poll: the line's descriptor is not open"};
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            std::uint8_t buffer[kReadChunk];
            const ssize_t got = ::read(port.ReadFd(), buffer, sizeof buffer);
            if (got > 0) {
                now = SimClock::now();
                simulator.Receive(std::span(buffer, static_cast<std::size_t>(got)), now);
            } else if (got == 0 || errno == EIO ||
                       (errno == EAGAIN && (fds[1].revents & (POLLHUP | POLLERR)))) {
                // The other end is gone. Deciding it here, rather than polling again, is what
                // keeps a dead line from spinning the loop.
                return {ServeResult::End::PeerGone, {}};
            } else if (errno != EAGAIN && errno != EINTR) {
                return Failure("read");
            }
        }
    }
}

}  // namespace simulator
