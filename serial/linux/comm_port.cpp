// Opening, configuring and closing the port, the reads and writes its owner's event loop asks
// for, and the "Application Error" report of a failed step.
#include "serial/linux/comm_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <system_error>

#include "serial/linux/line_config.h"
#include "serial/port_error.h"

namespace {

// Errors with which a port that went away (adapter pulled, far end of a pty closed) fails reads
// and writes. They are a hang-up, not a fault to report.
bool IsHangUpError(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EPIPE;
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

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

OpenResult Refused(OpenStatus status) {
    return OpenResult{status, {}, {}};
}

// Why an open, lock or exclusive-mode request was refused.
OpenStatus StatusOf(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return OpenStatus::Denied;
        case EBUSY:
        case EWOULDBLOCK:
            return OpenStatus::Busy;
        default:
            return OpenStatus::Absent;
    }
}

}  // namespace

CCommPort::CCommPort(PortRegistry& registry, PortOwner& owner, TtyCalls& calls)
    : registry_(registry), owner_(owner), calls_(calls) {}

CCommPort::~CCommPort() {
    Shutdown();
}

OpenResult CCommPort::Setup(int portNumber, const LineSettings& settings) {
    Shutdown();
    portNumber_ = portNumber;
    settings_ = settings;
    writeQueue_.Reset(settings.writeBufferSize);

    const std::optional<std::string> devicePath = registry_.DevicePath(portNumber);
    if (!devicePath) {
        return Refused(OpenStatus::Absent);
    }
    if (OpenResult opened = OpenExclusive(*devicePath); !opened.Opened()) {
        return opened;
    }
    if (OpenResult configured = Configure(settings); !configured.Opened()) {
        ClosePort();
        return configured;
    }
    return OpenResult::Ok();
}

// Exclusive twice over: flock keeps out every program that locks the same way, root included;
// TIOCEXCL makes the kernel refuse further opens by anyone else but root. O_NOCTTY: the port must
// never become this process's controlling terminal. O_NONBLOCK: the open must not wait for a
// carrier, and the owner's thread never sits in a read or a write.
OpenResult CCommPort::OpenExclusive(const std::string& devicePath) {
    UniqueFd fd(open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        return Refused(StatusOf(errno));
    }
    if (!isatty(fd.Get())) {
        return Refused(OpenStatus::Absent);  // a link to something that is no serial port
    }
    // The lock comes first: a second opener that fails here must not touch TIOCEXCL, which
    // belongs to the tty and so to the program that holds it.
    if (flock(fd.Get(), LOCK_EX | LOCK_NB) != 0 || ioctl(fd.Get(), TIOCEXCL) != 0) {
        return Refused(errno == EWOULDBLOCK || errno == EBUSY ? OpenStatus::Busy : StatusOf(errno));
    }
    termios found{};
    lineAtOpen_.reset();
    if (tcgetattr(fd.Get(), &found) == 0) {
        lineAtOpen_ = found;
    }
    port_ = std::move(fd);
    ++connection_;
    return OpenResult::Ok();
}

// The configuration steps, stopping at the first failure, each reported under the name the
// operator knows it by. The serial timeouts of the settings have no counterpart here: the port
// is read only when the descriptor is readable and never waits in a write.
OpenResult CCommPort::Configure(const LineSettings& settings) {
    const int fd = port_.Get();
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return ReportError(kOpSetCommTimeouts, errno);
    }
    ApplyReadReturnsWhatWaits(tio);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        return ReportError(kOpSetCommTimeouts, errno);
    }
    // Only received characters can be watched here: the owner has no way to hear of modem-line
    // or break events, so a mask asking for them is refused rather than silently ignored.
    if ((settings.eventMask & ~kEvRxChar) != 0) {
        return ReportError(kOpSetCommMask, EINVAL);
    }
    if (tcgetattr(fd, &tio) != 0) {
        return ReportError(kOpGetCommState, errno);
    }
    if (const int error = ApplyLineSettings(tio, settings); error != 0) {
        return ReportError(kOpSetCommState, error);
    }
    termios actual{};
    if (tcsetattr(fd, TCSANOW, &tio) != 0 || tcgetattr(fd, &actual) != 0) {
        return ReportError(kOpSetCommState, errno);
    }
    // RTS raised while the port is open. A pty has no modem lines and says so; that is no
    // failure, and as it has no line either, it keeps no framing to check.
    const int rts = TIOCM_RTS;
    const bool hasModemLines = ioctl(fd, TIOCMBIS, &rts) == 0;
    if (!hasModemLines && errno != ENOTTY && errno != EINVAL) {
        return ReportError(kOpSetCommState, errno);
    }
    if (hasModemLines && !LineSettingsTook(tio, actual)) {
        return ReportError(kOpSetCommState, EINVAL);
    }
    return OpenResult::Ok();
}

