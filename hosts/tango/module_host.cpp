// The core thread: the panel's objects built and run on it, its typed events kept for Tango's
// reads and handed to the device's subscribers, and the port re-opened whenever it returns.
#include "hosts/tango/module_host.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <future>
#include <map>
#include <memory>
#include <optional>

#include "hosts/tango/core_loop.h"
#include "panel/device_state.h"
#include "panel/headless_window.h"
#include "panel/panel_logic.h"
#include "resources/resource.h"
#include "serial/linux/comm_port.h"
#include "serial/linux/device_watcher.h"
#include "serial/linux/event_loop_port_owner.h"
#include "serial/linux/port_lookup.h"
#include "serial/linux/port_registry.h"

namespace {

// While the device wants its port and does not have it, it looks again this often; the device
// watcher's events make it look at once.
constexpr int kReopenTimerId = 100;
constexpr int kReopenPeriodMs = 2000;

DriverReading Now(double value) {
    return DriverReading{value, true, std::chrono::system_clock::now()};
}

DriverReading Invalid() {
    return DriverReading{0, false, std::chrono::system_clock::now()};
}

}  // namespace

// Members in construction order; each is used only by those after it. Built, run and destroyed
// on the core thread, as the port's owner must be.
struct ModuleHost::Core : PanelListener {
    Core(ModuleHost& host, std::string portSpec)
        : host_(host),
          spec(std::move(portSpec)),
          window({}, [this](int controlId, bool stale) { OnStale(controlId, stale); }),
          loop([this](int timerId) {
              if (timerId == kReopenTimerId) {
                  TryOpen();
              } else {
                  logic.OnTimer(timerId);
              }
          }),
          owner([this](const std::string& text) { OnApplicationError(text); },
                [this](int fd, bool readable, bool writable) {
                    loop.WatchPort(fd, readable, writable,
                                   [this](short revents) { port.OnPollReady(revents); });
                }),
          port(registry, owner),
          logic(state, window, loop, port, registry) {
        owner.Attach(EventLoopPortOwner::Handlers{
            .byte =
                [this](std::uint8_t byte, int portNumber, std::int64_t receivedAtMs) {
                    logic.OnPortByte(byte, portNumber, receivedAtMs);
                },
            .lost = [this](int) { logic.OnPortHangUp(); },
        });
        loop.Watch(watcher.FileDescriptor(), [this] { OnDevicesChanged(); });
        logic.AddListener(*this);
    }

    ~Core() override {
        if (state.portOpen) {
            logic.ClosePort();
        }
        logic.RemoveListener(*this);
        owner.Detach();
    }

    void Start() {
        logic.OnInitDialog();
        if (spec.empty()) {
            SetState(DriverState::Fault,
                     "No port is configured: set the device property Port to a port's name, "
                     "number or path, then run Init.");
            return;
        }
        wantOpen = true;
        TryOpen();
    }

    // Opens the configured port unless it is open; when it cannot, the status says why and the
    // device keeps looking for it.
    void TryOpen() {
        if (!wantOpen || state.portOpen) {
            loop.StopTimer(kReopenTimerId);
            return;
        }
        logic.FillPortList();
        const std::vector<ListedPort> found = FindListedPorts(
            ListedPorts(), spec, [this](int number) { return registry.DevicePath(number); });
        if (found.size() > 1) {
            // A number that is also another port's name: opening either could drive the wrong
            // laser. The device stops looking, so that one of them going away later does not
            // make the other the device's port: Open or Init, once Port is put right, look again.
            std::string which;
            for (const ListedPort& candidate : found) {
                which += (which.empty() ? "" : " and ") + std::string("port ") +
                         std::to_string(candidate.number) + " (" + candidate.name + ", " +
                         registry.DevicePath(candidate.number).value_or("gone") + ")";
            }
            SetState(DriverState::Fault,
                     "Port " + spec + " is ambiguous: it names " + which +
                         ". Nothing is opened: set Port to the port's device path, then run "
                         "Init.");
            wantOpen = false;
            loop.StopTimer(kReopenTimerId);
            return;
        }
        if (found.empty()) {
            std::string listed;
            for (const std::string& name : window.PortItems()) {
                listed += (listed.empty() ? "" : ", ") + name;
            }
            SetState(DriverState::Fault,
                     "Port " + spec +
                         " is not there: no listed port has that name, number or "
                         "path (listed: " +
                         (listed.empty() ? "none" : listed) +
                         "). The device opens it when it appears.");
            loop.StartTimer(kReopenTimerId, kReopenPeriodMs);
            return;
        }
        applicationError.clear();
        const int number = found.front().number;
        const OpenOutcome outcome = logic.OpenPort(number);
        if (outcome.status == OpenRequestStatus::Opened ||
            outcome.status == OpenRequestStatus::AlreadyOpen) {
            loop.StopTimer(kReopenTimerId);
            return;
        }
        SetState(DriverState::Fault, OpenFailureText(number) + " Retried every 2 s.");
        loop.StartTimer(kReopenTimerId, kReopenPeriodMs);
    }

