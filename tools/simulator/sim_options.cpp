// One table of options feeds CLI11, which parses the command line, and the --help text, which
// keeps the program's own layout: each option on its line, its text wrapped beneath.
#include "tools/simulator/sim_options.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cstdio>
#include <functional>
#include <limits>
#include <string_view>
#include <vector>

namespace simulator {

namespace {

// Whole text as a decimal number within [low, high]; anything else (trailing characters, out of
// range, NaN) is refused. CLI11's own conversion is not used for values: it reads "010" as octal
// and wraps "-1" into the largest unsigned number.
template <typename Number>
bool ParseNumber(std::string_view text, Number low, Number high, Number& out) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return false;
    }
    if (!(value >= low && value <= high)) {
        return false;
    }
    out = value;
    return true;
}

bool ParseMilliseconds(std::string_view text, std::chrono::milliseconds& out) {
    unsigned value = 0;
    if (!ParseNumber(text, 0u, 3'600'000u, value)) {
        return false;
    }
    out = std::chrono::milliseconds(value);
    return true;
}

// "MS" or "MIN-MAX", MIN not above MAX.
bool ParseDelayRange(std::string_view text, std::chrono::milliseconds& low,
                     std::chrono::milliseconds& high) {
    const std::size_t dash = text.find('-');
    std::chrono::milliseconds first{};
    std::chrono::milliseconds second{};
    if (!ParseMilliseconds(text.substr(0, dash), first)) {
        return false;
    }
    second = first;
    if (dash != std::string_view::npos && !ParseMilliseconds(text.substr(dash + 1), second)) {
        return false;
    }
    if (second < first) {
        return false;
    }
    low = first;
    high = second;
    return true;
}

bool ParseShare(std::string_view text, double& out) {
    return ParseNumber(text, 0.0, 1.0, out);
}

bool ParseMilliamps(std::string_view text, std::uint16_t& out) {
    return ParseNumber<std::uint16_t>(text, 0, 65535, out);
}

bool ParseReal(std::string_view text, double low, double high, double& out) {
    return ParseNumber(text, low, high, out);
}

constexpr std::size_t kHelpWidth = 79;

// Words of `text` on lines that start with `indent` and stay within `width` columns.
std::string Wrapped(std::string_view text, const std::string& indent, std::size_t width) {
    std::string out;
    std::string line = indent;
    while (!text.empty()) {
        const std::size_t space = text.find(' ');
        const std::string_view word = text.substr(0, space);
        text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
        if (line.size() > indent.size() && line.size() + 1 + word.size() > width) {
            out += line + "\n";
            line = indent;
        }
        if (line.size() > indent.size()) {
            line += ' ';
        }
        line += word;
    }
    return out + line + "\n";
}

struct Option {
    const char* name;
    const char* argument;  // nullptr for a flag
    const char* help;
    std::function<bool(SimOptions&, std::string_view)> apply;
    // The value a module has when the option is not given, for the help text.
    std::function<std::string(const ModuleConfig&)> shownDefault = {};
};

