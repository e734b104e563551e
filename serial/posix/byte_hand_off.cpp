// The worker-to-UI byte hand-off.
#include "serial/posix/byte_hand_off.h"

void ByteHandOff::Deliver(ReceivedByte received) {
    if (closed_.load(std::memory_order_acquire)) {
        return;
    }
    slot_.store(static_cast<std::uint32_t>(received.byte) |
                    (static_cast<std::uint32_t>(received.portNumber) << 8),
                std::memory_order_release);
    ready_.Signal();
    handled_.Take();  // also returns when Close() signals it
}

std::optional<ReceivedByte> ByteHandOff::TakeReady() {
    if (!ready_.Take()) {
        return std::nullopt;
    }
    const std::uint32_t packed = slot_.load(std::memory_order_acquire);
    return ReceivedByte{static_cast<std::uint8_t>(packed & 0xFF), static_cast<int>(packed >> 8)};
}

void ByteHandOff::MarkHandled() {
    handled_.Signal();
}

void ByteHandOff::Close() {
    closed_.store(true, std::memory_order_release);
    handled_.Signal();
}
