// Changing the drive current: a typed value, a step down or up, and the set frame that carries
// the new active setpoint to the module. None of these moves the slider or rewrites the field.
#include <algorithm>

#include "panel/panel_logic.h"
#include "panel/panel_texts.h"
#include "panel/panel_timing.h"
#include "panel/typed_value.h"
#include "resources/resource.h"

void PanelLogic::BuildSetFrame(std::int32_t value) {
    WriteSetFrame(state_.setFrame, state_.ActiveSetCommand(), static_cast<std::uint16_t>(value));
}

// Every set frame sent waits for the module's confirmation. Without one within a second the
// panel asks the module what it holds (OnConfirmTimeout): the field and the slider must never go
// on showing a value the module did not take, nor hide one it took whose confirmation was lost.
void PanelLogic::SendSetFrame() {
    port_.QueueWrite(state_.setFrame.data(), state_.setFrame.size());
    state_.lastFrameMs = timers_.NowMs();
    ++state_.setFramesSent;
    NotifySetSent();
    if (state_.resyncing) {
        return;
    }
    if (state_.setsInFlight == 0) {
        timers_.StartTimer(TIMER_CONFIRM, kConfirmTimeoutMs);
    }
    ++state_.setsInFlight;
}

// A setpoints reply confirms the oldest set frame still on its way. True while later ones are
// still unconfirmed, or while a resync waits for the configuration: the reply may then confirm
// a frame older than the last one sent. Each confirmation gives the next frame its own second.
bool PanelLogic::ConfirmOneSet() {
    if (state_.resyncing) {
        return true;
    }
    if (state_.setsInFlight > 0) {
        --state_.setsInFlight;
    }
    if (state_.setsInFlight > 0) {
        timers_.StartTimer(TIMER_CONFIRM, kConfirmTimeoutMs);
        return true;
    }
    timers_.StopTimer(TIMER_CONFIRM);
    return false;
}

void PanelLogic::EndSetsInFlight() {
    timers_.StopTimer(TIMER_CONFIRM);
    state_.setsInFlight = 0;
    state_.resyncing = false;
    state_.resyncQueries.clear();
}

// Whether a configuration reply shows what the module holds after every set frame sent: it
// answers the oldest query of the resync, and none went out after that query. Outside a resync
// (the configuration an open or a re-open asks for) it does when no frame is unconfirmed.
bool PanelLogic::ConfirmsAllSets() {
    if (state_.resyncQueries.empty()) {
        return !state_.resyncing && state_.setsInFlight == 0;
    }
    const bool none = state_.resyncQueries.front() == state_.setFramesSent;
    state_.resyncQueries.pop_front();
    return none;
}

// A set frame or its confirmation was lost (or the module is slow): ask for the configuration,
// whose reply carries both setpoints, and ask again every second until a reply shows what the
// module holds after the last set frame. Nothing else is sent on the panel's own account, least
// of all a setpoint. The count of frames in flight ends here, so a lost frame cannot hold the
// step base for ever.
void PanelLogic::OnConfirmTimeout() {
    if (!state_.portOpen || (state_.setsInFlight == 0 && !state_.resyncing)) {
        EndSetsInFlight();
        return;
    }
    state_.setsInFlight = 0;
    state_.resyncing = true;
    if (state_.resyncQueries.size() < kResyncQueriesKept) {
        state_.resyncQueries.push_back(state_.setFramesSent);
    }
    KeepFrameGap();
    QueueQuery(kQueryConfigFrame);
}

void PanelLogic::SetActiveSetpoint(std::int32_t value) {
    state_.ActiveSetpoint() = value;
    BuildSetFrame(value);
    SendSetFrame();
}

void PanelLogic::Apply() {
    if (!state_.configured || !state_.portOpen) {
        return;
    }
    const std::string text = window_.ControlText(IDC_CURRENT);
    if (text.empty()) {
        // The box takes the release of a held step button, so its repeat ends here, not later.
        if (state_.repeating) {
            EndRepeat();
        }
        NotifyBox(kFormatErrorText, kWarningTitle);
        window_.ShowWarning(kFormatErrorText, kWarningTitle);
        return;
    }
    window_.EndCurrentEdit();
    // The typed value replaces whatever a reply held back from the field during the edit; what
    // the module makes of it shows with its confirmation, or with the configuration if none comes.
    state_.fieldBehind = false;
    SendTypedValue(text);
}

// A typed value, from the field or from a host's typed input: the poll waits for the set frame to
// settle, so the next poll cannot send the slider's old position in between. Returns the set
// frame sent, as it was before the wait.
PanelSetSent PanelLogic::SendTypedValue(std::string_view text) {
    timers_.StopTimer(TIMER_POLL);
    NoteSetRequest(SetReason::Typed, static_cast<double>(TypedValueAsked(text)));
    SetActiveSetpoint(TypedValueInRange(text, state_.ActiveMaximum()));
    const PanelSetSent sent = lastSetSent_;
    timers_.Wait(kSettleWaitMs);
    timers_.StartTimer(TIMER_POLL, kPollPeriodMs);
    return sent;
}

// One step on a click; while a button is held the step grows with the repeat count.
int PanelLogic::StepSize() const {
    return state_.repeatCount / kRepeatTicksPerStepSize + 1;
}

// Both directions land within 0 and the maximum, also from a setpoint the module reported
// outside it: one step down from above the maximum must not leave the current there.
void PanelLogic::StepDown() {
    if (!state_.configured || !state_.portOpen) {
        return;
    }
    NoteSetRequest(SetReason::Step, state_.ActiveSetpoint() - StepSize());
    SetActiveSetpoint(std::clamp(state_.ActiveSetpoint() - StepSize(), 0, state_.ActiveMaximum()));
}

void PanelLogic::StepUp() {
    if (!state_.configured || !state_.portOpen) {
        return;
    }
    NoteSetRequest(SetReason::Step, state_.ActiveSetpoint() + StepSize());
    SetActiveSetpoint(std::clamp(state_.ActiveSetpoint() + StepSize(), 0, state_.ActiveMaximum()));
}
