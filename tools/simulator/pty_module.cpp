// The serving thread and the in-memory event log behind PtyModule.
#include "tools/simulator/pty_module.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <system_error>
#include <utility>

namespace simulator {

PtyModule::PtyModule(const ModuleConfig& config, ModuleSimulator::EventSink sink)
    : PtyModule(config, ModulePort::OpenPty(), std::move(sink)) {}

PtyModule::PtyModule(const ModuleConfig& config, const std::string& devicePath,
                     ModuleSimulator::EventSink sink)
    : PtyModule(config, ModulePort::OpenDevice(devicePath), std::move(sink)) {}

PtyModule::PtyModule(const ModuleConfig& config, ModulePort port, ModuleSimulator::EventSink sink)
    : port_(std::move(port)),
      path_(port_.PeerPath()),
      sink_(std::move(sink)),
      simulator_(config, SimClock::now(), [this](const LineEvent& event) { Record(event); }) {
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd_ < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
}

PtyModule::~PtyModule() {
    Stop();
    ::close(stopFd_);
}

void PtyModule::Start() {
    if (!thread_.joinable()) {
        std::uint64_t earlierStops = 0;  // a Stop before this Start must not end this run
        [[maybe_unused]] const ssize_t got = ::read(stopFd_, &earlierStops, sizeof earlierStops);
        {
            std::lock_guard lock(mutex_);
            result_.reset();
        }
        thread_ = std::thread([this] { Serve(); });
    }
}

void PtyModule::Stop() {
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        // An eventfd write of 1 cannot fail short of overflow; the loop only needs it readable.
        [[maybe_unused]] const ssize_t written = ::write(stopFd_, &one, sizeof one);
        thread_.join();
    }
}

void PtyModule::HangUp() {
    Stop();
    port_.Close();
}

std::vector<LineEvent> PtyModule::Events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

std::vector<LineEvent> PtyModule::Received() const {
    std::vector<LineEvent> received;
    std::lock_guard lock(mutex_);
    std::copy_if(events_.begin(), events_.end(), std::back_inserter(received),
                 [](const LineEvent& e) { return e.direction == LineEvent::Direction::Received; });
    return received;
}

bool PtyModule::WaitFor(const EventPredicate& predicate, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return predicate(events_); });
}

std::optional<ServeResult> PtyModule::Result() const {
    std::lock_guard lock(mutex_);
    return result_;
}

bool PtyModule::WaitForEnd(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return result_.has_value(); });
}

void PtyModule::Record(const LineEvent& event) {
    if (sink_) {
        sink_(event);
    }
    {
        std::lock_guard lock(mutex_);
        events_.push_back(event);
    }
    changed_.notify_all();
}

void PtyModule::Serve() {
    ServeResult result = ServeModule(port_, simulator_, stopFd_);
    {
        std::lock_guard lock(mutex_);
        result_ = std::move(result);
    }
    changed_.notify_all();
}

}  // namespace simulator
