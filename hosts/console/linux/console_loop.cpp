// Timers kept as due times, one poll() over the watched descriptors and the signals.
#include "hosts/console/linux/console_loop.h"

#include <poll.h>
#include <time.h>

#include <cerrno>
#include <system_error>

ConsoleLoop::ConsoleLoop(StopSignals& signals, std::function<void(int)> onTick)
    : signals_(signals), onTick_(std::move(onTick)) {}

void ConsoleLoop::StartTimer(int timerId, int periodMs) {
    timers_.Start(timerId, periodMs);
}

void ConsoleLoop::StopTimer(int timerId) {
    timers_.Stop(timerId);
}

void ConsoleLoop::Wait(int ms) {
    timespec left{ms / 1000, (ms % 1000) * 1'000'000L};
    // The stop signals are blocked, so only a debugger's stop can interrupt the sleep.
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &left, &left) == EINTR) {
    }
}

std::int64_t ConsoleLoop::NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
}

void ConsoleLoop::Watch(int fd, bool readable, bool writable, std::function<void(short)> onReady) {
    const short events = static_cast<short>((readable ? POLLIN : 0) | (writable ? POLLOUT : 0));
    watched_ = Watched{events == 0 ? -1 : fd, events, std::move(onReady)};
}

ConsoleLoop::End ConsoleLoop::RunUntil(const std::function<bool()>& done,
                                       std::optional<Clock::time_point> deadline) {
    for (;;) {
        if (done()) {
            return End::kDone;
        }
        if (deadline && Clock::now() >= *deadline) {
            return End::kDeadline;
        }
        // A negative descriptor is left out by poll().
        pollfd waits[] = {{signals_.Fd(), POLLIN, 0}, {watched_.fd, watched_.events, 0}};
        const int ready = poll(waits, 2, timers_.WaitMs(deadline).value_or(-1));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::system_error(errno, std::system_category(), "poll");
        }
        if (waits[0].revents != 0) {
            if (const int signal = signals_.Take(); signal != 0) {
                stopSignal_ = signal;
                return End::kStopSignal;
            }
        }
        if (waits[1].revents != 0 && watched_.onReady) {
            // Copied: the handler may watch something else from inside.
            const std::function<void(short)> onReady = watched_.onReady;
            onReady(waits[1].revents);
        }
        timers_.RunDue(onTick_);
    }
}
