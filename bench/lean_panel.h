// A panel's logic on do-nothing services, for measuring the receive path without a window: the
// texts it writes are kept (a real control copies them too), everything else is dropped.
#ifndef DRIVERPANEL_BENCH_LEAN_PANEL_H
#define DRIVERPANEL_BENCH_LEAN_PANEL_H

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "panel/panel_logic.h"
#include "resources/resource.h"

class LeanWindow : public PanelWindow {
  public:
    void SetControlText(int controlId, const std::string& text) override {
        texts_[controlId] = text;
    }
    std::string ControlText(int controlId) override { return texts_[controlId]; }
    void EnableControl(int, bool) override {}
    void SetSliderRange(int, int maximum) override { maximum_ = maximum; }
    void ClearSliderTicks() override {}
    void SetSliderTick(int) override {}
    void SetSliderPosition(int position) override {
        position_ = position < 0 ? 0 : position > maximum_ ? maximum_ : position;
    }
    int SliderPosition() override { return position_; }
    void ResetPortList() override {}
    void InsertPortItem(int, const std::string&) override {}
    void SelectPortItem(int) override {}
    int SelectedPortItem() override { return 0; }
    bool IsLeftButtonDown() override { return false; }
    bool IsEditingCurrent() override { return false; }
    void EndCurrentEdit() override {}
    void SetReadingStale(int, bool) override {}
    void ShowWarning(const std::string&, const std::string&) override {}

  private:
    std::map<int, std::string> texts_;
    int maximum_ = 0;
    int position_ = 0;
};

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
    LeanWindow window;
    LeanTimers timers;
    LeanPort port;
    PanelLogic logic{state, window, timers, port, port};

    LeanPanel() {
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
