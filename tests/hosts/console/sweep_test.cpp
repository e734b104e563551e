// `ldctl sweep` as a real process against the module simulator on a pty: the curve it measures,
// and the set frames on the wire however the sweep ends.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

#include "protocol/frame.h"
#include "tests/hosts/console/ldctl_run.h"
#include "tests/serial/linux/temp_dir.h"
#include "tools/simulator/pty_module.h"

namespace {

using simulator::ModuleConfig;

// A module with a known curve (threshold 40 mA, 0.5 mW/mA, faint light below, a noisy
// detector) at 100 mA, its junction following the current at once.
ModuleConfig CurveModule() {
    ModuleConfig config;
    config.setpointA = 100;
    config.model = {25.0, 0.02, 0.0, 40.0, 0.5, 0.002, 0.05};
    config.seed = 7;
    return config;
}

// The simulator linked as "sim" in a private virtual-port directory.
struct Sim {
    explicit Sim(const ModuleConfig& config) : module(config) {
        EXPECT_EQ(symlink(module.Path().c_str(), ports.Join("sim").c_str()), 0);
        module.Start();
    }
    LdctlProcess::Options With(const std::vector<std::string>& args) const {
        LdctlProcess::Options options;
        options.args = {"sweep", "sim"};
        options.args.insert(options.args.end(), args.begin(), args.end());
        options.portsDirectory = ports.Path();
        return options;
    }
    // The values of the set frames the module received, lost ones included, in order.
    std::vector<int> Sets() const {
        std::vector<int> values;
        for (const simulator::LineEvent& e : module.Received()) {
            if (e.bytes.size() == 7 && (e.bytes[3] == CMD_SET_A || e.bytes[3] == CMD_SET_B)) {
                values.push_back(e.bytes[4] << 8 | e.bytes[5]);
            }
        }
        return values;
    }
    TempDir ports;
    simulator::PtyModule module;
};

TEST(LdctlSweep, EstimatesAKnownThresholdAndSlopeAndReturnsTheCurrent) {
    Sim sim(CurveModule());
    const LdctlResult result = RunLdctl(sim.With(
        {"--from", "0", "--to", "120", "--step", "10", "--dwell", "50", "--format", "csv"}));
    ASSERT_EQ(result.status, 0) << result.err;
    std::smatch fit;
    ASSERT_TRUE(std::regex_search(result.out, fit,
                                  std::regex("\n# threshold ([0-9.]+) mA, slope efficiency "
                                             "([0-9.]+) mW/mA, residual [0-9.]+ mW rms")))
        << result.out;
    EXPECT_NEAR(std::stod(fit[1]), 40.0, 40.0 * 0.05);
    EXPECT_NEAR(std::stod(fit[2]), 0.5, 0.5 * 0.05);
    EXPECT_EQ(result.out.rfind("setpoint_ma,temperature_c,power_mw,time\n0,25.0,", 0), 0u)
        << result.out;
    EXPECT_NE(result.out.find("\n120,27.4,40."), std::string::npos) << result.out;
    // Every step in order, none past --to, then the current held before.
    EXPECT_EQ(sim.Sets(),
              (std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 100}));
}

TEST(LdctlSweep, RefusesBeforeSendingAnything) {
    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"--from", "0", "--to", "501", "--step", "10", "--dwell", "0"}, 8},  // maximum 500
        {{"--from", "0", "--to", "1e3", "--step", "10", "--dwell", "0"}, 2},
        {{"--from", "-10", "--to", "50", "--step", "10", "--dwell", "0"}, 2},
        {{"--from", "0", "--to", "50", "--step", "0", "--dwell", "0"}, 2},
        {{"--from", "60", "--to", "50", "--step", "10", "--dwell", "0"}, 2},
        {{"--from", "0", "--to", "50", "--step", "10", "--dwell", "0x10"}, 2},
    };
    Sim sim(CurveModule());
    for (const auto& c : cases) {
        const LdctlResult result = RunLdctl(sim.With(c.args));
        EXPECT_EQ(result.status, c.status) << c.args[3] << result.err;
        EXPECT_NE(result.err.find("nothing was sent"), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_TRUE(sim.Sets().empty());
}

TEST(LdctlSweep, AStepNotConfirmedStopsTheSweepAndReturnsTheCurrent) {
    const struct {
        const char* name;
        unsigned ignoredSets;
        std::uint16_t setLimit;
        std::uint16_t before;
        int status;
        std::vector<int> sets;
    } cases[] = {
        {"a lost step", 1, 65535, 100, 6, {30, 100}},
        {"a step held lower", 0, 45, 20, 6, {30, 40, 50, 20}},
        // The module holds the way back to its limit as well: the laser stays at 45 mA.
        {"the way back held lower", 0, 45, 100, 9, {30, 40, 50, 100}},
    };
    for (const auto& c : cases) {
        ModuleConfig config = CurveModule();
        config.faults.ignoredSetFrames = c.ignoredSets;
        config.setLimit = c.setLimit;
        config.setpointA = c.before;
        Sim sim(config);
        const LdctlResult result =
            RunLdctl(sim.With({"--from", "30", "--to", "60", "--step", "10", "--dwell", "0"}));
        EXPECT_EQ(result.status, c.status) << c.name << ": " << result.err;
        EXPECT_NE(result.err.find("the sweep stopped"), std::string::npos) << result.err;
        EXPECT_EQ(sim.Sets(), c.sets) << c.name;
    }
}

TEST(LdctlSweep, AStopInTheMiddleReturnsTheCurrentWhileThePortIsThere) {
    const struct {
        const char* name;
        int signal;  // 0: the module hangs up instead
        int status;
    } cases[] = {{"Ctrl-C", SIGINT, 128 + SIGINT},
                 {"a hang-up of the terminal", SIGHUP, 128 + SIGHUP},
                 {"the module hanging up", 0, 7}};
    for (const auto& c : cases) {
        Sim sim(CurveModule());
        LdctlProcess ldctl(
            sim.With({"--from", "0", "--to", "120", "--step", "10", "--dwell", "100"}));
        ASSERT_TRUE(ldctl.WaitForLines(3)) << c.name;
        if (c.signal != 0) {
            ldctl.Signal(c.signal);
        } else {
            sim.module.HangUp();
        }
        const LdctlResult result = ldctl.Finish();
        EXPECT_EQ(result.status, c.status) << c.name << ": " << result.err;
        std::vector<int> sets = sim.Sets();
        ASSERT_GE(sets.size(), 3u) << c.name;
        EXPECT_LT(sets.size(), 13u) << c.name;
        if (c.signal != 0) {
            EXPECT_EQ(sets.back(), 100) << c.name;
            EXPECT_NE(result.err.find("the current is back at 100 mA"), std::string::npos)
                << result.err;
        } else {
            EXPECT_NE(result.err.find("could not be returned"), std::string::npos) << result.err;
        }
    }
}

}  // namespace
