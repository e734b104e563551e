// The receive state machine: waiting for 0xED, for 0xFA, for the length, then collecting data
// up to the checksum. Every complete frame, good or bad, and every reply cut short returns it to
// waiting for 0xED.
#include "protocol/reply_assembler.h"

std::span<const std::uint8_t> ReplyAssembler::Take(std::uint8_t byte, std::int64_t timeMs) {
    if (rxLength != 0 && timeMs - lastByteTimeMs > kReplyByteGapLimitMs) {
        rxLength = 0;
    }
    lastByteTimeMs = timeMs;
    rxBuffer[rxLength] = byte;
    switch (rxLength) {
        case 0:
            rxLength = byte == kReplyHeader0 ? 1 : 0;
            return {};
        case 1:
            // A rejected second byte is not looked at again as a possible first one.
            rxLength = byte == kReplyHeader1 ? 2 : 0;
            return {};
        case 2: {
            const auto expected = static_cast<std::uint8_t>(byte + 2);
            if (expected < kMinReplyLength + 2 || expected >= kMaxReplyBytes) {
                rxLength = 0;
                return {};
            }
            rxExpected = expected;
            rxSum = static_cast<std::uint8_t>(kReplyHeader0 + kReplyHeader1 + byte);
            rxLength = 3;
            return {};
        }
        default:
            break;
    }
    if (rxLength < rxExpected) {
        rxSum = static_cast<std::uint8_t>(rxSum + byte);
        ++rxLength;
        return {};
    }
    const std::size_t frameSize = rxLength + 1u;
    const bool correct = byte == rxSum;
    rxLength = 0;
    if (!correct) {
        return {};
    }
    return std::span<const std::uint8_t>(rxBuffer).first(frameSize);
}
