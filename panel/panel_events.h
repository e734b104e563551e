// What the panel reports as it happens, as typed values, to any number of listeners beside its
// window: hosts that show no window (the console, a recorder, a control-system server) follow
// the panel here instead of reading control texts back. Every event is reported on the panel's
// thread, after the window shows it, and only once it happened (a frame queued, a port opened).
#ifndef DRIVERPANEL_PANEL_PANEL_EVENTS_H
#define DRIVERPANEL_PANEL_PANEL_EVENTS_H

#include <cstdint>
#include <string>

#include "serial/open_result.h"

// A port as the panel offers it: its number (1 to 16) and its text in the port list ("COM3",
// "ttyUSB0").
struct PanelPort {
    int number = 0;
    std::string name;
};

// The module's configuration reply. The variant byte picks the active channel: 0 and 1 select
// A, anything above 1 selects B.
struct PanelConfiguration {
    char variant = 'A';  // 'A' or 'B'
    std::uint8_t variantByte = 0;
    std::int32_t setpointA = 0;  // mA
    std::int32_t setpointB = 0;
    std::int32_t maxA = 0;
    std::int32_t maxB = 0;
    std::int32_t activeSetpoint = 0;
    std::int32_t activeMaximum = 0;
};

// The module's setpoints reply: what it holds now, its answer to a set frame.
struct PanelSetpoints {
    char channel = 'A';          // the active one, by the variant
    std::int32_t setpointA = 0;  // mA
    std::int32_t setpointB = 0;
    std::int32_t activeSetpoint = 0;
};

// A temperature reply, read from the word of the active channel as the window shows it.
struct PanelTemperature {
    double celsius = 0;
    std::uint16_t raw = 0;  // 0.01 degC
    char word = 'A';        // 'A' or 'B'
};

// A power reply: 0.1 mW a unit under variant A, 1 mW under variant B.
struct PanelPower {
    double milliwatts = 0;
    std::uint16_t raw = 0;
    char variant = 'A';
};

enum class SetReason {
    Typed,     // a typed value applied (SET, Enter, or a host's typed input)
    Step,      // a click on a step button, or a tick of a held one
    Slider,    // the slider moved by the operator, sent at the poll
    PullDown,  // a setpoint the module reported beyond the slider's range, sent at the poll as
               // the end of the range the slider shows
    Resync,    // a set frame sent again, not for a new request
};

// A set frame queued to the module.
struct PanelSetSent {
    std::int32_t milliamps = 0;  // the value in the frame
    char channel = 'A';          // 'A' (command 0x0C) or 'B' (0x0D)
    SetReason reason = SetReason::Typed;
    // What was asked, before the range 0 ... maximum: the typed number truncated toward zero
    // (negative for a minus sign), the step's target, the setpoint pulled down. clamped tells
    // that the value sent is not the value asked.
    double asked = 0;
    bool clamped = false;
};

enum class PortCloseCause {
    Operator,      // ClosePort clicked, or a host's close
    DeviceChange,  // devices arrived or left: closed to be re-opened if it is still there
    HangUp,        // the open port hung up: handled as a device change
};

struct PanelPortOpened {
    PanelPort port;
    bool reopened = false;  // re-opened by a device change; the configuration is asked again
};

struct PanelPortClosed {
    PanelPort port;
    PortCloseCause cause = PortCloseCause::Operator;
};

enum class PortLossCause {
    Gone,          // no longer present: the port list was rebuilt without it
    ReopenFailed,  // still present, but the re-open failed (reported just before)
};

// After a device change or a hang-up the panel is left without the port it had open.
struct PanelPortLost {
    PanelPort port;
    PortLossCause cause = PortLossCause::Gone;
};

// A port that did not open (an operator's or host's open, or a re-open after a device change).
struct PanelOpenFailed {
    PanelPort port;
    OpenResult result;
};

// A poll's temperature and power queries were queued to the module (every 500 ms while a
// configured port is open). The replies that come before the next poll answer this one.
struct PanelPoll {
    PanelPort port;
};

// A box the panel showed (title and text as shown).
struct PanelBox {
    std::string title;
    std::string text;
};

// Empty bodies: a listener overrides what it follows. Listeners must not add or remove listeners
// from inside a call.
class PanelListener {
  public:
    virtual ~PanelListener() = default;

    virtual void OnConfiguration(const PanelConfiguration&) {}
    virtual void OnSetpointsConfirmed(const PanelSetpoints&) {}
    virtual void OnTemperature(const PanelTemperature&) {}
    virtual void OnPower(const PanelPower&) {}
    virtual void OnPollSent(const PanelPoll&) {}
    virtual void OnSetSent(const PanelSetSent&) {}
    virtual void OnPortOpened(const PanelPortOpened&) {}
    virtual void OnPortClosed(const PanelPortClosed&) {}
    virtual void OnPortLost(const PanelPortLost&) {}
    virtual void OnOpenFailed(const PanelOpenFailed&) {}
    virtual void OnBoxShown(const PanelBox&) {}
};

// What a typed set input did.
enum class SetStatus {
    Sent,
    NotConfigured,  // no configuration reply since the port was opened: nothing sent
    PortClosed,     // no port open: nothing sent
    NoValue,        // empty text, or a number that is not finite: nothing sent, no box shown
};

struct SetOutcome {
    SetStatus status = SetStatus::NotConfigured;
    std::int32_t milliamps = 0;  // the value sent, when sent
    char channel = 'A';
    double asked = 0;
    bool clamped = false;
};

// What a typed open input did.
enum class OpenRequestStatus {
    Opened,
    AlreadyOpen,  // the panel has a port open: close it first
    NotListed,    // no port of that number or name in the list
    Failed,       // the port did not open; result tells why
};

struct OpenOutcome {
    OpenRequestStatus status = OpenRequestStatus::Failed;
    PanelPort port;
    OpenResult result;
};

#endif
