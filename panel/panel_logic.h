// Everything the panel does, free of any window system: reply effects, setpoint control, timers
// and input rules, the port list and connection control. The window maps its messages onto these
// entry points and provides the services behind PanelWindow, UiTimers, PortService and PortProbe.
#ifndef DRIVERPANEL_PANEL_PANEL_LOGIC_H
#define DRIVERPANEL_PANEL_PANEL_LOGIC_H

#include <cstdint>
#include <span>

#include "panel/device_state.h"
#include "panel/input_message.h"
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

    // Setpoint control.
    void BuildSetFrame(std::int32_t value);
    void SendSetFrame();
    void SetActiveSetpoint(std::int32_t value);
    int StepSize() const;

    // Timer ticks.
    void Poll();
    void RepeatStep(void (PanelLogic::*step)());
    void EndRepeat();
    void QueueQuery(const QueryFrame& frame);

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
};

#endif
