// ldctl's commands. Each returns the exit status, or throws CommandFailure once the port
// it opened is released again.
#ifndef DRIVERPANEL_HOSTS_CONSOLE_COMMANDS_H
#define DRIVERPANEL_HOSTS_CONSOLE_COMMANDS_H

#include <optional>
#include <string>
#include <vector>

#include "hosts/console/reading_output.h"

struct ListOptions {
    bool json = false;
};

struct WatchOptions {
    std::string port;
    std::optional<long long> count;   // readings, then stop
    std::optional<double> durationS;  // seconds after opening, then stop
    ReadingFormat format = ReadingFormat::kText;
};

struct SetOptions {
    std::string port;
    std::string milliamps;  // as typed: read by the current field's own rules
    bool json = false;
};

struct SweepOptions {
    std::string port;
    std::string fromMa;  // as typed: plain decimals, read by the current field's own rules
    std::string toMa;
    std::string stepMa;
    std::string dwellMs;
    ReadingFormat format = ReadingFormat::kText;
    bool back = false;  // up to --to, then down to --from again
};

struct DecodeOptions {
    std::vector<std::string> hex;  // empty: hex text on standard input
};

int RunList(const ListOptions& options);
int RunWatch(const WatchOptions& options);
int RunSet(const SetOptions& options);
int RunSweep(const SweepOptions& options);
int RunDecode(const DecodeOptions& options);

#endif
