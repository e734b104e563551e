// Window timers without a callback, Sleep, and the 64-bit tick count (it never wraps).
#include "hosts/win32/win32_ui_timers.h"

void Win32UiTimers::StartTimer(int timerId, int periodMs) {
    SetTimer(dialog_.Handle(), static_cast<UINT_PTR>(timerId), static_cast<UINT>(periodMs),
             nullptr);
}

void Win32UiTimers::StopTimer(int timerId) {
    KillTimer(dialog_.Handle(), static_cast<UINT_PTR>(timerId));
}

void Win32UiTimers::Wait(int ms) {
    Sleep(static_cast<DWORD>(ms));
}

std::int64_t Win32UiTimers::NowMs() {
    return static_cast<std::int64_t>(GetTickCount64());
}
