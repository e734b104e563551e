// The simulator on real ptys, as the panel's port will meet it: raw reads and writes, closing and
// re-opening, hang-ups, and the driverpanel-sim program with its link and log file.
#include "tools/simulator/pty_module.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/frame.h"

extern char** environ;

namespace simulator {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// Generous: these bound a wait for something that happens in microseconds unless it is broken.
constexpr int kPatienceMs = 5000;
constexpr auto kPatience = std::chrono::milliseconds(kPatienceMs);

// Opens a tty the way the panel does: read-write, not as controlling terminal, raw.
int OpenRaw(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        termios tio{};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

void WriteAll(int fd, const Bytes& bytes) {
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

// Reads until `count` bytes have come, the line ends, or the patience runs out.
Bytes ReadBytes(int fd, std::size_t count) {
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kPatienceMs) <= 0) {
            break;
        }
        std::uint8_t buffer[64];
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - got.size()));
        if (n <= 0) {
            break;
        }
        got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

// Whether the line reports a hang-up: poll says so and a read gets nothing.
bool SeesHangUp(int fd) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, kPatienceMs) != 1 || !(p.revents & (POLLHUP | POLLERR))) {
        return false;
    }
    std::uint8_t byte;
    return ::read(fd, &byte, 1) <= 0;
}

Bytes Frame(const QueryFrame& frame) {
    return {frame.begin(), frame.end()};
}

Bytes SetFrameFor(std::uint8_t command, std::uint16_t value) {
    SetFrame frame = kEmptySetFrame;
    WriteSetFrame(frame, command, value);
    return {frame.begin(), frame.end()};
}

// Reply types and lengths of a byte stream of back-to-back replies.
std::vector<std::pair<std::uint8_t, std::size_t>> Replies(const Bytes& line) {
    std::vector<std::pair<std::uint8_t, std::size_t>> replies;
    for (std::size_t at = 0; at + kCodeIndex < line.size(); at += line[at + kLengthIndex] + 3u) {
        replies.emplace_back(line[at + kCodeIndex], line[at + kLengthIndex] + 3u);
    }
    return replies;
}

std::size_t CountValid(const std::vector<LineEvent>& events) {
    std::size_t valid = 0;
    for (const LineEvent& e : events) {
        valid += e.direction == LineEvent::Direction::Received && e.verdict == "valid";
    }
    return valid;
}

TEST(PtyModule, AnswersABurstOfEveryRequestInOrder) {
    ModuleConfig config;
    config.maximumA = 400;
    PtyModule module(config);
    module.Start();
    const int fd = OpenRaw(module.Path());
    ASSERT_GE(fd, 0) << module.Path();

    Bytes burst;
    for (const Bytes& frame :
         {Frame(kQueryConfigFrame), Frame(kQueryTempFrame), Frame(kQueryPowerFrame),
          SetFrameFor(CMD_SET_A, 1000), SetFrameFor(CMD_SET_B, 7)}) {
        burst.insert(burst.end(), frame.begin(), frame.end());
    }
    WriteAll(fd, burst);
    const Bytes line = ReadBytes(fd, 19 + 9 + 7 + 9 + 9);
    const std::vector<std::pair<std::uint8_t, std::size_t>> expected = {{REPLY_CONFIG, 19},
                                                                        {REPLY_TEMP, 9},
                                                                        {REPLY_POWER, 7},
                                                                        {REPLY_SETPOINTS, 9},
                                                                        {REPLY_SETPOINTS, 9}};
    EXPECT_EQ(Replies(line), expected);
    ASSERT_EQ(line.size(), 53u);
    EXPECT_EQ(ReadU16(std::span(line).subspan(44), 4), 400);  // clamped to maximum A
    EXPECT_EQ(ReadU16(std::span(line).subspan(44), 6), 7);

    const std::vector<LineEvent> received = module.Received();
    ASSERT_EQ(received.size(), 5u);
    EXPECT_EQ(received[3].bytes, SetFrameFor(CMD_SET_A, 1000));
    ::close(fd);
}

TEST(PtyModule, ServesAgainAfterThePanelClosesAndReopens) {
    ModuleConfig config;
    config.faults.byteGap = 2ms;  // replies arrive in pieces, as through a USB adapter
    config.faults.replyDelay = 20ms;
    PtyModule module(config);
    module.Start();
    for (int round = 0; round < 3; ++round) {
        const int fd = OpenRaw(module.Path());
        ASSERT_GE(fd, 0);
        WriteAll(fd, Frame(kQueryPowerFrame));
        const Bytes reply = ReadBytes(fd, 7);
        ASSERT_EQ(reply.size(), 7u) << "round " << round;
        EXPECT_EQ(reply[kCodeIndex], REPLY_POWER);
        ::close(fd);
        // Closing the port must not end the module's service: it waits for the next panel.
        EXPECT_TRUE(
            module.WaitFor([&](const auto& e) { return CountValid(e) == round + 1u; }, kPatience));
        EXPECT_FALSE(module.Result().has_value());
    }
}

TEST(PtyModule, HangsUpOnRequestAndAfterItsLastFrame) {
    for (const bool scheduled : {false, true}) {
        ModuleConfig config;
        config.faults.hangUpAfterFrames = scheduled ? 2 : 0;
        config.faults.hangUpMidReply = scheduled;
        PtyModule module(config);
        module.Start();
        const int fd = OpenRaw(module.Path());
        ASSERT_GE(fd, 0);
        WriteAll(fd, Frame(kQueryTempFrame));
        EXPECT_EQ(ReadBytes(fd, 9).size(), 9u);
        if (scheduled) {
            WriteAll(fd, Frame(kQueryTempFrame));
            EXPECT_EQ(ReadBytes(fd, 9).size(), 4u);  // the cut reply, then the line ends
            ASSERT_TRUE(module.WaitForEnd(kPatience));
            EXPECT_EQ(module.Result()->end, ServeResult::End::HungUp);
        } else {
            module.HangUp();
        }
        EXPECT_TRUE(SeesHangUp(fd)) << (scheduled ? "scheduled" : "on request");
        ::close(fd);
    }
}

