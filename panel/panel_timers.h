// The UI timers as the panel's logic uses them: the platform's timers, waits and clock, and the
// receive clock by which the reply assembler times the bytes of a reply.
#ifndef DRIVERPANEL_PANEL_PANEL_TIMERS_H
#define DRIVERPANEL_PANEL_PANEL_TIMERS_H

#include <algorithm>
#include <cstdint>
#include <limits>

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
        lastWaitEndMs_ = platform_.NowMs();
        waitedBeforeLastMs_ = waitedMs_;
        waitedMs_ += lastWaitEndMs_ - start;
    }
    std::int64_t NowMs() override { return platform_.NowMs(); }

    // The platform's clock less every wait above: when a received byte came, as far as the
    // panel can tell.
    std::int64_t ReceiveClockMs() { return platform_.NowMs() - waitedMs_; }

    // The same clock for a byte of a block read at readAtMs on the platform's clock, by a host
    // that reads on the UI thread: the block was read before or after each wait, never during
    // one. A block read before the last wait ended (one of its earlier bytes was handled by
    // something that waited) keeps the time it was read; the clock never goes back.
    std::int64_t ReceiveClockMs(std::int64_t readAtMs) {
        const std::int64_t waited = readAtMs >= lastWaitEndMs_ ? waitedMs_ : waitedBeforeLastMs_;
        lastStampedMs_ = std::max(lastStampedMs_, readAtMs - waited);
        return lastStampedMs_;
    }

  private:
    UiTimers& platform_;
    // UI thread only, like the panel's logic.
    std::int64_t waitedMs_ = 0;
    std::int64_t waitedBeforeLastMs_ = 0;  // waitedMs_ before the last wait
    std::int64_t lastWaitEndMs_ = std::numeric_limits<std::int64_t>::min();
    std::int64_t lastStampedMs_ =
        std::numeric_limits<std::int64_t>::min();  // the last ReceiveClockMs(readAtMs)
};

#endif
