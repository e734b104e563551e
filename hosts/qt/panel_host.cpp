// The panel's long-lived parts.
#include "hosts/qt/panel_host.h"

#include "serial/linux/virtual_port_dir.h"

PanelHost::PanelHost() : registry(), watcher(registry.VirtualDirectory()), port(registry, owner) {
    owner.Serve(port);
}

PanelHost::PanelHost(PortRegistry::HardwareLister listHardware,
                     const std::string& virtualPortDirectory)
    : registry(std::move(listHardware), virtualPortDirectory),
      watcher(virtualPortDirectory),
      port(registry, owner) {
    owner.Serve(port);
}

PanelHost::~PanelHost() {
    // Before the port object closes: nothing may reach a panel that is gone.
    owner.Detach();
}
