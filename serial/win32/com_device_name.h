// The names of COM port n: the device path that CreateFileA opens and the text the port list
// shows. One place, so the probe and the port object open the same device.
#ifndef DRIVERPANEL_SERIAL_WIN32_COM_DEVICE_NAME_H
#define DRIVERPANEL_SERIAL_WIN32_COM_DEVICE_NAME_H

#include <string>

// "\\.\COMn": the device namespace prefix lets CreateFileA reach COM10 and above, which have no
// DOS device alias.
inline std::string ComDeviceName(int portNumber) {
    return "\\\\.\\COM" + std::to_string(portNumber);
}

// "COMn": the device name without its four-character namespace prefix.
inline std::string ComListText(int portNumber) {
    return ComDeviceName(portNumber).substr(4);
}

#endif
