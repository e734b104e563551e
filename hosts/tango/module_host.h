// One module's panel core hosted for the Tango device server: the same device state, port
// registry, port object and panel logic as the window, on a thread of its own (the core thread)
// with its own loop. What the core reports is kept here, under a mutex, for Tango's reads; what
// clients ask (a current, an open, a close) is handed to the core thread and waited for. Nothing
// here decides for the panel: a written current goes through the panel's typed SET path.
#ifndef DRIVERPANEL_HOSTS_TANGO_MODULE_HOST_H
#define DRIVERPANEL_HOSTS_TANGO_MODULE_HOST_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "panel/panel_events.h"

// What the device shows as its Tango state.
enum class DriverState {
    Off,    // no port open
    Init,   // port open, the module's configuration not yet in
    On,     // configured: the module answers and is polled
    Fault,  // the port failed, hung up or is not there; the status says why
};

// A value and when it arrived; not valid when nothing live is behind it (stale, port closed).
struct DriverReading {
    double value = 0;
    bool valid = false;
    std::chrono::system_clock::time_point time{};
};

enum class DriverValue { Current, CurrentMax, Temperature, Power, Variant, State };

// A change for subscribers, in the order it happened.
struct DriverUpdate {
    DriverValue what = DriverValue::State;
    DriverReading reading;
    char variant = 0;  // for Variant: 'A' or 'B'
    DriverState state = DriverState::Off;
};

struct DriverSnapshot {
    DriverState state = DriverState::Off;
    std::string status;         // in words
    std::string port;           // the listed name of the port open, else the port as configured
    DriverReading current;      // mA: the setpoint the module last reported holding
    DriverReading currentMax;   // mA: the active channel's maximum
    DriverReading temperature;  // degC
    DriverReading power;        // mW
    char variant = 0;           // 'A' or 'B' while configured
};

struct DriverWrite {
    enum class Status {
        Confirmed,     // sent and answered by the module
        NotConfirmed,  // sent, but no answer in time
        NotANumber,    // NaN or infinite: nothing sent
        PortClosed,    // nothing sent
        NotConfigured,
        PortLost,  // sent, then the port went before the answer
        NoAnswer,  // the core thread did not take the request in time
    };
    Status status = Status::NoAnswer;
    SetOutcome sent;             // what went out, when something did
    std::int32_t confirmed = 0;  // what the module last reported holding
};

class ModuleHost {
  public:
    using UpdateSink = std::function<void(const std::vector<DriverUpdate>&)>;

    // `port` is a listed name, a number or a device path; empty: nothing is opened. `sink` hears
    // every change on the core thread; it must not wait for a Tango request.
    ModuleHost(std::string port, UpdateSink sink);
    // Closes the port as the panel's ClosePort does and ends the core thread.
    ~ModuleHost();
    ModuleHost(const ModuleHost&) = delete;
    ModuleHost& operator=(const ModuleHost&) = delete;

    DriverSnapshot Snapshot() const;

    // Any thread but the core's: a current in mA, applied as a typed value and SET, and the
    // module's answer waited for until `deadline`.
    DriverWrite SetCurrent(double milliamps, std::chrono::steady_clock::time_point deadline);
    // Opens the configured port (and re-opens it whenever it comes back); true once the request
    // was handled, whatever came of it: the state and status tell.
    bool Open(std::chrono::steady_clock::time_point deadline);
    // Closes the port and stops re-opening it.
    bool Close(std::chrono::steady_clock::time_point deadline);

    struct Core;  // the core thread's objects (module_host.cpp)

  private:
    bool RunOnCore(std::function<void(Core&)> task, std::chrono::steady_clock::time_point deadline);
    void CoreThread(std::string port);

    UpdateSink sink_;

    mutable std::mutex lock_;
    std::condition_variable changed_;
    DriverSnapshot snapshot_;         // guarded by lock_
    std::uint64_t setsSent_ = 0;      // guarded by lock_: set frames queued since the start
    std::uint64_t setsAnswered_ = 0;  // guarded by lock_: setpoints replies since the start
    bool portOpen_ = false;           // guarded by lock_
    Core* core_ = nullptr;            // guarded by lock_: set while the core thread runs

    std::thread thread_;
    friend struct Core;
};

#endif
