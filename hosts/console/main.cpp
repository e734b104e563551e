// ldctl: the laser-diode driver panel's behaviour from a terminal, for scripts and lab
// automation. The command line is parsed here; each command runs the panel's core.
#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>
#ifdef _WIN32
#include <windows.h>
#endif

#include "driverpanel_version.h"
#include "hosts/console/commands.h"
#include "hosts/console/exit_status.h"

namespace {

// What differs between the platforms: how ports are named, and the stop requests.
#ifdef _WIN32
constexpr const char* kPortHelp = "a port as listed: COM3, \\\\.\\COM3 or 3";
constexpr const char* kListDetail =
    "Prints each present port's number, name and device path, COM1 to COM16, as the panel\n"
    "lists them. Nothing is opened for more than a moment without rights, so no device is\n"
    "reset. A port's number is its COM number: 3, COM3 and \\\\.\\COM3 name the same port.\n";
constexpr const char* kStopRequests = "Ctrl-C or Ctrl-Break";
constexpr const char* kSweepStops = "Ctrl-C or Ctrl-Break (130, 149)";
#else
constexpr const char* kPortHelp =
    "a port as listed: its name, a path to its device, or its number (which may change)";
constexpr const char* kListDetail =
    "Prints each port's number, name and device path, in the panel's order: hardware\n"
    "ports first, then virtual ports (links to serial ttys only). Nothing is opened,\n"
    "so no device is reset. Numbers are handed out as ports appear and can differ in\n"
    "the next run: scripts name a port by its name or a /dev/serial/by-id path. A\n"
    "number that is also some port's name is refused as ambiguous (status 2).\n";
constexpr const char* kStopRequests = "Ctrl-C or SIGTERM";
constexpr const char* kSweepStops = "Ctrl-C, SIGTERM or SIGHUP (128+N)";
#endif

// Counts and durations are plain decimals. CLI11 alone would read "010" as octal 8, so leading
// zeros are dropped before it converts, and anything but digits and a point is refused.
const CLI::Validator kPlainDecimal(
    [](std::string& text) -> std::string {
        if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) {
            return "not a plain decimal number: " + text;
        }
        const auto significant = text.find_first_not_of('0');
        if (significant == std::string::npos) {
            text = "0";
        } else if (significant > 0 && text[significant] != '.') {
            text.erase(0, significant);
        }
        return {};
    },
    "");

#ifdef _WIN32
// Readings print "°C" in UTF-8, as they go to a file or a pipe; a console shows that right only
// in its UTF-8 code page. The code page is the console's, shared with the prompt that started
// ldctl, so it is given back on the way out.
class Utf8Console {
  public:
    Utf8Console() : before_(GetConsoleOutputCP()) {
        if (before_ != 0) {
            SetConsoleOutputCP(CP_UTF8);
        }
    }
    ~Utf8Console() {
        if (before_ != 0) {
            SetConsoleOutputCP(before_);
        }
    }
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

  private:
    UINT before_;  // 0: no console
};
#endif

