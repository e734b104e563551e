// Maps line settings onto termios.
#include "serial/linux/line_config.h"

#include <cerrno>
#include <cstdint>

namespace {

struct BaudCode {
    std::uint32_t baud;
    speed_t code;
};

constexpr BaudCode kBaudCodes[] = {
    {110, B110},       {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},
    {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

constexpr tcflag_t kFramingFlags = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;

// Any letter other than E, O, M and S means no parity.
tcflag_t ParityFlags(char parity) {
    switch (parity) {
        case 'E':
            return PARENB;
        case 'O':
            return PARENB | PARODD;
        case 'M':
            return PARENB | CMSPAR | PARODD;
        case 'S':
            return PARENB | CMSPAR;
        default:
            return 0;
    }
}

bool DataBitsFlag(std::uint8_t dataBits, tcflag_t& flag) {
    switch (dataBits) {
        case 5:
            flag = CS5;
            return true;
        case 6:
            flag = CS6;
            return true;
        case 7:
            flag = CS7;
            return true;
        case 8:
            flag = CS8;
            return true;
        default:
            return false;
    }
}

// Selector 0 is one stop bit, 2 two. termios has no one and a half stop bits apart from the
// hardware's own choice with 5 data bits, so selector 1 is refused rather than guessed.
bool StopBitsFlag(std::uint8_t selector, tcflag_t& flag) {
    switch (selector) {
        case 0:
            flag = 0;
            return true;
        case 2:
            flag = CSTOPB;
            return true;
        default:
            return false;
    }
}

}  // namespace

void ApplyReadReturnsWhatWaits(termios& tio) {
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
}

int ApplyLineSettings(termios& tio, const LineSettings& settings) {
    const BaudCode* baud = nullptr;
    for (const BaudCode& candidate : kBaudCodes) {
        if (candidate.baud == settings.baudRate) {
            baud = &candidate;
        }
    }
    const tcflag_t parity = ParityFlags(settings.parity);
    tcflag_t dataBits = 0;
    tcflag_t stopBits = 0;
    if (baud == nullptr || !DataBitsFlag(settings.dataBits, dataBits) ||
        !StopBitsFlag(settings.stopBits, stopBits)) {
        return EINVAL;
    }

    // Raw: every byte passes untouched both ways (no echo, no line editing, no signals, no
    // CR/LF translation, no XON/XOFF: 0x11 and 0x13 are ordinary bytes in a binary frame).
    cfmakeraw(&tio);
    ApplyReadReturnsWhatWaits(tio);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // No hardware handshake: the module does not drive CTS, and a write waiting for CTS would
    // never finish. CLOCAL: a missing carrier must not block or hang up the line.
    tio.c_cflag &= ~(kFramingFlags | CRTSCTS);
    tio.c_cflag |= dataBits | parity | stopBits | CREAD | CLOCAL;
    if (cfsetispeed(&tio, baud->code) != 0 || cfsetospeed(&tio, baud->code) != 0) {
        return EINVAL;
    }
    return 0;
}

bool LineSettingsTook(const termios& requested, const termios& actual) {
    return cfgetispeed(&actual) == cfgetispeed(&requested) &&
           cfgetospeed(&actual) == cfgetospeed(&requested) &&
           (actual.c_cflag & (kFramingFlags | CRTSCTS)) ==
               (requested.c_cflag & (kFramingFlags | CRTSCTS));
}
