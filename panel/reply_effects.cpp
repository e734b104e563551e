// What each reply does to the device state and to the display. The slider and the current field
// show a setpoint only when the module confirms it here.
#include "panel/number_text.h"
#include "panel/panel_logic.h"
#include "panel/panel_timing.h"
#include "protocol/reply_layout.h"
#include "resources/resource.h"

namespace {

constexpr int kSliderTickDivisions = 10;  // ticks at tenths of the range, ends excluded
constexpr double kTemperatureUnit = 0.01;
constexpr double kPowerUnitVariantA = 0.1;

}  // namespace

void PanelLogic::DispatchReply(std::span<const std::uint8_t> frame) {
    switch (frame[kCodeIndex]) {
        case REPLY_CONFIG:
            OnConfigReply(frame);
            break;
        case REPLY_SETPOINTS:
            OnSetpointsReply(frame);
            break;
        case REPLY_TEMP:
            OnTempReply(frame);
            break;
        case REPLY_POWER:
            OnPowerReply(frame);
            break;
        default:
            break;  // other reply types are well-formed but mean nothing to the panel
    }
}

// A reply too short for the setpoints and maxima is dropped rather than read past its end. One
// that carries them but not the variant byte applies them and keeps the variant as it was (the
// start variant before any configuration): stale bytes of an earlier reply must never switch the
// variant and make the panel send the other set command.
// The reply also shows what the module holds, so it confirms every set frame sent before the
// panel asked for it. When set frames went out after the question, the reply shows on the
// slider, but the value the next step starts from stays the one last sent.
void PanelLogic::OnConfigReply(std::span<const std::uint8_t> frame) {
    if (!ReplyCarries(frame, kConfigFieldsMinLength)) {
        return;
    }
    const std::uint8_t variantBefore = state_.variant;
    const std::int32_t stepBase = state_.ActiveSetpoint();
    state_.setpointA = ReadU16(frame, kConfigSetpointA);
    state_.setpointB = ReadU16(frame, kConfigSetpointB);
    state_.maxA = ReadU16(frame, kConfigMaxA);
    state_.maxB = ReadU16(frame, kConfigMaxB);
    if (ReplyCarries(frame, kConfigMinLength)) {
        state_.variant = frame[kConfigVariant];
    }

    const std::int32_t maximum = state_.ActiveMaximum();
    const std::int32_t setpoint = state_.ActiveSetpoint();
    if (ConfirmsAllSets()) {
        EndSetsInFlight();
    } else if (state_.variant == variantBefore) {
        state_.ActiveSetpoint() = stepBase;
    }
    window_.SetSliderRange(0, maximum);
    window_.ClearSliderTicks();
    for (int i = 1; i < kSliderTickDivisions; ++i) {
        window_.SetSliderTick(i * maximum / kSliderTickDivisions);
    }
    PlaceSlider(setpoint);
    ShowSetpointInField(setpoint);

    if (!state_.configured) {
        timers_.StopTimer(TIMER_CONFIG);
        timers_.StartTimer(TIMER_POLL, kPollPeriodMs);
        state_.configured = true;
    }
    NotifyConfiguration();
}

// The module answers each set frame with its setpoints. Confirmations can come late, several
// set frames behind: the reply shows on the slider and in the field, but while later frames are
// unconfirmed (or the panel waits for the configuration it asked for) it is not the value the
// next step starts from, so a held step button never steps back from what it last sent.
void PanelLogic::OnSetpointsReply(std::span<const std::uint8_t> frame) {
    if (!ReplyCarries(frame, kSetpointsMinLength)) {
        return;
    }
    const bool keepStepBase = ConfirmOneSet() || state_.resyncing;
    const std::int32_t stepBase = state_.ActiveSetpoint();
    state_.setpointA = ReadU16(frame, kSetpointsA);
    state_.setpointB = ReadU16(frame, kSetpointsB);
    const std::int32_t setpoint = state_.ActiveSetpoint();
    if (keepStepBase) {
        state_.ActiveSetpoint() = stepBase;
    }
    PlaceSlider(setpoint);
    ShowSetpointInField(setpoint);
    NotifySetpoints();
}

// Digits the operator is typing must not join a value written under the caret: while the field
// is being edited, a reply moves the slider and the state but leaves the field's text alone.
void PanelLogic::ShowSetpointInField(std::int32_t setpoint) {
    if (window_.IsEditingCurrent()) {
        state_.fieldBehind = true;
        state_.fieldSetpoint = setpoint;
        return;
    }
    state_.fieldBehind = false;
    window_.SetControlText(IDC_CURRENT, FormatInteger(setpoint));
}

// The poll compares the slider with this setpoint, not with what the slider can show: one above
// its range shows as the end, and the poll then pulls the module's setpoint down to it.
void PanelLogic::PlaceSlider(std::int32_t setpoint) {
    window_.SetSliderPosition(setpoint);
    state_.knownSliderPosition = setpoint;
}

void PanelLogic::OnTempReply(std::span<const std::uint8_t> frame) {
    if (!ReplyCarries(frame, kTempMinLength)) {
        return;
    }
    state_.tempA = ReadU16(frame, kTempA);
    state_.tempB = ReadU16(frame, kTempB);
    ShowReading(IDC_LD_TEMP, FormatOneDecimal(state_.ActiveTemperature() * kTemperatureUnit),
                state_.tempFresh, TIMER_TEMP_STALE);
    NotifyTemperature();
}

void PanelLogic::OnPowerReply(std::span<const std::uint8_t> frame) {
    if (!ReplyCarries(frame, kPowerMinLength)) {
        return;
    }
    state_.power = ReadU16(frame, kPower);
    ShowReading(IDC_POWER,
                state_.UsesVariantB() ? FormatInteger(state_.power)
                                      : FormatOneDecimal(state_.power * kPowerUnitVariantA),
                state_.powerFresh, TIMER_POWER_STALE);
    NotifyPower();
}

// A reading is live for as long as the next one can be expected; after that, or once nothing is
// connected behind it, it keeps its text but shows as stale until a new one arrives.
void PanelLogic::ShowReading(int controlId, const std::string& text, bool& fresh,
                             int staleTimerId) {
    window_.SetControlText(controlId, text);
    if (!fresh) {
        fresh = true;
        window_.SetReadingStale(controlId, false);
    }
    timers_.StartTimer(staleTimerId, kReadingStaleMs);
}

void PanelLogic::ShowReadingStale(int controlId, bool& fresh, int staleTimerId) {
    timers_.StopTimer(staleTimerId);
    if (fresh) {
        fresh = false;
        window_.SetReadingStale(controlId, true);
    }
}

void PanelLogic::ShowReadingsStale() {
    ShowReadingStale(IDC_LD_TEMP, state_.tempFresh, TIMER_TEMP_STALE);
    ShowReadingStale(IDC_POWER, state_.powerFresh, TIMER_POWER_STALE);
}
