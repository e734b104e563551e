// Which serial ports are present and under which number (1 to 16) the panel knows them. A port
// keeps the number it was first given for as long as the program runs, so a port that leaves
// and comes back is the same port to the panel; numbers are never handed to another port.
#ifndef DRIVERPANEL_SERIAL_POSIX_PORT_REGISTRY_H
#define DRIVERPANEL_SERIAL_POSIX_PORT_REGISTRY_H

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "serial/posix/hardware_ports.h"

class PortRegistry {
  public:
    static constexpr int kMaxPorts = 16;

    using HardwareLister = std::function<std::vector<HardwarePort>()>;

    // Hardware ports from udev, virtual ports from VirtualPortDirectory().
    PortRegistry();
    PortRegistry(HardwareLister listHardware, std::string virtualPortDirectory);

    // Whether port n is present, and its list text (ttyUSB0, or a virtual port's link name).
    // Looks at the device node only and never opens it: opening a tty raises DTR and RTS, which
    // resets many devices. Each call looks afresh (a walk over /sys/class/tty and one listing of
    // the virtual-port directory, a millisecond or two), so the answer is never stale.
    std::optional<std::string> Probe(int portNumber);

    // The path to open for port n while it is present.
    std::optional<std::string> DevicePath(int portNumber);

    const std::string& VirtualDirectory() const { return virtualPortDirectory_; }

  private:
    struct PresentPort {
        std::string name;
        std::string devicePath;
    };

    const PresentPort* Lookup(int portNumber);
    void Refresh();

    const HardwareLister listHardware_;
    const std::string virtualPortDirectory_;

    std::mutex lock_;
    // Guarded by lock_. Index n-1 holds the identity (device path) of port n.
    std::vector<std::string> numbered_;
    // Guarded by lock_. The ports present at the last look, by identity.
    std::map<std::string, PresentPort> present_;
};

#endif
