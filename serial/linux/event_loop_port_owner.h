// The port's owner for any Linux host with an event loop (the Qt window, a console program on
// poll()), which outlives whatever drives the core: the host gives its way of showing the
// "Application Error" box and of watching a descriptor; the byte and loss handlers of the panel
// are attached while it exists. Everything runs on the host's one thread.
//
// Detach before the handlers go away (it is final), never from inside a handler: from then on
// bytes and losses are dropped and no box is shown (the program is ending), while the port can
// still be shut down or destroyed.
#ifndef DRIVERPANEL_SERIAL_LINUX_EVENT_LOOP_PORT_OWNER_H
#define DRIVERPANEL_SERIAL_LINUX_EVENT_LOOP_PORT_OWNER_H

#include <cstdint>
#include <functional>
#include <string>

#include "serial/port_owner.h"

class EventLoopPortOwner : public PortOwner {
  public:
    struct Handlers {
        std::function<void(std::uint8_t byte, int portNumber, std::int64_t receivedAtMs)> byte;
        std::function<void(int portNumber)> lost;
    };
    using BoxShower = std::function<void(const std::string& text)>;
    using Watcher = std::function<void(int fd, bool readable, bool writable)>;

    EventLoopPortOwner(BoxShower showApplicationError, Watcher watch)
        : showApplicationError_(std::move(showApplicationError)), watch_(std::move(watch)) {}

    void Attach(Handlers handlers) { handlers_ = std::move(handlers); }
    void Detach() {
        detached_ = true;
        handlers_ = Handlers{};
    }

    void OnPortByte(std::uint8_t byte, int portNumber, std::int64_t receivedAtMs) override {
        if (handlers_.byte) {
            handlers_.byte(byte, portNumber, receivedAtMs);
        }
    }
    void OnPortLost(int portNumber) override {
        if (handlers_.lost) {
            handlers_.lost(portNumber);
        }
    }
    void ShowApplicationError(const std::string& text) override {
        if (!detached_) {
            showApplicationError_(text);
        }
    }
    void WatchPort(int fd, bool readable, bool writable) override {
        watch_(fd, readable, writable);
    }

  private:
    const BoxShower showApplicationError_;
    const Watcher watch_;
    Handlers handlers_;
    bool detached_ = false;
};

#endif
