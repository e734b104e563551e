// Maps a Win32 keyboard or mouse message onto the panel's pre-translation input.
#ifndef DRIVERPANEL_HOSTS_WIN32_INPUT_TRANSLATION_H
#define DRIVERPANEL_HOSTS_WIN32_INPUT_TRANSLATION_H

#include <windows.h>

#include "panel/input_message.h"

// controlId: the id of the control the message is addressed to, 0 for the panel itself. The
// second press of a double-click (WM_LBUTTONDBLCLK) is not a button-down.
constexpr InputMessage ToInputMessage(UINT message, WPARAM wParam, int controlId) {
    switch (message) {
        case WM_KEYDOWN:
            return {InputKind::KeyDown, static_cast<int>(wParam), controlId};
        case WM_LBUTTONDOWN:
            return {InputKind::LeftButtonDown, 0, controlId};
        case WM_LBUTTONUP:
            return {InputKind::LeftButtonUp, 0, controlId};
        default:
            return {InputKind::Other, 0, controlId};
    }
}

#endif
