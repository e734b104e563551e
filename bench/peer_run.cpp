// Feeding one receiver its phases and working out its figures.
#include "bench/peer_run.h"

#include <time.h>

#include <chrono>
#include <thread>

#include "bench/peer_child.h"
#include "bench/peer_report.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::nanoseconds;

// How long a receiver may take beyond what its phase needs before it counts as stalled: bytes
// that never arrive are the fault the check is there to report, not to wait for forever.
constexpr auto kStallAllowance = std::chrono::seconds(60);
// What the slowest path handles at the least (a tenth of the per-byte hand-off's idle rate), so
// the flood's deadline is generous on a loaded machine.
constexpr double kSlowestBytesPerSecond = 1000;
// Between phases, so one phase's wake-ups have settled before the next starts.
constexpr auto kSettle = std::chrono::milliseconds(200);

void SleepUntil(Clock::time_point when) {
    const auto ns = std::chrono::duration_cast<nanoseconds>(when.time_since_epoch()).count();
    const timespec at = {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) != 0) {
    }
}

Clock::duration Seconds(double seconds) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

std::int64_t Ticks(Clock::time_point t) {
    return std::chrono::duration_cast<nanoseconds>(t.time_since_epoch()).count();
}

// What the driver noted while writing a phase: the start of each paced write, or of the first.
struct Written {
    std::vector<std::int64_t> at;
};

// Writes one phase as its mode says; false when the pty stayed full past the deadline.
bool WritePhase(const PeerLine& line, const PeerPlan& plan, const PeerPhase& phase,
                Clock::time_point deadline, Written& written) {
    const PeerOptions& options = plan.Options();
    const Clock::time_point start = Clock::now();
    std::size_t byte = phase.firstByte;
    const auto writeAt = [&](Clock::time_point when, const std::uint8_t* bytes, std::size_t count) {
        SleepUntil(when);
        written.at.push_back(Ticks(Clock::now()));
        return line.Write(bytes, count, deadline);
    };
    switch (phase.mode) {
        case WriteMode::kFramePaced:
        case WriteMode::kFrameLineRate:
            for (std::size_t i = 0; i < phase.frames; ++i) {
                const Bytes& frame = plan.Frame(phase.firstFrame + i);
                const auto when =
                    phase.mode == WriteMode::kFramePaced
                        ? start + Seconds(static_cast<double>(i) * options.frameGapMs / 1000)
                        : start + Seconds(static_cast<double>(byte - phase.firstByte) /
                                          kLineBytesPerSecond);
                if (!writeAt(when, frame.data(), frame.size())) {
                    return false;
                }
                byte += frame.size();
            }
            return true;
        case WriteMode::kBytePaced:
        case WriteMode::kByteLineRate:
            for (std::size_t i = 0; i < phase.bytes; ++i) {
                const std::uint8_t value = plan.Byte(phase.firstByte + i);
                const double gap = phase.mode == WriteMode::kBytePaced ? options.byteGapMs / 1000
                                                                       : 1 / kLineBytesPerSecond;
                if (!writeAt(start + Seconds(static_cast<double>(i) * gap), &value, 1)) {
                    return false;
                }
            }
            return true;
        case WriteMode::kFlood:
            written.at.push_back(Ticks(Clock::now()));
            for (std::size_t sent = 0; sent < phase.bytes;) {
                const auto [bytes, count] = plan.Run(phase.firstByte + sent, phase.bytes - sent);
                if (!line.Write(bytes, count, deadline)) {
                    return false;
                }
                sent += count;
            }
            return true;
    }
    return false;
}

// How long a phase needs when the receiver keeps up.
Clock::duration PhaseDuration(const PeerPlan& plan, const PeerPhase& phase) {
    const PeerOptions& options = plan.Options();
    switch (phase.mode) {
        case WriteMode::kFramePaced:
            return Seconds(static_cast<double>(phase.frames) * options.frameGapMs / 1000);
        case WriteMode::kBytePaced:
            return Seconds(static_cast<double>(phase.bytes) * options.byteGapMs / 1000);
        case WriteMode::kFrameLineRate:
        case WriteMode::kByteLineRate:
            return Seconds(static_cast<double>(phase.bytes) / kLineBytesPerSecond);
        case WriteMode::kFlood:
            return Seconds(static_cast<double>(phase.bytes) / kSlowestBytesPerSecond);
    }
    return {};
}

// Latencies from the write times to the receiver's times, one each; empty when they do not pair.
LatencyStats Latencies(const std::vector<std::int64_t>& writtenAt,
                       const std::vector<std::int64_t>& takenAt, bool& paired) {
    paired = writtenAt.size() == takenAt.size();
    if (!paired) {
        return {};
    }
    std::vector<nanoseconds> samples;
    samples.reserve(writtenAt.size());
    for (std::size_t i = 0; i < writtenAt.size(); ++i) {
        samples.emplace_back(takenAt[i] - writtenAt[i]);
    }
    return Summarise(std::move(samples));
}

