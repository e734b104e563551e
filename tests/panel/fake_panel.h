// A fake window system with a virtual clock for driving PanelLogic (the window itself is
// tests/support/fake_window.h, shared with the benchmarks). A blocking Wait moves the
// clock without firing timers, as the real UI thread is blocked then; timers fire only inside
// RunFor, in time order, and a tick's own waits move the clock on.
#ifndef DRIVERPANEL_TESTS_PANEL_FAKE_PANEL_H
#define DRIVERPANEL_TESTS_PANEL_FAKE_PANEL_H

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "panel/panel_logic.h"
#include "tests/protocol/reply_frames.h"
#include "tests/support/fake_window.h"

class FakeTimers : public UiTimers {
  public:
    long long now = 0;  // virtual milliseconds

    void StartTimer(int timerId, int periodMs) override {
        timers_[timerId] = Timer{periodMs, now + periodMs, ++generation_};
    }
    void StopTimer(int timerId) override { timers_.erase(timerId); }
    void Wait(int ms) override { now += ms; }
    std::int64_t NowMs() override { return now; }

    bool Running(int timerId) const { return timers_.count(timerId) != 0; }
    std::set<int> RunningTimers() const {
        std::set<int> ids;
        for (const auto& [id, timer] : timers_) {
            ids.insert(id);
        }
        return ids;
    }

    // Lets the UI thread run for ms: every tick that falls due is handled in time order. A tick
    // that fell due while the thread was blocked is handled as soon as it is free, once.
    void RunFor(long long ms, PanelLogic& logic) {
        const long long end = now + ms;
        for (;;) {
            auto next = timers_.end();
            for (auto it = timers_.begin(); it != timers_.end(); ++it) {
                if (next == timers_.end() || it->second.due < next->second.due) {
                    next = it;
                }
            }
            if (next == timers_.end() || next->second.due > end) {
                break;
            }
            const int id = next->first;
            const Timer fired = next->second;
            if (now < fired.due) {
                now = fired.due;
            }
            logic.OnTimer(id);
            auto again = timers_.find(id);
            if (again != timers_.end() && again->second.generation == fired.generation) {
                const long long due = fired.due + fired.period;
                again->second.due = due < now ? now : due;
            }
        }
        if (now < end) {
            now = end;
        }
    }

  private:
    struct Timer {
        int period;
        long long due;
        int generation;  // tells a timer restarted during its own tick from the one that fired
    };
    std::map<int, Timer> timers_;
    int generation_ = 0;
};

struct SentFrame {
    long long time;
    Bytes bytes;
    bool operator==(const SentFrame&) const = default;
};

class FakePort : public PortService {
  public:
    explicit FakePort(FakeTimers& timers) : timers_(timers) {}

    bool setupResult = true;
    OpenStatus refusedAs = OpenStatus::Failed;  // why a Setup that fails did not open
    bool startWorkerResult = true;
    std::vector<int> setups;  // port number of each Setup call
    std::vector<LineSettings> settings;
    int workersStarted = 0;
    int shutdowns = 0;
    std::vector<SentFrame> sent;
    // Run while Shutdown waits for the worker, as the real one keeps dispatching messages.
    std::function<void()> duringShutdown;

    OpenResult Setup(int portNumber, const LineSettings& lineSettings) override {
        setups.push_back(portNumber);
        settings.push_back(lineSettings);
        return setupResult ? OpenResult::Ok() : OpenResult{refusedAs, {}, {}};
    }
    bool StartWorker() override {
        ++workersStarted;
        return startWorkerResult;
    }
    void Shutdown() override {
        ++shutdowns;
        if (duringShutdown) {
            duringShutdown();
        }
    }
    void QueueWrite(const std::uint8_t* bytes, std::size_t count) override {
        sent.push_back({timers_.now, Bytes(bytes, bytes + count)});
    }

  private:
    FakeTimers& timers_;
};

class FakeProbe : public PortProbe {
  public:
    std::set<int> present;
    std::vector<int> probed;

    std::optional<std::string> Probe(int portNumber) override {
        probed.push_back(portNumber);
        if (present.count(portNumber) == 0) {
            return std::nullopt;
        }
        return "COM" + std::to_string(portNumber);
    }
};

// A panel on the fakes, with the steps most tests begin with.
class PanelHarness {
  public:
    DeviceState state;
    FakeWindow window;
    FakeTimers timers;
    FakePort port{timers};
    FakeProbe probe;
    PanelLogic logic{state, window, timers, port, probe};

    void Start(std::set<int> presentPorts) {
        probe.present = std::move(presentPorts);
        logic.OnInitDialog();
    }
    // Starts the panel with one port, opens it and lets the first configuration arrive.
    void OpenConfigured(std::uint16_t setpoint, std::uint16_t maximum, std::uint8_t variant = 1) {
        Start({3});
        logic.OnOpenClose();
        Receive(ConfigReply(setpoint, setpoint, maximum, maximum, variant));
        port.sent.clear();
    }
    void Receive(const Bytes& bytes, int portNumber) {
        for (std::uint8_t b : bytes) {
            logic.OnPortByte(b, portNumber);
        }
    }
    void Receive(const Bytes& bytes) { Receive(bytes, state.selectedPort); }
    void RunFor(long long ms) { timers.RunFor(ms, logic); }
    bool Press(int controlId) {
        window.leftButtonDown = true;
        return logic.PreTranslate({InputKind::LeftButtonDown, 0, controlId});
    }
    bool Release(int controlId) {
        window.leftButtonDown = false;
        return logic.PreTranslate({InputKind::LeftButtonUp, 0, controlId});
    }

    static Bytes ConfigReply(std::uint16_t setpointA, std::uint16_t setpointB, std::uint16_t maxA,
                             std::uint16_t maxB, std::uint8_t variant) {
        auto hi = [](std::uint16_t v) { return static_cast<std::uint8_t>(v >> 8); };
        auto lo = [](std::uint16_t v) { return static_cast<std::uint8_t>(v & 0xFF); };
        return MakeReply(
            0x02, {0x00, 0x00, hi(setpointA), lo(setpointA), hi(setpointB), lo(setpointB), hi(maxA),
                   lo(maxA), hi(maxB), lo(maxB), 0x00, 0x00, 0x00, variant});
    }
};

// A set frame for the value: EF EF 04 command hi lo checksum.
inline Bytes SetFrameBytes(std::uint16_t value, std::uint8_t command = 0x0C) {
    SetFrame frame = kEmptySetFrame;
    WriteSetFrame(frame, command, value);
    return {frame.begin(), frame.end()};
}

inline Bytes QueryBytes(const QueryFrame& frame) {
    return {frame.begin(), frame.end()};
}

#endif
