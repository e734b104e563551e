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

  private:
    void Watch();

    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> texts_;  // guarded by mutex_
    std::thread thread_;
};

#endif
