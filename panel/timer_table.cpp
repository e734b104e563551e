// Periodic timers by id for hosts with a poll() loop.
#include "panel/timer_table.h"

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
