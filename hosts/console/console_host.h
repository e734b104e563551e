// The panel's core hosted in a terminal: the same device state, port list, port object and panel
// logic as the window, the window's controls in memory, the core's timers and the port on ldctl's
// event loop, and the boxes printed to standard error, naming the port. Commands use the panel's
// typed inputs and follow its typed events; nothing here decides for the panel.
//
// One class on both platforms: on Linux the port is the termios port object on a poll() loop; on
// Windows it is the window's port object with its worker, which hands each byte to the loop's
// message-only window.
#ifndef DRIVERPANEL_HOSTS_CONSOLE_CONSOLE_HOST_H
#define DRIVERPANEL_HOSTS_CONSOLE_CONSOLE_HOST_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "hosts/console/exit_status.h"
#include "panel/device_state.h"
#include "panel/headless_window.h"
#include "panel/panel_logic.h"
#ifdef _WIN32
#include "hosts/console/win32/console_loop.h"
#include "hosts/console/win32/stop_signals.h"
#include "serial/win32/com_probe.h"
#include "serial/win32/comm_port.h"
#else
#include "hosts/console/linux/console_loop.h"
#include "hosts/console/linux/stop_signals.h"
#include "serial/linux/comm_port.h"
#include "serial/linux/event_loop_port_owner.h"
#include "serial/linux/port_registry.h"
#endif

// How long ldctl waits for the module to answer (its configuration, a set value's
// confirmation) before it gives up: fifteen of the panel's configuration queries.
constexpr std::chrono::seconds kAnswerTimeout{3};

class ConsoleHost : private PanelListener {
  public:
    explicit ConsoleHost(StopSignals& signals);
    // Closes an open port as the panel's ClosePort does.
    ~ConsoleHost();
    ConsoleHost(const ConsoleHost&) = delete;
    ConsoleHost& operator=(const ConsoleHost&) = delete;

    // The port list as the panel fills it; nothing is opened.
    std::vector<PanelPort> ListPorts();
    // The device a listed port opens: /dev/ttyUSB0, \\.\COM3 (on Linux empty once it is gone).
    std::string DevicePath(int portNumber);

    // Opens the port named as listed, by a path to its device or by its number, as the panel's
    // OpenPort does. Throws CommandFailure: not found, ambiguous (a number that is also a port's
    // name), busy, permission denied, port failed.
    void Open(const std::string& port);
    // Runs the panel until the module's configuration arrived. Throws CommandFailure when it
    // does not come in time, the port is lost, or a stop signal arrives.
    void AwaitConfiguration();
    // Closes the port as the panel's ClosePort does, if it is open.
    void Close();

    // Since Open: an "Application Error" box was shown, or the port went away.
    bool PortLost() const;
    // The module's configuration arrived since the port was last opened (or re-opened).
    bool Configured() const { return configured_; }
    // The last configuration the module sent.
    const PanelConfiguration& Configuration() const { return configuration_; }
    // The failure for a lost port; its line is already printed when a box was shown.
    CommandFailure LostPortFailure() const;
    // The port as the user named it, for messages.
    const std::string& PortName() const { return portName_; }

    // Members in construction order; each is used only by those after it.
    DeviceState state;
#ifdef _WIN32
    Win32PortProbe registry;
#else
    PortRegistry registry;
#endif
    HeadlessWindow window;
    ConsoleLoop loop;
#ifndef _WIN32
    EventLoopPortOwner owner;
#endif
    CCommPort port;
    PanelLogic logic;

  private:
    void OnConfiguration(const PanelConfiguration& configuration) override {
        configuration_ = configuration;
        configured_ = true;
    }
    void OnPortOpened(const PanelPortOpened&) override;
    void OnPortClosed(const PanelPortClosed&) override;

    void PrintBox(const std::string& title, const std::string& text);
    void ApplicationErrorShown(const std::string& text);
    // The listed port the user named, as this platform names ports; throws CommandFailure when
    // none or more than one is meant.
    PanelPort FindPort(const std::vector<PanelPort>& ports, const std::string& name);
    CommandFailure OpenFailure(int portNumber, OpenStatus status);

    // All on the loop's thread, where the boxes are shown and the panel reports.
    std::string portName_;
    bool opened_ = false;
    bool portOpen_ = false;
    bool configured_ = false;
    PanelConfiguration configuration_;
    bool applicationErrorShown_ = false;
};

#endif
