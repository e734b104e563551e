// The driver's side of one peer receiver: the pty whose far end the driver writes, and the
// receiving program started on its near end with its standard output on a pipe, read line by
// line with a time limit so a receiver that stalls cannot hang the benchmark.
#ifndef DRIVERPANEL_BENCH_PEER_CHILD_H
#define DRIVERPANEL_BENCH_PEER_CHILD_H

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The far end of a fresh pty, written without blocking.
class PeerLine {
  public:
    PeerLine();  // exits the program when the system gives no pty
    ~PeerLine();
    PeerLine(const PeerLine&) = delete;
    PeerLine& operator=(const PeerLine&) = delete;

    const std::string& TtyPath() const { return ttyPath_; }
    // Writes every byte, waiting while the pty is full; false when it stays full until the
    // deadline or the write fails.
    bool Write(const std::uint8_t* bytes, std::size_t count,
               std::chrono::steady_clock::time_point deadline) const;

  private:
    int master_ = -1;
    std::string ttyPath_;
};

// A receiving program run with its standard output read by the driver. The destructor kills a
// receiver still running (only the one this object started) and reaps it.
class PeerChild {
  public:
    PeerChild(const std::string& program, const std::vector<std::string>& arguments);
    ~PeerChild();
    PeerChild(const PeerChild&) = delete;
    PeerChild& operator=(const PeerChild&) = delete;

    bool Started() const { return pid_ > 0; }
    // The next line without its newline; nothing when the receiver ended or stayed silent
    // until the deadline.
    std::optional<std::string> ReadLine(std::chrono::steady_clock::time_point deadline);
    // Waits for the receiver to end; true when it ended with status 0.
    bool Wait();

  private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::string buffered_;
    bool reaped_ = false;
};

#endif
