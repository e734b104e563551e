// The console host's event loop on poll(): the panel's timers by id, the port's descriptor, and
// the stop signals, all handled on the one thread that runs the core.
// Waits in poll() without a timeout when nothing falls due, so an idle ldctl costs no CPU.
#ifndef DRIVERPANEL_HOSTS_CONSOLE_LINUX_CONSOLE_LOOP_H
#define DRIVERPANEL_HOSTS_CONSOLE_LINUX_CONSOLE_LOOP_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "hosts/console/linux/stop_signals.h"
#include "panel/timer_table.h"
#include "panel/ui_timers.h"

class ConsoleLoop : public UiTimers {
  public:
    using Clock = TimerTable::Clock;

    enum class End { kDone, kDeadline, kStopSignal };

    // `onTick` runs on the loop's thread with the id of the timer that fell due.
    ConsoleLoop(StopSignals& signals, std::function<void(int timerId)> onTick);

    void StartTimer(int timerId, int periodMs) override;
    void StopTimer(int timerId) override;
    // Sleeps: no tick, no descriptor and no signal is handled meanwhile, as on the panel.
    void Wait(int ms) override;
    std::int64_t NowMs() override;

    // From now on `onReady` runs on the loop's thread with what poll() reported whenever fd is
    // readable (or hung up) or writable, as asked; fd -1, or neither, watches nothing.
    void Watch(int fd, bool readable, bool writable, std::function<void(short revents)> onReady);

    // Handles timers and descriptors until `done` holds (asked before each wait), the deadline
    // passes, or a stop signal arrives (StopSignal() then names it).
    End RunUntil(const std::function<bool()>& done,
                 std::optional<Clock::time_point> deadline = std::nullopt);
    int StopSignal() const { return stopSignal_; }

  private:
    struct Watched {
        int fd = -1;
        short events = 0;
        std::function<void(short)> onReady;
    };

    StopSignals& signals_;
    std::function<void(int)> onTick_;
    TimerTable timers_;  // the loop's thread only
    Watched watched_;    // the loop's thread only, as is the rest
    int stopSignal_ = 0;
};

#endif
