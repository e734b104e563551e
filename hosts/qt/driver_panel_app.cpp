// The application object of the Linux panel.
#include "hosts/qt/driver_panel_app.h"

#include "hosts/qt/driver_panel_dlg.h"
#include "hosts/qt/panel_host.h"
#include "hosts/qt/trend_host.h"

CDriverPanelApp::CDriverPanelApp(int& argc, char** argv)
    : QApplication(argc, argv), host_(std::make_unique<PanelHost>()) {}

// The port object's destructor closes a port still open.
CDriverPanelApp::~CDriverPanelApp() = default;

int CDriverPanelApp::InitInstance() {
    CDriverPanelDlg panel(*host_);
    if (!recordPath_.isEmpty()) {
        // A file that cannot be written is reported; the panel runs all the same.
        panel.Trend().StartRecording(recordPath_);
    }
    panel.exec();
    return 0;
}
