// The port served on its owner's thread, on real ptys: what one read takes is fed whole, a byte
// at a time and stamped with the time it was read; a stop is seen between bytes; a hang-up comes
// after the last bytes; writes never wait for reads, nor purge what the module sent.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <vector>

#include "protocol/reply_assembler.h"
#include "serial/linux/comm_port.h"
#include "tests/serial/linux/pty_pair.h"
#include "tests/serial/linux/temp_dir.h"
#include "tests/serial/linux/test_owner.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr LineSettings kPanelSettings = {9600, 'N',  8,    0,    kEvRxChar, 512,
                                         1000, 1000, 1000, 1000, 1000};
constexpr int kPort = 1;

// A setpoints reply, 9 bytes.
const Bytes kReply = {0xED, 0xFA, 0x06, 0x0B, 0x0A, 0x03, 0x0A, 0x03, 0x12};

class PortReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(module_.Valid());
        ASSERT_EQ(symlink(module_.NearPath().c_str(), ports_.Join("module").c_str()), 0);
    }

    // Opens and starts the port with these settings.
    void Open(const LineSettings& settings = kPanelSettings) {
        ASSERT_TRUE(port_.Setup(kPort, settings).Opened());
        ASSERT_TRUE(port_.StartWorker());
    }

    bool ServeUntilReceived(std::size_t count) {
        return owner_.ServeUntil(port_, [&] { return owner_.received.size() >= count; });
    }

    TempDir ports_;
    PtyPair module_;
    PortRegistry registry_{[] { return std::vector<HardwarePort>(); }, ports_.Path()};
    TestOwner owner_;
    CCommPort port_{registry_, owner_};
};

// The assembler finds the reply from the stamps the port gives, wherever the reads split it.
TEST_F(PortReaderTest, AReplySplitAtEveryPositionAcrossReadsIsAssembledFromItsStamps) {
    Open();
    for (std::size_t split = 1; split < kReply.size(); ++split) {
        SCOPED_TRACE(split);
        owner_.received.clear();
        ASSERT_TRUE(module_.Send(Bytes(kReply.begin(), kReply.begin() + split)));
        ASSERT_TRUE(ServeUntilReceived(split));
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        ASSERT_TRUE(module_.Send(Bytes(kReply.begin() + split, kReply.end())));
        ASSERT_TRUE(ServeUntilReceived(kReply.size()));

        EXPECT_EQ(owner_.Bytes(), kReply);
        // Two reads, each block with the one time it was read, the second later.
        std::set<std::int64_t> stamps;
        for (const auto& r : owner_.received) {
            stamps.insert(r.receivedAtMs);
        }
        EXPECT_EQ(owner_.received.front().receivedAtMs, owner_.received[split - 1].receivedAtMs);
        EXPECT_EQ(owner_.received[split].receivedAtMs, owner_.received.back().receivedAtMs);
        EXPECT_GE(owner_.received.back().receivedAtMs - owner_.received.front().receivedAtMs, 3);
        ReplyAssembler assembler;
        std::vector<Bytes> replies;
        for (const auto& r : owner_.received) {
            const auto frame = assembler.Take(r.byte, r.receivedAtMs);
            if (!frame.empty()) {
                replies.emplace_back(frame.begin(), frame.end());
            }
        }
        EXPECT_EQ(replies, std::vector<Bytes>{kReply});
    }
}

