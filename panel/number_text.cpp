// Number formatting through std::to_chars, which ignores the locale and rounds correctly.
#include "panel/number_text.h"

#include <array>
#include <charconv>
#include <limits>

std::string FormatInteger(int value) {
    std::array<char, std::numeric_limits<int>::digits10 + 3> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::string FormatOneDecimal(double value) {
    // Room for the largest double written out in full: sign, every integer digit, ".d".
    std::array<char, std::numeric_limits<double>::max_exponent10 + 8> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, 1);
    return std::string(buffer.data(), result.ptr);
}
