// The panel's port services on Linux: the port object with the panel as its owner, and the
// port registry as the probe.
#ifndef DRIVERPANEL_SERIAL_POSIX_PORT_ADAPTERS_H
#define DRIVERPANEL_SERIAL_POSIX_PORT_ADAPTERS_H

#include "panel/port_service.h"
#include "serial/port_owner.h"
#include "serial/posix/comm_port.h"
#include "serial/posix/port_registry.h"

class CommPortService : public PortService {
  public:
    CommPortService(CCommPort& port, PortOwner& owner) : port_(port), owner_(owner) {}

    bool Setup(int portNumber, const LineSettings& settings) override {
        return port_.Setup(owner_, portNumber, settings);
    }
    bool StartWorker() override { return port_.StartWorker(); }
    void Shutdown() override { port_.Shutdown(); }
    void QueueWrite(const std::uint8_t* bytes, std::size_t count) override {
        port_.QueueWrite(bytes, count);
    }

  private:
    CCommPort& port_;
    PortOwner& owner_;
};

class RegistryProbe : public PortProbe {
  public:
    explicit RegistryProbe(PortRegistry& registry) : registry_(registry) {}

    std::optional<std::string> Probe(int portNumber) override {
        return registry_.Probe(portNumber);
    }

  private:
    PortRegistry& registry_;
};

#endif
