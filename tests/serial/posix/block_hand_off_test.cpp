// Received bytes crossing from the port's worker to the owner's thread a block at a time, with the
// owner run as a console host runs it: a plain poll() loop over its three descriptors. The far end
// of a pty plays the module.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "protocol/reply_assembler.h"
#include "serial/posix/comm_port.h"
#include "serial/posix/event_loop_port_owner.h"
#include "tests/serial/posix/pty_pair.h"
#include "tests/serial/posix/temp_dir.h"

namespace {

constexpr LineSettings kPanelSettings = {9600, 'N',  8,    0,    kEvRxChar, 512,
                                         1000, 1000, 1000, 1000, 1000};
constexpr int kHangUpMark = -1;  // in the log of what the owner's thread handled
constexpr auto kEventBound = std::chrono::seconds(10);

// A setpoint reply, nine bytes with its checksum.
const std::vector<std::uint8_t> kReply = [] {
    std::vector<std::uint8_t> reply = {0xED, 0xFA, 0x06, REPLY_SETPOINTS, 0x01, 0x2C, 0x00, 0x64};
    reply.push_back(Checksum(reply));
    return reply;
}();

class BlockHandOffTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(module_.Valid());
        ASSERT_EQ(symlink(module_.NearPath().c_str(), ports_.Join("module").c_str()), 0);
        owner_.Attach({.byte = [this](std::uint8_t byte, int) { OnByte(byte); },
                       .hangUp = [this] { OnHangUp(); }});
    }
    // The worker may be waiting on the owner; the port must still stop when it goes.
    void TearDown() override { owner_.Detach(); }

    void Open() {
        ASSERT_TRUE(port_.Setup(owner_, kPort, kPanelSettings));
        ASSERT_TRUE(port_.StartWorker());
    }

    // One pass of the console host's loop after another until done() holds; false when it still
    // does not after a generous while.
    bool RunLoopUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + kEventBound;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            pollfd ready[] = {{owner_.ByteReadyFd(), POLLIN, 0},
                              {owner_.ErrorRequestFd(), POLLIN, 0},
                              {owner_.HangUpFd(), POLLIN, 0}};
            if (poll(ready, 3, 100) <= 0) {
                continue;
            }
            if (ready[0].revents != 0) {
                owner_.HandleByte();
            }
            if (ready[1].revents != 0) {
                owner_.HandleErrorRequest();
            }
            if (ready[2].revents != 0) {
                owner_.HandleHangUp();
            }
        }
        return true;
    }

    // The worker has read a block and waits for the owner's thread, which has not run yet.
    bool BlockWaiting() const {
        pollfd ready = {owner_.ByteReadyFd(), POLLIN, 0};
        return poll(&ready, 1, static_cast<int>(kEventBound.count() * 1000)) == 1;
    }

    // A new connection hands over a reply whole and in order, even when its second block comes
    // while the owner's thread is still busy: the hand-off is in step again.
    void ExpectCleanHandOff() {
        log_.clear();
        Open();
        ASSERT_TRUE(module_.Send({kReply.begin(), kReply.begin() + 4}));
        ASSERT_TRUE(BlockWaiting());
        ASSERT_TRUE(module_.Send({kReply.begin() + 4, kReply.end()}));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a worker out of step reads
        ASSERT_TRUE(RunLoopUntil([&] { return Handled() >= kReply.size(); }));
        EXPECT_EQ(log_, Log(kReply));
        port_.Shutdown();
    }

    std::size_t Handled() const { return log_.size(); }
    std::vector<int> Log(const std::vector<std::uint8_t>& bytes) const {
        return std::vector<int>(bytes.begin(), bytes.end());
    }

    static constexpr int kPort = 1;
    TempDir ports_;
    PtyPair module_;
    PortRegistry registry_{[] { return std::vector<HardwarePort>(); }, ports_.Path()};
    std::vector<std::string> boxes_;
    EventLoopPortOwner owner_{[this](const std::string& text) { boxes_.push_back(text); }};
    CCommPort port_{registry_};

    std::vector<int> log_;  // owner's thread: every byte handled, and hang-ups
    std::function<void(std::uint8_t)> onByte_;
    std::function<void()> onHangUp_;

  private:
    void OnByte(std::uint8_t byte) {
        log_.push_back(byte);
        if (onByte_) {
            onByte_(byte);
        }
    }
    void OnHangUp() {
        log_.push_back(kHangUpMark);
        if (onHangUp_) {
            onHangUp_();
        }
    }
};

