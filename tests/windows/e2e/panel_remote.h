// Drives the running panel from another process, as an operator would: finds it by its title,
// clicks and types with posted messages (so they pass the panel's own loop and pre-translation),
// holds the mouse button with real input, and reads what its controls show.
#ifndef DRIVERPANEL_TESTS_WINDOWS_E2E_PANEL_REMOTE_H
#define DRIVERPANEL_TESTS_WINDOWS_E2E_PANEL_REMOTE_H

#include <windows.h>

#include <string>
#include <vector>

class PanelRemote {
  public:
    // The panel's top-level window; null when it does not exist.
    static HWND FindPanel();

    explicit PanelRemote(HWND panel);
    ~PanelRemote();
    PanelRemote(const PanelRemote&) = delete;
    PanelRemote& operator=(const PanelRemote&) = delete;

    HWND Panel() const { return panel_; }
    HWND Control(int controlId) const { return GetDlgItem(panel_, controlId); }

    std::string Text(int controlId) const;
    // A window's text as the window holds it, converted to UTF-8.
    std::string Utf8Text(HWND window) const;
    // The panel's controls in tab order.
    std::vector<HWND> Controls() const;
    bool IsEnabled(int controlId) const;

    // A left click: button down, then up, over the control, as posted messages.
    void Click(int controlId) const;
    // The mouse's own left button held down over the control, then released there: real input
    // (SendInput), so the system's button state follows it as the panel's repeat checks.
    void HoldLeftButton(int controlId) const;
    void ReleaseHeldLeftButton() const;
    // A real click on the control (SendInput): the panel becomes the foreground window and the
    // control takes the focus as the operator's click gives it.
    void ClickWithMouse(int controlId) const;
    // Real keystrokes (SendInput) to whatever has the focus: characters, and a virtual key
    // pressed and released `times` times.
    static void TypeKeys(const std::wstring& characters);
    static void PressRealKey(WORD virtualKey, int times = 1);
    // Characters as typed keys, and a key press, sent to the control.
    void Type(int controlId, const std::wstring& characters) const;
    void PressKey(int controlId, WPARAM virtualKey) const;
    void ClearText(int controlId) const;
    // The control's whole text at once, as the panel itself writes it.
    void SetText(int controlId, const std::string& text) const;

    // A message box of the panel's process with this title; null when none is shown.
    static HWND FindBox(const char* title);
    // Presses the box's OK button.
    static void PressOk(HWND box);

    int SliderPosition() const;
    int SliderMaximum() const;
    int SliderTickCount() const;  // the trackbar's tick marks, both ends included

    std::vector<std::string> PortListItems() const;
    int SelectedPortItem() const;
    void SelectPortItem(int index) const;

    // The system's device-change notification, sent as the system sends it. Returns when the
    // panel answers, which may be before it has finished with it (the port object answers
    // pending senders while it stops its worker); false when it did not answer in time.
    bool SendDeviceChange() const;
    void Close() const;

  private:
    LRESULT SendTo(int controlId, UINT message, WPARAM wParam, LPARAM lParam) const;

    HWND panel_;
    HANDLE process_;  // the panel's process, for the combo box items' text
};

#endif
