// The Linux panel, with its real port object on its event loop, against faults of the port: a
// module that hangs up mid-reply, a port held by another program, a port this user may not open, a
// minute of noise at line rate, and a hundred opens and closes.
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <thread>

// Under a sanitizer its own allocator holds the heap, out of mallinfo2's sight: the plain build
// counts it here, and under AddressSanitizer the leak checker looks at it at exit.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define DRIVERPANEL_HEAP_HELD_BY_SANITIZER 1
#else
#include <malloc.h>
#endif

#include "panel/number_text.h"
#include "tests/protocol/reply_frames.h"
#include "tests/reliability/live_panel.h"
#include "tests/serial/linux/pty_number_hold.h"
#include "tests/serial/linux/pty_pair.h"
#include "tools/simulator/pty_module.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

constexpr const char* kChildPtyVariable = "DRIVERPANEL_TEST_UNPRIVILEGED_PTY";
constexpr uid_t kNobody = 65534;

TEST(PanelFaults, HangUpMidReplyClosesThePanelQuietlyAndRebuildsTheList) {
    simulator::ModuleConfig config;
    config.faults.hangUpAfterFrames = 8;  // the configuration and a few polls, then a cut reply
    config.faults.hangUpMidReply = true;
    const auto moduleStart = std::chrono::steady_clock::now();  // the line log's time zero
    simulator::PtyModule module(config);
    module.Start();
    const PtyNumberHold numberHold(module.Path());
    ASSERT_TRUE(numberHold.Held());
    LivePanel live(module.Path());
    ASSERT_TRUE(live.Linked());
    live.Open();
    ASSERT_TRUE(live.ShowsOpen());

    ASSERT_TRUE(RunUntil([&] { return live.ShowsClosed() && !live.Listed(); }))
        << "button \"" << live.OpenButtonText() << "\", sim0 listed: " << live.Listed()
        << ", boxes: " << live.Boxes().Seen().size();
    const auto rebuilt = std::chrono::steady_clock::now();
    const auto events = module.Events();
    const auto hangUp = std::find_if(events.begin(), events.end(), [](const auto& e) {
        return e.direction == simulator::LineEvent::Direction::HangUp;
    });
    ASSERT_NE(hangUp, events.end());
    const auto rebuiltMs = std::chrono::duration_cast<std::chrono::milliseconds>(
        rebuilt - (moduleStart + hangUp->sinceStart));
    // An upper bound: the condition is looked at every 20 ms.
    std::printf("panel closed and list rebuilt within %lld ms of the hang-up\n",
                static_cast<long long>(rebuiltMs.count()));
    RecordProperty("rebuilt_ms", static_cast<int>(rebuiltMs.count()));

    EXPECT_FALSE(live.Host().state.portOpen);
    EXPECT_TRUE(live.Boxes().Seen().empty()) << live.Boxes().Seen().front();
    // Nothing is left spinning: a notifier or timer stuck on the dead port would show here.
    const double idle = CpuShareOver(2000ms);
    std::printf("afterwards: %.2f %% of a core\n", idle * 100.0);
    EXPECT_LT(idle, 0.01);
}

// Another program holds the port: util-linux's flock(1) locks it and runs cat on a pipe, so the
// lock lasts until the pipe is closed. -o keeps the lock with flock itself, not with cat.
class HeldPort {
  public:
    explicit HeldPort(const std::string& path) {
        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[0], STDIN_FILENO);
        const char* argv[] = {"flock", "-o", "-x", path.c_str(), "cat", nullptr};
        spawned_ =
            posix_spawnp(&pid_, "flock", &actions, nullptr, const_cast<char**>(argv), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[0]);
        feed_ = pipeFds[1];
    }
    ~HeldPort() { Release(); }
    HeldPort(const HeldPort&) = delete;
    HeldPort& operator=(const HeldPort&) = delete;

    void Release() {
        if (feed_ >= 0) {
            close(feed_);
            feed_ = -1;
        }
        if (spawned_) {
            waitpid(pid_, nullptr, 0);
            spawned_ = false;
        }
    }
    // Whether the lock is taken, seen by trying it from here.
    static bool Locked(const std::string& path) {
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        const bool locked = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0;
        if (fd >= 0) {
            close(fd);
        }
        return locked;
    }
    bool Spawned() const { return spawned_; }

  private:
    pid_t pid_ = 0;
    bool spawned_ = false;
    int feed_ = -1;
};

