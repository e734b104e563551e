// The words for an unwritable standard output.
#include "hosts/console/exit_status.h"

#include <cerrno>
#include <cstring>

std::string StandardOutputError() {
    const int error = errno;
    return std::string("standard output cannot be written") +
           (error != 0 ? std::string(": ") + std::strerror(error) : std::string());
}
