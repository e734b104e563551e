// The device server's loop for one module: the panel's timers by id, the port's descriptor, the
// device watcher's, and requests handed over from Tango's threads, all
// handled on the one thread that runs the core. Sleeps in poll() when nothing falls due.
#ifndef DRIVERPANEL_HOSTS_TANGO_CORE_LOOP_H
#define DRIVERPANEL_HOSTS_TANGO_CORE_LOOP_H

#include <poll.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "panel/timer_table.h"
#include "panel/ui_timers.h"

class CoreLoop : public UiTimers {
  public:
    using Clock = TimerTable::Clock;

    // `onTick` runs on the loop's thread with the id of the timer that fell due.
    explicit CoreLoop(std::function<void(int timerId)> onTick);
    ~CoreLoop() override;
    CoreLoop(const CoreLoop&) = delete;
    CoreLoop& operator=(const CoreLoop&) = delete;

    void StartTimer(int timerId, int periodMs) override;
    void StopTimer(int timerId) override;
    // Sleeps: no tick, descriptor or request is handled meanwhile, as on the panel.
    void Wait(int ms) override;
    std::int64_t NowMs() override;

    // Loop's thread: `onReady` runs whenever fd is readable.
    void Watch(int fd, std::function<void()> onReady);
    // Loop's thread: from now on `onReady` runs with what poll() reported whenever the port's
    // descriptor is readable (or hung up) or writable, as asked; fd -1, or neither, watches
    // nothing. One port at a time: a call replaces the last.
    void WatchPort(int fd, bool readable, bool writable,
                   std::function<void(short revents)> onReady);

    // Any thread: `task` runs on the loop's thread, in the order posted. Tasks still waiting
    // when the loop ends are dropped unrun.
    void Post(std::function<void()> task);

    // Loop's thread: handles everything until Quit is called from a task or handler.
    void Run();
    void Quit() { quit_ = true; }

  private:
    struct Watched {
        int fd;
        std::function<void()> onReady;
    };

    void RunPosted();

    std::function<void(int)> onTick_;
    int wake_ = -1;      // eventfd signalled by Post
    TimerTable timers_;  // the loop's thread only
    std::vector<Watched> watched_;
    pollfd port_{-1, 0, 0};
    std::function<void(short)> onPortReady_;
    bool quit_ = false;

    std::mutex lock_;
    std::deque<std::function<void()>> posted_;  // guarded by lock_
};

#endif
