// The program's static objects, the application object and the entry point.
#include "panel/win32/driver_panel_app.h"

#include <commctrl.h>

#include "panel/device_state.h"
#include "panel/win32/driver_panel_dlg.h"
#include "serial/win32/comm_port.h"

namespace {

// Program lifetime: built before the panel, destroyed after it. The port object's destructor
// stops a worker that still runs when the panel has closed and closes the port.
CCommPort commPort;
DeviceState deviceState;

CDriverPanelApp theApp;

}  // namespace

BOOL CDriverPanelApp::InitInstance() {
    // The extended combo box, the trackbar and the themed standard controls.
    INITCOMMONCONTROLSEX controls{sizeof(controls),
                                  ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_USEREX_CLASSES};
    InitCommonControlsEx(&controls);

    CDriverPanelDlg panel(commPort, deviceState);
    panel.DoModal();
    return FALSE;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    theApp.InitInstance();
    return 0;
}
