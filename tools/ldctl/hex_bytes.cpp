// Hex text to bytes and back.
#include "tools/ldctl/hex_bytes.h"

#include <cstdio>

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

std::variant<std::vector<std::uint8_t>, std::string> ParseHexBytes(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    int high = -1;  // the first digit of a pair, while its second is awaited
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsSpace(text[i])) {
            continue;
        }
        const int digit = HexDigit(text[i]);
        if (digit < 0) {
            return "not a hex digit at character " + std::to_string(i + 1) + ": '" +
                   std::string(1, text[i]) + "'";
        }
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high << 4 | digit));
            high = -1;
        }
    }
    if (high >= 0) {
        return std::string("an odd number of hex digits: the last byte is missing a digit");
    }
    return bytes;
}

std::string FormatHexBytes(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (std::uint8_t byte : bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X", byte);
        if (!text.empty()) {
            text += ' ';
        }
        text += pair;
    }
    return text;
}
