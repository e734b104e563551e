// Standard input and the stop signals in one poll().
#include "hosts/console/standard_input.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "hosts/console/exit_status.h"

std::size_t ReadStandardInput(StopSignals& signals, char* buffer, std::size_t size) {
    for (;;) {
        pollfd waits[] = {{STDIN_FILENO, POLLIN, 0}, {signals.Fd(), POLLIN, 0}};
        if (poll(waits, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::system_error(errno, std::system_category(), "poll");
        }
        if (waits[1].revents != 0) {
            if (const int signal = signals.Take(); signal != 0) {
                throw CommandFailure(SignalStatus(signal), "");
            }
        }
        if (waits[0].revents == 0) {
            continue;
        }
        const ssize_t got = read(STDIN_FILENO, buffer, size);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            throw std::system_error(errno, std::system_category(), "standard input");
        }
        return static_cast<std::size_t>(got);
    }
}
