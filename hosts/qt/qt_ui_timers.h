// The panel's timers by id on Qt, the blocking wait of the UI thread, and its monotonic clock.
#ifndef DRIVERPANEL_HOSTS_QT_QT_UI_TIMERS_H
#define DRIVERPANEL_HOSTS_QT_QT_UI_TIMERS_H

#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "panel/ui_timers.h"

class QtUiTimers : public UiTimers {
  public:
    // `onTick` runs on the UI thread with the id of the timer that fell due.
    explicit QtUiTimers(std::function<void(int timerId)> onTick);

    void StartTimer(int timerId, int periodMs) override;
    void StopTimer(int timerId) override;
    void Wait(int ms) override;
    std::int64_t NowMs() override;

    bool IsRunning(int timerId) const;

  private:
    std::function<void(int)> onTick_;
    std::map<int, std::unique_ptr<QTimer>> timers_;  // UI thread only
};

#endif
