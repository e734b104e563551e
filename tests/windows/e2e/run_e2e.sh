#!/usr/bin/env bash
# The Windows program end to end under Wine: a private prefix and X server, a pty pair with one
# end linked as the prefix's COM5 and the module simulator on the other, the panel running, and
# the test driver operating it in phases: port present, a module whose confirmations come late or
# never, one that loses set frames, ones whose confirmations come late while queries are answered
# at once, one whose configuration reply has no variant byte, a module whose replies trickle in,
# port removed, port back and exit.
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

panel_exe=$build/hosts/win32/DriverPanel.exe
driver_exe=$build/tests/windows/e2e/driverpanel_e2e_driver.exe

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
need_programs "$root" "$sim" "$panel_exe" "$driver_exe"
start_display "$work"
prepare_prefix "$work"
# Fonts: the dialog asks for Cambria; Caladea has its metrics. (Wine's default fonts still lack
# the full-width brackets and the degree sign; the driver checks those texts as text.)
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Cambria /d Caladea /f \
    >>"$work/wineboot.log" 2>&1

# The serial line: the panel's end becomes COM5, the simulator plays the module on the other.
start_module_line "$work" "$sim" "$log" "$setpoint" "$maximum"
sim_pid=${pids[-1]}
com_link=$WINEPREFIX/dosdevices/com$port_number
ln -sfn "$work/panel-end" "$com_link"
# A second port listed before COM5, with nothing behind it: a panel that opened it instead of
# the operator's choice would get no answer.
spare_number=3
socat pty,raw,echo=0,link="$work/spare-end" pty,raw,echo=0,link="$work/spare-far-end" \
    2>"$work/socat-spare.log" &
pids+=($!)
wait_for 10 test -e "$work/spare-end"
link_com "$spare_number" "$work/spare-end"

# module_faults NAME [SIMULATOR OPTIONS...]: a new module behind the same line, with these
# faults and its own frame log; the panel keeps its port open.
module_faults() {
    local name=$1
    shift
    kill "$sim_pid"
    wait "$sim_pid" 2>/dev/null || true
    log=$work/sim-$name.log
    "$sim" --device "$work/module-end" --log "$log" --variant 1 --setpoint-a "$setpoint" \
        --max-a "$maximum" "$@" >"$work/sim-$name.out" 2>&1 &
    sim_pid=$!
    pids+=("$sim_pid")
    E2E_SIM_LOG=$(winepath -w "$log")
    logs+=("$log")
}

wine "$panel_exe" >"$work/panel.out" 2>&1 &
panel_pid=$!
pids+=("$panel_pid")

export E2E_SIM_LOG E2E_PORT=COM$port_number E2E_SETPOINT=$setpoint E2E_MAXIMUM=$maximum
E2E_SIM_LOG=$(winepath -w "$log")
logs=("$log")
failed=()
# E2E_PHASES="SUITE ...": run only these suites (the port is still opened first), for a quick
# turn while working on them; the panel is then ended by the runner's cleanup.
run_phase() {  # run_phase SUITE
    local filter="$1.*"
    if [[ -n ${E2E_PHASES:-} && " $E2E_PHASES " != *" $1 "* ]]; then
        [[ $1 == WithPort ]] || return 0
        filter=WithPort.OpenAsksForTheConfigurationAndShowsIt
    fi
    echo "=== end-to-end: $1 ==="
    wine "$driver_exe" --gtest_color=no --gtest_filter="$filter" || failed+=("$1")
}

run_phase WithPort
import -window root "$artifacts/screen.png" &&
    convert "$artifacts/screen.png" -trim +repage "$artifacts/panel.png" ||
    echo "no screenshot taken"

module_faults late --delay 800
run_phase UnconfirmedSet
module_faults lost --silent-set
run_phase UnconfirmedSet
module_faults lost-set --ignore-set 2
run_phase LostSetFrame
module_faults late-confirmation --confirm-delay 800
run_phase LateConfirmation
module_faults confirmations-on-polls --confirm-delay 700-1200
run_phase ConfirmationsOnPollWrites
module_faults short-configuration --config-length 12
run_phase ShortConfiguration
module_faults trickle --byte-gap 100
run_phase TricklingReplies
module_faults after-faults

rm -f "$com_link"
run_phase PortGone

ln -sfn "$work/panel-end" "$com_link"
run_phase Exit
if [[ -n ${E2E_PHASES:-} && " $E2E_PHASES " != *" Exit "* ]]; then
    :  # the panel was not closed: the cleanup ends it
elif wait_for 30 bash -c "! kill -0 $panel_pid 2>/dev/null"; then
    wait "$panel_pid" || failed+=("panel exit status $?")
else
    failed+=("panel still running after its close")
fi

cp "${logs[@]}" "$artifacts/"
echo "Artifacts: $artifacts"
if ((${#failed[@]})); then
    echo "End-to-end FAILED: ${failed[*]}"
    exit 1
fi
echo "End-to-end passed."
