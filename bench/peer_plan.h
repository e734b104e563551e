// What the peer benchmark feeds each receiving program, phase by phase, and how the driver and
// the receivers agree on it: both build the plan from the same options, so a receiver knows from
// a byte's index which phase it belongs to and what to record for it.
#ifndef DRIVERPANEL_BENCH_PEER_PLAN_H
#define DRIVERPANEL_BENCH_PEER_PLAN_H

#include <CLI/CLI.hpp>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "bench/reply_stream.h"

constexpr double kLineBytesPerSecond = 960.0;  // 9600 baud, 10 bits a byte

// How the driver writes a phase's bytes to the pty.
enum class WriteMode {
    kFramePaced,     // one whole reply a write, a fixed gap apart: whole-frame latency
    kBytePaced,      // one byte a write, a fixed gap apart: latency of a byte that arrives alone
    kFrameLineRate,  // one whole reply a write, at the line's rate: CPU share
    kByteLineRate,   // one byte a write, at the line's rate: CPU share
    kFlood,          // as fast as the pty takes them: sustained rate
};

struct PeerOptions {
    std::size_t latencyFrames = 1000;
    double frameGapMs = 5;
    std::size_t latencyBytes = 2000;
    double byteGapMs = 2;
    double lineSeconds = 20;
    std::size_t streamBytes = 400000;
};

// The options both sides take, so the driver hands its own to every receiver unchanged.
inline void AddPeerOptions(CLI::App& app, PeerOptions& options) {
    app.add_option("--latency-frames", options.latencyFrames, "replies timed one by one")
        ->check(CLI::PositiveNumber);
    app.add_option("--frame-gap-ms", options.frameGapMs, "gap between timed replies")
        ->check(CLI::PositiveNumber);
    app.add_option("--latency-bytes", options.latencyBytes, "bytes timed one by one, at least")
        ->check(CLI::PositiveNumber);
    app.add_option("--byte-gap-ms", options.byteGapMs, "gap between timed bytes")
        ->check(CLI::PositiveNumber);
    app.add_option("--line-seconds", options.lineSeconds, "length of each phase at the line's rate")
        ->check(CLI::PositiveNumber);
    app.add_option("--stream-bytes", options.streamBytes, "bytes of the sustained-rate stream")
        ->check(CLI::PositiveNumber);
}

inline std::vector<std::string> PeerArguments(const PeerOptions& options) {
    return {"--latency-frames", std::to_string(options.latencyFrames),
            "--frame-gap-ms",   std::to_string(options.frameGapMs),
            "--latency-bytes",  std::to_string(options.latencyBytes),
            "--byte-gap-ms",    std::to_string(options.byteGapMs),
            "--line-seconds",   std::to_string(options.lineSeconds),
            "--stream-bytes",   std::to_string(options.streamBytes)};
}

// A run of whole replies from the endless reply sequence, written one way. Phases follow each
// other in the stream without a gap, each starting on a reply's first byte.
struct PeerPhase {
    WriteMode mode;
    std::size_t firstFrame;
    std::size_t frames;
    std::size_t firstByte;  // index in the endless stream
    std::size_t bytes;
};

class PeerPlan {
  public:
    explicit PeerPlan(const PeerOptions& options) : options_(options), frames_(ReplyFrames()) {
        for (const Bytes& frame : frames_) {
            stream_.insert(stream_.end(), frame.begin(), frame.end());
        }
        const auto lineBytes = static_cast<std::size_t>(options.lineSeconds * kLineBytesPerSecond);
        AddFrames(WriteMode::kFramePaced, options.latencyFrames);
        AddBytes(WriteMode::kBytePaced, options.latencyBytes);
        AddBytes(WriteMode::kFrameLineRate, lineBytes);
        AddBytes(WriteMode::kByteLineRate, lineBytes);
        AddBytes(WriteMode::kFlood, options.streamBytes);
    }

    const PeerOptions& Options() const { return options_; }
    const std::vector<PeerPhase>& Phases() const { return phases_; }
    const Bytes& Frame(std::size_t index) const { return frames_[index % frames_.size()]; }
    std::uint8_t Byte(std::size_t index) const { return stream_[index % stream_.size()]; }
    // The stream from byte `index` up to where the stored stream wraps, at most `limit` bytes.
    std::pair<const std::uint8_t*, std::size_t> Run(std::size_t index, std::size_t limit) const {
        const std::size_t from = index % stream_.size();
        return {stream_.data() + from, std::min(stream_.size() - from, limit)};
    }
    std::size_t TotalBytes() const { return phases_.back().firstByte + phases_.back().bytes; }
    std::size_t TotalFrames() const { return phases_.back().firstFrame + phases_.back().frames; }

  private:
    void AddFrames(WriteMode mode, std::size_t count) {
        PeerPhase phase{mode, NextFrame(), count, NextByte(), 0};
        for (std::size_t i = 0; i < count; ++i) {
            phase.bytes += Frame(phase.firstFrame + i).size();
        }
        phases_.push_back(phase);
    }
    // Whole replies of at least `count` bytes, so the next phase starts on a reply too; at least
    // one, since the receiver only knows a phase has ended by its last byte.
    void AddBytes(WriteMode mode, std::size_t count) {
        PeerPhase phase{mode, NextFrame(), 0, NextByte(), 0};
        while (phase.bytes < count || phase.frames == 0) {
            phase.bytes += Frame(phase.firstFrame + phase.frames).size();
            ++phase.frames;
        }
        phases_.push_back(phase);
    }
    std::size_t NextFrame() const {
        return phases_.empty() ? 0 : phases_.back().firstFrame + phases_.back().frames;
    }
    std::size_t NextByte() const {
        return phases_.empty() ? 0 : phases_.back().firstByte + phases_.back().bytes;
    }

    PeerOptions options_;
    std::vector<Bytes> frames_;
    std::vector<std::uint8_t> stream_;
    std::vector<PeerPhase> phases_;
};

#endif
