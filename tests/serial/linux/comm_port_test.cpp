// The port object on real ptys: opening, configuring, closing, and serving it; the test plays the
// module at the far end and serves the port as a host's event loop does.
#include "serial/linux/comm_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/serial/linux/pty_pair.h"
#include "tests/serial/linux/temp_dir.h"
#include "tests/serial/linux/test_owner.h"

namespace {

constexpr LineSettings kPanelSettings = {9600, 'N',  8,    0,    kEvRxChar, 512,
                                         1000, 1000, 1000, 1000, 1000};

// Two virtual ports, "a-spare" (port 1) and "b-module" (port 2), each a pty whose far end the
// test holds; the tests use port 2 so that the port number is not the default.
class CommPortTest : public ::testing::Test {
  protected:
    static constexpr int kPort = 2;

    void SetUp() override {
        ASSERT_TRUE(spare_.Valid() && module_.Valid());
        ASSERT_EQ(symlink(spare_.NearPath().c_str(), ports_.Join("a-spare").c_str()), 0);
        ASSERT_EQ(symlink(module_.NearPath().c_str(), ports_.Join("b-module").c_str()), 0);
    }

    TempDir ports_;
    PtyPair spare_;
    PtyPair module_;
    PortRegistry registry_{[] { return std::vector<HardwarePort>(); }, ports_.Path()};
    TestOwner owner_;
};

std::vector<std::uint8_t> Pattern(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 7 + i / 256) & 0xFF);
    }
    return bytes;
}

// A tty's settings as one line, so that a difference shows which field changed.
std::string Describe(const termios& tio) {
    std::ostringstream line;
    line << std::oct << "iflag " << tio.c_iflag << " oflag " << tio.c_oflag << " cflag "
         << tio.c_cflag << " lflag " << tio.c_lflag << std::dec << " speeds " << cfgetispeed(&tio)
         << "/" << cfgetospeed(&tio) << " cc";
    for (const cc_t c : tio.c_cc) {
        line << " " << int{c};
    }
    return line.str();
}

// Settings another program left on a tty: a terminal's line editing and echo, with a speed and a
// read timeout that are not the panel's. Returns them as the driver holds them.
std::string GiveTerminalSettings(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return "no settings: " + std::string(std::strerror(errno));
    }
    tio.c_lflag |= ICANON | ECHO | ECHOE | ISIG;
    tio.c_iflag |= ICRNL | IXON;
    tio.c_oflag |= OPOST | ONLCR;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 5;
    cfsetispeed(&tio, B4800);
    cfsetospeed(&tio, B4800);
    if (tcsetattr(fd, TCSANOW, &tio) != 0 || tcgetattr(fd, &tio) != 0) {
        return "not set: " + std::string(std::strerror(errno));
    }
    return Describe(tio);
}

std::string SettingsOf(int fd) {
    termios tio{};
    return tcgetattr(fd, &tio) == 0 ? Describe(tio) : std::strerror(errno);
}

TEST_F(CommPortTest, LineSettingsReachTheDevice) {
    struct Case {
        const char* name;
        std::uint32_t baud;
        char parity;
        std::uint8_t dataBits;
        std::uint8_t stopBits;
        speed_t speed;
        tcflag_t framing;
    };
    // A pty keeps speed and stop bits but always reports 8 bits without parity; the parity
    // mapping itself is covered without a device.
    const Case cases[] = {
        {"panel 9600 8N1", 9600, 'N', 8, 0, B9600, CS8},
        {"19200, two stop bits", 19200, 'N', 8, 2, B19200, CS8 | CSTOPB},
    };
    // A second descriptor on the port's tty reads back what the driver now holds.
    const int readBack = open(module_.NearPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(readBack, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LineSettings settings = kPanelSettings;
        settings.baudRate = c.baud;
        settings.parity = c.parity;
        settings.dataBits = c.dataBits;
        settings.stopBits = c.stopBits;
        CCommPort port(registry_, owner_);
        ASSERT_TRUE(port.Setup(kPort, settings).Opened());

        termios tio{};
        ASSERT_EQ(tcgetattr(readBack, &tio), 0);
        EXPECT_EQ(cfgetispeed(&tio), c.speed);
        EXPECT_EQ(cfgetospeed(&tio), c.speed);
        EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS), c.framing);
        EXPECT_EQ(tio.c_cflag & (CREAD | CLOCAL), tcflag_t{CREAD | CLOCAL});
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP | INPCK), 0u);
        EXPECT_EQ(tio.c_oflag & OPOST, 0u);
        EXPECT_EQ(tio.c_cc[VMIN], 1);
        EXPECT_EQ(tio.c_cc[VTIME], 0);
    }
    close(readBack);
    EXPECT_TRUE(owner_.errors.empty());
}

