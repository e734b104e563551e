// The Windows program's receive path, measured end to end (under Wine, on a socat pty pair): a
// byte written to the far COM port, read by the port object's worker, handed to the owner window
// on the UI thread by SendMessage and taken there by the reply assembler and its effects, as the
// panel's dialog does. Reports the latency per byte, the sustained rate with a check that every
// byte arrived in order, and in the same run the floors: the cross-thread SendMessage round trip,
// and the COM pair alone (a byte written until a thread blocked in ReadFile on the near port has
// it; a stream read one byte a ReadFile).
// Usage: receive_path_wine PORT FAR_PORT [LATENCY_SAMPLES [STREAM_BYTES]]
//        (defaults 5000 and 50000; run under Wine by scripts/bench-wine-receive.sh)
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>
#include <vector>

#include "bench/latency_stats.h"
#include "bench/lean_panel.h"
#include "bench/reply_stream.h"
#include "bench/send_message_round_trip.h"
#include "panel/connection_settings.h"
#include "serial/win32/com_device_name.h"
#include "serial/win32/comm_port.h"
#include "serial/win32/port_notifications.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::nanoseconds;

constexpr double kLineBytesPerSecond = 960.0;  // 9600 baud, 10 bits a byte
// No byte taken for this long: the ones still missing are counted as lost.
constexpr DWORD kStallMs = 10000;
constexpr UINT kFeederDone = WM_APP + 3;  // posted to the UI thread when the feeder has finished
constexpr char kOwnerClassName[] = "ReceivePathOwner";

// Until `count` reaches `wanted`, woken by `progress`; false when it stood still for kStallMs.
bool WaitForCount(HANDLE progress, const std::atomic<std::size_t>& count, std::size_t wanted) {
    std::size_t seen = count.load();
    while (seen < wanted) {
        if (WaitForSingleObject(progress, kStallMs) == WAIT_TIMEOUT && count.load() == seen) {
            return false;
        }
        seen = count.load();
    }
    return true;
}

// What the UI thread records for each byte it took, and the feeder's wait for it.
class TakenBytes {
  public:
    TakenBytes(const std::vector<std::uint8_t>& expected, std::size_t total)
        : expected_(expected),
          when_(total),
          progress_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~TakenBytes() { CloseHandle(progress_); }
    TakenBytes(const TakenBytes&) = delete;
    TakenBytes& operator=(const TakenBytes&) = delete;

    // UI thread, inside the owner's byte handler.
    void Take(std::uint8_t byte) {
        const auto now = Clock::now();
        const std::size_t i = count_.load(std::memory_order_relaxed);
        if (i >= when_.size()) {
            ++unexpected_;
            return;
        }
        when_[i] = now;
        unexpected_ += byte == expected_[i % expected_.size()] ? 0 : 1;
        count_.store(i + 1);
        // Woken only when waited for: in the stream, once at the end rather than for every byte.
        if (i + 1 >= wanted_.load()) {
            SetEvent(progress_);
        }
    }

    // Feeder thread: until `count` bytes have been taken; false when none came for kStallMs.
    bool WaitFor(std::size_t count) {
        wanted_.store(count);
        return WaitForCount(progress_, count_, count);
    }

    // Slot i is written by the UI thread before the count passes i, read after.
    Clock::time_point When(std::size_t i) const { return when_[i]; }
    std::size_t Count() const { return count_.load(); }
    // Read once the feeder is done and the UI thread has left its loop.
    std::size_t Unexpected() const { return unexpected_; }

  private:
    const std::vector<std::uint8_t>& expected_;
    std::vector<Clock::time_point> when_;
    std::atomic<std::size_t> count_{0};
    std::atomic<std::size_t> wanted_{0};
    std::size_t unexpected_ = 0;  // UI thread only: bytes out of order, altered or extra
    HANDLE progress_;             // auto-reset; set when the count reaches wanted_
};

// The owner window's state: the panel's logic and the record of what it took.
struct Receiver {
    LeanPanel& panel;
    TakenBytes& taken;
};

// The byte notification fed to the core as the panel's dialog does, then recorded.
LRESULT CALLBACK OwnerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* receiver = reinterpret_cast<Receiver*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_PORT_RXCHAR && receiver != nullptr) {
        const auto byte = static_cast<std::uint8_t>(wParam);
        receiver->panel.logic.OnPortByte(byte, LeanPort::kPort);
        receiver->taken.Take(byte);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateOwner(Receiver& receiver) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = OwnerProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kOwnerClassName;
    if (RegisterClassA(&windowClass) == 0) {
        return nullptr;
    }
    HWND owner = CreateWindowExA(0, kOwnerClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 windowClass.hInstance, nullptr);
    if (owner != nullptr) {
        SetWindowLongPtrA(owner, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&receiver));
    }
    return owner;
}

