// The panel: the dialog IDD_PANEL_DIALOG, its bound controls, and the routing of its messages
// onto the core. It decides nothing itself.
#ifndef DRIVERPANEL_HOSTS_WIN32_DRIVER_PANEL_DLG_H
#define DRIVERPANEL_HOSTS_WIN32_DRIVER_PANEL_DLG_H

#include "hosts/win32/control.h"
#include "hosts/win32/focus_wheel_control.h"
#include "hosts/win32/modal_dialog.h"
#include "hosts/win32/number_edit.h"
#include "hosts/win32/trend_host.h"
#include "hosts/win32/win32_panel_window.h"
#include "hosts/win32/win32_ui_timers.h"
#include "panel/device_state.h"
#include "panel/panel_logic.h"
#include "serial/win32/com_probe.h"
#include "serial/win32/comm_port.h"

class CDriverPanelDlg : public CModalDialog {
  public:
    // The program's one port object and device state, both with program lifetime; a recording
    // from the start to `recordPath` unless it is empty.
    CDriverPanelDlg(CCommPort& port, DeviceState& state, std::wstring recordPath = {});

  protected:
    BOOL OnInitDialog() override;
    bool PreTranslateMessage(const MSG& message) override;
    bool PreTranslateOther(MSG& message) override;
    HandlerResult OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void BeforeDefaultProcessing(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void DoDataExchange();

    HandlerResult OnPaint(WPARAM wParam, LPARAM lParam);
    HandlerResult OnQueryDragIcon(WPARAM wParam, LPARAM lParam);
    HandlerResult OnOpenPortClicked(WPARAM wParam, LPARAM lParam);
    HandlerResult OnSetClicked(WPARAM wParam, LPARAM lParam);
    HandlerResult OnTimer(WPARAM wParam, LPARAM lParam);
    HandlerResult OnStepDownClicked(WPARAM wParam, LPARAM lParam);
    HandlerResult OnStepUpClicked(WPARAM wParam, LPARAM lParam);
    HandlerResult OnPortRxChar(WPARAM wParam, LPARAM lParam);
    HandlerResult OnCancel(WPARAM wParam, LPARAM lParam);
    HandlerResult OnActivate(WPARAM wParam, LPARAM lParam);
    HandlerResult OnSysCommand(WPARAM wParam, LPARAM lParam);

    static const MessageEntry<CDriverPanelDlg> kMessageTable[];

    // Bound controls and the application icon; UI thread only.
    CNumberEdit current_;
    CFocusWheelControl slider_;
    CFocusWheelControl portList_;
    CControl openPort_;
    HICON icon_;

    Win32PanelWindow window_;
    Win32UiTimers timers_;
    CCommPort& port_;
    Win32PortProbe portProbe_;
    PanelLogic logic_;
    Win32TrendHost trend_;  // listens to logic_
    std::wstring recordPath_;
};

#endif
