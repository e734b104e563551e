// Peer receiver: the plainest Qt program, a QSocketNotifier on the raw tty and one read() of
// whatever is waiting each time it fires, fed to the reply assembler byte by byte.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "bench/peer_receiver.h"

namespace {

class NotifierPath : public OpenedPath {
  public:
    NotifierPath(int fd, PeerRecorder& recorder) : fd_(fd), notifier_(fd, QSocketNotifier::Read) {
        QObject::connect(&notifier_, &QSocketNotifier::activated, [this, &recorder] {
            const ssize_t count = read(fd_, buffer_.data(), buffer_.size());
            for (ssize_t i = 0; i < count; ++i) {
                recorder.Take(buffer_[static_cast<std::size_t>(i)]);
            }
        });
    }
    ~NotifierPath() override { close(fd_); }
    NotifierPath(const NotifierPath&) = delete;
    NotifierPath& operator=(const NotifierPath&) = delete;

  private:
    int fd_;
    std::array<std::uint8_t, 4096> buffer_{};
    QSocketNotifier notifier_;
};

// The tty opened without becoming the controlling terminal, raw, 9600 8N1, reads never blocking.
int OpenRaw(const std::string& tty) {
    const int fd = open(tty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    termios line{};
    if (tcgetattr(fd, &line) != 0) {
        close(fd);
        return -1;
    }
    cfmakeraw(&line);
    cfsetspeed(&line, B9600);
    line.c_cflag |= CLOCAL | CREAD;
    if (tcsetattr(fd, TCSANOW, &line) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

int main(int argc, char** argv) {
    return RunPeerReceiver(argc, argv, [](const std::string& tty, PeerRecorder& recorder) {
        const int fd = OpenRaw(tty);
        if (fd < 0) {
            std::fprintf(stderr, "could not open %s: %s\n", tty.c_str(), std::strerror(errno));
            return std::unique_ptr<OpenedPath>();
        }
        return std::unique_ptr<OpenedPath>(std::make_unique<NotifierPath>(fd, recorder));
    });
}
