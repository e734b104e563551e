// SIGINT, SIGTERM and SIGHUP as a descriptor the event loop watches, so that a stop request ends
// ldctl through its own close of the port, never in the middle of a line or a frame.
#ifndef DRIVERPANEL_HOSTS_CONSOLE_LINUX_STOP_SIGNALS_H
#define DRIVERPANEL_HOSTS_CONSOLE_LINUX_STOP_SIGNALS_H

#include "serial/linux/unique_fd.h"

class StopSignals {
  public:
    // Blocks the stop signals for this thread and every thread started after it (the port's
    // worker included), and ignores SIGPIPE so a reader that goes away is a write error. Build
    // before any thread starts. Throws std::system_error when the system refuses.
    StopSignals();

    int Fd() const { return fd_.Get(); }
    // The signal that arrived, or 0 when none waits.
    int Take();

  private:
    UniqueFd fd_;
};

#endif
