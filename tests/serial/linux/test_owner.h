// A port owner for tests: records what the port reports, and serves the port as a host's event
// loop does (poll() on what the port asks to be watched), on the test's own thread.
#ifndef DRIVERPANEL_TESTS_SERIAL_LINUX_TEST_OWNER_H
#define DRIVERPANEL_TESTS_SERIAL_LINUX_TEST_OWNER_H

#include <poll.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "serial/linux/comm_port.h"
#include "serial/port_owner.h"

class TestOwner : public PortOwner {
  public:
    struct Received {
        std::uint8_t byte;
        int portNumber;
        std::int64_t receivedAtMs;
    };

    // Runs after each byte is recorded (it may shut the port down, as a console command does).
    std::function<void()> afterByte;

    void OnPortByte(std::uint8_t byte, int portNumber, std::int64_t receivedAtMs) override {
        received.push_back({byte, portNumber, receivedAtMs});
        if (afterByte) {
            afterByte();
        }
    }
    void OnPortLost(int portNumber) override { lost.push_back(portNumber); }
    void ShowApplicationError(const std::string& text) override { errors.push_back(text); }
    void WatchPort(int fd, bool readable, bool writable) override {
        watchedFd = fd;
        watchedRead = readable;
        watchedWrite = writable;
        everWatchedWrite |= writable;
    }

    // Serves the port until `done` holds (true) or a generous bound passes (false).
    bool ServeUntil(CCommPort& port, const std::function<bool()>& done,
                    std::chrono::milliseconds bound = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            ServeOnce(port, 5);
        }
        return true;
    }

    // Serves the port for a while, whatever comes.
    void ServeFor(CCommPort& port, std::chrono::milliseconds span) {
        ServeUntil(
            port, [] { return false; }, span);
    }

    // One turn of the loop: waits up to timeoutMs for the watched events and hands them over.
    void ServeOnce(CCommPort& port, int timeoutMs) {
        const short events =
            static_cast<short>((watchedRead ? POLLIN : 0) | (watchedWrite ? POLLOUT : 0));
        pollfd wait = {events == 0 ? -1 : watchedFd, events, 0};
        if (poll(&wait, 1, timeoutMs) <= 0) {
            return;
        }
        if ((wait.revents & POLLOUT) != 0) {
            port.OnWritable();
        }
        if ((wait.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            port.OnReadable();
        }
    }

    std::vector<std::uint8_t> Bytes() const {
        std::vector<std::uint8_t> bytes;
        for (const Received& r : received) {
            bytes.push_back(r.byte);
        }
        return bytes;
    }

    std::vector<Received> received;
    std::vector<int> lost;
    std::vector<std::string> errors;
    int watchedFd = -1;
    bool watchedRead = false;
    bool watchedWrite = false;
    bool everWatchedWrite = false;
};

#endif