    void Close() {
        wantOpen = false;
        loop.StopTimer(kReopenTimerId);
        if (!logic.ClosePort()) {
            SetState(DriverState::Off,
                     "The port is closed (Close command); Open opens " + spec + " again.");
        }
    }

    // The port list as the panel filled it: each item's number and text.
    std::vector<ListedPort> ListedPorts() {
        std::vector<ListedPort> listed;
        for (int item = 0; item < state.portCount; ++item) {
            const auto i = static_cast<std::size_t>(item);
            listed.push_back({state.portTable[i], window.PortItems()[i]});
        }
        return listed;
    }

    // The port object opens silently or reports a failed configuration step in a box; which
    // of the silent reasons it was is read from the device node, without opening it again.
    std::string OpenFailureText(int number) {
        if (!applicationError.empty()) {
            return "Port " + spec + " could not be set up: " + applicationError + ".";
        }
        const std::optional<std::string> path = registry.DevicePath(number);
        if (!path) {
            return "Port " + spec + " went away while it was opened.";
        }
        if (access(path->c_str(), R_OK | W_OK) != 0 && errno == EACCES) {
            return "Permission denied on " + *path +
                   ": the server's user must be in the dialout group.";
        }
        return "Port " + spec + " is busy: another program holds " + *path + ".";
    }

    // A device arrived or left: an open port is the panel's to re-open; a closed one the device
    // wants is looked for again.
    void OnDevicesChanged() {
        if (!watcher.DrainEvents()) {
            return;
        }
        if (state.portOpen || !wantOpen) {
            logic.OnDeviceChange();
        } else {
            TryOpen();
        }
    }

    void OnApplicationError(const std::string& text) {
        applicationError = text;
        if (state.portOpen) {
            SetState(DriverState::Fault, "Port " + openName + " failed: " + text);
        }
    }

    void OnStale(int controlId, bool stale) {
        if (!stale) {
            return;  // the reading that made it fresh follows as a typed event
        }
        const DriverValue what =
            controlId == IDC_LD_TEMP ? DriverValue::Temperature : DriverValue::Power;
        std::vector<DriverUpdate> updates{{what, Invalid(), 0, DriverState::Off}};
        {
            std::lock_guard<std::mutex> hold(host_.lock_);
            (what == DriverValue::Temperature ? host_.snapshot_.temperature
                                              : host_.snapshot_.power) = Invalid();
            lapsed = state.portOpen;
        }
        Publish(updates);
    }

    // Typed events of the panel.
    void OnConfiguration(const PanelConfiguration& c) override {
        std::vector<DriverUpdate> updates{
            {DriverValue::Current, Now(c.activeSetpoint), 0, {}},
            {DriverValue::CurrentMax, Now(c.activeMaximum), 0, {}},
            {DriverValue::Variant, Now(0), c.variant, {}},
        };
        {
            std::lock_guard<std::mutex> hold(host_.lock_);
            host_.snapshot_.current = updates[0].reading;
            host_.snapshot_.currentMax = updates[1].reading;
            host_.snapshot_.variant = c.variant;
            // As the panel's resync: what it holds after every set frame sent is now known.
            host_.setsAnswered_ = host_.setsSent_;
        }
        SetState(DriverState::On, "Port " + openName + " is open; the module answers (variant " +
                                      std::string(1, c.variant) + ", maximum " +
                                      std::to_string(c.activeMaximum) + " mA).");
        Publish(updates);
    }

    void OnSetpointsConfirmed(const PanelSetpoints& s) override {
        std::vector<DriverUpdate> updates{{DriverValue::Current, Now(s.activeSetpoint), 0, {}}};
        {
            std::lock_guard<std::mutex> hold(host_.lock_);
            host_.snapshot_.current = updates[0].reading;
            ++host_.setsAnswered_;
        }
        Publish(updates);
    }

