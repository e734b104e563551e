// ldctl's exit statuses, one per class of outcome, and the table --help and the README show.
#ifndef DRIVERPANEL_HOSTS_CONSOLE_EXIT_STATUS_H
#define DRIVERPANEL_HOSTS_CONSOLE_EXIT_STATUS_H

#include <stdexcept>
#include <string>

enum class ExitStatus : int {
    kOk = 0,
    kInternal = 1,          // the system refused ldctl itself something (a descriptor, output)
    kUsage = 2,             // the command line is wrong
    kPortNotFound = 3,      // no such port, or it went away before it could be opened
    kPortBusy = 4,          // another program holds the port
    kPermissionDenied = 5,  // this user may not open the port
    kNoAnswer = 6,          // no configuration, confirmation or reading from the module in time
    kPortFailed = 7,        // the port failed or hung up while in use
    kBeyondMaximum = 8,     // sweep: the range reaches beyond the module's maximum; nothing sent
    kNotReturned = 9,       // sweep: the module did not confirm the current returned to it
    // A stop signal before the first reading ends with 128 + the signal's number, as a shell
    // reports a program the signal killed (on Windows: Ctrl-C as SIGINT, Ctrl-Break as SIGBREAK,
    // a closed console as SIGHUP).
};

constexpr int ToInt(ExitStatus status) {
    return static_cast<int>(status);
}

#ifdef _WIN32
#define DRIVERPANEL_PERMISSION_HELP "  5  access denied to the port\n"
#define DRIVERPANEL_SIGNAL_HELP                                                           \
    "  130  ended by Ctrl-C, 149 by Ctrl-Break, 129 by closing the console, before the\n" \
    "       first reading (sweep: at any step, once the current is returned)\n"
#else
#define DRIVERPANEL_PERMISSION_HELP "  5  permission denied: join the dialout group\n"
#define DRIVERPANEL_SIGNAL_HELP                                                       \
    "  128+N  ended by signal N (SIGINT, SIGTERM, SIGHUP) before the first reading\n" \
    "         (sweep: at any step, once the current is returned)\n"
#endif

constexpr const char* kExitStatusHelp =
    "Exit status:\n"
    "  0  done (watch: at least one reading came)\n"
    "  1  ldctl itself failed (no descriptor, standard output unwritable)\n"
    "  2  usage error\n"
    "  3  port not found\n"
    "  4  port busy: held by another program\n" DRIVERPANEL_PERMISSION_HELP
    "  6  no answer from the module in time (no configuration, confirmation or reading)\n"
    "  7  the port failed or hung up while in use\n"
    "  8  sweep: the range reaches beyond the module's maximum (nothing was sent)\n"
    "  9  sweep: the current could not be returned to its value before the "
    "sweep\n" DRIVERPANEL_SIGNAL_HELP;

#undef DRIVERPANEL_PERMISSION_HELP
#undef DRIVERPANEL_SIGNAL_HELP

// The status of a command ended by a stop signal before it had anything to show.
constexpr int SignalStatus(int signal) {
    return 128 + signal;
}

// The line for standard error when standard output could not be written, with the system's
// reason (errno as the failed write left it).
std::string StandardOutputError();

// A command that cannot go on: the status to exit with and the one line for standard error
// (without the program's name), empty when that line is already printed (a box, a signal). The
// host releases the port on the way out.
class CommandFailure : public std::runtime_error {
  public:
    CommandFailure(ExitStatus status, const std::string& message)
        : CommandFailure(ToInt(status), message) {}
    CommandFailure(int status, const std::string& message)
        : std::runtime_error(message), status_(status) {}
    int Status() const { return status_; }

  private:
    int status_;
};

#endif
