#!/usr/bin/env bash
# ldctl.exe under Wine, end to end: a private prefix whose COM5 each test links to a fresh serial
# line (a socat pty pair) with the module simulator on the other end; ldctl_wine_test.py runs the
# commands as a script would and reads what was sent on the simulator's side.
#
# Usage: tests/windows/ldctl/run_ldctl_e2e.sh [WINDOWS_BUILD_DIR [SIMULATOR]]
#   WINDOWS_BUILD_DIR  the windows preset's build (default build/windows), with ldctl.exe built
#   SIMULATOR          the Linux driverpanel-sim (default: built with the linux preset if missing)
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(realpath "${1:-$root/build/windows}")
sim=${2:-$root/build/linux/tools/simulator/driverpanel-sim}
work=$build/e2e-ldctl

ldctl_exe=$build/hosts/console/ldctl.exe

rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$work/wineprefix
source "$root/tests/windows/e2e/wine_bed.sh"
need_programs "$root" "$sim" "$ldctl_exe"
prepare_prefix "$work"
# A console program needs no display; the prefix's first program starts its services.
wine cmd.exe /c exit >/dev/null 2>&1 || true

LDCTL_EXE=$ldctl_exe SIMULATOR=$(realpath "$sim") WORK=$work \
    python3 "$root/tests/windows/ldctl/ldctl_wine_test.py"
