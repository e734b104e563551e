// The module's wire format: request and reply frames, command and reply codes, the checksum.
// A frame is: two header bytes, a length L (the bytes that follow it, checksum included), a code,
// data, and an 8-bit sum of every byte before the checksum. 16-bit values are big-endian.
#ifndef DRIVERPANEL_PROTOCOL_FRAME_H
#define DRIVERPANEL_PROTOCOL_FRAME_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

constexpr std::uint8_t kRequestHeader = 0xEF;  // both header bytes of a request
constexpr std::uint8_t kReplyHeader0 = 0xED;
constexpr std::uint8_t kReplyHeader1 = 0xFA;

// Requests (panel to module).
constexpr std::uint8_t CMD_QUERY_CONFIG = 0x02;
constexpr std::uint8_t CMD_QUERY_TEMP = 0x0B;
constexpr std::uint8_t CMD_QUERY_POWER = 0x22;
constexpr std::uint8_t CMD_SET_A = 0x0C;
constexpr std::uint8_t CMD_SET_B = 0x0D;

// Replies (module to panel).
constexpr std::uint8_t REPLY_CONFIG = 0x02;
constexpr std::uint8_t REPLY_SETPOINTS = 0x07;
constexpr std::uint8_t REPLY_TEMP = 0x0B;
constexpr std::uint8_t REPLY_POWER = 0x22;

// Positions within a frame, counted from the first header byte.
constexpr std::size_t kLengthIndex = 2;
constexpr std::size_t kCodeIndex = 3;
constexpr std::size_t kDataIndex = 4;

// Reply lengths the receiver accepts: L from 2 to 97, so a reply is at most 100 bytes.
constexpr std::uint8_t kMinReplyLength = 2;
constexpr std::uint8_t kMaxReplyLength = 97;
constexpr std::size_t kMaxReplyBytes = kMaxReplyLength + 3;

constexpr std::size_t kQueryFrameSize = 5;
constexpr std::size_t kSetFrameSize = 7;
using QueryFrame = std::array<std::uint8_t, kQueryFrameSize>;
using SetFrame = std::array<std::uint8_t, kSetFrameSize>;

// 8-bit sum of the bytes, modulo 256.
constexpr std::uint8_t Checksum(std::span<const std::uint8_t> bytes) {
    unsigned sum = 0;
    for (std::uint8_t b : bytes) {
        sum += b;
    }
    return static_cast<std::uint8_t>(sum);
}

constexpr QueryFrame MakeQueryFrame(std::uint8_t command) {
    QueryFrame frame{kRequestHeader, kRequestHeader, 2, command, 0};
    frame[4] = Checksum(std::span(frame).first(4));
    return frame;
}

// The three constant queries: EF EF 02 02 E2, EF EF 02 0B EB, EF EF 02 22 02.
constexpr QueryFrame kQueryConfigFrame = MakeQueryFrame(CMD_QUERY_CONFIG);
constexpr QueryFrame kQueryTempFrame = MakeQueryFrame(CMD_QUERY_TEMP);
constexpr QueryFrame kQueryPowerFrame = MakeQueryFrame(CMD_QUERY_POWER);

// Rewrites the command, value and checksum bytes of a set frame whose header bytes EF EF 04 are
// already in place: EF EF 04 command hi lo checksum.
constexpr void WriteSetFrame(SetFrame& frame, std::uint8_t command, std::uint16_t value) {
    frame[kCodeIndex] = command;
    frame[4] = static_cast<std::uint8_t>(value >> 8);
    frame[5] = static_cast<std::uint8_t>(value & 0xFF);
    frame[6] = Checksum(std::span(frame).first(6));
}

constexpr SetFrame kEmptySetFrame{kRequestHeader, kRequestHeader, 4, CMD_SET_A, 0, 0, 0};

// A big-endian 16-bit field at positions i, i + 1.
constexpr std::uint16_t ReadU16(std::span<const std::uint8_t> frame, std::size_t i) {
    return static_cast<std::uint16_t>(frame[i] << 8 | frame[i + 1]);
}

#endif
