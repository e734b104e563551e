// Line settings as termios flags: framing, raw transfer, and what cannot be expressed.
#include "serial/linux/line_config.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

constexpr LineSettings kPanelSettings = {9600, 'N',  8,    0,    kEvRxChar, 512,
                                         1000, 1000, 1000, 1000, 1000};
constexpr tcflag_t kFraming = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;

// A cooked terminal as a driver may hand it over, with handshakes switched on.
termios CookedTerminal() {
    termios tio{};
    tio.c_iflag = ICRNL | IXON | IXOFF;
    tio.c_oflag = OPOST | ONLCR;
    tio.c_cflag = CS7 | PARENB | CRTSCTS | HUPCL | CREAD;
    tio.c_lflag = ICANON | ECHO | ISIG;
    cfsetspeed(&tio, B38400);
    return tio;
}

TEST(LineConfigTest, MapsSpeedParityDataAndStopBits) {
    struct Case {
        const char* name;
        std::uint32_t baud;
        char parity;
        std::uint8_t dataBits;
        std::uint8_t stopBits;
        int error;
        speed_t speed;
        tcflag_t framing;
    };
    const Case cases[] = {
        {"panel 9600 8N1", 9600, 'N', 8, 0, 0, B9600, CS8},
        {"even, 7 bits", 9600, 'E', 7, 0, 0, B9600, CS7 | PARENB},
        {"odd, two stop bits", 115200, 'O', 8, 2, 0, B115200, CS8 | PARENB | PARODD | CSTOPB},
        {"mark", 9600, 'M', 8, 0, 0, B9600, CS8 | PARENB | PARODD | CMSPAR},
        {"space, 5 bits", 1200, 'S', 5, 0, 0, B1200, CS5 | PARENB | CMSPAR},
        {"other letters mean none", 9600, 'n', 6, 0, 0, B9600, CS6},
        {"baud rate without a termios code", 12345, 'N', 8, 0, EINVAL, 0, 0},
        {"nine data bits", 9600, 'N', 9, 0, EINVAL, 0, 0},
        {"one and a half stop bits", 9600, 'N', 8, 1, EINVAL, 0, 0},
        {"unknown stop-bit selector", 9600, 'N', 8, 3, EINVAL, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LineSettings settings = kPanelSettings;
        settings.baudRate = c.baud;
        settings.parity = c.parity;
        settings.dataBits = c.dataBits;
        settings.stopBits = c.stopBits;
        termios tio = CookedTerminal();
        ASSERT_EQ(ApplyLineSettings(tio, settings), c.error);
        if (c.error != 0) {
            continue;
        }
        EXPECT_EQ(cfgetispeed(&tio), c.speed);
        EXPECT_EQ(cfgetospeed(&tio), c.speed);
        EXPECT_EQ(tio.c_cflag & kFraming, c.framing);
        EXPECT_TRUE(LineSettingsTook(tio, tio));
    }
}

TEST(LineConfigTest, RawTransferWithoutHandshakeKeepsTheRest) {
    termios tio = CookedTerminal();
    ASSERT_EQ(ApplyLineSettings(tio, kPanelSettings), 0);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | IXON | IXOFF), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_cflag & (CREAD | CLOCAL | HUPCL), tcflag_t{CREAD | CLOCAL | HUPCL});
    EXPECT_EQ(tio.c_cc[VMIN], 1);
    EXPECT_EQ(tio.c_cc[VTIME], 0);
}

TEST(LineConfigTest, NoticesADriverThatDidNotTakeTheSettings) {
    termios requested = CookedTerminal();
    ASSERT_EQ(ApplyLineSettings(requested, kPanelSettings), 0);
    termios slower = requested;
    cfsetspeed(&slower, B4800);
    termios withParity = requested;
    withParity.c_cflag |= PARENB;
    EXPECT_FALSE(LineSettingsTook(requested, slower));
    EXPECT_FALSE(LineSettingsTook(requested, withParity));
}

}  // namespace
