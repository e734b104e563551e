// Bytes written as hexadecimal text, as `ldctl decode` takes them: pairs of hex digits, with
// white space anywhere or nowhere ("ED FA 06", "EDFA06", one byte a line).
#ifndef DRIVERPANEL_TOOLS_LDCTL_HEX_BYTES_H
#define DRIVERPANEL_TOOLS_LDCTL_HEX_BYTES_H

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// The bytes, or what is wrong with the text (a character that is no hex digit, an odd count).
std::variant<std::vector<std::uint8_t>, std::string> ParseHexBytes(std::string_view text);

// "ED FA 06": upper case, one space between bytes.
std::string FormatHexBytes(const std::vector<std::uint8_t>& bytes);

#endif
