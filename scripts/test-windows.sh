#!/usr/bin/env bash
# The Windows part of the test command: cross-builds the windows preset and runs its tests under
# Wine, in a private prefix, with a virtual display and COM ports made of socat pty pairs.
# Usage: scripts/test-windows.sh [ctest options, e.g. -R PortHangUp]
#        (after scripts/install-deps.sh build windows)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/windows
run=$build/test-run  # this run's pty links, trigger files and logs

export WINEPREFIX=$build/wineprefix
# Wine's settings, the cleanup of everything started here (pids), wait_for and the COM pairs.
source "$root/tests/windows/e2e/wine_bed.sh"
jobs=$(nproc)
((jobs > 2)) && jobs=2

# COM port n whose far end hangs up once the file trigger exists, as a pulled adapter does. The
# waiting shell also ends with its socat: a run of selected tests may never pull the trigger.
com_hang_up() {
    local n=$1 trigger=$2
    socat pty,raw,echo=0,link="$run/com$n" \
        SYSTEM:"while [ ! -e '$trigger' ] && kill -0 \$PPID 2>/dev/null; do sleep 0.05; done" \
        2>"$run/socat-com$n.log" &
    pids+=($!)
    wait_for 10 test -e "$run/com$n"
    link_com "$n" "$run/com$n"
}

windows_path() {  # Unix path -> the same file through Wine's Z: drive
    local path=${1//\//\\}
    echo "Z:$path"
}

echo "--- building the windows preset"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

echo "--- preparing the Wine prefix and display"
if [[ ! -f $WINEPREFIX/system.reg ]]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
fi
if [[ -z ${DISPLAY:-} ]]; then
    display=99
    while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do
        ((++display))
    done
    Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    wait_for 10 test -e "/tmp/.X11-unix/X$display"
    export DISPLAY=":$display"
fi
rm -rf "$run"
mkdir -p "$run"
# One Wine server for the whole run: each test program then starts in a fraction of a second.
# The server opens the ptys and takes the first as its controlling terminal, so a hung-up pty
# sends it SIGHUP, on which it dumps its objects: that goes to a log, not the test output.
wineserver -p 2>>"$run/wineserver.log"
# Wine's first program of a session starts its services, which takes seconds; ctest's listing of
# each test program allows only five.
wine cmd.exe /c exit >/dev/null 2>&1 || true

# COM3-COM4: the port object's tests play the module on COM4. COM5 and COM6: hang up on request,
# once each (COM5 for the port object, COM6 for the panel program). COM16 is never linked: the
# tests use it as the port that is not there.
com_pair "$run" 3 4
com_hang_up 5 "$run/hang-up-com5"
com_hang_up 6 "$run/hang-up-com6"
export DRIVERPANEL_TEST_COM=3 DRIVERPANEL_TEST_FAR_COM=4
export DRIVERPANEL_TEST_HANGUP_COM=5 DRIVERPANEL_TEST_PANEL_HANGUP_COM=6
DRIVERPANEL_TEST_HANGUP_TRIGGER=$(windows_path "$run/hang-up-com5")
DRIVERPANEL_TEST_PANEL_HANGUP_TRIGGER=$(windows_path "$run/hang-up-com6")
export DRIVERPANEL_TEST_HANGUP_TRIGGER DRIVERPANEL_TEST_PANEL_HANGUP_TRIGGER

echo "--- running the windows tests under Wine"
status=0
ctest --test-dir "$build" -j "$jobs" --output-on-failure --timeout 300 "$@" || status=$?
if (($# == 0)); then
    echo "--- running the panel end to end under Wine"
    tests/windows/e2e/run_e2e.sh "$build" || status=$?
    echo "--- running the trend window and the recording end to end under Wine"
    tests/windows/e2e/run_trend_e2e.sh "$build" || status=$?
    echo "--- running ldctl.exe end to end under Wine"
    tests/windows/ldctl/run_ldctl_e2e.sh "$build" || status=$?
fi
if ((status == 0)); then
    echo "Windows tests under Wine: all passed."
else
    echo "Windows tests under Wine: FAILED (see above; logs in $run)."
fi
exit "$status"
