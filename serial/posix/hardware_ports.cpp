// Lists serial hardware with libudev's enumeration of the tty subsystem.
#include "serial/posix/hardware_ports.h"

#include <libudev.h>

#include <memory>

bool IsSerialHardware(bool hasParentDevice, std::optional<std::string_view> uartType) {
    return hasParentDevice && (!uartType || *uartType != "0");
}

bool IsHardwareDevicePath(std::string_view devicePath) {
    return !devicePath.starts_with("/devices/virtual/");
}

std::vector<HardwarePort> ListHardwarePorts() {
    std::vector<HardwarePort> ports;
    std::unique_ptr<udev, decltype(&udev_unref)> context(udev_new(), udev_unref);
    if (!context) {
        return ports;
    }
    std::unique_ptr<udev_enumerate, decltype(&udev_enumerate_unref)> scan(
        udev_enumerate_new(context.get()), udev_enumerate_unref);
    if (!scan || udev_enumerate_add_match_subsystem(scan.get(), "tty") < 0 ||
        udev_enumerate_scan_devices(scan.get()) < 0) {
        return ports;
    }
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(scan.get())) {
        std::unique_ptr<udev_device, decltype(&udev_device_unref)> device(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)),
            udev_device_unref);
        if (!device) {
            continue;
        }
        const char* node = udev_device_get_devnode(device.get());
        const char* type = udev_device_get_sysattr_value(device.get(), "type");
        const bool hasParent = udev_device_get_parent(device.get()) != nullptr;
        if (node != nullptr &&
            IsSerialHardware(hasParent,
                             type ? std::optional<std::string_view>(type) : std::nullopt)) {
            ports.push_back({udev_device_get_sysname(device.get()), node});
        }
    }
    return ports;
}
