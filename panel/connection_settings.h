// How the panel opens the module's port: 9600 baud, no parity, 8 data bits, one stop bit,
// received-character events, a 512-byte write buffer, and the five timeouts of 1000 s.
#ifndef DRIVERPANEL_PANEL_CONNECTION_SETTINGS_H
#define DRIVERPANEL_PANEL_CONNECTION_SETTINGS_H

#include "serial/line_settings.h"

constexpr LineSettings kConnectionSettings{
    .baudRate = 9600,
    .parity = 'N',
    .dataBits = 8,
    .stopBits = 0,
    .eventMask = kEvRxChar,
    .writeBufferSize = 512,
    .readIntervalTimeout = 1000,
    .readTotalTimeoutMultiplier = 1000,
    .readTotalTimeoutConstant = 1000,
    .writeTotalTimeoutMultiplier = 1000,
    .writeTotalTimeoutConstant = 1000,
};

#endif
