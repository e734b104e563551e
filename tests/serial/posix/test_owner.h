// A port owner for tests: records what the worker hands it and lets the test wait for it. In
// holding mode a delivery waits after its first byte until the owner's thread dispatches; in slow
// mode each delivery takes a while.
#ifndef DRIVERPANEL_TESTS_SERIAL_POSIX_TEST_OWNER_H
#define DRIVERPANEL_TESTS_SERIAL_POSIX_TEST_OWNER_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "serial/port_owner.h"

class TestOwner : public PortOwner {
  public:
    explicit TestOwner(bool holdDeliveries = false) : holdDeliveries_(holdDeliveries) {}
    // Takes this long over every block, as a busy window does.
    explicit TestOwner(std::chrono::microseconds perBlock)
        : holdDeliveries_(false), perBlock_(perBlock) {}

    void DeliverBytes(std::span<const std::uint8_t> block, int portNumber) override {
        std::unique_lock<std::mutex> lock(lock_);
        ++inDelivery_;
        for (const std::uint8_t byte : block) {
            bytes_.push_back(byte);
            lastPort_ = portNumber;
            changed_.notify_all();
            if (holdDeliveries_) {
                // Released only by the dispatch of a Shutdown: the stop is then seen between
                // bytes, as by a real owner, so nothing after the byte in hand is handled.
                const std::size_t ticket = bytes_.size();
                changed_.wait(lock, [&] { return released_ >= ticket; });
                break;
            }
        }
        --inDelivery_;
        if (perBlock_.count() > 0) {
            lock.unlock();
            std::this_thread::sleep_for(perBlock_);
        }
    }

    void DispatchPending() override {
        std::lock_guard<std::mutex> lock(lock_);
        released_ = bytes_.size();
        changed_.notify_all();
    }

    void ShowApplicationError(const std::string& text) override {
        std::lock_guard<std::mutex> lock(lock_);
        errors_.push_back(text);
        changed_.notify_all();
    }

    void PortHungUp(int portNumber) override {
        std::lock_guard<std::mutex> lock(lock_);
        hangUps_.push_back(portNumber);
        changed_.notify_all();
    }

    // Waits, with a bound far beyond any normal delay, until the condition holds.
    bool WaitUntil(const std::function<bool(const TestOwner&)>& condition) {
        std::unique_lock<std::mutex> lock(lock_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return condition(*this); });
    }

    std::vector<std::uint8_t> Bytes() {
        std::lock_guard<std::mutex> lock(lock_);
        return bytes_;
    }
    std::vector<std::string> Errors() {
        std::lock_guard<std::mutex> lock(lock_);
        return errors_;
    }
    std::vector<int> HangUps() {
        std::lock_guard<std::mutex> lock(lock_);
        return hangUps_;
    }

    // For WaitUntil conditions, which run with the lock held.
    std::size_t ByteCount() const { return bytes_.size(); }
    bool InDelivery() const { return inDelivery_ > 0; }
    std::size_t HangUpCount() const { return hangUps_.size(); }
    std::size_t ErrorCount() const { return errors_.size(); }
    int LastPort() const { return lastPort_; }

  private:
    const bool holdDeliveries_;
    const std::chrono::microseconds perBlock_{0};
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::uint8_t> bytes_;  // guarded by lock_
    std::vector<std::string> errors_;  // guarded by lock_
    std::vector<int> hangUps_;         // guarded by lock_
    std::size_t released_ = 0;         // guarded by lock_
    int inDelivery_ = 0;               // guarded by lock_
    int lastPort_ = 0;                 // guarded by lock_
};

#endif
