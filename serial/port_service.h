// The port contract: what the panel's logic asks of a port object, implemented directly by both
// platforms' CCommPort, and the probe that tells which ports exist.
#ifndef DRIVERPANEL_SERIAL_PORT_SERVICE_H
#define DRIVERPANEL_SERIAL_PORT_SERVICE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "serial/line_settings.h"
#include "serial/open_result.h"

class PortService {
  public:
    virtual ~PortService() = default;

    // Closes a port still open, then opens and configures port n (1 to 16). A configuration step
    // that fails is shown in the "Application Error" box, as always; the result says why the port
    // did not open for hosts that show no box.
    virtual OpenResult Setup(int portNumber, const LineSettings& settings) = 0;
    // Starts serving the open port: received bytes reach the owner and queued frames are written
    // from now on. On Windows a worker thread serves it; on Linux the owner's event loop does.
    virtual bool StartWorker() = 0;
    // Stops serving and closes the port, dropping unsent frames.
    virtual void Shutdown() = 0;
    // Sends a copy of the frame after the ones before it, whole.
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
