// The simulator program's command line, and its link among the panel's virtual ports.
#include "tools/simulator/sim_options.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "tools/simulator/port_link.h"

namespace simulator {
namespace {

std::variant<SimOptions, std::string> Parse(std::vector<const char*> words) {
    words.insert(words.begin(), "driverpanel-sim");
    return ParseOptions(static_cast<int>(words.size()), words.data());
}

TEST(Options, ReachTheModuleTheyName) {
    const auto parsed = Parse({"--device",
                               "/dev/pts/7",
                               "--variant",
                               "2",
                               "--setpoint-a",
                               "250",
                               "--max-b",
                               "65535",
                               "--silent-set",
                               "--drop",
                               "0.5",
                               "--delay",
                               "20",
                               "--byte-gap",
                               "3",
                               "--hangup-after",
                               "9",
                               "--hangup-mid-reply",
                               "--time-constant",
                               "1.5",
                               "--seed",
                               "77",
                               "--log",
                               "/tmp/x.log",
                               "--log-sent",
                               "--link",
                               "sim1"});
    ASSERT_TRUE(std::holds_alternative<SimOptions>(parsed)) << std::get<std::string>(parsed);
    const SimOptions& o = std::get<SimOptions>(parsed);
    EXPECT_EQ(o.devicePath, "/dev/pts/7");
    EXPECT_EQ(o.module.variant, 2);
    EXPECT_EQ(o.module.setpointA, 250);
    EXPECT_EQ(o.module.maximumB, 65535);
    EXPECT_TRUE(o.module.silentSet);
    EXPECT_EQ(o.module.faults.dropShare, 0.5);
    EXPECT_EQ(o.module.faults.replyDelay.count(), 20);
    EXPECT_EQ(o.module.faults.byteGap.count(), 3);
    EXPECT_EQ(o.module.faults.hangUpAfterFrames, 9u);
    EXPECT_TRUE(o.module.faults.hangUpMidReply);
    EXPECT_EQ(o.module.model.timeConstantS, 1.5);
    EXPECT_EQ(o.module.seed, 77u);
    EXPECT_EQ(o.logPath, "/tmp/x.log");
    EXPECT_TRUE(o.logSent);
    EXPECT_EQ(o.linkName, "sim1");
}

TEST(Options, AreRefusedWhenOutOfRangeOrMalformed) {
    const std::vector<std::vector<const char*>> refused = {
        {"--variant", "256"},      {"--variant", "-1"},
        {"--setpoint-a", "65536"}, {"--drop", "1.5"},
        {"--noise", "nan"},        {"--bad-checksum", "0.2x"},
        {"--delay", ""},           {"--hangup-after", "0"},
        {"--noise-bytes", "0"},    {"--delay"},
        {"--frobnicate"},          {"--hangup-mid-reply"},
        {"--ambient", "inf"},      {"--seed", "12345678901234567890123"},
        {"--seed", "-1"},          {"--max-a", "0x10"},
        {"--device", "a", "b"},    {"--config-length", "11"},
        {"--config-length", "17"}, {"--confirm-delay", "900-700"},
        {"--confirm-delay", "5-"}, {"--confirm-delay", "-5"},
        {"--ignore-set", "-1"},    {"--confirm-delay", "10", "--byte-gap", "3"},
    };
    for (const auto& words : refused) {
        EXPECT_TRUE(std::holds_alternative<std::string>(Parse(words))) << words[0];
    }
}

// The faults of a set and its confirmation, and the shorter configuration reply.
TEST(Options, ReachTheSetFaultsAndTheConfigurationLength) {
    struct Case {
        std::vector<const char*> words;
        unsigned ignored;
        long long low;
        long long high;
        unsigned length;
    };
    const Case cases[] = {
        {{}, 0, 0, 0, 16},
        {{"--ignore-set", "3"}, 3, 0, 0, 16},
        {{"--confirm-delay", "800"}, 0, 800, 800, 16},
        {{"--confirm-delay", "700-1200", "--config-length", "12"}, 0, 700, 1200, 12},
    };
    for (const Case& c : cases) {
        const auto parsed = Parse(c.words);
        ASSERT_TRUE(std::holds_alternative<SimOptions>(parsed)) << std::get<std::string>(parsed);
        const ModuleConfig& m = std::get<SimOptions>(parsed).module;
        EXPECT_EQ(m.faults.ignoredSetFrames, c.ignored);
        EXPECT_EQ(m.faults.confirmDelayMin.count(), c.low);
        EXPECT_EQ(m.faults.confirmDelayMax.count(), c.high);
        EXPECT_EQ(m.configLength, c.length);
    }
}

// Values are decimal whatever they look like: a leading zero is no octal prefix.
TEST(Options, ReadValuesAsDecimal) {
    const auto parsed = Parse({"--setpoint-b", "010", "--version"});
    ASSERT_TRUE(std::holds_alternative<SimOptions>(parsed)) << std::get<std::string>(parsed);
    EXPECT_EQ(std::get<SimOptions>(parsed).module.setpointB, 10);
    EXPECT_TRUE(std::get<SimOptions>(parsed).version);
}

TEST(LinkNames, OnlyPlainNamesAreUsable) {
    for (const char* good : {"sim", "ttyLaser-1", "a.b"}) {
        EXPECT_TRUE(IsValidLinkName(good)) << good;
    }
    for (const char* bad : {"", ".", "..", "../etc", "a/b", "tab\there"}) {
        EXPECT_FALSE(IsValidLinkName(bad)) << bad;
    }
    EXPECT_FALSE(IsValidLinkName(std::string(65, 'x')));
}

class PortLinkTest : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/driverpanel-linktest-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    std::filesystem::path root_;
};

TEST_F(PortLinkTest, LivesAsLongAsItsObject) {
    const auto dir = root_ / "ports";
    {
        PortLink link(dir, "sim", "/dev/null");
        EXPECT_EQ(std::filesystem::read_symlink(dir / "sim"), "/dev/null");
        EXPECT_EQ(std::filesystem::status(dir).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_all);
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir / "sim")));
}

TEST_F(PortLinkTest, ReplacesOnlyADanglingLink) {
    std::filesystem::create_symlink(root_ / "gone", root_ / "stale");
    std::filesystem::create_symlink("/dev/null", root_ / "live");
    std::ofstream(root_ / "file") << "x";

    PortLink replaced(root_, "stale", "/dev/zero");
    EXPECT_EQ(std::filesystem::read_symlink(root_ / "stale"), "/dev/zero");
    EXPECT_THROW(PortLink(root_, "live", "/dev/zero"), std::filesystem::filesystem_error);
    EXPECT_THROW(PortLink(root_, "file", "/dev/zero"), std::filesystem::filesystem_error);
    EXPECT_THROW(PortLink(root_, "../escape", "/dev/zero"), std::invalid_argument);
    EXPECT_EQ(std::filesystem::read_symlink(root_ / "live"), "/dev/null");
}

}  // namespace
}  // namespace simulator
