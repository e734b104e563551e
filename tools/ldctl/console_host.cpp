// The console host: the panel's objects wired to the poll() loop, opening a port as the panel
// does, and telling the user why it could not be opened.
#include "tools/ldctl/console_host.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <vector>

#include "serial/port_error.h"
#include "tools/ldctl/exit_status.h"

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

// A box's text on one line: its lines trimmed and joined by single spaces.
std::string OneLine(const std::string& text) {
    std::istringstream lines(text);
    std::string joined;
    for (std::string line; std::getline(lines, line);) {
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos) {
            continue;
        }
        const auto last = line.find_last_not_of(" \t\r");
        if (!joined.empty()) {
            joined += ' ';
        }
        joined += line.substr(first, last - first + 1);
    }
    return joined;
}

}  // namespace

ConsoleHost::ConsoleHost(StopSignals& signals)
    : window([this](const std::string& title, const std::string& text) { PrintBox(title, text); }),
      loop(signals, [this](int timerId) { logic.OnTimer(timerId); }),
      owner([this](const std::string& text) {
          applicationErrorShown_ = true;
          PrintBox(kApplicationErrorTitle, text);
      }),
      port(registry),
      portService(port, owner),
      probe(registry),
      logic(state, window, loop, portService, probe) {
    logic.AddListener(*this);
    owner.Attach(EventLoopPortOwner::Handlers{
        .byte = [this](std::uint8_t byte, int portNumber) { logic.OnPortByte(byte, portNumber); },
        .hangUp = [this] { logic.OnPortHangUp(); },
    });
    loop.Watch(owner.ByteReadyFd(), [this] { owner.HandleByte(); });
    loop.Watch(owner.ErrorRequestFd(), [this] { owner.HandleErrorRequest(); });
    loop.Watch(owner.HangUpFd(), [this] { owner.HandleHangUp(); });
}

ConsoleHost::~ConsoleHost() {
    Close();
    owner.Detach();
    logic.RemoveListener(*this);
}

void ConsoleHost::OnPortOpened(const PanelPortOpened&) {
    portOpen_ = true;
    configured_ = false;  // a re-open asks for the configuration again
}

void ConsoleHost::OnPortClosed(const PanelPortClosed&) {
    portOpen_ = false;
    configured_ = false;
}

void ConsoleHost::PrintBox(const std::string& title, const std::string& text) {
    std::cerr << "ldctl: " << (portName_.empty() ? "" : portName_ + ": ") << title << ": "
              << OneLine(text) << std::endl;
}

std::vector<PanelPort> ConsoleHost::ListPorts() {
    logic.FillPortList();
    return logic.PortList();
}

// A path (anything with a '/') names the port whose device it leads to, through any links
// (/dev/serial/by-id/..., a virtual port's link, the pty itself). Other text is a port's name, or
// its number in the list. Numbers are handed out as ports appear, so the same number can mean
// another module in the next run; when the text is also some port's name, which one was meant
// cannot be told and nothing is opened.
std::optional<PanelPort> ConsoleHost::FindPort(const std::vector<PanelPort>& ports,
                                               const std::string& name) {
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
    return found.empty() ? std::nullopt : std::optional<PanelPort>(found.front());
}

void ConsoleHost::Open(const std::string& name) {
    portName_ = name;
    const std::optional<PanelPort> listed = FindPort(ListPorts(), name);
    if (!listed) {
        throw CommandFailure(ExitStatus::kPortNotFound,
                             name + (name.find('/') == std::string::npos
                                         ? ": no such port (ldctl list shows the ports)"
                                         : ": leads to no listed port (ldctl list shows the "
                                           "ports; link a pty into the virtual-port directory)"));
    }
    if (logic.OpenPort(listed->number).status != OpenRequestStatus::Opened) {
        throw OpenFailure(listed->number);
    }
    opened_ = true;
}

// The port object opens silently or reports a failed configuration step in a box; which of the
// silent reasons it was is read from the device node afterwards, without opening it again.
CommandFailure ConsoleHost::OpenFailure(int portNumber) {
    if (applicationErrorShown_) {
        return CommandFailure(ExitStatus::kPortFailed, "");
    }
    const std::optional<std::string> path = registry.DevicePath(portNumber);
    if (!path) {
        return CommandFailure(ExitStatus::kPortNotFound, portName_ + ": the port went away");
    }
    if (access(path->c_str(), R_OK | W_OK) != 0 && errno == EACCES) {
        return CommandFailure(ExitStatus::kPermissionDenied,
                              portName_ + ": permission denied on " + *path +
                                  "; join the dialout group (sudo usermod -aG dialout $USER, "
                                  "then log in again)");
    }
    return CommandFailure(ExitStatus::kPortBusy,
                          portName_ + ": port busy: another program holds " + *path);
}

void ConsoleHost::AwaitConfiguration() {
    const auto end = loop.RunUntil([this] { return configured_ || PortLost(); },
                                   ConsoleLoop::Clock::now() + kAnswerTimeout);
    if (PortLost()) {
        throw LostPortFailure();
    }
    if (end == ConsoleLoop::End::kStopSignal) {
        throw CommandFailure(SignalStatus(loop.StopSignal()), "");
    }
    if (!configured_) {
        throw CommandFailure(ExitStatus::kNoAnswer,
                             portName_ + ": no configuration from the module within " +
                                 std::to_string(kAnswerTimeout.count()) + " s");
    }
}

void ConsoleHost::Close() {
    opened_ = false;
    logic.ClosePort();
}

bool ConsoleHost::PortLost() const {
    return opened_ && (applicationErrorShown_ || !portOpen_);
}

CommandFailure ConsoleHost::LostPortFailure() const {
    if (applicationErrorShown_) {
        return CommandFailure(ExitStatus::kPortFailed, "");
    }
    return CommandFailure(ExitStatus::kPortFailed, portName_ + ": the port hung up or went away");
}
