// The serial ports the kernel knows of (USB adapters, on-board and add-in UARTs).
#ifndef DRIVERPANEL_SERIAL_POSIX_HARDWARE_PORTS_H
#define DRIVERPANEL_SERIAL_POSIX_HARDWARE_PORTS_H

#include <string>
#include <string_view>
#include <vector>

struct HardwarePort {
    std::string name;        // ttyUSB0: the text the port list shows
    std::string devicePath;  // /dev/ttyUSB0
};

// Whether a tty's device path (as a hot-plug event gives it) belongs to hardware: virtual ttys
// (consoles, ptmx) live under /devices/virtual/. Works for a device that has already left.
bool IsHardwareDevicePath(std::string_view devicePath);

constexpr const char* kSysTtyClass = "/sys/class/tty";

// Every serial port in the kernel's device tree (the class directory of ttys in sysfs): a tty with
// a device behind it, less the phantom UARTs. The 8250 driver creates ttyS0..ttyS31 whether or
// not a UART answers; those have UART type 0. Works without udevd.
std::vector<HardwarePort> ListHardwarePorts(const std::string& ttyClassDirectory = kSysTtyClass);

#endif