TEST(PanelFaults, PortHeldByAnotherProgramStaysClosedWithoutABox) {
    simulator::PtyModule module(simulator::ModuleConfig{});
    module.Start();
    LivePanel live(module.Path());
    HeldPort holder(module.Path());
    ASSERT_TRUE(holder.Spawned());
    ASSERT_TRUE(RunUntil([&] { return HeldPort::Locked(module.Path()); }));
    const std::size_t threads = ThreadCount();
    const std::size_t descriptors = DescriptorCount();

    live.Open();
    RunFor(500ms);  // long enough for a configuration query, had the port opened
    EXPECT_TRUE(live.ShowsClosed());
    EXPECT_FALSE(live.Host().state.portOpen);
    EXPECT_TRUE(live.Boxes().Seen().empty());
    EXPECT_TRUE(module.Received().empty());
    EXPECT_EQ(ThreadCount(), threads);
    EXPECT_EQ(DescriptorCount(), descriptors);

    holder.Release();
    live.Open();
    EXPECT_TRUE(RunUntil([&] { return live.Host().state.configured; }))
        << "the port did not open once it was free";
}

// Runs in a child that has given up root (see PermissionDenied below): the port exists and is
// listed, but this user may not open it.
TEST(PanelFaultsUnprivileged, PortThatMayNotBeOpenedStaysClosedWithoutABox) {
    const char* pty = std::getenv(kChildPtyVariable);
    if (pty == nullptr) {
        GTEST_SKIP() << "run by PanelFaults.PermissionDenied";
    }
    ASSERT_NE(access(pty, R_OK | W_OK), 0);
    LivePanel live(pty);
    ASSERT_TRUE(live.Listed());
    const std::size_t threads = ThreadCount();
    live.Open();
    RunFor(300ms);
    EXPECT_TRUE(live.ShowsClosed());
    EXPECT_TRUE(live.Boxes().Seen().empty());
    EXPECT_EQ(ThreadCount(), threads);
}

// Root may open any device whatever its mode, so the panel is run in a child that drops to
// nobody; run without root, the pty is made unreadable instead.
TEST(PanelFaults, PermissionDenied) {
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    const bool root = geteuid() == 0;
    if (!root) {
        ASSERT_EQ(chmod(pty.NearPath().c_str(), 0), 0);
    }
    const std::string self = std::filesystem::read_symlink("/proc/self/exe");
    const std::string filter = "--gtest_filter=PanelFaultsUnprivileged.*";
    setenv(kChildPtyVariable, pty.NearPath().c_str(), 1);
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        // Only async-signal-safe calls between fork and exec.
        if (root && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
            _exit(77);
        }
        const char* argv[] = {self.c_str(), filter.c_str(), nullptr};
        execv(self.c_str(), const_cast<char**>(argv));
        _exit(127);
    }
    unsetenv(kChildPtyVariable);
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) {
        GTEST_SKIP() << "could not drop root to run the panel as nobody";
    }
    if (WEXITSTATUS(status) == 127) {
        GTEST_SKIP() << "nobody may not run " << self << " (a directory on its way is private)";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the unprivileged panel's checks failed (output above)";
}

// Whatever the panel has sent so far, without waiting.
void Drain(const PtyPair& pty, Bytes& into) {
    pollfd wait = {pty.FarEnd(), POLLIN, 0};
    while (poll(&wait, 1, 0) > 0 && (wait.revents & POLLIN) != 0) {
        std::uint8_t chunk[256];
        const ssize_t got = read(pty.FarEnd(), chunk, sizeof chunk);
        if (got <= 0) {
            return;
        }
        into.insert(into.end(), chunk, chunk + got);
    }
}

// Plays a module that answers nothing but whose line carries random bytes at the line's full
// rate, with an intact temperature reply every half second.
class NoisyLine {
  public:
    explicit NoisyLine(const PtyPair& pty) : pty_(pty) {}
    ~NoisyLine() { Stop(); }

    void Start(std::chrono::seconds span) {
        thread_ = std::thread([this, span] { Run(span); });
    }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    bool Done() const { return done_; }
    // After Done(): the readings sent intact, and the temperature queries the panel sent.
    const std::set<std::string>& SentReadings() const { return readings_; }
    std::size_t TemperatureQueries() const { return queries_; }

