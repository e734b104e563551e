// Watches for the port object's "Application Error" boxes while a test runs: keeps each box's
// text and presses OK, so the worker that showed it can go on.
#ifndef DRIVERPANEL_TESTS_WINDOWS_BOX_WATCHER_H
#define DRIVERPANEL_TESTS_WINDOWS_BOX_WATCHER_H

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class BoxWatcher {
  public:
    BoxWatcher();
    ~BoxWatcher();
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;

    std::vector<std::string> Texts() const;
    // Waits until at least count boxes have been seen, or timeoutMs has passed.
    bool WaitForBoxes(std::size_t count, DWORD timeoutMs) const;
    // Waits until at least count boxes have been seen and closed again, or timeoutMs has passed.
    // (Under Wine without a window manager a box takes a while to go after its OK.)
    bool WaitForClosedBoxes(std::size_t count, DWORD timeoutMs) const;

  private:
    void Watch();
    bool WaitFor(const std::atomic<std::size_t>& counter, std::size_t count, DWORD timeoutMs) const;

    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> texts_;  // guarded by mutex_
    std::atomic<std::size_t> seen_{0};
    std::atomic<std::size_t> closed_{0};
    std::thread thread_;
};

#endif
