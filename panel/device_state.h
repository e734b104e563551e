// The panel's record of the connection and of the module, and the rule that picks the active
// setpoint. UI thread only: every reader and writer runs on the panel's thread.
#ifndef DRIVERPANEL_PANEL_DEVICE_STATE_H
#define DRIVERPANEL_PANEL_DEVICE_STATE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>

#include "protocol/frame.h"
#include "protocol/reply_assembler.h"

// Ports COM1 to COM16 are offered, one entry of the port table each at most.
constexpr int kFirstPortNumber = 1;
constexpr int kLastPortNumber = 16;
constexpr std::size_t kPortTableSize = kLastPortNumber - kFirstPortNumber + 1;

// Before the first configuration reply the module is taken to be variant A.
constexpr std::uint8_t kStartVariant = 1;

struct DeviceState {
    bool portOpen = false;
    bool configured = false;  // a REPLY_CONFIG arrived since the port list was last rebuilt
    std::uint8_t selectedPort = 0;
    std::uint8_t portCount = 0;
    std::array<std::uint8_t, kPortTableSize> portTable{};  // port number by list index

    std::uint8_t variant = kStartVariant;
    std::int32_t setpointA = 0;  // mA, 0 to 65535
    std::int32_t setpointB = 0;
    std::int32_t maxA = 0;
    std::int32_t maxB = 0;
    std::uint16_t tempA = 0;  // 0.01 degC
    std::uint16_t tempB = 0;
    std::uint16_t power = 0;  // 0.1 mW under variant A, 1 mW under variant B

    std::uint8_t repeatCount = 0;  // auto-repeat ticks of a held step button, up to the limit
    bool repeating = false;        // a step button's repeat timer runs
    // Where the panel last put the slider (a confirmed setpoint) or last took its position from
    // (the poll). The slider shows anything else only when the operator moved it, or when it
    // could not show the setpoint the module reported.
    std::int32_t knownSliderPosition = 0;
    SetFrame setFrame = kEmptySetFrame;

    // Set frames sent and not yet confirmed by a setpoints reply. While later frames are still on
    // their way, the confirmation of an earlier one shows on the slider but is not the value the
    // next step starts from. A lost frame or confirmation would keep the count up for ever, so
    // the count ends when the panel asks for the configuration for want of a confirmation, and
    // with the connection.
    int setsInFlight = 0;
    // No confirmation came in time: the panel asks for the configuration once a second until a
    // configuration reply shows what the module holds after the last set frame. Meanwhile no
    // reply moves the step base, and setsInFlight is not counted.
    bool resyncing = false;
    // Set frames sent since the panel started, and the count at each configuration query still
    // unanswered, oldest first. The module answers in order, so a configuration reply answers
    // the oldest; it shows what the module holds now only when no set frame went out after that
    // query. A lost reply pairs later replies with older queries, which only delays the end.
    std::uint32_t setFramesSent = 0;
    std::deque<std::uint32_t> resyncQueries;
    // When the panel last queued a frame, by the UI clock.
    std::int64_t lastFrameMs = -1'000'000;
    // A reply's setpoint held back from the current field while the operator was editing it; the
    // field shows it at the first poll after the edit.
    bool fieldBehind = false;
    std::int32_t fieldSetpoint = 0;
    // Whether the temperature and power fields show a live reading; after a while without a new
    // one, or when the port closes, they show as stale.
    bool tempFresh = false;
    bool powerFresh = false;
    ReplyAssembler assembler;

    // The variant byte chooses setpoint, maximum, set command, temperature and power scale:
    // 0 and 1 select A, anything above 1 selects B.
    bool UsesVariantB() const { return variant > 1; }
    std::int32_t& ActiveSetpoint() { return UsesVariantB() ? setpointB : setpointA; }
    std::int32_t ActiveMaximum() const { return UsesVariantB() ? maxB : maxA; }
    std::uint8_t ActiveSetCommand() const { return UsesVariantB() ? CMD_SET_B : CMD_SET_A; }
    std::uint16_t ActiveTemperature() const { return UsesVariantB() ? tempB : tempA; }
};

#endif
