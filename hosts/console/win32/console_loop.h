// The console host's event loop on Windows: the panel's timers by id, a message-only window that
// the port's worker hands each received byte to, the stop event, and tasks posted from other
// threads, all handled on the one thread that runs the core. Waits in MsgWaitForMultipleObjects
// without a timeout when nothing falls due, so an idle ldctl costs no CPU.
#ifndef DRIVERPANEL_HOSTS_CONSOLE_WIN32_CONSOLE_LOOP_H
#define DRIVERPANEL_HOSTS_CONSOLE_WIN32_CONSOLE_LOOP_H

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

#include "hosts/console/win32/stop_signals.h"
#include "panel/timer_table.h"
#include "panel/ui_timers.h"

class ConsoleLoop : public UiTimers {
  public:
    using Clock = TimerTable::Clock;
    using MessageHandler = std::function<void(UINT message, WPARAM wParam, LPARAM lParam)>;

    enum class End { kDone, kDeadline, kStopSignal };

    // `onTick` runs on the loop's thread with the id of the timer that fell due. Throws
    // std::system_error when the window cannot be made.
    ConsoleLoop(StopSignals& signals, std::function<void(int timerId)> onTick);
    ~ConsoleLoop() override;
    ConsoleLoop(const ConsoleLoop&) = delete;
    ConsoleLoop& operator=(const ConsoleLoop&) = delete;

    void StartTimer(int timerId, int periodMs) override;
    void StopTimer(int timerId) override;
    // Sleeps: no tick, no byte and no stop request is handled meanwhile, as on the panel.
    void Wait(int ms) override;
    std::int64_t NowMs() override;

    // The window the port's worker sends its messages to; each reaches `onMessage` on the
    // loop's thread.
    HWND Window() const { return window_; }
    void OnMessage(MessageHandler onMessage) { onMessage_ = std::move(onMessage); }

    // Runs `task` on the loop's thread: now when called there, else at the loop's next turn.
    // Safe from any thread while the loop exists.
    void RunOnLoop(std::function<void()> task);

    // Handles timers, messages and tasks until `done` holds (asked before each wait), the
    // deadline passes, or a stop request arrives (StopSignal() then names it).
    End RunUntil(const std::function<bool()>& done,
                 std::optional<Clock::time_point> deadline = std::nullopt);
    int StopSignal() const { return stopSignal_; }

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void RunPosted();

    StopSignals& signals_;
    std::function<void(int)> onTick_;
    DWORD threadId_;
    HWND window_ = nullptr;
    MessageHandler onMessage_;
    TimerTable timers_;  // the loop's thread only, as is the rest but the posted tasks
    int stopSignal_ = 0;
    std::mutex postedLock_;
    std::deque<std::function<void()>> posted_;  // guarded by postedLock_
};

#endif
