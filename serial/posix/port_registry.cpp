// Numbers present serial ports 1 to 16: hardware ports first, then virtual ports, each group in
// name order, each port keeping its first number.
#include "serial/posix/port_registry.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <tuple>
#include <utility>

#include "serial/posix/directory_entries.h"
#include "serial/posix/virtual_port_dir.h"

namespace {

bool IsCharDevice(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

// ttyS2 before ttyS10: names compare by their text, then by their trailing number.
bool NameLess(const std::string& a, const std::string& b) {
    auto split = [](const std::string& name) {
        std::size_t digits = name.size();
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) {
            --digits;
        }
        const std::string number = name.substr(digits);
        return std::make_tuple(name.substr(0, digits), number.size(), number);
    };
    return split(a) < split(b);
}

struct FoundPort {
    std::string identity;
    std::string name;
    std::string devicePath;
};

std::vector<FoundPort> ListVirtualPorts(const std::string& directory) {
    std::vector<FoundPort> ports;
    if (!IsTrustedPortDirectory(directory)) {
        return ports;
    }
    for (const std::string& name : ListEntryNames(directory)) {
        const std::string path = directory + "/" + name;
        struct stat link {};
        if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode) || !IsCharDevice(path)) {
            continue;
        }
        ports.push_back({path, name, path});
    }
    return ports;
}

}  // namespace

PortRegistry::PortRegistry()
    : PortRegistry([] { return ListHardwarePorts(); }, VirtualPortDirectory()) {}

PortRegistry::PortRegistry(HardwareLister listHardware, std::string virtualPortDirectory)
    : listHardware_(std::move(listHardware)),
      virtualPortDirectory_(std::move(virtualPortDirectory)) {}

std::optional<std::string> PortRegistry::Probe(int portNumber) {
    std::lock_guard<std::mutex> lock(lock_);
    const PresentPort* port = Lookup(portNumber);
    return port ? std::optional(port->name) : std::nullopt;
}

std::optional<std::string> PortRegistry::DevicePath(int portNumber) {
    std::lock_guard<std::mutex> lock(lock_);
    const PresentPort* port = Lookup(portNumber);
    return port ? std::optional(port->devicePath) : std::nullopt;
}

const PortRegistry::PresentPort* PortRegistry::Lookup(int portNumber) {
    Refresh();
    if (portNumber < 1 || portNumber > static_cast<int>(numbered_.size())) {
        return nullptr;
    }
    const auto found = present_.find(numbered_[portNumber - 1]);
    return found == present_.end() ? nullptr : &found->second;
}

void PortRegistry::Refresh() {
    std::vector<FoundPort> hardware;
    for (HardwarePort& port : listHardware_()) {
        if (IsCharDevice(port.devicePath)) {
            hardware.push_back({port.devicePath, std::move(port.name), port.devicePath});
        }
    }
    std::vector<FoundPort> virtualPorts = ListVirtualPorts(virtualPortDirectory_);
    const auto byName = [](const FoundPort& a, const FoundPort& b) {
        return NameLess(a.name, b.name);
    };
    std::sort(hardware.begin(), hardware.end(), byName);
    std::sort(virtualPorts.begin(), virtualPorts.end(), byName);
    hardware.insert(hardware.end(), virtualPorts.begin(), virtualPorts.end());

    present_.clear();
    for (FoundPort& port : hardware) {
        const bool numbered =
            std::find(numbered_.begin(), numbered_.end(), port.identity) != numbered_.end();
        if (!numbered && numbered_.size() < static_cast<std::size_t>(kMaxPorts)) {
            numbered_.push_back(port.identity);
        }
        present_[port.identity] = {std::move(port.name), std::move(port.devicePath)};
    }
}
