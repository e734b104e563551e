// Requests in, replies out: the module's protocol behaviour and the faults it puts on the line.
#include "tools/simulator/module_simulator.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "protocol/frame.h"
#include "tools/simulator/module_replies.h"

namespace simulator {

namespace {

constexpr std::uint8_t kQueryLength = 2;
constexpr std::uint8_t kSetLength = 4;

const char* ReceivedVerdict(ReceivedChunk::Kind kind) {
    switch (kind) {
        case ReceivedChunk::Kind::BadChecksum:
            return "bad-checksum";
        case ReceivedChunk::Kind::BadLength:
            return "bad-length";
        case ReceivedChunk::Kind::Noise:
            return "noise";
        case ReceivedChunk::Kind::Frame:
            break;
    }
    return "valid";
}

}  // namespace

ModuleSimulator::ModuleSimulator(const ModuleConfig& config, SimTime start, EventSink sink)
    : config_(config),
      start_(start),
      sink_(std::move(sink)),
      model_(config.model, start, std::min(config.setpointA, config.maximumA),
             std::min(config.setpointB, config.maximumB)),
      random_(config.seed),
      setpointA_(std::min(config.setpointA, config.maximumA)),
      setpointB_(std::min(config.setpointB, config.maximumB)),
      lastDue_(start) {}

void ModuleSimulator::Receive(std::span<const std::uint8_t> bytes, SimTime now) {
    if (lastFrameReceived_) {
        return;
    }
    model_.AdvanceTo(now);
    for (ReceivedChunk& chunk : parser_.Feed(bytes)) {
        if (chunk.kind == ReceivedChunk::Kind::Noise) {
            Log(LineEvent::Direction::Received, std::move(chunk.bytes), "noise", now);
            continue;
        }
        const bool valid = chunk.kind == ReceivedChunk::Kind::Frame;
        const bool known = valid && IsKnownRequest(chunk.bytes);
        const bool lost = known && LosesSetFrame(chunk.bytes);
        Log(LineEvent::Direction::Received, chunk.bytes,
            lost              ? "lost"
            : valid && !known ? "unknown"
                              : ReceivedVerdict(chunk.kind),
            now);
        CountFrame();
        if (known && !lost) {
            if (auto reply = Answer(chunk.bytes)) {
                const std::uint8_t code = chunk.bytes[kCodeIndex];
                Send(std::move(*reply), now, code == CMD_SET_A || code == CMD_SET_B);
            }
        }
        if (lastFrameReceived_) {
            break;
        }
    }
}

std::vector<std::uint8_t> ModuleSimulator::TakeDue(SimTime now) {
    std::vector<std::uint8_t> due;
    while (!queue_.empty() && queue_.front().due <= now) {
        due.insert(due.end(), queue_.front().bytes.begin(), queue_.front().bytes.end());
        queue_.pop_front();
    }
    if (lastFrameReceived_ && queue_.empty() && !hungUp_) {
        hungUp_ = true;
        Log(LineEvent::Direction::HangUp, {}, "", now);
    }
    return due;
}

std::optional<SimTime> ModuleSimulator::NextDue() const {
    if (queue_.empty()) {
        return std::nullopt;
    }
    return queue_.front().due;
}

std::vector<std::uint8_t> ModuleSimulator::OnBytes(std::span<const std::uint8_t> bytes,
                                                   SimTime now) {
    Receive(bytes, now);
    return TakeDue(now);
}

bool ModuleSimulator::IsKnownRequest(const std::vector<std::uint8_t>& frame) const {
    const std::uint8_t length = frame[kLengthIndex];
    switch (frame[kCodeIndex]) {
        case CMD_QUERY_CONFIG:
        case CMD_QUERY_TEMP:
        case CMD_QUERY_POWER:
            return length == kQueryLength;
        case CMD_SET_A:
        case CMD_SET_B:
            return length == kSetLength;
        default:
            return false;
    }
}

bool ModuleSimulator::LosesSetFrame(const std::vector<std::uint8_t>& frame) {
    const std::uint8_t code = frame[kCodeIndex];
    if ((code != CMD_SET_A && code != CMD_SET_B) ||
        setFramesLost_ >= config_.faults.ignoredSetFrames) {
        return false;
    }
    ++setFramesLost_;
    return true;
}

std::optional<std::vector<std::uint8_t>> ModuleSimulator::Answer(
    const std::vector<std::uint8_t>& frame) {
    switch (frame[kCodeIndex]) {
        case CMD_QUERY_CONFIG:
            return ConfigReply(
                {setpointA_, setpointB_, config_.maximumA, config_.maximumB, config_.variant},
                config_.configLength);
        case CMD_QUERY_TEMP:
            return TemperatureReply(model_.TemperatureAC(), model_.TemperatureBC());
        case CMD_QUERY_POWER:
            return PowerReply(
                DrivesSetpointB(config_.variant) ? model_.PowerBMw() : model_.PowerAMw(),
                config_.variant);
        case CMD_SET_A:
        case CMD_SET_B: {
            const std::uint16_t value = ReadU16(frame, kDataIndex);
            if (frame[kCodeIndex] == CMD_SET_A) {
                setpointA_ = std::min({value, config_.maximumA, config_.setLimit});
            } else {
                setpointB_ = std::min({value, config_.maximumB, config_.setLimit});
            }
            model_.SetCurrents(setpointA_, setpointB_);
            if (config_.silentSet) {
                return std::nullopt;
            }
            return SetpointsReply(setpointA_, setpointB_);
        }
        default:
            return std::nullopt;
    }
}

void ModuleSimulator::CountFrame() {
    ++framesReceived_;
    const unsigned limit = config_.faults.hangUpAfterFrames;
    if (limit != 0 && framesReceived_ >= limit) {
        lastFrameReceived_ = true;
    }
}

void ModuleSimulator::Send(std::vector<std::uint8_t> reply, SimTime now, bool confirmation) {
    const FaultConfig& faults = config_.faults;
    // Every reply draws all three chances in the same order, so changing one share leaves the
    // others' pattern as it was for a given seed.
    const bool drop = Chance(faults.dropShare);
    const bool corrupt = Chance(faults.badChecksumShare);
    const bool noise = Chance(faults.noiseShare);
    const bool late = confirmation && faults.confirmDelayMax.count() > 0;

    SimTime due = std::max(now + faults.replyDelay, lastDue_);
    if (noise && faults.noiseMaxBytes > 0) {
        std::vector<std::uint8_t> burst(1 + random_() % faults.noiseMaxBytes);
        for (std::uint8_t& b : burst) {
            b = static_cast<std::uint8_t>(random_());
        }
        Log(LineEvent::Direction::Sent, burst, "noise", now);
        Schedule(due, std::move(burst));
    }
    if (drop) {
        Log(LineEvent::Direction::Sent, std::move(reply), "dropped", now);
        return;
    }

    std::string verdict;
    auto note = [&verdict](const char* word) {
        verdict += verdict.empty() ? word : " " + std::string(word);
    };
    if (corrupt) {
        reply.back() = static_cast<std::uint8_t>(reply.back() + 1);
        note("bad-checksum");
    }
    if (faults.replyDelay.count() > 0) {
        note("delayed");
    }
    if (late) {
        note("late");
    }
    if (lastFrameReceived_ && faults.hangUpMidReply) {
        reply.resize(reply.size() / 2);
        note("cut");
    }
    if (faults.byteGap.count() > 0) {
        note("split");
    }
    Log(LineEvent::Direction::Sent, reply, verdict.empty() ? "ok" : verdict, now);

    if (late) {
        // Options refuse a byte gap with late confirmations: a whole frame never splits another.
        ScheduleOutOfTurn(now + faults.replyDelay + DrawConfirmDelay(), std::move(reply));
    } else if (faults.byteGap.count() > 0) {
        for (std::size_t i = 0; i < reply.size(); ++i) {
            Schedule(due + faults.byteGap * static_cast<int>(i), {reply[i]});
        }
    } else {
        Schedule(due, std::move(reply));
    }
}

void ModuleSimulator::Schedule(SimTime due, std::vector<std::uint8_t> bytes) {
    due = std::max(due, lastDue_);
    lastDue_ = due;
    ScheduleOutOfTurn(due, std::move(bytes));  // behind nothing but a late confirmation
}

std::chrono::milliseconds ModuleSimulator::DrawConfirmDelay() {
    const FaultConfig& faults = config_.faults;
    const auto spread = faults.confirmDelayMax - faults.confirmDelayMin;
    if (spread.count() <= 0) {
        return faults.confirmDelayMin;  // one delay: no draw, so other faults keep their pattern
    }
    const double draw = static_cast<double>(random_() >> 11) * 0x1.0p-53;
    return faults.confirmDelayMin +
           std::chrono::milliseconds(std::llround(draw * static_cast<double>(spread.count())));
}

void ModuleSimulator::ScheduleOutOfTurn(SimTime due, std::vector<std::uint8_t> bytes) {
    auto place = std::find_if(queue_.begin(), queue_.end(),
                              [due](const Scheduled& queued) { return queued.due > due; });
    queue_.insert(place, {due, std::move(bytes)});
}

bool ModuleSimulator::Chance(double share) {
    // 53 random bits as a fraction in [0, 1): the same on every platform, unlike the standard
    // distributions, whose algorithms the library chooses.
    const double draw = static_cast<double>(random_() >> 11) * 0x1.0p-53;
    return draw < share;
}

void ModuleSimulator::Log(LineEvent::Direction direction, std::vector<std::uint8_t> bytes,
                          std::string verdict, SimTime now) {
    if (sink_) {
        sink_({now - start_, direction, std::move(bytes), std::move(verdict)});
    }
}

}  // namespace simulator
