// ldctl: the laser-diode driver panel's behaviour from a terminal, for scripts and lab
// automation. The command line is parsed here; each command runs the panel's core.
#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>

#include "driverpanel_version.h"
#include "tools/ldctl/commands.h"
#include "tools/ldctl/exit_status.h"

namespace {

constexpr const char* kPortHelp = "a port as listed: name, number or device path";

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

// A command's help ends with what it does in detail, then the exit statuses.
std::string Footer(const std::string& detail) {
    return detail + "\n" + kExitStatusHelp;
}

}  // namespace

int main(int argc, char** argv) {
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
    listCommand->footer(
        Footer("Prints each port's number, name and device path, in the panel's order: hardware\n"
               "ports first, then virtual ports. Nothing is opened, so no device is reset.\n"));

    WatchOptions watch;
    std::string format = "text";
    CLI::App* watchCommand = app.add_subcommand("watch", "print the module's readings");
    watchCommand->add_option("PORT", watch.port, kPortHelp)->required();
    watchCommand->add_option("--count", watch.count, "stop after N readings")
        ->type_name("N")
        ->check(kPlainDecimal & CLI::Range(1LL, 1'000'000'000LL));
    watchCommand->add_option("--duration", watch.durationS, "stop SECONDS after opening the port")
        ->type_name("SECONDS")
        ->check(kPlainDecimal & CLI::Range(0.001, 1e9));
    watchCommand->add_option("--format", format, "text (default), csv or json")
        ->type_name("FORMAT")
        ->check(CLI::IsMember({"text", "csv", "json"}));
    watchCommand->footer(
        Footer("Opens PORT as the panel does, asks for the module's configuration every 200 ms\n"
               "until it comes, then polls temperature and power every 500 ms. Prints one line\n"
               "per reading: time (ISO 8601, local), temperature in degC, power in mW, the\n"
               "setpoint in mA, the variant (A or B). csv has one header line; json is one object\n"
               "a line. Each line is flushed. Ctrl-C or SIGTERM ends it, with status 0 when a\n"
               "reading came; so does a module that stops answering for 10 s, with status 6.\n"));

    SetOptions set;
    CLI::App* setCommand = app.add_subcommand("set", "set the drive current");
    setCommand->add_option("PORT", set.port, kPortHelp)->required();
    setCommand->add_option("MA", set.milliamps, "the drive current in mA")->required();
    setCommand->add_flag("--json", set.json, "print one JSON object");
    setCommand->footer(
        Footer("Opens PORT, waits for the module's configuration and applies MA as the panel's\n"
               "SET does: read as the current field reads it (12.7 sets 12), held to 0 ... the\n"
               "module's maximum (said on standard error), sent as the active setpoint's set\n"
               "frame. Prints the setpoint the module confirms.\n"));

    DecodeOptions decode;
    CLI::App* decodeCommand = app.add_subcommand("decode", "decode the module's replies");
    decodeCommand->add_option("HEX", decode.hex, "bytes as hex digits, spaces optional");
    decodeCommand->footer(
        Footer("Feeds the bytes (the arguments, or hex text on standard input) through the\n"
               "panel's reply assembler and prints each reply it accepts with its fields and\n"
               "what the panel shows for it; a closing line counts the bytes it dropped. A\n"
               "configuration reply sets the variant for the replies after it. Opens no port.\n"));

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
