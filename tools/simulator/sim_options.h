// The simulator program's command line: what it serves, what it logs, and the module it plays.
#ifndef DRIVERPANEL_TOOLS_SIMULATOR_SIM_OPTIONS_H
#define DRIVERPANEL_TOOLS_SIMULATOR_SIM_OPTIONS_H

#include <string>
#include <variant>

#include "tools/simulator/module_config.h"

namespace simulator {

struct SimOptions {
    ModuleConfig module;
    std::string devicePath;  // empty: a new pty
    bool stdio = false;      // the line is standard input and output
    std::string linkName;    // empty: no link in the virtual-port directory
    std::string logPath;     // empty: no log file
    bool logSent = false;
    bool help = false;
    bool version = false;
};

// The options, or the text of what is wrong with them.
std::variant<SimOptions, std::string> ParseOptions(int argc, const char* const* argv);

std::string UsageText(const std::string& program);

}  // namespace simulator

#endif
