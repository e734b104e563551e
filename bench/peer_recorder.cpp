// The peer receivers' recorder.
#include "bench/peer_recorder.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace {

std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// CPU time of every thread of this process, and its context switches.
void ProcessUsage(std::int64_t& cpuNs, std::int64_t& switches) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ns = [](const timeval& t) {
        return static_cast<std::int64_t>(t.tv_sec) * 1000000000 +
               static_cast<std::int64_t>(t.tv_usec) * 1000;
    };
    cpuNs = ns(usage.ru_utime) + ns(usage.ru_stime);
    switches = usage.ru_nvcsw + usage.ru_nivcsw;
}

void WriteAll(int fd, const std::string& text) {
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = write(fd, data, left);
        if (n <= 0) {
            return;  // the driver has gone; nobody is left to read it
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
}

}  // namespace

PeerRecorder::PeerRecorder(const PeerPlan& plan, int reportFd, std::function<void()> finished)
    : plan_(plan),
      reportFd_(reportFd),
      finished_(std::move(finished)),
      records_(plan.Phases().size()) {
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const PeerPhase& phase = plan.Phases()[i];
        if (phase.mode == WriteMode::kFramePaced) {
            records_[i].times.reserve(phase.frames);
        } else if (phase.mode == WriteMode::kBytePaced) {
            records_[i].times.reserve(phase.bytes);
        }
    }
}

void PeerRecorder::Take(std::uint8_t byte) {
    const std::size_t index = check_.taken++;
    check_.mismatched += byte == plan_.Byte(index) ? 0 : 1;
    // The assembler is given the time the byte is taken, as the panel gives it: a receiver
    // stalled mid-reply for longer than the assembler's gap limit loses that reply, as the panel
    // would, and the driver reports it.
    const std::int64_t takenAt = Now();
    const bool completed = !assembler_.Take(byte, takenAt / 1000000).empty();
    check_.replies += completed ? 1 : 0;
    if (phase_ >= records_.size()) {
        return;  // beyond the plan: checked, not timed
    }
    const PeerPhase& phase = plan_.Phases()[phase_];
    PhaseRecord& record = records_[phase_];
    if (index == phase.firstByte) {
        BeginPhase(record);
    }
    if (phase.mode == WriteMode::kBytePaced ||
        (phase.mode == WriteMode::kFramePaced && completed)) {
        record.times.push_back(takenAt);
    }
    if (index + 1 == phase.firstByte + phase.bytes) {
        EndPhase(record);
        WriteAll(reportFd_, std::string(kPhaseDoneWord) + ' ' + std::to_string(phase_) + '\n');
        if (++phase_ == records_.size()) {
            finished_();
        }
    }
}

void PeerRecorder::BeginPhase(PhaseRecord& record) {
    ProcessUsage(record.cpuAtFirst, record.switchesAtFirst);
    record.firstAt = Now();
}

void PeerRecorder::EndPhase(PhaseRecord& record) {
    record.lastAt = Now();
    ProcessUsage(record.cpuAtLast, record.switchesAtLast);
}

void PeerRecorder::Report() const {
    for (std::size_t i = 0; i < records_.size(); ++i) {
        WriteAll(reportFd_, PhaseLine(i, records_[i]));
    }
    WriteAll(reportFd_, CheckLine(check_));
}
