// Turns the module's byte stream into checked replies: syncs on the reply header, checks the
// length and the checksum, and hands back each complete, correct frame. Anything else is dropped.
#ifndef DRIVERPANEL_PROTOCOL_REPLY_ASSEMBLER_H
#define DRIVERPANEL_PROTOCOL_REPLY_ASSEMBLER_H

#include <array>
#include <cstdint>
#include <span>

#include "protocol/frame.h"

// The module sends a reply's bytes back to back: about a millisecond apart at 9600 baud, and a
// USB adapter may hold them back up to 16 ms. A longer pause inside a reply means the reply was
// cut short (noise, a lost byte); waiting on for its rest would complete it with the first bytes
// of a later reply, and one time in 256 the sum of such a mix matches.
constexpr std::int64_t kReplyByteGapLimitMs = 50;

class ReplyAssembler {
  public:
    // Takes one received byte that came at timeMs, on a millisecond clock that never goes back.
    // A reply whose next byte comes more than kReplyByteGapLimitMs after its previous one is
    // abandoned first, and the late byte is judged as a possible first header byte.
    // Returns the whole frame, headers through checksum, when this byte completes a reply whose
    // checksum is right; an empty span otherwise. The frame stays valid until the next call.
    std::span<const std::uint8_t> Take(std::uint8_t byte, std::int64_t timeMs);

    // Back to waiting for the first header byte, forgetting any half-assembled frame.
    void Reset() { rxLength = 0; }

  private:
    // Every index rxLength can reach is below kMaxReplyBytes: a frame is refused at its length
    // byte unless its checksum index is below that.
    std::array<std::uint8_t, kMaxReplyBytes> rxBuffer{};
    std::uint8_t rxLength = 0;        // bytes taken of the current frame; 0 while waiting for 0xED
    std::uint8_t rxExpected = 0;      // index of the current frame's checksum byte, L + 2
    std::uint8_t rxSum = 0;           // running 8-bit sum of the bytes taken so far
    std::int64_t lastByteTimeMs = 0;  // when the previous byte came
};

#endif
