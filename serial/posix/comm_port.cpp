// Opening, configuring and closing the port, starting and stopping its worker, and the
// "Application Error" report of a failed step.
#include "serial/posix/comm_port.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>
#include <thread>

#include "serial/port_error.h"
#include "serial/posix/line_config.h"

namespace {

// How long Shutdown waits for the worker between two calls of the owner's DispatchPending. The
// worker normally leaves at once; this only paces the wait when it is inside a delivery.
constexpr std::chrono::milliseconds kDispatchInterval{5};

void ClearEvent(int eventFd) {
    eventfd_t ignored = 0;
    eventfd_read(eventFd, &ignored);
}

std::uint64_t SecondsToMs(std::uint32_t seconds) {
    return std::uint64_t{seconds} * 1000;
}

// How long `bytes` take on the line at `baud` at most: a start bit, 8 data bits, a parity bit and
// two stop bits each.
std::chrono::milliseconds WireTime(std::size_t bytes, std::uint32_t baud) {
    constexpr std::uint64_t kBitsPerByte = 12;
    return std::chrono::milliseconds(bytes * kBitsPerByte * 1000 /
                                     std::max<std::uint32_t>(baud, 1));
}

// How often a close looks whether the driver has sent what it was given.
constexpr std::chrono::milliseconds kOutputPollInterval{1};

}  // namespace

CCommPort::CCommPort(PortRegistry& registry)
    : registry_(registry),
      stopEvent_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      writeEvent_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CCommPort::~CCommPort() {
    StopWorker(false);
    ClosePort();
}

bool CCommPort::Setup(PortOwner& owner, int portNumber, const LineSettings& settings) {
    // A worker blocked in a delivery waits for this very thread, so it is stopped the way
    // Shutdown stops it, with the owner's work kept flowing.
    StopWorker(true);
    ClosePort();

    owner_ = &owner;
    portNumber_ = portNumber;
    settings_ = settings;
    timeouts_ = {SecondsToMs(settings.readIntervalTimeout),
                 SecondsToMs(settings.readTotalTimeoutMultiplier),
                 SecondsToMs(settings.readTotalTimeoutConstant),
                 SecondsToMs(settings.writeTotalTimeoutMultiplier),
                 SecondsToMs(settings.writeTotalTimeoutConstant)};
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        writeQueue_.Reset(settings.writeBufferSize);
    }
    if (!stopEvent_.Valid() || !writeEvent_.Valid()) {
        return false;
    }
    ClearEvent(stopEvent_.Get());
    ClearEvent(writeEvent_.Get());

    const std::optional<std::string> devicePath = registry_.DevicePath(portNumber);
    if (!devicePath || !OpenExclusive(*devicePath)) {
        return false;
    }
    if (!Configure()) {
        ClosePort();
        return false;
    }
    tcflush(port_.Get(), TCIOFLUSH);
    return true;
}

// Exclusive twice over: flock keeps out every program that locks the same way, root included;
// TIOCEXCL makes the kernel refuse further opens by anyone else but root. O_NOCTTY: the port must
// never become this process's controlling terminal. O_NONBLOCK: the open must not wait for a
// carrier, and the worker never sits in a read or write that a stop request cannot end.
bool CCommPort::OpenExclusive(const std::string& devicePath) {
    UniqueFd fd(open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid() || !isatty(fd.Get())) {
        return false;
    }
    // The lock comes first: a second opener that fails here must not touch TIOCEXCL, which
    // belongs to the tty and so to the program that holds it.
    if (flock(fd.Get(), LOCK_EX | LOCK_NB) != 0 || ioctl(fd.Get(), TIOCEXCL) != 0) {
        return false;
    }
    termios found{};
    lineAtOpen_.reset();
    if (tcgetattr(fd.Get(), &found) == 0) {
        lineAtOpen_ = found;
    }
    port_ = std::move(fd);
    return true;
}

