// A hidden window that owns the port object in tests: it records every WM_PORT_RXCHAR and can
// run a hook inside the handler, where the panel's reply assembler would run.
#ifndef DRIVERPANEL_TESTS_WINDOWS_OWNER_WINDOW_H
#define DRIVERPANEL_TESTS_WINDOWS_OWNER_WINDOW_H

#include <windows.h>

#include <functional>
#include <vector>

class OwnerWindow {
  public:
    OwnerWindow();
    ~OwnerWindow();
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;

    HWND Handle() const { return window_; }
    const std::vector<BYTE>& Bytes() const { return bytes_; }
    // The port numbers that came with the bytes (lParam), one per byte.
    const std::vector<LPARAM>& Ports() const { return ports_; }

    // The other port notifications, in arrival order, and the port numbers that came with them.
    const std::vector<UINT>& Notifications() const { return notifications_; }
    const std::vector<LPARAM>& NotificationPorts() const { return notificationPorts_; }

    // Runs inside the WM_PORT_RXCHAR handler, after the byte is recorded.
    std::function<void(BYTE)> onByte;

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    std::vector<BYTE> bytes_;
    std::vector<LPARAM> ports_;
    std::vector<UINT> notifications_;
    std::vector<LPARAM> notificationPorts_;
};

// Dispatches this thread's messages until done() holds or timeoutMs has passed; done()'s value.
bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs);

#endif
