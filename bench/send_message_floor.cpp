// Wine's floor for the Windows receive path: a worker thread's SendMessage into a window of the
// UI thread, answered by its message loop, timed one round trip at a time. The port worker hands
// each byte to the panel this way, so no byte can reach the panel faster.
// Usage: send_message_floor [SAMPLES]   (default 5000; run under Wine by scripts/bench-wine.sh)
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "bench/latency_stats.h"

namespace {

constexpr UINT kPing = WM_APP + 1;

LRESULT CALLBACK AnswerPing(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kPing) {
        return static_cast<LRESULT>(wParam) + 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateReceiver() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = AnswerPing;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "SendMessageFloor";
    if (RegisterClassA(&windowClass) == 0) {
        return nullptr;
    }
    return CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           windowClass.hInstance, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    const int samples = argc > 1 ? std::atoi(argv[1]) : 5000;
    if (samples <= 0) {
        std::fprintf(stderr, "usage: %s [SAMPLES]\n", argv[0]);
        return 2;
    }
    HWND receiver = CreateReceiver();
    if (receiver == nullptr) {
        std::fprintf(stderr, "cannot create the receiving window (error %lu)\n", GetLastError());
        return 1;
    }
    const DWORD uiThread = GetCurrentThreadId();
    std::vector<std::chrono::nanoseconds> roundTrips;
    roundTrips.reserve(static_cast<std::size_t>(samples));
    bool answeredRight = true;

    std::thread worker([&] {
        for (int i = 0; i < samples; ++i) {
            const auto start = std::chrono::steady_clock::now();
            const LRESULT answer = SendMessageA(receiver, kPing, static_cast<WPARAM>(i), 0);
            roundTrips.push_back(std::chrono::steady_clock::now() - start);
            answeredRight = answeredRight && answer == i + 1;
        }
        PostThreadMessageA(uiThread, WM_QUIT, 0, 0);
    });
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    worker.join();
    DestroyWindow(receiver);

    if (!answeredRight) {
        std::fprintf(stderr, "a round trip came back with the wrong answer\n");
        return 1;
    }
    std::printf("%d round trips\n", samples);
    PrintStats("cross-thread SendMessage round trip", Summarise(roundTrips));
    return 0;
}
