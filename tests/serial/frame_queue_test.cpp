// The frame queue: order kept, frames whole, the oldest giving way when full, refusals.
#include "serial/frame_queue.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using Frame = FrameQueue::Frame;

std::vector<Frame> Drain(FrameQueue& queue) {
    std::vector<Frame> frames;
    while (auto frame = queue.Pop()) {
        frames.push_back(*frame);
    }
    return frames;
}

struct QueueCase {
    const char* name;
    std::size_t capacity;
    std::vector<Frame> pushed;
    std::vector<bool> accepted;
    std::vector<Frame> drained;
};

void PrintTo(const QueueCase& c, std::ostream* os) {
    *os << c.name;
}

class FrameQueueCases : public ::testing::TestWithParam<QueueCase> {};

TEST_P(FrameQueueCases, KeepsWholeFramesInOrder) {
    const QueueCase& c = GetParam();
    FrameQueue queue;
    queue.Reset(c.capacity);
    for (std::size_t i = 0; i < c.pushed.size(); ++i) {
        EXPECT_EQ(queue.Push(c.pushed[i].data(), c.pushed[i].size()), c.accepted[i])
            << "frame " << i;
    }
    EXPECT_EQ(Drain(queue), c.drained);
    EXPECT_TRUE(queue.Empty());
}

const Frame kQuery{0xEF, 0xEF, 0x02, 0x0B, 0xEB};
const Frame kPower{0xEF, 0xEF, 0x02, 0x22, 0x02};
const Frame kSet{0xEF, 0xEF, 0x04, 0x0C, 0x01, 0x2C, 0x2C};
const Frame kLong(13, 0x09);

INSTANTIATE_TEST_SUITE_P(
    WriteQueue, FrameQueueCases,
    ::testing::Values(
        QueueCase{
            "InOrder", 512, {kQuery, kSet, kPower}, {true, true, true}, {kQuery, kSet, kPower}},
        QueueCase{"ExactlyFull", 12, {kQuery, kSet}, {true, true}, {kQuery, kSet}},
        QueueCase{"OldestGivesWay", 12, {kQuery, kSet, kPower}, {true, true, true}, {kSet, kPower}},
        QueueCase{
            "SeveralGiveWayForALongFrame", 10, {kQuery, kPower, kSet}, {true, true, true}, {kSet}},
        QueueCase{"TooLongIsRefusedWhole", 6, {kQuery, kSet}, {true, false}, {kQuery}},
        QueueCase{"TooLongLeavesTheRestQueued",
                  12,
                  {kQuery, kLong, kPower},
                  {true, false, true},
                  {kQuery, kPower}},
        QueueCase{"EmptyIsRefused",
                  512,
                  {kQuery, Frame{}, kPower},
                  {true, false, true},
                  {kQuery, kPower}},
        QueueCase{"NothingBeforeSetup", 0, {kQuery}, {false}, {}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(FrameQueue, ResetEmptiesAndChangesTheBound) {
    FrameQueue queue;
    queue.Reset(512);
    queue.Push(kSet.data(), kSet.size());
    queue.Reset(5);
    EXPECT_TRUE(queue.Empty());
    EXPECT_FALSE(queue.Push(kSet.data(), kSet.size()));
    EXPECT_TRUE(queue.Push(kQuery.data(), kQuery.size()));
    EXPECT_EQ(Drain(queue), std::vector<Frame>{kQuery});
}

TEST(FrameQueue, ResetFreesTheRoomOfWhatWasQueued) {
    FrameQueue queue;
    queue.Reset(10);
    queue.Push(kQuery.data(), kQuery.size());
    queue.Reset(10);
    queue.Push(kQuery.data(), kQuery.size());
    queue.Push(kPower.data(), kPower.size());
    EXPECT_EQ(Drain(queue), (std::vector<Frame>{kQuery, kPower}));
}

TEST(FrameQueue, NullBytesAreRefused) {
    FrameQueue queue;
    queue.Reset(512);
    EXPECT_FALSE(queue.Push(nullptr, 5));
    EXPECT_TRUE(queue.Empty());
}

}  // namespace
