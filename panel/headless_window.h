// The panel's window for a host that shows none (the console, the control-system server): the
// controls' texts and the slider held in memory, as a window would hold them (a slider no one
// can drag), the port list as names, and the "Warning!" box and stale readings handed to the
// host. Hosts follow the panel through its typed events, never through these texts.
#ifndef DRIVERPANEL_PANEL_HEADLESS_WINDOW_H
#define DRIVERPANEL_PANEL_HEADLESS_WINDOW_H

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "panel/panel_window.h"

class HeadlessWindow : public PanelWindow {
  public:
    using BoxShower = std::function<void(const std::string& title, const std::string& text)>;
    using StaleShower = std::function<void(int controlId, bool stale)>;

    // `showBox` stands for the modal box: it returns as the box would on OK. Either may be empty.
    explicit HeadlessWindow(BoxShower showBox = {}, StaleShower showStale = {});

    const std::vector<std::string>& PortItems() const { return portItems_; }

    void SetControlText(int controlId, const std::string& text) override;
    std::string ControlText(int controlId) override;
    void EnableControl(int controlId, bool enabled) override;

    void SetSliderRange(int minimum, int maximum) override;
    void ClearSliderTicks() override;
    void SetSliderTick(int position) override;
    void SetSliderPosition(int position) override;
    int SliderPosition() override;

    void ResetPortList() override;
    void InsertPortItem(int index, const std::string& text) override;
    void SelectPortItem(int index) override;
    int SelectedPortItem() override;

    // No mouse: no step button is ever held; no field is ever being edited.
    bool IsLeftButtonDown() override { return false; }
    bool IsEditingCurrent() override { return false; }
    void EndCurrentEdit() override {}
    void SetReadingStale(int controlId, bool stale) override;

    void ShowWarning(const std::string& text, const std::string& title) override;

  private:
    BoxShower showBox_;
    StaleShower showStale_;
    std::map<int, std::string> texts_;
    // Where the panel placed the slider, whatever its range (see SetSliderRange).
    int sliderPosition_ = 0;
    std::vector<std::string> portItems_;
    int selectedItem_ = -1;
};

#endif
