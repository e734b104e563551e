#!/usr/bin/env bash
# Runs a test program on a private X server with Qt's X11 platform: for tests whose input comes
# from the X server itself (xdotool), which Qt's offscreen platform has none of.
# Usage: run_on_xvfb.sh PROGRAM [ARGS...]
#
# The X server picks a free display itself and names it only once it accepts clients
# (-displayfd). Guessing a free number first (xvfb-run -a) races with test runs side by side on
# one machine, and a loser's program finds no X server it may use. An X server resets when its
# last client leaves and refuses connections meanwhile: AT-SPI's bus launcher connects and leaves
# before the panel starts, so the server is told not to reset (-noreset).
set -u
. "$(dirname "$0")/../../../scripts/lib/processes.sh"

work=$(mktemp -d)
after_reaping() { rm -rf "$work"; }

Xvfb -displayfd 5 -noreset -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
if ! wait_for 30 test -s "$work/display"; then
    echo "Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$(head -n 1 "$work/display")"
export QT_QPA_PLATFORM=xcb
"$@"
