// Ctrl-C, Ctrl-Break and the console window's close as an event the event loop waits on, so that
// a stop request ends ldctl through its own close of the port (and, for a sweep, the current
// returned), never in the middle of a frame.
//
// Each is named by the signal a Linux ldctl would get for it, so scripts see the same statuses:
// Ctrl-C SIGINT (2, status 130), Ctrl-Break SIGBREAK (21, status 149), a closed console window
// SIGHUP's number (1, status 129), as on Linux when the terminal goes away.
#ifndef DRIVERPANEL_HOSTS_CONSOLE_WIN32_STOP_SIGNALS_H
#define DRIVERPANEL_HOSTS_CONSOLE_WIN32_STOP_SIGNALS_H

#include <windows.h>

class StopSignals {
  public:
    // Takes the console's control events for this process, from now until destroyed. One at a
    // time. Throws std::system_error when the system refuses.
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Signalled while a stop request waits to be taken.
    HANDLE Event() const;
    // The signal that arrived, or 0 when none waits.
    int Take();

    // While set, a stop request ends the process at once with its status: for a wait that
    // cannot be woken (a read of standard input) while ldctl holds no port.
    void EndAtOnce(bool endAtOnce);
};

#endif
