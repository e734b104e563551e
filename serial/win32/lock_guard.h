// Holds a critical section for the length of a scope.
#ifndef DRIVERPANEL_SERIAL_WIN32_LOCK_GUARD_H
#define DRIVERPANEL_SERIAL_WIN32_LOCK_GUARD_H

#include <windows.h>

class LockGuard {
  public:
    explicit LockGuard(CRITICAL_SECTION& lock) : lock_(lock) { EnterCriticalSection(&lock_); }
    ~LockGuard() { LeaveCriticalSection(&lock_); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

  private:
    CRITICAL_SECTION& lock_;
};

#endif
