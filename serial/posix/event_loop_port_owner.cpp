// The owner's side of the port worker's crossings: bytes, error boxes and hang-ups.
#include "serial/posix/event_loop_port_owner.h"

EventLoopPortOwner::EventLoopPortOwner(BoxShower showApplicationError)
    : ownerThread_(std::this_thread::get_id()),
      showApplicationError_(std::move(showApplicationError)) {}

EventLoopPortOwner::~EventLoopPortOwner() {
    Detach();
}

void EventLoopPortOwner::Attach(Handlers handlers) {
    handlers_ = std::move(handlers);
}

void EventLoopPortOwner::Detach() {
    {
        std::lock_guard lock(errorLock_);
        detached_ = true;
    }
    errorShown_.notify_all();
    bytes_.Close();
    handlers_ = Handlers{};
}

void EventLoopPortOwner::DeliverByte(std::uint8_t byte, int portNumber) {
    bytes_.Deliver(ReceivedByte{byte, portNumber});
}

void EventLoopPortOwner::DispatchPending() {
    // Only what the worker can be waiting on; other events wait for the event loop, so nothing
    // else of the host runs in the middle of closing the port.
    HandleByte();
    HandleErrorRequest();
}

void EventLoopPortOwner::ShowApplicationError(const std::string& text) {
    std::unique_lock lock(errorLock_);
    if (detached_) {
        return;  // the host has closed: the program is ending without a word
    }
    if (OnOwnerThread()) {
        lock.unlock();
        showApplicationError_(text);
        return;
    }
    errorText_ = text;
    errorRequested_.Signal();
    errorShown_.wait(lock, [this] { return !errorText_ || detached_; });
}

void EventLoopPortOwner::PortHungUp(int) {
    hungUp_.Signal();
}

void EventLoopPortOwner::HandleByte() {
    const std::optional<ReceivedByte> received = bytes_.TakeReady();
    if (!received) {
        return;
    }
    if (handlers_.byte) {
        handlers_.byte(received->byte, received->portNumber);
    }
    bytes_.MarkHandled();
}

void EventLoopPortOwner::HandleErrorRequest() {
    if (!errorRequested_.Take()) {
        return;
    }
    std::string text;
    {
        std::lock_guard lock(errorLock_);
        if (!errorText_ || detached_) {
            return;
        }
        text = *errorText_;
    }
    showApplicationError_(text);
    {
        std::lock_guard lock(errorLock_);
        errorText_.reset();
    }
    errorShown_.notify_all();
}

void EventLoopPortOwner::HandleHangUp() {
    if (hungUp_.Take() && handlers_.hangUp) {
        handlers_.hangUp();
    }
}
