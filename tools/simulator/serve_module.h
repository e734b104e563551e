// The module's service loop: reads requests from its end of the line, writes the replies when
// they fall due, and sleeps in poll() otherwise, until told to stop or the line goes away.
#ifndef DRIVERPANEL_TOOLS_SIMULATOR_SERVE_MODULE_H
#define DRIVERPANEL_TOOLS_SIMULATOR_SERVE_MODULE_H

#include <string>

#include "tools/simulator/module_port.h"
#include "tools/simulator/module_simulator.h"

namespace simulator {

struct ServeResult {
    enum class End {
        Stopped,   // the stop descriptor became readable
        HungUp,    // the simulator's own hang-up: the port has been closed
        PeerGone,  // the other end of the line went away (a device, or socat, closed)
        Failed,    // a read, write or poll failed; `error` says which and why
    };
    End end;
    std::string error;
};

// Runs on the calling thread until one of the ends above. `stopFd` is any descriptor that turns
// readable when the loop should return (an eventfd, a signalfd, a pipe); the loop does not read
// it. Takes the time from the steady clock.
ServeResult ServeModule(ModulePort& port, ModuleSimulator& simulator, int stopFd);

}  // namespace simulator

#endif