// TIOCEXCL outlives the descriptor on a pty, so it is cleared before closing, or nobody could
// open the port again. Closing releases the flock.
void CCommPort::ClosePort() {
    if (port_.Valid()) {
        RestoreLineAtOpen();
        ioctl(port_.Get(), TIOCNXCL);
        port_.Reset();
        ++connection_;
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
    const auto deadline = calls_.Now() + WireTime(settings_.writeBufferSize, settings_.baudRate);
    while (calls_.OutputQueued(fd) > 0 && calls_.Now() < deadline) {
        calls_.Pause(kOutputPollInterval);
    }
    calls_.SetLine(fd, *lineAtOpen_);
    lineAtOpen_.reset();
}

bool CCommPort::StartWorker() {
    if (!port_.Valid()) {
        return false;
    }
    if (serving_) {
        return true;
    }
    // Served from a clean line: what arrived since Setup answers nothing asked on this
    // connection, and every byte arriving after this call counts.
    tcflush(port_.Get(), TCIOFLUSH);
    serving_ = true;
    WritePending();
    Watch();
    return true;
}

void CCommPort::Shutdown() {
    serving_ = false;
    writeQueue_.Reset(settings_.writeBufferSize);
    unsent_.clear();
    unsentOffset_ = 0;
    Watch();
    ClosePort();
}

void CCommPort::QueueWrite(const std::uint8_t* bytes, std::size_t count) {
    if (!writeQueue_.Push(bytes, count)) {
        return;
    }
    WritePending();
    Watch();
}

// One read of everything waiting, stamped with the time it was read and fed whole before the
// next read: nothing is read ahead of its handling. No purge anywhere else: a frame written
// never discards what the module sent, and the reply assembler finds its way in any stream.
void CCommPort::OnReadable() {
    if (!serving_ || feeding_) {
        return;
    }
    std::array<std::uint8_t, kReceiveBlockSize> block;
    ssize_t count = 0;
    do {
        count = read(port_.Get(), block.data(), block.size());
    } while (count < 0 && errno == EINTR);
    if (count > 0) {
        Feed(block.data(), static_cast<std::size_t>(count), NowMs());
        return;
    }
    if (count < 0 && errno == EAGAIN) {
        return;  // woken for nothing, or a hang-up with bytes still to come: read again later
    }
    if (count < 0 && !IsHangUpError(errno)) {
        // A read that fails for another reason would fail again at every wake: one box, then the
        // port is lost like a hung-up one, so the owner closes it instead of the box repeating.
        const int error = errno;
        const std::uint64_t connection = connection_;
        serving_ = false;
        Watch();
        ReportError(kOpReadFile, error);
        if (connection_ != connection) {
            return;  // closed or re-opened while the box was up
        }
    }
    Lose();
}

// The stop is seen between bytes: a call that closes or re-opens the port ends the block there.
void CCommPort::Feed(const std::uint8_t* bytes, std::size_t count, std::int64_t receivedAtMs) {
    const std::uint64_t connection = connection_;
    feeding_ = true;
    Watch();
    for (std::size_t i = 0; i < count && connection_ == connection; ++i) {
        owner_.OnPortByte(bytes[i], portNumber_, receivedAtMs);
    }
    feeding_ = false;
    Watch();
}

void CCommPort::OnPollReady(short revents) {
    if ((revents & POLLOUT) != 0) {
        OnWritable();
    }
    if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        OnReadable();
    }
}

void CCommPort::OnWritable() {
    if (serving_) {
        WritePending();
        Watch();
    }
}

// Writes queued frames, in order, until the line takes no more; the rest of a frame the line did
// not take waits for writability, and the frames after it wait behind it.
void CCommPort::WritePending() {
    while (serving_) {
        if (unsentOffset_ == unsent_.size()) {
            std::optional<FrameQueue::Frame> next = writeQueue_.Pop();
            if (!next) {
                return;
            }
            unsent_ = std::move(*next);
            unsentOffset_ = 0;
        }
        const ssize_t count =
            write(port_.Get(), unsent_.data() + unsentOffset_, unsent_.size() - unsentOffset_);
        if (count > 0) {
            unsentOffset_ += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count == 0 || errno == EAGAIN) {
            return;
        }
        const int error = errno;
        unsent_.clear();
        unsentOffset_ = 0;
        if (IsHangUpError(error)) {
            Lose();
            return;
        }
        // The frame is abandoned, as one the line refused; the next one is tried at its turn.
        const std::uint64_t connection = connection_;
        ReportError(kOpWriteFile, error);
        if (connection_ != connection) {
            return;
        }
    }
}

void CCommPort::Lose() {
    serving_ = false;
    writeQueue_.Reset(settings_.writeBufferSize);
    unsent_.clear();
    unsentOffset_ = 0;
    Watch();
    if (port_.Valid()) {
        owner_.OnPortLost(portNumber_);
    }
}

void CCommPort::Watch() {
    const bool read = serving_ && !feeding_;
    const bool write = serving_ && (unsentOffset_ < unsent_.size() || !writeQueue_.Empty());
    const int fd = (read || write) ? port_.Get() : -1;
    if (fd == watchedFd_ && read == watchedRead_ && write == watchedWrite_) {
        return;
    }
    watchedFd_ = fd;
    watchedRead_ = read;
    watchedWrite_ = write;
    owner_.WatchPort(fd, read, write);
}

OpenResult CCommPort::ReportError(const char* operation, int error) {
    const std::string systemText = std::system_category().message(error);
    owner_.ShowApplicationError(FormatPortError(operation, systemText, portNumber_));
    return OpenResult{OpenStatus::Failed, operation, systemText};
}
