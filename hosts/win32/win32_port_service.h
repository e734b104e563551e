// The core's port probe on Windows: a present port is one whose \\.\COMn answers, listed as
// "COMn". The port object itself is the core's port service directly.
#ifndef DRIVERPANEL_HOSTS_WIN32_WIN32_PORT_SERVICE_H
#define DRIVERPANEL_HOSTS_WIN32_WIN32_PORT_SERVICE_H

#include "serial/port_service.h"

class Win32PortProbe : public PortProbe {
  public:
    std::optional<std::string> Probe(int portNumber) override;
};

#endif
