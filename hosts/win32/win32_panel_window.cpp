// Win32 implementation of the panel's controls for the core.
#include "hosts/win32/win32_panel_window.h"

#include "resources/resource.h"

#include <commctrl.h>

#include <vector>

Win32PanelWindow::Win32PanelWindow(const CModalDialog& dialog, const CControl& slider,
                                   const CControl& portList)
    : dialog_(dialog), slider_(slider), portList_(portList) {}

// Selecting all is no edit, so a reply may rewrite the current field between Ctrl+A and the
// operator's first digit. A rewritten edit control drops its selection and puts the caret at
// the start, where that digit would join the value written ("4300"): a field all selected stays
// all selected, and a text that does not change is not rewritten at all (the field counts as
// written by the panel all the same, as after a rewrite).
void Win32PanelWindow::SetControlText(int controlId, const std::string& text) {
    const HWND control = dialog_.Control(controlId);
    if (ControlText(controlId) == text) {
        SendMessageA(control, EM_SETMODIFY, FALSE, 0);
        return;
    }
    DWORD start = 0;
    DWORD end = 0;
    SendMessageA(control, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    const bool allSelected = controlId == IDC_CURRENT && GetFocus() == control && start == 0 &&
                             end > 0 && end == static_cast<DWORD>(GetWindowTextLengthA(control));
    SetWindowTextA(control, text.c_str());
    if (allSelected) {
        SendMessageA(control, EM_SETSEL, 0, -1);
    }
}

std::string Win32PanelWindow::ControlText(int controlId) {
    HWND control = dialog_.Control(controlId);
    std::vector<char> text(static_cast<std::size_t>(GetWindowTextLengthA(control)) + 1, '\0');
    int length = GetWindowTextA(control, text.data(), static_cast<int>(text.size()));
    return std::string(text.data(), static_cast<std::size_t>(length > 0 ? length : 0));
}

void Win32PanelWindow::EnableControl(int controlId, bool enabled) {
    EnableWindow(dialog_.Control(controlId), enabled ? TRUE : FALSE);
}

void Win32PanelWindow::SetSliderRange(int minimum, int maximum) {
    // Separate minimum and maximum messages: TBM_SETRANGE packs both into 16-bit halves, which
    // would cut maxima above 32767 of the module's 16-bit range. Neither redraws.
    slider_.Send(TBM_SETRANGEMIN, FALSE, minimum);
    slider_.Send(TBM_SETRANGEMAX, FALSE, maximum);
}

void Win32PanelWindow::ClearSliderTicks() {
    slider_.Send(TBM_CLEARTICS, TRUE, 0);
}

void Win32PanelWindow::SetSliderTick(int position) {
    slider_.Send(TBM_SETTIC, 0, position);
}

void Win32PanelWindow::SetSliderPosition(int position) {
    slider_.Send(TBM_SETPOS, TRUE, position);
}

int Win32PanelWindow::SliderPosition() {
    return static_cast<int>(slider_.Send(TBM_GETPOS, 0, 0));
}

void Win32PanelWindow::ResetPortList() {
    portList_.Send(CB_RESETCONTENT, 0, 0);
}

void Win32PanelWindow::InsertPortItem(int index, const std::string& text) {
    // Text only: no image, no indent, no item data.
    COMBOBOXEXITEMA item{};
    item.mask = CBEIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(portList_.Handle(), CBEM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void Win32PanelWindow::SelectPortItem(int index) {
    portList_.Send(CB_SETCURSEL, index, 0);
}

int Win32PanelWindow::SelectedPortItem() {
    LRESULT selected = portList_.Send(CB_GETCURSEL, 0, 0);
    return selected == CB_ERR ? -1 : static_cast<int>(selected);
}

// The button as of the message being handled (a timer tick), from the thread's own input: a
// release that reached a box instead of the panel still shows here.
bool Win32PanelWindow::IsLeftButtonDown() {
    return GetKeyState(VK_LBUTTON) < 0;  // the high bit: down
}

// WM_SETTEXT clears the edit control's modification flag and only the operator's edits set it,
// so it says exactly whether the text is the operator's or the panel's.
bool Win32PanelWindow::IsEditingCurrent() {
    const HWND field = GetDlgItem(dialog_.Handle(), IDC_CURRENT);
    return GetFocus() == field && SendMessageA(field, EM_GETMODIFY, 0, 0) != 0;
}

void Win32PanelWindow::EndCurrentEdit() {
    SendDlgItemMessageA(dialog_.Handle(), IDC_CURRENT, EM_SETMODIFY, FALSE, 0);
}

// A disabled static control draws its text greyed and is reported unavailable to screen readers;
// it takes no input either way, so disabling it changes nothing else.
void Win32PanelWindow::SetReadingStale(int controlId, bool stale) {
    EnableWindow(dialog_.Control(controlId), stale ? FALSE : TRUE);
}

void Win32PanelWindow::ShowWarning(const std::string& text, const std::string& title) {
    MessageBoxA(dialog_.Handle(), text.c_str(), title.c_str(), MB_OK);
}
