// Bytes per second through the reply assembler alone and through the assembler with the reply
// effects, on streams shaped like a polled module's traffic and on noise. The line delivers at
// most 960 bytes/s at 9600 baud 8N1, so these figures say how much headroom the core leaves.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "bench/lean_panel.h"
#include "protocol/reply_assembler.h"
#include "tests/panel/fake_panel.h"

namespace {

using Stream = std::vector<std::uint8_t>;

// What a module answers over many poll cycles: temperature and power every cycle, a setpoints
// confirmation every fourth, with readings that change so the texts are rewritten each time.
Stream PolledTraffic() {
    Stream stream;
    const Bytes config = PanelHarness::ConfigReply(100, 100, 500, 500, 1);
    stream.insert(stream.end(), config.begin(), config.end());
    for (std::uint16_t cycle = 0; cycle < 1000; ++cycle) {
        const auto t = static_cast<std::uint16_t>(2500 + cycle % 200);
        const auto p = static_cast<std::uint16_t>(400 + cycle % 50);
        const auto hi = [](std::uint16_t v) { return static_cast<std::uint8_t>(v >> 8); };
        const auto lo = [](std::uint16_t v) { return static_cast<std::uint8_t>(v & 0xFF); };
        for (const Bytes& reply : {MakeReply(REPLY_TEMP, {hi(t), lo(t), hi(t), lo(t)}),
                                   MakeReply(REPLY_POWER, {hi(p), lo(p)})}) {
            stream.insert(stream.end(), reply.begin(), reply.end());
        }
        if (cycle % 4 == 0) {
            const Bytes setpoints = MakeReply(REPLY_SETPOINTS, {0, 100, 0, 100});
            stream.insert(stream.end(), setpoints.begin(), setpoints.end());
        }
    }
    return stream;
}

// Uniform random bytes: almost everything is dropped, and headers start frames that fail.
Stream Noise() {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    Stream stream(64 * 1024);
    for (auto& b : stream) {
        b = static_cast<std::uint8_t>(byte(random));
    }
    return stream;
}

void AssemblerOnly(benchmark::State& run, const Stream& stream) {
    ReplyAssembler assembler;
    std::size_t replies = 0;
    for (auto _ : run) {
        for (std::uint8_t b : stream) {
            replies += assembler.Take(b, 0).empty() ? 0 : 1;
        }
        benchmark::DoNotOptimize(replies);
    }
    run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations() * stream.size()));
}

void AssemblerAndEffects(benchmark::State& run, const Stream& stream) {
    LeanPanel panel;
    for (auto _ : run) {
        panel.Receive(stream);
        benchmark::ClobberMemory();
    }
    run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations() * stream.size()));
}

void BM_AssemblerPolledTraffic(benchmark::State& run) {
    AssemblerOnly(run, PolledTraffic());
}
void BM_AssemblerNoise(benchmark::State& run) {
    AssemblerOnly(run, Noise());
}
void BM_AssemblerAndEffectsPolledTraffic(benchmark::State& run) {
    AssemblerAndEffects(run, PolledTraffic());
}
void BM_AssemblerAndEffectsNoise(benchmark::State& run) {
    AssemblerAndEffects(run, Noise());
}

BENCHMARK(BM_AssemblerPolledTraffic);
BENCHMARK(BM_AssemblerNoise);
BENCHMARK(BM_AssemblerAndEffectsPolledTraffic);
BENCHMARK(BM_AssemblerAndEffectsNoise);

}  // namespace

BENCHMARK_MAIN();
