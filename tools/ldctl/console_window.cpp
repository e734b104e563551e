// The panel's controls in memory.
#include "tools/ldctl/console_window.h"

#include <algorithm>

ConsoleWindow::ConsoleWindow(BoxShower showBox) : showBox_(std::move(showBox)) {}

void ConsoleWindow::SetControlText(int controlId, const std::string& text) {
    texts_[controlId] = text;
}

std::string ConsoleWindow::ControlText(int controlId) {
    const auto it = texts_.find(controlId);
    return it == texts_.end() ? std::string() : it->second;
}

void ConsoleWindow::EnableControl(int, bool) {}

// A terminal has no slider to drag, so the position stays exactly what the panel placed, even a
// setpoint above the range: the panel's poll then never finds it moved and never sends a set
// frame on its own. A window's slider would show the end of its range and have the poll pull the
// module's setpoint down to it; only `set` may change the current.
void ConsoleWindow::SetSliderRange(int, int) {}

void ConsoleWindow::ClearSliderTicks() {}

void ConsoleWindow::SetSliderTick(int) {}

void ConsoleWindow::SetSliderPosition(int position) {
    sliderPosition_ = position;
}

int ConsoleWindow::SliderPosition() {
    return sliderPosition_;
}

void ConsoleWindow::ResetPortList() {
    portItems_.clear();
    selectedItem_ = -1;
}

void ConsoleWindow::InsertPortItem(int index, const std::string& text) {
    const auto at = std::min(static_cast<std::size_t>(std::max(index, 0)), portItems_.size());
    portItems_.insert(portItems_.begin() + static_cast<std::ptrdiff_t>(at), text);
}

void ConsoleWindow::SelectPortItem(int index) {
    selectedItem_ = index >= 0 && static_cast<std::size_t>(index) < portItems_.size() ? index : -1;
}

int ConsoleWindow::SelectedPortItem() {
    return selectedItem_;
}

void ConsoleWindow::ShowWarning(const std::string& text, const std::string& title) {
    showBox_(title, text);
}