  private:
    void Run(std::chrono::seconds span) {
        constexpr auto kTick = 10ms;  // 10 bytes each 10 ms: 1,000 bytes/s, just above the line
        std::mt19937 random(3);
        Bytes fromPanel;
        auto next = std::chrono::steady_clock::now();
        const auto end = next + span;
        for (int tick = 0; !stop_ && next < end; ++tick) {
            Bytes chunk(10);
            for (auto& b : chunk) {
                b = static_cast<std::uint8_t>(random());
            }
            if (tick % 50 == 25) {
                const auto word =
                    static_cast<std::uint16_t>(2000 + 10 * (tick / 50));  // 0.1 degC apart
                const Bytes reply = MakeReply(0x0B, {static_cast<std::uint8_t>(word >> 8),
                                                     static_cast<std::uint8_t>(word), 0x0A, 0x28});
                chunk.insert(chunk.end(), reply.begin(), reply.end());
                readings_.insert(FormatOneDecimal(word * 0.01));
            }
            pty_.Send(chunk);
            Drain(pty_, fromPanel);
            next += kTick;
            std::this_thread::sleep_until(next);
        }
        const Bytes query(kQueryTempFrame.begin(), kQueryTempFrame.end());
        for (auto it = fromPanel.begin();
             (it = std::search(it, fromPanel.end(), query.begin(), query.end())) != fromPanel.end();
             ++it) {
            ++queries_;
        }
        done_ = true;
    }
    const PtyPair& pty_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
    std::set<std::string> readings_;  // the line's thread until done_, then the test's
    std::size_t queries_ = 0;         // likewise
};

std::chrono::seconds NoiseSpan() {
    const char* text = std::getenv("DRIVERPANEL_NOISE_SECONDS");
    return std::chrono::seconds(text != nullptr ? std::atoi(text) : 60);
}

TEST(PanelFaults, NoiseAtLineRateForAMinute) {
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    LivePanel live(pty.NearPath());
    live.Open();
    Bytes fromPanel;
    ASSERT_TRUE(RunUntil([&] {
        Drain(pty, fromPanel);
        return fromPanel.size() >= kQueryFrameSize;  // the first configuration query
    }));
    ASSERT_TRUE(
        pty.Send(MakeReply(0x02, {0, 0, 0, 100, 0, 100, 0x01, 0xF4, 0x01, 0xF4, 0, 0, 0, 1})));
    ASSERT_TRUE(RunUntil([&] { return live.Host().state.configured; }));

    const auto span = NoiseSpan();
    NoisyLine line(pty);
    const double cpuBefore = CpuSeconds();
    line.Start(span);
    std::set<std::string> shown;
    ASSERT_TRUE(RunUntil(
        [&] {
            const std::string text = live.Text(IDC_LD_TEMP);
            if (!text.empty()) {
                shown.insert(text);
            }
            return line.Done();
        },
        span + 30s));
    line.Stop();
    std::printf("noise for %lld s: %.2f %% of a core, %zu of %zu readings shown\n",
                static_cast<long long>(span.count()),
                (CpuSeconds() - cpuBefore) / static_cast<double>(span.count()) * 100.0,
                shown.size(), line.SentReadings().size());

    EXPECT_TRUE(live.ShowsOpen());
    EXPECT_TRUE(live.Boxes().Seen().empty());
    for (const std::string& text : shown) {
        EXPECT_EQ(line.SentReadings().count(text), 1u) << "shown but never sent intact: " << text;
    }
    EXPECT_GE(shown.size() * 2, line.SentReadings().size());
    // The panel kept polling through it all.
    EXPECT_GE(line.TemperatureQueries(), static_cast<std::size_t>(span.count()));
}

std::size_t HeapInUse() {
#if defined(DRIVERPANEL_HEAP_HELD_BY_SANITIZER)
    return 0;
#else
    return mallinfo2().uordblks;
#endif
}

TEST(PanelFaults, OpenAndCloseAHundredTimesLeavesNothingBehind) {
    simulator::PtyModule module(simulator::ModuleConfig{});
    module.Start();
    LivePanel live(module.Path());
    auto cycle = [&] {
        live.Open();
        ASSERT_TRUE(RunUntil([&] { return live.Host().state.configured; }));
        live.Click(IDC_OPEN_PORT);
        ASSERT_TRUE(live.ShowsClosed());
    };
    cycle();  // the first open creates what lives as long as the program
    const std::size_t threads = ThreadCount();
    const std::size_t descriptors = DescriptorCount();
    const std::size_t heap = HeapInUse();
    for (int i = 0; i < 100 && !HasFatalFailure(); ++i) {
        cycle();
    }
    EXPECT_EQ(ThreadCount(), threads);
    EXPECT_EQ(DescriptorCount(), descriptors);
    EXPECT_LT(HeapInUse(), heap + 64 * 1024);
    EXPECT_TRUE(live.Boxes().Seen().empty());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
