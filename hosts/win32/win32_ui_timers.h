// The panel's timers as window timers of the dialog (ticks arrive as WM_TIMER), blocking waits
// on the UI thread, and the system's tick count as its monotonic clock.
#ifndef DRIVERPANEL_HOSTS_WIN32_WIN32_UI_TIMERS_H
#define DRIVERPANEL_HOSTS_WIN32_WIN32_UI_TIMERS_H

#include "hosts/win32/modal_dialog.h"
#include "panel/ui_timers.h"

class Win32UiTimers : public UiTimers {
  public:
    explicit Win32UiTimers(const CModalDialog& dialog) : dialog_(dialog) {}

    void StartTimer(int timerId, int periodMs) override;
    void StopTimer(int timerId) override;
    void Wait(int ms) override;
    std::int64_t NowMs() override;

  private:
    const CModalDialog& dialog_;
};

#endif
