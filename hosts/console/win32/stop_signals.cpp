// The console's control handler: it runs on a thread of its own that the system starts for each
// event, so it only records the event and wakes the loop.
#include "hosts/console/win32/stop_signals.h"

#include <atomic>
#include <csignal>
#include <system_error>

#include "hosts/console/exit_status.h"

namespace {

// The number a closed console is reported by: SIGHUP's on Linux, which Windows does not define.
constexpr int kConsoleClosed = 1;

// How long the handler holds back the end the system brings when the console closes: long
// enough for the command to return the current and close the port (its own waits are bounded
// by 3 s), short of the 5 s after which the system ends the process anyway.
constexpr DWORD kCloseGraceMs = 4500;

// Process-wide, as the handler is; never freed, because the system may still run a handler
// while the process ends.
HANDLE stopEvent = nullptr;
std::atomic<int> pendingSignal{0};
std::atomic<bool> endAtOnceFlag{false};

BOOL WINAPI OnConsoleControl(DWORD controlType) {
    int signal = kConsoleClosed;
    if (controlType == CTRL_C_EVENT) {
        signal = SIGINT;
    } else if (controlType == CTRL_BREAK_EVENT) {
        signal = SIGBREAK;
    }
    if (endAtOnceFlag.load()) {
        ExitProcess(static_cast<UINT>(SignalStatus(signal)));
    }
    int none = 0;
    pendingSignal.compare_exchange_strong(none, signal);  // the first request names the end
    SetEvent(stopEvent);
    if (signal == kConsoleClosed) {
        // The process ends when this returns: the command ends it sooner, on its own way out.
        Sleep(kCloseGraceMs);
    }
    return TRUE;
}

}  // namespace

StopSignals::StopSignals() {
    if (stopEvent == nullptr) {
        stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (stopEvent == nullptr) {
            throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                    "CreateEvent");
        }
    }
    pendingSignal.store(0);
    endAtOnceFlag.store(false);
    ResetEvent(stopEvent);
    if (!SetConsoleCtrlHandler(OnConsoleControl, TRUE)) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "SetConsoleCtrlHandler");
    }
}

StopSignals::~StopSignals() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
}

HANDLE StopSignals::Event() const {
    return stopEvent;
}

int StopSignals::Take() {
    ResetEvent(stopEvent);
    return pendingSignal.exchange(0);
}

void StopSignals::EndAtOnce(bool endAtOnce) {
    endAtOnceFlag.store(endAtOnce);
    // A request that came just before is taken now, as it would have been while waiting.
    if (endAtOnce && pendingSignal.load() != 0) {
        ExitProcess(static_cast<UINT>(SignalStatus(pendingSignal.load())));
    }
}