// A command's help ends with what it does in detail, then the exit statuses.
std::string Footer(const std::string& detail) {
    return detail + "\n" + kExitStatusHelp;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    const Utf8Console utf8Console;
#endif
    CLI::App app(
        "The laser-diode driver panel from a terminal. It speaks to the module exactly\n"
        "as the panel does and releases the port whatever ends it.",
        "ldctl");
    app.set_version_flag("--version", std::string("ldctl ") + kDriverPanelVersion,
                         "print the version and exit");
    app.set_help_flag("-h,--help", "print this help and exit");
    app.require_subcommand(1);
    app.footer(Footer("Run ldctl COMMAND --help for a command's options.\n"));

    ListOptions list;
    CLI::App* listCommand = app.add_subcommand("list", "list the ports the panel would offer");
    listCommand->add_flag("--json", list.json, "one JSON array of {number, name, path}");
    listCommand->footer(Footer(kListDetail));

    WatchOptions watch;
    std::string format = "text";
    CLI::App* watchCommand = app.add_subcommand("watch", "print the module's readings");
    watchCommand->add_option("PORT", watch.port, kPortHelp)->required();
    watchCommand->add_option("--count", watch.count, "stop after N readings")
        ->type_name("N")
        ->check(kPlainDecimal & CLI::Range(1LL, 1'000'000'000LL));
    watchCommand->add_option("--duration", watch.durationS, "stop SECONDS after opening the port")
        ->type_name("SECONDS")
        ->check(kPlainDecimal &
                CLI::Range(0.001, 1e9).description("DECIMAL in [0.001 - 1000000000]"));
    watchCommand->add_option("--format", format, "text (default), csv or json")
        ->type_name("FORMAT")
        ->check(CLI::IsMember({"text", "csv", "json"}));
    watchCommand->footer(
        Footer("Opens PORT as the panel does, asks for the module's configuration every 200 ms\n"
               "until it comes, then polls temperature and power every 500 ms; it never sends a\n"
               "set frame, even for a setpoint above the maximum. From the configuration on,\n"
               "prints one line per reading: time (ISO 8601, local), temperature in degC, power\n"
               "in mW, the setpoint in mA, the variant (A or B). csv starts with its header line;\n"
               "json is one object a line, its values numbers. Each line is flushed. " +
               std::string(kStopRequests) +
               "\nends it, with status 0 when a reading came; so does a module that stops\n"
               "answering for 10 s, with status 6.\n"));

    SetOptions set;
    CLI::App* setCommand = app.add_subcommand("set", "set the drive current");
    setCommand->add_option("PORT", set.port, kPortHelp)->required();
    setCommand->add_option("MA", set.milliamps, "the drive current in mA, a plain decimal")
        ->required();
    setCommand->add_flag("--json", set.json, "print one JSON object");
    setCommand->footer(
        Footer("MA is a plain decimal: digits with an optional sign and point (250, +250,\n"
               "12.7); anything else (abc, nan, 0x1F4, 1e3, 12abc, blanks) is refused with\n"
               "status 2 and nothing is sent. Opens PORT, waits for the module's configuration\n"
               "and applies MA as the panel's SET does: truncated as the current field truncates\n"
               "it (12.7 sets 12), held to 0 ... the module's maximum (said on standard error),\n"
               "sent as the active setpoint's set frame. Prints the setpoint the module confirms.\n"
               "Only set sends a set frame; list and watch never change the current.\n"));

    SweepOptions sweep;
    std::string sweepFormat = "text";
    CLI::App* sweepCommand =
        app.add_subcommand("sweep", "step the current across a range and fit the L-I curve");
    sweepCommand->add_option("PORT", sweep.port, kPortHelp)->required();
    sweepCommand->add_option("--from", sweep.fromMa, "first setpoint in mA")
        ->type_name("MA")
        ->required();
    sweepCommand->add_option("--to", sweep.toMa, "last setpoint in mA, never passed")
        ->type_name("MA")
        ->required();
    sweepCommand->add_option("--step", sweep.stepMa, "mA between setpoints")
        ->type_name("MA")
        ->required();
    sweepCommand->add_option("--dwell", sweep.dwellMs, "wait after each confirmed step")
        ->type_name("MS")
        ->required();
    sweepCommand->add_option("--format", sweepFormat, "text (default), csv or json")
        ->type_name("FORMAT")
        ->check(CLI::IsMember({"text", "csv", "json"}));
    sweepCommand->add_flag("--back", sweep.back, "sweep up, then down again (hysteresis)");
    sweepCommand->footer(Footer(
        "Values are plain decimals of 0 or more; anything else is refused with status 2 and\n"
        "nothing is sent. Opens PORT, waits for the module's configuration and refuses a --to\n"
        "beyond the module's maximum (status 8, nothing sent). Each setpoint, --from, then\n"
        "--step apart up to --to (never past it), is typed and applied as the panel's SET\n"
        "applies it (truncated to whole mA); once the module confirmed it and --dwell\n"
        "passed, the next complete temperature and power readings print one line: the\n"
        "setpoint in mA, temperature in degC, power in mW, time (ISO 8601, local). csv starts\n"
        "with its header; json is one object a line. The end is the threshold current and\n"
        "the slope efficiency from a two-line fit, with its rms residual, or why there is\n"
        "none (csv: a # line; json: an object with threshold_ma). A step not confirmed in\n"
        "3 s (status 6), no reading for 10 s (6), " +
        std::string(kSweepStops) +
        " stop\nthe sweep. However it ends, the current the module held before is set again while\n"
        "the port is there; status 9 when the module does not confirm it, 7 when the port\n"
        "is lost.\n"));

    DecodeOptions decode;
    CLI::App* decodeCommand = app.add_subcommand("decode", "decode the module's replies");
    decodeCommand->add_option("HEX", decode.hex, "bytes as hex digits, spaces optional");
    decodeCommand->footer(
        Footer("Feeds the bytes (the arguments, or hex text on standard input, decoded as it\n"
               "arrives) through the panel's reply assembler and prints each reply it accepts\n"
               "with its fields and what the panel shows for it; a closing line counts the bytes\n"
               "it dropped. A configuration reply sets the variant for the replies after it.\n"
               "Opens no port.\n"));

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& done) {  // --help, --version
        return app.exit(done);
    } catch (const CLI::ParseError& error) {
        std::cerr << "ldctl: " << error.what() << " (ldctl --help shows the usage)\n";
        return ToInt(ExitStatus::kUsage);
    }
    watch.format = format == "csv"    ? ReadingFormat::kCsv
                   : format == "json" ? ReadingFormat::kJson
                                      : ReadingFormat::kText;
    sweep.format = sweepFormat == "csv"    ? ReadingFormat::kCsv
                   : sweepFormat == "json" ? ReadingFormat::kJson
                                           : ReadingFormat::kText;
    try {
        if (*listCommand) {
            return RunList(list);
        }
        if (*watchCommand) {
            return RunWatch(watch);
        }
        if (*setCommand) {
            return RunSet(set);
        }
        if (*sweepCommand) {
            return RunSweep(sweep);
        }
        return RunDecode(decode);
    } catch (const CommandFailure& failure) {
        if (*failure.what() != '\0') {
            std::cerr << "ldctl: " << failure.what() << std::endl;
        }
        return failure.Status();
    } catch (const std::exception& failure) {
        std::cerr << "ldctl: " << failure.what() << std::endl;
        return ToInt(ExitStatus::kInternal);
    }
}
