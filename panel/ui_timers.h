// Window timers by id and blocking waits, both on the UI thread.
#ifndef DRIVERPANEL_PANEL_UI_TIMERS_H
#define DRIVERPANEL_PANEL_UI_TIMERS_H

class UiTimers {
  public:
    virtual ~UiTimers() = default;

    // Ticks arrive on the UI thread as PanelLogic::OnTimer(timerId), only while the UI thread is
    // free. Starting a timer that already runs restarts its period.
    virtual void StartTimer(int timerId, int periodMs) = 0;
    virtual void StopTimer(int timerId) = 0;

    // Blocks the UI thread: no tick, no received byte and no input is handled meanwhile.
    virtual void Wait(int ms) = 0;
};

#endif
