// Where the panel finds each field of the four replies it understands, counted from the first
// header byte, and the shortest length L that carries them all. 16-bit fields are big-endian.
#ifndef DRIVERPANEL_PROTOCOL_REPLY_LAYOUT_H
#define DRIVERPANEL_PROTOCOL_REPLY_LAYOUT_H

#include <cstddef>
#include <cstdint>
#include <span>

// REPLY_CONFIG
constexpr std::size_t kConfigSetpointA = 6;
constexpr std::size_t kConfigSetpointB = 8;
constexpr std::size_t kConfigMaxA = 10;
constexpr std::size_t kConfigMaxB = 12;
constexpr std::size_t kConfigVariant = 17;  // one byte

// REPLY_SETPOINTS
constexpr std::size_t kSetpointsA = 4;
constexpr std::size_t kSetpointsB = 6;

// REPLY_TEMP, in 0.01 degC
constexpr std::size_t kTempA = 4;
constexpr std::size_t kTempB = 6;

// REPLY_POWER: 0.1 mW under variant A, 1 mW under variant B
constexpr std::size_t kPower = 4;

// A frame of length L ends with its checksum at index L + 2, so its last data byte is at L + 1:
// a field whose last byte is at index i needs L >= i - 1.
constexpr std::uint8_t MinLengthFor(std::size_t lastFieldIndex) {
    return static_cast<std::uint8_t>(lastFieldIndex - 1);
}
// A configuration reply shorter than kConfigMinLength that still reaches kConfigFieldsMinLength
// carries both setpoints and both maxima, but no variant byte.
constexpr std::uint8_t kConfigMinLength = MinLengthFor(kConfigVariant);         // 16
constexpr std::uint8_t kConfigFieldsMinLength = MinLengthFor(kConfigMaxB + 1);  // 12
constexpr std::uint8_t kSetpointsMinLength = MinLengthFor(kSetpointsB + 1);     // 6
constexpr std::uint8_t kTempMinLength = MinLengthFor(kTempB + 1);               // 6
constexpr std::uint8_t kPowerMinLength = MinLengthFor(kPower + 1);              // 4

// Whether a checked reply is long enough for fields up to the given length L.
constexpr bool ReplyCarries(std::span<const std::uint8_t> frame, std::uint8_t minLength) {
    return frame.size() >= static_cast<std::size_t>(minLength) + 3;
}

#endif