std::string Shown(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

const std::vector<Option>& Options() {
    static const std::vector<Option> options = {
        {"--device", "PATH", "serve this tty (e.g. one end of a socat pair) instead of a new pty",
         [](SimOptions& o, std::string_view v) {
             o.devicePath = v;
             return !v.empty();
         }},
        {"--stdio", nullptr,
         "serve standard input and output, for running under socat (EXEC:...); a hang-up then"
         " ends socat too, which the panel sees",
         [](SimOptions& o, std::string_view) { return o.stdio = true; }},
        {"--link", "NAME",
         "place a link NAME to the line in the panel's virtual-port directory ($DRIVERPANEL_PORTS,"
         " else $XDG_RUNTIME_DIR/driverpanel-ports, else /tmp/driverpanel-ports-<uid>); removed"
         " on exit",
         [](SimOptions& o, std::string_view v) {
             o.linkName = v;
             return true;
         }},
        {"--log", "FILE", "write one timestamped line per frame received, flushed at once",
         [](SimOptions& o, std::string_view v) {
             o.logPath = v;
             return !v.empty();
         }},
        {"--log-sent", nullptr, "also log the frames sent, with the faults put on them",
         [](SimOptions& o, std::string_view) { return o.logSent = true; }},
        {"--variant", "N", "variant byte 0-255 (0 or 1 drives setpoint A, 2 or more B)",
         [](SimOptions& o, std::string_view v) {
             return ParseNumber<std::uint8_t>(v, 0, 255, o.module.variant);
         },
         [](const ModuleConfig& c) { return Shown(c.variant); }},
        {"--setpoint-a", "MA", "initial setpoint A in mA",
         [](SimOptions& o, std::string_view v) { return ParseMilliamps(v, o.module.setpointA); },
         [](const ModuleConfig& c) { return Shown(c.setpointA); }},
        {"--setpoint-b", "MA", "initial setpoint B in mA",
         [](SimOptions& o, std::string_view v) { return ParseMilliamps(v, o.module.setpointB); },
         [](const ModuleConfig& c) { return Shown(c.setpointB); }},
        {"--max-a", "MA", "maximum of setpoint A in mA",
         [](SimOptions& o, std::string_view v) { return ParseMilliamps(v, o.module.maximumA); },
         [](const ModuleConfig& c) { return Shown(c.maximumA); }},
        {"--max-b", "MA", "maximum of setpoint B in mA",
         [](SimOptions& o, std::string_view v) { return ParseMilliamps(v, o.module.maximumB); },
         [](const ModuleConfig& c) { return Shown(c.maximumB); }},
        {"--set-limit", "MA",
         "hold set values to at most MA and confirm that, whatever maximum is reported",
         [](SimOptions& o, std::string_view v) { return ParseMilliamps(v, o.module.setLimit); }},
        {"--silent-set", nullptr, "obey set commands without answering them",
         [](SimOptions& o, std::string_view) { return o.module.silentSet = true; }},
        {"--config-length", "L",
         "length byte of the configuration reply, 12-16: below 16 the reply ends after the"
         " maxima, without the variant byte",
         [](SimOptions& o, std::string_view v) {
             return ParseNumber<std::uint8_t>(v, 12, 16, o.module.configLength);
         },
         [](const ModuleConfig& c) { return Shown(c.configLength); }},
        {"--ambient", "C", "ambient temperature in degrees C",
         [](SimOptions& o, std::string_view v) {
             return ParseReal(v, -100.0, 300.0, o.module.model.ambientC);
         },
         [](const ModuleConfig& c) { return Shown(c.model.ambientC); }},
        {"--heating", "C_PER_MA", "steady temperature rise per mA of current",
         [](SimOptions& o, std::string_view v) {
             return ParseReal(v, 0.0, 10.0, o.module.model.heatingCPerMa);
         },
         [](const ModuleConfig& c) { return Shown(c.model.heatingCPerMa); }},
        {"--time-constant", "S", "thermal time constant in seconds",
         [](SimOptions& o, std::string_view v) {
             return ParseReal(v, 0.0, 3600.0, o.module.model.timeConstantS);
         },
         [](const ModuleConfig& c) { return Shown(c.model.timeConstantS); }},
        {"--threshold", "MA", "lasing threshold current in mA",
         [](SimOptions& o, std::string_view v) {
             return ParseReal(v, 0.0, 65535.0, o.module.model.thresholdMa);
         },
         [](const ModuleConfig& c) { return Shown(c.model.thresholdMa); }},
        {"--slope", "MW_PER_MA", "slope efficiency in mW per mA above threshold",
         [](SimOptions& o, std::string_view v) {
             return ParseReal(v, 0.0, 1000.0, o.module.model.slopeMwPerMa);
         },
         [](const ModuleConfig& c) { return Shown(c.model.slopeMwPerMa); }},
        {"--seed", "N", "seed of the fault generator",
         [](SimOptions& o, std::string_view v) {
             return ParseNumber<std::uint64_t>(v, 0, std::numeric_limits<std::uint64_t>::max(),
                                               o.module.seed);
         },
         [](const ModuleConfig& c) { return Shown(c.seed); }},
        {"--bad-checksum", "SHARE", "share (0-1) of replies sent with a wrong checksum",
         [](SimOptions& o, std::string_view v) {
             return ParseShare(v, o.module.faults.badChecksumShare);
         }},
        {"--drop", "SHARE", "share (0-1) of replies not sent at all",
         [](SimOptions& o, std::string_view v) {
             return ParseShare(v, o.module.faults.dropShare);
         }},
        {"--delay", "MS", "send every reply this many ms after its request",
         [](SimOptions& o, std::string_view v) {
             return ParseMilliseconds(v, o.module.faults.replyDelay);
         }},
        {"--confirm-delay", "MS[-MS]",
         "answer set commands this many ms late (a range: drawn for each set), while replies to"
         " later queries leave at once, ahead of the confirmation",
         [](SimOptions& o, std::string_view v) {
             return ParseDelayRange(v, o.module.faults.confirmDelayMin,
                                    o.module.faults.confirmDelayMax);
         }},
        {"--ignore-set", "N",
         "lose the first N set commands: neither obeyed nor answered, logged as lost",
         [](SimOptions& o, std::string_view v) {
             return ParseNumber(v, 0u, std::numeric_limits<unsigned>::max(),
                                o.module.faults.ignoredSetFrames);
         }},
        {"--byte-gap", "MS", "send replies one byte at a time, this many ms apart",
         [](SimOptions& o, std::string_view v) {
             return ParseMilliseconds(v, o.module.faults.byteGap);
         }},
        {"--noise", "SHARE", "share (0-1) of replies preceded by a burst of random bytes",
         [](SimOptions& o, std::string_view v) {
             return ParseShare(v, o.module.faults.noiseShare);
         }},
        {"--noise-bytes", "N", "longest noise burst, 1-64 bytes",
         [](SimOptions& o, std::string_view v) {
             return ParseNumber(v, 1u, 64u, o.module.faults.noiseMaxBytes);
         },
         [](const ModuleConfig& c) { return Shown(c.faults.noiseMaxBytes); }},
        {"--hangup-after", "N",
         "hang up after receiving N frames, good or bad, and sending their replies: the line is"
         " closed and the program ends",
         [](SimOptions& o, std::string_view v) {
             return ParseNumber(v, 1u, std::numeric_limits<unsigned>::max(),
                                o.module.faults.hangUpAfterFrames);
         }},
        {"--hangup-mid-reply", nullptr,
         "with --hangup-after: send only the first half of the last reply before hanging up",
         [](SimOptions& o, std::string_view) { return o.module.faults.hangUpMidReply = true; }},
        {"--help", nullptr, "show this text and exit",
         [](SimOptions& o, std::string_view) { return o.help = true; }},
        {"--version", nullptr, "show the program's version and exit",
         [](SimOptions& o, std::string_view) { return o.version = true; }},
    };
    return options;
}

// Every option of the table on one CLI11 application that fills `into`. CLI11's own help flag is
// left out: --help is an option of the table, so it keeps its place in the help text.
void AddOptions(CLI::App& app, SimOptions& into) {
    app.set_help_flag();
    for (const Option& option : Options()) {
        if (option.argument == nullptr) {
            app.add_flag_callback(
                option.name, [&into, &option] { option.apply(into, {}); }, option.help);
            continue;
        }
        app.add_option_function<std::string>(
               option.name,
               [&into, &option](const std::string& value) {
                   if (!option.apply(into, value)) {
                       throw CLI::ValidationError(std::string("bad value for ") + option.name +
                                                  ": \"" + value + "\"");
                   }
               },
               option.help)
            ->type_name(option.argument);
    }
}

}  // namespace

