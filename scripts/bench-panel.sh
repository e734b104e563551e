#!/usr/bin/env bash
# The Linux panel polling the simulated module: the panel's share of one core and its peak
# resident memory, then the poll timing read from the simulator's line log.
# Usage: scripts/bench-panel.sh [SECONDS]   (default 60; builds the linux preset first)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/install-deps.sh build bench
cmake --preset linux -DDRIVERPANEL_BUILD_BENCH=ON >/dev/null
cmake --build --preset linux -j 2 --target panel_load_bench poll_timing driverpanel-sim >/dev/null

work=$(mktemp -d)
sim_pid=
cleanup() {
    [[ -n "$sim_pid" ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
export DRIVERPANEL_PORTS=$work/ports
mkdir -m 700 "$DRIVERPANEL_PORTS"

build/linux/tools/simulator/driverpanel-sim --link sim0 --log "$work/line.log" &
sim_pid=$!
for _ in $(seq 100); do
    [[ -e "$DRIVERPANEL_PORTS/sim0" ]] && break
    sleep 0.1
done

build/linux/bench/panel_load_bench "$seconds" sim0
build/linux/bench/poll_timing "$work/line.log"