TEST_F(CommPortTest, FailedConfigurationStepShowsOneBoxAndLeavesThePortClosed) {
    struct Case {
        const char* name;
        void (*spoil)(LineSettings&);
        const char* step;
    };
    const Case cases[] = {
        {"event mask with modem lines", [](LineSettings& s) { s.eventMask |= kEvCts; },
         "SetCommMask()"},
        {"unsupported baud rate", [](LineSettings& s) { s.baudRate = 12345; }, "SetCommState()"},
        {"nine data bits", [](LineSettings& s) { s.dataBits = 9; }, "SetCommState()"},
        {"one and a half stop bits", [](LineSettings& s) { s.stopBits = 1; }, "SetCommState()"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestOwner owner;
        LineSettings settings = kPanelSettings;
        c.spoil(settings);
        CCommPort port(registry_, owner);
        const OpenResult result = port.Setup(kPort, settings);
        EXPECT_EQ(result.status, OpenStatus::Failed);
        EXPECT_EQ(result.step, c.step);
        EXPECT_EQ(result.systemText, "Invalid argument");
        EXPECT_EQ(owner.errors, std::vector<std::string>{"WARNING:  " + std::string(c.step) +
                                                         " Failed with the following error: "
                                                         "\nInvalid argument\nPort: 2\n"});
        EXPECT_FALSE(port.StartWorker());
        EXPECT_EQ(owner.watchedFd, -1);

        // Closed, and closed properly: another port object can take it.
        CCommPort other(registry_, owner);
        EXPECT_TRUE(other.Setup(kPort, kPanelSettings).Opened());
    }
}

// The tty keeps what it had before the panel opened it, whichever way the port is given up. A
// second descriptor on it stands for the program whose terminal it is.
TEST_F(CommPortTest, GivingThePortUpLeavesItsLineSettingsAsOpeningFoundThem) {
    struct Case {
        const char* name;
        void (*useAndGiveUp)(PortRegistry&, TestOwner&);
    };
    const Case cases[] = {
        {"opened, used and shut down",
         [](PortRegistry& registry, TestOwner& owner) {
             CCommPort port(registry, owner);
             ASSERT_TRUE(port.Setup(kPort, kPanelSettings).Opened());
             ASSERT_TRUE(port.StartWorker());
             const std::uint8_t frame[] = {0xEF, 0xEF, 0x02, 0x01, 0xE1};
             port.QueueWrite(frame, sizeof frame);
             port.Shutdown();
         }},
        {"configuration fails after the read timeouts were set",
         [](PortRegistry& registry, TestOwner& owner) {
             LineSettings settings = kPanelSettings;
             settings.baudRate = 12345;
             CCommPort port(registry, owner);
             EXPECT_FALSE(port.Setup(kPort, settings).Opened());
             EXPECT_EQ(owner.errors.size(), 1u);
         }},
        {"still open when the program ends",
         [](PortRegistry& registry, TestOwner& owner) {
             CCommPort port(registry, owner);
             ASSERT_TRUE(port.Setup(kPort, kPanelSettings).Opened());
             ASSERT_TRUE(port.StartWorker());
         }},
        {"set up again on another port",
         [](PortRegistry& registry, TestOwner& owner) {
             CCommPort port(registry, owner);
             ASSERT_TRUE(port.Setup(kPort, kPanelSettings).Opened());
             ASSERT_TRUE(port.Setup(1, kPanelSettings).Opened());
             port.Shutdown();
         }},
    };
    const int terminal = open(module_.NearPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(terminal, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string before = GiveTerminalSettings(terminal);
        TestOwner owner;
        c.useAndGiveUp(registry_, owner);
        EXPECT_EQ(SettingsOf(terminal), before);
    }
    close(terminal);
}

// The tty's own output queue as a close finds it, look after look (the last look repeats), on a
// clock that only the close's pauses move.
class ScriptedTty : public TtyCalls {
  public:
    explicit ScriptedTty(std::vector<int> looks) : looks_(std::move(looks)) {}

    int OutputQueued(int) override {
        const int queued = looks_[std::min(next_++, looks_.size() - 1)];
        log.push_back("queued " + std::to_string(queued));
        return queued;
    }
    int SetLine(int fd, const termios& settings) override {
        log.push_back("line");
        return TtyCalls::SetLine(fd, settings);
    }
    void Pause(std::chrono::milliseconds span) override {
        now_ += span;
        ++pauses;
    }
    std::chrono::steady_clock::time_point Now() override { return now_; }

    std::vector<std::string> log;
    int pauses = 0;

  private:
    std::vector<int> looks_;
    std::size_t next_ = 0;
    std::chrono::steady_clock::time_point now_{};
};

// The line settings go back only once the frames already sent have left, so the module never
// sees the tail of one at another speed; a stalled adapter holds the close for a full write
// buffer's time on the line at most (512 bytes of 12 bits at 9600 baud: 640 ms), and a tty that
// cannot tell (hung up) is not waited for.
TEST_F(CommPortTest, CloseRestoresTheLineOnlyAfterUnsentOutputLeft) {
    struct Case {
        const char* name;
        std::vector<int> looks;
        int pauses;
    };
    const Case cases[] = {
        {"output drains", {3, 1, 0}, 2},
        {"adapter stalled", {5}, 640},
        {"queue unreadable", {-1}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedTty tty(c.looks);
        CCommPort port(registry_, owner_, tty);
        ASSERT_TRUE(port.Setup(kPort, kPanelSettings).Opened());
        ASSERT_TRUE(port.StartWorker());
        port.Shutdown();
        EXPECT_EQ(tty.pauses, c.pauses);
        // Every look but the last found output waiting; the line came after the last, once.
        ASSERT_EQ(tty.log.size(), static_cast<std::size_t>(c.pauses) + 2);
        EXPECT_EQ(tty.log.back(), "line");
    }
}

// After a hang-up the port's descriptor no longer reaches the tty. When the tty itself stays (it
// was hung up, not removed) and its program has set it up again, the close must leave it alone.
TEST_F(CommPortTest, ClosingAfterAHangUpLeavesTheTtyAlone) {
    const int terminal = open(module_.NearPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(terminal, 0);
    CCommPort port(registry_, owner_);
    ASSERT_TRUE(port.Setup(kPort, kPanelSettings).Opened());
    ASSERT_TRUE(port.StartWorker());
    if (ioctl(terminal, TIOCVHANGUP) != 0) {
        close(terminal);
        port.Shutdown();
        GTEST_SKIP() << "hanging up a tty needs CAP_SYS_ADMIN: " << std::strerror(errno);
    }
    close(terminal);
    ASSERT_TRUE(owner_.ServeUntil(port, [&] { return owner_.lost.size() == 1; }));
    const int revived = open(module_.NearPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(revived, 0);
    const std::string before = GiveTerminalSettings(revived);

    port.Shutdown();

    EXPECT_EQ(SettingsOf(revived), before);
    EXPECT_TRUE(owner_.errors.empty());
    close(revived);
}

TEST_F(CommPortTest, OpenIsExclusiveUntilShutdownAndReopenWorks) {
    TestOwner firstOwner;
    CCommPort first(registry_, firstOwner);
    CCommPort second(registry_, owner_);
    ASSERT_TRUE(first.Setup(kPort, kPanelSettings).Opened());
    ASSERT_TRUE(first.StartWorker());
    EXPECT_EQ(second.Setup(kPort, kPanelSettings).status, OpenStatus::Busy);
    if (geteuid() != 0) {  // the kernel's exclusive mode does not hold against root
        EXPECT_LT(open(module_.NearPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK), 0);
        EXPECT_EQ(errno, EBUSY);
    }
    first.Shutdown();

    ASSERT_TRUE(second.Setup(kPort, kPanelSettings).Opened());
    ASSERT_TRUE(second.StartWorker());
    ASSERT_TRUE(module_.Send({0x42}));
    EXPECT_TRUE(owner_.ServeUntil(second, [&] { return owner_.received.size() == 1; }));
    EXPECT_EQ(owner_.Bytes(), std::vector<std::uint8_t>{0x42});
    second.Shutdown();
    EXPECT_TRUE(owner_.errors.empty());
}

// The reasons a port does not open without a box, for hosts that show none.
TEST_F(CommPortTest, PortThatDoesNotOpenSaysWhyWithoutABox) {
    struct Case {
        const char* name;
        int portNumber;
        bool (*prepare)(const std::string& ttyPath);
        OpenStatus status;
    };
    const Case cases[] = {
        {"never listed", 5, [](const std::string&) { return true; }, OpenStatus::Absent},
        {"gone since it was listed", kPort,
         [](const std::string& tty) { return unlink(tty.c_str()) == 0; }, OpenStatus::Absent},
        {"no permission", kPort, [](const std::string& tty) { return chmod(tty.c_str(), 0) == 0; },
         OpenStatus::Denied},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.status == OpenStatus::Denied && geteuid() == 0) {
            continue;  // root may open anything
        }
        TempDir ports;
        PtyPair pty;
        ASSERT_TRUE(pty.Valid());
        const std::string link = ports.Join("b-module");
        ASSERT_EQ(symlink(pty.NearPath().c_str(), ports.Join("a-spare").c_str()), 0);
        ASSERT_EQ(symlink(pty.NearPath().c_str(), link.c_str()), 0);
        PortRegistry registry([] { return std::vector<HardwarePort>(); }, ports.Path());
        ASSERT_TRUE(registry.Probe(kPort));
        ASSERT_TRUE(c.prepare(c.status == OpenStatus::Denied ? pty.NearPath() : link));
        TestOwner owner;
        CCommPort port(registry, owner);
        EXPECT_EQ(port.Setup(c.portNumber, kPanelSettings).status, c.status);
        EXPECT_FALSE(port.StartWorker());
        EXPECT_TRUE(owner.errors.empty());
    }
}

TEST_F(CommPortTest, BurstArrivesWholeAndInOrder) {
    CCommPort port(registry_, owner_);
    ASSERT_TRUE(port.Setup(kPort, kPanelSettings).Opened());
    ASSERT_TRUE(port.StartWorker());
    const std::vector<std::uint8_t> burst = Pattern(6000);
    ASSERT_TRUE(module_.Send(burst));
    ASSERT_TRUE(owner_.ServeUntil(port, [&] { return owner_.received.size() >= burst.size(); }));
    port.Shutdown();
    EXPECT_EQ(owner_.Bytes(), burst);
    EXPECT_EQ(owner_.received.back().portNumber, kPort);
}

TEST_F(CommPortTest, BackToBackFramesAllLeaveWholeAndInOrder) {
    CCommPort port(registry_, owner_);
    ASSERT_TRUE(port.Setup(kPort, kPanelSettings).Opened());
    // Frames queued before a new Setup belong to the old connection and are dropped.
    const std::uint8_t stale[] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    port.QueueWrite(stale, sizeof stale);
    ASSERT_TRUE(port.Setup(kPort, kPanelSettings).Opened());

    std::vector<std::uint8_t> expected;
    // Frames queued before the start wait for it: the start's purge must not cut them.
    for (std::uint8_t n = 0; n < 60; ++n) {
        std::vector<std::uint8_t> frame = {0xEF, 0xEF, n, static_cast<std::uint8_t>(n + 1), 0x5A};
        if (n % 2 == 1) {
            frame.insert(frame.end(), {n, 0xA5});
        }
        port.QueueWrite(frame.data(), frame.size());
        expected.insert(expected.end(), frame.begin(), frame.end());
        if (n == 9) {
            ASSERT_TRUE(port.StartWorker());
        }
    }
    EXPECT_EQ(module_.ReceiveOnceBuffered(expected.size()), expected);
    port.Shutdown();
    EXPECT_TRUE(owner_.errors.empty());
}

}  // namespace
