// Standard input read by a blocking ReadFile: a pipe's handle is always signalled, so there is
// nothing to wait on beside the stop event. decode holds no port, so a stop request meanwhile
// ends the process at once.
#include "hosts/console/standard_input.h"

#include <windows.h>

#include <system_error>

#include "hosts/console/exit_status.h"

std::size_t ReadStandardInput(StopSignals& signals, char* buffer, std::size_t size) {
    if (const int signal = signals.Take(); signal != 0) {
        throw CommandFailure(SignalStatus(signal), "");
    }
    DWORD got = 0;
    signals.EndAtOnce(true);
    const BOOL read =
        ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, static_cast<DWORD>(size), &got, nullptr);
    const DWORD error = GetLastError();
    signals.EndAtOnce(false);
    if (!read) {
        // The writer closed its end of the pipe: that is the end of the input.
        if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) {
            return 0;
        }
        throw std::system_error(static_cast<int>(error), std::system_category(), "standard input");
    }
    return got;
}
