// The value the operator typed into the current field, read as a decimal number the way the C
// library's atof reads one, truncated toward zero and held to 0 ... maximum. Exact for any text:
// no floating point, no locale, no overflow however many digits or how large the exponent.
#ifndef DRIVERPANEL_PANEL_TYPED_VALUE_H
#define DRIVERPANEL_PANEL_TYPED_VALUE_H

#include <cstdint>
#include <string_view>

// Leading white space is skipped, then an optional sign, digits with an optional '.', and an
// optional exponent (e or E, optional sign, digits). Reading stops at the first other character;
// text without a digit there reads as 0. "inf", "nan" and "0x10" are read by the same rules.
// maximum must not be negative.
std::int32_t TypedValueInRange(std::string_view text, std::int32_t maximum);

#endif
