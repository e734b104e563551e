// What a peer receiver tells the driver on its standard output, one line each: that it is ready,
// that a phase's last byte has been handled, and at the end what it recorded. Times are
// nanoseconds of the monotonic clock, which driver and receivers share.
#ifndef DRIVERPANEL_BENCH_PEER_REPORT_H
#define DRIVERPANEL_BENCH_PEER_REPORT_H

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

inline constexpr const char* kReadyLine = "ready";
inline constexpr const char* kPhaseDoneWord = "done";
inline constexpr const char* kPhaseWord = "phase";
inline constexpr const char* kCheckWord = "check";

// One phase as a receiver saw it: its first and last byte handled, the process's CPU time and
// context switches (all threads) at those two moments, and the times it was asked to keep (each
// reply completed, or each byte handled).
struct PhaseRecord {
    std::int64_t firstAt = 0;
    std::int64_t lastAt = 0;
    std::int64_t cpuAtFirst = 0;
    std::int64_t cpuAtLast = 0;
    std::int64_t switchesAtFirst = 0;
    std::int64_t switchesAtLast = 0;
    std::vector<std::int64_t> times;
};

// Every byte handled, those that differed from the stream's byte at their place, and replies
// the assembler completed.
struct StreamCheck {
    std::uint64_t taken = 0;
    std::uint64_t mismatched = 0;
    std::uint64_t replies = 0;
};

inline std::string PhaseLine(std::size_t index, const PhaseRecord& record) {
    std::ostringstream line;
    line << kPhaseWord << ' ' << index << ' ' << record.firstAt << ' ' << record.lastAt << ' '
         << record.cpuAtFirst << ' ' << record.cpuAtLast << ' ' << record.switchesAtFirst << ' '
         << record.switchesAtLast << ' ' << record.times.size();
    for (std::int64_t t : record.times) {
        line << ' ' << t;
    }
    line << '\n';
    return line.str();
}

// False when the line is not a phase line or is cut short.
inline bool ParsePhaseLine(const std::string& text, std::size_t& index, PhaseRecord& record) {
    std::istringstream line(text);
    std::string word;
    std::size_t count = 0;
    if (!(line >> word) || word != kPhaseWord ||
        !(line >> index >> record.firstAt >> record.lastAt >> record.cpuAtFirst >>
          record.cpuAtLast >> record.switchesAtFirst >> record.switchesAtLast >> count)) {
        return false;
    }
    record.times.resize(count);
    for (std::int64_t& t : record.times) {
        if (!(line >> t)) {
            return false;
        }
    }
    return true;
}

inline std::string CheckLine(const StreamCheck& check) {
    return std::string(kCheckWord) + ' ' + std::to_string(check.taken) + ' ' +
           std::to_string(check.mismatched) + ' ' + std::to_string(check.replies) + '\n';
}

inline bool ParseCheckLine(const std::string& text, StreamCheck& check) {
    std::istringstream line(text);
    std::string word;
    return (line >> word) && word == kCheckWord &&
           static_cast<bool>(line >> check.taken >> check.mismatched >> check.replies);
}

#endif