std::variant<SimOptions, std::string> ParseOptions(int argc, const char* const* argv) {
    SimOptions parsed;
    CLI::App app;
    AddOptions(app, parsed);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return std::string(error.what());
    }
    if (parsed.stdio && (!parsed.devicePath.empty() || !parsed.linkName.empty())) {
        return "--stdio serves standard input and output: no --device or --link with it";
    }
    if (parsed.module.faults.hangUpMidReply && parsed.module.faults.hangUpAfterFrames == 0) {
        return "--hangup-mid-reply needs --hangup-after";
    }
    // A late confirmation overtakes whole replies; between the bytes of a split one it would
    // corrupt both.
    if (parsed.module.faults.confirmDelayMax.count() > 0 &&
        parsed.module.faults.byteGap.count() > 0) {
        return "--confirm-delay cannot go with --byte-gap";
    }
    return parsed;
}

std::string UsageText(const std::string& program) {
    std::string text = "Usage: " + program +
                       " [options]\n"
                       "Plays the laser-diode driver module on a new pseudo-terminal, a given tty\n"
                       "or standard input and output, until SIGINT or SIGTERM. The first line of\n"
                       "output is the path the panel opens (none with --stdio). Log lines read:\n"
                       "seconds since start, RX or TX, the bytes, and what became of them (valid,\n"
                       "unknown, bad-checksum, bad-length, noise, lost; ok, dropped, delayed,\n"
                       "late, split, cut), or HANGUP.\n\nOptions:\n";
    for (const Option& option : Options()) {
        std::string head = std::string("  ") + option.name;
        if (option.argument != nullptr) {
            head += std::string(" ") + option.argument;
        }
        std::string help = option.help;
        if (option.shownDefault) {
            help += "; default " + option.shownDefault(ModuleConfig{});
        }
        text += head + "\n" + Wrapped(help, "      ", kHelpWidth);
    }
    return text;
}

}  // namespace simulator
