// The core's port object and port probe on Windows: the one CCommPort, owned by the panel window,
// and the probe of \\.\COMn.
#ifndef DRIVERPANEL_PANEL_WIN32_WIN32_PORT_SERVICE_H
#define DRIVERPANEL_PANEL_WIN32_WIN32_PORT_SERVICE_H

#include "panel/port_service.h"
#include "panel/win32/modal_dialog.h"
#include "serial/win32/comm_port.h"

class Win32PortService : public PortService {
  public:
    // The panel dialog becomes the port's owner window at each Setup.
    Win32PortService(CCommPort& port, const CModalDialog& owner) : port_(port), owner_(owner) {}

    bool Setup(int portNumber, const LineSettings& settings) override;
    bool StartWorker() override;
    void Shutdown() override;
    void QueueWrite(const std::uint8_t* bytes, std::size_t count) override;

  private:
    CCommPort& port_;
    const CModalDialog& owner_;
};

class Win32PortProbe : public PortProbe {
  public:
    std::optional<std::string> Probe(int portNumber) override;
};

#endif
