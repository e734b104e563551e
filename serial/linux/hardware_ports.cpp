// Lists serial hardware from the kernel's device tree in sysfs, the tree udev itself reads. Read
// directly, as libudev's enumeration builds a device object for every virtual console and costs
// tens of milliseconds, too slow to repeat on each probe.
#include "serial/linux/hardware_ports.h"

#include <sys/sysmacros.h>
#include <unistd.h>

#include <fstream>
#include <optional>

#include "serial/linux/directory_entries.h"

namespace {

std::optional<std::string> ReadAttribute(const std::string& path) {
    std::ifstream file(path);
    std::string value;
    if (!file || !std::getline(file, value)) {
        return std::nullopt;
    }
    return value;
}

// The node's name under /dev as the kernel announces it (DEVNAME=ttyUSB0), which udev follows.
std::optional<std::string> DeviceName(const std::string& ueventPath) {
    std::ifstream file(ueventPath);
    for (std::string line; std::getline(file, line);) {
        if (line.starts_with("DEVNAME=")) {
            return line.substr(8);
        }
    }
    return std::nullopt;
}

bool IsPhantomUart(const std::optional<std::string>& uartType) {
    return uartType && *uartType == "0";
}

}  // namespace

bool IsHardwareDevicePath(std::string_view devicePath) {
    return !devicePath.starts_with("/devices/virtual/");
}

std::vector<HardwarePort> ListHardwarePorts(const std::string& ttyClassDirectory) {
    std::vector<HardwarePort> ports;
    for (const std::string& name : ListEntryNames(ttyClassDirectory)) {
        const std::string node = ttyClassDirectory + "/" + name;
        // Virtual ttys (consoles, ptmx) have no device behind them.
        if (access((node + "/device").c_str(), F_OK) != 0 ||
            IsPhantomUart(ReadAttribute(node + "/type"))) {
            continue;
        }
        ports.push_back({name, "/dev/" + DeviceName(node + "/uevent").value_or(name)});
    }
    return ports;
}

bool IsSerialTty(dev_t device, const std::string& charDeviceDirectory) {
    // Unix98 pty slaves (/dev/pts/N) have majors 136 to 143 and no node in sysfs.
    constexpr unsigned kFirstPtySlaveMajor = 136;
    constexpr unsigned kPtySlaveMajors = 8;
    const unsigned majorNumber = major(device);
    if (majorNumber >= kFirstPtySlaveMajor && majorNumber < kFirstPtySlaveMajor + kPtySlaveMajors) {
        return true;
    }
    const std::string node = charDeviceDirectory + "/" + std::to_string(majorNumber) + ":" +
                             std::to_string(minor(device));
    char subsystem[256];
    const ssize_t length = readlink((node + "/subsystem").c_str(), subsystem, sizeof subsystem - 1);
    if (length <= 0) {
        return false;
    }
    const std::string_view linked(subsystem, static_cast<std::size_t>(length));
    return (linked == "tty" || linked.ends_with("/tty")) &&
           access((node + "/device").c_str(), F_OK) == 0 &&
           !IsPhantomUart(ReadAttribute(node + "/type"));
}
