#!/usr/bin/env bash
# The Windows panel polling the simulated module under Wine: poll timing read from the simulator's
# line log, and the CPU share and peak resident memory of the Wine processes serving the panel.
#
# Usage: scripts/bench-wine.sh [SECONDS [IDLE_SECONDS]]   (defaults 60 and 10)
#
# Builds what it needs (the windows preset's DriverPanel.exe and end-to-end driver, the linux
# preset's driverpanel-sim and poll_timing), then sets up the end-to-end test bed: a private Wine
# prefix and X server, a socat pty pair with the panel's end linked as COM5 and driverpanel-sim
# --log on the other. It starts DriverPanel.exe, lets the end-to-end driver pick COM5 and click
# OpenPort (its open-port case, which leaves the port open), lets the panel poll for SECONDS, and
# reports; last, it times Wine's floor for the receive path (bench/send_message_floor.cpp, a
# cross-thread SendMessage round trip). Everything is in build/windows/bench-wine; the prefix is
# kept there between runs.
#
# CPU and memory come from /proc for every Wine process of the private prefix, sampled at the
# start and end of IDLE_SECONDS with the port closed, then of the polling: the panel's own Wine
# process, wineserver (which serves every Wine call, the port's event wait among them), and
# Wine's other service processes. These are Wine's costs on Linux, not the program's on Windows:
# on a pty, Wine ends the port worker's pending event wait every few milliseconds.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-60}
idle_seconds=${2:-10}
floor_samples=5000

scripts/install-deps.sh build windows bench
cmake --preset windows -DDRIVERPANEL_BUILD_BENCH=ON >/dev/null
cmake --build --preset windows -j 2 --target DriverPanel driverpanel_e2e_driver \
    send_message_floor >/dev/null
cmake --preset linux -DDRIVERPANEL_BUILD_BENCH=ON >/dev/null
cmake --build --preset linux -j 2 --target driverpanel-sim poll_timing >/dev/null

build=$root/build/windows
panel_exe=$build/hosts/win32/DriverPanel.exe
driver_exe=$build/tests/windows/e2e/driverpanel_e2e_driver.exe
floor_exe=$build/bench/send_message_floor.exe
sim=$root/build/linux/tools/simulator/driverpanel-sim
poll_timing=$root/build/linux/bench/poll_timing

work=$build/bench-wine
run=$work/run
rm -rf "$run"
mkdir -p "$run"
log=$run/sim.log
port_number=5
setpoint=100
maximum=500

export WINEPREFIX=$work/wineprefix
source "$root/tests/windows/e2e/wine_bed.sh"
start_display "$run"
prepare_prefix "$run"
start_module_line "$run" "$sim" "$log" "$setpoint" "$maximum"
ln -sfn "$run/panel-end" "$WINEPREFIX/dosdevices/com$port_number"

wine "$panel_exe" >"$run/panel.out" 2>&1 &
panel_pid=$!
pids+=("$panel_pid")

# The Wine processes of this prefix: their environment names it (wineserver's included); the
# simulator, socat and the X server inherit it too and are left out.
prefix_pids() {
    local dir pid environment
    for dir in /proc/[0-9]*; do
        pid=${dir#/proc/}
        environment=$({ tr '\0' '\n' <"$dir/environ"; } 2>/dev/null) || continue
        grep -qxF "WINEPREFIX=$WINEPREFIX" <<<"$environment" || continue
        case $(cat "$dir/comm" 2>/dev/null) in
        Xvfb | socat | driverpanel-sim) ;;
        *) echo "$pid" ;;
        esac
    done
}

role() {  # role PID: panel, wineserver or the Wine program's name
    local cmdline
    cmdline=$({ tr '\0' ' ' <"/proc/$1/cmdline"; } 2>/dev/null) || return 0
    if [[ $(cat "/proc/$1/comm" 2>/dev/null) == wineserver* ]]; then
        echo wineserver
    elif [[ $cmdline == *DriverPanel.exe* ]]; then
        echo panel
    else
        basename "${cmdline%% *}" | tr '\\' '/' | sed 's|.*/||'
    fi
}

ticks() {  # ticks PID: user + system clock ticks so far, all threads
    { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; } 2>/dev/null || echo 0
}

