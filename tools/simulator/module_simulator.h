// The simulated module without any I/O: bytes from the panel go in with the time they arrived,
// replies come out when they fall due. Faults are drawn from a seeded generator, so the same
// config, seed and times give the same bytes.
#ifndef DRIVERPANEL_TOOLS_SIMULATOR_MODULE_SIMULATOR_H
#define DRIVERPANEL_TOOLS_SIMULATOR_MODULE_SIMULATOR_H

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "tools/simulator/diode_model.h"
#include "tools/simulator/line_event.h"
#include "tools/simulator/module_config.h"
#include "tools/simulator/request_parser.h"

namespace simulator {

// Not thread-safe: one thread at a time feeds it and takes its output.
class ModuleSimulator {
  public:
    using EventSink = std::function<void(const LineEvent&)>;

    // `start` is time zero of the log and of the diode model; `sink` sees every line event.
    ModuleSimulator(const ModuleConfig& config, SimTime start, EventSink sink = {});

    // Takes bytes received at `now` and schedules the replies they call for.
    void Receive(std::span<const std::uint8_t> bytes, SimTime now);
    // The reply bytes due by `now`, in line order, removed from the queue.
    std::vector<std::uint8_t> TakeDue(SimTime now);
    // When the next queued byte falls due; nothing when the queue is empty.
    std::optional<SimTime> NextDue() const;
    // Receive, then TakeDue: what an undelayed module answers at once.
    std::vector<std::uint8_t> OnBytes(std::span<const std::uint8_t> bytes, SimTime now);

    // The module has received its last frame before the hang-up and sent what it owed: the line
    // should now be closed. From the last frame on, received bytes are ignored.
    bool HungUp() const { return hungUp_; }

    std::uint16_t SetpointA() const { return setpointA_; }
    std::uint16_t SetpointB() const { return setpointB_; }

  private:
    struct Scheduled {
        SimTime due;
        std::vector<std::uint8_t> bytes;
    };

    // The request's reply, or nothing when it has none (silent set) or is not a known request.
    std::optional<std::vector<std::uint8_t>> Answer(const std::vector<std::uint8_t>& frame);
    bool IsKnownRequest(const std::vector<std::uint8_t>& frame) const;
    // A set frame the line loses: counted against the set frames to be ignored.
    bool LosesSetFrame(const std::vector<std::uint8_t>& frame);
    void CountFrame();
    // `confirmation`: the reply to a set frame, which may leave late and out of turn.
    void Send(std::vector<std::uint8_t> reply, SimTime now, bool confirmation);
    std::chrono::milliseconds DrawConfirmDelay();
    void Schedule(SimTime due, std::vector<std::uint8_t> bytes);
    // Queued by due time, after what is due as early, without holding back later replies.
    void ScheduleOutOfTurn(SimTime due, std::vector<std::uint8_t> bytes);
    bool Chance(double share);
    void Log(LineEvent::Direction direction, std::vector<std::uint8_t> bytes, std::string verdict,
             SimTime now);

    ModuleConfig config_;
    SimTime start_;
    EventSink sink_;
    RequestParser parser_;
    DiodeModel model_;
    std::mt19937_64 random_;
    std::uint16_t setpointA_;
    std::uint16_t setpointB_;
    std::deque<Scheduled> queue_;
    // The line is first-in first-out: nothing is scheduled before this, late confirmations
    // excepted, which leave when due and hold nothing back.
    SimTime lastDue_;
    unsigned framesReceived_ = 0;
    unsigned setFramesLost_ = 0;
    bool lastFrameReceived_ = false;
    bool hungUp_ = false;
};

}  // namespace simulator

#endif
