// The module's end of a serial line: a new pseudo-terminal whose other end the panel opens, or a
// tty that already exists (one end of a socat pair). Owns its descriptors; Close is the hang-up.
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

    ModulePort(ModulePort&& other) noexcept;
    ModulePort& operator=(ModulePort&& other) noexcept;
    ModulePort(const ModulePort&) = delete;
    ModulePort& operator=(const ModulePort&) = delete;
    ~ModulePort();

    // Non-blocking descriptor the module reads requests from and writes replies to.
    int Fd() const { return fd_; }
    // What the panel opens: the pty's slave path, or the device path given.
    const std::string& PeerPath() const { return peerPath_; }
    bool IsOpen() const { return fd_ >= 0; }
    // Hangs up: for a pty the panel's end then reports a hang-up and reads fail.
    void Close();
    // Waits, at most `limit`, until the panel's end has taken what was written to the line. A
    // hang-up discards bytes still queued for the panel; a module that hangs up mid-reply
    // should still have its first half read.
    void WaitUntilTaken(std::chrono::milliseconds limit);

  private:
    ModulePort(int fd, int heldSlaveFd, std::string peerPath);

    int fd_ = -1;
    // For a pty: the module keeps the slave open itself, so that the master does not report a
    // hang-up (and wake the module's poll without end) while no panel has the port open.
    int heldSlaveFd_ = -1;
    std::string peerPath_;
};

}  // namespace simulator

#endif
