// A control of a dialog, bound to a member object by its id (the class library's data exchange).
#ifndef DRIVERPANEL_HOSTS_WIN32_CONTROL_H
#define DRIVERPANEL_HOSTS_WIN32_CONTROL_H

#include <windows.h>

class CControl {
  public:
    CControl() = default;
    virtual ~CControl() = default;
    CControl(const CControl&) = delete;
    CControl& operator=(const CControl&) = delete;

    // Binds this object to the control with the id in the dialog.
    virtual void Bind(HWND dialog, int controlId) { hwnd_ = GetDlgItem(dialog, controlId); }

    HWND Handle() const { return hwnd_; }
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const {
        return SendMessageW(hwnd_, message, wParam, lParam);
    }

  private:
    HWND hwnd_ = nullptr;  // UI thread only
};

#endif
