// The port object on Linux: opens one serial port exclusively, configures it with termios, and
// runs the worker thread that hands received bytes to the owner and writes queued frames.
#ifndef DRIVERPANEL_SERIAL_POSIX_COMM_PORT_H
#define DRIVERPANEL_SERIAL_POSIX_COMM_PORT_H

#include <termios.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "serial/frame_queue.h"
#include "serial/line_settings.h"
#include "serial/port_owner.h"
#include "serial/posix/port_registry.h"
#include "serial/posix/unique_fd.h"

// The five serial timeouts, in milliseconds.
struct CommTimeouts {
    std::uint64_t readInterval = 0;
    std::uint64_t readTotalMultiplier = 0;
    std::uint64_t readTotalConstant = 0;
    std::uint64_t writeTotalMultiplier = 0;
    std::uint64_t writeTotalConstant = 0;
};

class CCommPort {
  public:
    // The most the worker reads and hands to the owner at once; more waiting goes over in pieces.
    // Ten of the longest replies: a burst rarely needs more than one block.
    static constexpr std::size_t kReceiveBlockSize = 1024;

    explicit CCommPort(PortRegistry& registry);
    // Stops the worker (without asking the owner to dispatch: it may be gone, so owners call
    // Shutdown first) and closes the port.
    ~CCommPort();
    CCommPort(const CCommPort&) = delete;
    CCommPort& operator=(const CCommPort&) = delete;

    // Owner's thread. Stops a running worker, closes a port still open, then opens the port with
    // this number exclusively and configures it. Returns false without a word when the port is
    // absent, may not be used or is held by another program; returns false after one
    // "Application Error" box, with the port closed again, when a configuration step failed.
    bool Setup(PortOwner& owner, int portNumber, const LineSettings& settings);

    // Owner's thread. Starts the worker that serves the open port; false when no port is open or
    // no thread could be started.
    bool StartWorker();

    // Owner's thread, never from inside a call the worker makes to the owner. Stops the worker,
    // keeping the owner's work flowing meanwhile (the worker may be waiting inside a delivery or
    // an error box), closes the port, leaving its line settings as opening found them, and drops
    // unsent frames.
    void Shutdown();

    // Owner's thread. Appends a copy of the frame to the write queue; the worker sends queued
    // frames in order, each whole. The queue holds the write-buffer size of the settings in
    // bytes: when full, the oldest unsent frame gives way; a larger frame is refused.
    void QueueWrite(const std::uint8_t* bytes, std::size_t count);

    // The timeouts of the last Setup, kept as the port's settings.
    const CommTimeouts& Timeouts() const { return timeouts_; }

  private:
    enum class LinkState { kUp, kHungUp };

    bool OpenExclusive(const std::string& devicePath);
    bool Configure();
    void ClosePort();
    void RestoreLineAtOpen();
    void StopWorker(bool dispatchOwner);
    void ReportError(const char* operation, int error);

    // The worker's side (port_worker.cpp).
    void RunWorker();
    LinkState ReceivePending(short portEvents, std::size_t& received);
    LinkState SendPending();
    bool WaitWritable();
    bool StopRequested() const;
    bool HasQueuedFrames();

    PortRegistry& registry_;

    // Written by the owner's thread only while no worker runs; the worker reads them between its
    // start and its stop, which the thread start and join order.
    PortOwner* owner_ = nullptr;
    int portNumber_ = 0;
    LineSettings settings_{};
    CommTimeouts timeouts_;
    UniqueFd port_;
    // Owner's thread only. The tty's settings when this object opened it, given back at close:
    // the tty may be someone's terminal behind a stale link, not a module.
    std::optional<termios> lineAtOpen_;

    // Created once and kept for the object's life; eventfds are safe to signal from any thread.
    UniqueFd stopEvent_;   // readable: the worker must leave
    UniqueFd writeEvent_;  // readable: a frame was queued

    std::mutex queueLock_;
    FrameQueue writeQueue_;  // guarded by queueLock_

    std::mutex aliveLock_;
    std::condition_variable aliveChanged_;
    bool workerAlive_ = false;  // guarded by aliveLock_; set by StartWorker, cleared by the worker

    std::thread worker_;  // owner's thread only
};

#endif