// The configuration steps, stopping at the first failure, each reported under the name the
// operator knows it by.
bool CCommPort::Configure() {
    const int fd = port_.Get();
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        ReportError(kOpSetCommTimeouts, errno);
        return false;
    }
    ApplyReadTimeouts(tio);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        ReportError(kOpSetCommTimeouts, errno);
        return false;
    }
    // Only received characters can be watched here: the owner has no way to hear of modem-line
    // or break events, so a mask asking for them is refused rather than silently ignored.
    if ((settings_.eventMask & ~kEvRxChar) != 0) {
        ReportError(kOpSetCommMask, EINVAL);
        return false;
    }
    if (tcgetattr(fd, &tio) != 0) {
        ReportError(kOpGetCommState, errno);
        return false;
    }
    if (const int error = ApplyLineSettings(tio, settings_); error != 0) {
        ReportError(kOpSetCommState, error);
        return false;
    }
    termios actual{};
    if (tcsetattr(fd, TCSANOW, &tio) != 0 || tcgetattr(fd, &actual) != 0) {
        ReportError(kOpSetCommState, errno);
        return false;
    }
    // RTS raised while the port is open. A pty has no modem lines and says so; that is no
    // failure, and as it has no line either, it keeps no framing to check.
    const int rts = TIOCM_RTS;
    const bool hasModemLines = ioctl(fd, TIOCMBIS, &rts) == 0;
    if (!hasModemLines && errno != ENOTTY && errno != EINVAL) {
        ReportError(kOpSetCommState, errno);
        return false;
    }
    if (hasModemLines && !LineSettingsTook(tio, actual)) {
        ReportError(kOpSetCommState, EINVAL);
        return false;
    }
    return true;
}

// TIOCEXCL outlives the descriptor on a pty, so it is cleared before closing, or nobody could
// open the port again. Closing releases the flock.
void CCommPort::ClosePort() {
    if (port_.Valid()) {
        RestoreLineAtOpen();
        ioctl(port_.Get(), TIOCNXCL);
        port_.Reset();
    }
}

// The settings stay with the tty after the close: a terminal reached through a stale link would
// otherwise be left raw, without echo or line editing. Frames already handed to the driver leave
// first, at the connection's speed, so the module never sees the tail of one at another speed;
// the wait is bounded by a full write buffer's time on the line, so a stalled adapter cannot hold
// the close. After a hang-up the descriptor no longer reaches the tty and both steps fail at once.
void CCommPort::RestoreLineAtOpen() {
    if (!lineAtOpen_) {
        return;
    }
    const int fd = port_.Get();
    const auto deadline =
        std::chrono::steady_clock::now() + WireTime(settings_.writeBufferSize, settings_.baudRate);
    int unsent = 0;
    while (ioctl(fd, TIOCOUTQ, &unsent) == 0 && unsent > 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kOutputPollInterval);
    }
    tcsetattr(fd, TCSANOW, &*lineAtOpen_);
    lineAtOpen_.reset();
}

bool CCommPort::StartWorker() {
    if (!port_.Valid()) {
        return false;
    }
    if (worker_.joinable()) {
        return true;
    }
    // The worker starts on a clean line: what arrived since Setup answers nothing asked on this
    // connection. Purged here, not on the worker, so every byte arriving after this call counts.
    tcflush(port_.Get(), TCIOFLUSH);
    {
        std::lock_guard<std::mutex> lock(aliveLock_);
        workerAlive_ = true;
    }
    try {
        worker_ = std::thread(&CCommPort::RunWorker, this);
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> lock(aliveLock_);
        workerAlive_ = false;
        return false;
    }
    return true;
}

void CCommPort::Shutdown() {
    StopWorker(true);
    ClosePort();
    std::lock_guard<std::mutex> lock(queueLock_);
    writeQueue_.Reset(settings_.writeBufferSize);
}

void CCommPort::StopWorker(bool dispatchOwner) {
    if (!worker_.joinable()) {
        return;
    }
    eventfd_write(stopEvent_.Get(), 1);
    for (;;) {
        if (dispatchOwner && owner_ != nullptr) {
            owner_->DispatchPending();
        }
        std::unique_lock<std::mutex> lock(aliveLock_);
        if (aliveChanged_.wait_for(lock, kDispatchInterval, [this] { return !workerAlive_; })) {
            break;
        }
    }
    worker_.join();
    ClearEvent(stopEvent_.Get());
}

void CCommPort::QueueWrite(const std::uint8_t* bytes, std::size_t count) {
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        if (!writeQueue_.Push(bytes, count)) {
            return;
        }
    }
    eventfd_write(writeEvent_.Get(), 1);
}

void CCommPort::ReportError(const char* operation, int error) {
    const std::string systemText = std::system_category().message(error);
    owner_->ShowApplicationError(FormatPortError(operation, systemText, portNumber_));
}
