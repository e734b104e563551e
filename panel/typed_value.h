// The value the operator typed into the current field, read as a decimal number the way the C
// library's atof reads one (rounded to the nearest double), truncated toward zero and held to
// 0 ... maximum. The same for any text: no locale, no overflow however many digits or how large
// the exponent.
#ifndef DRIVERPANEL_PANEL_TYPED_VALUE_H
#define DRIVERPANEL_PANEL_TYPED_VALUE_H

#include <cstdint>
#include <string_view>

// Leading white space is skipped, then an optional sign, digits with an optional '.', and an
// optional exponent (e or E, optional sign, digits). Reading stops at the first other character;
// text without a digit there reads as 0. "inf", "nan" and "0x10" are read by the same rules, so
// they give 0. A number beyond the range of a double gives the maximum, or 0 when it is below 1.
// maximum must not be negative.
std::int32_t TypedValueInRange(std::string_view text, std::int32_t maximum);

// What the text asks for before the range is applied: the number read by the same rules,
// truncated toward zero, negative after a minus sign, its magnitude at most INT32_MAX. A value
// sent that differs from it was clamped.
std::int64_t TypedValueAsked(std::string_view text);

#endif
