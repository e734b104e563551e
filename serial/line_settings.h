// Line settings and buffer sizes handed to a port object's Setup. Platform-free: each platform's
// CCommPort maps them onto its own serial API.
#ifndef DRIVERPANEL_SERIAL_LINE_SETTINGS_H
#define DRIVERPANEL_SERIAL_LINE_SETTINGS_H

#include <cstddef>
#include <cstdint>

// Serial event classes a port object can be asked to watch (the values of the Win32 EV_ masks).
constexpr std::uint32_t kEvRxChar = 0x0001;
constexpr std::uint32_t kEvRxFlag = 0x0002;
constexpr std::uint32_t kEvCts = 0x0008;
constexpr std::uint32_t kEvBreak = 0x0040;
constexpr std::uint32_t kEvErr = 0x0080;
constexpr std::uint32_t kEvRing = 0x0100;

struct LineSettings {
    std::uint32_t baudRate;
    char parity;  // 'E' even, 'O' odd, 'M' mark, 'S' space, anything else none
    std::uint8_t dataBits;
    std::uint8_t stopBits;  // selector: 0 one, 1 one and a half, 2 two
    std::uint32_t eventMask;
    std::size_t writeBufferSize;
    // The five serial timeouts, in seconds; the port object keeps them in milliseconds.
    std::uint32_t readIntervalTimeout;
    std::uint32_t readTotalTimeoutMultiplier;
    std::uint32_t readTotalTimeoutConstant;
    std::uint32_t writeTotalTimeoutMultiplier;
    std::uint32_t writeTotalTimeoutConstant;
};

#endif
