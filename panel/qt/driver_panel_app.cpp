// The application object of the Linux panel.
#include "panel/qt/driver_panel_app.h"

#include "panel/qt/driver_panel_dlg.h"
#include "panel/qt/panel_host.h"

CDriverPanelApp::CDriverPanelApp(int& argc, char** argv)
    : QApplication(argc, argv), host_(std::make_unique<PanelHost>()) {}

// The port object's destructor closes a port still open.
CDriverPanelApp::~CDriverPanelApp() = default;

int CDriverPanelApp::InitInstance() {
    CDriverPanelDlg panel(*host_);
    panel.exec();
    return 0;
}
