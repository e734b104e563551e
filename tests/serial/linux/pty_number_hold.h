// Keeps a pseudo-terminal's number taken while a test checks that the pty's vanished device node
// leaves the port list. When the far end closes, /dev/pts/N goes at once, but N is handed to
// the next pty as soon as the last near-end descriptor closes too: a test running beside this
// one could be given the same number and bring a link to /dev/pts/N back to life, so that the
// port looks present again. One more near-end descriptor, opened before the hang-up and kept
// until the test ends, holds the number without reading or locking anything.
#ifndef DRIVERPANEL_TESTS_SERIAL_LINUX_PTY_NUMBER_HOLD_H
#define DRIVERPANEL_TESTS_SERIAL_LINUX_PTY_NUMBER_HOLD_H

#include <fcntl.h>
#include <unistd.h>

#include <string>

class PtyNumberHold {
  public:
    explicit PtyNumberHold(const std::string& nearPath)
        : fd_(open(nearPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    ~PtyNumberHold() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    PtyNumberHold(const PtyNumberHold&) = delete;
    PtyNumberHold& operator=(const PtyNumberHold&) = delete;

    bool Held() const { return fd_ >= 0; }

  private:
    int fd_;
};

#endif
