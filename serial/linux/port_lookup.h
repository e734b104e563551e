// Which listed port a user's text names, as every Linux host takes it: ldctl's PORT argument and
// the Tango device's Port property mean the same port by the same rule.
#ifndef DRIVERPANEL_SERIAL_LINUX_PORT_LOOKUP_H
#define DRIVERPANEL_SERIAL_LINUX_PORT_LOOKUP_H

#include <functional>
#include <optional>
#include <string>
#include <vector>

// A port as the port list shows it: its number and its list text (ttyUSB0, a link's name).
struct ListedPort {
    int number = 0;
    std::string name;
};

// The path a listed port's number opens while the port is present.
using DevicePathOf = std::function<std::optional<std::string>(int number)>;

// Every listed port the text names, in list order. Text with a '/' is a path: it names the port
// whose device it leads to through any links (/dev/serial/by-id/..., a virtual port's link, the
// pty itself); devicePath is asked only then. Other text is a port's name, or its number in the
// list. Numbers are handed out as ports appear, so a number that is also another port's name
// names both, and which one was meant cannot be told: more than one port comes back, and the
// caller must open none of them.
std::vector<ListedPort> FindListedPorts(const std::vector<ListedPort>& listed,
                                        const std::string& text, const DevicePathOf& devicePath);

#endif
