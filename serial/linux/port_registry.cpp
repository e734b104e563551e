// Numbers present serial ports 1 to 16: hardware ports first, then virtual ports, each group in
// name order; a port keeps its number, and a full set of numbers passes on the longest unused.
#include "serial/linux/port_registry.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <tuple>
#include <utility>

#include "serial/linux/directory_entries.h"
#include "serial/linux/virtual_port_dir.h"

namespace {

bool IsCharDevice(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

// A link in the virtual-port directory counts only when it leads to a serial line: one to
// /dev/null, /dev/zero or /dev/tty would be offered as a port and "open" without a module.
bool IsSerialTtyNode(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode) && IsSerialTty(info.st_rdev);
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
        if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode) || !IsSerialTtyNode(path)) {
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
    const auto found = present_.find(numbered_[portNumber - 1].identity);
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

    ++looks_;
    present_.clear();
    std::vector<std::string> unnumbered;
    for (FoundPort& port : hardware) {
        const auto holder = std::find_if(numbered_.begin(), numbered_.end(), [&](const Holder& h) {
            return h.identity == port.identity;
        });
        if (holder != numbered_.end()) {
            holder->lastSeen = looks_;
        } else {
            unnumbered.push_back(port.identity);
        }
        present_[port.identity] = {std::move(port.name), std::move(port.devicePath)};
    }
    for (std::string& identity : unnumbered) {
        if (numbered_.size() < static_cast<std::size_t>(kMaxPorts)) {
            numbered_.push_back({std::move(identity), looks_});
        } else if (const std::optional<std::size_t> index = NumberToHandOn()) {
            numbered_[*index] = {std::move(identity), looks_};
        } else {
            break;
        }
    }
}

// The number of the port gone longest (the lowest such number on a tie). Only a port that was
// already missing at the look before this one gives up its number: a device change asks for the
// open port by number, and the very look that finds it gone must not find another device under
// that number and have it opened in its place.
std::optional<std::size_t> PortRegistry::NumberToHandOn() const {
    std::optional<std::size_t> longestGone;
    for (std::size_t i = 0; i < numbered_.size(); ++i) {
        const bool goneBeforeLastLook = numbered_[i].lastSeen + 1 < looks_;
        if (goneBeforeLastLook &&
            (!longestGone || numbered_[i].lastSeen < numbered_[*longestGone].lastSeen)) {
            longestGone = i;
        }
    }
    return longestGone;
}
