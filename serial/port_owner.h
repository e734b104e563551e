// What a port object's worker needs from whoever owns the port: the panel window, the console
// tool, or a test. Platform-free; the Windows port object talks to its owner window directly.
#ifndef DRIVERPANEL_SERIAL_PORT_OWNER_H
#define DRIVERPANEL_SERIAL_PORT_OWNER_H

#include <cstdint>
#include <span>
#include <string>

class PortOwner {
  public:
    virtual ~PortOwner() = default;

    // Worker thread: hand over a block of received bytes, as read, and return only once the
    // owner's thread has handled it, so bytes reach the reply assembler one at a time and in
    // order and the worker never reads ahead. The block stays valid until this returns.
    virtual void DeliverBytes(std::span<const std::uint8_t> bytes, int portNumber) = 0;

    // Owner's thread, called repeatedly while Shutdown waits for the worker, so a stop has been
    // asked for: release whatever the worker is waiting on (a pending delivery, an error box), so
    // the worker can see the stop. The stop is seen between bytes: of a block waiting then, its
    // first byte is still handled and none after it.
    virtual void DispatchPending() = 0;

    // Either thread: show the modal "Application Error" box with this text and wait for OK.
    virtual void ShowApplicationError(const std::string& text) = 0;

    // Worker thread: the open port hung up (adapter pulled, other end closed). The owner treats
    // it as a device change, on its own thread; the worker keeps waiting for the stop.
    virtual void PortHungUp(int portNumber) = 0;
};

#endif
