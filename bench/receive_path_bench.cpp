// The receive path on Linux, measured end to end: a byte written to the far end of a pty, read on
// the Qt UI thread by the port object when the panel's port owner finds it readable, and taken by
// the reply assembler and its effects. Reports the latency per byte, the sustained rate with a
// check that every byte arrived in order, and in the same run the floor of any design that hands
// each byte to another thread and waits for the answer: an eventfd ping-pong between two threads
// and Qt's blocking queued call.
// Usage: receive_path_bench [LATENCY_SAMPLES [STREAM_BYTES]]   (defaults 5000, 200000)
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/latency_stats.h"
#include "bench/lean_panel.h"
#include "bench/reply_stream.h"
#include "hosts/qt/panel_port_owner.h"
#include "panel/connection_settings.h"
#include "serial/linux/comm_port.h"
#include "serial/linux/port_registry.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::nanoseconds;

constexpr double kLineBytesPerSecond = 960.0;  // 9600 baud, 10 bits a byte

// The far end of a pty, reachable as a virtual port through a link in a private directory.
class BenchLine {
  public:
    BenchLine() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128] = {};
        char dirTemplate[] = "/tmp/driverpanel-bench-XXXXXX";
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
            ptsname_r(master_, name, sizeof name) != 0 || mkdtemp(dirTemplate) == nullptr) {
            std::perror("pty");
            std::exit(1);
        }
        directory_ = dirTemplate;
        std::filesystem::create_symlink(name, directory_ + "/bench0");
    }
    ~BenchLine() {
        close(master_);
        std::filesystem::remove_all(directory_);
    }
    BenchLine(const BenchLine&) = delete;
    BenchLine& operator=(const BenchLine&) = delete;

    const std::string& Directory() const { return directory_; }
    void Write(const std::uint8_t* bytes, std::size_t count) const {
        while (count > 0) {
            const ssize_t n = write(master_, bytes, count);
            if (n < 0) {
                std::perror("write to pty");
                std::exit(1);
            }
            bytes += n;
            count -= static_cast<std::size_t>(n);
        }
    }

  private:
    int master_ = -1;
    std::string directory_;
};

// What the UI thread records for each byte it took.
struct Taken {
    std::vector<Clock::time_point> when;
    std::atomic<std::size_t> count{0};
    std::size_t outOfOrder = 0;  // UI thread only; read after it has stopped taking
};

void WaitForCount(const std::atomic<std::size_t>& count, std::size_t atLeast) {
    for (std::size_t seen = count.load(); seen < atLeast; seen = count.load()) {
        count.wait(seen);
    }
}

LatencyStats EventFdPingPong(std::size_t rounds) {
    const int ping = eventfd(0, EFD_CLOEXEC);
    const int pong = eventfd(0, EFD_CLOEXEC);
    std::thread echo([&] {
        for (std::size_t i = 0; i < rounds; ++i) {
            eventfd_t v = 0;
            eventfd_read(ping, &v);
            eventfd_write(pong, 1);
        }
    });
    std::vector<nanoseconds> samples;
    samples.reserve(rounds);
    for (std::size_t i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        eventfd_write(ping, 1);
        eventfd_t v = 0;
        eventfd_read(pong, &v);
        samples.push_back(Clock::now() - start);
    }
    echo.join();
    close(ping);
    close(pong);
    return Summarise(std::move(samples));
}

// The pty alone: a byte written to the far end until a thread blocked in poll() on the near end
// (in raw mode, as the port object sets it) has read it. Linux passes pty input through a kernel
// worker before the reader wakes, so this is a floor of its own under the receive path.
LatencyStats PtyToThread(std::size_t rounds) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128] = {};
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
        return {};
    }
    const int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    std::vector<Clock::time_point> readAt(rounds);
    std::atomic<std::size_t> count{0};
    std::thread reader([&] {
        for (std::size_t i = 0; i < rounds; ++i) {
            pollfd wait = {slave, POLLIN, 0};
            poll(&wait, 1, -1);
            std::uint8_t byte = 0;
            if (read(slave, &byte, 1) != 1) {
                break;
            }
            readAt[i] = Clock::now();
            count.store(i + 1, std::memory_order_release);
            count.notify_one();
        }
    });
    std::vector<nanoseconds> samples;
    samples.reserve(rounds);
    const std::uint8_t byte = 0x55;
    for (std::size_t i = 0; i < rounds; ++i) {
        const auto written = Clock::now();
        if (write(master, &byte, 1) != 1) {
            break;
        }
        WaitForCount(count, i + 1);
        samples.push_back(readAt[i] - written);
    }
    reader.join();
    close(slave);
    close(master);
    return Summarise(std::move(samples));
}

