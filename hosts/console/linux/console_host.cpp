// The console host on Linux: the termios port object on the poll() loop, ports named by their
// device paths, and the reasons a port did not open as the system gave them.
#include <algorithm>
#include <cstdlib>
#include <functional>

#include "hosts/console/console_host.h"
#include "hosts/console/exit_status.h"
#include "serial/port_error.h"

namespace {

// Where a path leads once every link is followed; nothing is opened.
std::optional<std::string> CanonicalPath(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return std::nullopt;
    }
    std::string canonical(resolved);
    free(resolved);
    return canonical;
}

}  // namespace

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

// A path (anything with a '/') names the port whose device it leads to, through any links
// (/dev/serial/by-id/..., a virtual port's link, the pty itself). Other text is a port's name, or
// its number in the list. Numbers are handed out as ports appear, so the same number can mean
// another module in the next run; when the text is also some port's name, which one was meant
// cannot be told and nothing is opened.
PanelPort ConsoleHost::FindPort(const std::vector<PanelPort>& ports, const std::string& name) {
    const auto items = [&ports](const std::function<bool(const PanelPort&)>& matches) {
        std::vector<PanelPort> found;
        for (const PanelPort& listed : ports) {
            if (matches(listed)) {
                found.push_back(listed);
            }
        }
        return found;
    };
    const auto describe = [this](const PanelPort& listed) {
        return "port " + std::to_string(listed.number) + " (" + listed.name + ", " +
               registry.DevicePath(listed.number).value_or("gone") + ")";
    };
    const auto ambiguous = [&](const std::vector<PanelPort>& found) {
        std::string which;
        for (const PanelPort& listed : found) {
            which += (which.empty() ? "" : " and ") + describe(listed);
        }
        return CommandFailure(ExitStatus::kUsage,
                              name + ": ambiguous: " + which +
                                  "; name the port by its device path (ldctl list shows them)");
    };

    std::vector<PanelPort> found;
    if (name.find('/') != std::string::npos) {
        const std::optional<std::string> device = CanonicalPath(name);
        if (device) {
            found = items([&](const PanelPort& listed) {
                const std::optional<std::string> path = registry.DevicePath(listed.number);
                return path && (*path == name || CanonicalPath(*path) == device);
            });
        }
    } else {
        // A port's name, or its number unless that is the name of another port too.
        const bool digits =
            !name.empty() && name.find_first_not_of("0123456789") == std::string::npos;
        found = items([&](const PanelPort& listed) {
            return listed.name == name || (digits && std::to_string(listed.number) == name);
        });
    }
    if (found.size() > 1) {
        throw ambiguous(found);
    }
    if (found.empty()) {
        throw CommandFailure(ExitStatus::kPortNotFound,
                             name + (name.find('/') == std::string::npos
                                         ? ": no such port (ldctl list shows the ports)"
                                         : ": leads to no listed port (ldctl list shows the "
                                           "ports; link a pty into the virtual-port directory)"));
    }
    return found.front();
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
