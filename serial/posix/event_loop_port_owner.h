// The owner's side of the port worker for any Linux host with an event loop (the Qt window, a
// console program on poll()): what the worker hands over arrives on three file descriptors, and
// the host's own thread handles it through the handlers it gives.
//
// How a host uses it:
//  - Build it on the thread that runs the host's event loop (the owner's thread), with the host's
//    way of showing the "Application Error" box, and pass it to CCommPort::Setup as the owner.
//    Attach the byte and hang-up handlers of whatever drives the core (the panel) before Setup.
//  - Watch the three descriptors for readability (POLLIN, a QSocketNotifier::Read) and call the
//    matching Handle... function when one is ready, on the owner's thread. Each returns at once
//    when nothing is waiting, so a spurious wake-up is harmless.
//  - The handlers run on the owner's thread. The byte handler gets every received byte once, in
//    order; the worker reads a block at a time and nothing more until every byte of it has been
//    handled. The box shower shows the modal "Application Error" box and returns on OK; the
//    worker waits for it meanwhile. The hang-up handler treats the hang-up as a device change (it
//    may call Shutdown).
//  - While CCommPort::Shutdown (or Setup) waits for the worker, the port itself calls
//    DispatchPending, which releases a waiting block (handling only its first byte: the stop is
//    seen between bytes) and a waiting error request: those are all the worker can be blocked on.
//    Nothing else of the host runs meanwhile, hang-ups included; they stay readable for the loop.
//  - The byte handler may shut the port down (a console command that has its answer): the block
//    in hand then ends after that byte. Never call Shutdown from inside the box shower.
//  - Detach before the host's handlers go away (it is final), never from inside a handler: from
//    then on nothing is handled, and the worker is never kept waiting, so the port can still be
//    shut down or destroyed.
#ifndef DRIVERPANEL_SERIAL_POSIX_EVENT_LOOP_PORT_OWNER_H
#define DRIVERPANEL_SERIAL_POSIX_EVENT_LOOP_PORT_OWNER_H

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "serial/port_owner.h"
#include "serial/posix/byte_hand_off.h"
#include "serial/posix/event_fd.h"

class EventLoopPortOwner : public PortOwner {
  public:
    struct Handlers {
        std::function<void(std::uint8_t byte, int portNumber)> byte;
        std::function<void()> hangUp;
    };
    using BoxShower = std::function<void(const std::string& text)>;

    // Build on the owner's thread. The box shower serves the host's whole life, attached or not.
    explicit EventLoopPortOwner(BoxShower showApplicationError);
    ~EventLoopPortOwner() override;
    EventLoopPortOwner(const EventLoopPortOwner&) = delete;
    EventLoopPortOwner& operator=(const EventLoopPortOwner&) = delete;

    // Owner's thread: who handles what arrives. Detach() is final.
    void Attach(Handlers handlers);
    void Detach();

    // Readable when the matching Handle... call has something to do.
    int ByteReadyFd() const { return bytes_.ReadyFd(); }
    int ErrorRequestFd() const { return errorRequested_.Fd(); }
    int HangUpFd() const { return hungUp_.Fd(); }

    // Owner's thread. HandleByte feeds the waiting block to the byte handler, a byte at a time.
    void HandleByte();
    void HandleErrorRequest();
    void HandleHangUp();

    void DeliverBytes(std::span<const std::uint8_t> bytes, int portNumber) override;
    void DispatchPending() override;
    void ShowApplicationError(const std::string& text) override;
    void PortHungUp(int portNumber) override;

  private:
    // The block being fed to the byte handler; released early when a stop comes in the middle.
    struct BlockInHand {
        bool released = false;
    };

    bool OnOwnerThread() const { return std::this_thread::get_id() == ownerThread_; }
    void FeedBlock(std::size_t byteLimit);

    const std::thread::id ownerThread_;
    const BoxShower showApplicationError_;
    ByteHandOff bytes_;
    EventFd errorRequested_{EventFd::Mode::NonBlocking};  // worker to owner: errorText_ is set
    EventFd hungUp_{EventFd::Mode::NonBlocking};          // worker to owner: the port hung up

    std::mutex errorLock_;
    std::condition_variable errorShown_;
    std::optional<std::string> errorText_;  // guarded by errorLock_: the box the worker waits on
    bool detached_ = false;                 // guarded by errorLock_

    Handlers handlers_;                   // owner's thread only
    BlockInHand* blockInHand_ = nullptr;  // owner's thread only: set while a block is fed
};

#endif
