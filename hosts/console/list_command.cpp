// `ldctl list`: the port list as the panel fills it, with each port's number and device path.
#include <iomanip>
#include <iostream>
#include <nlohmann/json.hpp>

#include "hosts/console/commands.h"
#include "hosts/console/console_host.h"
#include "hosts/console/exit_status.h"

int RunList(const ListOptions& options) {
    StopSignals signals;
    ConsoleHost host(signals);
    nlohmann::ordered_json ports = nlohmann::ordered_json::array();
    for (const auto& [number, name] : host.ListPorts()) {
        const std::string path = host.DevicePath(number);
        if (options.json) {
            ports.push_back({{"number", number}, {"name", name}, {"path", path}});
        } else {
            std::cout << std::setw(2) << number << "  " << std::left << std::setw(12) << name
                      << std::right << "  " << path << "\n";
        }
    }
    if (options.json) {
        std::cout << ports.dump() << "\n";
    }
    std::cout << std::flush;
    if (!std::cout) {
        throw CommandFailure(ExitStatus::kInternal, StandardOutputError());
    }
    return ToInt(ExitStatus::kOk);
}
