// The panel's logic wired to the simulated module on a virtual clock: frames the panel queues
// reach the module at once, and the module's replies reach the panel only while its UI thread is
// free, as they would from the port on its event loop. Runs hours of polling in a fraction of a
// second.
#ifndef DRIVERPANEL_TESTS_RELIABILITY_SIMULATED_LINE_H
#define DRIVERPANEL_TESTS_RELIABILITY_SIMULATED_LINE_H

#include <chrono>
#include <vector>

#include "tests/panel/fake_panel.h"
#include "tools/simulator/module_simulator.h"

class SimulatedLine : public PortService {
  public:
    SimulatedLine(const simulator::ModuleConfig& config, const FakeTimers& clock)
        : clock_(clock), module_(config, simulator::SimTime{}, [this](const auto& event) {
              events.push_back(event);
          }) {}

    std::vector<simulator::LineEvent> events;  // every frame on the line, both ways, in order
    const simulator::ModuleSimulator& Module() const { return module_; }

    OpenResult Setup(int, const LineSettings&) override { return OpenResult::Ok(); }
    bool StartWorker() override { return true; }
    void Shutdown() override {}
    void QueueWrite(const std::uint8_t* bytes, std::size_t count) override {
        module_.Receive(std::span(bytes, count), Now());
    }

    // The reply bytes that have arrived by now.
    std::vector<std::uint8_t> Arrived() { return module_.TakeDue(Now()); }

  private:
    simulator::SimTime Now() const {
        return simulator::SimTime{} + std::chrono::milliseconds(clock_.now);
    }

    const FakeTimers& clock_;
    simulator::ModuleSimulator module_;
};

// A panel opened on the simulated module.
struct SimulatedPanel {
    DeviceState state;
    FakeWindow window;
    FakeTimers timers;
    SimulatedLine line;
    FakeProbe probe;
    PanelLogic logic{state, window, timers, line, probe};

    explicit SimulatedPanel(const simulator::ModuleConfig& config) : line(config, timers) {
        probe.present = {1};
        logic.OnInitDialog();
        logic.OnOpenClose();
    }

    // Lets the panel run for ms, handing it the module's replies a millisecond at a time.
    void RunFor(long long ms) {
        const long long end = timers.now + ms;
        while (timers.now < end) {
            timers.RunFor(1, logic);
            for (std::uint8_t b : line.Arrived()) {
                logic.OnPortByte(b, state.selectedPort);
            }
        }
    }
};

#endif
