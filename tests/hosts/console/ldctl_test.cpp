// ldctl as a real process against the module simulator on a pty, listed as the virtual port
// "sim": what each command prints and exits with, the frames the module receives, and the port
// released whatever ended the command.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "hosts/console/exit_status.h"
#include "protocol/frame.h"
#include "tests/hosts/console/ldctl_run.h"
#include "tests/serial/linux/pty_pair.h"
#include "tests/serial/linux/temp_dir.h"
#include "tools/simulator/module_replies.h"
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
        {1, "+100", CMD_SET_A, 100, false, 0ms},  // an explicit sign
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

// A script's value that is no plain decimal would have been read by the field's rules into some
// current (most often 0 mA); it is refused before the port is opened.
TEST(LdctlSet, RefusesAnythingButAPlainDecimalAndSendsNothing) {
    SimulatorPort sim(ExactModule());
    ASSERT_TRUE(sim.linked);
    for (const char* typed : {"abc", "N/A", "nan", "inf", "0x1F4", "\xd9\xa3" /* ٣ */, "   ", " 12",
                              "12 ", "12abc", "1e3", "1,5", "1.2.3", "+", "."}) {
        SCOPED_TRACE(typed);
        const LdctlResult result = sim.Run({"set", kLink, typed});
        EXPECT_EQ(result.status, ToInt(ExitStatus::kUsage)) << result.err;
        EXPECT_NE(result.err.find("not a plain decimal"), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_TRUE(sim.Received().empty()) << "a refused value opened the port";
}

// A module played by the test, for what the simulator never does: it answers every frame with
// temperature and power, and from `configAfter` after the first frame adds its configuration
// reply, whatever its fields. It writes only when asked, so nothing piles up in the pty once
// ldctl is gone.
class ScriptedModule {
  public:
    ScriptedModule(const simulator::ConfigFields& config, std::chrono::milliseconds configAfter)
        : config_(simulator::ConfigReply(config)),
          power_(simulator::PowerReply(config.variant >= 2 ? 500.0 : 50.0, config.variant)),
          configAfter_(configAfter),
          thread_([this] { Serve(); }) {}
    ~ScriptedModule() {
        stop_ = true;
        thread_.join();
    }
    const std::string& Path() const { return pty_.NearPath(); }
    // Whether any set frame (the only request with L = 4) reached the module.
    bool ReceivedSetFrame() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        const Bytes start = {kRequestHeader, kRequestHeader, 4};
        return std::search(received_.begin(), received_.end(), start.begin(), start.end()) !=
               received_.end();
    }

  private:
    void Serve() {
        using namespace std::chrono;
        const Bytes temperature = simulator::TemperatureReply(25.0, 26.0);
        std::optional<steady_clock::time_point> asked;
        while (!stop_) {
            pollfd wait{pty_.FarEnd(), POLLIN, 0};
            std::uint8_t chunk[256];
            if (poll(&wait, 1, 50) <= 0) {
                continue;
            }
            const ssize_t got = read(pty_.FarEnd(), chunk, sizeof chunk);
            if (got <= 0) {
                std::this_thread::sleep_for(milliseconds(10));  // no one on the near end
                continue;
            }
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                received_.insert(received_.end(), chunk, chunk + got);
            }
            asked = asked.value_or(steady_clock::now());
            pty_.Send(temperature);
            pty_.Send(power_);
            if (steady_clock::now() - *asked >= configAfter_) {
                pty_.Send(config_);
            }
        }
    }

    const Bytes config_;
    const Bytes power_;
    const std::chrono::milliseconds configAfter_;
    PtyPair pty_;
    mutable std::mutex mutex_;
    Bytes received_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Runs ldctl with `module` linked as the only virtual port.
LdctlResult RunOn(const ScriptedModule& module, std::vector<std::string> args) {
    TempDir ports;
    EXPECT_EQ(symlink(module.Path().c_str(), ports.Join(kLink).c_str()), 0);
    LdctlProcess::Options options;
    options.args = std::move(args);
    options.portsDirectory = ports.Path();
    return RunLdctl(options);
}

// A module still answering an earlier program's polls sends readings before its configuration,
// and reports a setpoint above its maximum. Readings start with the configuration (variant B's
// scale, JSON numbers, the CSV header first), and the setpoint is shown as reported: only `set`
// commands the current, so `watch` and `list` never pull it down.
TEST(LdctlWatch, PrintsFromTheConfigurationOnAndNeverSendsASetFrame) {
    for (const char* format : {"json", "csv"}) {
        SCOPED_TRACE(format);
        ScriptedModule module(
            {.setpointA = 100, .setpointB = 600, .maximumA = 500, .maximumB = 500, .variant = 2},
            std::chrono::milliseconds(700));
        const LdctlResult result =
            RunOn(module, {"watch", kLink, "--count", "4", "--format", format});
        ASSERT_EQ(result.status, 0) << result.err;
        if (std::string(format) == "csv") {
            EXPECT_EQ(Lines(result.out).at(0), "time,temperature_c,power_mw,setpoint_ma,variant");
        }
        const std::vector<ReadingRow> rows = ParseReadings(format, result.out);  // JSON: numbers
        ASSERT_EQ(rows.size(), 4u) << result.out;
        for (const ReadingRow& row : rows) {
            EXPECT_EQ(row.setpoint, "600");
            EXPECT_EQ(row.power, "500");  // variant B's scale, not variant A's 50.0
            EXPECT_EQ(row.variant, "B");
        }
        EXPECT_EQ(RunOn(module, {"list"}).status, 0);
        EXPECT_FALSE(module.ReceivedSetFrame());
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

// Two modules: "sim" and a link named with sim's list number, which sorts before it and so takes
// the number before. A path reaches its port through any links; a name or a number that is no
// one else's name reaches its port; the number that is also a name is refused.
TEST(LdctlPorts, PathsAndNamesReachTheirPortAndANumberThatIsAlsoANameIsRefused) {
    SimulatorPort sim(ExactModule());
    ASSERT_TRUE(sim.linked);
    const int simAlone = std::stoi(ListedNumber(sim));
    simulator::PtyModule other(ExactModule());
    other.Start();
    const std::string otherName = std::to_string(simAlone + 1);
    ASSERT_EQ(symlink(other.Path().c_str(), sim.ports.Join(otherName).c_str()), 0);
    ASSERT_EQ(ListedNumber(sim), otherName);
    TempDir byId;  // as udev's /dev/serial/by-id: a link to the port's link
    const std::string idPath = byId.Join("usb-Lab_Driver_0001-if00-port0");
    ASSERT_EQ(symlink(sim.ports.Join(kLink).c_str(), idPath.c_str()), 0);

    struct Case {
        std::string port;
        int status;
        bool reachesSim;  // else the other module, when the status is 0
    };
    const Case cases[] = {
        {kLink, 0, true},
        {sim.module.Path(), 0, true},  // /dev/pts/N
        {sim.ports.Join(kLink), 0, true},
        {idPath, 0, true},
        {std::to_string(simAlone), 0, false},  // the other's number, no one's name
        {otherName, ToInt(ExitStatus::kUsage), false},
        {byId.Join("nothing-here"), ToInt(ExitStatus::kPortNotFound), false},
        {"/dev/null", ToInt(ExitStatus::kPortNotFound), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        const std::size_t simBefore = sim.module.Received().size();
        const std::size_t otherBefore = other.Received().size();
        const LdctlResult result = sim.Run({"watch", c.port, "--count", "1"});
        EXPECT_EQ(result.status, c.status) << result.err;
        const bool simAsked = sim.module.Received().size() > simBefore;
        const bool otherAsked = other.Received().size() > otherBefore;
        EXPECT_EQ(simAsked, c.status == 0 && c.reachesSim);
        EXPECT_EQ(otherAsked, c.status == 0 && !c.reachesSim);
        if (c.status == ToInt(ExitStatus::kUsage)) {
            EXPECT_NE(result.err.find(otherName + ": ambiguous"), std::string::npos) << result.err;
        }
    }
}

TEST(LdctlSet, PlainOutputIsTheConfirmedSetpoint) {
    SimulatorPort sim(ExactModule());
    ASSERT_TRUE(sim.linked);
    const LdctlResult result = sim.Run({"set", ListedNumber(sim), "250"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "250 mA\n");
}

// A module that takes less than it is sent answers with what it took: that answer is printed, and
// it is no confirmation of the value sent.
TEST(LdctlSet, AConfirmationOfAnotherValueEndsInTheNoAnswerStatus) {
    ModuleConfig config = ExactModule();
    config.setLimit = 250;
    SimulatorPort sim(config);
    ASSERT_TRUE(sim.linked);
    const LdctlResult result = sim.Run({"set", kLink, "300", "--json"});
    EXPECT_EQ(result.status, ToInt(ExitStatus::kNoAnswer));
    EXPECT_EQ(nlohmann::json::parse(result.out)["setpoint_ma"], 250) << result.out;
    EXPECT_NE(result.err.find("the module confirmed 250 mA, not the 300 mA sent"),
              std::string::npos)
        << result.err;
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
        // --help shows [0.001 - 1000000000]: both ends are taken.
        {{"watch", "nosuch", "--duration", "1000000000"}, ExitStatus::kPortNotFound, "nosuch"},
        {{"watch", "nosuch", "--duration", "0.001"}, ExitStatus::kPortNotFound, "nosuch"},
        {{"watch", kLink, "--duration", "1000000001"}, ExitStatus::kUsage, "--duration"},
        {{"set", kLink}, ExitStatus::kUsage, "MA is required"},
        {{"set", kLink, ""}, ExitStatus::kUsage, "not a plain decimal"},
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

// A full disk loses what a command printed: the command says so and fails, whatever it did.
TEST(LdctlErrors, AnUnwritableStandardOutputIsSaidAndFails) {
    SimulatorPort sim(ExactModule());
    ASSERT_TRUE(sim.linked);
    const std::vector<std::vector<std::string>> commands = {{"set", kLink, "250"},
                                                            {"set", kLink, "260", "--json"},
                                                            {"list"},
                                                            {"list", "--json"},
                                                            {"decode", "ED FA 04 22 01 F4 02"},
                                                            {"watch", kLink, "--count", "1"}};
    for (const auto& args : commands) {
        SCOPED_TRACE(args[0] + (args.size() > 3 ? " " + args[3] : ""));
        LdctlProcess::Options options = sim.With(args);
        options.outputPath = "/dev/full";
        const LdctlResult result = RunLdctl(options);
        EXPECT_EQ(result.status, ToInt(ExitStatus::kInternal)) << result.err;
        EXPECT_NE(result.err.find("standard output cannot be written: No space left on device"),
                  std::string::npos)
            << result.err;
    }
}

// An endless feed is decoded as it comes, a reply printed before the input ends.
TEST(LdctlDecode, StandardInputIsDecodedAsItArrives) {
    TempDir none;
    LdctlProcess::Options options;
    options.args = {"decode"};
    options.portsDirectory = none.Path();
    options.keepInputOpen = true;
    LdctlProcess decode(options);
    ASSERT_TRUE(decode.WriteInput("ED FA 04 22 01 F4 02\nED FA"));
    ASSERT_TRUE(decode.WaitForLines(1, std::chrono::seconds(5)));
    // A pair split over two writes, and a reply split over many, still decode.
    ASSERT_TRUE(decode.WriteInput(" 0"));
    ASSERT_TRUE(decode.WriteInput("6 0B 09 C4 0A 28 F7\n"));
    ASSERT_TRUE(decode.WaitForLines(2, std::chrono::seconds(5)));
    decode.CloseInput();
    const LdctlResult result = decode.Finish();
    EXPECT_EQ(result.status, 0) << result.err;
    const std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 3u) << result.out;
    EXPECT_NE(lines[0].find("POWER  500"), std::string::npos);
    EXPECT_NE(lines[1].find("TEMP  A 2500"), std::string::npos);
    EXPECT_EQ(lines[2], "0 bytes dropped");
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
    // Character devices that are no serial line are not offered.
    for (const char* device : {"/dev/null", "/dev/zero", "/dev/tty", "/dev/ptmx"}) {
        ASSERT_EQ(symlink(device, sim.ports.Join(device + 5).c_str()), 0);
    }
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
    for (const char* device : {"null", "zero", "tty", "ptmx"}) {
        EXPECT_EQ(std::find(names.begin(), names.end(), device), names.end()) << result.out;
    }
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
