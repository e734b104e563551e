// The write queue: order, whole frames, and which frames give way when it is full.
#include "serial/posix/write_queue.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Frame = WriteQueue::Frame;

std::vector<Frame> DrainAll(WriteQueue& queue) {
    std::vector<Frame> frames;
    while (std::optional<Frame> frame = queue.Pop()) {
        frames.push_back(*frame);
    }
    return frames;
}

TEST(WriteQueueTest, KeepsWholeFramesInOrderAndDropsTheOldestWhenFull) {
    struct Case {
        const char* name;
        std::size_t capacity;
        std::vector<Frame> pushed;
        std::vector<Frame> sent;
    };
    const Frame a = {1, 1, 1, 1, 1};
    const Frame b = {2, 2, 2, 2, 2, 2, 2};
    const Frame c = {3, 3, 3, 3, 3};
    const Frame huge(13, 9);
    const Case cases[] = {
        {"all fit", 64, {a, b, c}, {a, b, c}},
        {"exactly full", 17, {a, b, c}, {a, b, c}},
        {"one byte short: the oldest gives way", 16, {a, b, c}, {b, c}},
        {"a big frame pushes out several", 13, {a, c, huge}, {huge}},
        {"a frame larger than the queue is refused, the rest kept", 12, {a, huge, c}, {a, c}},
        {"an empty frame is refused", 12, {a, Frame{}, c}, {a, c}},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        WriteQueue queue;
        queue.Reset(testCase.capacity);
        for (const Frame& frame : testCase.pushed) {
            queue.Push(frame.data(), frame.size());
        }
        EXPECT_EQ(DrainAll(queue), testCase.sent);
        EXPECT_TRUE(queue.Empty());
    }
}

TEST(WriteQueueTest, ResetEmptiesAndFreesTheRoom) {
    WriteQueue queue;
    queue.Reset(10);
    const Frame a = {1, 2, 3, 4, 5};
    const Frame b = {6, 7, 8, 9, 10};
    queue.Push(a.data(), a.size());
    queue.Reset(10);
    queue.Push(a.data(), a.size());
    queue.Push(b.data(), b.size());
    EXPECT_EQ(DrainAll(queue), (std::vector<Frame>{a, b}));
}

}  // namespace
