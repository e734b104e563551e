// The laser-diode driver panel on Linux.
#include "panel/qt/driver_panel_app.h"

int main(int argc, char** argv) {
    CDriverPanelApp app(argc, argv);
    return app.InitInstance();
}
