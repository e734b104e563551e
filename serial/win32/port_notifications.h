// Messages a port worker sends its owner window, numbered from the first user message (0x0400).
// Only the Windows port object sends them; the numbers are the owner's contract.
#ifndef DRIVERPANEL_SERIAL_WIN32_PORT_NOTIFICATIONS_H
#define DRIVERPANEL_SERIAL_WIN32_PORT_NOTIFICATIONS_H

constexpr unsigned WM_PORT_BREAK = 0x0401;
constexpr unsigned WM_PORT_CTS = 0x0402;
constexpr unsigned WM_PORT_ERR = 0x0404;
constexpr unsigned WM_PORT_RING = 0x0405;
constexpr unsigned WM_PORT_RXCHAR = 0x0407;  // wParam the byte, lParam the port number
constexpr unsigned WM_PORT_RXFLAG = 0x0408;

#endif
