// driverpanel-sim: plays the laser-diode driver module on a pty, a tty or standard I/O until
// SIGINT or SIGTERM, or until its own scheduled hang-up.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <variant>

#include "driverpanel_version.h"
#include "serial/linux/virtual_port_dir.h"
#include "tools/simulator/log_file.h"
#include "tools/simulator/module_port.h"
#include "tools/simulator/module_simulator.h"
#include "tools/simulator/port_link.h"
#include "tools/simulator/serve_module.h"
#include "tools/simulator/sim_options.h"

namespace {

using namespace simulator;

// SIGINT and SIGTERM become a readable descriptor that ends the serving loop, so the program
// leaves through its destructors and the link is removed.
int BlockStopSignals() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    if (sigprocmask(SIG_BLOCK, &stopSignals, nullptr) != 0) {
        return -1;
    }
    return signalfd(-1, &stopSignals, SFD_CLOEXEC);
}

int Run(const SimOptions& options) {
    const int stopFd = BlockStopSignals();
    if (stopFd < 0) {
        std::cerr << "driverpanel-sim: signalfd: " << std::strerror(errno) << "\n";
        return 1;
    }
    // A reader of the line that goes away must end the loop through write's EPIPE, not kill it.
    signal(SIGPIPE, SIG_IGN);
    ModulePort port = options.stdio                ? ModulePort::OpenStdio()
                      : options.devicePath.empty() ? ModulePort::OpenPty()
                                                   : ModulePort::OpenDevice(options.devicePath);
    std::optional<PortLink> link;
    if (!options.linkName.empty()) {
        link.emplace(VirtualPortDirectory(), options.linkName, port.PeerPath());
    }
    std::unique_ptr<LogFile> log;
    if (!options.logPath.empty()) {
        log = std::make_unique<LogFile>(options.logPath, options.logSent);
    }
    ModuleSimulator module(options.module, SimClock::now(), [&log](const LineEvent& event) {
        if (log) {
            log->Write(event);
        }
    });

    if (!options.stdio) {
        std::cout << port.PeerPath() << std::endl;  // first line, flushed: scripts wait for it
    }
    if (link) {
        std::cerr << "driverpanel-sim: linked as " << link->Path().string() << "\n";
    }

    const ServeResult result = ServeModule(port, module, stopFd);
    switch (result.end) {
        case ServeResult::End::Stopped:
        case ServeResult::End::HungUp:
            return 0;
        case ServeResult::End::PeerGone:
            std::cerr << "driverpanel-sim: the other end of the line went away\n";
            return 0;
        case ServeResult::End::Failed:
            break;
    }
    std::cerr << "driverpanel-sim: " << result.error << "\n";
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const auto parsed = ParseOptions(argc, argv);
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        std::cerr << "driverpanel-sim: " << *error << "\n"
                  << "Try driverpanel-sim --help\n";
        return 2;
    }
    const SimOptions& options = std::get<SimOptions>(parsed);
    if (options.help) {
        std::cout << UsageText("driverpanel-sim");
        return 0;
    }
    if (options.version) {
        std::cout << "driverpanel-sim " << kDriverPanelVersion << "\n";
        return 0;
    }
    try {
        return Run(options);
    } catch (const std::exception& failure) {
        std::cerr << "driverpanel-sim: " << failure.what() << "\n";
        return 1;
    }
}
