// The console host: the panel's objects wired to the poll() loop, opening a port as the panel
// does, and telling the user why it could not be opened.
#include "tools/ldctl/console_host.h"

#include <poll.h>

#include <iostream>
#include <sstream>

#include "protocol/frame.h"
#include "serial/port_error.h"
#include "tools/ldctl/exit_status.h"

namespace {

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
      owner(
          [this](const std::string& text) {
              applicationErrorShown_ = true;
              PrintBox(kApplicationErrorTitle, text);
          },
          [this](int fd, bool readable, bool writable) {
              loop.Watch(fd, readable, writable, [this](short revents) {
                  if ((revents & POLLOUT) != 0) {
                      port.OnWritable();
                  }
                  if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                      port.OnReadable();
                  }
              });
          }),
      port(registry, owner),
      countingService(port),
      logic(state, window, loop, countingService, registry) {
    owner.Attach(EventLoopPortOwner::Handlers{
        .byte =
            [this](std::uint8_t byte, int portNumber, std::int64_t receivedAtMs) {
                logic.OnPortByte(byte, portNumber, receivedAtMs);
                if (onReceived_) {
                    onReceived_(byte);
                }
            },
        .lost = [this](int) { logic.OnPortHangUp(); },
    });
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

// Names first, then numbers, then device paths: a link may be called "3".
int ConsoleHost::FindPortItem(const std::string& name) {
    const auto find = [this](const std::function<bool(int item, int number)>& matches) {
        for (int item = 0; item < state.portCount; ++item) {
            if (matches(item, state.portTable[static_cast<std::size_t>(item)])) {
                return item;
            }
        }
        return -1;
    };
    int item =
        find([&](int i, int) { return window.PortItems()[static_cast<std::size_t>(i)] == name; });
    if (item < 0) {
        item = find([&](int, int number) { return std::to_string(number) == name; });
    }
    if (item < 0) {
        item = find([&](int, int number) { return registry.DevicePath(number) == name; });
    }
    return item;
}

void ConsoleHost::Open(const std::string& name) {
    portName_ = name;
    ListPorts();
    const int item = FindPortItem(name);
    if (item < 0) {
        throw CommandFailure(ExitStatus::kPortNotFound,
                             name + ": no such port (ldctl list shows the ports)");
    }
    window.SelectPortItem(item);
    logic.OnOpenClose();
    if (!state.portOpen) {
        throw OpenFailure(state.portTable[static_cast<std::size_t>(item)]);
    }
    opened_ = true;
}

// A failed configuration step has printed its box; the other reasons are printed here.
CommandFailure ConsoleHost::OpenFailure(int portNumber) {
    const OpenStatus status = countingService.LastOpen().status;
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
