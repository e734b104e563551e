// The UI timers as the panel's logic uses them: the platform's timers, waits and clock, and the
// receive clock by which the reply assembler times the bytes of a reply.
#ifndef DRIVERPANEL_PANEL_PANEL_TIMERS_H
#define DRIVERPANEL_PANEL_PANEL_TIMERS_H

#include <cstdint>

#include "panel/ui_timers.h"

// Received bytes reach the panel only while the UI thread is free. While the panel blocks in its
// own Wait (100 or 200 ms between frames), the bytes that come meanwhile pile up and are handed
// over together when the wait ends; a reply that straddles the start of a wait would look cut
// short by the whole wait. So the receive clock stands still during the panel's own waits: a
// pause inside a reply counts only for the time the panel was free to take its bytes.
// Time the UI thread spends elsewhere (a message box, dispatching during Shutdown) still counts,
// since bytes keep being handed over then.
class PanelTimers final : public UiTimers {
  public:
    explicit PanelTimers(UiTimers& platform) : platform_(platform) {}

    void StartTimer(int timerId, int periodMs) override { platform_.StartTimer(timerId, periodMs); }
    void StopTimer(int timerId) override { platform_.StopTimer(timerId); }
    void Wait(int ms) override {
        const std::int64_t start = platform_.NowMs();
        platform_.Wait(ms);
        waitedMs_ += platform_.NowMs() - start;
    }
    std::int64_t NowMs() override { return platform_.NowMs(); }

    // The platform's clock less every wait above: when a received byte came, as far as the
    // panel can tell.
    std::int64_t ReceiveClockMs() { return platform_.NowMs() - waitedMs_; }

  private:
    UiTimers& platform_;
    std::int64_t waitedMs_ = 0;  // UI thread only, like the panel's logic
};

#endif
