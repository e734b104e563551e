// Forwards the core's port operations to CCommPort; lists a present port as "COMn".
#include "panel/win32/win32_port_service.h"

#include "serial/win32/com_device_name.h"
#include "serial/win32/com_probe.h"

bool Win32PortService::Setup(int portNumber, const LineSettings& settings) {
    return port_.Setup(owner_.Handle(), static_cast<UINT>(portNumber), settings.baudRate,
                       settings.parity, settings.dataBits, settings.stopBits, settings.eventMask,
                       static_cast<UINT>(settings.writeBufferSize), settings.readIntervalTimeout,
                       settings.readTotalTimeoutMultiplier, settings.readTotalTimeoutConstant,
                       settings.writeTotalTimeoutMultiplier,
                       settings.writeTotalTimeoutConstant) != FALSE;
}

bool Win32PortService::StartWorker() {
    return port_.StartWorker() != FALSE;
}

void Win32PortService::Shutdown() {
    port_.Shutdown();
}

void Win32PortService::QueueWrite(const std::uint8_t* bytes, std::size_t count) {
    port_.QueueWrite(bytes, static_cast<DWORD>(count));
}

std::optional<std::string> Win32PortProbe::Probe(int portNumber) {
    if (!ProbeComPort(portNumber)) {
        return std::nullopt;
    }
    return ComListText(portNumber);
}
