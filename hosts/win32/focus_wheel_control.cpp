// The wheel filter of the slider and the port list, installed as a subclass.
#include "hosts/win32/focus_wheel_control.h"

#include <commctrl.h>

namespace {

constexpr UINT_PTR kFocusWheelSubclassId = 2;

}  // namespace

void CFocusWheelControl::Bind(HWND dialog, int controlId) {
    CControl::Bind(dialog, controlId);
    Subclass(Handle());
}

void CFocusWheelControl::Subclass(HWND window) {
    SetWindowSubclass(window, &CFocusWheelControl::SubclassProc, kFocusWheelSubclassId,
                      reinterpret_cast<DWORD_PTR>(Handle()));
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        Subclass(child);
    }
}

LRESULT CALLBACK CFocusWheelControl::SubclassProc(HWND hwnd, UINT message, WPARAM wParam,
                                                  LPARAM lParam, UINT_PTR /*subclassId*/,
                                                  DWORD_PTR control) {
    if (message == WM_MOUSEWHEEL || message == WM_MOUSEHWHEEL) {
        const HWND bound = reinterpret_cast<HWND>(control);
        const HWND focus = GetFocus();
        if (focus != bound && !IsChild(bound, focus)) {
            return 0;
        }
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}
