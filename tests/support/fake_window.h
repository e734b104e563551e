// The panel's window kept in memory, for the tests and the benchmarks alike: every text, the
// slider, the port list, the warnings shown and the operator's editing state, as the real
// windows would show them. Tests read it back; a benchmark's long run turns the recording off so
// that its memory stays flat and only what a real window does (copying texts) is measured.
#ifndef DRIVERPANEL_TESTS_SUPPORT_FAKE_WINDOW_H
#define DRIVERPANEL_TESTS_SUPPORT_FAKE_WINDOW_H

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "panel/panel_window.h"

class FakeWindow : public PanelWindow {
  public:
    std::map<int, std::string> texts;
    std::map<int, bool> enabled;
    int sliderMin = 0;
    int sliderMax = 100;
    int sliderPos = 0;
    std::vector<int> ticks;
    std::vector<std::string> portItems;
    int selectedItem = -1;
    std::vector<std::pair<std::string, std::string>> warnings;  // text, title
    bool leftButtonDown = false;  // the harness's Press and Release move it
    // Run while the "Warning!" box is up, as the real one keeps the timers ticking.
    std::function<void()> whileWarningShown;
    std::vector<std::string> log;  // every display change, in order
    bool recording = true;         // keeps the log and the warnings; off for a benchmark
    bool editingCurrent = false;   // the harness's typing sets it; EndCurrentEdit clears it
    std::map<int, bool> stale;     // reading field -> shown stale

    void SetControlText(int controlId, const std::string& text) override {
        texts[controlId] = text;
        Record("text " + std::to_string(controlId) + " " + text);
    }
    std::string ControlText(int controlId) override { return texts[controlId]; }
    void EnableControl(int controlId, bool on) override { enabled[controlId] = on; }
    void SetSliderRange(int minimum, int maximum) override {
        sliderMin = minimum;
        sliderMax = maximum;
        SetSliderPosition(sliderPos);
        Record("range " + std::to_string(minimum) + " " + std::to_string(maximum));
    }
    void ClearSliderTicks() override { ticks.clear(); }
    void SetSliderTick(int position) override { ticks.push_back(position); }
    void SetSliderPosition(int position) override {
        sliderPos = position < sliderMin ? sliderMin : position > sliderMax ? sliderMax : position;
        Record("position " + std::to_string(sliderPos));
    }
    int SliderPosition() override { return sliderPos; }
    void ResetPortList() override {
        portItems.clear();
        selectedItem = -1;
    }
    void InsertPortItem(int index, const std::string& text) override {
        portItems.insert(portItems.begin() + index, text);
    }
    void SelectPortItem(int index) override { selectedItem = index; }
    int SelectedPortItem() override { return selectedItem; }
    bool IsLeftButtonDown() override { return leftButtonDown; }
    bool IsEditingCurrent() override { return editingCurrent; }
    void EndCurrentEdit() override { editingCurrent = false; }
    void SetReadingStale(int controlId, bool on) override { stale[controlId] = on; }
    void ShowWarning(const std::string& text, const std::string& title) override {
        if (recording) {
            warnings.emplace_back(text, title);
        }
        if (whileWarningShown) {
            whileWarningShown();
        }
    }

  private:
    void Record(std::string change) {
        if (recording) {
            log.push_back(std::move(change));
        }
    }
};

#endif
