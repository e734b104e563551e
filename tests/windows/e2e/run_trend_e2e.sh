#!/usr/bin/env bash
# The Windows program's trend window and recording under Wine, as an operator uses them: a
# private prefix and X server, a pty pair linked as the prefix's COM5 with the module simulator
# on the other end, dropping some replies. First the program is started with --record into a
# folder that does not exist: a box must tell it while the panel polls, and Record in the trend
# window's save dialog then records to another file. Then with --record into
# a file whose name lies outside the ANSI code page: the driver opens the port, opens the trend
# window with Ctrl+T (real key presses) and the system menu, scrolls it; after a while the trend
# window is saved as a screenshot and the program is killed outright. The CSV must hold exactly
# what the simulator sent (tests/support/recording_check.py).
# Leaves trend.png, panel.png, readings.csv and the simulator's logs in ARTIFACTS.
#
# Usage: tests/windows/e2e/run_trend_e2e.sh [WINDOWS_BUILD_DIR [SIMULATOR [ARTIFACTS]]]
#   WINDOWS_BUILD_DIR  the windows preset's build (default build/windows), with DriverPanel.exe
#                      and driverpanel_e2e_driver.exe built
#   SIMULATOR          the Linux driverpanel-sim (default: built with the linux preset if missing)
#   ARTIFACTS          where the results go (default <build>/e2e-trend/artifacts)
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(realpath "${1:-$root/build/windows}")
sim=${2:-$root/build/linux/tools/simulator/driverpanel-sim}
work=$build/e2e-trend
artifacts=${3:-$work/artifacts}

panel_exe=$build/hosts/win32/DriverPanel.exe
driver_exe=$build/tests/windows/e2e/driverpanel_e2e_driver.exe

port_number=5
setpoint=150
maximum=500
record_seconds=10

rm -rf "$work"
mkdir -p "$work" "$artifacts"
artifacts=$(realpath "$artifacts")
# The recording's name is UTF-8 here and reaches the program as UTF-16.
export LC_ALL=C.UTF-8
export WINEPREFIX=$work/wineprefix
source "$root/tests/windows/e2e/wine_bed.sh"
need_programs "$root" "$sim" "$panel_exe" "$driver_exe"
start_display "$work"
prepare_prefix "$work"
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Cambria /d Caladea /f \
    >>"$work/wineboot.log" 2>&1

socat pty,raw,echo=0,link="$work/panel-end" pty,raw,echo=0,link="$work/module-end" \
    2>"$work/socat.log" &
pids+=($!)
wait_for 10 test -e "$work/module-end" -a -e "$work/panel-end"
link_com "$port_number" "$work/panel-end"

sim_pid=
start_module() {  # start_module LOG: a new module on the line, with its own frame log
    if [[ -n $sim_pid ]]; then
        kill "$sim_pid"
        wait "$sim_pid" 2>/dev/null || true
    fi
    "$sim" --device "$work/module-end" --log "$1" --log-sent --drop 0.15 --seed 7 --variant 1 \
        --setpoint-a "$setpoint" --max-a "$maximum" >>"$work/sim.out" 2>&1 &
    sim_pid=$!
    pids+=("$sim_pid")
}

export E2E_PORT=COM$port_number
failed=()
run_suite() {  # run_suite SUITE
    echo "=== trend end-to-end: $1 ==="
    wine "$driver_exe" --gtest_color=no --gtest_filter="$1.*" || failed+=("$1")
}
end_panel() {  # end_panel PID: killed outright, as a crash would end it
    kill -KILL "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

# A folder that does not exist: told, and the panel goes on.
start_module "$work/sim-fails.log"
E2E_RECORD=$(winepath -w "$work/no-such-folder/readings.csv")
again=$work/chosen-in-the-window.csv
E2E_RECORD_AGAIN=$(winepath -w "$again")
export E2E_RECORD E2E_RECORD_AGAIN
wine "$panel_exe" --record "$E2E_RECORD" >"$work/panel-fails.out" 2>&1 &
panel_pid=$!
pids+=("$panel_pid")
run_suite RecordingFails
end_panel "$panel_pid"
[[ $(head -n 1 "$again" 2>/dev/null) == time,port,* ]] ||
    failed+=("no recording from the trend window's Record")

# A name outside the ANSI code page, recorded from the start.
log=$work/sim.log
record=$work/Messwerte-温度.csv
start_module "$log"
started=$(date +%s.%N)
wine "$panel_exe" --record "$(winepath -w "$record")" >"$work/panel.out" 2>&1 &
panel_pid=$!
pids+=("$panel_pid")
run_suite Trend
sleep "$record_seconds"
trend_x=$(xdotool search --name "Readings over time" | head -n 1) || true
panel_x=$(xdotool search --name "Orlevan D20220513" | head -n 1) || true
if [[ -n $trend_x ]]; then
    import -window "$trend_x" "$artifacts/trend.png"
    [[ -z $panel_x ]] || import -window "$panel_x" "$artifacts/panel.png"
else
    failed+=("no trend window to take a screenshot of")
fi
end_panel "$panel_pid"
ended=$(date +%s.%N)

echo "=== trend end-to-end: the recording ==="
if [[ -f $record ]]; then
    cp "$record" "$artifacts/readings.csv"
    python3 "$root/tests/support/recording_check.py" "$record" "$log" "$E2E_PORT" "$setpoint" \
        "$started" "$ended" "$record_seconds" || failed+=("recording")
else
    failed+=("no recording at $record")
fi
cp "$work"/sim*.log "$work"/panel*.out "$artifacts/"
echo "Artifacts: $artifacts"
if ((${#failed[@]})); then
    echo "Trend end-to-end FAILED: ${failed[*]}"
    exit 1
fi
echo "Trend end-to-end passed."
