#!/usr/bin/env bash
# The Windows program's receive path under Wine, repeated because a shared machine's scheduler
# spreads single runs widely: bench/receive_path_wine.cpp opens COM3 with the program's own port
# object and plays the module on COM4, the two joined by a socat pty pair in a private prefix.
# Each run prints the latency per byte, the sustained rate and, from the same run, Wine's floors.
#
# Usage: scripts/bench-wine-receive.sh [RUNS [LATENCY_SAMPLES [STREAM_BYTES]]]
#        (defaults 3, 5000 and 50000)
#
# No display and no simulator: the bench's owner window is a message-only window. Everything is
# in build/windows/bench-wine-receive; the prefix is made anew on each call.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=${1:-3}
samples=${2:-5000}
stream_bytes=${3:-50000}
port=3
far_port=4
# A run takes well under a minute; a port error box nobody can close must not hold the script.
run_limit=600

scripts/install-deps.sh build windows
cmake --preset windows -DDRIVERPANEL_BUILD_BENCH=ON >/dev/null
cmake --build --preset windows -j 2 --target receive_path_wine >/dev/null
bench_exe=$root/build/windows/bench/receive_path_wine.exe

work=$root/build/windows/bench-wine-receive
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$work/wineprefix
source "$root/tests/windows/e2e/wine_bed.sh"
prepare_prefix "$work"
com_pair "$work" "$port" "$far_port"

echo "Under $(wine --version 2>/dev/null), on a socat pty pair: figures for Wine on Linux, not for"
echo "Windows (Wine ends the port's event wait every few ms on a pty)."
status=0
for run in $(seq "$runs"); do
    echo "--- receive path under Wine, run $run of $runs;" \
        "load average $(cut -d' ' -f1-3 /proc/loadavg) before"
    timeout "$run_limit" wine "$bench_exe" "$port" "$far_port" "$samples" "$stream_bytes" ||
        status=1
done
exit "$status"
