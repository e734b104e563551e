// The worker-to-owner block hand-off.
#include "serial/posix/byte_hand_off.h"

void ByteHandOff::Deliver(ReceivedBlock block) {
    if (closed_.load(std::memory_order_acquire)) {
        return;
    }
    slot_ = block;
    posted_.fetch_add(1, std::memory_order_release);
    ready_.Signal();
    handled_.Take();  // also returns when Close() signals it
    // Orders the owner's last reads of the block before the worker fills its buffer again.
    handedBack_.load(std::memory_order_acquire);
}

std::optional<ReceivedBlock> ByteHandOff::TakeReady() {
    if (!ready_.Take()) {
        return std::nullopt;
    }
    posted_.load(std::memory_order_acquire);
    return slot_;
}

void ByteHandOff::MarkHandled() {
    handedBack_.fetch_add(1, std::memory_order_release);
    handled_.Signal();
}

void ByteHandOff::Close() {
    closed_.store(true, std::memory_order_release);
    handled_.Signal();
}
