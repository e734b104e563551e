// Everything the panel does, free of any window system: reply effects, setpoint control, timers
// and input rules, the port list and connection control. The window maps its messages onto these
// entry points and provides the services behind PanelWindow, UiTimers, PortService and PortProbe.
#ifndef DRIVERPANEL_PANEL_PANEL_LOGIC_H
#define DRIVERPANEL_PANEL_PANEL_LOGIC_H

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "panel/device_state.h"
#include "panel/input_message.h"
#include "panel/panel_events.h"
#include "panel/panel_timers.h"
#include "panel/panel_window.h"
#include "panel/ui_timers.h"
#include "serial/port_service.h"

class PanelLogic {
  public:
    PanelLogic(DeviceState& state, PanelWindow& window, UiTimers& timers, PortService& port,
               PortProbe& probe);

    // The panel's initialisation after its controls exist: port list, open button, list enabled.
    void OnInitDialog();
    // The ports as the port list offers them, in its order, since FillPortList last ran.
    std::vector<PanelPort> PortList() const;

    // One received byte and the number of the port it came from (the reply assembler).
    void OnPortByte(std::uint8_t byte, int portNumber);
    // The same for a host that reads a block at a time on this thread: the byte's block was read
    // at receivedAtMs (the clock of UiTimers::NowMs), which times it for the reply assembler.
    void OnPortByte(std::uint8_t byte, int portNumber, std::int64_t receivedAtMs);

    // A tick of one of the panel's timers.
    void OnTimer(int timerId);

    // Pre-translation: true when the message is swallowed, false when it goes on to dispatch.
    bool PreTranslate(const InputMessage& message);

    // The panel lost activation to another window (a box, another program): a held step button
    // no longer reaches it, so its repeat ends as on a release.
    void OnDeactivate();

    // Control notifications.
    void Apply();        // SET clicked, or Enter in the current field
    void StepDown();     // 《 clicked, and each TIMER_STEP_DOWN tick
    void StepUp();       // 》 clicked, and each TIMER_STEP_UP tick
    void OnOpenClose();  // OpenPort / ClosePort clicked
    void OnDeviceChange();
    void FillPortList();

    // Listeners hear of what happens as typed values (panel/panel_events.h), in the order added.
    void AddListener(PanelListener& listener);
    void RemoveListener(PanelListener& listener);

    // Typed inputs for hosts, on the panel's thread. They take the same path as the window's
    // controls and write no control text.
    //
    // A current in mA applied as a typed value and SET: truncated toward zero and held to
    // 0 ... the active maximum, sent once, confirmed as a typed value is; refused, sending
    // nothing, when the panel is not configured or no port is open. The text is read by the
    // current field's rule (panel/typed_value.h: text without a number reads as 0); hosts that
    // take values from scripts check them first, or pass a number.
    SetOutcome SetCurrent(double milliamps);
    SetOutcome SetCurrentText(std::string_view text);
    // Selects the port in the list and opens it as OpenPort does.
    OpenOutcome OpenPort(int portNumber);
    OpenOutcome OpenPort(std::string_view listedName);
    // Closes the open port as ClosePort does; false when none was open.
    bool ClosePort();
    // The open port hung up or reported a read error. Decided here for every host: it is a
    // device change (the port is re-opened if it is still there).
    void OnPortHangUp();

  private:
    // Reply effects: each is given a whole checked frame and drops it when it is too short for
    // the fields it reads.
    void TakeReceivedByte(std::uint8_t byte, int portNumber, std::int64_t receiveClockMs);
    void DispatchReply(std::span<const std::uint8_t> frame);
    void OnConfigReply(std::span<const std::uint8_t> frame);
    void OnSetpointsReply(std::span<const std::uint8_t> frame);
    void OnTempReply(std::span<const std::uint8_t> frame);
    void OnPowerReply(std::span<const std::uint8_t> frame);
    void PlaceSlider(std::int32_t setpoint);
    void ShowSetpointInField(std::int32_t setpoint);
    void ShowReading(int controlId, const std::string& text, bool& fresh, int staleTimerId);
    void ShowReadingStale(int controlId, bool& fresh, int staleTimerId);
    void ShowReadingsStale();

    // Confirmation of set frames: counting them out and in, and asking the module what it holds
    // when a confirmation does not come.
    bool ConfirmOneSet();
    bool ConfirmsAllSets();
    void EndSetsInFlight();
    void OnConfirmTimeout();

    // Setpoint control.
    void BuildSetFrame(std::int32_t value);
    void SendSetFrame();
    void SetActiveSetpoint(std::int32_t value);
    PanelSetSent SendTypedValue(std::string_view text);
    int StepSize() const;

    // Timer ticks.
    void Poll();
    void RepeatStep(void (PanelLogic::*step)());
    void EndRepeat();
    void QueueQuery(const QueryFrame& frame);
    void CatchUpField();
    void KeepFrameGap();

    // Connection control.
    bool SetupSelectedPort();
    void StopAllTimers();
    void ShowClosed();
    void HandleDeviceChange();

    DeviceState& state_;
    PanelWindow& window_;
    PanelTimers timers_;
    PortService& port_;
    PortProbe& probe_;
    // UI thread only. Set while a device change is handled; a change that arrives meanwhile (the
    // port's stop keeps dispatching the panel's messages) only marks that the devices changed
    // again, and the running handling goes round once more when it is done.
    bool handlingDeviceChange_ = false;
    bool devicesChangedAgain_ = false;

    // Typed events (panel_events.cpp). Each Notify is called once where the thing happened.
    // The setpoints as the module's reply carries them: while set frames are in flight the
    // state keeps the step base instead, which is the panel's value, not the module's.
    void NotifyConfiguration(std::int32_t setpointA, std::int32_t setpointB);
    void NotifySetpoints(std::int32_t setpointA, std::int32_t setpointB);
    void NotifyTemperature();
    void NotifyPower();
    void NotifyPollSent();
    // Why the next set frame goes out and what was asked; SendSetFrame reports it and forgets
    // it, so a frame sent without a request reads as a resend.
    void NoteSetRequest(SetReason reason, double asked);
    void NotePollSet(int sliderPosition);
    void NotifySetSent();
    void NotifyOpened(bool reopened);
    void NotifyClosed(PortCloseCause cause);
    void NotifyLost(PortLossCause cause);
    void NotifyOpenFailed();
    void NotifyBox(const std::string& text, const std::string& title);
    PanelPort SelectedPanelPort() const;
    OpenOutcome OpenListedItem(int item);
    template <typename Event>
    void Notify(void (PanelListener::*handler)(const Event&), const Event& event);

    std::vector<PanelListener*> listeners_;
    struct SetRequest {
        SetReason reason;
        double asked;
    };
    std::optional<SetRequest> setRequest_;
    PanelSetSent lastSetSent_;
    std::array<std::string, kPortTableSize> portNames_;  // list text by list index
    PanelPort openPort_;  // the port last opened, for its close, loss or re-open
    bool hangUpPending_ = false;
    // Why the last Setup did or did not open the port, as the port object said.
    OpenResult lastOpenResult_;
};

#endif
