// The Linux receive path beside what a Qt developer would write instead, on the same pty stream:
// a QSerialPort program (readyRead + readAll), a QSocketNotifier + read() program, and this
// program's port object read on the UI thread by the panel's port owner. Each path is its own
// process, started one after the other on a fresh pty; each feeds the same reply assembler on its
// Qt UI thread. Prints markdown tables for docs/performance.md: each run, the ratios to the peers
// per run, and the minimum, median and maximum over the runs.
// Usage: peer_bench [--runs N] [--label TEXT] [plan options]   (peer_bench --help)
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/peer_plan.h"
#include "bench/peer_run.h"

namespace {

struct PeerPath {
    const char* name;
    const char* program;
};

// This program's path first: every ratio is of it to the others.
constexpr PeerPath kPaths[] = {
    {"this program (event loop)", "peer_panel_path"},
    {"QSerialPort readyRead + readAll", "peer_qserialport"},
    {"QSocketNotifier + read()", "peer_notifier"},
};
constexpr std::size_t kPathCount = std::size(kPaths);
constexpr std::size_t kOwnPath = 0;

struct Run {
    double loadBefore = 0;
    double loadAfter = 0;
    PathFigures paths[kPathCount];
};

double LoadAverage() {
    double one = 0;
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &one) != 1) {
            one = 0;
        }
        std::fclose(f);
    }
    return one;
}

std::string ProgramDirectory() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

// One figure of a path, as the tables show and compare it.
struct Figure {
    const char* name;
    const char* unit;
    std::function<double(const PathFigures&)> value;
};

const Figure kFigures[] = {
    {"whole-frame latency, median", "µs",
     [](const PathFigures& f) { return f.wholeFrame.medianUs; }},
    {"whole-frame latency, p99", "µs", [](const PathFigures& f) { return f.wholeFrame.p99Us; }},
    {"byte alone, median", "µs", [](const PathFigures& f) { return f.byteAlone.medianUs; }},
    {"byte alone, p99", "µs", [](const PathFigures& f) { return f.byteAlone.p99Us; }},
    {"CPU at 960 B/s, a frame a write", "% of a core",
     [](const PathFigures& f) { return f.cpuFramePerWrite * 100; }},
    {"CPU at 960 B/s, a byte a write", "% of a core",
     [](const PathFigures& f) { return f.cpuBytePerWrite * 100; }},
    {"sustained rate", "B/s", [](const PathFigures& f) { return f.bytesPerSecond; }},
};

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, value >= 100 ? "%.0f" : "%.3g", value);
    return text;
}

