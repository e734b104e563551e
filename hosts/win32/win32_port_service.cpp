// Lists a present port as "COMn".
#include "hosts/win32/win32_port_service.h"

#include "serial/win32/com_device_name.h"
#include "serial/win32/com_probe.h"

std::optional<std::string> Win32PortProbe::Probe(int portNumber) {
    if (!ProbeComPort(portNumber)) {
        return std::nullopt;
    }
    return ComListText(portNumber);
}
