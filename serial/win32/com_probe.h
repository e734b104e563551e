// Whether a COM port is present, asked without taking the port over.
#ifndef DRIVERPANEL_SERIAL_WIN32_COM_PROBE_H
#define DRIVERPANEL_SERIAL_WIN32_COM_PROBE_H

#include "serial/port_service.h"

// Opens "\\.\COMn" with no access rights and closes it at once: the open succeeds only when the
// driver knows the port, and without read or write rights it configures nothing.
bool ProbeComPort(int portNumber);

// The core's port probe on Windows: a present port is one whose \\.\COMn answers, listed as
// "COMn".
class Win32PortProbe : public PortProbe {
  public:
    std::optional<std::string> Probe(int portNumber) override;
};

#endif
