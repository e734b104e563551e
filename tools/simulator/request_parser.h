// Finds request frames (EF EF L code data checksum) in the bytes the panel sends, the way the
// module's receiver does: garbage is skipped, a frame that fails its checks is reported and the
// search resumes one byte after its first header byte, so a good frame inside it is not lost.
#ifndef DRIVERPANEL_TOOLS_SIMULATOR_REQUEST_PARSER_H
#define DRIVERPANEL_TOOLS_SIMULATOR_REQUEST_PARSER_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace simulator {

// The longest request the module waits for. Requests are 5 or 7 bytes; a short limit keeps a
// false header in line noise from holding back the real frames that follow it for long.
constexpr std::uint8_t kMaxRequestLength = 16;
constexpr std::uint8_t kMinRequestLength = 2;

struct ReceivedChunk {
    enum class Kind { Frame, BadChecksum, BadLength, Noise };
    Kind kind;
    std::vector<std::uint8_t> bytes;
};

class RequestParser {
  public:
    // Everything these bytes complete, in the order it was on the line. Skipped bytes come out
    // as one Noise chunk per run.
    std::vector<ReceivedChunk> Feed(std::span<const std::uint8_t> bytes);

  private:
    void Scan(std::vector<ReceivedChunk>& out);
    void FlushNoise(std::vector<ReceivedChunk>& out);

    std::vector<std::uint8_t> pending_;  // bytes not yet framed
    // Bytes of pending_ before this index were already reported inside a failed frame, so the
    // rescan over them does not report them again as noise.
    std::size_t reportedUntil_ = 0;
    std::vector<std::uint8_t> noise_;
};

}  // namespace simulator

#endif
