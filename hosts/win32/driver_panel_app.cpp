// The program's static objects, the application object and the entry point.
#include "hosts/win32/driver_panel_app.h"

#include <commctrl.h>

#include "hosts/win32/command_line.h"
#include "hosts/win32/driver_panel_dlg.h"
#include "panel/device_state.h"
#include "serial/win32/comm_port.h"

namespace {

// Program lifetime: built before the panel, destroyed after it. The port's worker is stopped and
// the port closed once the panel has closed (the destructor would do it too).
CCommPort commPort;
DeviceState deviceState;

CDriverPanelApp theApp;

// The exit status of a close that found the port worker's box up: the operator's close, so the
// same as any other.
constexpr UINT kClosedWithBoxUp = 0;

}  // namespace

BOOL CDriverPanelApp::InitInstance() {
    // A misspelt option is told, not ignored: the operator would believe the readings recorded.
    const ParsedCommandLine command = ParseCommandLine(ProgramArguments());
    if (!command.problem.empty() || command.options.help) {
        const std::wstring text =
            command.problem.empty() ? kUsageText : command.problem + L"\n\n" + kUsageText;
        MessageBoxW(nullptr, text.c_str(), L"DriverPanel",
                    command.problem.empty() ? MB_OK | MB_ICONINFORMATION : MB_OK | MB_ICONWARNING);
        exitCode_ = command.problem.empty() ? 0 : kUsageStatus;
        return FALSE;
    }

    // The extended combo box, the trackbar and the themed standard controls.
    INITCOMMONCONTROLSEX controls{sizeof(controls),
                                  ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_USEREX_CLASSES};
    InitCommonControlsEx(&controls);

    CDriverPanelDlg panel(commPort, deviceState, command.options.recordPath);
    panel.DoModal();
    // The panel has gone. A worker showing its "Application Error" box (a port that went away)
    // would hold the program, and the port with it, until someone dismissed a box that outlives
    // its panel: the program ends at once instead, and the system closes the box and the port.
    if (!commPort.StopUnlessReporting()) {
        ExitProcess(kClosedWithBoxUp);
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    theApp.InitInstance();
    return theApp.ExitCode();
}
