// Window timers by id, blocking waits and a monotonic clock, all on the UI thread.
#ifndef DRIVERPANEL_PANEL_UI_TIMERS_H
#define DRIVERPANEL_PANEL_UI_TIMERS_H

#include <cstdint>

class UiTimers {
  public:
    virtual ~UiTimers() = default;

    // Ticks arrive on the UI thread as PanelLogic::OnTimer(timerId), only while the UI thread is
    // free. Starting a timer that already runs restarts its period.
    virtual void StartTimer(int timerId, int periodMs) = 0;
    virtual void StopTimer(int timerId) = 0;

    // Blocks the UI thread: no tick, no received byte and no input is handled meanwhile.
    virtual void Wait(int ms) = 0;

    // Milliseconds since some fixed moment; never goes back, also not when the wall clock is set.
    virtual std::int64_t NowMs() = 0;
};

#endif
