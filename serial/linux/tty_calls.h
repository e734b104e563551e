// The system calls with which a close gives the tty back, behind one small seam: their order is
// the point (the frames already sent leave the line before its settings change) and a pty cannot
// show it, as it has no line speed. The port object uses the real calls; tests replace them.
#ifndef DRIVERPANEL_SERIAL_LINUX_TTY_CALLS_H
#define DRIVERPANEL_SERIAL_LINUX_TTY_CALLS_H

#include <termios.h>

#include <chrono>

class TtyCalls {
  public:
    virtual ~TtyCalls() = default;

    // Bytes the driver still holds for the line (TIOCOUTQ), or -1 when it cannot tell.
    virtual int OutputQueued(int fd);
    // tcsetattr(TCSANOW); 0 or -1 with errno.
    virtual int SetLine(int fd, const termios& settings);
    virtual void Pause(std::chrono::milliseconds span);
    virtual std::chrono::steady_clock::time_point Now();
};

// The real calls, shared by every port object that is given no others.
TtyCalls& SystemTtyCalls();

#endif
