// The list of present ports, the open/close button, and the reaction to devices arriving or
// leaving: re-open the port if it is still there, otherwise drop it and list the ports again.
#include "panel/connection_settings.h"
#include "panel/panel_logic.h"
#include "panel/panel_texts.h"
#include "panel/panel_timing.h"
#include "resources/resource.h"

// The rebuilt list keeps the port that was selected while it is present, so that a close and a
// new open reach the same device; otherwise the first port is selected.
void PanelLogic::FillPortList() {
    const int item = window_.SelectedPortItem();
    const int previousPort =
        item >= 0 && item < state_.portCount ? state_.portTable[static_cast<std::size_t>(item)] : 0;
    int reselect = 0;
    window_.ResetPortList();
    state_.portCount = 0;
    state_.configured = false;
    state_.portOpen = false;
    state_.selectedPort = 0;
    for (int n = kFirstPortNumber; n <= kLastPortNumber; ++n) {
        const auto text = probe_.Probe(n);
        if (!text) {
            continue;
        }
        if (n == previousPort) {
            reselect = state_.portCount;
        }
        state_.portTable[state_.portCount] = static_cast<std::uint8_t>(n);
        window_.InsertPortItem(state_.portCount, *text);
        portNames_[state_.portCount] = *text;
        ++state_.portCount;
    }
    if (state_.portCount != 0) {
        window_.SelectPortItem(reselect);
    }
}

// Bytes still on their way from the previous connection must not complete a frame on this one,
// so the assembler starts afresh with every port it opens.
bool PanelLogic::SetupSelectedPort() {
    lastOpenResult_ = port_.Setup(state_.selectedPort, kConnectionSettings);
    if (!lastOpenResult_.Opened()) {
        NotifyOpenFailed();
        return false;
    }
    state_.assembler.Reset();
    return true;
}

// Nothing live is behind the readings once the port is closed or lost, so they show as stale at
// once; no frame sent on the old connection will be confirmed.
void PanelLogic::StopAllTimers() {
    for (int timerId : {TIMER_POLL, TIMER_STEP_DOWN, TIMER_STEP_UP, TIMER_CONFIG}) {
        timers_.StopTimer(timerId);
    }
    state_.repeating = false;
    EndSetsInFlight();
    ShowReadingsStale();
}

void PanelLogic::ShowClosed() {
    window_.SetControlText(IDC_OPEN_PORT, kOpenPortText);
    window_.EnableControl(IDC_PORT_LIST, true);
}

void PanelLogic::OnOpenClose() {
    if (state_.portOpen) {
        // A device change that comes while Shutdown dispatches must not re-open the port in the
        // middle of its close: the close would then show closed over a running worker. It is
        // handled once the close is done, as a change on a closed panel.
        handlingDeviceChange_ = true;
        devicesChangedAgain_ = false;
        port_.Shutdown();
        timers_.Wait(kSettleWaitMs);
        StopAllTimers();
        FillPortList();
        ShowClosed();
        NotifyClosed(PortCloseCause::Operator);
        handlingDeviceChange_ = false;
        if (devicesChangedAgain_) {
            OnDeviceChange();
        }
        return;
    }
    const int item = window_.SelectedPortItem();
    // The list holds exactly portCount items; anything else the window reports selects nothing.
    if (item < 0 || item >= state_.portCount) {
        return;
    }
    state_.selectedPort = state_.portTable[static_cast<std::size_t>(item)];
    if (!SetupSelectedPort()) {
        return;
    }
    window_.SetControlText(IDC_OPEN_PORT, kClosePortText);
    window_.EnableControl(IDC_PORT_LIST, false);
    timers_.StartTimer(TIMER_CONFIG, kConfigQueryPeriodMs);
    port_.StartWorker();
    // Open whatever the worker's start returned: the port is set up and must be closed again.
    state_.portOpen = true;
    NotifyOpened(false);
}

// A storm of changes would otherwise cost a whole close and re-open for each one, each closing
// the port the one before had just re-opened, long after the storm is over; and changes handled
// one inside another would each act on a connection the other was still changing.
void PanelLogic::OnDeviceChange() {
    if (handlingDeviceChange_) {
        devicesChangedAgain_ = true;
        return;
    }
    handlingDeviceChange_ = true;
    do {
        devicesChangedAgain_ = false;
        HandleDeviceChange();
    } while (devicesChangedAgain_);
    handlingDeviceChange_ = false;
}

void PanelLogic::HandleDeviceChange() {
    timers_.Wait(kSettleWaitMs);
    if (!state_.portOpen) {
        timers_.Wait(kSettleWaitMs);
        // Normally no timer runs here. After a failed re-open they still do; the panel now shows
        // closed, so they must not go on querying, or later send the slider to another port.
        StopAllTimers();
        FillPortList();
        ShowClosed();
        return;
    }
    port_.Shutdown();
    state_.portOpen = false;
    NotifyClosed(hangUpPending_ ? PortCloseCause::HangUp : PortCloseCause::DeviceChange);
    timers_.Wait(kSettleWaitMs);
    if (probe_.Probe(state_.selectedPort)) {
        // Still there, but another module may now be behind the same port: nothing may be sent
        // with the old configuration, so the panel asks for it again as after an open, and polls
        // with the first reply. List and button stay as they are.
        // Unconfigured, ending a repeat leaves the poll stopped until the first reply.
        // Set frames queued before the close (one may have been queued while the port stopped)
        // are confirmed by that configuration reply, not by a timeout on the old connection.
        state_.configured = false;
        timers_.StopTimer(TIMER_POLL);
        EndRepeat();
        EndSetsInFlight();
        ShowReadingsStale();
        if (SetupSelectedPort()) {
            timers_.StartTimer(TIMER_CONFIG, kConfigQueryPeriodMs);
            port_.StartWorker();
            state_.portOpen = true;
            NotifyOpened(true);
        } else {
            NotifyLost(PortLossCause::ReopenFailed);
        }
        return;
    }
    StopAllTimers();
    NotifyLost(PortLossCause::Gone);
    FillPortList();
    ShowClosed();
}
