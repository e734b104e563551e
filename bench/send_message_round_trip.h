// The floor of the Windows receive path: a worker thread's SendMessage into a window of the
// calling (UI) thread, answered by that thread's message loop, timed one round trip at a time.
// The port worker hands each byte to its owner window this way, so no byte can reach the panel
// faster. Shared by send_message_floor and receive_path_wine.
#ifndef DRIVERPANEL_BENCH_SEND_MESSAGE_ROUND_TRIP_H
#define DRIVERPANEL_BENCH_SEND_MESSAGE_ROUND_TRIP_H

#include <windows.h>

#include <chrono>
#include <cstddef>
#include <thread>
#include <vector>

#include "bench/latency_stats.h"

struct RoundTripResult {
    LatencyStats stats;
    const char* failure = nullptr;  // what went wrong, or nullptr when every round trip was right
    DWORD errorCode = 0;            // the last error that came with the failure
};

namespace send_message_round_trip {

constexpr UINT kPing = WM_APP + 1;  // answered with wParam + 1
constexpr UINT kDone = WM_APP + 2;  // posted by the worker after its last round trip
constexpr char kClassName[] = "SendMessageRoundTrip";

inline LRESULT CALLBACK AnswerPing(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kPing) {
        return static_cast<LRESULT>(wParam) + 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

inline HWND CreateReceiver() {
    static const ATOM registered = [] {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = AnswerPing;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kClassName;
        return RegisterClassA(&windowClass);
    }();
    if (registered == 0) {
        return nullptr;
    }
    return CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

}  // namespace send_message_round_trip

// Call on the UI thread: runs its message loop (every window of the thread is served meanwhile)
// until a new worker thread has made `samples` round trips.
inline RoundTripResult MeasureSendMessageRoundTrips(std::size_t samples) {
    using namespace send_message_round_trip;
    RoundTripResult result;
    HWND receiver = CreateReceiver();
    if (receiver == nullptr) {
        result.failure = "cannot create the receiving window";
        result.errorCode = GetLastError();
        return result;
    }
    std::vector<std::chrono::nanoseconds> roundTrips;
    roundTrips.reserve(samples);
    bool answeredRight = true;

    std::thread worker([&] {
        for (std::size_t i = 0; i < samples; ++i) {
            const auto start = std::chrono::steady_clock::now();
            const LRESULT answer = SendMessageA(receiver, kPing, static_cast<WPARAM>(i), 0);
            roundTrips.push_back(std::chrono::steady_clock::now() - start);
            answeredRight = answeredRight && answer == static_cast<LRESULT>(i) + 1;
        }
        PostMessageA(receiver, kDone, 0, 0);
    });
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0 &&
           !(message.hwnd == receiver && message.message == kDone)) {
        DispatchMessageA(&message);
    }
    worker.join();
    DestroyWindow(receiver);

    if (!answeredRight) {
        result.failure = "a round trip came back with the wrong answer";
    }
    result.stats = Summarise(std::move(roundTrips));
    return result;
}

#endif