// A handler that closes the port (a console command that has its answer) or re-opens it (a
// device change) ends the block after its byte: nothing after it belongs to any connection.
TEST_F(PortReaderTest, AStopInsideTheByteHandlerEndsTheBlockAfterThatByte) {
    struct Case {
        const char* name;
        std::size_t stopAt;  // index of the byte whose handler stops
        bool reopen;
    };
    const Case cases[] = {
        {"close at the first byte", 0, false},
        {"close mid-block", 5, false},
        {"close at the last byte", 15, false},
        {"re-open mid-block", 7, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        owner_.received.clear();
        Open();
        owner_.afterByte = [&] {
            if (owner_.received.size() == c.stopAt + 1) {
                if (c.reopen) {
                    ASSERT_TRUE(port_.Setup(kPort, kPanelSettings).Opened());
                    ASSERT_TRUE(port_.StartWorker());
                } else {
                    port_.Shutdown();
                }
            }
        };
        Bytes block(16);
        for (std::size_t i = 0; i < block.size(); ++i) {
            block[i] = static_cast<std::uint8_t>(i);
        }
        ASSERT_TRUE(module_.Send(block));
        ASSERT_TRUE(ServeUntilReceived(c.stopAt + 1));
        owner_.ServeFor(port_, std::chrono::milliseconds(50));
        owner_.afterByte = nullptr;
        EXPECT_EQ(owner_.Bytes(), Bytes(block.begin(), block.begin() + c.stopAt + 1));
        EXPECT_EQ(owner_.watchedFd >= 0, c.reopen);
        port_.Shutdown();
    }
    EXPECT_TRUE(owner_.lost.empty());
}

// The module's last bytes and its hang-up: every byte read first, then one loss, and the port is
// no longer watched, so the loop does not spin on the hung-up descriptor. Frames queued meanwhile
// go nowhere, without a box. (A tty discards what was not read yet when it hangs up.)
TEST_F(PortReaderTest, AHangUpComesOnceAfterTheLastBytes) {
    struct Case {
        const char* name;
        bool whileFed;  // the far end closes while the block is being fed, not after
    };
    for (const Case c : {Case{"after the block", false}, Case{"while the block is fed", true}}) {
        SCOPED_TRACE(c.name);
        PtyPair module;
        ASSERT_TRUE(module.Valid());
        TempDir ports;
        ASSERT_EQ(symlink(module.NearPath().c_str(), ports.Join("module").c_str()), 0);
        PortRegistry registry([] { return std::vector<HardwarePort>(); }, ports.Path());
        TestOwner owner;
        CCommPort port(registry, owner);
        ASSERT_TRUE(port.Setup(kPort, kPanelSettings).Opened());
        ASSERT_TRUE(port.StartWorker());
        const Bytes halfFrame = {0xED, 0xFA, 0x07};
        if (c.whileFed) {
            owner.afterByte = [&] { module.CloseFarEnd(); };
        }
        ASSERT_TRUE(module.Send(halfFrame));
        ASSERT_TRUE(owner.ServeUntil(port, [&] { return owner.received.size() == 3; }));
        module.CloseFarEnd();
        ASSERT_TRUE(owner.ServeUntil(port, [&] { return !owner.lost.empty(); }));
        EXPECT_EQ(owner.Bytes(), halfFrame);
        EXPECT_EQ(owner.lost, std::vector<int>{kPort});
        EXPECT_EQ(owner.watchedFd, -1);

        const std::uint8_t frame[] = {0xEF, 0xEF, 0x02, 0x01, 0xE1};
        port.QueueWrite(frame, sizeof frame);
        owner.ServeFor(port, std::chrono::milliseconds(50));
        EXPECT_EQ(owner.lost.size(), 1u);
        EXPECT_EQ(owner.watchedFd, -1);
        port.Shutdown();
        EXPECT_TRUE(owner.errors.empty());
    }
}

// A frame queued while a reply waits unread (the panel writes its next query as a late
// confirmation lands) leaves at once, and the reply is kept whole: nothing is purged.
TEST_F(PortReaderTest, AWriteWhileBytesWaitSendsAtOnceAndKeepsThem) {
    Open();
    const Bytes query = {0xEF, 0xEF, 0x02, 0x22, 0x02};
    for (std::size_t arrived = 1; arrived <= kReply.size(); arrived += 4) {
        SCOPED_TRACE(arrived);
        owner_.received.clear();
        ASSERT_TRUE(module_.Send(Bytes(kReply.begin(), kReply.begin() + arrived)));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));  // arrived, not yet read
        port_.QueueWrite(query.data(), query.size());
        EXPECT_EQ(module_.Receive(query.size()), query);
        ASSERT_TRUE(module_.Send(Bytes(kReply.begin() + arrived, kReply.end())));
        ASSERT_TRUE(ServeUntilReceived(kReply.size()));
        EXPECT_EQ(owner_.Bytes(), kReply);
    }
}

// A device gone wild never lets the line fall quiet: a frame queued meanwhile, by a byte's
// handler or between reads, leaves at once, waiting for no received bytes at all.
TEST_F(PortReaderTest, AFrameLeavesOnALineThatNeverFallsQuiet) {
    const Bytes frame = {0xEF, 0xEF, 0x02, 0x0B, 0xED};
    for (const bool byHandler : {true, false}) {
        SCOPED_TRACE(byHandler ? "queued by a byte's handler" : "queued between reads");
        Open();
        owner_.received.clear();
        std::atomic<bool> flooding{true};
        std::atomic<bool> flooded{false};
        std::thread flood([&] {
            const Bytes chunk(4096, 0x55);
            while (flooding && module_.Send(chunk)) {
            }
            flooded = true;
        });
        EXPECT_TRUE(ServeUntilReceived(8192));
        bool queued = false;
        if (byHandler) {
            owner_.afterByte = [&] {
                if (!queued) {
                    queued = true;
                    port_.QueueWrite(frame.data(), frame.size());
                }
            };
            EXPECT_TRUE(owner_.ServeUntil(port_, [&] { return queued; }));
        } else {
            port_.QueueWrite(frame.data(), frame.size());
        }
        EXPECT_EQ(module_.Receive(frame.size()), frame);
        flooding = false;
        EXPECT_TRUE(owner_.ServeUntil(port_, [&] { return flooded.load(); }));
        flood.join();
        owner_.afterByte = nullptr;
        port_.Shutdown();
    }
    EXPECT_TRUE(owner_.errors.empty());
}

// Frames the line does not take at once (the far end stops reading) wait for writability and
// then leave whole and in order, while received bytes keep being handled.
TEST_F(PortReaderTest, FramesTheLineCannotTakeYetWaitForWritabilityInOrder) {
    LineSettings settings = kPanelSettings;
    settings.writeBufferSize = 1 << 20;
    Open(settings);
    Bytes expected;
    for (std::uint32_t n = 0; n < 20000; ++n) {
        const Bytes frame = {0xEF, 0xEF, static_cast<std::uint8_t>(n),
                             static_cast<std::uint8_t>(n >> 8), 0x5A};
        port_.QueueWrite(frame.data(), frame.size());
        expected.insert(expected.end(), frame.begin(), frame.end());
    }
    ASSERT_TRUE(owner_.watchedWrite) << "the pty took 100 kB at once; the test needs a full line";

    std::atomic<bool> reading{true};
    Bytes written;
    std::thread farEnd([&] {
        written = module_.Receive(expected.size());
        reading = false;
    });
    ASSERT_TRUE(module_.Send(kReply));
    EXPECT_TRUE(owner_.ServeUntil(port_, [&] { return !reading.load(); }));
    farEnd.join();
    EXPECT_EQ(written, expected);
    EXPECT_FALSE(owner_.watchedWrite);
    ASSERT_TRUE(ServeUntilReceived(kReply.size()));
    EXPECT_EQ(owner_.Bytes(), kReply);
    EXPECT_TRUE(owner_.errors.empty());
}

}  // namespace
