// A script's value is taken only as a plain decimal: an optional sign, ASCII digits, at most one
// point. The current field's own reading would turn any other text ("N/A", "nan", "0x1F4",
// "12abc", a blank) into some current, most often 0 mA, and a script would be told that worked.
#ifndef DRIVERPANEL_HOSTS_CONSOLE_PLAIN_DECIMAL_H
#define DRIVERPANEL_HOSTS_CONSOLE_PLAIN_DECIMAL_H

#include <string>

inline bool IsPlainDecimal(const std::string& text) {
    std::size_t at = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
    bool digit = false;
    bool point = false;
    for (; at < text.size(); ++at) {
        if (text[at] >= '0' && text[at] <= '9') {
            digit = true;
        } else if (text[at] == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digit;
}

#endif
