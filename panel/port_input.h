// What a port object that reports by itself (on Linux, served on the host's event loop) means to
// the panel, the same for every such host: each byte goes to the reply assembler with the time
// its block was read, and a port that hung up or can no longer be read is a device change (the
// panel re-opens it if it is still listed, or shows closed).
#ifndef DRIVERPANEL_PANEL_PORT_INPUT_H
#define DRIVERPANEL_PANEL_PORT_INPUT_H

#include <cstdint>

#include "panel/panel_logic.h"

inline void PanelTakesPortByte(PanelLogic& logic, std::uint8_t byte, int portNumber,
                               std::int64_t receivedAtMs) {
    logic.OnPortByte(byte, portNumber, receivedAtMs);
}

inline void PanelTakesPortLoss(PanelLogic& logic) {
    logic.OnDeviceChange();
}

#endif
