// Opening and configuring the module's end of the line with POSIX calls.
#include "tools/simulator/module_port.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <thread>
#include <utility>

namespace simulator {

namespace {

[[noreturn]] void ThrowErrno(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// Raw bytes both ways: no echo (the module would read its own replies back), no line editing,
// no translation of CR or NL, reads return whatever has arrived.
void MakeRaw(int fd, const std::string& what) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        ThrowErrno("tcgetattr " + what);
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        ThrowErrno("tcsetattr " + what);
    }
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

}  // namespace

ModulePort ModulePort::OpenPty() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0) {
        ThrowErrno("posix_openpt");
    }
    ModulePort port(master, master, -1, "");
    if (grantpt(master) != 0 || unlockpt(master) != 0) {
        ThrowErrno("unlockpt");
    }
    char name[128];
    if (ptsname_r(master, name, sizeof name) != 0) {
        ThrowErrno("ptsname_r");
    }
    port.peerPath_ = name;
    port.heldSlaveFd_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (port.heldSlaveFd_ < 0) {
        ThrowErrno(std::string("open ") + name);
    }
    MakeRaw(port.heldSlaveFd_, name);
    return port;
}

ModulePort ModulePort::OpenDevice(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        ThrowErrno("open " + path);
    }
    ModulePort port(fd, fd, -1, path);
    MakeRaw(fd, path);
    return port;
}

ModulePort ModulePort::OpenStdio() {
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO}) {
        const int flags = fcntl(fd, F_GETFL);
        if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
            ThrowErrno("standard input and output");
        }
    }
    if (isatty(STDIN_FILENO)) {
        MakeRaw(STDIN_FILENO, "standard input");
    }
    return ModulePort(STDIN_FILENO, STDOUT_FILENO, -1, "");
}

ModulePort::ModulePort(int readFd, int writeFd, int heldSlaveFd, std::string peerPath)
    : readFd_(readFd),
      writeFd_(writeFd),
      heldSlaveFd_(heldSlaveFd),
      peerPath_(std::move(peerPath)) {}

ModulePort::ModulePort(ModulePort&& other) noexcept
    : readFd_(std::exchange(other.readFd_, -1)),
      writeFd_(std::exchange(other.writeFd_, -1)),
      heldSlaveFd_(std::exchange(other.heldSlaveFd_, -1)),
      peerPath_(std::move(other.peerPath_)) {}

ModulePort& ModulePort::operator=(ModulePort&& other) noexcept {
    if (this != &other) {
        Close();
        readFd_ = std::exchange(other.readFd_, -1);
        writeFd_ = std::exchange(other.writeFd_, -1);
        heldSlaveFd_ = std::exchange(other.heldSlaveFd_, -1);
        peerPath_ = std::move(other.peerPath_);
    }
    return *this;
}

ModulePort::~ModulePort() {
    Close();
}

void ModulePort::WaitUntilTaken(std::chrono::milliseconds limit) {
    if (heldSlaveFd_ < 0) {
        if (writeFd_ >= 0 && isatty(writeFd_)) {
            tcdrain(writeFd_);
        }
        return;
    }
    // The pty passes written bytes on to the slave's input queue asynchronously, so an empty
    // queue just after writing says nothing; give the bytes a moment to arrive first.
    constexpr auto kArrival = std::chrono::milliseconds(20);
    constexpr auto kStep = std::chrono::milliseconds(2);
    std::this_thread::sleep_for(kArrival);
    for (auto waited = kArrival; waited < limit; waited += kStep) {
        int queued = 0;
        if (::ioctl(heldSlaveFd_, FIONREAD, &queued) != 0 || queued == 0) {
            return;
        }
        std::this_thread::sleep_for(kStep);
    }
}

void ModulePort::Close() {
    CloseFd(heldSlaveFd_);
    if (writeFd_ == readFd_) {
        writeFd_ = -1;
    }
    CloseFd(writeFd_);
    CloseFd(readFd_);
}

}  // namespace simulator
