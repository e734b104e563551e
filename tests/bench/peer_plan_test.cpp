// The peer benchmark's plan and report lines: phases that start on a reply, so the receiver's
// reply times pair with the driver's writes, and report lines that survive the trip whole.
#include <gtest/gtest.h>

#include "bench/peer_plan.h"
#include "bench/peer_report.h"
#include "protocol/frame.h"

namespace {

struct PlanCase {
    const char* name;
    PeerOptions options;
};

void PrintTo(const PlanCase& planCase, std::ostream* out) {
    *out << planCase.name;
}

class PeerPlanTest : public testing::TestWithParam<PlanCase> {};

TEST_P(PeerPlanTest, PhasesFollowEachOtherAndEachStartsOnAReply) {
    const PeerPlan plan(GetParam().options);
    const PeerOptions& options = GetParam().options;
    const std::vector<PeerPhase>& phases = plan.Phases();
    ASSERT_EQ(phases.size(), 5u);

    std::size_t byte = 0;
    std::size_t frame = 0;
    for (const PeerPhase& phase : phases) {
        EXPECT_EQ(phase.firstByte, byte);
        EXPECT_EQ(phase.firstFrame, frame);
        EXPECT_EQ(plan.Byte(phase.firstByte), kReplyHeader0);
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < phase.frames; ++i) {
            const Bytes& reply = plan.Frame(phase.firstFrame + i);
            for (std::size_t k = 0; k < reply.size(); ++k) {
                ASSERT_EQ(plan.Byte(phase.firstByte + bytes + k), reply[k]);
            }
            bytes += reply.size();
        }
        EXPECT_EQ(phase.bytes, bytes);
        byte += phase.bytes;
        frame += phase.frames;
    }
    EXPECT_EQ(plan.TotalBytes(), byte);
    EXPECT_EQ(plan.TotalFrames(), frame);

    EXPECT_EQ(phases[0].frames, options.latencyFrames);
    const auto lineBytes = static_cast<std::size_t>(options.lineSeconds * kLineBytesPerSecond);
    // Every phase holds a reply at least: the receiver knows a phase has ended by its last byte.
    const std::size_t atLeast[] = {
        0, std::max<std::size_t>(options.latencyBytes, 1), std::max<std::size_t>(lineBytes, 1),
        std::max<std::size_t>(lineBytes, 1), std::max<std::size_t>(options.streamBytes, 1)};
    for (std::size_t i = 1; i < phases.size(); ++i) {
        EXPECT_GE(phases[i].bytes, atLeast[i]) << "phase " << i;
        EXPECT_LT(phases[i].bytes - plan.Frame(phases[i].firstFrame + phases[i].frames - 1).size(),
                  atLeast[i])
            << "phase " << i << " is longer by more than its last reply";
    }
}

// The flood is written in runs that end where the stored stream wraps; together they must be the
// stream byte for byte.
TEST_P(PeerPlanTest, FloodRunsAreTheStream) {
    const PeerPlan plan(GetParam().options);
    const PeerPhase& flood = plan.Phases().back();
    std::size_t sent = 0;
    while (sent < flood.bytes) {
        const auto [bytes, count] = plan.Run(flood.firstByte + sent, flood.bytes - sent);
        ASSERT_GT(count, 0u);
        for (std::size_t k = 0; k < count; ++k) {
            ASSERT_EQ(bytes[k], plan.Byte(flood.firstByte + sent + k));
        }
        sent += count;
    }
    EXPECT_EQ(sent, flood.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Options, PeerPlanTest,
    testing::Values(PlanCase{"defaults", {}},
                    PlanCase{"lineRateTooShortForOneReply", {1, 1, 1, 1, 0.001, 1}},
                    PlanCase{"wrapsTheStoredStream", {401, 5, 3201, 2, 7, 10000}},
                    PlanCase{"oddCounts", {7, 3, 13, 1, 0.3, 4097}}),
    [](const testing::TestParamInfo<PlanCase>& test) { return test.param.name; });

TEST(PeerReportLines, PhaseAndCheckLinesReadBackAsWritten) {
    PhaseRecord written{1, 2, 3, 4, 5, 6, {7, -8, 9000000000000}};
    std::size_t index = 0;
    PhaseRecord read;
    ASSERT_TRUE(ParsePhaseLine(PhaseLine(3, written), index, read));
    EXPECT_EQ(index, 3u);
    EXPECT_EQ(read.firstAt, 1);
    EXPECT_EQ(read.lastAt, 2);
    EXPECT_EQ(read.cpuAtFirst, 3);
    EXPECT_EQ(read.cpuAtLast, 4);
    EXPECT_EQ(read.switchesAtFirst, 5);
    EXPECT_EQ(read.switchesAtLast, 6);
    EXPECT_EQ(read.times, written.times);

    StreamCheck check;
    ASSERT_TRUE(ParseCheckLine(CheckLine({10, 2, 3}), check));
    EXPECT_EQ(check.taken, 10u);
    EXPECT_EQ(check.mismatched, 2u);
    EXPECT_EQ(check.replies, 3u);
}

// A report cut short (a receiver killed mid-line) or of another kind is refused, never read as
// figures.
TEST(PeerReportLines, CutOrForeignLinesAreRefused) {
    const std::string whole = PhaseLine(0, {1, 2, 3, 4, 5, 6, {7, 8, 9}});
    std::size_t index = 0;
    PhaseRecord read;
    for (const std::string& line : {whole.substr(0, whole.size() - 3), std::string("phase 0 1 2"),
                                    std::string(""), CheckLine({1, 2, 3}), std::string("done 0")}) {
        EXPECT_FALSE(ParsePhaseLine(line, index, read)) << line;
    }
    StreamCheck check;
    for (const std::string& line : {std::string("check 1 2"), whole, std::string("ready")}) {
        EXPECT_FALSE(ParseCheckLine(line, check)) << line;
    }
}

}  // namespace
