// What the Linux port object reports to whoever owns the port (the panel window, the console
// tool, a test), on the owner's own thread: the port is served by the owner's event loop. The
// Windows port object talks to its owner window directly.
#ifndef DRIVERPANEL_SERIAL_PORT_OWNER_H
#define DRIVERPANEL_SERIAL_PORT_OWNER_H

#include <cstdint>
#include <string>

class PortOwner {
  public:
    virtual ~PortOwner() = default;

    // One received byte of a block read at receivedAtMs (milliseconds on the steady clock, the
    // clock of the hosts' UiTimers::NowMs). A block's bytes come one call each, in order; when a
    // call closes or re-opens the port, the rest of the block is dropped with the connection.
    virtual void OnPortByte(std::uint8_t byte, int portNumber, std::int64_t receivedAtMs) = 0;

    // The open port hung up (adapter pulled, far end closed) or can no longer be read: once per
    // connection, after every byte received before it. The port stays open, unwatched, until the
    // owner shuts it down or sets it up again, which it may do from inside this call.
    virtual void OnPortLost(int portNumber) = 0;

    // Shows the modal "Application Error" box with this text and returns on OK. The port is not
    // watched for reading meanwhile.
    virtual void ShowApplicationError(const std::string& text) = 0;

    // Which events of the port's descriptor the owner's event loop must watch from now on, and
    // hand to CCommPort::OnReadable and OnWritable; nothing while fd is -1. Called whenever that
    // changes, before the descriptor is closed.
    virtual void WatchPort(int fd, bool readable, bool writable) = 0;
};

#endif
