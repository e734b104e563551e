// A window class's message table: a static array binding a message, or a control's notification,
// to a member function. The dialog looks each incoming message up here before default processing.
#ifndef DRIVERPANEL_HOSTS_WIN32_MESSAGE_TABLE_H
#define DRIVERPANEL_HOSTS_WIN32_MESSAGE_TABLE_H

#include <windows.h>

#include <optional>
#include <span>

// A handler's answer: a result when it handled the message, nothing when the message should
// still get the window's default processing.
using HandlerResult = std::optional<LRESULT>;

template <class Window>
struct MessageEntry {
    UINT message;
    // For WM_COMMAND only: the control id and notification code to match; ignored otherwise.
    int controlId;
    WORD notification;
    HandlerResult (Window::*handler)(WPARAM, LPARAM);
};

template <class Window>
constexpr MessageEntry<Window> OnMessage(UINT message,
                                         HandlerResult (Window::*handler)(WPARAM, LPARAM)) {
    return {message, 0, 0, handler};
}

template <class Window>
constexpr MessageEntry<Window> OnCommand(int controlId, WORD notification,
                                         HandlerResult (Window::*handler)(WPARAM, LPARAM)) {
    return {WM_COMMAND, controlId, notification, handler};
}

// Runs the first entry that matches; nothing when none does.
template <class Window>
HandlerResult DispatchMessageTable(Window& window, std::span<const MessageEntry<Window>> table,
                                   UINT message, WPARAM wParam, LPARAM lParam) {
    for (const MessageEntry<Window>& entry : table) {
        if (entry.message != message) {
            continue;
        }
        if (message == WM_COMMAND &&
            (entry.controlId != LOWORD(wParam) || entry.notification != HIWORD(wParam))) {
            continue;
        }
        return (window.*entry.handler)(wParam, lParam);
    }
    return std::nullopt;
}

#endif
