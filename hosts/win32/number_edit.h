// The current field: an edit control, subclassed so that only the characters of a number reach it.
#ifndef DRIVERPANEL_HOSTS_WIN32_NUMBER_EDIT_H
#define DRIVERPANEL_HOSTS_WIN32_NUMBER_EDIT_H

#include "hosts/win32/control.h"

class CNumberEdit : public CControl {
  public:
    // Binds and subclasses the edit control. The subclass lives as long as the control: the
    // system removes it when the control is destroyed.
    void Bind(HWND dialog, int controlId) override;

  private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR subclassId, DWORD_PTR reference);
};

#endif
