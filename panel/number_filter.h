// Which typed characters the current field takes: digits and backspace always, a minus sign only
// as the first character of an empty field, one decimal point after something has been typed.
// The whole text decides, not the caret or a selection. Both windows ask this for every character
// typed into the field.
#ifndef DRIVERPANEL_PANEL_NUMBER_FILTER_H
#define DRIVERPANEL_PANEL_NUMBER_FILTER_H

#include <string_view>

constexpr char32_t kBackspace = 8;

// currentText: the field's whole text, as bytes as the control holds them (UTF-8 or the system's
// code page; only emptiness and an ASCII '.' matter).
constexpr bool NumberFieldAccepts(char32_t typed, std::string_view currentText) {
    if ((typed >= U'0' && typed <= U'9') || typed == kBackspace) {
        return true;
    }
    if (typed == U'-') {
        return currentText.empty();
    }
    if (typed == U'.') {
        return !currentText.empty() && currentText.find('.') == std::string_view::npos;
    }
    return false;
}

#endif
