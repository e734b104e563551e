// Bytes written as hexadecimal text, as `ldctl decode` takes them: pairs of hex digits, with
// white space anywhere or nowhere ("ED FA 06", "EDFA06", one byte a line).
#ifndef DRIVERPANEL_HOSTS_CONSOLE_HEX_BYTES_H
#define DRIVERPANEL_HOSTS_CONSOLE_HEX_BYTES_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// Hex text taken piece by piece, as it arrives: a pair split over two pieces still makes one byte,
// and only the digit of an unfinished pair is held.
class HexDecoder {
  public:
    // The bytes of this piece appended to `bytes`; what is wrong with the text (a character that
    // is no hex digit, counted from the start of all the text) when it is not hex.
    std::optional<std::string> Feed(std::string_view piece, std::vector<std::uint8_t>& bytes);
    // At the end of the text: what is wrong when a pair was left unfinished.
    std::optional<std::string> Finish() const;

  private:
    int high_ = -1;  // the first digit of a pair, while its second is awaited
    std::size_t offset_ = 0;
};

// The bytes, or what is wrong with the text (a character that is no hex digit, an odd count).
std::variant<std::vector<std::uint8_t>, std::string> ParseHexBytes(std::string_view text);

// "ED FA 06": upper case, one space between bytes.
std::string FormatHexBytes(const std::vector<std::uint8_t>& bytes);

#endif
