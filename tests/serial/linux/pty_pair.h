// A pseudo-terminal for port tests: the test holds the far end (the master) and plays the module;
// the port object opens the near end through a link in a virtual-port directory.
#ifndef DRIVERPANEL_TESTS_SERIAL_LINUX_PTY_PAIR_H
#define DRIVERPANEL_TESTS_SERIAL_LINUX_PTY_PAIR_H

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <sys/ioctl.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

class PtyPair {
  public:
    PtyPair() {
        farEnd_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128] = {};
        if (farEnd_ >= 0 && grantpt(farEnd_) == 0 && unlockpt(farEnd_) == 0 &&
            ptsname_r(farEnd_, name, sizeof name) == 0) {
            nearPath_ = name;
        }
    }
    ~PtyPair() { CloseFarEnd(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Valid() const { return farEnd_ >= 0 && !nearPath_.empty(); }
    int FarEnd() const { return farEnd_; }
    const std::string& NearPath() const { return nearPath_; }

    void CloseFarEnd() {
        if (farEnd_ >= 0) {
            close(farEnd_);
            farEnd_ = -1;
        }
    }

    bool Send(const std::vector<std::uint8_t>& bytes) const {
        return write(farEnd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // Lets count bytes pile up unread at the far end before reading them, as a slow module
    // would; gives up after a generous while.
    std::vector<std::uint8_t> ReceiveOnceBuffered(std::size_t count) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        int buffered = 0;
        while (ioctl(farEnd_, FIONREAD, &buffered) == 0 &&
               static_cast<std::size_t>(buffered) < count &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return Receive(count);
    }

    // Reads until count bytes arrived, or nothing more came for a generous while.
    std::vector<std::uint8_t> Receive(std::size_t count) const {
        std::vector<std::uint8_t> bytes;
        while (bytes.size() < count) {
            pollfd wait = {farEnd_, POLLIN, 0};
            if (poll(&wait, 1, 10000) <= 0) {
                break;
            }
            std::uint8_t chunk[256];
            const ssize_t got = read(farEnd_, chunk, sizeof chunk);
            if (got <= 0) {
                break;
            }
            bytes.insert(bytes.end(), chunk, chunk + got);
        }
        return bytes;
    }

  private:
    int farEnd_ = -1;
    std::string nearPath_;
};

#endif
