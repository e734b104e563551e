// The port object on Linux: opens one serial port exclusively, configures it with termios, and is
// served by its owner's event loop on the owner's thread. No thread of its own: the owner watches
// the descriptor the port names (PortOwner::WatchPort) and calls OnReadable or OnWritable when it
// is ready. A readable port is read once, everything waiting, and the block fed to the owner a
// byte at a time before anything more is read; frames are written as they are queued, and what a
// full output buffer does not take waits for writability, in order.
#ifndef DRIVERPANEL_SERIAL_LINUX_COMM_PORT_H
#define DRIVERPANEL_SERIAL_LINUX_COMM_PORT_H

#include <termios.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "serial/frame_queue.h"
#include "serial/line_settings.h"
#include "serial/linux/port_registry.h"
#include "serial/linux/tty_calls.h"
#include "serial/linux/unique_fd.h"
#include "serial/port_owner.h"
#include "serial/port_service.h"

class CCommPort final : public PortService {
  public:
    // The most one read takes: the tty's whole input buffer, so a read takes all that waits.
    static constexpr std::size_t kReceiveBlockSize = 4096;

    // Everything below runs on the owner's thread. `calls` give the tty back at close.
    CCommPort(PortRegistry& registry, PortOwner& owner, TtyCalls& calls = SystemTtyCalls());
    ~CCommPort() override;
    CCommPort(const CCommPort&) = delete;
    CCommPort& operator=(const CCommPort&) = delete;

    // Closes a port still open, then opens the port with this number exclusively and configures
    // it. Absent, Busy and Denied come without a word; a failed configuration step shows one
    // "Application Error" box and leaves the port closed again.
    OpenResult Setup(int portNumber, const LineSettings& settings) override;

    // Starts serving the open port: clears what arrived since Setup, asks the owner to watch the
    // descriptor and writes frames queued since Setup. False when no port is open.
    bool StartWorker() override;

    // Stops watching, drops unsent frames and closes the port, leaving its line settings as
    // opening found them. May be called from inside any call to the owner.
    void Shutdown() override;

    // Writes the frame now, or after the frames still waiting for the line. The waiting frames
    // are bounded by the write-buffer size of the settings: when full, the oldest unsent frame
    // gives way; a larger frame is refused. Before StartWorker, frames wait for it.
    void QueueWrite(const std::uint8_t* bytes, std::size_t count) override;

    // The owner's event loop: the descriptor is readable (or hung up), or writable.
    void OnReadable();
    void OnWritable();
    // For a poll() loop: what poll() reported for the descriptor, the frames waiting to be
    // written first, then what arrived, the hang-up or the error.
    void OnPollReady(short revents);

  private:
    OpenResult OpenExclusive(const std::string& devicePath);
    OpenResult Configure(const LineSettings& settings);
    void ClosePort();
    void RestoreLineAtOpen();
    void Feed(const std::uint8_t* bytes, std::size_t count, std::int64_t receivedAtMs);
    void WritePending();
    void Lose();
    void Watch();
    OpenResult ReportError(const char* operation, int error);

    PortRegistry& registry_;
    PortOwner& owner_;
    TtyCalls& calls_;

    int portNumber_ = 0;
    LineSettings settings_{};
    UniqueFd port_;
    // The tty's settings when this object opened it, given back at close: the tty may be
    // someone's terminal behind a stale link, not a module.
    std::optional<termios> lineAtOpen_;

    // Changes at every open and close, so that a block being fed or a frame being written sees
    // that a call to the owner ended its connection.
    std::uint64_t connection_ = 0;
    bool serving_ = false;  // started, and neither lost nor closed since
    bool feeding_ = false;  // a block is being fed: nothing more is read until it is done
    FrameQueue writeQueue_;
    FrameQueue::Frame unsent_;  // the rest of the frame the line did not take yet
    std::size_t unsentOffset_ = 0;

    // What the owner was last asked to watch.
    int watchedFd_ = -1;
    bool watchedRead_ = false;
    bool watchedWrite_ = false;
};

#endif
