// The panel's message table, initialisation, pre-translation and minimised painting.
#include "hosts/win32/driver_panel_dlg.h"

#include <cstdint>

#include "hosts/win32/input_translation.h"
#include "resources/resource.h"
#include "serial/win32/port_notifications.h"

static_assert(kKeyReturn == VK_RETURN && kKeyEscape == VK_ESCAPE);

namespace {

// The system's notification that a device arrived or left, whatever its parameters.
constexpr UINT kDeviceChangeMessage = WM_DEVICECHANGE;
static_assert(kDeviceChangeMessage == 0x0219);

// The formatting rectangle of the current field sits this far below the client rectangle, so the
// single line of digits is centred in the taller box.
constexpr int kCurrentTextDropPixels = 4;

}  // namespace

const MessageEntry<CDriverPanelDlg> CDriverPanelDlg::kMessageTable[] = {
    ::OnMessage(WM_PAINT, &CDriverPanelDlg::OnPaint),
    ::OnMessage(WM_QUERYDRAGICON, &CDriverPanelDlg::OnQueryDragIcon),
    OnCommand(IDC_OPEN_PORT, BN_CLICKED, &CDriverPanelDlg::OnOpenPortClicked),
    OnCommand(IDC_SET, BN_CLICKED, &CDriverPanelDlg::OnSetClicked),
    ::OnMessage(WM_TIMER, &CDriverPanelDlg::OnTimer),
    OnCommand(IDC_STEP_DOWN, BN_CLICKED, &CDriverPanelDlg::OnStepDownClicked),
    OnCommand(IDC_STEP_UP, BN_CLICKED, &CDriverPanelDlg::OnStepUpClicked),
    ::OnMessage(WM_PORT_RXCHAR, &CDriverPanelDlg::OnPortRxChar),
    // The close box and the system menu's Close.
    OnCommand(IDCANCEL, BN_CLICKED, &CDriverPanelDlg::OnCancel),
    ::OnMessage(WM_ACTIVATE, &CDriverPanelDlg::OnActivate),
    ::OnMessage(WM_SYSCOMMAND, &CDriverPanelDlg::OnSysCommand),
};

CDriverPanelDlg::CDriverPanelDlg(CCommPort& port, DeviceState& state, std::wstring recordPath)
    : CModalDialog(IDD_PANEL_DIALOG, nullptr),
      icon_(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))),
      window_(*this, slider_, portList_),
      timers_(*this),
      port_(port),
      logic_(state, window_, timers_, port, portProbe_),
      trend_(logic_, timers_),
      recordPath_(std::move(recordPath)) {}

void CDriverPanelDlg::DoDataExchange() {
    current_.Bind(Handle(), IDC_CURRENT);
    slider_.Bind(Handle(), IDC_SLIDER);
    portList_.Bind(Handle(), IDC_PORT_LIST);
    openPort_.Bind(Handle(), IDC_OPEN_PORT);
}

BOOL CDriverPanelDlg::OnInitDialog() {
    DoDataExchange();
    // The port's worker notifies this window of what it receives.
    port_.SetOwner(Handle());
    SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));

    // The core fills the port list, sets the open button's text and enables the list.
    logic_.OnInitDialog();

    RECT text;
    GetClientRect(current_.Handle(), &text);
    OffsetRect(&text, 0, kCurrentTextDropPixels);
    current_.Send(EM_SETRECT, 0, reinterpret_cast<LPARAM>(&text));

    // The trend window is reached without a control in the panel's layout: Ctrl+T and the system
    // menu. A file that cannot be written is reported; the panel runs all the same.
    trend_.Attach(Handle());
    if (!recordPath_.empty()) {
        trend_.StartRecording(recordPath_);
    }
    return TRUE;
}

bool CDriverPanelDlg::PreTranslateMessage(const MSG& message) {
    if (trend_.PreTranslate(message)) {
        return true;
    }
    int controlId = message.hwnd == Handle() ? 0 : GetDlgCtrlID(message.hwnd);
    return logic_.PreTranslate(ToInputMessage(message.message, message.wParam, controlId));
}

bool CDriverPanelDlg::PreTranslateOther(MSG& message) {
    return trend_.PreTranslateOther(message);
}

HandlerResult CDriverPanelDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DispatchMessageTable<CDriverPanelDlg>(*this, kMessageTable, message, wParam, lParam);
}

void CDriverPanelDlg::BeforeDefaultProcessing(UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    if (message == kDeviceChangeMessage) {
        logic_.OnDeviceChange();
    }
}

HandlerResult CDriverPanelDlg::OnPaint(WPARAM, LPARAM) {
    if (!IsIconic(Handle())) {
        return std::nullopt;
    }
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Handle(), &paint);
    SendMessageW(Handle(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(Handle(), &client);
    int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon_);
    EndPaint(Handle(), &paint);
    return 0;
}

HandlerResult CDriverPanelDlg::OnQueryDragIcon(WPARAM, LPARAM) {
    return reinterpret_cast<LRESULT>(icon_);
}

HandlerResult CDriverPanelDlg::OnOpenPortClicked(WPARAM, LPARAM) {
    logic_.OnOpenClose();
    return 0;
}

HandlerResult CDriverPanelDlg::OnSetClicked(WPARAM, LPARAM) {
    logic_.Apply();
    return 0;
}

HandlerResult CDriverPanelDlg::OnTimer(WPARAM timerId, LPARAM) {
    logic_.OnTimer(static_cast<int>(timerId));
    return std::nullopt;  // the tick goes on to the default handling
}

HandlerResult CDriverPanelDlg::OnStepDownClicked(WPARAM, LPARAM) {
    logic_.StepDown();
    return 0;
}

HandlerResult CDriverPanelDlg::OnStepUpClicked(WPARAM, LPARAM) {
    logic_.StepUp();
    return 0;
}

HandlerResult CDriverPanelDlg::OnPortRxChar(WPARAM received, LPARAM portNumber) {
    logic_.OnPortByte(static_cast<std::uint8_t>(received), static_cast<int>(portNumber));
    return 0;
}

HandlerResult CDriverPanelDlg::OnCancel(WPARAM, LPARAM) {
    EndModal(IDCANCEL);
    return 0;
}

// Another window took activation: the port worker's "Application Error" box has no owner and
// takes it from the panel, and so does any other program.
HandlerResult CDriverPanelDlg::OnActivate(WPARAM state, LPARAM) {
    if (LOWORD(state) == WA_INACTIVE) {
        logic_.OnDeactivate();
    }
    return std::nullopt;  // the dialog still keeps its focus control as usual
}

HandlerResult CDriverPanelDlg::OnSysCommand(WPARAM command, LPARAM) {
    if (trend_.OnSysCommand(command)) {
        return 0;
    }
    return std::nullopt;
}
