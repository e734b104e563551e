// The panel's start and its receive path: received bytes of the open port go through the reply
// assembler, and each checked reply goes to its effect.
#include "panel/panel_logic.h"

#include "panel/panel_texts.h"
#include "resources/resource.h"

PanelLogic::PanelLogic(DeviceState& state, PanelWindow& window, UiTimers& timers, PortService& port,
                       PortProbe& probe)
    : state_(state), window_(window), timers_(timers), port_(port), probe_(probe) {}

void PanelLogic::OnInitDialog() {
    FillPortList();
    window_.SetControlText(IDC_OPEN_PORT, kOpenPortText);
    window_.EnableControl(IDC_PORT_LIST, true);
}

void PanelLogic::OnPortByte(std::uint8_t byte, int portNumber) {
    TakeReceivedByte(byte, portNumber, timers_.ReceiveClockMs());
}

void PanelLogic::OnPortByte(std::uint8_t byte, int portNumber, std::int64_t receivedAtMs) {
    TakeReceivedByte(byte, portNumber, timers_.ReceiveClockMs(receivedAtMs));
}

void PanelLogic::TakeReceivedByte(std::uint8_t byte, int portNumber, std::int64_t receiveClockMs) {
    if (portNumber != state_.selectedPort) {
        return;
    }
    const auto frame = state_.assembler.Take(byte, receiveClockMs);
    if (!frame.empty()) {
        DispatchReply(frame);
    }
}
