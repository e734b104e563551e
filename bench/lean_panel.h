// A panel's logic on do-nothing services, for measuring the receive path without a window: the
// tests' window in memory with its recording off, so the texts it writes are kept (a real
// control copies them too) and nothing else grows.
#ifndef DRIVERPANEL_BENCH_LEAN_PANEL_H
#define DRIVERPANEL_BENCH_LEAN_PANEL_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "panel/panel_logic.h"
#include "tests/support/fake_window.h"

class LeanTimers : public UiTimers {
  public:
    void StartTimer(int, int) override {}
    void StopTimer(int) override {}
    void Wait(int) override {}
    std::int64_t NowMs() override { return 0; }
};

class LeanPort : public PortService, public PortProbe {
  public:
    OpenResult Setup(int, const LineSettings&) override { return OpenResult::Ok(); }
    bool StartWorker() override { return true; }
    void Shutdown() override {}
    void QueueWrite(const std::uint8_t*, std::size_t) override {}
    std::optional<std::string> Probe(int portNumber) override {
        return portNumber == kPort ? std::optional<std::string>("ttyS0") : std::nullopt;
    }
    static constexpr int kPort = 1;
};

// The logic with its port open, as after the operator's open click.
struct LeanPanel {
    DeviceState state;
    FakeWindow window;
    LeanTimers timers;
    LeanPort port;
    PanelLogic logic{state, window, timers, port, port};

    LeanPanel() {
        window.recording = false;
        logic.OnInitDialog();
        logic.OnOpenClose();
    }
    void Receive(const std::vector<std::uint8_t>& bytes) {
        for (std::uint8_t b : bytes) {
            logic.OnPortByte(b, LeanPort::kPort);
        }
    }
};

#endif
