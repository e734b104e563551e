// The console host on Windows: the window's port object and its worker, whose bytes reach the
// loop's message-only window and whose failures are printed instead of shown in a box; ports
// named as Windows names them.
#include <algorithm>
#include <cctype>

#include "hosts/console/console_host.h"
#include "hosts/console/exit_status.h"
#include "serial/port_error.h"
#include "serial/win32/com_device_name.h"
#include "serial/win32/port_notifications.h"

ConsoleHost::ConsoleHost(StopSignals& signals)
    : window([this](const std::string& title, const std::string& text) { PrintBox(title, text); }),
      loop(signals, [this](int timerId) { logic.OnTimer(timerId); }),
      logic(state, window, loop, port, registry) {
    logic.AddListener(*this);
    loop.OnMessage([this](UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_PORT_RXCHAR) {
            logic.OnPortByte(static_cast<std::uint8_t>(wParam), static_cast<int>(lParam));
        }
    });
    port.SetOwner(loop.Window());
    // The worker's failure is printed on the loop's thread, where the panel's state lives; the
    // worker then serves the port no more, and the command ends as for a lost port.
    port.SetErrorReporter([this](const std::string& text) {
        loop.RunOnLoop([this, text] { ApplicationErrorShown(text); });
    });
}

ConsoleHost::~ConsoleHost() {
    Close();
    logic.RemoveListener(*this);
}

// COM3 (in any case), \\.\COM3, or the number 3: the list's numbers are the COM numbers, so a
// number and a name never mean two ports.
PanelPort ConsoleHost::FindPort(const std::vector<PanelPort>& ports, const std::string& name) {
    std::string number = name;
    std::transform(number.begin(), number.end(), number.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (number.rfind("\\\\.\\", 0) == 0) {
        number.erase(0, 4);
    }
    if (number.rfind("COM", 0) == 0) {
        number.erase(0, 3);
    }
    const bool digits = !number.empty() && number.size() <= 3 &&
                        number.find_first_not_of("0123456789") == std::string::npos;
    if (digits) {
        const int wanted = std::stoi(number);
        for (const PanelPort& listed : ports) {
            if (listed.number == wanted) {
                return listed;
            }
        }
    }
    throw CommandFailure(ExitStatus::kPortNotFound,
                         name + ": no such port (ldctl list shows the ports, COM1 to COM16)");
}

// A failed configuration step has printed its box; the other reasons, as the port object told
// them, are printed here. A COM port opens once at a time, so a port another program holds
// is refused as busy, whatever the rights.
CommandFailure ConsoleHost::OpenFailure(int portNumber, OpenStatus status) {
    if (applicationErrorShown_ || status == OpenStatus::Failed) {
        return CommandFailure(ExitStatus::kPortFailed, "");
    }
    if (status == OpenStatus::Absent) {
        return CommandFailure(ExitStatus::kPortNotFound, portName_ + ": the port went away");
    }
    if (status == OpenStatus::Denied) {
        return CommandFailure(ExitStatus::kPermissionDenied,
                              portName_ + ": access denied to " + ComListText(portNumber));
    }
    return CommandFailure(ExitStatus::kPortBusy, portName_ + ": port busy: another program holds " +
                                                     ComListText(portNumber));
}

// The list was just probed: the port is not opened again to name its device.
std::string ConsoleHost::DevicePath(int portNumber) {
    return ComDeviceName(portNumber);
}
