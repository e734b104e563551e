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

#include "protocol/frame.h"
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

void CountingPortService::QueueWrite(const std::uint8_t* bytes, std::size_t count) {
    if (count == kSetFrameSize &&
        (bytes[kCodeIndex] == CMD_SET_A || bytes[kCodeIndex] == CMD_SET_B)) {
        if (!setFramesAllowed_) {
            ++setFramesHeldBack_;
            return;
        }
        ++setFrames_;
    }
    port_.QueueWrite(bytes, count);
}

ConsoleHost::ConsoleHost(StopSignals& signals)
    : window([this](const std::string& title, const std::string& text) {
          ++warningsShown_;
          PrintBox(title, text);
      }),
      loop(signals, [this](int timerId) { logic.OnTimer(timerId); }),
      owner([this](const std::string& text) {
          applicationErrorShown_ = true;
          PrintBox(kApplicationErrorTitle, text);
      }),
      port(registry),
      portService(port, owner),
      countingService(portService),
      probe(registry),
      logic(state, window, loop, countingService, probe) {
    owner.Attach(EventLoopPortOwner::Handlers{
        .byte =
            [this](std::uint8_t byte, int portNumber) {
                logic.OnPortByte(byte, portNumber);
                if (onReceived_) {
                    onReceived_(byte);
                }
            },
        // A hang-up is a device change to the panel: it re-opens the port if it is still there.
        .hangUp = [this] { logic.OnDeviceChange(); },
    });
    loop.Watch(owner.ByteReadyFd(), [this] { owner.HandleByte(); });
    loop.Watch(owner.ErrorRequestFd(), [this] { owner.HandleErrorRequest(); });
    loop.Watch(owner.HangUpFd(), [this] { owner.HandleHangUp(); });
}

ConsoleHost::~ConsoleHost() {
    Close();
    owner.Detach();
}

void ConsoleHost::PrintBox(const std::string& title, const std::string& text) {
    std::cerr << "ldctl: " << (portName_.empty() ? "" : portName_ + ": ") << title << ": "
              << OneLine(text) << std::endl;
}

void ConsoleHost::ListPorts() {
    logic.OnInitDialog();
}

// A path (anything with a '/') names the port whose device it leads to, through any links
// (/dev/serial/by-id/..., a virtual port's link, the pty itself). Other text is a port's name, or
// its number in the list. Numbers are handed out as ports appear, so the same number can mean
// another module in the next run; when the text is also some port's name, which one was meant
// cannot be told and nothing is opened.
int ConsoleHost::FindPortItem(const std::string& name) {
    const auto items = [this](const std::function<bool(int item, int number)>& matches) {
        std::vector<int> found;
        for (int item = 0; item < state.portCount; ++item) {
            if (matches(item, state.portTable[static_cast<std::size_t>(item)])) {
                found.push_back(item);
            }
        }
        return found;
    };
    const auto describe = [this](int item) {
        const auto index = static_cast<std::size_t>(item);
        const int number = state.portTable[index];
        return "port " + std::to_string(number) + " (" + window.PortItems()[index] + ", " +
               registry.DevicePath(number).value_or("gone") + ")";
    };
    const auto ambiguous = [&](const std::vector<int>& found) {
        std::string which;
        for (int item : found) {
            which += (which.empty() ? "" : " and ") + describe(item);
        }
        return CommandFailure(ExitStatus::kUsage,
                              name + ": ambiguous: " + which +
                                  "; name the port by its device path (ldctl list shows them)");
    };

    std::vector<int> found;
    if (name.find('/') != std::string::npos) {
        const std::optional<std::string> device = CanonicalPath(name);
        if (device) {
            found = items([&](int, int number) {
                const std::optional<std::string> path = registry.DevicePath(number);
                return path && (*path == name || CanonicalPath(*path) == device);
            });
        }
    } else {
        found = items(
            [&](int i, int) { return window.PortItems()[static_cast<std::size_t>(i)] == name; });
        if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos) {
            const std::vector<int> numbered =
                items([&](int, int number) { return std::to_string(number) == name; });
            for (int item : numbered) {
                if (std::find(found.begin(), found.end(), item) == found.end()) {
                    found.push_back(item);
                }
            }
        }
    }
    if (found.size() > 1) {
        throw ambiguous(found);
    }
    return found.empty() ? -1 : found.front();
}

void ConsoleHost::Open(const std::string& name) {
    portName_ = name;
    ListPorts();
    const int item = FindPortItem(name);
    if (item < 0) {
        throw CommandFailure(ExitStatus::kPortNotFound,
                             name + (name.find('/') == std::string::npos
                                         ? ": no such port (ldctl list shows the ports)"
                                         : ": leads to no listed port (ldctl list shows the "
                                           "ports; link a pty into the virtual-port directory)"));
    }
    window.SelectPortItem(item);
    logic.OnOpenClose();
    if (!state.portOpen) {
        throw OpenFailure(state.portTable[static_cast<std::size_t>(item)]);
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
    const auto end = loop.RunUntil([this] { return state.configured || PortLost(); },
                                   ConsoleLoop::Clock::now() + kAnswerTimeout);
    if (PortLost()) {
        throw LostPortFailure();
    }
    if (end == ConsoleLoop::End::kStopSignal) {
        throw CommandFailure(SignalStatus(loop.StopSignal()), "");
    }
    if (!state.configured) {
        throw CommandFailure(ExitStatus::kNoAnswer,
                             portName_ + ": no configuration from the module within " +
                                 std::to_string(kAnswerTimeout.count()) + " s");
    }
}

void ConsoleHost::Close() {
    opened_ = false;
    if (state.portOpen) {
        logic.OnOpenClose();
    }
}

bool ConsoleHost::PortLost() const {
    return opened_ && (applicationErrorShown_ || !state.portOpen);
}

CommandFailure ConsoleHost::LostPortFailure() const {
    if (applicationErrorShown_) {
        return CommandFailure(ExitStatus::kPortFailed, "");
    }
    return CommandFailure(ExitStatus::kPortFailed, portName_ + ": the port hung up or went away");
}
