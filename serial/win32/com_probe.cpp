// Probing a COM port by a rights-free open.
#include "serial/win32/com_probe.h"

#include <windows.h>

#include "serial/win32/com_device_name.h"

bool ProbeComPort(int portNumber) {
    const HANDLE handle = CreateFileA(ComDeviceName(portNumber).c_str(), 0, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(handle);
    return true;
}

std::optional<std::string> Win32PortProbe::Probe(int portNumber) {
    if (!ProbeComPort(portNumber)) {
        return std::nullopt;
    }
    return ComListText(portNumber);
}
