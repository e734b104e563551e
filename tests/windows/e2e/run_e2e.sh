#!/usr/bin/env bash
# The Windows program end to end under Wine: a private prefix and X server, a pty pair with one
# end linked as the prefix's COM5 and the module simulator on the other, the panel running, and
# the test driver operating it in three phases (port present, port removed, port back and exit).
# Leaves a screenshot of the panel with its readings in <build>/e2e/artifacts.
#
# Usage: tests/windows/e2e/run_e2e.sh [WINDOWS_BUILD_DIR [SIMULATOR]]
#   WINDOWS_BUILD_DIR  the windows preset's build (default build/windows), with DriverPanel.exe
#                      and driverpanel_e2e_driver.exe built
#   SIMULATOR          the Linux driverpanel-sim (default: built with the linux preset if missing)
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(realpath "${1:-$root/build/windows}")
sim=${2:-$root/build/linux/tools/simulator/driverpanel-sim}

panel_exe=$build/panel/win32/DriverPanel.exe
driver_exe=$build/tests/windows/e2e/driverpanel_e2e_driver.exe
for exe in "$panel_exe" "$driver_exe"; do
    [[ -f $exe ]] || { echo "missing $exe: build the windows preset first" >&2; exit 2; }
done
if [[ ! -x $sim ]]; then
    (cd "$root" && cmake --preset linux >/dev/null &&
        cmake --build --preset linux -j 2 --target driverpanel-sim)
fi

port_number=5
setpoint=100
maximum=500

work=$build/e2e
artifacts=$work/artifacts
rm -rf "$work"
mkdir -p "$artifacts"
log=$work/sim.log

export WINEPREFIX=$work/wineprefix
source "$root/tests/windows/e2e/wine_bed.sh"
start_display "$work"
prepare_prefix "$work"
# Fonts: the dialog asks for Cambria; Caladea has its metrics. (Wine's default fonts still lack
# the full-width brackets and the degree sign; the driver checks those texts as text.)
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Cambria /d Caladea /f \
    >>"$work/wineboot.log" 2>&1

# The serial line: the panel's end becomes COM5, the simulator plays the module on the other.
start_module_line "$work" "$sim" "$log" "$setpoint" "$maximum"
com_link=$WINEPREFIX/dosdevices/com$port_number
ln -sfn "$work/panel-end" "$com_link"

wine "$panel_exe" >"$work/panel.out" 2>&1 &
panel_pid=$!
pids+=("$panel_pid")

export E2E_SIM_LOG E2E_PORT=COM$port_number E2E_SETPOINT=$setpoint E2E_MAXIMUM=$maximum
E2E_SIM_LOG=$(winepath -w "$log")
failed=()
run_phase() {  # run_phase SUITE
    echo "=== end-to-end: $1 ==="
    wine "$driver_exe" --gtest_color=no --gtest_filter="$1.*" || failed+=("$1")
}

run_phase WithPort
import -window root "$artifacts/screen.png" &&
    convert "$artifacts/screen.png" -trim +repage "$artifacts/panel.png" ||
    echo "no screenshot taken"

rm -f "$com_link"
run_phase PortGone

ln -sfn "$work/panel-end" "$com_link"
run_phase Exit
if wait_for 30 bash -c "! kill -0 $panel_pid 2>/dev/null"; then
    wait "$panel_pid" || failed+=("panel exit status $?")
else
    failed+=("panel still running after its close")
fi

cp "$log" "$artifacts/"
echo "Artifacts: $artifacts"
if ((${#failed[@]})); then
    echo "End-to-end FAILED: ${failed[*]}"
    exit 1
fi
echo "End-to-end passed."