    // Rounded to the reply's own step (0.01 degC; 0.1 mW or 1 mW), so a client sees 25.56, not
    // the binary fraction next to it.
    void OnTemperature(const PanelTemperature& t) override {
        Reading(DriverValue::Temperature, std::round(t.celsius * 100) / 100);
    }
    void OnPower(const PanelPower& p) override {
        Reading(DriverValue::Power, std::round(p.milliwatts * 10) / 10);
    }

    void Reading(DriverValue what, double value) {
        std::vector<DriverUpdate> updates{{what, Now(value), 0, {}}};
        {
            std::lock_guard<std::mutex> hold(host_.lock_);
            (what == DriverValue::Temperature ? host_.snapshot_.temperature
                                              : host_.snapshot_.power) = updates[0].reading;
            lapsed = false;
        }
        Publish(updates);
    }

    void OnSetSent(const PanelSetSent&) override {
        std::lock_guard<std::mutex> hold(host_.lock_);
        ++host_.setsSent_;
    }

    void OnPortOpened(const PanelPortOpened& e) override {
        openName = e.port.name;
        {
            std::lock_guard<std::mutex> hold(host_.lock_);
            host_.portOpen_ = true;
            host_.snapshot_.port = e.port.name;
            host_.setsAnswered_ = host_.setsSent_;
        }
        InvalidateConfiguration();
        SetState(DriverState::Init, "Port " + e.port.name +
                                        (e.reopened ? " is open again" : " is open") +
                                        "; waiting for the module's configuration.");
    }

    void OnPortClosed(const PanelPortClosed& e) override {
        {
            std::lock_guard<std::mutex> hold(host_.lock_);
            host_.portOpen_ = false;
            host_.setsAnswered_ = host_.setsSent_;
        }
        InvalidateConfiguration();
        if (e.cause == PortCloseCause::Operator) {
            SetState(DriverState::Off,
                     "The port is closed (Close command); Open opens " + spec + " again.");
        } else {
            SetState(DriverState::Fault,
                     "Port " + e.port.name +
                         (e.cause == PortCloseCause::HangUp ? " hung up" : " saw a device change") +
                         "; opening it again.");
        }
    }

    void OnPortLost(const PanelPortLost& e) override {
        if (e.cause == PortLossCause::Gone) {
            SetState(DriverState::Fault, "Port " + e.port.name +
                                             " hung up or went away; the device opens it again "
                                             "when it comes back.");
        } else {
            SetState(DriverState::Fault,
                     "Port " + e.port.name + " hung up and did not open again: " +
                         OpenFailureText(e.port.number) + " Retried every 2 s.");
        }
        if (wantOpen) {
            loop.StartTimer(kReopenTimerId, kReopenPeriodMs);
        }
    }

    void InvalidateConfiguration() {
        std::vector<DriverUpdate> updates{
            {DriverValue::Current, Invalid(), 0, {}},
            {DriverValue::CurrentMax, Invalid(), 0, {}},
            {DriverValue::Variant, Invalid(), 0, {}},
        };
        {
            std::lock_guard<std::mutex> hold(host_.lock_);
            host_.snapshot_.current = Invalid();
            host_.snapshot_.currentMax = Invalid();
            host_.snapshot_.variant = 0;
        }
        Publish(updates);
    }

    void SetState(DriverState next, const std::string& status) {
        bool changed = false;
        {
            std::lock_guard<std::mutex> hold(host_.lock_);
            changed = host_.snapshot_.state != next;
            host_.snapshot_.state = next;
            host_.snapshot_.status = status;
        }
        if (changed) {
            Publish({{DriverValue::State, Invalid(), 0, next}});
        }
    }

    void Publish(const std::vector<DriverUpdate>& updates) {
        host_.changed_.notify_all();
        if (host_.sink_) {
            host_.sink_(updates);
        }
    }

    ModuleHost& host_;
    const std::string spec;  // the Port property
    bool wantOpen = false;   // from the start and Open until Close
    std::string openName;    // the listed name of the port last opened
    std::string applicationError;
    bool lapsed = false;  // guarded by host_.lock_: readings went stale while the port was open

    DeviceState state;
    PortRegistry registry;
    HeadlessWindow window;
    CoreLoop loop;
    EventLoopPortOwner owner;
    CCommPort port;
    PanelLogic logic;
    DeviceWatcher watcher;
};

