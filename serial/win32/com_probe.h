// Whether a COM port is present, asked without taking the port over.
#ifndef DRIVERPANEL_SERIAL_WIN32_COM_PROBE_H
#define DRIVERPANEL_SERIAL_WIN32_COM_PROBE_H

// Opens "\\.\COMn" with no access rights and closes it at once: the open succeeds only when the
// driver knows the port, and without read or write rights it configures nothing.
bool ProbeComPort(int portNumber);

#endif
