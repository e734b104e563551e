// The part every peer receiving program shares: a recorder that takes each received byte on the
// Qt UI thread, feeds it to the reply assembler, checks it against the stream and records what
// the plan's phase asks for; and the program's frame around the path that opens the pty.
#ifndef DRIVERPANEL_BENCH_PEER_RECEIVER_H
#define DRIVERPANEL_BENCH_PEER_RECEIVER_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/peer_plan.h"
#include "bench/peer_report.h"
#include "protocol/reply_assembler.h"

class PeerRecorder {
  public:
    // `finished` runs on the UI thread once the plan's last byte has been handled.
    PeerRecorder(const PeerPlan& plan, std::function<void()> finished);

    // UI thread: one received byte, in the order received.
    void Take(std::uint8_t byte);

    // Once the loop has ended: what was recorded, as report lines on `fd`.
    void Report(int fd) const;

  private:
    void BeginPhase(PhaseRecord& record);
    void EndPhase(PhaseRecord& record);

    const PeerPlan& plan_;
    std::function<void()> finished_;
    ReplyAssembler assembler_;
    std::size_t phase_ = 0;
    std::vector<PhaseRecord> records_;
    StreamCheck check_;
};

// A path's open port and whatever keeps it alive; destroyed on the UI thread after the loop.
class OpenedPath {
  public:
    virtual ~OpenedPath() = default;
};

// Opens the pty at `tty` for the path and connects it so that every received byte reaches
// `recorder.Take` on the UI thread; null (after a word on standard error) when it cannot.
using OpenPath =
    std::function<std::unique_ptr<OpenedPath>(const std::string& tty, PeerRecorder& recorder)>;

// A receiving program's main: `PROGRAM TTY [plan options]`. Builds the application, opens the
// path, says it is ready, runs until the plan is done and reports.
int RunPeerReceiver(int argc, char** argv, const OpenPath& open);

#endif
