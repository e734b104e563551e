// Hex text to bytes and back.
#include "hosts/console/hex_bytes.h"

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

std::optional<std::string> HexDecoder::Feed(std::string_view piece,
                                            std::vector<std::uint8_t>& bytes) {
    for (std::size_t i = 0; i < piece.size(); ++i) {
        if (IsSpace(piece[i])) {
            continue;
        }
        const int digit = HexDigit(piece[i]);
        if (digit < 0) {
            return "not a hex digit at character " + std::to_string(offset_ + i + 1) + ": '" +
                   std::string(1, piece[i]) + "'";
        }
        if (high_ < 0) {
            high_ = digit;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high_ << 4 | digit));
            high_ = -1;
        }
    }
    offset_ += piece.size();
    return std::nullopt;
}

std::optional<std::string> HexDecoder::Finish() const {
    if (high_ >= 0) {
        return std::string("an odd number of hex digits: the last byte is missing a digit");
    }
    return std::nullopt;
}

std::variant<std::vector<std::uint8_t>, std::string> ParseHexBytes(std::string_view text) {
    HexDecoder decoder;
    std::vector<std::uint8_t> bytes;
    if (auto error = decoder.Feed(text, bytes)) {
        return *error;
    }
    if (auto error = decoder.Finish()) {
        return *error;
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
