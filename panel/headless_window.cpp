// The panel's controls in memory, for hosts that show no window.
#include "panel/headless_window.h"

#include <algorithm>

HeadlessWindow::HeadlessWindow(BoxShower showBox, StaleShower showStale)
    : showBox_(std::move(showBox)), showStale_(std::move(showStale)) {}

void HeadlessWindow::SetControlText(int controlId, const std::string& text) {
    texts_[controlId] = text;
}

std::string HeadlessWindow::ControlText(int controlId) {
    const auto it = texts_.find(controlId);
    return it == texts_.end() ? std::string() : it->second;
}

void HeadlessWindow::EnableControl(int, bool) {}

// No one can drag this slider, so the position stays exactly what the panel placed, even a
// setpoint above the range: the panel's poll then never finds it moved and never sends a set
// frame on its own. A window's slider would show the end of its range and have the poll pull the
// module's setpoint down to it; here only a host's typed input changes the current (a script's
// `set`, a control-system client's write), and a monitoring host never sends one.
void HeadlessWindow::SetSliderRange(int, int) {}

void HeadlessWindow::ClearSliderTicks() {}

void HeadlessWindow::SetSliderTick(int) {}

void HeadlessWindow::SetSliderPosition(int position) {
    sliderPosition_ = position;
}

int HeadlessWindow::SliderPosition() {
    return sliderPosition_;
}

void HeadlessWindow::ResetPortList() {
    portItems_.clear();
    selectedItem_ = -1;
}

void HeadlessWindow::InsertPortItem(int index, const std::string& text) {
    const auto at = std::min(static_cast<std::size_t>(std::max(index, 0)), portItems_.size());
    portItems_.insert(portItems_.begin() + static_cast<std::ptrdiff_t>(at), text);
}

void HeadlessWindow::SelectPortItem(int index) {
    selectedItem_ = index >= 0 && static_cast<std::size_t>(index) < portItems_.size() ? index : -1;
}

int HeadlessWindow::SelectedPortItem() {
    return selectedItem_;
}

void HeadlessWindow::SetReadingStale(int controlId, bool stale) {
    if (showStale_) {
        showStale_(controlId, stale);
    }
}

void HeadlessWindow::ShowWarning(const std::string& text, const std::string& title) {
    if (showBox_) {
        showBox_(title, text);
    }
}
