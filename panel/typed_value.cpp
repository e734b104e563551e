// Decimal reading without floating point: the number is a digit string D and a power of ten E,
// and only the integer part of D x 10^E matters, which is at most ten digits when it fits.
#include "panel/typed_value.h"

#include <cstddef>
#include <string>

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Larger exponents change nothing: every digit string is shorter than this, so the value is
// then certainly below 1 or above any int32 maximum. Keeping the exponent bounded keeps the
// arithmetic below from overflowing.
constexpr long long kExponentBound = 1'000'000'000'000LL;

// An int32 has at most ten digits, so an integer part with more exceeds any maximum.
constexpr long long kMaxIntegerDigits = 10;

// value = (the significant digits as an integer) x 10^exponent. Only the leading digits are
// kept: any digit beyond the tenth lies in the fraction whenever the value can fit.
struct DecimalNumber {
    bool negative = false;
    std::string leadingDigits;       // the first significant digits, at most kMaxIntegerDigits
    long long significantCount = 0;  // all digits from the first non-zero one, '.' removed
    long long exponent = 0;
};

DecimalNumber ReadDecimal(std::string_view text) {
    DecimalNumber number;
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        number.negative = text[i] == '-';
        ++i;
    }
    bool anyDigit = false;
    long long fractionDigits = 0;
    bool inFraction = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !inFraction) {
            inFraction = true;
            continue;
        }
        if (!IsDigit(c)) {
            break;
        }
        anyDigit = true;
        if (inFraction) {
            ++fractionDigits;
        }
        // Zeros before the first non-zero digit carry no weight.
        if (number.significantCount > 0 || c != '0') {
            if (number.significantCount < kMaxIntegerDigits) {
                number.leadingDigits.push_back(c);
            }
            ++number.significantCount;
        }
    }
    if (!anyDigit) {
        return DecimalNumber{};
    }
    number.exponent = -fractionDigits;

    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        bool exponentNegative = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            exponentNegative = text[j] == '-';
            ++j;
        }
        if (j < text.size() && IsDigit(text[j])) {
            long long exponent = 0;
            for (; j < text.size() && IsDigit(text[j]); ++j) {
                if (exponent < kExponentBound) {
                    exponent = exponent * 10 + (text[j] - '0');
                }
            }
            number.exponent += exponentNegative ? -exponent : exponent;
        }
    }
    return number;
}

}  // namespace

std::int32_t TypedValueInRange(std::string_view text, std::int32_t maximum) {
    const DecimalNumber number = ReadDecimal(text);
    // Truncation toward zero leaves a negative number at or below 0, which the range lifts to 0.
    if (number.negative || number.significantCount == 0) {
        return 0;
    }
    const long long integerDigits = number.significantCount + number.exponent;
    if (integerDigits <= 0) {
        return 0;
    }
    if (integerDigits > kMaxIntegerDigits) {
        return maximum;
    }
    long long value = 0;
    for (long long k = 0; k < integerDigits; ++k) {
        const auto index = static_cast<std::size_t>(k);
        const int digit =
            index < number.leadingDigits.size() ? number.leadingDigits[index] - '0' : 0;
        value = value * 10 + digit;
    }
    return value > maximum ? maximum : static_cast<std::int32_t>(value);
}
