// The simulated module without I/O: its answers, its resynchronisation, its faults and its clock.
#include "tools/simulator/module_simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "protocol/frame.h"

namespace simulator {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

const SimTime kStart{};
const SimTime kOneSecondIn = kStart + std::chrono::seconds(1);

// Setpoints 100 and 200 mA, maxima 500 and 600, a junction that reaches its steady temperature at
// once (25 °C + 0.02 °C/mA), light above 30 mA at 0.8 mW/mA.
ModuleConfig TestConfig(std::uint8_t variant = 1) {
    ModuleConfig config;
    config.variant = variant;
    config.setpointA = 100;
    config.setpointB = 200;
    config.maximumA = 500;
    config.maximumB = 600;
    config.model = {25.0, 0.02, 0.0, 30.0, 0.8};
    return config;
}

Bytes Query(std::uint8_t command) {
    const QueryFrame frame = MakeQueryFrame(command);
    return {frame.begin(), frame.end()};
}

Bytes Set(std::uint8_t command, std::uint16_t value) {
    SetFrame frame = kEmptySetFrame;
    WriteSetFrame(frame, command, value);
    return {frame.begin(), frame.end()};
}

// Names each parameterised case after its `name` field.
struct CaseName {
    template <typename Case>
    std::string operator()(const testing::TestParamInfo<Case>& c) const {
        return c.param.name;
    }
};

struct AnswerCase {
    const char* name;
    std::uint8_t variant;
    Bytes request;
    Bytes reply;
};

class Answers : public testing::TestWithParam<AnswerCase> {};

TEST_P(Answers, EachRequestGetsItsReply) {
    const AnswerCase& c = GetParam();
    ModuleSimulator module(TestConfig(c.variant), kStart);
    EXPECT_EQ(module.OnBytes(c.request, kOneSecondIn), c.reply);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, Answers,
    testing::Values(
        AnswerCase{"Config",
                   2,
                   {0xEF, 0xEF, 0x02, 0x02, 0xE2},
                   {0xED, 0xFA, 0x10, 0x02, 0x00, 0x00, 0x00, 0x64, 0x00, 0xC8, 0x01, 0xF4, 0x02,
                    0x58, 0x00, 0x00, 0x00, 0x02, 0x76}},
        AnswerCase{"Temperatures",
                   1,
                   {0xEF, 0xEF, 0x02, 0x0B, 0xEB},
                   {0xED, 0xFA, 0x06, 0x0B, 0x0A, 0x8C, 0x0B, 0x54, 0xED}},  // 27.00, 29.00 °C
        AnswerCase{"PowerInTenthsOfMilliwattUnderVariantA",
                   1,
                   {0xEF, 0xEF, 0x02, 0x22, 0x02},
                   {0xED, 0xFA, 0x04, 0x22, 0x02, 0x30, 0x3F}},  // 56.0 mW from 100 mA
        AnswerCase{"PowerInMilliwattsOfSetpointBUnderVariantB",
                   2,
                   {0xEF, 0xEF, 0x02, 0x22, 0x02},
                   {0xED, 0xFA, 0x04, 0x22, 0x00, 0x88, 0x95}},  // 136 mW from 200 mA
        AnswerCase{"SetA",
                   1,
                   {0xEF, 0xEF, 0x04, 0x0C, 0x01, 0x2C, 0x1B},
                   {0xED, 0xFA, 0x06, 0x07, 0x01, 0x2C, 0x00, 0xC8, 0xE9}},
        AnswerCase{"SetAClampedToItsMaximum",
                   1,
                   {0xEF, 0xEF, 0x04, 0x0C, 0xFF, 0xFF, 0xEC},
                   {0xED, 0xFA, 0x06, 0x07, 0x01, 0xF4, 0x00, 0xC8, 0xB1}},
        AnswerCase{"SetBToItsMaximum",
                   2,
                   {0xEF, 0xEF, 0x04, 0x0D, 0x02, 0x58, 0x49},
                   {0xED, 0xFA, 0x06, 0x07, 0x00, 0x64, 0x02, 0x58, 0xB2}},
        AnswerCase{"SetBToZero",
                   2,
                   {0xEF, 0xEF, 0x04, 0x0D, 0x00, 0x00, 0xEF},
                   {0xED, 0xFA, 0x06, 0x07, 0x00, 0x64, 0x00, 0x00, 0x58}},
        AnswerCase{"UnknownCommandIsNotAnswered", 1, {0xEF, 0xEF, 0x02, 0x05, 0xE5}, {}},
        AnswerCase{
            "QueryWithSetLengthIsNotAnswered", 1, {0xEF, 0xEF, 0x04, 0x0B, 0x00, 0x01, 0xEE}, {}}),
    CaseName());

TEST(Setpoints, AreStoredClampedAndReportedByTheNextConfigReply) {
    for (const bool silent : {false, true}) {
        ModuleConfig config = TestConfig();
        config.silentSet = silent;
        ModuleSimulator module(config, kStart);
        const Bytes answer = module.OnBytes(Set(CMD_SET_A, 9999), kOneSecondIn);
        EXPECT_EQ(answer.empty(), silent);
        EXPECT_EQ(module.SetpointA(), 500);
        EXPECT_EQ(module.SetpointB(), 200);
        const Bytes reply = module.OnBytes(Query(CMD_QUERY_CONFIG), kOneSecondIn);
        ASSERT_EQ(reply.size(), 19u);
        EXPECT_EQ(ReadU16(reply, 6), 500);
        EXPECT_EQ(ReadU16(reply, 8), 200);
    }
}

TEST(Setpoints, StartClampedToTheirMaxima) {
    ModuleConfig config = TestConfig();
    config.setpointA = 900;
    ModuleSimulator module(config, kStart);
    EXPECT_EQ(module.SetpointA(), 500);
}

// The verdicts logged for a stream, and how many replies it drew.
struct StreamCase {
    const char* name;
    std::vector<Bytes> pieces;  // handed over one call each
    std::vector<std::string> verdicts;
    std::size_t replies;
};

class Resync : public testing::TestWithParam<StreamCase> {};

TEST_P(Resync, FindsTheGoodFramesAndReportsTheRest) {
    const StreamCase& c = GetParam();
    std::vector<std::string> verdicts;
    ModuleSimulator module(TestConfig(), kStart, [&](const LineEvent& e) {
        if (e.direction == LineEvent::Direction::Received) {
            verdicts.push_back(HexBytes(e.bytes) + " " + e.verdict);
        }
    });
    Bytes out;
    for (const Bytes& piece : c.pieces) {
        const Bytes got = module.OnBytes(piece, kOneSecondIn);
        out.insert(out.end(), got.begin(), got.end());
    }
    EXPECT_EQ(verdicts, c.verdicts);
    // Every reply here is a temperature reply of 9 bytes.
    EXPECT_EQ(out.size(), c.replies * 9);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, Resync,
    testing::Values(
        StreamCase{"NoiseBeforeAFrame",
                   {{0x12, 0xED, 0xEF, 0xEF, 0x02, 0x0B, 0xEB}},
                   {"12 ED noise", "EF EF 02 0B EB valid"},
                   1},
        StreamCase{"OneByteAtATime",
                   {{0xEF}, {0xEF}, {0x02}, {0x0B}, {0xEB}},
                   {"EF EF 02 0B EB valid"},
                   1},
        StreamCase{"BadChecksumThenGoodFrame",
                   {{0xEF, 0xEF, 0x02, 0x0B, 0xEC, 0xEF, 0xEF, 0x02, 0x0B, 0xEB}},
                   {"EF EF 02 0B EC bad-checksum", "EF EF 02 0B EB valid"},
                   1},
        StreamCase{"ThreeHeaderBytes",
                   {{0xEF, 0xEF, 0xEF, 0x02, 0x0B, 0xEB}},
                   {"EF EF EF bad-length", "EF EF 02 0B EB valid"},
                   1},
        StreamCase{"LengthTooShort",
                   {{0xEF, 0xEF, 0x01, 0xEF, 0xEF, 0x02, 0x0B, 0xEB}},
                   {"EF EF 01 bad-length", "EF EF 02 0B EB valid"},
                   1},
        // A false header whose length takes in a real frame: the real one is still found, and
        // the bytes already shown in the failed frame are not shown again as noise.
        StreamCase{"FrameInsideAFalseHeader",
                   {{0xEF, 0xEF, 0x05}, {0xEF, 0xEF, 0x02, 0x0B, 0xEB}},
                   {"EF EF 05 EF EF 02 0B EB bad-checksum", "EF EF 02 0B EB valid"},
                   1},
        StreamCase{"BackToBack",
                   {{0xEF, 0xEF, 0x02, 0x0B, 0xEB, 0xEF, 0xEF, 0x02, 0x0B, 0xEB}},
                   {"EF EF 02 0B EB valid", "EF EF 02 0B EB valid"},
                   2}),
    CaseName());

// Replies, in order, to `count` temperature queries one millisecond apart.
std::vector<LineEvent> SentEvents(const ModuleConfig& config, int count, Bytes* line = nullptr) {
    std::vector<LineEvent> sent;
    ModuleSimulator module(config, kStart, [&](const LineEvent& e) {
        if (e.direction == LineEvent::Direction::Sent) {
            sent.push_back(e);
        }
    });
    for (int i = 0; i < count; ++i) {
        const Bytes got = module.OnBytes(Query(CMD_QUERY_TEMP), kStart + milliseconds(i));
        if (line != nullptr) {
            line->insert(line->end(), got.begin(), got.end());
        }
    }
    return sent;
}

std::size_t CountVerdict(const std::vector<LineEvent>& events, const std::string& word) {
    return std::count_if(events.begin(), events.end(), [&](const LineEvent& e) {
        return e.verdict.find(word) != std::string::npos;
    });
}

struct ShareCase {
    const char* name;
    void (*apply)(FaultConfig&);
    const char* verdict;
};

class FaultShares : public testing::TestWithParam<ShareCase> {};

TEST_P(FaultShares, HitRoughlyTheConfiguredShareOfReplies) {
    constexpr int kReplies = 4000;
    ModuleConfig config = TestConfig();
    GetParam().apply(config.faults);
    const std::size_t hits = CountVerdict(SentEvents(config, kReplies), GetParam().verdict);
    EXPECT_GT(hits, kReplies * 0.22);
    EXPECT_LT(hits, kReplies * 0.28);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultShares,
    testing::Values(ShareCase{"Dropped", [](FaultConfig& f) { f.dropShare = 0.25; }, "dropped"},
                    ShareCase{"BadChecksum", [](FaultConfig& f) { f.badChecksumShare = 0.25; },
                              "bad-checksum"},
                    ShareCase{"Noise", [](FaultConfig& f) { f.noiseShare = 0.25; }, "noise"}),
    CaseName());

TEST(Faults, DroppedAndCorruptedRepliesReallyAreSo) {
    ModuleConfig config = TestConfig();
    config.faults.dropShare = 0.3;
    config.faults.badChecksumShare = 0.3;
    Bytes line;
    const std::vector<LineEvent> sent = SentEvents(config, 200, &line);
    const std::size_t kept = sent.size() - CountVerdict(sent, "dropped");
    ASSERT_EQ(line.size(), kept * 9);
    std::size_t badSums = 0;
    for (std::size_t at = 0; at < line.size(); at += 9) {
        const std::span<const std::uint8_t> frame(line.data() + at, 9);
        badSums += Checksum(frame.first(8)) != frame[8];
    }
    EXPECT_EQ(badSums, CountVerdict(sent, "bad-checksum"));
    EXPECT_GT(badSums, 0u);
}

TEST(Faults, SameSeedSameLineOtherSeedOtherLine) {
    ModuleConfig config = TestConfig();
    config.faults = {.badChecksumShare = 0.2, .dropShare = 0.2, .noiseShare = 0.3};
    Bytes first, again, other;
    SentEvents(config, 300, &first);
    SentEvents(config, 300, &again);
    config.seed = 2;
    SentEvents(config, 300, &other);
    EXPECT_EQ(first, again);
    EXPECT_NE(first, other);
}

TEST(Faults, NoiseBurstsStayWithinTheirLength) {
    ModuleConfig config = TestConfig();
    config.faults.noiseShare = 1.0;
    config.faults.noiseMaxBytes = 4;
    std::size_t longest = 0;
    for (const LineEvent& e : SentEvents(config, 500)) {
        if (e.verdict == "noise") {
            EXPECT_GE(e.bytes.size(), 1u);
            longest = std::max(longest, e.bytes.size());
        }
    }
    EXPECT_EQ(longest, 4u);
}

TEST(Faults, DelayedRepliesFallDueLaterAndKeepTheirOrder) {
    ModuleConfig config = TestConfig();
    config.faults.replyDelay = milliseconds(200);
    ModuleSimulator module(config, kStart);
    EXPECT_TRUE(module.OnBytes(Query(CMD_QUERY_TEMP), kStart).empty());
    EXPECT_TRUE(module.OnBytes(Query(CMD_QUERY_POWER), kStart + milliseconds(100)).empty());
    EXPECT_EQ(module.NextDue(), kStart + milliseconds(200));
    EXPECT_TRUE(module.TakeDue(kStart + milliseconds(199)).empty());
    const Bytes first = module.TakeDue(kStart + milliseconds(250));
    ASSERT_EQ(first.size(), 9u);
    EXPECT_EQ(first[kCodeIndex], REPLY_TEMP);
    const Bytes second = module.TakeDue(kStart + milliseconds(300));
    ASSERT_EQ(second.size(), 7u);
    EXPECT_EQ(second[kCodeIndex], REPLY_POWER);
    EXPECT_FALSE(module.NextDue().has_value());
}

// Lost set frames and confirmations: what the module then holds, and what the panel hears.
struct LostSetCase {
    const char* name;
    unsigned ignoredSetFrames;
    bool silentSet;
    std::vector<std::uint16_t> sets;  // sent one after the other
    std::vector<std::uint16_t> confirmed;
    std::uint16_t held;  // setpoint A at the end, as the configuration reply reports it
};

class LostSets : public testing::TestWithParam<LostSetCase> {};

TEST_P(LostSets, LeaveTheModuleAtWhatItTookAndConfirmOnlyThat) {
    const LostSetCase& c = GetParam();
    ModuleConfig config = TestConfig();
    config.faults.ignoredSetFrames = c.ignoredSetFrames;
    config.silentSet = c.silentSet;
    std::vector<std::string> verdicts;
    ModuleSimulator module(config, kStart, [&](const LineEvent& e) {
        if (e.direction == LineEvent::Direction::Received) {
            verdicts.push_back(e.verdict);
        }
    });
    std::vector<std::uint16_t> confirmed;
    for (std::uint16_t value : c.sets) {
        const Bytes reply = module.OnBytes(Set(CMD_SET_A, value), kOneSecondIn);
        if (!reply.empty()) {
            ASSERT_EQ(reply[kCodeIndex], REPLY_SETPOINTS);
            confirmed.push_back(ReadU16(reply, kDataIndex));
        }
    }
    EXPECT_EQ(confirmed, c.confirmed);
    EXPECT_EQ(module.SetpointA(), c.held);
    const Bytes config_reply = module.OnBytes(Query(CMD_QUERY_CONFIG), kOneSecondIn);
    ASSERT_EQ(config_reply.size(), 19u);
    EXPECT_EQ(ReadU16(config_reply, 6), c.held);
    const auto lost =
        static_cast<std::size_t>(std::count(verdicts.begin(), verdicts.end(), "lost"));
    EXPECT_EQ(lost, std::min<std::size_t>(c.ignoredSetFrames, c.sets.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Sets, LostSets,
    testing::Values(LostSetCase{"NoneLost", 0, false, {300, 310}, {300, 310}, 310},
                    LostSetCase{"FirstLost", 1, false, {300, 310}, {310}, 310},
                    LostSetCase{"AllLost", 5, false, {300, 310}, {}, 100},
                    LostSetCase{"ConfirmationsLost", 0, true, {300, 310}, {}, 310},
                    LostSetCase{"FrameAndConfirmationsLost", 1, true, {300, 310}, {}, 310}),
    CaseName());

// A late confirmation leaves when due; the readings asked meanwhile overtake it.
struct LateConfirmationCase {
    const char* name;
    milliseconds low;
    milliseconds high;
};

class LateConfirmations : public testing::TestWithParam<LateConfirmationCase> {};

TEST_P(LateConfirmations, LeaveWithinTheirDelayBehindNoReading) {
    const LateConfirmationCase& c = GetParam();
    ModuleConfig config = TestConfig();
    config.faults.confirmDelayMin = c.low;
    config.faults.confirmDelayMax = c.high;
    ModuleSimulator module(config, kStart);
    for (int set = 0; set < 20; ++set) {
        const SimTime sent = kStart + std::chrono::seconds(10 * set);
        EXPECT_TRUE(
            module.OnBytes(Set(CMD_SET_A, static_cast<std::uint16_t>(200 + set)), sent).empty());
        const Bytes reading = module.OnBytes(Query(CMD_QUERY_TEMP), sent + milliseconds(1));
        ASSERT_EQ(reading.size(), 9u) << "a reading waited for the confirmation";
        EXPECT_EQ(reading[kCodeIndex], REPLY_TEMP);
        ASSERT_TRUE(module.NextDue().has_value());
        const auto delay = *module.NextDue() - sent;
        EXPECT_GE(delay, c.low);
        EXPECT_LE(delay, c.high);
        const Bytes confirmation = module.TakeDue(*module.NextDue());
        ASSERT_EQ(confirmation.size(), 9u);
        EXPECT_EQ(confirmation[kCodeIndex], REPLY_SETPOINTS);
        EXPECT_EQ(ReadU16(confirmation, kDataIndex), 200 + set);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Delays, LateConfirmations,
    testing::Values(LateConfirmationCase{"Fixed", milliseconds(800), milliseconds(800)},
                    LateConfirmationCase{"Drawn", milliseconds(700), milliseconds(1200)}),
    CaseName());

// Without the variant byte the reply ends after the maxima; its length byte says where.
class ShortConfigReplies : public testing::TestWithParam<std::uint8_t> {};

TEST_P(ShortConfigReplies, CarrySetpointsAndMaximaUnderTheirLength) {
    const std::uint8_t length = GetParam();
    ModuleConfig config = TestConfig(2);
    config.configLength = length;
    ModuleSimulator module(config, kStart);
    const Bytes reply = module.OnBytes(Query(CMD_QUERY_CONFIG), kOneSecondIn);
    ASSERT_EQ(reply.size(), kLengthIndex + length + 1u);
    EXPECT_EQ(reply[kLengthIndex], length);
    EXPECT_EQ(reply.back(), Checksum(std::span(reply).first(reply.size() - 1)));
    EXPECT_EQ(ReadU16(reply, 6), 100);
    EXPECT_EQ(ReadU16(reply, 8), 200);
    EXPECT_EQ(ReadU16(reply, 10), 500);
    EXPECT_EQ(ReadU16(reply, 12), 600);
    if (length == 16) {
        EXPECT_EQ(reply[17], 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, ShortConfigReplies,
                         testing::Values<std::uint8_t>(12, 13, 14, 15, 16));

TEST(Faults, SplitRepliesLeaveOneBytePerGap) {
    ModuleConfig config = TestConfig();
    config.faults.byteGap = milliseconds(10);
    ModuleSimulator module(config, kStart);
    Bytes line = module.OnBytes(Query(CMD_QUERY_POWER), kStart);
    EXPECT_EQ(line.size(), 1u);
    for (int i = 1; i < 7; ++i) {
        EXPECT_EQ(module.NextDue(), kStart + milliseconds(10 * i));
        const Bytes got = module.TakeDue(kStart + milliseconds(10 * i));
        ASSERT_EQ(got.size(), 1u);
        line.push_back(got[0]);
    }
    EXPECT_EQ(line, (Bytes{0xED, 0xFA, 0x04, 0x22, 0x02, 0x30, 0x3F}));
}

TEST(HangUp, FollowsTheLastFrameAndItsReply) {
    for (const bool midReply : {false, true}) {
        ModuleConfig config = TestConfig();
        config.faults.hangUpAfterFrames = 2;
        config.faults.hangUpMidReply = midReply;
        bool hangUpLogged = false;
        ModuleSimulator module(config, kStart, [&](const LineEvent& e) {
            hangUpLogged |= e.direction == LineEvent::Direction::HangUp;
        });
        EXPECT_EQ(module.OnBytes(Query(CMD_QUERY_POWER), kStart).size(), 7u);
        EXPECT_FALSE(module.HungUp());
        Bytes both = Query(CMD_QUERY_POWER);
        both.insert(both.end(), both.begin(), both.end());
        EXPECT_EQ(module.OnBytes(both, kStart).size(), midReply ? 3u : 7u);
        EXPECT_TRUE(module.HungUp());
        EXPECT_TRUE(hangUpLogged);
        EXPECT_TRUE(module.OnBytes(Query(CMD_QUERY_POWER), kStart).empty());
    }
}

TEST(HangUp, WaitsForDelayedRepliesToLeave) {
    ModuleConfig config = TestConfig();
    config.faults.hangUpAfterFrames = 1;
    config.faults.replyDelay = milliseconds(50);
    ModuleSimulator module(config, kStart);
    module.OnBytes(Query(CMD_QUERY_TEMP), kStart);
    EXPECT_FALSE(module.HungUp());
    EXPECT_EQ(module.TakeDue(kStart + milliseconds(50)).size(), 9u);
    EXPECT_TRUE(module.HungUp());
}

TEST(DiodeModel, LightRisesLinearlyAboveThreshold) {
    DiodeModel model({25.0, 0.02, 3.0, 30.0, 0.8}, kStart, 0.0, 0.0);
    const struct {
        double currentMa;
        double powerMw;
    } cases[] = {{0, 0}, {29.9, 0}, {30, 0}, {40, 8}, {130, 80}};
    for (const auto& c : cases) {
        model.SetCurrents(c.currentMa, c.currentMa);
        EXPECT_NEAR(model.PowerAMw(), c.powerMw, 1e-9) << c.currentMa;
        EXPECT_NEAR(model.PowerBMw(), c.powerMw, 1e-9) << c.currentMa;
    }
}

TEST(DiodeModel, TemperatureApproachesItsSteadyValueWithoutOvershoot) {
    DiodeModel model({25.0, 0.02, 3.0, 30.0, 0.8}, kStart, 500.0, 0.0);  // steady 35 °C on A
    double previous = model.TemperatureAC();
    for (int step = 1; step <= 60; ++step) {
        model.AdvanceTo(kStart + milliseconds(500 * step));
        EXPECT_GT(model.TemperatureAC(), previous);
        EXPECT_LT(model.TemperatureAC(), 35.0);
        previous = model.TemperatureAC();
    }
    EXPECT_NEAR(previous, 35.0, 0.1);               // ten time constants
    EXPECT_DOUBLE_EQ(model.TemperatureBC(), 25.0);  // B carries no current
    // One time constant after the current drops, the junction has covered 63 % of the way down.
    model.SetCurrents(0.0, 0.0);
    model.AdvanceTo(kStart + std::chrono::seconds(33));
    EXPECT_NEAR(model.TemperatureAC(), 25.0 + (previous - 25.0) * 0.3679, 0.01);
}

TEST(DiodeModel, ResultDoesNotDependOnHowOftenItIsSampled) {
    DiodeModel coarse({25.0, 0.02, 3.0, 30.0, 0.8}, kStart, 300.0, 300.0);
    DiodeModel fine({25.0, 0.02, 3.0, 30.0, 0.8}, kStart, 300.0, 300.0);
    coarse.AdvanceTo(kStart + std::chrono::seconds(4));
    for (int ms = 1; ms <= 4000; ++ms) {
        fine.AdvanceTo(kStart + milliseconds(ms));
    }
    EXPECT_NEAR(coarse.TemperatureAC(), fine.TemperatureAC(), 1e-9);
    fine.AdvanceTo(kStart);  // time does not run backwards
    EXPECT_NEAR(coarse.TemperatureAC(), fine.TemperatureAC(), 1e-9);
}

TEST(LineLog, ReadsAsTimeDirectionBytesVerdict) {
    EXPECT_EQ(FormatLineEvent({std::chrono::microseconds(12'345'678),
                               LineEvent::Direction::Received,
                               {0xEF, 0xEF, 0x02, 0x0B, 0xEB},
                               "valid"}),
              "12.345678 RX EF EF 02 0B EB valid");
    EXPECT_EQ(FormatLineEvent(
                  {std::chrono::milliseconds(5), LineEvent::Direction::Sent, {0x0A}, "noise"}),
              "0.005000 TX 0A noise");
    EXPECT_EQ(FormatLineEvent({std::chrono::seconds(3), LineEvent::Direction::HangUp, {}, ""}),
              "3.000000 HANGUP");
}

}  // namespace
}  // namespace simulator
