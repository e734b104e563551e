// The Windows program's command line: `--record FILE` (or `--record=FILE`) records the readings
// from the start; `--help` (or `/?`) shows the usage. The names are UTF-16, as the system gives
// them, so any file name reaches the recording whole.
#ifndef DRIVERPANEL_HOSTS_WIN32_COMMAND_LINE_H
#define DRIVERPANEL_HOSTS_WIN32_COMMAND_LINE_H

#include <string>
#include <vector>

struct PanelOptions {
    std::wstring recordPath;  // empty: no recording from the start
    bool help = false;
};

struct ParsedCommandLine {
    PanelOptions options;
    std::wstring problem;  // empty when the command line was understood
};

// The arguments after the program's name.
ParsedCommandLine ParseCommandLine(const std::vector<std::wstring>& arguments);

// The program's own arguments, split as the system splits them.
std::vector<std::wstring> ProgramArguments();

extern const wchar_t* const kUsageText;
constexpr int kUsageStatus = 2;

#endif
