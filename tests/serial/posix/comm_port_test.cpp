// The port object and its worker on real ptys: the test plays the module at the far end.
#include "serial/posix/comm_port.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/serial/posix/pty_pair.h"
#include "tests/serial/posix/temp_dir.h"
#include "tests/serial/posix/test_owner.h"

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

struct ThreadSample {
    char state = '?';
    long cpuTicks = -1;
};

// The scheduler's view of the worker thread, found by its name.
ThreadSample SampleWorkerThread() {
    ThreadSample sample;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) {
        return sample;
    }
    while (const dirent* entry = readdir(tasks)) {
        const std::string dir = std::string("/proc/self/task/") + entry->d_name;
        std::string name;
        std::getline(std::ifstream(dir + "/comm"), name);
        if (name != "port-worker") {
            continue;
        }
        std::string stat;
        std::getline(std::ifstream(dir + "/stat"), stat);
        // After "(comm) ": state, then fields 4..13, then utime and stime (fields 14, 15).
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string skip;
        long utime = 0;
        long stime = 0;
        fields >> sample.state;
        for (int field = 4; field <= 13; ++field) {
            fields >> skip;
        }
        fields >> utime >> stime;
        sample.cpuTicks = utime + stime;
    }
    closedir(tasks);
    return sample;
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
        CCommPort port(registry_);
        ASSERT_TRUE(port.Setup(owner_, kPort, settings));

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
        EXPECT_EQ(port.Timeouts().readInterval, 1000000u);
        EXPECT_EQ(port.Timeouts().writeTotalConstant, 1000000u);
    }
    close(readBack);
    EXPECT_TRUE(owner_.Errors().empty());
}