wakeups() {  # wakeups PID: context switches so far, all threads: how often it slept and woke
    { cat /proc/"$1"/task/*/status || true; } 2>/dev/null |  # threads come and go
        awk '/^(non)?voluntary_ctxt_switches:/ { n += $2 } END { print n + 0 }'
}

hz=$(getconf CLK_TCK)

measure() {  # measure SECONDS WHAT: CPU share over SECONDS and peak memory of each Wine process
    local -A start_ticks start_wakeups
    local pid used woke peak name start_ns end_ns load_before load_after wall
    local others_ticks=0 others_peak=0 others_names=()
    for pid in $(prefix_pids); do
        start_ticks[$pid]=$(ticks "$pid")
        start_wakeups[$pid]=$(wakeups "$pid")
    done
    start_ns=$(date +%s%N)
    load_before=$(cut -d' ' -f1-3 /proc/loadavg)
    echo "Measuring for $1 s: $2..."
    sleep "$1"
    end_ns=$(date +%s%N)
    load_after=$(cut -d' ' -f1-3 /proc/loadavg)
    kill -0 "$panel_pid" 2>/dev/null || { echo "the panel ended during the run" >&2; exit 1; }
    wall=$(awk -v a="$start_ns" -v b="$end_ns" 'BEGIN { printf "%.1f", (b - a) / 1e9 }')
    report+=("$2, $wall s; load average $load_before before, $load_after after")
    for pid in $(prefix_pids); do
        [[ -n ${start_ticks[$pid]:-} ]] || continue
        used=$(($(ticks "$pid") - start_ticks[$pid]))
        woke=$(($(wakeups "$pid") - start_wakeups[$pid]))
        peak=$({ awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status"; } 2>/dev/null || echo 0)
        name=$(role "$pid")
        [[ -n $name ]] || continue  # ended during the measurement
        case $name in
        panel | wineserver)
            report+=("$(awk -v name="$name" -v t="$used" -v hz="$hz" -v w="$wall" \
                -v kb="${peak:-0}" -v n="$woke" 'BEGIN {
                printf "  %-28s CPU %.2f s, %.2f %% of one core; peak resident %.1f MB;" \
                    " %.0f wake-ups a second\n", name (name == "panel" ? " (DriverPanel.exe)" : \
                    " (Wine)"), t / hz, 100 * t / hz / w, kb / 1024, n / w }')")
            ;;
        *)
            others_ticks=$((others_ticks + used))
            others_peak=$((others_peak + ${peak:-0}))
            others_names+=("$name")
            ;;
        esac
    done
    report+=("$(awk -v t="$others_ticks" -v hz="$hz" -v w="$wall" -v kb="$others_peak" \
        -v n="${#others_names[@]}" 'BEGIN {
        printf "  %-28s CPU %.2f s, %.2f %% of one core; peak resident %.1f MB summed",
            "Wine services (" n ")", t / hz, 100 * t / hz / w, kb / 1024 }')")
    report+=("  services: ${others_names[*]}")
}

panel_started() { [[ -n $(for pid in $(prefix_pids); do role "$pid"; done | grep -x panel) ]]; }
wait_for 60 panel_started || { echo "the panel did not start" >&2; exit 1; }
sleep 5  # its start-up (window, fonts, port list) is not what is measured

report=()
# The port closed first: what Wine costs the panel with nothing to serve.
measure "$idle_seconds" "panel idle, port closed"

echo "Opening COM$port_number on the panel..."
export E2E_PORT=COM$port_number E2E_SETPOINT=$setpoint E2E_MAXIMUM=$maximum
E2E_SIM_LOG=$(winepath -w "$log")
export E2E_SIM_LOG
wine "$driver_exe" --gtest_color=no \
    --gtest_filter=WithPort.OpenAsksForTheConfigurationAndShowsIt >"$run/open.out" 2>&1 || {
    cat "$run/open.out"
    echo "could not open the port on the panel" >&2
    exit 1
}

measure "$seconds" "panel polling COM$port_number"

echo
echo "Under $(wine --version 2>/dev/null); CPU and memory are Wine's processes on Linux, not the"
echo "program's cost on Windows (Wine wakes the port's event wait every few ms on a pty)."
printf '%s\n' "${report[@]}"
echo
"$poll_timing" "$log"
echo
echo "Wine's floor for the receive path, load average $(cut -d' ' -f1-3 /proc/loadavg):"
wine "$floor_exe" "$floor_samples"
