// The panel's typed events for its listeners, and the typed inputs hosts use instead of the
// window's controls. Each event is built from the device state right after the window showed the
// same change, so listeners and window never disagree.
#include <array>
#include <charconv>
#include <cmath>

#include "panel/panel_logic.h"
#include "panel/panel_timing.h"
#include "panel/typed_value.h"

namespace {

constexpr double kCelsiusPerUnit = 0.01;
constexpr double kMilliwattsPerUnitVariantA = 0.1;

char Channel(bool variantB) {
    return variantB ? 'B' : 'A';
}

}  // namespace

void PanelLogic::AddListener(PanelListener& listener) {
    listeners_.push_back(&listener);
}

void PanelLogic::RemoveListener(PanelListener& listener) {
    std::erase(listeners_, &listener);
}

// By index over the live list: a listener removed during a call is never called afterwards.
template <typename Event>
void PanelLogic::Notify(void (PanelListener::*handler)(const Event&), const Event& event) {
    for (std::size_t i = 0; i < listeners_.size(); ++i) {
        (listeners_[i]->*handler)(event);
    }
}

void PanelLogic::NotifyConfiguration(std::int32_t setpointA, std::int32_t setpointB) {
    PanelConfiguration event;
    event.variant = Channel(state_.UsesVariantB());
    event.variantByte = state_.variant;
    event.setpointA = setpointA;
    event.setpointB = setpointB;
    event.maxA = state_.maxA;
    event.maxB = state_.maxB;
    event.activeSetpoint = state_.UsesVariantB() ? setpointB : setpointA;
    event.activeMaximum = state_.ActiveMaximum();
    Notify(&PanelListener::OnConfiguration, event);
}

void PanelLogic::NotifySetpoints(std::int32_t setpointA, std::int32_t setpointB) {
    PanelSetpoints event;
    event.channel = Channel(state_.UsesVariantB());
    event.setpointA = setpointA;
    event.setpointB = setpointB;
    event.activeSetpoint = state_.UsesVariantB() ? setpointB : setpointA;
    Notify(&PanelListener::OnSetpointsConfirmed, event);
}

void PanelLogic::NotifyTemperature() {
    PanelTemperature event;
    event.raw = state_.ActiveTemperature();
    event.celsius = event.raw * kCelsiusPerUnit;
    event.word = Channel(state_.UsesVariantB());
    Notify(&PanelListener::OnTemperature, event);
}

void PanelLogic::NotifyPower() {
    PanelPower event;
    event.raw = state_.power;
    event.milliwatts =
        state_.UsesVariantB() ? state_.power : state_.power * kMilliwattsPerUnitVariantA;
    event.variant = Channel(state_.UsesVariantB());
    Notify(&PanelListener::OnPower, event);
}

void PanelLogic::NotifyPollSent() {
    Notify(&PanelListener::OnPollSent, PanelPoll{openPort_});
}

void PanelLogic::NoteSetRequest(SetReason reason, double asked) {
    setRequest_ = SetRequest{reason, asked};
}

// The poll sends the slider's position when it differs from where the panel last put it. When
// the panel put it at a setpoint beyond the range, the slider shows the end of the range, and
// the position sent is that setpoint pulled down, not an operator's move.
void PanelLogic::NotePollSet(int sliderPosition) {
    const std::int32_t placed = state_.knownSliderPosition;
    if (placed > state_.ActiveMaximum() && sliderPosition == state_.ActiveMaximum()) {
        NoteSetRequest(SetReason::PullDown, placed);
    } else {
        NoteSetRequest(SetReason::Slider, sliderPosition);
    }
}

void PanelLogic::NotifySetSent() {
    PanelSetSent event;
    event.milliamps = ReadU16(state_.setFrame, kDataIndex);
    event.channel = state_.setFrame[kCodeIndex] == CMD_SET_B ? 'B' : 'A';
    const SetRequest request =
        setRequest_.value_or(SetRequest{SetReason::Resync, static_cast<double>(event.milliamps)});
    setRequest_.reset();
    event.reason = request.reason;
    event.asked = request.asked;
    event.clamped = request.asked != event.milliamps;
    lastSetSent_ = event;
    Notify(&PanelListener::OnSetSent, event);
}

PanelPort PanelLogic::SelectedPanelPort() const {
    PanelPort port;
    port.number = state_.selectedPort;
    for (std::size_t i = 0; i < state_.portCount; ++i) {
        if (state_.portTable[i] == state_.selectedPort) {
            port.name = portNames_[i];
        }
    }
    return port;
}

std::vector<PanelPort> PanelLogic::PortList() const {
    std::vector<PanelPort> ports;
    for (std::size_t i = 0; i < state_.portCount; ++i) {
        ports.push_back({state_.portTable[i], portNames_[i]});
    }
    return ports;
}

