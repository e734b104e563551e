// The serial ports the kernel knows of (USB adapters, on-board and add-in UARTs), from udev.
#ifndef DRIVERPANEL_SERIAL_POSIX_HARDWARE_PORTS_H
#define DRIVERPANEL_SERIAL_POSIX_HARDWARE_PORTS_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct HardwarePort {
    std::string name;        // ttyUSB0: the text the port list shows
    std::string devicePath;  // /dev/ttyUSB0
};

// Whether a tty device is a serial port that can be there: it belongs to a real device (virtual
// consoles and the like do not), and a UART port has a known UART type. The 8250 driver creates
// ttyS0..ttyS31 whether or not a UART answers; those phantoms have type 0.
bool IsSerialHardware(bool hasParentDevice, std::optional<std::string_view> uartType);

// The same judgement from a device path alone, for a device that has already left (no attributes
// to read): everything under /devices/virtual/ is not hardware.
bool IsHardwareDevicePath(std::string_view devicePath);

// Every tty in udev's device tree that IsSerialHardware accepts. Reads sysfs; works without udevd.
std::vector<HardwarePort> ListHardwarePorts();

#endif
