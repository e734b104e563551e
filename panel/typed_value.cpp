// Decimal reading as atof reads it: the number is rounded to the nearest double first, so a text
// just below an integer that rounds up to it gives that integer. The conversion itself is
// std::from_chars, which rounds correctly and never looks at the locale.
#include "panel/typed_value.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Exponents beyond this change nothing below: a digit string is far shorter, so the number is
// then certainly beyond 1 or below it. Bounding it keeps the sums from overflowing.
constexpr long long kExponentBound = 1'000'000'000'000LL;

// For a number the conversion found beyond the range of a double, which is either larger than
// any maximum or closer to 0 than any double: whether it is at least 1. The digits before the
// point, or the zeros after it before the first significant digit, plus the exponent tell.
bool BeyondOne(std::string_view number) {
    std::size_t i = 0;
    bool inFraction = false;
    bool significant = false;
    long long integerDigits = 0;
    long long fractionZeros = 0;
    for (; i < number.size(); ++i) {
        const char c = number[i];
        if (c == '.' && !inFraction) {
            inFraction = true;
            continue;
        }
        if (!IsDigit(c)) {
            break;
        }
        significant = significant || c != '0';
        if (significant && !inFraction) {
            ++integerDigits;
        } else if (!significant && inFraction) {
            ++fractionZeros;
        }
    }
    long long exponent = 0;
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
        std::size_t j = i + 1;
        const bool negative = j < number.size() && number[j] == '-';
        if (j < number.size() && (number[j] == '+' || number[j] == '-')) {
            ++j;
        }
        for (; j < number.size() && IsDigit(number[j]); ++j) {
            if (exponent < kExponentBound) {
                exponent = exponent * 10 + (number[j] - '0');
            }
        }
        exponent = negative ? -exponent : exponent;
    }
    return (integerDigits > 0 ? integerDigits : -fractionZeros) + exponent > 0;
}

}  // namespace

std::int32_t TypedValueInRange(std::string_view text, std::int32_t maximum) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Only a digit, or a point and a digit, begin a number: "inf", "nan" and a sign before a
    // sign read as no number, which is 0.
    const std::string_view number = text.substr(i);
    const bool startsNumber = (!number.empty() && IsDigit(number[0])) ||
                              (number.size() > 1 && number[0] == '.' && IsDigit(number[1]));
    // Truncation toward zero leaves a negative number at or below 0, which the range lifts to 0.
    if (!startsNumber || negative) {
        return 0;
    }
    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        return BeyondOne(number) ? maximum : 0;
    }
    if (result.ec != std::errc{} || value < 1) {
        return 0;
    }
    return value >= maximum ? maximum : static_cast<std::int32_t>(value);
}

std::int64_t TypedValueAsked(std::string_view text) {
    std::string magnitude(text);
    const auto sign = magnitude.find_first_not_of(" \t\n\v\f\r");
    const bool negative = sign != std::string::npos && magnitude[sign] == '-';
    if (negative) {
        magnitude[sign] = '+';
    }
    const std::int64_t value = TypedValueInRange(magnitude, INT32_MAX);
    return negative ? -value : value;
}
