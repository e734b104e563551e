// The frame every peer receiving program shares around the path that opens the pty: the Qt
// application, the recorder every received byte goes to, and the report at the end.
#ifndef DRIVERPANEL_BENCH_PEER_RECEIVER_H
#define DRIVERPANEL_BENCH_PEER_RECEIVER_H

#include <functional>
#include <memory>
#include <string>

#include "bench/peer_recorder.h"

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
