// The current field's character filter, installed as a subclass of the edit control.
#include "hosts/win32/number_edit.h"

#include <commctrl.h>

#include <string>

#include "panel/number_filter.h"

namespace {

constexpr UINT_PTR kNumberEditSubclassId = 1;

std::string WindowText(HWND hwnd) {
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace

void CNumberEdit::Bind(HWND dialog, int controlId) {
    CControl::Bind(dialog, controlId);
    SetWindowSubclass(Handle(), &CNumberEdit::SubclassProc, kNumberEditSubclassId, 0);
}

LRESULT CALLBACK CNumberEdit::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR /*subclassId*/, DWORD_PTR /*reference*/) {
    if (message == WM_CHAR &&
        !NumberFieldAccepts(static_cast<char32_t>(wParam), WindowText(hwnd))) {
        return 0;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}
