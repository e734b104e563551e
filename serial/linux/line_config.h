// How the port object's line settings become termios settings: raw 8-bit transfer, the given
// speed, parity, data bits and stop bits, no flow control.
#ifndef DRIVERPANEL_SERIAL_LINUX_LINE_CONFIG_H
#define DRIVERPANEL_SERIAL_LINUX_LINE_CONFIG_H

#include <termios.h>

#include "serial/line_settings.h"

// A read returns what is waiting, at least one byte. The port is read only when its descriptor is
// readable (and never blocks, being non-blocking), so the line settings' serial timeouts have no
// counterpart on Linux and are not used.
void ApplyReadReturnsWhatWaits(termios& tio);

// Changes tio in place to the given settings, keeping what the settings do not name as the driver
// reported it. Returns 0, or the errno value (EINVAL) when the settings cannot be expressed.
int ApplyLineSettings(termios& tio, const LineSettings& settings);

// Whether the driver kept what ApplyLineSettings asked for: tcsetattr succeeds when any part of
// the change was applied, so the result is read back and compared.
bool LineSettingsTook(const termios& requested, const termios& actual);

#endif
