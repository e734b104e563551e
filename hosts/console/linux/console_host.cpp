// The console host on Linux: the termios port object on the poll() loop, ports named by their
// device paths, and the reasons a port did not open as the system gave them.
#include "hosts/console/console_host.h"
#include "hosts/console/exit_status.h"
#include "serial/linux/port_lookup.h"
#include "serial/port_error.h"

ConsoleHost::ConsoleHost(StopSignals& signals)
    : window([this](const std::string& title, const std::string& text) { PrintBox(title, text); }),
      loop(signals, [this](int timerId) { logic.OnTimer(timerId); }),
      owner([this](const std::string& text) { ApplicationErrorShown(text); },
            [this](int fd, bool readable, bool writable) {
                loop.Watch(fd, readable, writable,
                           [this](short revents) { port.OnPollReady(revents); });
            }),
      port(registry, owner),
      logic(state, window, loop, port, registry) {
    logic.AddListener(*this);
    owner.Attach(EventLoopPortOwner::Handlers{
        .byte =
            [this](std::uint8_t byte, int portNumber, std::int64_t receivedAtMs) {
                logic.OnPortByte(byte, portNumber, receivedAtMs);
            },
        .lost = [this](int) { logic.OnPortHangUp(); },
    });
}

ConsoleHost::~ConsoleHost() {
    Close();
    owner.Detach();
    logic.RemoveListener(*this);
}

// The port is found by the Linux hosts' shared rule (port_lookup.h); a number that is also some
// port's name is refused, naming both, and nothing is opened.
PanelPort ConsoleHost::FindPort(const std::vector<PanelPort>& ports, const std::string& name) {
    std::vector<ListedPort> listed;
    for (const PanelPort& item : ports) {
        listed.push_back({item.number, item.name});
    }
    const std::vector<ListedPort> found =
        FindListedPorts(listed, name, [this](int number) { return registry.DevicePath(number); });
    if (found.size() > 1) {
        std::string which;
        for (const ListedPort& candidate : found) {
            which += (which.empty() ? "" : " and ") + std::string("port ") +
                     std::to_string(candidate.number) + " (" + candidate.name + ", " +
                     registry.DevicePath(candidate.number).value_or("gone") + ")";
        }
        throw CommandFailure(ExitStatus::kUsage,
                             name + ": ambiguous: " + which +
                                 "; name the port by its device path (ldctl list shows them)");
    }
    if (found.empty()) {
        throw CommandFailure(ExitStatus::kPortNotFound,
                             name + (name.find('/') == std::string::npos
                                         ? ": no such port (ldctl list shows the ports)"
                                         : ": leads to no listed port (ldctl list shows the "
                                           "ports; link a pty into the virtual-port directory)"));
    }
    return PanelPort{found.front().number, found.front().name};
}

// A failed configuration step has printed its box; the other reasons, as the port object told
// them, are printed here.
CommandFailure ConsoleHost::OpenFailure(int portNumber, OpenStatus status) {
    if (applicationErrorShown_ || status == OpenStatus::Failed) {
        return CommandFailure(ExitStatus::kPortFailed, "");
    }
    const std::string path = registry.DevicePath(portNumber).value_or(portName_);
    if (status == OpenStatus::Absent) {
        return CommandFailure(ExitStatus::kPortNotFound, portName_ + ": the port went away");
    }
    if (status == OpenStatus::Denied) {
        return CommandFailure(ExitStatus::kPermissionDenied,
                              portName_ + ": permission denied on " + path +
                                  "; join the dialout group (sudo usermod -aG dialout $USER, "
                                  "then log in again)");
    }
    return CommandFailure(ExitStatus::kPortBusy,
                          portName_ + ": port busy: another program holds " + path);
}

std::string ConsoleHost::DevicePath(int portNumber) {
    return registry.DevicePath(portNumber).value_or("");
}
