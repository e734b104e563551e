// Periodic timers by id for hosts with a poll() loop.
#include "panel/timer_table.h"

#include <algorithm>
#include <climits>
#include <vector>

void TimerTable::Start(int timerId, int periodMs) {
    const std::chrono::milliseconds period(periodMs);
    timers_[timerId] = Timer{period, Clock::now() + period};
}

void TimerTable::Stop(int timerId) {
    timers_.erase(timerId);
}

std::optional<TimerTable::Clock::time_point> TimerTable::NextDue() const {
    std::optional<Clock::time_point> next;
    for (const auto& [id, timer] : timers_) {
        if (!next || timer.due < *next) {
            next = timer.due;
        }
    }
    return next;
}

std::optional<int> TimerTable::WaitMs(std::optional<Clock::time_point> deadline) const {
    std::optional<Clock::time_point> wake = NextDue();
    if (deadline && (!wake || *deadline < *wake)) {
        wake = deadline;
    }
    if (!wake) {
        return std::nullopt;
    }
    const auto left = *wake - Clock::now();
    if (left <= Clock::duration::zero()) {
        return 0;
    }
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::min<decltype(ms)>(ms, INT_MAX));
}

void TimerTable::RunDue(const std::function<void(int)>& tick, const std::function<bool()>& stop) {
    const Clock::time_point now = Clock::now();
    std::vector<int> due;
    for (const auto& [id, timer] : timers_) {
        if (timer.due <= now) {
            due.push_back(id);
        }
    }
    for (int id : due) {
        const auto it = timers_.find(id);
        if (it == timers_.end() || it->second.due > now) {
            continue;  // stopped or restarted by an earlier tick
        }
        it->second.due += it->second.period;
        if (it->second.due <= now) {
            it->second.due = now + it->second.period;
        }
        tick(id);
        if (stop()) {
            return;
        }
    }
}
