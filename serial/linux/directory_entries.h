// The names in one directory, for the port listings that scan sysfs and the virtual-port
// directory.
#ifndef DRIVERPANEL_SERIAL_LINUX_DIRECTORY_ENTRIES_H
#define DRIVERPANEL_SERIAL_LINUX_DIRECTORY_ENTRIES_H

#include <string>
#include <vector>

// Every entry's name except the hidden ones ("." and ".." among them); none when the directory
// cannot be read.
std::vector<std::string> ListEntryNames(const std::string& directory);

#endif
