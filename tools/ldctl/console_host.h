// The panel's core hosted in a terminal: the same device state, port registry, port object and
// panel logic as the window, the window's controls in memory, the core's timers and the port's
// descriptor on ldctl's poll() loop, and the boxes printed to standard error, naming the port.
// Commands call what the panel's controls would call; nothing here decides for the panel.
#ifndef DRIVERPANEL_TOOLS_LDCTL_CONSOLE_HOST_H
#define DRIVERPANEL_TOOLS_LDCTL_CONSOLE_HOST_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "panel/device_state.h"
#include "panel/panel_logic.h"
#include "serial/posix/comm_port.h"
#include "serial/posix/event_loop_port_owner.h"
#include "serial/posix/port_registry.h"
#include "tools/ldctl/console_loop.h"
#include "tools/ldctl/console_window.h"
#include "tools/ldctl/exit_status.h"
#include "tools/ldctl/stop_signals.h"

// How long ldctl waits for the module to answer (its configuration, a set value's
// confirmation) before it gives up: fifteen of the panel's configuration queries.
constexpr std::chrono::seconds kAnswerTimeout{3};

// The panel's port service, counting the set frames it queues (a set value is confirmed only
// once the module has answered every set frame sent for it) and keeping why the last open failed.
class CountingPortService : public PortService {
  public:
    explicit CountingPortService(PortService& port) : port_(port) {}

    OpenResult Setup(int portNumber, const LineSettings& settings) override {
        lastOpen_ = port_.Setup(portNumber, settings);
        return lastOpen_;
    }
    bool StartWorker() override { return port_.StartWorker(); }
    void Shutdown() override { port_.Shutdown(); }
    void QueueWrite(const std::uint8_t* bytes, std::size_t count) override;

    int SetFramesQueued() const { return setFrames_; }
    const OpenResult& LastOpen() const { return lastOpen_; }

  private:
    PortService& port_;
    OpenResult lastOpen_;
    int setFrames_ = 0;  // the loop's thread only, where the panel queues its frames
};

class ConsoleHost {
  public:
    explicit ConsoleHost(StopSignals& signals);
    // Closes an open port as the panel's ClosePort does.
    ~ConsoleHost();
    ConsoleHost(const ConsoleHost&) = delete;
    ConsoleHost& operator=(const ConsoleHost&) = delete;

    // The port list as the panel fills it; nothing is opened.
    void ListPorts();

    // Opens the port named as listed, by its device path or by its number, as the panel's
    // OpenPort does. Throws CommandFailure: not found, busy, permission denied, port failed.
    void Open(const std::string& port);
    // Runs the panel until the module's configuration arrived. Throws CommandFailure when it
    // does not come in time, the port is lost, or a stop signal arrives.
    void AwaitConfiguration();
    // Closes the port as the panel's ClosePort does, if it is open.
    void Close();

    // Since Open: an "Application Error" box was shown, or the port went away.
    bool PortLost() const;
    // The failure for a lost port; its line is already printed when a box was shown.
    CommandFailure LostPortFailure() const;
    // The port as the user named it, for messages.
    const std::string& PortName() const { return portName_; }
    // Runs with each received byte after the panel has handled it.
    void OnReceived(std::function<void(std::uint8_t byte)> observer) {
        onReceived_ = std::move(observer);
    }
    // How many "Warning!" boxes the panel has shown.
    int WarningsShown() const { return warningsShown_; }

    // Members in construction order; each is used only by those after it.
    DeviceState state;
    PortRegistry registry;
    ConsoleWindow window;
    ConsoleLoop loop;
    EventLoopPortOwner owner;
    CCommPort port;
    CountingPortService countingService;
    PanelLogic logic;

  private:
    void PrintBox(const std::string& title, const std::string& text);
    int FindPortItem(const std::string& port);
    CommandFailure OpenFailure(int portNumber);

    // All on the loop's thread, where the boxes are shown and bytes are handled.
    std::function<void(std::uint8_t)> onReceived_;
    std::string portName_;
    bool opened_ = false;
    bool applicationErrorShown_ = false;
    int warningsShown_ = 0;
};

#endif
