// The panel's timers for a host that runs its own poll() loop (the console, the control-system
// server): periodic timers by id on the steady clock, and the moment the loop must wake for the
// next one. The loop's thread only.
#ifndef DRIVERPANEL_PANEL_TIMER_TABLE_H
#define DRIVERPANEL_PANEL_TIMER_TABLE_H

#include <chrono>
#include <functional>
#include <map>
#include <optional>

class TimerTable {
  public:
    using Clock = std::chrono::steady_clock;

    // Starts a timer, or restarts a running one from now.
    void Start(int timerId, int periodMs);
    void Stop(int timerId);
    std::optional<Clock::time_point> NextDue() const;
    // How long the loop may wait before the next timer falls due or `deadline` passes, whichever
    // comes first: whole milliseconds, rounded up so a timer is never handled a little early;
    // none when neither lies ahead (wait without a timeout).
    std::optional<int> WaitMs(std::optional<Clock::time_point> deadline = std::nullopt) const;

    // Each timer due now ticks once. A tick may start and stop timers (its own included), so
    // the due ones are picked first and each is looked up again before it ticks. A timer that
    // fell behind (a long wait in a tick) skips the ticks it missed instead of catching up in a
    // burst. Stops early once `stop` says so after a tick.
    void RunDue(
        const std::function<void(int)>& tick,
        const std::function<bool()>& stop = [] { return false; });

  private:
    struct Timer {
        std::chrono::milliseconds period;
        Clock::time_point due;
    };
    std::map<int, Timer> timers_;
};

#endif
