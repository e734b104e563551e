// The directory of virtual ports: each symlink in it to a tty (a simulator's pty, a socat link)
// is listed as a port under the link's name.
#ifndef DRIVERPANEL_SERIAL_LINUX_VIRTUAL_PORT_DIR_H
#define DRIVERPANEL_SERIAL_LINUX_VIRTUAL_PORT_DIR_H

#include <string>

// DRIVERPANEL_PORTS when set, else $XDG_RUNTIME_DIR/driverpanel-ports, else
// /tmp/driverpanel-ports-<uid>.
std::string VirtualPortDirectory();

// Creates the directory (mode 0700) when it is missing; true when it exists afterwards.
bool EnsureVirtualPortDirectory(const std::string& directory);

// Only a directory that belongs to this user or to root, and that nobody else may write into, is
// read: a link placed by another user (say in a directory under /tmp made before ours) would
// point the panel at a device of their choosing. Root's own directories, such as
// /dev/serial/by-id, are as trusted as the devices themselves.
bool IsTrustedPortDirectory(const std::string& directory);

#endif
