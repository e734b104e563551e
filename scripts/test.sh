#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test:
# the Linux suite, the same under AddressSanitizer + UndefinedBehaviorSanitizer, the threaded
# tests under ThreadSanitizer, a minute of fuzzing the receive path, the Windows program
# cross-built and tested under Wine, and the installable packages built, installed, run and
# removed. The benchmarks are built too, so they keep building, and their own tests run; no figures
# are taken (scripts/bench-*.sh take them).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build windows fuzz package bench tango

# Everything printed is also kept, so the closing tally can count what ctest ran.
mkdir -p build
log=build/test-all.log
exec > >(tee "$log") 2>&1

jobs=$(nproc)
failed=()
run_preset() {
    local preset=$1
    echo "=== $preset ==="
    cmake --preset "$preset" >/dev/null &&
        cmake --build --preset "$preset" -j "$jobs" &&
        ctest --preset "$preset" -j "$jobs" || failed+=("$preset")
}

run_preset linux
run_preset linux-asan
run_preset linux-tsan
echo "=== fuzz ==="
scripts/fuzz.sh 60 || failed+=(fuzz)
if [[ -x scripts/test-windows.sh ]]; then
    echo "=== windows ==="
    scripts/test-windows.sh || failed+=(windows)
fi
# The benchmarks are off in the presets (a plain build needs none of their packages); here they are
# turned on in the same builds, which then compile only what the benchmarks add.
echo "=== benchmarks (built; their own tests run) ==="
{ cmake --preset linux -DDRIVERPANEL_BUILD_BENCH=ON >/dev/null &&
    cmake --build --preset linux -j "$jobs" &&
    ctest --preset linux -j "$jobs" -L bench; } || failed+=(bench)
if [[ -x scripts/test-windows.sh ]]; then
    { cmake --preset windows -DDRIVERPANEL_BUILD_BENCH=ON >/dev/null &&
        cmake --build --preset windows -j "$jobs" --target send_message_floor receive_path_wine; } ||
        failed+=(bench-windows)
fi
echo "=== packages ==="
scripts/test-packages.sh || failed+=(packages)

if [[ ${#failed[@]} -ne 0 ]]; then
    echo "FAILED: ${failed[*]}"
else
    echo "All configurations passed."
fi
# The closing line sums every ctest summary above, the Windows run's included.
grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" |
    awk '{ failed += $4; total += $9 } END { printf "Total: %d passed, %d failed\n", total - failed, failed }' ||
    true
[[ ${#failed[@]} -eq 0 ]]
