#include "serial/linux/tty_calls.h"

#include <sys/ioctl.h>

#include <thread>

int TtyCalls::OutputQueued(int fd) {
    int unsent = 0;
    return ioctl(fd, TIOCOUTQ, &unsent) == 0 ? unsent : -1;
}

int TtyCalls::SetLine(int fd, const termios& settings) {
    return tcsetattr(fd, TCSANOW, &settings);
}

void TtyCalls::Pause(std::chrono::milliseconds span) {
    std::this_thread::sleep_for(span);
}

std::chrono::steady_clock::time_point TtyCalls::Now() {
    return std::chrono::steady_clock::now();
}

TtyCalls& SystemTtyCalls() {
    static TtyCalls calls;
    return calls;
}
