// The peer receivers' recorder: what it tells the driver for a stream fed whole, and for one that
// lost or altered a byte, which the driver must see as a failure rather than as figures.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench/peer_recorder.h"

namespace {

// The recorder's report lines, read from the pipe it writes to.
class ReportPipe {
  public:
    ReportPipe() { EXPECT_EQ(pipe2(ends_, O_NONBLOCK), 0); }
    ~ReportPipe() {
        close(ends_[0]);
        close(ends_[1]);
    }
    int WriteFd() const { return ends_[1]; }
    std::vector<std::string> Lines() {
        std::string text;
        char chunk[65536];
        for (ssize_t n; (n = read(ends_[0], chunk, sizeof chunk)) > 0;) {
            text.append(chunk, static_cast<std::size_t>(n));
        }
        std::vector<std::string> lines;
        for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
             start = end + 1) {
            lines.push_back(text.substr(start, end - start));
        }
        return lines;
    }

  private:
    int ends_[2] = {-1, -1};
};

const PeerOptions kSmall{3, 5, 10, 2, 0.02, 40};

struct Fed {
    std::vector<std::string> lines;
    int finished = 0;
};

// Feeds the plan's stream with `alter` applied to each byte (index, byte) -> byte, dropping the
// byte when it returns a negative value.
template <typename Alter>
Fed Feed(const PeerPlan& plan, Alter alter) {
    ReportPipe pipe;
    Fed fed;
    PeerRecorder recorder(plan, pipe.WriteFd(), [&fed] { ++fed.finished; });
    for (std::size_t i = 0; i < plan.TotalBytes(); ++i) {
        const int byte = alter(i, plan.Byte(i));
        if (byte >= 0) {
            recorder.Take(static_cast<std::uint8_t>(byte));
        }
    }
    recorder.Report();
    fed.lines = pipe.Lines();
    return fed;
}

TEST(PeerRecorder, AWholeStreamEndsEveryPhaseAndTimesWhatEachPhaseAsks) {
    const PeerPlan plan(kSmall);
    const Fed fed = Feed(plan, [](std::size_t, std::uint8_t byte) { return int{byte}; });
    const std::size_t phases = plan.Phases().size();
    EXPECT_EQ(fed.finished, 1);
    ASSERT_EQ(fed.lines.size(), 2 * phases + 1);
    for (std::size_t i = 0; i < phases; ++i) {
        EXPECT_EQ(fed.lines[i], "done " + std::to_string(i));
    }
    for (std::size_t i = 0; i < phases; ++i) {
        const PeerPhase& phase = plan.Phases()[i];
        std::size_t index = 0;
        PhaseRecord record;
        ASSERT_TRUE(ParsePhaseLine(fed.lines[phases + i], index, record));
        EXPECT_EQ(index, i);
        const std::size_t timed = phase.mode == WriteMode::kFramePaced  ? phase.frames
                                  : phase.mode == WriteMode::kBytePaced ? phase.bytes
                                                                        : 0;
        EXPECT_EQ(record.times.size(), timed) << "phase " << i;
        EXPECT_LE(record.firstAt, record.lastAt);
        EXPECT_LE(record.cpuAtFirst, record.cpuAtLast);
    }
    StreamCheck check;
    ASSERT_TRUE(ParseCheckLine(fed.lines.back(), check));
    EXPECT_EQ(check.taken, plan.TotalBytes());
    EXPECT_EQ(check.mismatched, 0u);
    EXPECT_EQ(check.replies, plan.TotalFrames());
}

// A byte altered inside the timed replies costs that reply: the driver then finds the reply
// times do not pair with its writes, and the check counts the byte.
TEST(PeerRecorder, AnAlteredByteIsCountedAndItsReplyIsNotTimed) {
    const PeerPlan plan(kSmall);
    const Fed fed = Feed(plan, [](std::size_t i, std::uint8_t byte) {
        return i == 4 ? int{byte ^ 0x01} : int{byte};
    });
    std::size_t index = 0;
    PhaseRecord first;
    ASSERT_TRUE(ParsePhaseLine(fed.lines[plan.Phases().size()], index, first));
    EXPECT_EQ(first.times.size(), plan.Phases()[0].frames - 1);
    StreamCheck check;
    ASSERT_TRUE(ParseCheckLine(fed.lines.back(), check));
    EXPECT_EQ(check.mismatched, 1u);
    EXPECT_EQ(check.replies, plan.TotalFrames() - 1);
}

// A lost byte shifts every later byte: the recorder never sees the plan's last byte, so it
// never says it has finished, and the driver reports the stall instead of figures.
TEST(PeerRecorder, ALostByteNeverFinishesThePlan) {
    const PeerPlan plan(kSmall);
    const Fed fed =
        Feed(plan, [](std::size_t i, std::uint8_t byte) { return i == 20 ? -1 : int{byte}; });
    EXPECT_EQ(fed.finished, 0);
    StreamCheck check;
    ASSERT_TRUE(ParseCheckLine(fed.lines.back(), check));
    EXPECT_EQ(check.taken, plan.TotalBytes() - 1);
    EXPECT_GT(check.mismatched, 0u);
}

}  // namespace
