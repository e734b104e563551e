// ldctl as a real process against the module simulator on a pty, listed as the virtual port
// "sim": what each command prints and exits with, the frames the module receives, and the port
// released whatever ended the command.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/frame.h"
#include "tests/serial/posix/temp_dir.h"
#include "tests/tools/ldctl/ldctl_run.h"
#include "tools/ldctl/exit_status.h"
#include "tools/simulator/pty_module.h"

namespace {

using simulator::LineEvent;
using simulator::ModuleConfig;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kLink = "sim";

// A module with a junction that follows the current at once, so every reading is exact: at
// 100 mA, 25 + 0.02 x 100 = 27.0 degC and (100 - 30) x 0.8 = 56 mW.
ModuleConfig ExactModule(std::uint8_t variant = 1) {
    ModuleConfig config;
    config.variant = variant;
    config.setpointA = 100;
    config.setpointB = 200;
    config.model.timeConstantS = 0.0;
    return config;
}

// The simulator on a new pty, linked as "sim" in a private virtual-port directory.
class SimulatorPort {
  public:
    explicit SimulatorPort(const ModuleConfig& config) : module(config) {
        linked = symlink(module.Path().c_str(), ports.Join(kLink).c_str()) == 0;
        module.Start();
    }
    // As the simulator program ends: the line closes and the link goes.
    void HangUp() {
        module.HangUp();
        unlink(ports.Join(kLink).c_str());
    }
    LdctlProcess::Options With(std::vector<std::string> args) const {
        LdctlProcess::Options options;
        options.args = std::move(args);
        options.portsDirectory = ports.Path();
        return options;
    }
    LdctlResult Run(std::vector<std::string> args) const { return RunLdctl(With(std::move(args))); }
    // The frames the module received, each checked whole.
    std::vector<Bytes> Received() const {
        std::vector<Bytes> frames;
        for (const LineEvent& e : module.Received()) {
            EXPECT_EQ(e.verdict, "valid");
            frames.push_back(e.bytes);
        }
        return frames;
    }

