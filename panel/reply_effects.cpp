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

// A short reply is dropped rather than read past its end: stale bytes of an earlier reply could
// otherwise switch the variant and make the panel send the other set command.
void PanelLogic::OnConfigReply(std::span<const std::uint8_t> frame) {
    if (!ReplyCarries(frame, kConfigMinLength)) {
        return;
    }
    state_.setpointA = ReadU16(frame, kConfigSetpointA);
    state_.setpointB = ReadU16(frame, kConfigSetpointB);
    state_.maxA = ReadU16(frame, kConfigMaxA);
    state_.maxB = ReadU16(frame, kConfigMaxB);
    state_.variant = frame[kConfigVariant];

    const std::int32_t maximum = state_.ActiveMaximum();
    const std::int32_t setpoint = state_.ActiveSetpoint();
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

void PanelLogic::OnSetpointsReply(std::span<const std::uint8_t> frame) {
    if (!ReplyCarries(frame, kSetpointsMinLength)) {
        return;
    }
    state_.setpointA = ReadU16(frame, kSetpointsA);
    state_.setpointB = ReadU16(frame, kSetpointsB);
    const std::int32_t setpoint = state_.ActiveSetpoint();
    PlaceSlider(setpoint);
    ShowSetpointInField(setpoint);
    NotifySetpoints();
}

// Digits the operator is typing must not join a value written under the caret: while the field
// is being edited, a reply moves the slider and the state but leaves the field's text alone.
void PanelLogic::ShowSetpointInField(std::int32_t setpoint) {
    if (window_.IsEditingCurrent()) {
        return;
    }
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
    window_.SetControlText(IDC_LD_TEMP,
                           FormatOneDecimal(state_.ActiveTemperature() * kTemperatureUnit));
    NotifyTemperature();
}

void PanelLogic::OnPowerReply(std::span<const std::uint8_t> frame) {
    if (!ReplyCarries(frame, kPowerMinLength)) {
        return;
    }
    state_.power = ReadU16(frame, kPower);
    window_.SetControlText(IDC_POWER, state_.UsesVariantB()
                                          ? FormatInteger(state_.power)
                                          : FormatOneDecimal(state_.power * kPowerUnitVariantA));
    NotifyPower();
}