TEST_F(CommPortTest, FailedConfigurationStepShowsOneBoxAndLeavesThePortClosed) {
    struct Case {
        const char* name;
        void (*spoil)(LineSettings&);
        const char* expectedText;
    };
    const Case cases[] = {
        {"event mask with modem lines", [](LineSettings& s) { s.eventMask |= kEvCts; },
         "WARNING:  SetCommMask() Failed with the following error: \nInvalid argument\nPort: 2\n"},
        {"unsupported baud rate", [](LineSettings& s) { s.baudRate = 12345; },
         "WARNING:  SetCommState() Failed with the following error: \nInvalid argument\nPort: 2\n"},
        {"nine data bits", [](LineSettings& s) { s.dataBits = 9; },
         "WARNING:  SetCommState() Failed with the following error: \nInvalid argument\nPort: 2\n"},
        {"one and a half stop bits", [](LineSettings& s) { s.stopBits = 1; },
         "WARNING:  SetCommState() Failed with the following error: \nInvalid argument\nPort: 2\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestOwner owner;
        LineSettings settings = kPanelSettings;
        c.spoil(settings);
        CCommPort port(registry_);
        EXPECT_FALSE(port.Setup(owner, kPort, settings));
        EXPECT_EQ(owner.Errors(), std::vector<std::string>{c.expectedText});
        EXPECT_FALSE(port.StartWorker());

        // Closed, and closed properly: another port object can take it.
        CCommPort other(registry_);
        EXPECT_TRUE(other.Setup(owner, kPort, kPanelSettings));
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
             CCommPort port(registry);
             ASSERT_TRUE(port.Setup(owner, kPort, kPanelSettings));
             ASSERT_TRUE(port.StartWorker());
             const std::uint8_t frame[] = {0xEF, 0xEF, 0x02, 0x01, 0xE1};
             port.QueueWrite(frame, sizeof frame);
             port.Shutdown();
         }},
        {"configuration fails after the read timeouts were set",
         [](PortRegistry& registry, TestOwner& owner) {
             LineSettings settings = kPanelSettings;
             settings.baudRate = 12345;
             CCommPort port(registry);
             EXPECT_FALSE(port.Setup(owner, kPort, settings));
             EXPECT_EQ(owner.Errors().size(), 1u);
         }},
        {"still open when the program ends",
         [](PortRegistry& registry, TestOwner& owner) {
             CCommPort port(registry);
             ASSERT_TRUE(port.Setup(owner, kPort, kPanelSettings));
             ASSERT_TRUE(port.StartWorker());
         }},
        {"set up again on another port",
         [](PortRegistry& registry, TestOwner& owner) {
             CCommPort port(registry);
             ASSERT_TRUE(port.Setup(owner, kPort, kPanelSettings));
             ASSERT_TRUE(port.Setup(owner, 1, kPanelSettings));
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

// After a hang-up the port's descriptor no longer reaches the tty. When the tty itself stays (it
// was hung up, not removed) and its program has set it up again, the close must leave it alone.
TEST_F(CommPortTest, ClosingAfterAHangUpLeavesTheTtyAlone) {
    const int terminal = open(module_.NearPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(terminal, 0);
    CCommPort port(registry_);
    ASSERT_TRUE(port.Setup(owner_, kPort, kPanelSettings));
    ASSERT_TRUE(port.StartWorker());
    if (ioctl(terminal, TIOCVHANGUP) != 0) {
        close(terminal);
        port.Shutdown();
        GTEST_SKIP() << "hanging up a tty needs CAP_SYS_ADMIN: " << std::strerror(errno);
    }
    close(terminal);
    ASSERT_TRUE(owner_.WaitUntil([](const TestOwner& o) { return o.HangUpCount() == 1; }));
    const int revived = open(module_.NearPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(revived, 0);
    const std::string before = GiveTerminalSettings(revived);

    port.Shutdown();

    EXPECT_EQ(SettingsOf(revived), before);
    EXPECT_TRUE(owner_.Errors().empty());
    close(revived);
}

TEST_F(CommPortTest, OpenIsExclusiveUntilShutdownAndReopenWorks) {
    CCommPort first(registry_);
    CCommPort second(registry_);
    ASSERT_TRUE(first.Setup(owner_, kPort, kPanelSettings));
    ASSERT_TRUE(first.StartWorker());
    EXPECT_FALSE(second.Setup(owner_, kPort, kPanelSettings));
    if (geteuid() != 0) {  // the kernel's exclusive mode does not hold against root
        EXPECT_LT(open(module_.NearPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK), 0);
        EXPECT_EQ(errno, EBUSY);
    }
    first.Shutdown();

    ASSERT_TRUE(second.Setup(owner_, kPort, kPanelSettings));
    ASSERT_TRUE(second.StartWorker());
    ASSERT_TRUE(module_.Send({0x42}));
    EXPECT_TRUE(owner_.WaitUntil([](const TestOwner& o) { return o.ByteCount() == 1; }));
    second.Shutdown();
    EXPECT_TRUE(owner_.Errors().empty());
}

TEST_F(CommPortTest, AbsentPortFailsSilently) {
    CCommPort port(registry_);
    EXPECT_FALSE(port.Setup(owner_, 5, kPanelSettings));
    EXPECT_FALSE(port.StartWorker());
    port.Shutdown();
    EXPECT_TRUE(owner_.Errors().empty());
}

TEST_F(CommPortTest, BurstArrivesWholeAndInOrder) {
    CCommPort port(registry_);
    ASSERT_TRUE(port.Setup(owner_, kPort, kPanelSettings));
    ASSERT_TRUE(port.StartWorker());
    const std::vector<std::uint8_t> burst = Pattern(2048);
    ASSERT_TRUE(module_.Send(burst));
    ASSERT_TRUE(
        owner_.WaitUntil([&](const TestOwner& o) { return o.ByteCount() >= burst.size(); }));
    port.Shutdown();
    EXPECT_EQ(owner_.Bytes(), burst);
    EXPECT_TRUE(owner_.WaitUntil([](const TestOwner& o) { return o.LastPort() == kPort; }));
}

TEST_F(CommPortTest, BackToBackFramesAllLeaveWholeAndInOrder) {
    CCommPort port(registry_);
    ASSERT_TRUE(port.Setup(owner_, kPort, kPanelSettings));
    // Frames queued before a new Setup belong to the old connection and are dropped.
    const std::uint8_t stale[] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    port.QueueWrite(stale, sizeof stale);
    ASSERT_TRUE(port.Setup(owner_, kPort, kPanelSettings));

    std::vector<std::uint8_t> expected;
    ASSERT_TRUE(port.StartWorker());
    for (std::uint8_t n = 0; n < 60; ++n) {
        std::vector<std::uint8_t> frame = {0xEF, 0xEF, n, static_cast<std::uint8_t>(n + 1), 0x5A};
        if (n % 2 == 1) {
            frame.insert(frame.end(), {n, 0xA5});
        }
        port.QueueWrite(frame.data(), frame.size());
        expected.insert(expected.end(), frame.begin(), frame.end());
    }
    EXPECT_EQ(module_.ReceiveOnceBuffered(expected.size()), expected);
    port.Shutdown();
    EXPECT_TRUE(owner_.Errors().empty());
}

TEST_F(CommPortTest, QueuedFrameIsWrittenWhileBytesKeepPouringIn) {
    // A device gone wild: the far end never stops sending, faster than the owner takes it.
    TestOwner busy(std::chrono::milliseconds(20));
    CCommPort port(registry_);
    ASSERT_TRUE(port.Setup(busy, kPort, kPanelSettings));
    ASSERT_TRUE(port.StartWorker());
    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        const std::vector<std::uint8_t> chunk(4096, 0x55);
        while (flooding) {
            if (!module_.Send(chunk)) {
                break;
            }
        }
    });
    ASSERT_TRUE(busy.WaitUntil([](const TestOwner& o) { return o.ByteCount() > 8192; }));

    const std::vector<std::uint8_t> frame = {0xEF, 0xEF, 0x02, 0x0B, 0xED};
    port.QueueWrite(frame.data(), frame.size());
    EXPECT_EQ(module_.Receive(frame.size()), frame);

    flooding = false;
    flood.join();
    port.Shutdown();
    EXPECT_TRUE(busy.Errors().empty());
}

// The panel queues its next query while the first byte of a reply still waits for it (it sits in
// a pause between queries): the write's purge must not cut the rest of that reply, already here.
TEST_F(CommPortTest, FrameQueuedDuringAReplyLetsTheReplyFinish) {
    TestOwner slow(std::chrono::milliseconds(300));
    CCommPort port(registry_);
    ASSERT_TRUE(port.Setup(slow, kPort, kPanelSettings));
    ASSERT_TRUE(port.StartWorker());
    const std::vector<std::uint8_t> reply = {0xED, 0xFA, 0x06, 0x0B, 0x0A, 0x03, 0x0A, 0x03, 0x12};
    ASSERT_TRUE(module_.Send({reply.front()}));
    ASSERT_TRUE(slow.WaitUntil([](const TestOwner& o) { return o.ByteCount() == 1; }));
    ASSERT_TRUE(module_.Send(std::vector<std::uint8_t>(reply.begin() + 1, reply.end())));
    const std::vector<std::uint8_t> query = {0xEF, 0xEF, 0x02, 0x22, 0x02};
    port.QueueWrite(query.data(), query.size());

    EXPECT_EQ(module_.Receive(query.size()), query);
    EXPECT_TRUE(slow.WaitUntil([&](const TestOwner& o) { return o.ByteCount() == reply.size(); }));
    EXPECT_EQ(slow.Bytes(), reply);
    port.Shutdown();
}

TEST_F(CommPortTest, ShutdownWhileTheOwnerIsInsideADeliveryStopsAfterThatByte) {
    TestOwner holding(/*holdDeliveries=*/true);
    CCommPort port(registry_);
    ASSERT_TRUE(port.Setup(holding, kPort, kPanelSettings));
    ASSERT_TRUE(port.StartWorker());
    ASSERT_TRUE(module_.Send(Pattern(16)));
    ASSERT_TRUE(holding.WaitUntil([](const TestOwner& o) { return o.InDelivery(); }));

    port.Shutdown();  // must dispatch the held delivery, or it never returns

    EXPECT_EQ(holding.Bytes().size(), 1u);
}

TEST_F(CommPortTest, HangUpMidFrameTellsTheOwnerOnceAndTheWorkerSleeps) {
    CCommPort port(registry_);
    ASSERT_TRUE(port.Setup(owner_, kPort, kPanelSettings));
    ASSERT_TRUE(port.StartWorker());
    const std::vector<std::uint8_t> halfFrame = {0xED, 0xFA, 0x07};
    ASSERT_TRUE(module_.Send(halfFrame));
    ASSERT_TRUE(owner_.WaitUntil([&](const TestOwner& o) { return o.ByteCount() == 3; }));
    module_.CloseFarEnd();
    ASSERT_TRUE(owner_.WaitUntil([](const TestOwner& o) { return o.HangUpCount() == 1; }));

    // A spinning worker would be running and gathering CPU time over the pause; a waiting one
    // sleeps in poll and gathers none.
    const ThreadSample before = SampleWorkerThread();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const ThreadSample after = SampleWorkerThread();
    EXPECT_EQ(after.state, 'S');
    ASSERT_GE(before.cpuTicks, 0);
    EXPECT_LE(after.cpuTicks - before.cpuTicks, 2);

    const std::uint8_t frame[] = {0xEF, 0xEF, 0x02, 0x01, 0xE1};
    port.QueueWrite(frame, sizeof frame);  // nowhere to go: no box either
    port.Shutdown();
    EXPECT_EQ(owner_.HangUps(), std::vector<int>{kPort});
    EXPECT_EQ(owner_.Bytes(), halfFrame);
    EXPECT_TRUE(owner_.Errors().empty());
}

}  // namespace
