// Timers kept as due times, one poll() over the wake-up descriptor and the watched ones.
#include "hosts/tango/core_loop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

CoreLoop::CoreLoop(std::function<void(int)> onTick) : onTick_(std::move(onTick)) {
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_ < 0) {
        throw std::system_error(errno, std::system_category(), "eventfd");
    }
}

CoreLoop::~CoreLoop() {
    close(wake_);
}

void CoreLoop::StartTimer(int timerId, int periodMs) {
    timers_.Start(timerId, periodMs);
}

void CoreLoop::StopTimer(int timerId) {
    timers_.Stop(timerId);
}

void CoreLoop::Wait(int ms) {
    timespec left{ms / 1000, (ms % 1000) * 1'000'000L};
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &left, &left) == EINTR) {
    }
}

std::int64_t CoreLoop::NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
}

void CoreLoop::Watch(int fd, std::function<void()> onReady) {
    watched_.push_back({fd, std::move(onReady)});
}

void CoreLoop::WatchPort(int fd, bool readable, bool writable, std::function<void(short)> onReady) {
    const short events = static_cast<short>((readable ? POLLIN : 0) | (writable ? POLLOUT : 0));
    port_ = pollfd{events == 0 ? -1 : fd, events, 0};
    onPortReady_ = std::move(onReady);
}

void CoreLoop::Post(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        posted_.push_back(std::move(task));
    }
    const std::uint64_t one = 1;
    // A full counter already wakes the loop, so a failed write loses nothing.
    (void)!write(wake_, &one, sizeof one);
}

void CoreLoop::RunPosted() {
    std::uint64_t count = 0;
    (void)!read(wake_, &count, sizeof count);
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (posted_.empty() || quit_) {
                return;
            }
            task = std::move(posted_.front());
            posted_.pop_front();
        }
        task();
    }
}

void CoreLoop::Run() {
    while (!quit_) {
        std::vector<pollfd> waits{{wake_, POLLIN, 0}};
        for (const Watched& w : watched_) {
            waits.push_back({w.fd, POLLIN, 0});
        }
        waits.push_back(port_);  // a negative descriptor is left out by poll()
        const int ready = poll(waits.data(), waits.size(), timers_.WaitMs().value_or(-1));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::system_error(errno, std::system_category(), "poll");
        }
        for (std::size_t i = 1; i + 1 < waits.size() && !quit_; ++i) {
            if (waits[i].revents != 0) {
                watched_[i - 1].onReady();
            }
        }
        if (waits.back().revents != 0 && onPortReady_ && !quit_) {
            // Copied: the handler may watch something else from inside.
            const std::function<void(short)> onReady = onPortReady_;
            onReady(waits.back().revents);
        }
        if (waits[0].revents != 0 && !quit_) {
            RunPosted();
        }
        if (!quit_) {
            timers_.RunDue(onTick_, [this] { return quit_; });
        }
    }
}
