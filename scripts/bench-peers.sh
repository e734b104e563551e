#!/usr/bin/env bash
# The Linux receive path beside a QSerialPort program and a QSocketNotifier + read() program on
# the same pty stream (bench/peer_bench.cpp), first on the machine as it is ("idle"), then with
# both cores kept busy by two busy-loop processes at nice 0 ("busy"). Writes markdown tables that
# paste into docs/performance.md, with the load average and uptime beside each set of runs.
# Usage: scripts/bench-peers.sh [RUNS [LOADS [peer_bench options...]]]
#   RUNS default 3; LOADS default "idle busy" (either alone is fine); for a quick try:
#   scripts/bench-peers.sh 1 idle --line-seconds 2 --stream-bytes 50000
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
loads=${2:-idle busy}
shift $(($# > 2 ? 2 : $#))

scripts/install-deps.sh build bench
cmake --preset linux -DDRIVERPANEL_BUILD_BENCH=ON >/dev/null
cmake --build --preset linux -j 2 --target peer_bench >/dev/null

if [[ -z ${XDG_RUNTIME_DIR:-} ]]; then
    XDG_RUNTIME_DIR=$(mktemp -d)
    export XDG_RUNTIME_DIR
fi
results=build/linux/bench/peers-$(date +%Y%m%d-%H%M%S).md

busy_pids=()
stop_busy() {
    for pid in "${busy_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    busy_pids=()
}
trap stop_busy EXIT

{
    echo "Taken $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores: $(uname -sr)."
    echo
} >"$results"
status=0
for load in $loads; do
    case $load in
        idle) label="idle (nothing added; other work on the machine shows in the load average)" ;;
        busy)
            label="busy (two busy-loop processes at nice 0 keep both cores running)"
            for _ in 1 2; do
                nice -n 0 bash -c 'while :; do :; done' &
                busy_pids+=("$!")
            done
            ;;
        *) echo "unknown load '$load' (idle or busy)" >&2; exit 2 ;;
    esac
    {
        echo "uptime before: $(uptime)"
        echo
    } >>"$results"
    build/linux/bench/peer_bench --runs "$runs" --label "$label" "$@" >>"$results" || status=1
    {
        echo "uptime after: $(uptime)"
        echo
    } >>"$results"
    stop_busy
done

cat "$results"
echo "(written to $results)"
exit $status
