// Timers kept as due times, the window's messages and the stop event in one
// MsgWaitForMultipleObjects.
#include "hosts/console/win32/console_loop.h"

#include <system_error>

namespace {

constexpr wchar_t kWindowClass[] = L"DriverPanelConsoleLoop";
// Posted to the window when a task waits for the loop's thread.
constexpr UINT kRunPostedMessage = WM_APP + 1;

}  // namespace

ConsoleLoop::ConsoleLoop(StopSignals& signals, std::function<void(int)> onTick)
    : signals_(signals), onTick_(std::move(onTick)), threadId_(GetCurrentThreadId()) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    // A second loop in the process finds the class already there.
    if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "RegisterClassEx");
    }
    window_ = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                              nullptr);
    if (window_ == nullptr) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "CreateWindowEx");
    }
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

ConsoleLoop::~ConsoleLoop() {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
}

void ConsoleLoop::StartTimer(int timerId, int periodMs) {
    timers_.Start(timerId, periodMs);
}

void ConsoleLoop::StopTimer(int timerId) {
    timers_.Stop(timerId);
}

void ConsoleLoop::Wait(int ms) {
    Sleep(static_cast<DWORD>(ms));
}

std::int64_t ConsoleLoop::NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
}

void ConsoleLoop::RunOnLoop(std::function<void()> task) {
    if (GetCurrentThreadId() == threadId_) {
        task();
        return;
    }
    {
        std::lock_guard<std::mutex> guard(postedLock_);
        posted_.push_back(std::move(task));
    }
    PostMessageW(window_, kRunPostedMessage, 0, 0);
}

void ConsoleLoop::RunPosted() {
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard<std::mutex> guard(postedLock_);
            if (posted_.empty()) {
                return;
            }
            task = std::move(posted_.front());
            posted_.pop_front();
        }
        task();
    }
}

LRESULT CALLBACK ConsoleLoop::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* loop = reinterpret_cast<ConsoleLoop*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (loop == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == kRunPostedMessage) {
        loop->RunPosted();
        return 0;
    }
    if (message >= WM_USER && message < WM_APP && loop->onMessage_) {
        loop->onMessage_(message, wParam, lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

ConsoleLoop::End ConsoleLoop::RunUntil(const std::function<bool()>& done,
                                       std::optional<Clock::time_point> deadline) {
    for (;;) {
        if (done()) {
            return End::kDone;
        }
        if (deadline && Clock::now() >= *deadline) {
            return End::kDeadline;
        }
        const std::optional<int> waitMs = timers_.WaitMs(deadline);
        const HANDLE stop = signals_.Event();
        // Wakes for a message the worker sends (a byte), one posted, or the stop event; a message
        // already in the queue counts too.
        const DWORD woke =
            MsgWaitForMultipleObjectsEx(1, &stop, waitMs ? static_cast<DWORD>(*waitMs) : INFINITE,
                                        QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_FAILED) {
            throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                    "MsgWaitForMultipleObjects");
        }
        if (woke == WAIT_OBJECT_0) {
            if (const int signal = signals_.Take(); signal != 0) {
                stopSignal_ = signal;
                return End::kStopSignal;
            }
        }
        // Sent messages (each byte from the worker) are handled inside PeekMessage.
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        timers_.RunDue(onTick_);
    }
}
