// What the panel does on its own: asking for the configuration, polling and following the
// slider, repeating a held step button; and the keyboard and mouse rules applied before dispatch.
#include "panel/panel_logic.h"
#include "panel/panel_timing.h"
#include "resources/resource.h"

void PanelLogic::QueueQuery(const QueryFrame& frame) {
    port_.QueueWrite(frame.data(), frame.size());
    state_.lastFrameMs = timers_.NowMs();
}

// A frame the panel sends on a timer of its own, apart from the poll, keeps the poll's gap after
// the frame before it: replies that follow each other closely could otherwise join a reply cut
// short with the start of the next.
void PanelLogic::KeepFrameGap() {
    const std::int64_t since = timers_.NowMs() - state_.lastFrameMs;
    if (since < kFrameGapMs) {
        timers_.Wait(static_cast<int>(kFrameGapMs - since));
    }
}

// A dragged slider reaches the module only here, at the next poll. The slider's position goes
// out only when it is not where the panel last put it or took it from: a typed or stepped value
// whose confirmation is late or lost must not be undone by sending the old position back. A
// setpoint above the slider's range still shows as the end of the range, so it is pulled down.
void PanelLogic::Poll() {
    CatchUpField();
    const int position = window_.SliderPosition();
    if (position != state_.knownSliderPosition) {
        NotePollSet(position);
        state_.knownSliderPosition = position;
        state_.ActiveSetpoint() = position;
        BuildSetFrame(position);
        if (state_.portOpen) {
            SendSetFrame();
        }
        timers_.Wait(kFrameGapMs);
    }
    if (state_.portOpen) {
        QueueQuery(kQueryTempFrame);
        timers_.Wait(kFrameGapMs);
        QueueQuery(kQueryPowerFrame);
        NotifyPollSent();
    }
}

// A setpoint a reply held back from the field while the operator typed shows once the edit is
// over: applied, or left. Not when the focus leaves itself: a click on SET takes the focus before
// it applies the typed text, which the held-back value must not replace first.
void PanelLogic::CatchUpField() {
    if (state_.fieldBehind && !window_.IsEditingCurrent()) {
        ShowSetpointInField(state_.fieldSetpoint);
    }
}

// A release the panel did not see (it came while a box was up) must not leave the current
// ramping to the maximum: a tick without the button down is that release, and steps nothing.
void PanelLogic::RepeatStep(void (PanelLogic::*step)()) {
    if (!window_.IsLeftButtonDown()) {
        EndRepeat();
        return;
    }
    if (state_.repeatCount < kRepeatCountLimit) {
        ++state_.repeatCount;
    }
    (this->*step)();
}

// What a left-button release does to a held step button: its repeat ends and polling resumes.
void PanelLogic::EndRepeat() {
    timers_.StopTimer(TIMER_STEP_UP);
    timers_.StopTimer(TIMER_STEP_DOWN);
    state_.repeatCount = 0;
    state_.repeating = false;
    if (state_.configured) {
        timers_.StartTimer(TIMER_POLL, kPollPeriodMs);
    }
}

void PanelLogic::OnDeactivate() {
    if (state_.repeating) {
        EndRepeat();
    }
}

void PanelLogic::OnTimer(int timerId) {
    switch (timerId) {
        case TIMER_POLL:
            Poll();
            break;
        case TIMER_STEP_DOWN:
            RepeatStep(&PanelLogic::StepDown);
            break;
        case TIMER_STEP_UP:
            RepeatStep(&PanelLogic::StepUp);
            break;
        case TIMER_CONFIG:
            QueueQuery(kQueryConfigFrame);
            break;
        case TIMER_CONFIRM:
            OnConfirmTimeout();
            break;
        case TIMER_TEMP_STALE:
            ShowReadingStale(IDC_LD_TEMP, state_.tempFresh, TIMER_TEMP_STALE);
            break;
        case TIMER_POWER_STALE:
            ShowReadingStale(IDC_POWER, state_.powerFresh, TIMER_POWER_STALE);
            break;
        default:
            break;
    }
}

// Enter applies only in the current field and Escape never reaches the dialog, so neither can
// close the panel. A press on a step button starts its repeat; a release anywhere ends it and
// resumes polling. Every mouse message goes on, so buttons still press and click as usual.
bool PanelLogic::PreTranslate(const InputMessage& message) {
    switch (message.kind) {
        case InputKind::KeyDown:
            if (message.key == kKeyReturn) {
                if (message.controlId != IDC_CURRENT) {
                    return true;
                }
                Apply();
                return false;
            }
            return message.key == kKeyEscape;
        case InputKind::LeftButtonDown:
            if (state_.configured &&
                (message.controlId == IDC_STEP_DOWN || message.controlId == IDC_STEP_UP)) {
                const bool down = message.controlId == IDC_STEP_DOWN;
                timers_.StopTimer(TIMER_POLL);
                timers_.StopTimer(down ? TIMER_STEP_UP : TIMER_STEP_DOWN);
                state_.repeatCount = 0;
                state_.repeating = true;
                timers_.StartTimer(down ? TIMER_STEP_DOWN : TIMER_STEP_UP, kStepRepeatPeriodMs);
            }
            return false;
        case InputKind::LeftButtonUp:
            if (state_.configured) {
                EndRepeat();
            }
            return false;
        case InputKind::Other:
            break;
    }
    return false;
}