TEST(PtyModule, ServesAGivenTtyAndStopsWhenItsPeerGoes) {
    // A pty pair of the test's own stands in for socat's: the module takes the slave end.
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    PtyModule module(ModuleConfig{}, ptsname(master));
    module.Start();
    WriteAll(master, Frame(kQueryConfigFrame));
    EXPECT_EQ(ReadBytes(master, 19).size(), 19u);

    ::close(master);
    ASSERT_TRUE(module.WaitForEnd(kPatience));
    EXPECT_EQ(module.Result()->end, ServeResult::End::PeerGone);
}

TEST(PtyModule, StopsAndStartsAgain) {
    PtyModule module{ModuleConfig{}};
    module.Start();
    module.Stop();
    EXPECT_EQ(module.Result()->end, ServeResult::End::Stopped);
    module.Start();
    const int fd = OpenRaw(module.Path());
    WriteAll(fd, Frame(kQueryTempFrame));
    EXPECT_EQ(ReadBytes(fd, 9).size(), 9u);
    ::close(fd);
}

// Starts driverpanel-sim with `args`, its standard output on `out` (and its standard input on
// it too when `inputToo`), and only `environment` for environment.
pid_t SpawnSimulator(std::vector<std::string> args, int out, bool inputToo,
                     std::vector<std::string> environment) {
    args.insert(args.begin(), DRIVERPANEL_SIM_PATH);
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : environment) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    if (inputToo) {
        posix_spawn_file_actions_adddup2(&actions, out, STDIN_FILENO);
    }
    pid_t pid = -1;
    if (posix_spawn(&pid, DRIVERPANEL_SIM_PATH, &actions, nullptr, argv.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The exit code, or -1 when the program did not end by exiting.
int ExitCode(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// The log's lines without their times.
std::vector<std::string> LogEntries(const std::string& path) {
    std::ifstream log(path);
    std::vector<std::string> entries;
    for (std::string line; std::getline(log, line);) {
        entries.push_back(line.substr(line.find(' ') + 1));
    }
    return entries;
}

class SimulatorProgram : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/driverpanel-simtest-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    std::filesystem::path root_;
};

// As scripts start it: first line the path, a link, a log, SIGTERM to end.
TEST_F(SimulatorProgram, ServesThroughItsLinkLogsAndCleansUpOnSigterm) {
    const std::string logPath = (root_ / "sim.log").string();
    const std::filesystem::path link = root_ / "ports" / "sim0";
    int out[2];
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    const pid_t pid = SpawnSimulator({"--link", "sim0", "--log", logPath, "--log-sent"}, out[1],
                                     false, {"DRIVERPANEL_PORTS=" + (root_ / "ports").string()});
    ::close(out[1]);
    ASSERT_GT(pid, 0);

    Bytes firstLine;
    while (firstLine.empty() || firstLine.back() != '\n') {
        const Bytes got = ReadBytes(out[0], 1);
        ASSERT_EQ(got.size(), 1u) << "no path from the simulator";
        firstLine.push_back(got[0]);
    }
    ::close(out[0]);
    EXPECT_EQ(std::filesystem::read_symlink(link),
              std::string(firstLine.begin(), firstLine.end() - 1));

    const int fd = OpenRaw(link.string());
    ASSERT_GE(fd, 0);
    WriteAll(fd, {0x55, 0xEF, 0xEF, 0x02, 0x0B, 0xEB});
    EXPECT_EQ(ReadBytes(fd, 9).size(), 9u);
    ::close(fd);

    ASSERT_EQ(kill(pid, SIGTERM), 0);
    EXPECT_EQ(ExitCode(pid), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    const std::vector<std::string> entries = LogEntries(logPath);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0], "RX 55 noise");
    EXPECT_EQ(entries[1], "RX EF EF 02 0B EB valid");
    EXPECT_EQ(entries[2].substr(0, 12), "TX ED FA 06 ");
}

// Under socat's EXEC the line is standard input and output; the hang-up closes them and ends
// the program, which is what makes socat close the panel's pty.
TEST_F(SimulatorProgram, OnStandardIoHangsUpByClosingItAndExiting) {
    const std::string logPath = (root_ / "sim.log").string();
    int line[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, line), 0);
    const pid_t pid =
        SpawnSimulator({"--stdio", "--hangup-after", "1", "--log", logPath}, line[1], true, {});
    ::close(line[1]);
    ASSERT_GT(pid, 0);

    WriteAll(line[0], Frame(kQueryPowerFrame));
    EXPECT_EQ(ReadBytes(line[0], 7).size(), 7u);
    pollfd end{line[0], POLLIN, 0};
    ASSERT_EQ(::poll(&end, 1, kPatienceMs), 1);
    std::uint8_t byte;
    EXPECT_EQ(::read(line[0], &byte, 1), 0);  // end of file: the program let go of the line
    EXPECT_EQ(ExitCode(pid), 0);
    EXPECT_EQ(LogEntries(logPath), (std::vector<std::string>{"RX EF EF 02 22 02 valid", "HANGUP"}));
    ::close(line[0]);
}

}  // namespace
}  // namespace simulator
