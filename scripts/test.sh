#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test:
# the Linux suite, the same under AddressSanitizer + UndefinedBehaviorSanitizer, the threaded
# tests under ThreadSanitizer, a minute of fuzzing the receive path, and the Windows program
# cross-built and tested under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build windows fuzz

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

if [[ ${#failed[@]} -ne 0 ]]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "All configurations passed."
