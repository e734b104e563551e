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

void PanelLogic::SendSetFrame() {
    port_.QueueWrite(state_.setFrame.data(), state_.setFrame.size());
    NotifySetSent();
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
    timers_.StopTimer(TIMER_POLL);
    NoteSetRequest(SetReason::Typed, static_cast<double>(TypedValueAsked(text)));
    SetActiveSetpoint(TypedValueInRange(text, state_.ActiveMaximum()));
    timers_.Wait(kSettleWaitMs);
    timers_.StartTimer(TIMER_POLL, kPollPeriodMs);
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
