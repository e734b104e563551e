// The dialog base class: template, modal loop with pre-translation, and message routing.
#include "hosts/win32/modal_dialog.h"

CModalDialog::CModalDialog(UINT templateId, HWND parent)
    : templateId_(templateId), parent_(parent) {}

INT_PTR CModalDialog::DoModal() {
    // The wide-character dialog keeps the template's UTF-16 texts as they are, whatever the
    // system's code page.
    HWND hwnd =
        CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), parent_,
                           &CModalDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    if (hwnd == nullptr) {
        hwnd_ = nullptr;
        return -1;
    }
    running_ = true;
    MSG message;
    while (running_) {
        BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) {
            break;
        }
        if (got == 0) {
            // Someone asked the program to quit: end the run and leave the request for the caller.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (BelongsToDialog(message.hwnd) ? PreTranslateMessage(message)
                                          : PreTranslateOther(message)) {
            continue;
        }
        if (!IsDialogMessageW(hwnd_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    DestroyWindow(hwnd_);
    hwnd_ = nullptr;
    return modalResult_;
}

void CModalDialog::EndModal(INT_PTR result) {
    modalResult_ = result;
    running_ = false;
}

bool CModalDialog::BelongsToDialog(HWND target) const {
    return target != nullptr && (target == hwnd_ || IsChild(hwnd_, target));
}

INT_PTR CALLBACK CModalDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CModalDialog*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        dialog->hwnd_ = hwnd;
        return dialog->OnInitDialog();
    }
    auto* dialog = reinterpret_cast<CModalDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (dialog == nullptr) {
        return FALSE;  // messages before WM_INITDIALOG: the dialog manager's defaults
    }
    return dialog->Route(message, wParam, lParam);
}

INT_PTR CModalDialog::Route(UINT message, WPARAM wParam, LPARAM lParam) {
    HandlerResult handled = OnMessage(message, wParam, lParam);
    if (!handled) {
        BeforeDefaultProcessing(message, wParam, lParam);
        return FALSE;
    }
    // A few messages answer through the dialog procedure's return value itself; the rest
    // through the dialog's message result.
    switch (message) {
        case WM_QUERYDRAGICON:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
            return static_cast<INT_PTR>(*handled);
        default:
            SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, *handled);
            return TRUE;
    }
}
