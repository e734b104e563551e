// The module's end of a serial line: a new pseudo-terminal whose other end the panel opens, an
// existing tty (one end of a socat pair), or standard input and output (the simulator started by
// socat). Owns its descriptors; Close is the hang-up.
#ifndef DRIVERPANEL_TOOLS_SIMULATOR_MODULE_PORT_H
#define DRIVERPANEL_TOOLS_SIMULATOR_MODULE_PORT_H

#include <chrono>
#include <string>

namespace simulator {

class ModulePort {
  public:
    // A new pty in raw mode. Throws std::system_error when the system has none to give.
    static ModulePort OpenPty();
    // An existing tty, raw, 9600 baud 8N1. Throws std::system_error when it cannot be opened.
    static ModulePort OpenDevice(const std::string& path);
    // Standard input and output (made raw if they are a tty). Closing them is how a simulator
    // run by socat's EXEC hangs up: socat then ends and closes the panel's pty.
    static ModulePort OpenStdio();

    ModulePort(ModulePort&& other) noexcept;
    ModulePort& operator=(ModulePort&& other) noexcept;
    ModulePort(const ModulePort&) = delete;
    ModulePort& operator=(const ModulePort&) = delete;
    ~ModulePort();

    // Non-blocking descriptors the module reads requests from and writes replies to; the same
    // one except on standard input and output.
    int ReadFd() const { return readFd_; }
    int WriteFd() const { return writeFd_; }
    // What the panel opens: the pty's slave path or the device path; empty on standard I/O.
    const std::string& PeerPath() const { return peerPath_; }
    // Hangs up: for a pty the panel's end then reports a hang-up and reads fail.
    void Close();
    // Waits, at most `limit`, until the panel's end has taken what was written to the line. A
    // hang-up discards bytes still queued for the panel; a module that hangs up mid-reply
    // should still have its first half read.
    void WaitUntilTaken(std::chrono::milliseconds limit);

  private:
    ModulePort(int readFd, int writeFd, int heldSlaveFd, std::string peerPath);

    int readFd_ = -1;
    int writeFd_ = -1;
    // For a pty: the module keeps the slave open itself, so that the master does not report a
    // hang-up (and wake the module's poll without end) while no panel has the port open.
    int heldSlaveFd_ = -1;
    std::string peerPath_;
};

}  // namespace simulator

#endif