void PanelLogic::NotifyOpened(bool reopened) {
    hangUpPending_ = false;
    openPort_ = SelectedPanelPort();
    Notify(&PanelListener::OnPortOpened, PanelPortOpened{openPort_, reopened});
}

void PanelLogic::NotifyClosed(PortCloseCause cause) {
    hangUpPending_ = false;
    setRequest_.reset();
    Notify(&PanelListener::OnPortClosed, PanelPortClosed{openPort_, cause});
}

void PanelLogic::NotifyLost(PortLossCause cause) {
    Notify(&PanelListener::OnPortLost, PanelPortLost{openPort_, cause});
}

// Reports why the port did not open as the port said it (SetupSelectedPort keeps it).
void PanelLogic::NotifyOpenFailed() {
    Notify(&PanelListener::OnOpenFailed, PanelOpenFailed{SelectedPanelPort(), lastOpenResult_});
}

void PanelLogic::NotifyBox(const std::string& text, const std::string& title) {
    Notify(&PanelListener::OnBoxShown, PanelBox{title, text});
}

// What Apply does with a non-empty field, without touching the field or the operator's edit of it.
SetOutcome PanelLogic::SetCurrentText(std::string_view text) {
    SetOutcome outcome;
    if (!state_.portOpen) {
        outcome.status = SetStatus::PortClosed;
        return outcome;
    }
    if (!state_.configured) {
        outcome.status = SetStatus::NotConfigured;
        return outcome;
    }
    if (text.empty()) {
        outcome.status = SetStatus::NoValue;
        return outcome;
    }
    const PanelSetSent sent = SendTypedValue(text);
    outcome.status = SetStatus::Sent;
    outcome.milliamps = sent.milliamps;
    outcome.channel = sent.channel;
    outcome.asked = sent.asked;
    outcome.clamped = sent.clamped;
    return outcome;
}

// The number goes through the field's own reading, written as the shortest text that reads back
// as exactly this double, so a number and its text can never be applied differently.
SetOutcome PanelLogic::SetCurrent(double milliamps) {
    if (!std::isfinite(milliamps)) {
        SetOutcome outcome;
        outcome.status = !state_.portOpen     ? SetStatus::PortClosed
                         : !state_.configured ? SetStatus::NotConfigured
                                              : SetStatus::NoValue;
        return outcome;
    }
    std::array<char, 64> text{};
    const auto written = std::to_chars(text.data(), text.data() + text.size(), milliamps);
    return SetCurrentText(std::string_view(text.data(), written.ptr));
}

OpenOutcome PanelLogic::OpenListedItem(int item) {
    OpenOutcome outcome;
    outcome.port.number = state_.portTable[static_cast<std::size_t>(item)];
    outcome.port.name = portNames_[static_cast<std::size_t>(item)];
    window_.SelectPortItem(item);
    OnOpenClose();
    if (state_.portOpen) {
        outcome.status = OpenRequestStatus::Opened;
        outcome.result = OpenResult::Ok();
    } else {
        outcome.status = OpenRequestStatus::Failed;
        outcome.result = lastOpenResult_;
    }
    return outcome;
}

OpenOutcome PanelLogic::OpenPort(int portNumber) {
    OpenOutcome outcome;
    outcome.port.number = portNumber;
    if (state_.portOpen) {
        outcome.status = OpenRequestStatus::AlreadyOpen;
        return outcome;
    }
    for (int item = 0; item < state_.portCount; ++item) {
        if (state_.portTable[static_cast<std::size_t>(item)] == portNumber) {
            return OpenListedItem(item);
        }
    }
    outcome.status = OpenRequestStatus::NotListed;
    outcome.result.status = OpenStatus::Absent;
    return outcome;
}

OpenOutcome PanelLogic::OpenPort(std::string_view listedName) {
    OpenOutcome outcome;
    outcome.port.name = std::string(listedName);
    if (state_.portOpen) {
        outcome.status = OpenRequestStatus::AlreadyOpen;
        return outcome;
    }
    for (int item = 0; item < state_.portCount; ++item) {
        if (portNames_[static_cast<std::size_t>(item)] == listedName) {
            return OpenListedItem(item);
        }
    }
    outcome.status = OpenRequestStatus::NotListed;
    outcome.result.status = OpenStatus::Absent;
    return outcome;
}

bool PanelLogic::ClosePort() {
    if (!state_.portOpen) {
        return false;
    }
    OnOpenClose();
    return true;
}

void PanelLogic::OnPortHangUp() {
    hangUpPending_ = true;
    OnDeviceChange();
}
