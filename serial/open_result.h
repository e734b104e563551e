// Why a port did or did not open, for hosts that show no box (the console, a control-system
// server): the port object still shows the "Application Error" box where the panel always did.
#ifndef DRIVERPANEL_SERIAL_OPEN_RESULT_H
#define DRIVERPANEL_SERIAL_OPEN_RESULT_H

#include <string>

enum class OpenStatus {
    Opened,
    Absent,  // no such port (never there, or gone since it was listed)
    Busy,    // held by another program
    Denied,  // the user may not use it (on Linux: not in the dialout group)
    Failed,  // opened, but a configuration step failed; see step and systemText
};

struct OpenResult {
    OpenStatus status = OpenStatus::Failed;
    std::string step;        // the failed step, in the port's vocabulary ("SetCommState()")
    std::string systemText;  // the system's message for the failure, empty when none

    bool Opened() const { return status == OpenStatus::Opened; }
    static OpenResult Ok() { return OpenResult{OpenStatus::Opened, {}, {}}; }
};

#endif