TEST_F(BlockHandOffTest, ReplySplitAcrossBlocksAtEveryPositionAssemblesOnceAndWhole) {
    ReplyAssembler assembler;
    std::vector<std::vector<std::uint8_t>> replies;
    onByte_ = [&](std::uint8_t byte) {
        // One moment for every byte: this is about blocks, not about the line's pauses.
        const std::span<const std::uint8_t> frame = assembler.Take(byte, 0);
        if (!frame.empty()) {
            replies.emplace_back(frame.begin(), frame.end());
        }
    };
    Open();
    for (std::size_t split = 1; split < kReply.size(); ++split) {
        SCOPED_TRACE("split after byte " + std::to_string(split));
        replies.clear();
        const std::size_t before = Handled();
        // The first part is handled before the rest is sent, so the two are separate blocks.
        ASSERT_TRUE(module_.Send({kReply.begin(), kReply.begin() + split}));
        ASSERT_TRUE(RunLoopUntil([&] { return Handled() == before + split; }));
        EXPECT_TRUE(replies.empty());
        ASSERT_TRUE(module_.Send({kReply.begin() + split, kReply.end()}));
        ASSERT_TRUE(RunLoopUntil([&] { return Handled() == before + kReply.size(); }));
        EXPECT_EQ(replies, std::vector<std::vector<std::uint8_t>>{kReply});
    }
    port_.Shutdown();
}

TEST_F(BlockHandOffTest, StopInTheMiddleOfABlockEndsItAfterThatByteAndLeavesTheHandOffInStep) {
    const std::vector<std::uint8_t> lead = {0x01};
    const std::vector<std::uint8_t> burst = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17};
    constexpr std::uint8_t kStopAt = 0x13;
    onByte_ = [&](std::uint8_t byte) {
        if (byte == kStopAt) {
            port_.Shutdown();  // a console command that has its answer
        }
    };
    Open();
    // The worker waits in the lead's delivery while the burst piles up, so it reads the burst
    // as one block once the lead is handled.
    ASSERT_TRUE(module_.Send(lead));
    ASSERT_TRUE(BlockWaiting());
    ASSERT_TRUE(module_.Send(burst));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // lets the tty take the burst
    ASSERT_TRUE(RunLoopUntil([&] { return Handled() == 5; }));

    // Shutdown returned; nothing after the stopping byte is handled, nor can it be.
    std::vector<int> expected = {0x01, 0x10, 0x11, 0x12, 0x13};
    EXPECT_EQ(log_, expected);

    onByte_ = nullptr;
    ExpectCleanHandOff();
}

TEST_F(BlockHandOffTest, HangUpTogetherWithTheLastBlockActsOnlyAfterItsBytes) {
    onHangUp_ = [&] { port_.Shutdown(); };  // as the panel's device-change handling does
    Open();
    // The worker holds the last block when the far end goes: the hang-up comes with it.
    ASSERT_TRUE(module_.Send(kReply));
    ASSERT_TRUE(BlockWaiting());
    module_.CloseFarEnd();
    ASSERT_TRUE(RunLoopUntil([&] { return !log_.empty() && log_.back() == kHangUpMark; }));

    std::vector<int> expected = Log(kReply);
    expected.push_back(kHangUpMark);
    EXPECT_EQ(log_, expected);
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(BlockHandOffTest, BlockWaitingWhileShutdownDispatchesGivesOnlyTheByteInHandAndStaysInStep) {
    Open();
    ASSERT_TRUE(module_.Send(kReply));
    ASSERT_TRUE(BlockWaiting());
    port_.Shutdown();  // dispatches the waiting block itself, or the worker never leaves
    ASSERT_EQ(log_, std::vector<int>{kReply.front()});
    ExpectCleanHandOff();
}

TEST_F(BlockHandOffTest, BurstLargerThanABlockGoesOverInPiecesWholeAndInOrder) {
    std::vector<std::uint8_t> burst(3 * CCommPort::kReceiveBlockSize + 17);
    for (std::size_t i = 0; i < burst.size(); ++i) {
        burst[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    }
    Open();
    ASSERT_TRUE(module_.Send(burst));
    ASSERT_TRUE(RunLoopUntil([&] { return Handled() >= burst.size(); }));
    port_.Shutdown();
    EXPECT_EQ(log_, Log(burst));
}

}  // namespace
