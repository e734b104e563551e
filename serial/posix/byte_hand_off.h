// Hands received bytes from the port's worker to the UI thread one at a time: the worker posts a
// byte and waits until the UI thread has handled it, so bytes are handled in order and the worker
// never reads ahead. A one-slot mailbox and two eventfds; the UI thread watches ReadyFd().
#ifndef DRIVERPANEL_SERIAL_POSIX_BYTE_HAND_OFF_H
#define DRIVERPANEL_SERIAL_POSIX_BYTE_HAND_OFF_H

#include <atomic>
#include <cstdint>
#include <optional>

#include "serial/posix/event_fd.h"

struct ReceivedByte {
    std::uint8_t byte;
    int portNumber;
};

class ByteHandOff {
  public:
    // Worker thread: post one byte and return once the UI thread has handled it, or at once
    // when the hand-off is closed.
    void Deliver(ReceivedByte received);

    // UI thread: readable when a byte waits.
    int ReadyFd() const { return ready_.Fd(); }
    // UI thread: the waiting byte, if any; MarkHandled() must follow once it is handled.
    std::optional<ReceivedByte> TakeReady();
    void MarkHandled();

    // Any thread: no one handles bytes any more; a waiting worker returns and later deliveries
    // are dropped. Final.
    void Close();

  private:
    EventFd ready_{EventFd::Mode::NonBlocking};  // worker to UI: a byte is in the slot
    EventFd handled_{EventFd::Mode::Blocking};   // UI to worker: the byte is handled
    // The byte and port number packed; written by the worker before ready_ is signalled, read by
    // the UI thread after taking ready_ (release/acquire).
    std::atomic<std::uint32_t> slot_{0};
    std::atomic<bool> closed_{false};
};

#endif
