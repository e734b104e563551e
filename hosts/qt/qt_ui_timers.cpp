// Timers by id on QTimer; the wait sleeps, so nothing else runs on the UI thread meanwhile.
#include "hosts/qt/qt_ui_timers.h"

#include <QThread>
#include <chrono>

QtUiTimers::QtUiTimers(std::function<void(int)> onTick) : onTick_(std::move(onTick)) {}

void QtUiTimers::StartTimer(int timerId, int periodMs) {
    std::unique_ptr<QTimer>& timer = timers_[timerId];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer.get(), &QTimer::timeout, [this, timerId] { onTick_(timerId); });
    }
    timer->start(periodMs);  // restarts the period of a running timer
}

void QtUiTimers::StopTimer(int timerId) {
    const auto it = timers_.find(timerId);
    if (it != timers_.end()) {
        it->second->stop();
    }
}

void QtUiTimers::Wait(int ms) {
    QThread::msleep(static_cast<unsigned long>(ms));
}

std::int64_t QtUiTimers::NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool QtUiTimers::IsRunning(int timerId) const {
    const auto it = timers_.find(timerId);
    return it != timers_.end() && it->second->isActive();
}
