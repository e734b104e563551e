#!/usr/bin/env bash
# Installs what is missing, builds, and runs the panel against the module simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)"
echo "The panel window is not built yet; the core and its tests are (scripts/test.sh)."
