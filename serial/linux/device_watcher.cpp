// udev monitor and inotify behind one epoll descriptor.
#include "serial/linux/device_watcher.h"

#include <libudev.h>
#include <sys/epoll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string_view>

#include "serial/linux/hardware_ports.h"

namespace {

constexpr std::uint32_t kDirectoryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                           IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// udevd announces a device once its rules have run (permissions set, links made); without udevd,
// as in many containers, only the kernel's own announcements are there to hear.
const char* HotPlugSource() {
    return access("/run/udev/control", F_OK) == 0 ? "udev" : "kernel";
}

void AddToEpoll(int epollFd, int fd) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    epoll_ctl(epollFd, EPOLL_CTL_ADD, fd, &event);
}

bool IsSerialHotPlug(udev_device* device) {
    const char* action = udev_device_get_action(device);
    const char* subsystem = udev_device_get_subsystem(device);
    const char* path = udev_device_get_devpath(device);
    if (action == nullptr || subsystem == nullptr || path == nullptr ||
        std::string_view(subsystem) != "tty") {
        return false;
    }
    const std::string_view what(action);
    return (what == "add" || what == "remove") && IsHardwareDevicePath(path);
}

}  // namespace

DeviceWatcher::DeviceWatcher(const std::string& virtualPortDirectory)
    : virtualPortDirectory_(virtualPortDirectory),
      events_(epoll_create1(EPOLL_CLOEXEC)),
      directory_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
      udev_(udev_new(), udev_unref),
      monitor_(nullptr, udev_monitor_unref) {
    WatchDirectory();
    if (udev_) {
        monitor_.reset(udev_monitor_new_from_netlink(udev_.get(), HotPlugSource()));
        if (monitor_ &&
            (udev_monitor_filter_add_match_subsystem_devtype(monitor_.get(), "tty", nullptr) < 0 ||
             udev_monitor_enable_receiving(monitor_.get()) < 0)) {
            monitor_.reset();
        }
    }
    if (directory_.Valid()) {
        AddToEpoll(events_.Get(), directory_.Get());
    }
    if (monitor_) {
        AddToEpoll(events_.Get(), udev_monitor_get_fd(monitor_.get()));
    }
}

DeviceWatcher::~DeviceWatcher() = default;

bool DeviceWatcher::DrainEvents() {
    // Both sources are drained every time, so the descriptor goes quiet again.
    const bool hotPlug = DrainHotPlug();
    const bool directory = DrainDirectory();
    return hotPlug || directory;
}

bool DeviceWatcher::DrainHotPlug() {
    bool changed = false;
    if (!monitor_) {
        return changed;
    }
    while (udev_device* device = udev_monitor_receive_device(monitor_.get())) {
        changed = IsSerialHotPlug(device) || changed;
        udev_device_unref(device);
    }
    return changed;
}

bool DeviceWatcher::DrainDirectory() {
    bool changed = false;
    bool watchGone = false;
    if (!directory_.Valid()) {
        return changed;
    }
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t length = read(directory_.Get(), buffer, sizeof buffer);
        if (length < 0 && errno == EINTR) {
            continue;
        }
        if (length <= 0) {
            break;
        }
        // Every event asked for is a link appearing or going, or the whole directory going.
        changed = true;
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if ((event->mask & IN_MOVE_SELF) != 0) {
                inotify_rm_watch(directory_.Get(), event->wd);
            }
            watchGone = watchGone || (event->mask & (IN_MOVE_SELF | IN_IGNORED)) != 0;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    if (watchGone) {
        WatchDirectory();
    }
    return changed;
}

// A directory that was removed or moved away is made afresh, so links placed later are heard.
void DeviceWatcher::WatchDirectory() {
    if (directory_.Valid() && EnsureVirtualPortDirectory(virtualPortDirectory_)) {
        inotify_add_watch(directory_.Get(), virtualPortDirectory_.c_str(), kDirectoryEvents);
    }
}