double Share(std::int64_t part, const PhaseRecord& record) {
    const std::int64_t wall = record.lastAt - record.firstAt;
    return wall > 0 ? static_cast<double>(part) / static_cast<double>(wall) : 0;
}

// The figures from what was written and what the receiver reported.
PathFigures Figures(const PeerPlan& plan, const std::vector<Written>& written,
                    const std::vector<PhaseRecord>& records, const StreamCheck& check) {
    PathFigures figures;
    figures.complete = true;
    for (std::size_t i = 0; i < plan.Phases().size(); ++i) {
        const PhaseRecord& record = records[i];
        const std::int64_t cpu = record.cpuAtLast - record.cpuAtFirst;
        const double switchesPerSecond =
            Share(record.switchesAtLast - record.switchesAtFirst, record) * 1e9;
        bool paired = true;
        switch (plan.Phases()[i].mode) {
            case WriteMode::kFramePaced:
                figures.wholeFrame = Latencies(written[i].at, record.times, paired);
                break;
            case WriteMode::kBytePaced:
                figures.byteAlone = Latencies(written[i].at, record.times, paired);
                break;
            case WriteMode::kFrameLineRate:
                figures.cpuFramePerWrite = Share(cpu, record);
                figures.switchesFramePerWrite = switchesPerSecond;
                break;
            case WriteMode::kByteLineRate:
                figures.cpuBytePerWrite = Share(cpu, record);
                figures.switchesBytePerWrite = switchesPerSecond;
                break;
            case WriteMode::kFlood: {
                const std::int64_t took = record.lastAt - written[i].at.front();
                figures.bytesPerSecond = took > 0 ? static_cast<double>(plan.Phases()[i].bytes) *
                                                        1e9 / static_cast<double>(took)
                                                  : 0;
                break;
            }
        }
        if (!paired) {
            figures.complete = false;
            figures.failure = "phase " + std::to_string(i) +
                              ": the receiver's times do not "
                              "pair with the writes (a reply lost or doubled)";
        }
    }
    figures.lost = plan.TotalBytes() > check.taken ? plan.TotalBytes() - check.taken : 0;
    figures.mismatched = check.mismatched;
    figures.missingReplies =
        plan.TotalFrames() > check.replies ? plan.TotalFrames() - check.replies : 0;
    return figures;
}

PathFigures Failed(std::string why) {
    PathFigures figures;
    figures.failure = std::move(why);
    return figures;
}

}  // namespace

PathFigures RunPath(const std::string& program, const PeerPlan& plan) {
    PeerLine line;
    std::vector<std::string> arguments = PeerArguments(plan.Options());
    arguments.insert(arguments.begin(), line.TtyPath());
    PeerChild child(program, arguments);
    if (!child.Started()) {
        return Failed("could not start " + program);
    }
    const std::optional<std::string> ready = child.ReadLine(Clock::now() + kStallAllowance);
    if (!ready || *ready != kReadyLine) {
        return Failed(program + " did not open the pty");
    }

    const std::vector<PeerPhase>& phases = plan.Phases();
    std::vector<Written> written(phases.size());
    for (std::size_t i = 0; i < phases.size(); ++i) {
        const Clock::time_point deadline =
            Clock::now() + PhaseDuration(plan, phases[i]) + kStallAllowance;
        if (!WritePhase(line, plan, phases[i], deadline, written[i])) {
            return Failed("phase " + std::to_string(i) +
                          ": the pty stayed full: the receiver "
                          "stopped reading");
        }
        const std::optional<std::string> done = child.ReadLine(deadline);
        if (!done || *done != std::string(kPhaseDoneWord) + ' ' + std::to_string(i)) {
            return Failed("phase " + std::to_string(i) +
                          ": the receiver never took the "
                          "phase's last byte (lost, or stalled)");
        }
        std::this_thread::sleep_for(kSettle);
    }

    std::vector<PhaseRecord> records(phases.size());
    StreamCheck check;
    const Clock::time_point deadline = Clock::now() + kStallAllowance;
    for (std::size_t i = 0; i < phases.size(); ++i) {
        const std::optional<std::string> text = child.ReadLine(deadline);
        std::size_t index = 0;
        if (!text || !ParsePhaseLine(*text, index, records[i]) || index != i) {
            return Failed("the receiver's report of phase " + std::to_string(i) +
                          " is missing or garbled");
        }
    }
    const std::optional<std::string> text = child.ReadLine(deadline);
    if (!text || !ParseCheckLine(*text, check)) {
        return Failed("the receiver's check is missing or garbled");
    }
    if (!child.Wait()) {
        return Failed(program + " did not end cleanly");
    }
    return Figures(plan, written, records, check);
}
