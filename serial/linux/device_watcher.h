// Hears serial devices arrive and leave: udev's hot-plug events for ttys, and links created or
// removed in the virtual-port directory. Gives the event loop one descriptor to watch.
#ifndef DRIVERPANEL_SERIAL_LINUX_DEVICE_WATCHER_H
#define DRIVERPANEL_SERIAL_LINUX_DEVICE_WATCHER_H

#include <memory>
#include <string>

#include "serial/linux/unique_fd.h"
#include "serial/linux/virtual_port_dir.h"

struct udev;
struct udev_monitor;

class DeviceWatcher {
  public:
    // Creates the virtual-port directory (0700) when it is missing. Any source that cannot be
    // set up is left out: the panel then still works, it only hears of fewer changes.
    explicit DeviceWatcher(const std::string& virtualPortDirectory = VirtualPortDirectory());
    ~DeviceWatcher();
    DeviceWatcher(const DeviceWatcher&) = delete;
    DeviceWatcher& operator=(const DeviceWatcher&) = delete;

    // Readable whenever events wait to be drained (for QSocketNotifier or poll).
    int FileDescriptor() const { return events_.Get(); }

    // Reads every waiting event without blocking; true when a serial device arrived or left.
    bool DrainEvents();

  private:
    bool DrainHotPlug();
    bool DrainDirectory();
    void WatchDirectory();

    const std::string virtualPortDirectory_;
    UniqueFd events_;     // epoll set of the two sources below
    UniqueFd directory_;  // inotify on the virtual-port directory
    std::unique_ptr<udev, udev* (*)(udev*)> udev_;
    std::unique_ptr<udev_monitor, udev_monitor* (*)(udev_monitor*)> monitor_;
};

#endif
