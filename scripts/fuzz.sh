#!/usr/bin/env bash
# Builds the receive path's libFuzzer target (clang, ASan + UBSan) and runs it for a bounded time
# from the seed corpus in fuzz/corpus. Prints the executions run; fails when the fuzzer finds a
# crash, a leak, undefined behaviour or a broken check (the input is kept in build/fuzz/findings).
# Usage: scripts/fuzz.sh [SECONDS]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target reply_path_fuzzer

work=build/fuzz/corpus      # grows between runs; the seeds in fuzz/corpus stay as committed
findings=build/fuzz/findings
mkdir -p "$work" "$findings"
log=build/fuzz/last-run.log
status=0
build/fuzz/fuzz/reply_path_fuzzer -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$findings/" "$work" fuzz/corpus >"$log" 2>&1 || status=$?

grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' "$log" || true
if [[ $status -ne 0 ]]; then
    tail -n 60 "$log"
    echo "Fuzzing found a fault (exit $status); inputs in $findings"
    exit 1
fi
echo "Fuzzing: no fault in ${seconds} s."