// A COM port opened as a plain file handle: overlapped for the reader of the pair-alone floor,
// blocking for the far end.
HANDLE OpenCom(int portNumber, DWORD flags) {
    return CreateFileA(ComDeviceName(portNumber).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                       OPEN_EXISTING, flags, nullptr);
}

bool WriteAll(HANDLE farEnd, const std::uint8_t* bytes, std::size_t count) {
    while (count > 0) {
        DWORD written = 0;
        if (!WriteFile(farEnd, bytes, static_cast<DWORD>(count), &written, nullptr)) {
            return false;
        }
        bytes += written;
        count -= written;
    }
    return true;
}

struct PathResults {
    std::size_t written = 0;  // bytes the far end took
    LatencyStats perByte;
    double bytesPerSecond = 0;
    const char* failure = nullptr;
};

// Feeder thread: one byte at a time, each after the last was taken; then the stream.
PathResults Feed(HANDLE farEnd, const std::vector<std::uint8_t>& stream, TakenBytes& taken,
                 std::size_t latencySamples, std::size_t streamBytes) {
    PathResults results;
    std::vector<nanoseconds> latencies;
    latencies.reserve(latencySamples);
    for (std::size_t i = 0; i < latencySamples; ++i) {
        const auto written = Clock::now();
        if (!WriteAll(farEnd, &stream[i % stream.size()], 1)) {
            results.failure = "write to the far end failed";
            return results;
        }
        if (!taken.WaitFor(i + 1)) {
            results.failure = "a byte written one at a time never arrived";
            return results;
        }
        latencies.push_back(taken.When(i) - written);
    }
    results.perByte = Summarise(std::move(latencies));

    const std::size_t total = latencySamples + streamBytes;
    const auto start = Clock::now();
    for (std::size_t sent = 0; sent < streamBytes;) {
        const std::size_t from = (latencySamples + sent) % stream.size();
        const std::size_t chunk = std::min(stream.size() - from, streamBytes - sent);
        if (!WriteAll(farEnd, &stream[from], chunk)) {
            results.failure = "write to the far end failed";
            return results;
        }
        sent += chunk;
    }
    if (!taken.WaitFor(total)) {
        results.failure = "the stream stopped arriving";
        return results;
    }
    const double seconds = std::chrono::duration<double>(taken.When(total - 1) - start).count();
    results.bytesPerSecond = static_cast<double>(streamBytes) / seconds;
    return results;
}

struct PairResults {
    LatencyStats perByte;
    double bytesPerSecond = 0;
};

