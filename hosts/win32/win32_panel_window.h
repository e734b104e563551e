// The panel's controls as the core sees them, on the Win32 dialog: texts, enabling, the trackbar,
// the extended combo box and the "Warning!" box.
#ifndef DRIVERPANEL_HOSTS_WIN32_WIN32_PANEL_WINDOW_H
#define DRIVERPANEL_HOSTS_WIN32_WIN32_PANEL_WINDOW_H

#include "hosts/win32/control.h"
#include "hosts/win32/modal_dialog.h"
#include "panel/panel_window.h"

class Win32PanelWindow : public PanelWindow {
  public:
    // The dialog and its bound controls; their window handles are read at each call.
    Win32PanelWindow(const CModalDialog& dialog, const CControl& slider, const CControl& portList);

    void SetControlText(int controlId, const std::string& text) override;
    std::string ControlText(int controlId) override;
    void EnableControl(int controlId, bool enabled) override;

    void SetSliderRange(int minimum, int maximum) override;
    void ClearSliderTicks() override;
    void SetSliderTick(int position) override;
    void SetSliderPosition(int position) override;
    int SliderPosition() override;

    void ResetPortList() override;
    void InsertPortItem(int index, const std::string& text) override;
    void SelectPortItem(int index) override;
    int SelectedPortItem() override;

    bool IsLeftButtonDown() override;
    bool IsEditingCurrent() override;
    void EndCurrentEdit() override;
    void SetReadingStale(int controlId, bool stale) override;
    void ShowWarning(const std::string& text, const std::string& title) override;

  private:
    const CModalDialog& dialog_;
    const CControl& slider_;
    const CControl& portList_;
};

#endif