LatencyStats QtBlockingQueuedCall(QObject& onUiThread, std::size_t rounds) {
    std::vector<nanoseconds> samples;
    samples.reserve(rounds);
    for (std::size_t i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        QMetaObject::invokeMethod(
            &onUiThread, [] {}, Qt::BlockingQueuedConnection);
        samples.push_back(Clock::now() - start);
    }
    return Summarise(std::move(samples));
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t latencySamples = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 5000;
    const std::size_t streamBytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 200000;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);

    BenchLine line;
    PortRegistry registry([] { return std::vector<HardwarePort>{}; }, line.Directory());
    int portNumber = 0;
    for (int n = 1; n <= PortRegistry::kMaxPorts && portNumber == 0; ++n) {
        portNumber = registry.Probe(n) ? n : 0;
    }
    LeanPanel panel;
    PanelPortOwner owner;
    CCommPort port(registry, owner);
    owner.Serve(port);
    if (portNumber == 0 || !port.Setup(portNumber, kConnectionSettings).Opened() ||
        !port.StartWorker()) {
        std::fprintf(stderr, "could not open the pty as a port\n");
        return 1;
    }

    const std::vector<std::uint8_t> stream = ReplyStream();
    const std::size_t total = latencySamples + streamBytes;
    Taken taken;
    taken.when.resize(total);
    owner.Attach({[&](std::uint8_t byte, int, std::int64_t receivedAtMs) {
                      panel.logic.OnPortByte(byte, LeanPort::kPort, receivedAtMs);
                      const std::size_t i = taken.count.load(std::memory_order_relaxed);
                      taken.when[i] = Clock::now();
                      taken.outOfOrder += byte == stream[i % stream.size()] ? 0 : 1;
                      taken.count.store(i + 1, std::memory_order_release);
                      taken.count.notify_one();
                  },
                  {}});

    struct Results {
        LatencyStats perByte, eventFd, qtCall, pty;
        double bytesPerSecond = 0;
    } results;
    std::thread feeder([&] {
        std::vector<nanoseconds> latencies;
        latencies.reserve(latencySamples);
        for (std::size_t i = 0; i < latencySamples; ++i) {
            const auto written = Clock::now();
            line.Write(&stream[i % stream.size()], 1);
            WaitForCount(taken.count, i + 1);
            latencies.push_back(taken.when[i] - written);
        }
        results.perByte = Summarise(std::move(latencies));

        const auto start = Clock::now();
        for (std::size_t sent = 0; sent < streamBytes;) {
            const std::size_t from = (latencySamples + sent) % stream.size();
            const std::size_t chunk = std::min(stream.size() - from, streamBytes - sent);
            line.Write(&stream[from], chunk);
            sent += chunk;
        }
        WaitForCount(taken.count, total);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        results.bytesPerSecond = static_cast<double>(streamBytes) / seconds;

        results.eventFd = EventFdPingPong(latencySamples);
        results.qtCall = QtBlockingQueuedCall(app, latencySamples);
        results.pty = PtyToThread(latencySamples);
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    feeder.join();
    port.Shutdown();
    owner.Detach();

    PrintLoad();
    std::printf("bytes: %zu one at a time, then %zu streamed\n", latencySamples, streamBytes);
    PrintStats("pty write -> UI thread read -> assembler took it", results.perByte);
    PrintStats("floor: eventfd ping-pong between two threads", results.eventFd);
    PrintStats("floor: Qt BlockingQueuedConnection call", results.qtCall);
    PrintStats("pty alone: write -> thread in poll() has read it", results.pty);
    std::printf("ratio to the eventfd floor (median): %.2f\n",
                results.perByte.medianUs / results.eventFd.medianUs);
    std::printf("ratio to the Qt floor (median): %.2f\n",
                results.perByte.medianUs / results.qtCall.medianUs);
    std::printf("the port object beyond the pty (median): %.1f us, %.2f x the eventfd floor\n",
                results.perByte.medianUs - results.pty.medianUs,
                (results.perByte.medianUs - results.pty.medianUs) / results.eventFd.medianUs);
    std::printf("share of a byte's time on the line (median): %.1f %%\n",
                results.perByte.medianUs / (1e6 / kLineBytesPerSecond) * 100.0);
    std::printf("sustained: %.0f bytes/s (%.1f x the line rate)\n", results.bytesPerSecond,
                results.bytesPerSecond / kLineBytesPerSecond);
    const std::size_t lost = total - taken.count.load();
    std::printf("bytes lost: %zu, out of order or altered: %zu\n", lost, taken.outOfOrder);
    return lost == 0 && taken.outOfOrder == 0 ? 0 : 1;
}