// The COM pair alone, no event wait and no hand-off: a byte written to the far end until a thread
// blocked in an overlapped ReadFile on the near port has it, one at a time; then a stream read
// one byte a ReadFile, as the worker reads. Wine's serial floor under the path.
std::optional<PairResults> PairAlone(int portNumber, HANDLE farEnd,
                                     const std::vector<std::uint8_t>& stream, std::size_t rounds,
                                     std::size_t streamBytes) {
    HANDLE nearEnd = OpenCom(portNumber, FILE_FLAG_OVERLAPPED);
    if (nearEnd == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    // No timeouts: a read waits until its byte is there.
    COMMTIMEOUTS waitForever = {};
    SetCommTimeouts(nearEnd, &waitForever);
    PurgeComm(nearEnd, PURGE_RXCLEAR);
    const std::size_t total = rounds + streamBytes;
    std::vector<Clock::time_point> readAt(total);
    std::atomic<std::size_t> count{0};
    HANDLE arrived = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::thread reader([&] {
        OVERLAPPED read = {};
        read.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        for (std::size_t i = 0; i < total; ++i) {
            std::uint8_t byte = 0;
            DWORD got = 0;
            if (!ReadFile(nearEnd, &byte, 1, &got, &read) &&
                (GetLastError() != ERROR_IO_PENDING ||
                 !GetOverlappedResult(nearEnd, &read, &got, TRUE))) {
                break;
            }
            if (got != 1) {
                break;
            }
            readAt[i] = Clock::now();
            count.store(i + 1);
            if (i < rounds || i + 1 == total) {
                SetEvent(arrived);
            }
        }
        CloseHandle(read.hEvent);
        SetEvent(arrived);
    });
    // Until `wanted` bytes were read; false when none came for kStallMs.
    const auto waitFor = [&](std::size_t wanted) { return WaitForCount(arrived, count, wanted); };
    std::vector<nanoseconds> samples;
    samples.reserve(rounds);
    bool complete = true;
    for (std::size_t i = 0; i < rounds && complete; ++i) {
        const auto written = Clock::now();
        complete = WriteAll(farEnd, &stream[i % stream.size()], 1) && waitFor(i + 1);
        if (complete) {
            samples.push_back(readAt[i] - written);
        }
    }
    const auto start = Clock::now();
    for (std::size_t sent = 0; sent < streamBytes && complete;) {
        const std::size_t chunk = std::min(stream.size(), streamBytes - sent);
        complete = WriteAll(farEnd, stream.data(), chunk);
        sent += chunk;
    }
    complete = complete && waitFor(total);
    // A reader still waiting for a byte that will not come is released by cancelling its read.
    CancelIoEx(nearEnd, nullptr);
    reader.join();
    CloseHandle(nearEnd);
    CloseHandle(arrived);
    if (!complete) {
        return std::nullopt;
    }
    const double seconds = std::chrono::duration<double>(readAt[total - 1] - start).count();
    return PairResults{Summarise(std::move(samples)), static_cast<double>(streamBytes) / seconds};
}

std::size_t Argument(int argc, char** argv, int index, std::size_t fallback) {
    return argc > index ? std::strtoul(argv[index], nullptr, 10) : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    const int portNumber = argc > 2 ? std::atoi(argv[1]) : 0;
    const int farPortNumber = argc > 2 ? std::atoi(argv[2]) : 0;
    const std::size_t latencySamples = Argument(argc, argv, 3, 5000);
    const std::size_t streamBytes = Argument(argc, argv, 4, 50000);
    if (portNumber <= 0 || farPortNumber <= 0 || latencySamples == 0 || streamBytes == 0) {
        std::fprintf(stderr, "usage: %s PORT FAR_PORT [LATENCY_SAMPLES [STREAM_BYTES]]\n", argv[0]);
        return 2;
    }

    const std::vector<std::uint8_t> stream = ReplyStream();
    TakenBytes taken(stream, latencySamples + streamBytes);
    LeanPanel panel;
    Receiver receiver{panel, taken};
    HWND owner = CreateOwner(receiver);
    HANDLE farEnd = OpenCom(farPortNumber, 0);
    if (owner == nullptr || farEnd == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot create the owner window or open COM%d (error %lu)\n",
                     farPortNumber, GetLastError());
        return 1;
    }
    CCommPort port;
    port.SetOwner(owner);
    if (!port.Setup(portNumber, kConnectionSettings).Opened() || !port.StartWorker()) {
        std::fprintf(stderr, "cannot open COM%d with the port object\n", portNumber);
        return 1;
    }

    // The UI thread runs its message loop, as the panel's does, while the feeder writes.
    const DWORD uiThread = GetCurrentThreadId();
    PathResults path;
    std::thread feeder([&] {
        path = Feed(farEnd, stream, taken, latencySamples, streamBytes);
        PostThreadMessageA(uiThread, kFeederDone, 0, 0);
    });
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0 &&
           !(message.hwnd == nullptr && message.message == kFeederDone)) {
        DispatchMessageA(&message);
    }
    feeder.join();
    // The floor in the same run, with the port still open and its worker waiting, as for a byte.
    const RoundTripResult floor = MeasureSendMessageRoundTrips(latencySamples);
    port.Shutdown();
    const std::optional<PairResults> pair =
        PairAlone(portNumber, farEnd, stream, latencySamples, streamBytes);
    CloseHandle(farEnd);
    DestroyWindow(owner);

    if (path.failure != nullptr) {
        std::fprintf(stderr, "%s\n", path.failure);
    }
    if (floor.failure != nullptr) {
        std::fprintf(stderr, "SendMessage floor: %s (error %lu)\n", floor.failure, floor.errorCode);
    }
    std::printf("bytes: %zu one at a time, then %zu streamed; COM%d read, COM%d written\n",
                latencySamples, streamBytes, portNumber, farPortNumber);
    PrintStats("far end write -> worker -> UI thread -> assembler", path.perByte);
    PrintStats("floor: cross-thread SendMessage round trip", floor.stats);
    if (pair) {
        PrintStats("COM pair alone: write -> thread in ReadFile has it", pair->perByte);
    } else {
        std::printf("COM pair alone: not measured (a byte did not arrive)\n");
    }
    std::printf("ratio to the SendMessage floor (median): %.2f\n",
                path.perByte.medianUs / floor.stats.medianUs);
    if (pair) {
        std::printf("ratio to the SendMessage floor plus the COM pair alone (median): %.2f\n",
                    path.perByte.medianUs / (floor.stats.medianUs + pair->perByte.medianUs));
    }
    std::printf("share of a byte's time on the line (median): %.1f %%\n",
                path.perByte.medianUs / (1e6 / kLineBytesPerSecond) * 100.0);
    std::printf("sustained: %.0f bytes/s (%.1f x the line rate)\n", path.bytesPerSecond,
                path.bytesPerSecond / kLineBytesPerSecond);
    const std::size_t lost = path.written - std::min(path.written, taken.Count());
    if (pair) {
        std::printf("COM pair alone, one ReadFile a byte: %.0f bytes/s\n", pair->bytesPerSecond);
    }
    std::printf("bytes lost: %zu, out of order or altered: %zu\n", lost, taken.Unexpected());
    return path.failure == nullptr && floor.failure == nullptr && lost == 0 &&
                   taken.Unexpected() == 0
               ? 0
               : 1;
}
