// What the panel window works with and what outlives it: the device state, the numbering of
// present ports (also the panel's probe), the hot-plug watcher, the port owner and the one port
// object. The port object is closed last, when the program ends, as on Windows.
#ifndef DRIVERPANEL_HOSTS_QT_PANEL_HOST_H
#define DRIVERPANEL_HOSTS_QT_PANEL_HOST_H

#include <string>

#include "hosts/qt/panel_port_owner.h"
#include "panel/device_state.h"
#include "serial/linux/comm_port.h"
#include "serial/linux/device_watcher.h"
#include "serial/linux/port_registry.h"

class PanelHost {
  public:
    // The machine's serial ports and virtual-port directory. Build after the application object.
    PanelHost();
    // Only the ports a lister names and the links in one directory (for tests).
    PanelHost(PortRegistry::HardwareLister listHardware, const std::string& virtualPortDirectory);
    ~PanelHost();
    PanelHost(const PanelHost&) = delete;
    PanelHost& operator=(const PanelHost&) = delete;

    // Members in construction order; each is used only by the ones after it and by the panel.
    DeviceState state;
    PortRegistry registry;
    DeviceWatcher watcher;
    PanelPortOwner owner;
    CCommPort port;
};

#endif
