// Standard input as decode reads it: a block as soon as some arrives, while a stop request can
// still end ldctl.
#ifndef DRIVERPANEL_HOSTS_CONSOLE_STANDARD_INPUT_H
#define DRIVERPANEL_HOSTS_CONSOLE_STANDARD_INPUT_H

#include <cstddef>

#ifdef _WIN32
#include "hosts/console/win32/stop_signals.h"
#else
#include "hosts/console/linux/stop_signals.h"
#endif

// Up to `size` bytes of what standard input holds, waiting for some; 0 at its end. Throws
// CommandFailure with the status of a stop request that came first, std::system_error when the
// system refuses the read.
std::size_t ReadStandardInput(StopSignals& signals, char* buffer, std::size_t size);

#endif
