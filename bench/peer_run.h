// One path measured: its receiving program started on a fresh pty, the plan's phases written
// to it, and the figures worked out from the write times and what the receiver recorded.
#ifndef DRIVERPANEL_BENCH_PEER_RUN_H
#define DRIVERPANEL_BENCH_PEER_RUN_H

#include <string>

#include "bench/latency_stats.h"
#include "bench/peer_plan.h"

struct PathFigures {
    bool complete = false;  // every phase ran and the receiver reported; otherwise `failure` says
    std::string failure;
    LatencyStats wholeFrame;      // last byte written until the assembler completed the reply
    LatencyStats byteAlone;       // a byte written alone until the assembler took it
    double cpuFramePerWrite = 0;  // share of one core, 0..1, at the line rate
    double cpuBytePerWrite = 0;
    double switchesFramePerWrite = 0;  // context switches a second, all threads
    double switchesBytePerWrite = 0;
    double bytesPerSecond = 0;  // flood: first write until the last byte was taken
    std::uint64_t lost = 0;
    std::uint64_t mismatched = 0;  // bytes out of order or altered
    std::uint64_t missingReplies =
        0;  // dropped by the assembler: a stall longer than its gap limit
};

// `program` is the receiver's executable; it is given the pty and the plan's options.
PathFigures RunPath(const std::string& program, const PeerPlan& plan);

#endif
