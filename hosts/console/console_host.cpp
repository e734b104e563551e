// The console host's part common to both platforms: following the panel's port and
// configuration, printing its boxes, opening a port as the panel does and waiting for the module.
#include "hosts/console/console_host.h"

#include <iostream>
#include <sstream>
#include <vector>

#include "hosts/console/exit_status.h"
#include "serial/port_error.h"

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

void ConsoleHost::OnPortOpened(const PanelPortOpened&) {
    portOpen_ = true;
    configured_ = false;  // a re-open asks for the configuration again
}

void ConsoleHost::OnPortClosed(const PanelPortClosed&) {
    portOpen_ = false;
    configured_ = false;
}

void ConsoleHost::ApplicationErrorShown(const std::string& text) {
    applicationErrorShown_ = true;
    PrintBox(kApplicationErrorTitle, text);
}

void ConsoleHost::PrintBox(const std::string& title, const std::string& text) {
    std::cerr << "ldctl: " << (portName_.empty() ? "" : portName_ + ": ") << title << ": "
              << OneLine(text) << std::endl;
}

std::vector<PanelPort> ConsoleHost::ListPorts() {
    logic.FillPortList();
    return logic.PortList();
}

void ConsoleHost::Open(const std::string& name) {
    portName_ = name;
    const PanelPort listed = FindPort(ListPorts(), name);
    const OpenOutcome outcome = logic.OpenPort(listed.number);
    if (outcome.status != OpenRequestStatus::Opened) {
        throw OpenFailure(listed.number, outcome.result.status);
    }
    opened_ = true;
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