std::string Ratio(double own, double peer) {
    if (peer <= 0) {
        return "–";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", own / peer);
    return text;
}

struct Spread {
    double min = 0, median = 0, max = 0;
};

Spread SpreadOf(std::vector<double> values) {
    if (values.empty()) {
        return {};
    }
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {values.front(), median, values.back()};
}

std::string SpreadText(const Spread& s, bool ratio) {
    const auto text = [ratio](double v) { return ratio ? Ratio(v, 1) : Number(v); };
    return text(s.min) + " / " + text(s.median) + " / " + text(s.max);
}

void PrintRuns(const std::vector<Run>& runs) {
    std::printf(
        "| Run | Load (1 min) before → after | Path | Whole frame, median / p99 µs | "
        "Byte alone, median / p99 µs | CPU, a frame a write (switches/s) | "
        "CPU, a byte a write (switches/s) | Sustained B/s | Lost / out of order / replies "
        "dropped |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (std::size_t r = 0; r < runs.size(); ++r) {
        for (std::size_t p = 0; p < kPathCount; ++p) {
            const PathFigures& f = runs[r].paths[p];
            std::printf("| %zu | %.2f → %.2f | %s | ", r + 1, runs[r].loadBefore, runs[r].loadAfter,
                        kPaths[p].name);
            if (!f.complete) {
                std::printf("failed: %s | | | | | |\n", f.failure.c_str());
                continue;
            }
            std::printf(
                "%.1f / %.1f | %.1f / %.1f | %.3f %% (%.0f) | %.3f %% (%.0f) | %.0f | "
                "%llu / %llu / %llu |\n",
                f.wholeFrame.medianUs, f.wholeFrame.p99Us, f.byteAlone.medianUs, f.byteAlone.p99Us,
                f.cpuFramePerWrite * 100, f.switchesFramePerWrite, f.cpuBytePerWrite * 100,
                f.switchesBytePerWrite, f.bytesPerSecond, static_cast<unsigned long long>(f.lost),
                static_cast<unsigned long long>(f.mismatched),
                static_cast<unsigned long long>(f.missingReplies));
        }
    }
}

// The first figures: each run's ratio of this program to each peer.
constexpr std::size_t kRatioFigures[] = {0, 2, 4, 5, 6};

void PrintRatios(const std::vector<Run>& runs) {
    std::printf("| Run |");
    for (std::size_t k : kRatioFigures) {
        std::printf(" %s: × QSerialPort / × notifier |", kFigures[k].name);
    }
    std::printf("\n|---|");
    for (std::size_t i = 0; i < std::size(kRatioFigures); ++i) {
        std::printf("---|");
    }
    std::printf("\n");
    for (std::size_t r = 0; r < runs.size(); ++r) {
        std::printf("| %zu |", r + 1);
        const PathFigures* paths = runs[r].paths;
        // A failed path has no figures to compare.
        const auto ratio = [&](std::size_t figure, std::size_t peer) {
            return paths[kOwnPath].complete && paths[peer].complete
                       ? Ratio(kFigures[figure].value(paths[kOwnPath]),
                               kFigures[figure].value(paths[peer]))
                       : std::string("–");
        };
        for (std::size_t k : kRatioFigures) {
            std::printf(" %s / %s |", ratio(k, 1).c_str(), ratio(k, 2).c_str());
        }
        std::printf("\n");
    }
}

void PrintSpread(const std::vector<Run>& runs) {
    std::printf("| Figure (min / median / max) |");
    for (const PeerPath& path : kPaths) {
        std::printf(" %s |", path.name);
    }
    std::printf(" this program × QSerialPort | this program × notifier |\n|---|");
    for (std::size_t i = 0; i < kPathCount + 2; ++i) {
        std::printf("---|");
    }
    std::printf("\n");
    for (const Figure& figure : kFigures) {
        std::printf("| %s, %s |", figure.name, figure.unit);
        for (std::size_t p = 0; p < kPathCount; ++p) {
            std::vector<double> values;
            for (const Run& run : runs) {
                if (run.paths[p].complete) {
                    values.push_back(figure.value(run.paths[p]));
                }
            }
            std::printf(" %s |", SpreadText(SpreadOf(values), false).c_str());
        }
        for (std::size_t peer = 1; peer < kPathCount; ++peer) {
            std::vector<double> ratios;
            for (const Run& run : runs) {
                const double theirs = figure.value(run.paths[peer]);
                if (run.paths[kOwnPath].complete && run.paths[peer].complete && theirs > 0) {
                    ratios.push_back(figure.value(run.paths[kOwnPath]) / theirs);
                }
            }
            std::printf(" %s |", SpreadText(SpreadOf(ratios), true).c_str());
        }
        std::printf("\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App cli("The Linux receive path beside a QSerialPort and a QSocketNotifier program.");
    std::size_t runCount = 3;
    std::string label = "this machine";
    PeerOptions options;
    cli.add_option("--runs", runCount, "runs of all three paths")->check(CLI::PositiveNumber);
    cli.add_option("--label", label, "what the machine was doing, for the report's heading");
    AddPeerOptions(cli, options);
    CLI11_PARSE(cli, argc, argv);

    const PeerPlan plan(options);
    const std::string directory = ProgramDirectory();
    std::vector<Run> runs(runCount);
    bool allComplete = true;
    for (std::size_t r = 0; r < runCount; ++r) {
        Run& run = runs[r];
        run.loadBefore = LoadAverage();
        // Each run starts with another path, so a drift in the machine's load spreads over all.
        for (std::size_t i = 0; i < kPathCount; ++i) {
            const std::size_t p = (r + i) % kPathCount;
            std::fprintf(stderr, "run %zu of %zu: %s\n", r + 1, runCount, kPaths[p].name);
            run.paths[p] = RunPath(directory + "/" + kPaths[p].program, plan);
            const PathFigures& f = run.paths[p];
            // A reply the assembler dropped because the receiver stalled mid-reply is reported,
            // not failed: the bytes all arrived, in order.
            allComplete = allComplete && f.complete && f.lost == 0 && f.mismatched == 0;
        }
        run.loadAfter = LoadAverage();
    }

    std::printf("#### %s: %zu runs\n\n", label.c_str(), runCount);
    std::printf(
        "Each path in its own process on a fresh pty, one after the other (each run "
        "starts with the next path). Whole frame: %zu replies, one write each, %.1f ms "
        "apart. Byte alone: %zu bytes, one write each, %.1f ms apart. CPU: user + "
        "system time of the receiving process, all threads (getrusage), from its first "
        "to its last byte of %.0f s at 960 B/s. Sustained: %zu bytes written as fast as "
        "the pty takes them.\n\n",
        plan.Phases()[0].frames, options.frameGapMs, plan.Phases()[1].bytes, options.byteGapMs,
        options.lineSeconds, plan.Phases()[4].bytes);
    PrintRuns(runs);
    std::printf(
        "\nThis program's figures over each peer's, per run (below 1: this program is "
        "faster or cheaper; for the sustained rate above 1 is better):\n\n");
    PrintRatios(runs);
    std::printf("\nOver the %zu runs:\n\n", runCount);
    PrintSpread(runs);
    std::printf("\n");
    return allComplete ? 0 : 1;
}
