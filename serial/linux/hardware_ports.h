// The serial ports the kernel knows of (USB adapters, on-board and add-in UARTs).
#ifndef DRIVERPANEL_SERIAL_LINUX_HARDWARE_PORTS_H
#define DRIVERPANEL_SERIAL_LINUX_HARDWARE_PORTS_H

#include <sys/types.h>

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

constexpr const char* kSysCharDevices = "/sys/dev/char";

// Whether a character device is a serial line the panel can drive: a pseudo-terminal's slave end
// (a simulator's pty, a socat link), or a tty with a device behind it that is no phantom UART.
// Consoles, /dev/tty, ptmx and devices that are no tty at all (/dev/null, /dev/zero) are not.
// Read from the device number and sysfs only: the device is never opened.
bool IsSerialTty(dev_t device, const std::string& charDeviceDirectory = kSysCharDevices);

#endif
