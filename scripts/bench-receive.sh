#!/usr/bin/env bash
# Throughput of the core's receive path (Google Benchmark), then the Linux receive path from a
# pty through the port worker and the Qt hand-off, with its thread hand-off floors measured in
# the same run, repeated because a shared machine's scheduler spreads single runs widely.
# Usage: scripts/bench-receive.sh [RUNS]   (default 3; builds the linux preset first)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}

scripts/install-deps.sh build bench
cmake --preset linux -DDRIVERPANEL_BUILD_BENCH=ON >/dev/null
cmake --build --preset linux -j 2 --target reply_path_bench receive_path_bench >/dev/null

build/linux/bench/reply_path_bench --benchmark_min_time=1
for run in $(seq "$runs"); do
    echo "--- receive path, run $run of $runs"
    build/linux/bench/receive_path_bench 2>/dev/null
done
