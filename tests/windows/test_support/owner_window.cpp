// The test owner window and the message pump the tests wait with.
#include "tests/windows/test_support/owner_window.h"

#include "serial/win32/port_notifications.h"

namespace {

constexpr char kClassName[] = "DriverPanelTestOwner";

ATOM RegisterOwnerClass(WNDPROC procedure) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClassName;
    return RegisterClassA(&windowClass);
}

}  // namespace

OwnerWindow::OwnerWindow() {
    static const ATOM registered = RegisterOwnerClass(&OwnerWindow::Procedure);
    (void)registered;
    window_ = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

OwnerWindow::~OwnerWindow() {
    DestroyWindow(window_);
}

LRESULT CALLBACK OwnerWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<OwnerWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_PORT_RXCHAR && self != nullptr) {
        const BYTE byte = static_cast<BYTE>(wParam);
        self->bytes_.push_back(byte);
        self->ports_.push_back(lParam);
        if (self->onByte) {
            self->onByte(byte);
        }
        return 0;
    }
    if (self != nullptr &&
        (message == WM_PORT_BREAK || message == WM_PORT_CTS || message == WM_PORT_ERR ||
         message == WM_PORT_RING || message == WM_PORT_RXFLAG)) {
        self->notifications_.push_back(message);
        self->notificationPorts_.push_back(lParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done()) {
            return true;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                  static_cast<DWORD>(deadline - now < 20 ? deadline - now : 20),
                                  QS_ALLINPUT);
    }
}
