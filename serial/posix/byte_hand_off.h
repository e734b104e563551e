// Hands blocks of received bytes from the port's worker to the owner's thread: the worker posts a
// block it has read and waits until the owner's thread has handled it, so bytes are handled in
// order and the worker never reads ahead. A one-slot mailbox and two eventfds; the owner's thread
// watches ReadyFd(). Nothing is copied: the block stays in the worker's buffer meanwhile.
#ifndef DRIVERPANEL_SERIAL_POSIX_BYTE_HAND_OFF_H
#define DRIVERPANEL_SERIAL_POSIX_BYTE_HAND_OFF_H

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>

#include "serial/posix/event_fd.h"

struct ReceivedBlock {
    std::span<const std::uint8_t> bytes;
    int portNumber;
};

class ByteHandOff {
  public:
    // Worker thread: post one block and return once the owner's thread has handled it, or at
    // once when the hand-off is closed.
    void Deliver(ReceivedBlock block);

    // Owner's thread: readable when a block waits.
    int ReadyFd() const { return ready_.Fd(); }
    // Owner's thread: the waiting block, if any; MarkHandled() must follow, once, when it has
    // been handled. Until then the block's bytes stay as they are.
    std::optional<ReceivedBlock> TakeReady();
    void MarkHandled();

    // Any thread: no one handles blocks any more; a waiting worker returns and later deliveries
    // are dropped. Final.
    void Close();

  private:
    EventFd ready_{EventFd::Mode::NonBlocking};  // worker to owner: a block is in the slot
    EventFd handled_{EventFd::Mode::Blocking};   // owner to worker: the block is handled
    // Written by the worker before posted_ is raised, read by the owner's thread after it has
    // seen posted_ (release/acquire); the worker writes it again only after handedBack_.
    ReceivedBlock slot_{};
    std::atomic<std::uint64_t> posted_{0};      // blocks posted so far
    std::atomic<std::uint64_t> handedBack_{0};  // blocks handled so far: the buffer is free again
    std::atomic<bool> closed_{false};
};

#endif
