// The panel's long-lived parts.
#include "panel/qt/panel_host.h"

#include "serial/posix/virtual_port_dir.h"

PanelHost::PanelHost()
    : registry(),
      watcher(registry.VirtualDirectory()),
      port(registry),
      portService(port, owner),
      probe(registry) {}

PanelHost::PanelHost(PortRegistry::HardwareLister listHardware,
                     const std::string& virtualPortDirectory)
    : registry(std::move(listHardware), virtualPortDirectory),
      watcher(virtualPortDirectory),
      port(registry),
      portService(port, owner),
      probe(registry) {}

PanelHost::~PanelHost() {
    // Before the port object stops its worker: the worker must not wait on a panel that is gone.
    owner.Detach();
}