ModuleHost::ModuleHost(std::string port, UpdateSink sink) : sink_(std::move(sink)) {
    snapshot_.port = port;
    std::promise<void> started;
    auto ready = started.get_future();
    // The device is told when the core thread could not build its objects (no descriptor left).
    thread_ = std::thread([this, port, &started] {
        std::optional<Core> core;
        try {
            core.emplace(*this, port);
        } catch (...) {
            started.set_exception(std::current_exception());
            return;
        }
        {
            std::lock_guard<std::mutex> hold(lock_);
            core_ = &*core;
        }
        started.set_value();
        core->Start();
        core->loop.Run();
        std::lock_guard<std::mutex> hold(lock_);
        core_ = nullptr;
    });
    try {
        ready.get();
    } catch (...) {
        thread_.join();
        throw;
    }
}

ModuleHost::~ModuleHost() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (core_ != nullptr) {
            Core* core = core_;
            core->loop.Post([core] { core->loop.Quit(); });
        }
    }
    thread_.join();
}

DriverSnapshot ModuleHost::Snapshot() const {
    std::lock_guard<std::mutex> hold(lock_);
    DriverSnapshot copy = snapshot_;
    if (copy.state == DriverState::On && core_ != nullptr && core_->lapsed) {
        copy.status +=
            " No reading for 2 s: temperature and power are invalid until the module "
            "answers again.";
    }
    return copy;
}

// A request the deadline passed before the core thread took it is dropped unrun, so a client
// told that nothing was done is never contradicted later; one the core thread already runs is
// waited for to its end.
bool ModuleHost::RunOnCore(std::function<void(Core&)> task,
                           std::chrono::steady_clock::time_point deadline) {
    struct Handoff {
        std::mutex lock;
        std::condition_variable done;
        bool started = false;
        bool finished = false;
        bool abandoned = false;
    };
    auto handoff = std::make_shared<Handoff>();
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (core_ == nullptr) {
            return false;
        }
        Core* core = core_;
        core->loop.Post([core, task = std::move(task), handoff] {
            {
                std::lock_guard<std::mutex> taking(handoff->lock);
                if (handoff->abandoned) {
                    return;
                }
                handoff->started = true;
            }
            task(*core);
            {
                std::lock_guard<std::mutex> ending(handoff->lock);
                handoff->finished = true;
            }
            handoff->done.notify_all();
        });
    }
    std::unique_lock<std::mutex> hold(handoff->lock);
    if (!handoff->done.wait_until(hold, deadline, [&] { return handoff->finished; })) {
        if (!handoff->started) {
            handoff->abandoned = true;
            return false;
        }
        handoff->done.wait(hold, [&] { return handoff->finished; });
    }
    return true;
}

DriverWrite ModuleHost::SetCurrent(double milliamps,
                                   std::chrono::steady_clock::time_point deadline) {
    struct Request {
        SetOutcome outcome;
        std::uint64_t sentBefore = 0;
    };
    auto request = std::make_shared<Request>();
    DriverWrite result;
    const bool taken = RunOnCore(
        [this, request, milliamps](Core& core) {
            {
                std::lock_guard<std::mutex> hold(lock_);
                request->sentBefore = setsSent_;
            }
            request->outcome = core.logic.SetCurrent(milliamps);
        },
        deadline);
    if (!taken) {
        return result;  // NoAnswer
    }
    result.sent = request->outcome;
    switch (request->outcome.status) {
        case SetStatus::NoValue:
            result.status = DriverWrite::Status::NotANumber;
            return result;
        case SetStatus::PortClosed:
            result.status = DriverWrite::Status::PortClosed;
            return result;
        case SetStatus::NotConfigured:
            result.status = DriverWrite::Status::NotConfigured;
            return result;
        case SetStatus::Sent:
            break;
    }
    // Every set frame sent from here on must be answered: the value read afterwards is the
    // module's answer to the last one.
    std::unique_lock<std::mutex> hold(lock_);
    const auto settled = [&] {
        return !portOpen_ || (setsSent_ > request->sentBefore && setsAnswered_ >= setsSent_);
    };
    changed_.wait_until(hold, deadline, settled);
    result.confirmed = static_cast<std::int32_t>(snapshot_.current.value);
    result.status = !portOpen_  ? DriverWrite::Status::PortLost
                    : settled() ? DriverWrite::Status::Confirmed
                                : DriverWrite::Status::NotConfirmed;
    return result;
}

bool ModuleHost::Open(std::chrono::steady_clock::time_point deadline) {
    return RunOnCore(
        [](Core& core) {
            core.wantOpen = true;
            core.TryOpen();
        },
        deadline);
}

bool ModuleHost::Close(std::chrono::steady_clock::time_point deadline) {
    return RunOnCore([](Core& core) { core.Close(); }, deadline);
}
