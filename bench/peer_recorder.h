// What every peer receiver does with a received byte on its UI thread: feeds it to the reply
// assembler, checks it against the stream and records what the plan's phase asks for, telling
// the driver when a phase's last byte has been handled.
#ifndef DRIVERPANEL_BENCH_PEER_RECORDER_H
#define DRIVERPANEL_BENCH_PEER_RECORDER_H

#include <cstdint>
#include <functional>
#include <vector>

#include "bench/peer_plan.h"
#include "bench/peer_report.h"
#include "protocol/reply_assembler.h"

class PeerRecorder {
  public:
    // Report lines go to `reportFd`; `finished` runs once the plan's last byte has been handled.
    PeerRecorder(const PeerPlan& plan, int reportFd, std::function<void()> finished);

    // UI thread: one received byte, in the order received.
    void Take(std::uint8_t byte);

    // Once the loop has ended: what was recorded, as report lines.
    void Report() const;

  private:
    void BeginPhase(PhaseRecord& record);
    void EndPhase(PhaseRecord& record);

    const PeerPlan& plan_;
    const int reportFd_;
    std::function<void()> finished_;
    ReplyAssembler assembler_;
    std::size_t phase_ = 0;
    std::vector<PhaseRecord> records_;
    StreamCheck check_;
};

#endif
