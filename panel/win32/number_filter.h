// Which typed characters the current field takes: digits and backspace always, a minus sign only
// as the first character of an empty field, one decimal point after something has been typed.
// The whole text decides, not the caret or a selection. Free of any window system.
#ifndef DRIVERPANEL_PANEL_WIN32_NUMBER_FILTER_H
#define DRIVERPANEL_PANEL_WIN32_NUMBER_FILTER_H

#include <string_view>

constexpr char32_t kBackspace = 8;

constexpr bool NumberFieldAccepts(char32_t typed, std::wstring_view currentText) {
    if ((typed >= U'0' && typed <= U'9') || typed == kBackspace) {
        return true;
    }
    if (typed == U'-') {
        return currentText.empty();
    }
    if (typed == U'.') {
        return !currentText.empty() && currentText.find(L'.') == std::wstring_view::npos;
    }
    return false;
}

#endif
