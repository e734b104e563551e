// Which serial ports are present and under which number (1 to 16) the panel knows them. A port
// keeps its number while it is present and when it leaves and comes back; only when all sixteen
// numbers are taken does a newly seen port take the number of the port that has been gone longest.
#ifndef DRIVERPANEL_SERIAL_LINUX_PORT_REGISTRY_H
#define DRIVERPANEL_SERIAL_LINUX_PORT_REGISTRY_H

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "serial/linux/hardware_ports.h"
#include "serial/port_service.h"

// Also the panel's probe of present ports.
class PortRegistry : public PortProbe {
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
    std::optional<std::string> Probe(int portNumber) override;

    // The path to open for port n while it is present.
    std::optional<std::string> DevicePath(int portNumber);

    const std::string& VirtualDirectory() const { return virtualPortDirectory_; }

  private:
    struct PresentPort {
        std::string name;
        std::string devicePath;
    };
    // One number's holder: the port's identity (its device path) and the last look that found
    // it present.
    struct Holder {
        std::string identity;
        std::uint64_t lastSeen;
    };

    const PresentPort* Lookup(int portNumber);
    void Refresh();
    std::optional<std::size_t> NumberToHandOn() const;

    const HardwareLister listHardware_;
    const std::string virtualPortDirectory_;

    std::mutex lock_;
    // Guarded by lock_. Index n-1 holds port n.
    std::vector<Holder> numbered_;
    // Guarded by lock_. The ports present at the last look, by identity.
    std::map<std::string, PresentPort> present_;
    // Guarded by lock_. How many looks have been taken; the clock of Holder::lastSeen.
    std::uint64_t looks_ = 0;
};

#endif
