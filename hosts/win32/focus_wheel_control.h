// A control that takes the mouse wheel only while it has the keyboard focus. Windows 10 and later
// send the wheel to the window under the pointer, whatever has the focus: a wheel turned while
// the pointer merely passes over the slider would move the drive current at the next poll, and
// one over the port list would change the port OpenPort opens.
#ifndef DRIVERPANEL_HOSTS_WIN32_FOCUS_WHEEL_CONTROL_H
#define DRIVERPANEL_HOSTS_WIN32_FOCUS_WHEEL_CONTROL_H

#include "hosts/win32/control.h"

class CFocusWheelControl : public CControl {
  public:
    // Binds the control and subclasses it and every window inside it (the extended combo box
    // keeps a combo box inside, which is what lies under the pointer). The subclasses live as long
    // as their windows.
    void Bind(HWND dialog, int controlId) override;

    // The subclass procedure: a wheel reaches the window only while the focus is on the control
    // or inside it; otherwise it is dropped.
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR subclassId, DWORD_PTR control);

  private:
    void Subclass(HWND window);
};

#endif
