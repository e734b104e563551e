// The owner's side of the port worker's crossings: bytes, error boxes and hang-ups.
#include "serial/posix/event_loop_port_owner.h"

#include <algorithm>
#include <cstdint>

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

void EventLoopPortOwner::DeliverBytes(std::span<const std::uint8_t> bytes, int portNumber) {
    bytes_.Deliver(ReceivedBlock{bytes, portNumber});
}

void EventLoopPortOwner::DispatchPending() {
    // A stop asked for from inside the byte handler: the worker waits on the very block being
    // fed, so it is released now and the block's remaining bytes are left unhandled.
    if (blockInHand_ != nullptr && !blockInHand_->released) {
        blockInHand_->released = true;
        bytes_.MarkHandled();
    }
    // Only what the worker can be waiting on; other events wait for the event loop, so nothing
    // else of the host runs in the middle of closing the port. Of a waiting block only the byte
    // the worker had in hand is handled: after a stop it would not have read on.
    FeedBlock(1);
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
    FeedBlock(SIZE_MAX);
}

void EventLoopPortOwner::FeedBlock(std::size_t byteLimit) {
    const std::optional<ReceivedBlock> block = bytes_.TakeReady();
    if (!block) {
        return;
    }
    BlockInHand inHand;
    BlockInHand* const outer = blockInHand_;
    blockInHand_ = &inHand;
    const std::size_t count = std::min(block->bytes.size(), byteLimit);
    for (std::size_t i = 0; i < count && !inHand.released && handlers_.byte; ++i) {
        handlers_.byte(block->bytes[i], block->portNumber);
    }
    blockInHand_ = outer;
    if (!inHand.released) {
        bytes_.MarkHandled();
    }
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