    TempDir ports;
    simulator::PtyModule module;
    bool linked = false;
};

Bytes AsBytes(const QueryFrame& frame) {
    return Bytes(frame.begin(), frame.end());
}

Bytes SetFrame(std::uint8_t command, std::uint16_t value) {
    ::SetFrame frame = kEmptySetFrame;
    WriteSetFrame(frame, command, value);
    return Bytes(frame.begin(), frame.end());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// CSV read by Python's csv module, handed back as JSON rows.
nlohmann::json ParseCsv(const std::string& csv) {
    TempDir dir;
    const std::string path = dir.Join("readings.csv");
    std::ofstream(path) << csv;
    const std::string command =
        "python3 -c 'import csv,json,sys; print(json.dumps(list(csv.DictReader(sys.stdin))))' < " +
        path;
    FILE* pipe = popen(command.c_str(), "r");
    std::string json;
    char chunk[4096];
    for (std::size_t got; pipe != nullptr && (got = fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
        json.append(chunk, got);
    }
    if (pipe != nullptr) {
        pclose(pipe);
    }
    return nlohmann::json::parse(json);
}

struct ReadingRow {
    std::string time, temperature, power, setpoint, variant;
};

// The reading lines of `ldctl watch` in any format, as texts.
std::vector<ReadingRow> ParseReadings(const std::string& format, const std::string& out) {
    std::vector<ReadingRow> rows;
    if (format == "csv") {
        for (const auto& row : ParseCsv(out)) {
            rows.push_back({row["time"], row["temperature_c"], row["power_mw"], row["setpoint_ma"],
                            row["variant"]});
        }
        return rows;
    }
    for (const std::string& line : Lines(out)) {
        if (format == "json") {
            const auto object = nlohmann::json::parse(line);
            const auto number = [](const nlohmann::json& value) {
                return value.is_number_integer()
                           ? std::to_string(value.get<long long>())
                           : (std::ostringstream()
                              << std::fixed << std::setprecision(1) << value.get<double>())
                                 .str();
            };
            rows.push_back({object["time"], number(object["temperature_c"]),
                            number(object["power_mw"]), number(object["setpoint_ma"]),
                            object["variant"]});
            continue;
        }
        // 2026-12-08T09:50:01.123+01:00  27.0 °C  56.0 mW  100 mA  A
        std::istringstream words(line);
        ReadingRow row;
        std::string unit;
        words >> row.time >> row.temperature >> unit >> row.power >> unit >> row.setpoint >> unit >>
            row.variant;
        rows.push_back(row);
    }
    return rows;
}

TEST(LdctlWatch, PrintsTheModelsReadingsInEveryFormatAndSendsOnlyThePanelsQueries) {
    struct Case {
        std::uint8_t variant;
        const char* format;
        const char* temperature;
        const char* power;
        const char* setpoint;
        const char* variantName;
    };
    const Case cases[] = {
        {1, "text", "27.0", "56.0", "100", "A"}, {1, "csv", "27.0", "56.0", "100", "A"},
        {0, "json", "27.0", "56.0", "100", "A"}, {2, "text", "29.0", "136", "200", "B"},
        {2, "csv", "29.0", "136", "200", "B"},   {7, "json", "29.0", "136", "200", "B"},
    };
    const std::regex isoTime(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.format) + ", variant " + std::to_string(c.variant));
        SimulatorPort sim(ExactModule(c.variant));
        ASSERT_TRUE(sim.linked);
        const LdctlResult result = sim.Run({"watch", kLink, "--count", "2", "--format", c.format});
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        if (std::string(c.format) == "csv") {
            EXPECT_EQ(Lines(result.out).at(0), "time,temperature_c,power_mw,setpoint_ma,variant");
        }
        const std::vector<ReadingRow> rows = ParseReadings(c.format, result.out);
        ASSERT_EQ(rows.size(), 2u) << result.out;
        for (const ReadingRow& row : rows) {
            EXPECT_TRUE(std::regex_match(row.time, isoTime)) << row.time;
            EXPECT_EQ(row.temperature, c.temperature);
            EXPECT_EQ(row.power, c.power);
            EXPECT_EQ(row.setpoint, c.setpoint);
            EXPECT_EQ(row.variant, c.variantName);
        }
        const std::vector<Bytes> queries = {AsBytes(kQueryConfigFrame), AsBytes(kQueryTempFrame),
                                            AsBytes(kQueryPowerFrame)};
        const std::vector<Bytes> received = sim.Received();
        ASSERT_FALSE(received.empty());
        EXPECT_EQ(received.front(), AsBytes(kQueryConfigFrame));
        for (const Bytes& frame : received) {
            EXPECT_NE(std::find(queries.begin(), queries.end(), frame), queries.end());
        }
    }
}

TEST(LdctlSet, AppliesTheFieldsRulesAndPrintsTheConfirmedSetpoint) {
    using namespace std::chrono_literals;
    struct Case {
        std::uint8_t variant;
        const char* typed;
        std::uint8_t command;
        std::uint16_t sent;
        bool clamped;
        std::chrono::milliseconds replyDelay;
    };
    const Case cases[] = {
        {1, "900", CMD_SET_A, 500, true, 0ms},    // above the maximum of 500 mA
        {1, "-5", CMD_SET_A, 0, true, 0ms},       // below zero
        {2, "12.7", CMD_SET_B, 12, false, 0ms},   // truncated, not clamped
        {1, "1e2x", CMD_SET_A, 100, false, 0ms},  // read as far as it is a number
        // Slower than the configuration queries come, so the answer to the second query arrives
        // after the set frame, carrying the old setpoint; the setpoints reply still comes before
        // the first poll, whose frames would purge it from the line.
        {1, "250", CMD_SET_A, 250, false, 300ms},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        ModuleConfig config = ExactModule(c.variant);
        config.faults.replyDelay = c.replyDelay;
        SimulatorPort sim(config);
        ASSERT_TRUE(sim.linked);
        const LdctlResult result = sim.Run({"set", kLink, c.typed, "--json"});
        ASSERT_EQ(result.status, 0) << result.err;
        const auto reply = nlohmann::json::parse(result.out);
        EXPECT_EQ(reply["setpoint_ma"], c.sent);
        EXPECT_EQ(reply["clamped"], c.clamped);
        EXPECT_EQ(result.err.find("outside") != std::string::npos, c.clamped) << result.err;
        const std::vector<Bytes> received = sim.Received();
        EXPECT_EQ(std::count(received.begin(), received.end(), SetFrame(c.command, c.sent)), 1);
        for (const Bytes& frame : received) {
            const bool isSet = frame[kCodeIndex] == CMD_SET_A || frame[kCodeIndex] == CMD_SET_B;
            EXPECT_TRUE(!isSet || frame == SetFrame(c.command, c.sent));
        }
    }
}

// The port's number as ldctl lists it: hardware ports come first, so it is not known in advance.
std::string ListedNumber(const SimulatorPort& sim) {
    const LdctlResult listed = sim.Run({"list", "--json"});
    for (const auto& port : nlohmann::json::parse(listed.out)) {
        if (port["name"] == kLink) {
            return std::to_string(port["number"].get<int>());
        }
    }
    return "none";
}

TEST(LdctlSet, PlainOutputIsTheConfirmedSetpoint) {
    SimulatorPort sim(ExactModule());
    ASSERT_TRUE(sim.linked);
    const LdctlResult result = sim.Run({"set", ListedNumber(sim), "250"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "250 mA\n");
}

TEST(LdctlSet, ASilentModuleEndsInTheNoAnswerStatus) {
    ModuleConfig config = ExactModule();
    config.silentSet = true;
    SimulatorPort sim(config);
    ASSERT_TRUE(sim.linked);
    const LdctlResult result = sim.Run({"set", kLink, "300"});
    EXPECT_EQ(result.status, ToInt(ExitStatus::kNoAnswer));
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("sim: no confirmation"), std::string::npos) << result.err;
    EXPECT_EQ(Lines(result.err).size(), 1u) << result.err;
}

TEST(LdctlDecode, PrintsOnlyAcceptedRepliesAndCountsTheRest) {
    struct Case {
        const char* name;
        std::vector<std::string> args;  // none: the input is read instead
        const char* input;
        std::vector<std::string> replies;  // the start of each reply's description
        const char* dropped;
    };
    const Case cases[] = {
        {"garbage around a reply",
         {"00 13 ED", "FA 06 0B 09 C4 0A 28 F7 FF"},
         "",
         {"TEMP  A 2500, B 2600 (0.01 °C): 25.0 °C"},
         "3 bytes dropped"},
        {"split over lines, no spaces",
         {},
         "EDFA06\n0B09C4\n0A28\nF7\nED FA 04 22 01 F4 02\n",
         {"TEMP  A 2500", "POWER  500 (variant A): 50.0 mW"},
         "0 bytes dropped"},
        {"bad checksum, then a good reply",
         {"ED FA 04 22 01 F4 03", "ED FA 04 22 01 F4 02"},
         "",
         {"POWER  500 (variant A): 50.0 mW"},
         "7 bytes dropped"},
        {"too short for its fields, other type, cut at the end",
         {"ED FA 02 0B F4", "ED FA 03 05 00 EF", "ED FA 06 0B 09"},
         "",
         {"TEMP: too short", "type 0x05: not read by the panel"},
         "5 bytes dropped"},
        {"a configuration switches the power scale",
         {"ED FA 10 02 00 00 00 64 00 C8 01 F4 01 F4 00 00 00 02 11", "ED FA 04 22 01 F4 02"},
         "",
         {"CONFIG  setpoint A 100 mA, B 200 mA; maximum A 500 mA, B 500 mA; variant 2 (B): 200 mA",
          "POWER  500 (variant B): 500 mW"},
         "0 bytes dropped"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"decode"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        TempDir none;
        LdctlProcess::Options options;
        options.args = args;
        options.portsDirectory = none.Path();
        options.input = c.input;
        const LdctlResult result = RunLdctl(options);
        ASSERT_EQ(result.status, 0) << result.err;
        const std::vector<std::string> lines = Lines(result.out);
        ASSERT_EQ(lines.size(), c.replies.size() + 1) << result.out;
        for (std::size_t i = 0; i < c.replies.size(); ++i) {
            EXPECT_NE(lines[i].find(c.replies[i]), std::string::npos) << lines[i];
        }
        EXPECT_EQ(lines.back(), c.dropped);
    }
}

TEST(LdctlErrors, EachClassHasItsOwnStatusAndOneLine) {
    SimulatorPort sim(ExactModule());
    ASSERT_TRUE(sim.linked);
    struct Case {
        std::vector<std::string> args;
        ExitStatus status;
        const char* says;
    };
    const Case cases[] = {
        {{"watch", "nosuch"}, ExitStatus::kPortNotFound, "nosuch: no such port"},
        {{"watch", "17"}, ExitStatus::kPortNotFound, "17: no such port"},
        {{"watch"}, ExitStatus::kUsage, "PORT is required"},
        {{"watch", kLink, "--format", "xml"}, ExitStatus::kUsage, "xml"},
        {{"watch", kLink, "--count", "0x2"}, ExitStatus::kUsage, "--count"},
        {{"set", kLink}, ExitStatus::kUsage, "MA is required"},
        {{"set", kLink, ""}, ExitStatus::kUsage, "Warning!: Format Error!"},
        {{"decode", "ED F"}, ExitStatus::kUsage, "odd number"},
        {{"frobnicate"}, ExitStatus::kUsage, "subcommand"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.size() > 1 ? c.args[1] : c.args[0]);
        const LdctlResult result = sim.Run(c.args);
        EXPECT_EQ(result.status, ToInt(c.status)) << result.err;
        EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
}

TEST(LdctlErrors, APortHeldByAnotherLdctlIsBusyAndFreeOnceItEnds) {
    SimulatorPort sim(ExactModule());
    ASSERT_TRUE(sim.linked);
    LdctlProcess holder(sim.With({"watch", kLink}));
    ASSERT_TRUE(holder.WaitForLines(1));
    const LdctlResult busy = sim.Run({"set", kLink, "200"});
    EXPECT_EQ(busy.status, ToInt(ExitStatus::kPortBusy)) << busy.err;
    EXPECT_NE(busy.err.find("sim: port busy"), std::string::npos) << busy.err;

    holder.Signal(SIGTERM);
    const LdctlResult ended = holder.Finish();
    EXPECT_EQ(ended.status, 0) << ended.err;
    const LdctlResult set = sim.Run({"set", kLink, "200"});
    EXPECT_EQ(set.status, 0) << set.err;
}

TEST(LdctlErrors, HangUpMidWatchEndsInThePortFailedStatus) {
    SimulatorPort sim(ExactModule());
    ASSERT_TRUE(sim.linked);
    LdctlProcess watch(sim.With({"watch", kLink, "--format", "csv"}));
    ASSERT_TRUE(watch.WaitForLines(2));
    sim.HangUp();
    const LdctlResult result = watch.Finish();
    EXPECT_EQ(result.status, ToInt(ExitStatus::kPortFailed)) << result.err;
    EXPECT_NE(result.err.find("sim: the port hung up"), std::string::npos) << result.err;
    EXPECT_EQ(result.out.back(), '\n');
}

// Ctrl-C ends the watch cleanly: whole lines, status 0, and the port can be taken at once by
// anyone, the way the panel takes it (an exclusive lock, and no exclusive mode left behind).
TEST(LdctlWatch, CtrlCEndsCleanlyAndFreesThePortAtOnce) {
    SimulatorPort sim(ExactModule());
    ASSERT_TRUE(sim.linked);
    LdctlProcess watch(sim.With({"watch", kLink, "--format", "json"}));
    ASSERT_TRUE(watch.WaitForLines(1));
    watch.Signal(SIGINT);
    const LdctlResult result = watch.Finish();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    for (const std::string& line : Lines(result.out)) {
        EXPECT_NO_THROW(nlohmann::json::parse(line)) << line;
    }
    EXPECT_EQ(result.out.back(), '\n');

    const int fd = open(sim.module.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0) << "the port was left in exclusive mode";
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0) << "the port is still locked";
    close(fd);
}

// Root may open any device whatever its mode, so ldctl is run as nobody. Only the tests' own
// directory of links, root's and readable by all, leads nobody to the pty, which nobody may not
// open.
TEST(LdctlErrors, PermissionDeniedNamesTheDialoutGroup) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root, to run ldctl as nobody on a pty only root may open";
    }
    SimulatorPort sim(ExactModule());
    ASSERT_TRUE(sim.linked);
    ASSERT_EQ(chmod(sim.ports.Path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(sim.module.Path().c_str(), 0600), 0);
    LdctlProcess::Options options = sim.With({"watch", kLink});
    options.asNobody = true;
    const LdctlResult result = RunLdctl(options);
    if (result.status == LdctlProcess::kCouldNotDropRoot) {
        GTEST_SKIP() << "could not drop root to run ldctl as nobody";
    }
    if (result.status == 127) {
        GTEST_SKIP() << "nobody may not run ldctl (a directory on its way is private)";
    }
    EXPECT_EQ(result.status, ToInt(ExitStatus::kPermissionDenied)) << result.err;
    EXPECT_NE(result.err.find("sim: permission denied"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("dialout"), std::string::npos) << result.err;
    EXPECT_TRUE(sim.module.Received().empty());
}

TEST(LdctlList, ShowsTheSimulatorsLinkAndNoPhantomPort) {
    SimulatorPort sim(ExactModule());
    ASSERT_TRUE(sim.linked);
    const LdctlResult result = sim.Run({"list", "--json"});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto ports = nlohmann::json::parse(result.out);
    std::vector<std::string> names;
    for (const auto& port : ports) {
        names.push_back(port["name"]);
        EXPECT_GE(port["number"].get<int>(), 1);
        EXPECT_LE(port["number"].get<int>(), 16);
    }
    const auto sim_ = std::find(names.begin(), names.end(), kLink);
    ASSERT_NE(sim_, names.end()) << result.out;
    EXPECT_EQ(ports[static_cast<std::size_t>(sim_ - names.begin())]["path"], sim.ports.Join(kLink));
    // The 8250 driver's ports without a UART report type 0.
    for (const auto& tty : std::filesystem::directory_iterator("/sys/class/tty")) {
        std::ifstream type(tty.path() / "type");
        int uart = -1;
        if (type >> uart && uart == 0) {
            EXPECT_EQ(std::find(names.begin(), names.end(), tty.path().filename().string()),
                      names.end());
        }
    }
    EXPECT_TRUE(sim.module.Received().empty()) << "listing opened the port";
}

}  // namespace
