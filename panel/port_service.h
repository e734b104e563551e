// The port object as the panel's logic uses it, and the probe that tells which ports exist.
#ifndef DRIVERPANEL_PANEL_PORT_SERVICE_H
#define DRIVERPANEL_PANEL_PORT_SERVICE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "serial/line_settings.h"

class PortService {
  public:
    virtual ~PortService() = default;

    // Opens and configures port n (1 to 16); false when it could not be opened or configured.
    virtual bool Setup(int portNumber, const LineSettings& settings) = 0;
    virtual bool StartWorker() = 0;
    // Stops the worker and closes the port; the owner's messages keep flowing while it waits.
    virtual void Shutdown() = 0;
    virtual void QueueWrite(const std::uint8_t* bytes, std::size_t count) = 0;
};

class PortProbe {
  public:
    virtual ~PortProbe() = default;

    // Whether port n (1 to 16) is present, without disturbing the device; its list text if so
    // ("COM3" on Windows, "ttyUSB0" on Linux).
    virtual std::optional<std::string> Probe(int portNumber) = 0;
};

#endif
